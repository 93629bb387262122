#include "platform/process_end.h"

#include <windows.h>

#include <cstdlib>
#include <new>

namespace platform {
namespace {

ProcessEnd processEnd = nullptr;
thread_local int endsHandedOver = 0;

// The box that tells why the run ends. Its message loop keeps the thread's
// window procedures running; one that fails meanwhile finds a box already
// open and ends the run at once.
void showEndingBox(const wchar_t* text, const wchar_t* caption) {
    static bool ending = false;
    if (ending) {
        endProcess(1);
    }
    ending = true;
    MessageBoxW(nullptr, text, caption, MB_ICONERROR | MB_TASKMODAL);
}

}  // namespace

void setProcessEnd(ProcessEnd end) {
    processEnd = end;
}

void endProcess(int exitCode) {
    if (processEnd != nullptr) {
        processEnd(exitCode);
    }
    std::exit(exitCode);
}

ProcessEndHandedOver::ProcessEndHandedOver() {
    ++endsHandedOver;
}

ProcessEndHandedOver::~ProcessEndHandedOver() {
    --endsHandedOver;
}

void reportOutOfMemoryAndExit() {
    if (endsHandedOver > 0) {
        // A worker thread ends nothing itself: the window's thread does.
        throw std::bad_alloc();
    }
    showEndingBox(L"WM: Out of Memory!", L"Out of Memory");
    endProcess(1);
}

void endOnException(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const MemoryExhausted&) {
        reportOutOfMemoryAndExit();
    } catch (const std::bad_alloc&) {
        reportOutOfMemoryAndExit();
    } catch (...) {
        showEndingBox(L"The tour cannot go on and closes.", L"Error");
        endProcess(1);
    }
}

}  // namespace platform

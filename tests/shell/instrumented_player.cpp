// What the instrumented player adds to the real one, both driven by its
// environment (the player itself reads none):
//   LUMIVUE_FAIL_ALLOCATION=SIZE[,NTH]  the NTH (1 by default) allocation of
//       exactly SIZE bytes through operator new throws std::bad_alloc;
//   LUMIVUE_COM_TRACE=FILE  every COM reference released and the leaving of
//       the apartment are appended to FILE as lines "release" and "leave".
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/com_ref.h"
#include "platform/scoped_handle.h"

namespace {

struct FailingAllocation {
    std::size_t size = 0;
    long nth = 0;
};

FailingAllocation failingAllocation() {
    char text[64] = {};
    FailingAllocation result;
    if (GetEnvironmentVariableA("LUMIVUE_FAIL_ALLOCATION", text, sizeof text) == 0) {
        return result;
    }
    char* rest = nullptr;
    result.size = std::strtoull(text, &rest, 10);
    result.nth = *rest == ',' ? std::strtol(rest + 1, nullptr, 10) : 1;
    return result;
}

std::atomic<long> matchingAllocations{0};

void* allocate(std::size_t size) {
    static const FailingAllocation failing = failingAllocation();
    if (failing.size != 0 && size == failing.size && ++matchingAllocations == failing.nth) {
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size != 0 ? size : 1)) {
        return block;
    }
    throw std::bad_alloc();
}

void appendTrace(const char* line) {
    wchar_t path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"LUMIVUE_COM_TRACE", path, MAX_PATH) == 0) {
        return;
    }
    const platform::UniqueFile file(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
}

[[maybe_unused]] const bool watching = [] {
    platform::comWatch.released = [] { appendTrace("release\n"); };
    platform::comWatch.leftApartment = [] { appendTrace("leave\n"); };
    return true;
}();

}  // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

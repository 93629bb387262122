// What the instrumented player adds to the real one, both driven by its
// environment (the player itself reads none):
//   LUMIVUE_FAIL_ALLOCATION=SIZE[,NTH[,error]]  the NTH (1 by default)
//       allocation of exactly SIZE bytes through operator new throws
//       std::bad_alloc, or with "error" a std::runtime_error;
//   LUMIVUE_FAIL_BAND=NTH[,error]  the NTH band of work the band pool runs
//       (on whichever thread takes it) throws, the same way;
//   LUMIVUE_COM_TRACE=FILE  every COM reference released and the leaving of
//       the apartment are appended to FILE as lines "release" and "leave".
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "platform/band_pool.h"
#include "platform/com_ref.h"
#include "platform/scoped_handle.h"

namespace {

// "NUMBER[,NTH][,error]" read from the environment.
struct Failure {
    std::size_t number = 0;
    long nth = 0;
    bool error = false;

    explicit Failure(const char* variable) {
        char text[64] = {};
        if (GetEnvironmentVariableA(variable, text, sizeof text) == 0) {
            return;
        }
        char* rest = nullptr;
        number = std::strtoull(text, &rest, 10);
        nth = 1;
        if (*rest == ',' && rest[1] != 'e') {
            nth = std::strtol(rest + 1, &rest, 10);
        }
        error = std::strstr(rest, "error") != nullptr;
    }

    [[noreturn]] void raise() const {
        if (error) {
            throw std::runtime_error("injected failure");
        }
        throw std::bad_alloc();
    }
};

std::atomic<long> matchingAllocations{0};
std::atomic<long> bandsRun{0};

void* allocate(std::size_t size) {
    static const Failure failing("LUMIVUE_FAIL_ALLOCATION");
    if (failing.number != 0 && size == failing.number && ++matchingAllocations == failing.nth) {
        failing.raise();
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

[[maybe_unused]] const bool failingBand = [] {
    static const Failure failing("LUMIVUE_FAIL_BAND");
    if (failing.number != 0) {
        platform::setBandObserver([](std::int32_t, std::int32_t) {
            if (++bandsRun == static_cast<long>(failing.number)) {
                failing.raise();
            }
        });
    }
    return true;
}();

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

#include "imaging_material.h"

#include <psapi.h>

#include <algorithm>
#include <cstring>

#include "imaging/image_prompts.h"
#include "screen_capture.h"
#include "test_window.h"

namespace test_support {

std::string picturePath(const std::string& name) {
    return besideThisProgram("imaging-pictures\\") + name;
}

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

platform::UniqueGlobal makeBlock(const std::vector<std::uint8_t>& bytes, std::size_t size) {
    const std::size_t total = std::max(size, bytes.size());
    platform::UniqueGlobal block(
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, std::max<std::size_t>(total, 1)));
    if (!block) {
        return block;
    }
    void* target = GlobalLock(block.get());
    if (!bytes.empty()) {
        std::memcpy(target, bytes.data(), bytes.size());
    }
    GlobalUnlock(block.get());
    return block;
}

void useTestLanguageModule() {
    static HMODULE module = LoadLibraryA(besideThisProgram("imaging_test_strings.dll").c_str());
    imaging::setPromptModule(module);
}

Bgr pixelAt(const std::uint8_t* bits, std::int32_t stride, std::int32_t height, int x, int y) {
    const std::uint8_t* pixel = bits + static_cast<std::ptrdiff_t>(height - 1 - y) * stride +
                                static_cast<std::ptrdiff_t>(x) * 3;
    return {pixel[0], pixel[1], pixel[2]};
}

std::uint64_t privateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    // Wine leaves PrivateUsage at 0 but keeps the commit charge in
    // PagefileUsage, which Windows defines as the same private bytes.
    return std::max<std::uint64_t>(counters.PrivateUsage, counters.PagefileUsage);
}

}  // namespace test_support

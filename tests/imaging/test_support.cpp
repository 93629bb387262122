#include "test_support.h"

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "imaging/image_prompts.h"
#include "screen_capture.h"
#include "test_window.h"

namespace imaging_test {

std::string picturePath(const std::string& name) {
    return test_support::besideThisProgram("imaging-pictures\\") + name;
}

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HGLOBAL makeBlock(const std::vector<std::uint8_t>& bytes, std::size_t size) {
    const std::size_t total = std::max(size, bytes.size());
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, std::max<std::size_t>(total, 1));
    if (block == nullptr) {
        return nullptr;
    }
    void* target = GlobalLock(block);
    if (!bytes.empty()) {
        std::memcpy(target, bytes.data(), bytes.size());
    }
    GlobalUnlock(block);
    return block;
}

void useTestLanguageModule() {
    static HMODULE module =
        LoadLibraryA(test_support::besideThisProgram("imaging_test_strings.dll").c_str());
    imaging::setPromptModule(module);
}

BoxAnswerer::BoxAnswerer(std::string caption, int button, int delayMs)
    : caption_(std::move(caption)),
      button_(button),
      delayMs_(delayMs),
      thread_([this] { watch(); }) {}

BoxAnswerer::~BoxAnswerer() {
    stop_ = true;
    thread_.join();
}

std::string BoxAnswerer::lastText() const {
    std::lock_guard lock(textMutex_);
    return lastText_;
}

namespace {

struct TextSearch {
    std::string text;
};

BOOL CALLBACK collectStaticText(HWND child, LPARAM parameter) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") == 0) {
        char text[512] = {};
        GetWindowTextA(child, text, sizeof text);
        if (text[0] != '\0') {
            reinterpret_cast<TextSearch*>(parameter)->text = text;
        }
    }
    return TRUE;
}

struct BoxSearch {
    const std::string* caption;
    HWND found = nullptr;
};

// Only boxes of this process: tests run side by side and show the same boxes.
BOOL CALLBACK findOwnBox(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[32] = {};
    char caption[300] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (process == GetCurrentProcessId() &&
        lstrcmpA(className, test_support::dialogClassName) == 0 && *search->caption == caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void BoxAnswerer::watch() {
    while (!stop_) {
        BoxSearch boxSearch{&caption_};
        EnumWindows(findOwnBox, reinterpret_cast<LPARAM>(&boxSearch));
        HWND box = boxSearch.found;
        if (box != nullptr && IsWindowVisible(box)) {
            TextSearch search;
            EnumChildWindows(box, collectStaticText, reinterpret_cast<LPARAM>(&search));
            {
                std::lock_guard lock(textMutex_);
                lastText_ = search.text;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_));
            // Counted before the click, so that the code under test, which
            // goes on as soon as the box closes, already sees the answer.
            ++answered_;
            HWND button = GetDlgItem(box, button_);
            if (button != nullptr) {
                SendMessageA(button, BM_CLICK, 0, 0);
            } else {
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
            }
            // Wait for it to go, so that a slow close is not answered twice.
            for (int wait = 0; wait < 500 && IsWindow(box); ++wait) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
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

}  // namespace imaging_test

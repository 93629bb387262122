#include "message_box_watcher.h"

#include "test_window.h"

namespace test_support {

namespace {

std::string windowText(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool hasClass(HWND window, const char* name) {
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    return lstrcmpiA(className, name) == 0;
}

// The message of a box: its last non-empty static text (the icon is a static
// without text).
std::string boxText(HWND box) {
    std::string text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM found) -> BOOL {
            if (hasClass(child, "Static")) {
                if (std::string own = windowText(child); !own.empty()) {
                    *reinterpret_cast<std::string*>(found) = std::move(own);
                }
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
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
    if (process == GetCurrentProcessId() && hasClass(window, dialogClassName) &&
        IsWindowVisible(window) &&
        (search->caption->empty() || *search->caption == windowText(window))) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(std::string caption, int button,
                                     std::chrono::milliseconds delay)
    : caption_(std::move(caption)), button_(button), delay_(delay), thread_([this] { watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop_ = true;
    thread_.join();
}

std::string MessageBoxWatcher::lastText() const {
    std::lock_guard lock(seenMutex_);
    return lastText_;
}

std::string MessageBoxWatcher::lastCaption() const {
    std::lock_guard lock(seenMutex_);
    return lastCaption_;
}

void MessageBoxWatcher::watch() {
    while (!stop_) {
        BoxSearch search{&caption_};
        EnumWindows(findOwnBox, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            answer(search.found);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void MessageBoxWatcher::answer(HWND box) {
    {
        std::lock_guard lock(seenMutex_);
        lastText_ = boxText(box);
        lastCaption_ = windowText(box);
    }
    std::this_thread::sleep_for(delay_);
    // Counted before the click, so that the code under test, which goes on as
    // soon as the box closes, already sees the answer.
    ++answered_;
    // Posted, never sent: a message sent from this thread is handled inside
    // the box's own loop while it fetches its next message, and a box that
    // ends there drops the message it fetched, which may be one the code
    // under test posted to itself (a worker's "done").
    if (button_ == close) {
        PostMessageA(box, WM_CLOSE, 0, 0);
    } else if (HWND button = GetDlgItem(box, button_); button != nullptr) {
        PostMessageA(button, BM_CLICK, 0, 0);
    } else {
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
    }
    // Wait for it to go, so that a slow close is not answered twice.
    for (int wait = 0; wait < 500 && IsWindow(box); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace test_support

// Real windows for the Windows tests: a top-level or child window of a class
// the test names (registered on first use), owned like every window of the
// player; and the message loop a test runs while it waits.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

#include "platform/scoped_handle.h"

namespace test_support {

// The system's class of dialogs and message boxes.
inline constexpr const char* dialogClassName = "#32770";
// The system's class of popup menus.
inline constexpr const char* menuClassName = "#32768";

struct TestWindowOptions {
    // A class of the test's own, registered on first use with `procedure` and
    // `background`; or a system class ("STATIC"), used as it is.
    const char* className = nullptr;
    WNDPROC procedure = DefWindowProcA;
    HBRUSH background = nullptr;
    const char* title = "";
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD extendedStyle = 0;
    int x = 0;
    int y = 0;
    int width = 100;
    int height = 100;
    HWND parent = nullptr;
    // Stored as the window's user data once it exists (messages sent while it
    // is made see none).
    void* userData = nullptr;
};

// The window; an empty owner when it cannot be made.
platform::UniqueWindow createTestWindow(const TestWindowOptions& options);

// Dispatches the thread's messages (translated) until `done` holds or
// `timeout` passes; whether `done` held. `done` is asked before any message
// is dispatched and then at least every few milliseconds, so that it may also
// wait for other threads.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// Dispatches the thread's messages for about `time`, those waiting at the
// start always.
void pumpFor(std::chrono::milliseconds time);
inline void pumpMessages(DWORD milliseconds) {
    pumpFor(std::chrono::milliseconds(milliseconds));
}

}  // namespace test_support

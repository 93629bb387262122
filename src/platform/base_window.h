// A window whose messages reach an object of the player: the class a window
// kind derives from registers the window class, creates the window with
// `create`, and handles its messages in `handleMessage`. A child, a popup or a
// message-only window (parent HWND_MESSAGE) alike.
#pragma once

#include <windows.h>

namespace platform {

// What a window class is registered with; the procedure is the base's own.
struct WindowClass {
    const char* name = nullptr;
    UINT style = 0;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
};

// What a window is created with.
struct WindowPlacing {
    DWORD extendedStyle = 0;
    const char* title = "";
    DWORD style = 0;
    RECT rectangle{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
    // A window's parent or owner; HWND_MESSAGE for a message-only window.
    HWND parent = nullptr;
};

// The window's messages reach `handleMessage` from WM_NCCREATE to
// WM_NCDESTROY, or until the object goes, each inside the process-end policy
// (an exception that escapes the handler ends the run instead of unwinding
// into the system's dispatch). A child window belongs to its parent, which
// destroys it, and outlives the object when the parent does; any other window
// (a popup, a message-only window) goes with the object at the latest.
class BaseWindow {
  public:
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

    // The window; null before `create` and once it is destroyed.
    HWND window() const { return window_; }

  protected:
    BaseWindow() = default;
    virtual ~BaseWindow();

    // Registers `windowClass` (a class registered before stays as it is) and
    // creates the window; false when there is none.
    bool create(const WindowClass& windowClass, const WindowPlacing& placing);
    // From here on no message reaches this object; the window stays. For a
    // destructor whose members must go while the window is still there.
    void stopMessages();
    // Destroys the window, if there is one, whatever its kind; its last
    // messages do not reach this object.
    void destroyWindow();

    // Handles one message of the window; the default is the system's.
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT defaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    // Not a child: no parent destroys the window, this object does.
    bool destroyedWithObject_ = false;
};

}  // namespace platform

#include "platform/base_window.h"

#include "platform/process_end.h"

namespace platform {

namespace {

BaseWindow* objectOf(HWND window) {
    return reinterpret_cast<BaseWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

}  // namespace

BaseWindow::~BaseWindow() {
    if (destroyedWithObject_) {
        destroyWindow();
    } else {
        stopMessages();
    }
}

bool BaseWindow::create(const WindowClass& windowClass, const WindowPlacing& placing) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA registration{};
    registration.style = windowClass.style;
    registration.lpfnWndProc = procedure;
    registration.hInstance = instance;
    registration.hCursor = windowClass.cursor;
    registration.hbrBackground = windowClass.background;
    registration.lpszClassName = windowClass.name;
    RegisterClassA(&registration);  // a repeated registration fails harmlessly

    destroyedWithObject_ = (placing.style & WS_CHILD) == 0;
    const RECT& r = placing.rectangle;
    const bool defaultPlace = r.left == CW_USEDEFAULT;
    CreateWindowExA(placing.extendedStyle, windowClass.name, placing.title, placing.style, r.left,
                    r.top, defaultPlace ? CW_USEDEFAULT : r.right - r.left,
                    defaultPlace ? CW_USEDEFAULT : r.bottom - r.top, placing.parent, nullptr,
                    instance, this);
    // The window is this object's from WM_NCCREATE on; a window whose creation
    // failed after it has been destroyed again and cleared.
    return window_ != nullptr;
}

void BaseWindow::stopMessages() {
    if (window_ != nullptr && IsWindow(window_) && objectOf(window_) == this) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    }
}

void BaseWindow::destroyWindow() {
    const HWND window = window_;
    if (window == nullptr) {
        return;
    }
    // A handle whose window went without a word here (messages stopped) may
    // name another window by now: only a window of this kind that reaches
    // this object or none is destroyed.
    const BaseWindow* object = IsWindow(window) ? objectOf(window) : this;
    const bool ours =
        IsWindow(window) && (object == this || object == nullptr) &&
        reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) == procedure;
    stopMessages();
    window_ = nullptr;
    if (ours) {
        DestroyWindow(window);
    }
}

LRESULT BaseWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return defaultHandling(message, wParam, lParam);
}

LRESULT BaseWindow::defaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window_, message, wParam, lParam);
}

LRESULT CALLBACK BaseWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        auto* object = static_cast<BaseWindow*>(creation->lpCreateParams);
        object->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    }
    BaseWindow* object = objectOf(window);
    if (object == nullptr) {
        // Before WM_NCCREATE, and after the object let go of the window.
        return DefWindowProcA(window, message, wParam, lParam);
    }
    const LRESULT result =
        endOnAnyException([&] { return object->handleMessage(message, wParam, lParam); });
    if (message == WM_NCDESTROY) {
        // The window's last message: the handle means nothing from here on.
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        object->window_ = nullptr;
    }
    return result;
}

}  // namespace platform

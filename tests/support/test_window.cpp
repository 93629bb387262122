#include "test_window.h"

namespace test_support {

platform::UniqueWindow createTestWindow(const TestWindowOptions& options) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing{};
    if (!GetClassInfoA(instance, options.className, &existing) &&
        !GetClassInfoA(nullptr, options.className, &existing)) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = options.procedure;
        windowClass.hInstance = instance;
        windowClass.hbrBackground = options.background;
        windowClass.lpszClassName = options.className;
        RegisterClassA(&windowClass);
    }
    platform::UniqueWindow window(CreateWindowExA(
        options.extendedStyle, options.className, options.title, options.style, options.x,
        options.y, options.width, options.height, options.parent, nullptr, instance, nullptr));
    if (window && options.userData != nullptr) {
        SetWindowLongPtrA(window.get(), GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(options.userData));
    }
    return window;
}

void pumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    }
}

}  // namespace test_support

#include "test_window.h"

namespace test_support {

platform::UniqueWindow createTestWindow(const TestWindowSpec& spec) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing{};
    if (!GetClassInfoA(instance, spec.className, &existing) &&
        !GetClassInfoA(nullptr, spec.className, &existing)) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = spec.procedure;
        windowClass.hInstance = instance;
        windowClass.hbrBackground = spec.background;
        windowClass.lpszClassName = spec.className;
        RegisterClassA(&windowClass);
    }
    platform::UniqueWindow window(
        CreateWindowExA(spec.extendedStyle, spec.className, spec.title, spec.style, spec.x, spec.y,
                        spec.width, spec.height, spec.parent, nullptr, instance, nullptr));
    if (window && spec.userData != nullptr) {
        SetWindowLongPtrA(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(spec.userData));
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

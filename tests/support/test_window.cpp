#include "test_window.h"

#include <algorithm>

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

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    // A condition set by another thread wakes no message wait: it is asked
    // again at least this often.
    constexpr auto poll = std::chrono::milliseconds(5);
    const auto end = Clock::now() + timeout;
    for (;;) {
        if (done()) {
            return true;
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const auto now = Clock::now();
        if (now >= end) {
            return done();
        }
        const auto wait = std::min<Clock::duration>(end - now, poll);
        MsgWaitForMultipleObjects(
            0, nullptr, FALSE,
            static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(wait).count()),
            QS_ALLINPUT);
    }
}

void pumpFor(std::chrono::milliseconds time) {
    pumpUntil([] { return false; }, time);
}

}  // namespace test_support

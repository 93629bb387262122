#include "sound_test_support.h"

#include <fstream>

#include "sound/sound_player.h"

namespace sound_test {

namespace {

constexpr char noticeWindowClass[] = "LumivueSoundTestNotices";

std::string temporaryFileName() {
    char folder[MAX_PATH] = {};
    char name[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "QRZ", 0, name);
    return name;
}

}  // namespace

NoticeWindow::NoticeWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &NoticeWindow::procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = noticeWindowClass;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    window_ = CreateWindowExA(0, noticeWindowClass, "sound notices", WS_OVERLAPPED, 0, 0, 100, 100,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

NoticeWindow::~NoticeWindow() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

LRESULT CALLBACK NoticeWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == SoundPlayer::graphNotifyMessage) {
        auto* self = reinterpret_cast<NoticeWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self != nullptr && self->player_ != nullptr) {
            ++self->notices_;
            self->player_->HandleGraphEvent(0);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void pumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

std::unique_ptr<TempFile> temporaryCopy(const std::string& soundName) {
    const std::string name = temporaryFileName();
    const std::string source = std::string(LUMIVUE_TEST_SOUNDS) + "/" + soundName;
    if (!CopyFileA(source.c_str(), name.c_str(), FALSE)) {
        DeleteFileA(name.c_str());
        return nullptr;
    }
    return std::make_unique<TempFile>(name.c_str());
}

std::unique_ptr<TempFile> temporaryFileWith(const std::string& bytes) {
    const std::string name = temporaryFileName();
    std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
    return std::make_unique<TempFile>(name.c_str());
}

std::string missingFilePath() {
    const std::string name = temporaryFileName();
    DeleteFileA(name.c_str());
    return name;
}

MessageBoxWatch::MessageBoxWatch() {
    thread_ = std::thread([this] {
        while (!stop_.load()) {
            EnumWindows(&MessageBoxWatch::inspect, reinterpret_cast<LPARAM>(this));
            Sleep(50);
        }
    });
}

MessageBoxWatch::~MessageBoxWatch() {
    stop_ = true;
    thread_.join();
}

BOOL CALLBACK MessageBoxWatch::inspect(HWND window, LPARAM self) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == GetCurrentProcessId() && std::string(className) == "#32770" &&
        IsWindowVisible(window)) {
        ++reinterpret_cast<MessageBoxWatch*>(self)->seen_;
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

}  // namespace sound_test

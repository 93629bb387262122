#include "sound_test_support.h"

#include <fstream>

#include "sound/sound_player.h"
#include "test_window.h"

namespace test_support {

namespace {

std::string temporaryFileName() {
    char folder[MAX_PATH] = {};
    char name[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "QRZ", 0, name);
    return name;
}

}  // namespace

NoticeWindow::NoticeWindow() {
    TestWindowOptions options;
    options.className = "LumivueSoundTestNotices";
    options.procedure = &NoticeWindow::procedure;
    options.title = "sound notices";
    options.style = WS_OVERLAPPED;
    options.userData = this;
    window_ = createTestWindow(options);
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

std::unique_ptr<package::TempFile> temporaryCopy(const std::string& soundName) {
    auto copy = std::make_unique<package::TempFile>(temporaryFileName().c_str());
    const std::string source = std::string(LUMIVUE_TEST_SOUNDS) + "/" + soundName;
    if (!CopyFileA(source.c_str(), copy->path(), FALSE)) {
        return nullptr;  // the copy's file goes with it
    }
    return copy;
}

std::unique_ptr<package::TempFile> temporaryFileWith(const std::string& bytes) {
    const std::string name = temporaryFileName();
    std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
    return std::make_unique<package::TempFile>(name.c_str());
}

std::string missingFilePath() {
    const std::string name = temporaryFileName();
    // The name is wanted, not the empty file GetTempFileNameA made for it.
    DeleteFileA(name.c_str());
    return name;
}

}  // namespace test_support

// What the sound tests share: a hidden window that handles the graph's
// completion notices as the view window does, and temporary copies of the
// test sounds.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "package/payload.h"
#include "platform/scoped_handle.h"

class SoundPlayer;

namespace test_support {

// A real, hidden top-level window that passes message 1029 to the player's
// HandleGraphEvent and counts the notices.
class NoticeWindow {
  public:
    NoticeWindow();
    NoticeWindow(const NoticeWindow&) = delete;
    NoticeWindow& operator=(const NoticeWindow&) = delete;

    HWND handle() const { return window_.get(); }
    void setPlayer(SoundPlayer* player) { player_ = player; }
    int notices() const { return notices_; }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    platform::UniqueWindow window_;
    SoundPlayer* player_ = nullptr;
    int notices_ = 0;
};

// A temporary copy of a test sound from the build's sound folder, deleted
// with the TempFile as an extracted sound file is.
std::unique_ptr<package::TempFile> temporaryCopy(const std::string& soundName);
// A temporary file with the given bytes (empty, or not a sound at all).
std::unique_ptr<package::TempFile> temporaryFileWith(const std::string& bytes);
// A path in the temporary folder where no file is.
std::string missingFilePath();

}  // namespace test_support

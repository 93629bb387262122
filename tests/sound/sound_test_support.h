// What the sound tests share: a hidden window that handles the graph's
// completion notices as the view window does, temporary copies of the test
// sounds, and a watch for message boxes.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "package/payload.h"
#include "platform/scoped_handle.h"

class SoundPlayer;

namespace sound_test {

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

// Watches, on its own thread, for message boxes (test_support::dialogClassName) of
// this process; closes each one it finds so that a test cannot hang on it.
class MessageBoxWatch {
  public:
    MessageBoxWatch();
    ~MessageBoxWatch();
    MessageBoxWatch(const MessageBoxWatch&) = delete;
    MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

    int boxesSeen() const { return seen_.load(); }

  private:
    static BOOL CALLBACK inspect(HWND window, LPARAM self);

    std::atomic<bool> stop_{false};
    std::atomic<int> seen_{0};
    std::thread thread_;
};

}  // namespace sound_test

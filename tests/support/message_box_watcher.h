// A user at the keyboard for the message boxes of a test: from a helper
// thread it finds each message box of this process (class dialogClassName)
// with the caption it waits for, presses the button it wants, and records what
// it saw. Boxes already open when it starts are found as well.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace test_support {

class MessageBoxWatcher {
  public:
    // Any caption: every message box of the process is answered.
    static inline const std::string anyCaption;
    // Closes the box (as its close button does) instead of pressing a button.
    static constexpr int close = 0;

    // `button`: IDYES, IDNO, IDOK... or `close`. `delay`: how long a box stays
    // open before it is answered.
    MessageBoxWatcher(std::string caption, int button,
                      std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // Boxes answered so far.
    int answered() const { return answered_.load(); }
    // The text and the caption of the last box answered.
    std::string lastText() const;
    std::string lastCaption() const;

  private:
    void watch();
    void answer(HWND box);

    const std::string caption_;
    const int button_;
    const std::chrono::milliseconds delay_;
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    mutable std::mutex seenMutex_;
    std::string lastText_;
    std::string lastCaption_;
    std::thread thread_;
};

}  // namespace test_support

// Text to the clipboard, through owners that give back the clipboard and the
// memory block on every way out.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// The clipboard, opened for `owner` for as long as this object lives.
class ClipboardSession {
  public:
    explicit ClipboardSession(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~ClipboardSession() {
        if (open_) {
            CloseClipboard();
        }
    }
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    bool isOpen() const { return open_; }

  private:
    bool open_;
};

// Replaces the clipboard's contents by `text` (the ANSI code page's text).
// False when the clipboard is held by another program or memory runs out.
bool copyTextToClipboard(HWND owner, const std::string& text);

}  // namespace platform

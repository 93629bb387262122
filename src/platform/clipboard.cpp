#include "platform/clipboard.h"

#include <cstring>

#include "platform/scoped_handle.h"

namespace platform {

bool copyTextToClipboard(HWND owner, const std::string& text) {
    UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, text.size() + 1));
    if (!block) {
        return false;
    }
    void* bytes = GlobalLock(block.get());
    if (bytes == nullptr) {
        return false;
    }
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(block.get());
    const ClipboardSession clipboard(owner);
    if (!clipboard.isOpen() || !EmptyClipboard()) {
        return false;
    }
    if (SetClipboardData(CF_TEXT, block.get()) == nullptr) {
        return false;
    }
    block.release();  // the clipboard owns it now
    return true;
}

}  // namespace platform

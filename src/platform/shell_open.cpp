#include "platform/shell_open.h"

#include <shellapi.h>

namespace platform {

void openWithShell(HWND owner, const std::wstring& target) {
    ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace platform

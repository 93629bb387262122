// Hands an address (a web page) to the system, which opens it in the user's
// browser; shared by the tour information dialog and the note card.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// A failure is not reported: the window that asked stays as it is.
void openWithShell(HWND owner, const std::wstring& target);

}  // namespace platform

// A skinned toolbar window: the windowed player's panel below the view, or
// the floating panel of full screen. Both show the shell's one set of pressed
// and hovered buttons.
#pragma once

#include <windows.h>

#include "platform/base_window.h"

namespace shell {

class Toolbar : private platform::BaseWindow {
  public:
    Toolbar() = default;

    // Creates the toolbar as a hidden child of `mainWindow`; false when the
    // window could not be made.
    bool create(HWND mainWindow);
    HWND window() const { return BaseWindow::window(); }

  private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace shell

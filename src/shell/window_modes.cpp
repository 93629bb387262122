// The two window modes: the fixed, centred window and full screen with the
// shaped floating toolbar.
#include <windows.h>

#include "shell/shell.h"
#include "shell/shell_core.h"
#include "platform/com_ref.h"
#include "platform/scoped_handle.h"

namespace shell {

namespace {

RECT desktopRectangle() {
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    return desktop;
}

HWND createFullToolbar(HWND mainWindow) {
    HWND toolbar = createToolbarWindow(
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainWindow, GWLP_HINSTANCE)));
    if (toolbar == nullptr) {
        return nullptr;
    }
    // The outline picture is needed only here; its object and bitmap go with it.
    platform::ComRef<IPicture> outline = decodeLanguagePicture(IDP_FULL_SCREEN_OUTLINE);
    OLE_HANDLE handle = 0;
    if (outline && SUCCEEDED(outline->get_Handle(&handle))) {
        platform::UniqueRegion region(regionFromBitmap(
            reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), RGB(0, 0, 0)));
        if (region && SetWindowRgn(toolbar, region.get(), TRUE) != 0) {
            region.release();  // the window owns it now
        }
    }
    return toolbar;
}

void enterFullScreen(HWND window) {
    ShellState& s = shellState;
    if (s.savedPlacement.length == 0) {
        s.savedPlacement = WINDOWPLACEMENT{};
        s.savedPlacement.length = sizeof(WINDOWPLACEMENT);
    }
    GetWindowPlacement(window, &s.savedPlacement);
    const RECT desktop = desktopRectangle();
    const int width = desktop.right - desktop.left;
    const int height = desktop.bottom - desktop.top;
    SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) & ~WS_DLGFRAME);
    removeMenu(window);
    DrawMenuBar(window);
    MoveWindow(window, 0, 0, width, height, TRUE);
    if (s.toolbarWindow != nullptr) {
        ShowWindow(s.toolbarWindow, SW_HIDE);
    }
    if (s.fullToolbarWindow == nullptr) {
        s.fullToolbarWindow = createFullToolbar(window);
    }
    const SkinRect& size = SkinSet::fullScreenToolbarRect;
    MoveWindow(s.fullToolbarWindow, 0, height - size.height, size.width, size.height, TRUE);
    viewer.setFullToolbarWindow(s.fullToolbarWindow);
    viewer.moveViewWindow(RECT{0, 0, width, height});
    s.buttonPressed[fullScreenButton] = 1;
    if (s.tour->fullScreenMode() != 0) {
        ShowWindow(s.fullToolbarWindow, SW_SHOWNORMAL);
        EnableWindow(s.fullToolbarWindow, TRUE);
    } else {
        MoveWindow(s.fullToolbarWindow, 0, 0, 0, 0, TRUE);
        EnableWindow(s.fullToolbarWindow, FALSE);
    }
    viewer.refresh();
    s.fullScreen = 1;
    ShowWindow(window, SW_HIDE);
    ShowWindow(window, SW_SHOWNORMAL);
}

void leaveFullScreen(HWND window) {
    ShellState& s = shellState;
    if (s.fullToolbarWindow != nullptr) {
        ShowWindow(s.fullToolbarWindow, SW_HIDE);
    }
    SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) | WS_CAPTION);
    installMainMenu(window);
    addSceneItems(window);
    SetWindowPlacement(window, &s.savedPlacement);
    if (s.toolbarWindow != nullptr) {
        MoveWindow(s.toolbarWindow, 0, s.viewTop + s.viewHeight, 500, 500, TRUE);
        ShowWindow(s.toolbarWindow, SW_SHOWNORMAL);
    }
    viewer.moveViewWindow(RECT{0, s.viewTop, s.windowWidth, s.viewTop + s.viewHeight});
    // The cut-out for the floating toolbar belongs to full screen only.
    if (viewer.viewWindow() != nullptr) {
        SetWindowRgn(viewer.viewWindow(), nullptr, TRUE);
    }
    s.buttonPressed[fullScreenButton] = 0;
    s.fullScreen = 0;
    ShowWindow(window, SW_HIDE);
    ShowWindow(window, SW_SHOWNORMAL);
}

}  // namespace

void centreOnDesktop(HWND window) {
    const int extra = GetSystemMetrics(SM_CYMENU) + GetSystemMetrics(SM_CYCAPTION);
    const WindowLayout layout = layoutForViewSize(shellState.tour->viewSize());
    shellState.viewHeight = layout.viewHeight;
    shellState.viewTop = layout.viewTop;
    shellState.toolbarHeight = layout.toolbarHeight;
    shellState.windowWidth = layout.windowWidth();
    const int height = layout.windowHeight(extra);
    const RECT desktop = desktopRectangle();
    MoveWindow(window, (desktop.right - shellState.windowWidth) / 2, (desktop.bottom - height) / 2,
               shellState.windowWidth, height, TRUE);
}

void toggleFullScreen(HWND window) {
    if (shellState.fullScreen) {
        leaveFullScreen(window);
    } else {
        enterFullScreen(window);
    }
}

}  // namespace shell

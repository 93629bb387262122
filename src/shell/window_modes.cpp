// The two window modes: the fixed, centred window and full screen with the
// shaped floating toolbar.
#include <windows.h>

#include "shell/shell.h"
#include "shell/shell_core.h"
#include "platform/bitmap_enlarging.h"
#include "platform/picture_decoding.h"
#include "platform/scoped_handle.h"

namespace shell {

namespace {

RECT desktopRectangle() {
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    return desktop;
}

// The desktop less the taskbar; the whole desktop when the system does not say.
RECT workArea() {
    RECT area = desktopRectangle();
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// What the main window's frame, caption and menu bar add to its content.
SIZE windowFrameSize() {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, mainWindowStyle, TRUE, 0);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// The client area of the windowed player at 96 dpi on this system: the
// window's size from its layout less the frame, caption and menu bar at 96
// dpi. A system that cannot tell its 96-dpi sizes gives the whole layout.
SIZE clientAt96Dpi(const WindowLayout& layout) {
    using MetricsForDpi = int(WINAPI*)(int, UINT);
    using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    const HMODULE user = GetModuleHandleA("user32.dll");
    const auto metrics = reinterpret_cast<MetricsForDpi>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetSystemMetricsForDpi")));
    const auto adjust = reinterpret_cast<AdjustForDpi>(
        reinterpret_cast<void*>(GetProcAddress(user, "AdjustWindowRectExForDpi")));
    RECT frame{0, 0, 0, 0};
    if (metrics == nullptr || adjust == nullptr || !adjust(&frame, mainWindowStyle, TRUE, 0, 96)) {
        return {layout.viewWidth, layout.contentHeight()};
    }
    const int extra = metrics(SM_CYMENU, 96) + metrics(SM_CYCAPTION, 96);
    return {layout.windowWidth() - (frame.right - frame.left),
            layout.windowHeight(extra) - (frame.bottom - frame.top)};
}

// The full-screen toolbar, cut to the outline picture's shape.
void createFullToolbar(HWND mainWindow) {
    if (!shellState.fullToolbar.create(mainWindow)) {
        return;
    }
    const HWND toolbar = shellState.fullToolbar.window();
    // The outline picture is needed only here; its object and bitmap go with it.
    const platform::PictureBitmap outline = loadLanguagePicture(IDP_FULL_SCREEN_OUTLINE);
    if (outline) {
        const HBITMAP natural = outline.bitmap();
        // The outline is enlarged with the toolbar's skin, pixel for pixel.
        platform::UniqueBitmap enlarged;
        if (shellState.scale > 1) {
            enlarged = platform::enlargeBitmap(natural, shellState.scale);
        }
        platform::UniqueRegion region =
            regionFromBitmap(enlarged ? enlarged.get() : natural, RGB(0, 0, 0));
        if (region && SetWindowRgn(toolbar, region.get(), TRUE) != 0) {
            region.release();  // the window owns it now
        }
    }
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
    if (s.toolbar.window() != nullptr) {
        ShowWindow(s.toolbar.window(), SW_HIDE);
    }
    if (s.fullToolbar.window() == nullptr) {
        createFullToolbar(window);
    }
    const HWND fullToolbar = s.fullToolbar.window();
    const package::SkinRect size = scaledRect(package::SkinSet::fullScreenToolbarRect, s.scale);
    MoveWindow(fullToolbar, 0, height - size.height, size.width, size.height, TRUE);
    viewer.setFullToolbarWindow(fullToolbar);
    viewer.moveViewWindow(RECT{0, 0, width, height});
    s.pressedButtons[fullScreenButton] = true;
    if (s.tour->fullScreenMode() != 0) {
        ShowWindow(fullToolbar, SW_SHOWNORMAL);
        EnableWindow(fullToolbar, TRUE);
    } else {
        MoveWindow(fullToolbar, 0, 0, 0, 0, TRUE);
        EnableWindow(fullToolbar, FALSE);
    }
    viewer.refresh();
    s.fullScreen = true;
    ShowWindow(window, SW_HIDE);
    ShowWindow(window, SW_SHOWNORMAL);
}

void leaveFullScreen(HWND window) {
    ShellState& s = shellState;
    if (s.fullToolbar.window() != nullptr) {
        ShowWindow(s.fullToolbar.window(), SW_HIDE);
    }
    SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) | WS_CAPTION);
    installMainMenu(window);
    addSceneItems(window);
    SetWindowPlacement(window, &s.savedPlacement);
    if (const HWND toolbar = s.toolbar.window()) {
        MoveWindow(toolbar, 0, s.viewTop + s.viewHeight, 500 * s.scale, 500 * s.scale, TRUE);
        ShowWindow(toolbar, SW_SHOWNORMAL);
    }
    viewer.moveViewWindow(RECT{0, s.viewTop, s.viewWidth, s.viewTop + s.viewHeight});
    // The cut-out for the floating toolbar belongs to full screen only.
    if (viewer.viewWindow() != nullptr) {
        SetWindowRgn(viewer.viewWindow(), nullptr, TRUE);
    }
    s.pressedButtons[fullScreenButton] = false;
    s.fullScreen = false;
    ShowWindow(window, SW_HIDE);
    ShowWindow(window, SW_SHOWNORMAL);
}

}  // namespace

int screenDpi() {
    const platform::WindowDC screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

int chooseScale(std::int32_t viewSize, int dpi) {
    // The window has to fit what it may cover: the desktop less the taskbar.
    const RECT area = workArea();
    const SIZE frame = windowFrameSize();
    return fittingScale(scaleForDpi(dpi), layoutForViewSize(viewSize), frame.cx, frame.cy,
                        area.right - area.left, area.bottom - area.top);
}

platform::UniqueFont makeStatusFont(int dpi, int scale) {
    if (dpi == 96 && scale == 1) {
        return {};
    }
    // The window's own font at its 96-dpi size, enlarged with the skin: the
    // text then fits its strip of the panel as it does at 96 dpi.
    LOGFONTA font{};
    if (GetObjectA(GetStockObject(SYSTEM_FONT), sizeof font, &font) == 0) {
        return {};
    }
    font.lfHeight = MulDiv(font.lfHeight, 96 * scale, dpi);
    font.lfWidth = MulDiv(font.lfWidth, 96 * scale, dpi);
    return platform::UniqueFont(CreateFontIndirectA(&font));
}

void centreInWorkArea(HWND window) {
    const int scale = shellState.scale;
    const WindowLayout layout = layoutForViewSize(shellState.tour->viewSize()).scaledBy(scale);
    shellState.viewWidth = layout.viewWidth;
    shellState.viewHeight = layout.viewHeight;
    shellState.viewTop = layout.viewTop;
    shellState.toolbarHeight = layout.toolbarHeight;
    int height = 0;
    if (scale == 1) {
        const int extra = GetSystemMetrics(SM_CYMENU) + GetSystemMetrics(SM_CYCAPTION);
        shellState.windowWidth = layout.windowWidth();
        height = layout.windowHeight(extra);
    } else {
        // The client area is `scale` times the one the window has at 96 dpi;
        // the frame, caption and menu bar around it are the system's, at the
        // screen's own size.
        const SIZE client = clientAt96Dpi(layoutForViewSize(shellState.tour->viewSize()));
        const SIZE frame = windowFrameSize();
        shellState.windowWidth = client.cx * scale + frame.cx;
        height = client.cy * scale + frame.cy;
    }
    // Inside the work area, wherever the taskbar lies: a window that fits
    // is not partly under it.
    const RECT area = workArea();
    const Placement placement =
        centredInArea(area.left, area.top, area.right, area.bottom, shellState.windowWidth, height);
    MoveWindow(window, placement.x, placement.y, placement.width, placement.height, TRUE);
}

void toggleFullScreen(HWND window) {
    if (shellState.fullScreen) {
        leaveFullScreen(window);
    } else {
        enterFullScreen(window);
    }
}

}  // namespace shell

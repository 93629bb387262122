// The skinned toolbar: background, eleven bitmap buttons with hover and
// pressed looks, help texts and the status text; and the region builder that
// gives the full-screen toolbar its outline.
#include <windows.h>

#include <optional>
#include <vector>

#include "shell/shell.h"
#include "shell/shell_core.h"
#include "shell/toolbar.h"
#include "platform/scoped_handle.h"

namespace shell {

namespace {

// Where control `button` lies in the toolbar as drawn (its skin enlarged).
package::SkinRect controlRect(int button) {
    return scaledRect(package::SkinSet::controlRects[static_cast<std::size_t>(button)],
                      shellState.scale);
}

void loadHelpText(int button) {
    shellState.statusText = languageString(toolbarHelpStringId(button));
}

void clearHover() {
    shellState.hoveredButtons.reset();
}

void eraseToolbar(HWND window) {
    const platform::WindowDC windowDC(window);
    const HDC dc = windowDC.get();
    drawBitmap(
        dc, shellState.fullScreen ? shellState.fullToolbarBackground : shellState.toolbarBackground,
        0, 0);
    for (int button = 0; button < toolbarButtonCount; ++button) {
        if (shellState.pressedButtons[button] && shellState.skinSet != nullptr) {
            const package::SkinRect r = controlRect(button);
            drawBitmap(dc, shellState.skinSet->activeImage(button), r.x, r.y);
        }
    }
}

void paintToolbar(HWND window) {
    const platform::PaintScope painting(window);
    const HDC dc = painting.dc();
    for (int button = 0; button < toolbarButtonCount && shellState.skinSet != nullptr; ++button) {
        if (shellState.hoveredButtons[button] && !shellState.pressedButtons[button]) {
            if (button <= stopButton) {  // on the turning pad
                const package::SkinRect pad =
                    scaledRect(package::SkinSet::padRect, shellState.scale);
                drawBitmap(dc, shellState.skinSet->extraImage22(), pad.x, pad.y);
            }
            const package::SkinRect r = controlRect(button);
            drawBitmap(dc, shellState.skinSet->normalImage(button), r.x, r.y);
            break;
        }
    }
    if (!shellState.fullScreen) {
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkMode(dc, TRANSPARENT);
        // Without a font of its own the status text is in the window's, as at 96 dpi.
        std::optional<platform::Selection> font;
        if (shellState.statusFont) {
            font.emplace(dc, shellState.statusFont.get());
        }
        const int scale = shellState.scale;
        TextOutW(dc, 15 * scale, shellState.toolbarHeight - 28 * scale,
                 shellState.statusText.c_str(), static_cast<int>(shellState.statusText.size()));
    }
}

void trackHover(HWND window, LPARAM position) {
    const int x = LOWORD(position);
    const int y = HIWORD(position);
    for (int button = 0; button < toolbarButtonCount; ++button) {
        const bool hovered = buttonContains(button, x, y, shellState.scale);
        if (hovered) {
            loadHelpText(button);
        } else {
            shellState.statusText = shellState.defaultStatusText;
        }
        if (hovered != shellState.hoveredButtons[button]) {
            clearHover();
            shellState.hoveredButtons[button] = hovered;
            InvalidateRect(window, nullptr, TRUE);
            return;
        }
    }
}

// Asks for one WM_MOUSELEAVE when the pointer leaves the toolbar.
void trackLeave(HWND window) {
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = window;
    TrackMouseEvent(&track);
}

// A hover look and its help text go when the pointer leaves the toolbar.
void endHover(HWND window) {
    if (shellState.hoveredButtons.none()) {
        return;
    }
    clearHover();
    shellState.statusText = shellState.defaultStatusText;
    InvalidateRect(window, nullptr, TRUE);
}

void runButton(int button) {
    switch (button) {
        case turnLeftButton:
            viewer.turnLeft();
            break;
        case turnRightButton:
            viewer.turnRight();
            break;
        case turnUpButton:
            viewer.turnUp();
            break;
        case turnDownButton:
            viewer.turnDown();
            break;
        case stopButton:
            viewer.stopTurning();
            break;
        case previousSceneButton:
            viewer.previousScene();
            break;
        case nextSceneButton:
            viewer.nextScene();
            break;
        case resetViewButton:
            viewer.resetView();
            break;
        case autoRotateButton:
            viewer.autoRotate();
            break;
        case playTourButton:
            viewer.playTour();
            break;
        default:
            break;
    }
}

void click(HWND window, LPARAM position) {
    const int button = toolbarButtonAt(LOWORD(position), HIWORD(position), shellState.scale);
    if (button < 0) {
        return;
    }
    if (button == fullScreenButton) {
        clearHover();
        shellState.pressedButtons.flip(fullScreenButton);
        SendMessageA(shellState.mainWindow, WM_COMMAND, commandFullScreen, 0);
        return;
    }
    // One of the other buttons shows pressed at a time; full screen's is apart.
    const bool fullScreenPressed = shellState.pressedButtons[fullScreenButton];
    shellState.pressedButtons.reset();
    shellState.pressedButtons[fullScreenButton] = fullScreenPressed;
    clearHover();
    shellState.pressedButtons[button] = true;
    runButton(button);
    loadHelpText(button);
    InvalidateRect(window, nullptr, TRUE);
}

}  // namespace

// Copies `bitmap` to (x, y), `scale` times its own size; an empty slot draws
// nothing.
void drawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int scale) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0) {
        return;
    }
    drawBitmapSized(dc, bitmap, x, y, info.bmWidth * scale, info.bmHeight * scale);
}

void drawBitmapSized(HDC dc, HBITMAP bitmap, int x, int y, int width, int height) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0) {
        return;
    }
    platform::UniqueMemoryDC source = platform::makeMemoryDC();
    platform::Selection selection(source.get(), bitmap);
    if (width == info.bmWidth && height == info.bmHeight) {
        BitBlt(dc, x, y, width, height, source.get(), 0, 0, SRCCOPY);
        return;
    }
    const int mode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, x, y, width, height, source.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SetStretchBltMode(dc, mode);
}

bool Toolbar::create(HWND mainWindow) {
    platform::WindowClass windowClass;
    windowClass.name = toolbarClassName;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    platform::WindowPlacing placing;
    placing.style = WS_CHILD;
    placing.parent = mainWindow;
    if (!BaseWindow::create(windowClass, placing)) {
        return false;
    }
    UpdateWindow(window());
    return true;
}

LRESULT Toolbar::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND toolbar = window();
    switch (message) {
        case WM_CREATE:
        case WM_DESTROY:
            return 0;
        case WM_SETFOCUS:
            SetFocus(shellState.mainWindow);
            break;
        case WM_ERASEBKGND:
            eraseToolbar(toolbar);
            break;
        case WM_PAINT:
            paintToolbar(toolbar);
            break;
        case WM_MOUSEMOVE:
            trackLeave(toolbar);
            trackHover(toolbar, lParam);
            break;
        case WM_MOUSELEAVE:
            endHover(toolbar);
            return 0;
        case WM_LBUTTONUP:
            click(toolbar, lParam);
            break;
        default:
            break;
    }
    return defaultHandling(message, wParam, lParam);
}

platform::UniqueRegion regionFromBitmap(HBITMAP bitmap, COLORREF key) {
    if (bitmap == nullptr) {
        return {};
    }
    BITMAP info{};
    if (GetObjectA(bitmap, sizeof info, &info) == 0 || info.bmWidth <= 0 || info.bmHeight == 0) {
        return {};
    }
    const int width = info.bmWidth;
    const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    platform::UniqueMemoryDC memory = platform::makeMemoryDC();
    if (memory.get() == nullptr) {
        return {};
    }
    BITMAPINFO header{};
    header.bmiHeader.biSize = 40;
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = height;  // bottom-up
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    platform::UniqueBitmap section(
        CreateDIBSection(memory.get(), &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (section.get() == nullptr || bits == nullptr) {
        return {};
    }
    {
        platform::Selection target(memory.get(), section.get());
        platform::UniqueMemoryDC sourceDC = platform::makeMemoryDC();
        if (sourceDC.get() == nullptr) {
            return {};
        }
        platform::Selection source(sourceDC.get(), bitmap);
        BitBlt(memory.get(), 0, 0, width, height, sourceDC.get(), 0, 0, SRCCOPY);
    }
    GdiFlush();
    const auto* pixels = static_cast<const std::uint8_t*>(bits);
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const PixelReader pixel = [&](int x, int y, std::uint8_t rgb[3]) {
        const std::uint8_t* p = pixels + static_cast<std::size_t>(height - 1 - y) * stride +
                                static_cast<std::size_t>(x) * 4;
        rgb[0] = p[2];
        rgb[1] = p[1];
        rgb[2] = p[0];
    };
    platform::UniqueRegion result;
    const auto flush = [&](const RegionRectangles& rectangles) {
        platform::UniqueRegion batch(
            ExtCreateRegion(nullptr, static_cast<DWORD>(rectangles.allocatedSize()),
                            reinterpret_cast<const RGNDATA*>(rectangles.data())));
        if (!batch) {
            return;
        }
        if (!result) {
            result = std::move(batch);
        } else {
            CombineRgn(result.get(), result.get(), batch.get(), RGN_OR);
        }
    };
    scanKeyRuns(width, height, pixel, keyColour(GetRValue(key), GetGValue(key), GetBValue(key)),
                3000, flush);
    return result;
}

}  // namespace shell

// The three modal dialogs of the help menu: the about box (a picture with the
// maker's web link), the picture dialog, and the tour information dialog with
// the author's texts, photo and links, a hand cursor over the links and a
// floating label for texts too long for their controls.
#include <windows.h>

#include <cstring>
#include <string>
#include <utility>

#include "platform/code_pages.h"
#include "platform/picture_decoding.h"
#include "platform/scoped_handle.h"
#include "platform/shell_open.h"
#include "shell/shell.h"
#include "shell/shell_core.h"

namespace shell {

namespace {

SIZE bitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0) {
        return {0, 0};
    }
    return {info.bmWidth, info.bmHeight};
}

// Paints a picture at the client's top-left corner at its own size.
void paintPicture(HWND dialog, HBITMAP picture) {
    const platform::PaintScope painting(dialog);
    drawBitmap(painting.dc(), picture, 0, 0);
}

void centreOnMainWindow(HWND dialog, HBITMAP picture) {
    const SIZE size = bitmapSize(picture);
    centreOnOwner(shellState.mainWindow, dialog, size.cx, size.cy);
}

std::wstring controlText(HWND dialog, int controlId, int capacity) {
    std::wstring text(static_cast<std::size_t>(capacity), L'\0');
    const int length = GetDlgItemTextW(dialog, controlId, text.data(), capacity);
    text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return text;
}

// The control's window rectangle in the dialog's client coordinates.
RECT controlRectangle(HWND dialog, int controlId) {
    RECT rectangle{};
    if (HWND control = GetDlgItem(dialog, controlId)) {
        GetWindowRect(control, &rectangle);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rectangle), 2);
    }
    return rectangle;
}

// What a click on the link control opens, for its text as shown.
std::wstring linkTargetOf(int controlId, const std::wstring& text) {
    return platform::widen(linkTarget(controlId, platform::utf8(text)), CP_UTF8);
}

INT_PTR endOnOkOrCancel(HWND dialog, WPARAM wParam) {
    const WORD id = LOWORD(wParam);
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(dialog, id);
        return TRUE;
    }
    return FALSE;
}

INT_PTR transparentStatic(WPARAM wParam) {
    SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<INT_PTR>(shellState.dialogBrush.get());
}

// --- The floating label -----------------------------------------------------

HINSTANCE programInstance() {
    return GetModuleHandleA(nullptr);
}

bool ensureLabelWindow(HWND dialog) {
    ShellState& s = shellState;
    if (s.labelWindowCreated && IsWindow(s.labelWindow)) {
        return true;
    }
    if (!s.labelClassRegistered) {
        const std::wstring name = asciiName(labelClassName);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = guarded<labelWindowProcedure>;
        windowClass.hInstance = programInstance();
        windowClass.hbrBackground = s.labelBrush.get();
        windowClass.lpszClassName = name.c_str();
        if (RegisterClassW(&windowClass) == 0) {
            return false;
        }
        s.labelClassRegistered = true;
    }
    s.labelWindow = CreateWindowExW(0, asciiName(labelClassName).c_str(), L"", WS_POPUP | WS_BORDER,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    dialog, nullptr, programInstance(), nullptr);
    s.labelWindowCreated = s.labelWindow != nullptr;
    return s.labelWindowCreated;
}

void hideLabel() {
    if (shellState.labelWindowCreated && IsWindow(shellState.labelWindow)) {
        ShowWindow(shellState.labelWindow, SW_HIDE);
    }
}

void showLabel(HWND dialog, POINT pointer, const std::wstring& text) {
    // The dialog's top-left corner in its own client coordinates: minus the
    // frame and the caption.
    RECT window;
    GetWindowRect(dialog, &window);
    POINT corner{window.left, window.top};
    ScreenToClient(dialog, &corner);
    HWND label = shellState.labelWindow;
    SetWindowTextW(label, text.c_str());
    const int dpi = shellState.dpi;
    MoveWindow(label, pointer.x + templatePixels(50, dpi) + corner.x,
               pointer.y + templatePixels(20, dpi) + corner.y,
               templatePixels(labelWidth(text.size()), dpi), templatePixels(labelHeight, dpi),
               TRUE);
    ShowWindow(label, SW_SHOWNORMAL);
    InvalidateRect(label, nullptr, TRUE);
    SetForegroundWindow(dialog);
    // The label is owned by the dialog and belongs above it; bringing the
    // dialog forward must not bury it.
    SetWindowPos(label, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// --- The tour information dialog -----------------------------------------------

void setInfoTexts(HWND dialog) {
    const package::TourInfo& info = shellState.tour->info();
    for (const auto& [control, text] : {std::pair{infoText1Control, info.infoText1()},
                                        std::pair{webAddressControl, info.webAddress()},
                                        std::pair{emailAddressControl, info.emailAddress()},
                                        std::pair{infoText3Control, info.infoText3()},
                                        std::pair{infoText2Control, info.infoText2()},
                                        std::pair{infoText4Control, info.infoText4()}}) {
        SetDlgItemTextW(dialog, control, tourText(text).c_str());
    }
}

void hover(HWND dialog, LPARAM position) {
    POINT pointer{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    ClientToScreen(dialog, &pointer);
    if (!ensureLabelWindow(dialog)) {
        return;
    }
    for (const int controlId : infoHoverControls) {
        HWND control = GetDlgItem(dialog, controlId);
        RECT rectangle;
        if (control == nullptr || !GetWindowRect(control, &rectangle) ||
            !PtInRect(&rectangle, pointer)) {
            continue;
        }
        const std::wstring text = controlText(dialog, controlId, 100);
        if (isLinkControl(controlId) && !linkTargetOf(controlId, text).empty()) {
            SetCursor(
                LoadCursorW(shellState.languageModule.get(), MAKEINTRESOURCEW(IDC_LINK_HAND)));
        }
        if (needsLabel(text.size())) {
            showLabel(dialog, pointer, text);
        } else {
            // The label belongs to the text under the pointer, never to a
            // neighbour it has left.
            hideLabel();
        }
        return;
    }
    hideLabel();
}

void clickLinks(HWND dialog, WPARAM wParam, LPARAM position) {
    const POINT point{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    bool hit = false;
    for (const int controlId : infoClickControls) {
        RECT area = controlRectangle(dialog, controlId);
        area.bottom = area.top + templatePixels(linkHitHeight, shellState.dpi);
        if (!PtInRect(&area, point)) {
            continue;
        }
        const std::wstring target = linkTargetOf(controlId, controlText(dialog, controlId, 101));
        if (!target.empty()) {
            platform::openWithShell(dialog, target);
            hit = true;
        }
    }
    if (!hit) {
        EndDialog(dialog, LOWORD(wParam));
    }
}

void paintAuthorPhoto(HWND dialog) {
    if (!loadAuthorPhoto(readFileRange)) {
        return;  // the default handling paints the dialog
    }
    const HBITMAP photo = shellState.authorPhoto.bitmap();
    const SIZE size = bitmapSize(photo);
    const Point origin = authorPhotoOrigin(size.cx, size.cy);
    const int dpi = shellState.dpi;
    const platform::PaintScope painting(dialog);
    drawBitmapSized(painting.dc(), photo, templatePixels(origin.x, dpi),
                    templatePixels(origin.y, dpi), templatePixels(size.cx, dpi),
                    templatePixels(size.cy, dpi));
}

}  // namespace

void centreOnOwner(HWND owner, HWND dialog, int width, int height) {
    if (width == 0) {
        RECT own;
        GetWindowRect(dialog, &own);
        width = own.right - own.left;
        height = own.bottom - own.top;
    }
    RECT ownerRectangle;
    GetWindowRect(owner, &ownerRectangle);
    const Placement placement = centredOnOwner(
        ownerRectangle.left, ownerRectangle.top, ownerRectangle.right - ownerRectangle.left,
        ownerRectangle.bottom - ownerRectangle.top, width, height);
    MoveWindow(dialog, placement.x, placement.y, placement.width, placement.height, TRUE);
}

HGLOBAL readFileRange(const char* path, std::int32_t offset, std::int32_t length) {
    return platform::readFileRange(path, offset, length).release();
}

bool loadAuthorPhoto(FileRangeReader read) {
    ShellState& s = shellState;
    if (s.authorPhoto) {
        return true;
    }
    const package::FileItem* picture = s.tour ? s.tour->info().picture() : nullptr;
    if (picture == nullptr || picture->length() <= 0) {
        return false;  // no photo: the program's file is not even opened
    }
    HGLOBAL block = read(s.executablePath.c_str(), picture->offset(), picture->length());
    if (block == nullptr) {
        return false;
    }
    platform::ComRef<IPicture> decoded;
    platform::decodePicture(platform::UniqueGlobal(block),
                            static_cast<std::size_t>(picture->length()), decoded);
    // A photo without a bitmap is let go of, and tried again at the next paint.
    s.authorPhoto = platform::PictureBitmap(std::move(decoded));
    return static_cast<bool>(s.authorPhoto);
}

INT_PTR CALLBACK aboutDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            centreOnMainWindow(dialog, shellState.aboutFace.shown());
            return TRUE;
        case WM_PAINT:
            paintPicture(dialog, shellState.aboutFace.shown());
            return FALSE;
        case WM_COMMAND:
            return endOnOkOrCancel(dialog, wParam);
        case WM_LBUTTONDOWN:
            if (aboutLinkContains(static_cast<short>(LOWORD(lParam)),
                                  static_cast<short>(HIWORD(lParam)), shellState.scale)) {
                platform::openWithShell(dialog, asciiName(makerWebAddress));
            } else {
                SendMessageA(dialog, WM_COMMAND, IDOK, 0);
            }
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK pictureDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            centreOnMainWindow(dialog, shellState.helpCard.shown());
            return TRUE;
        case WM_PAINT:
            paintPicture(dialog, shellState.helpCard.shown());
            return FALSE;
        case WM_COMMAND:
            return endOnOkOrCancel(dialog, wParam);
        case WM_LBUTTONDOWN:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return transparentStatic(wParam);
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK tourInfoDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            if (shellState.tour) {
                setInfoTexts(dialog);
            }
            centreOnOwner(shellState.mainWindow, dialog, 0, 0);
            return TRUE;
        case WM_PAINT:
            paintAuthorPhoto(dialog);
            return FALSE;
        case WM_COMMAND:
            // Enter does not close the dialog; Escape and the close button do.
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
            return transparentStatic(wParam);
        case WM_MOUSEMOVE:
            hover(dialog, lParam);
            return FALSE;
        case WM_LBUTTONDOWN:
            clickLinks(dialog, wParam, lParam);
            return FALSE;
        default:
            return FALSE;
    }
}

LRESULT CALLBACK labelWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
        case WM_DESTROY:
            return 0;
        case WM_PAINT: {
            const platform::PaintScope painting(window);
            const HDC dc = painting.dc();
            std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
            text.resize(static_cast<std::size_t>(
                GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
            const platform::Selection font(dc, GetStockObject(ANSI_VAR_FONT));
            SetBkMode(dc, TRANSPARENT);
            RECT client;
            GetClientRect(window, &client);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client,
                      DT_SINGLELINE | DT_VCENTER | DT_LEFT);
            return 0;
        }
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void showAboutBox(HWND mainWindow) {
    DialogBoxParamW(shellState.languageModule.get(), MAKEINTRESOURCEW(IDD_ABOUT), mainWindow,
                    guarded<aboutDialogProcedure>, 0);
}

void showPictureDialog(HWND mainWindow) {
    DialogBoxParamW(shellState.languageModule.get(), MAKEINTRESOURCEW(IDD_PICTURE), mainWindow,
                    guarded<pictureDialogProcedure>, 0);
}

void showTourInfoDialog(HWND mainWindow) {
    DialogBoxParamW(shellState.languageModule.get(), MAKEINTRESOURCEW(IDD_TOUR_INFO), mainWindow,
                    guarded<tourInfoDialogProcedure>, 0);
}

}  // namespace shell

// The three modal dialogs of the help menu: the about box (a picture with the
// maker's web link), the picture dialog, and the tour information dialog with
// the author's texts, photo and links, a hand cursor over the links and a
// floating label for texts too long for their controls.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/picture_decoding.h"
#include "platform/scoped_handle.h"
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

std::string controlText(HWND dialog, int controlId, int capacity) {
    std::string text(static_cast<std::size_t>(capacity), '\0');
    const int length = GetDlgItemTextA(dialog, controlId, text.data(), capacity);
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

void openWithShell(HWND owner, const std::string& target) {
    // A failure is not reported: the dialog stays as it is.
    ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
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
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = guarded<labelWindowProcedure>;
        windowClass.hInstance = programInstance();
        windowClass.hbrBackground = s.labelBrush.get();
        windowClass.lpszClassName = labelClassName;
        if (RegisterClassA(&windowClass) == 0) {
            return false;
        }
        s.labelClassRegistered = 1;
    }
    s.labelWindow =
        CreateWindowExA(0, labelClassName, "", WS_POPUP | WS_BORDER, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, programInstance(), nullptr);
    s.labelWindowCreated = s.labelWindow != nullptr ? 1 : 0;
    return s.labelWindowCreated != 0;
}

void hideLabel() {
    if (shellState.labelWindowCreated && IsWindow(shellState.labelWindow)) {
        ShowWindow(shellState.labelWindow, SW_HIDE);
    }
}

void showLabel(HWND dialog, POINT pointer, const std::string& text) {
    // The dialog's top-left corner in its own client coordinates: minus the
    // frame and the caption.
    RECT window;
    GetWindowRect(dialog, &window);
    POINT corner{window.left, window.top};
    ScreenToClient(dialog, &corner);
    HWND label = shellState.labelWindow;
    SetWindowTextA(label, text.c_str());
    const int scale = shellState.scale;
    MoveWindow(label, pointer.x + 50 * scale + corner.x, pointer.y + 20 * scale + corner.y,
               labelWidth(text.size()) * scale, labelHeight * scale, TRUE);
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
    SetDlgItemTextA(dialog, infoText1Control, info.infoText1());
    SetDlgItemTextA(dialog, webAddressControl, info.webAddress());
    SetDlgItemTextA(dialog, emailAddressControl, info.emailAddress());
    SetDlgItemTextA(dialog, infoText3Control, info.infoText3());
    SetDlgItemTextA(dialog, infoText2Control, info.infoText2());
    SetDlgItemTextA(dialog, infoText4Control, info.infoText4());
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
        const std::string text = controlText(dialog, controlId, 100);
        if (isLinkControl(controlId) && !linkTarget(controlId, text).empty()) {
            SetCursor(
                LoadCursorA(shellState.languageModule.get(), MAKEINTRESOURCEA(IDC_LINK_HAND)));
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
        area.bottom = area.top + linkHitHeight * shellState.scale;
        if (!PtInRect(&area, point)) {
            continue;
        }
        const std::string target = linkTarget(controlId, controlText(dialog, controlId, 101));
        if (!target.empty()) {
            openWithShell(dialog, target);
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
    const SIZE size = bitmapSize(shellState.authorPhoto);
    const Point origin = authorPhotoOrigin(size.cx, size.cy);
    const int scale = shellState.scale;
    const platform::PaintScope painting(dialog);
    drawBitmap(painting.dc(), shellState.authorPhoto, origin.x * scale, origin.y * scale, scale);
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
    const platform::MappedFile file(path);
    if (length <= 0 || file.data() == nullptr || !file.contains(offset, length)) {
        return nullptr;
    }
    return platform::copyToMovableBlock(file.data() + offset, static_cast<std::size_t>(length))
        .block.release();
}

bool loadAuthorPhoto(FileRangeReader read) {
    ShellState& s = shellState;
    if (s.authorPhotoLoaded) {
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
    s.authorPhotoObject.reset();
    platform::decodePicture(platform::UniqueGlobal(block),
                            static_cast<std::size_t>(picture->length()), s.authorPhotoObject);
    OLE_HANDLE handle = 0;
    if (!s.authorPhotoObject || FAILED(s.authorPhotoObject->get_Handle(&handle)) || handle == 0) {
        s.authorPhotoObject.reset();  // tried again at the next paint
        return false;
    }
    s.authorPhoto = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    s.authorPhotoLoaded = 1;
    return true;
}

INT_PTR CALLBACK aboutDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            centreOnMainWindow(dialog, shellState.aboutPicture);
            return TRUE;
        case WM_PAINT:
            paintPicture(dialog, shellState.aboutPicture);
            return FALSE;
        case WM_COMMAND:
            return endOnOkOrCancel(dialog, wParam);
        case WM_LBUTTONDOWN:
            if (aboutLinkContains(static_cast<short>(LOWORD(lParam)),
                                  static_cast<short>(HIWORD(lParam)), shellState.scale)) {
                openWithShell(dialog, makerWebAddress);
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
            centreOnMainWindow(dialog, shellState.infoPicture);
            return TRUE;
        case WM_PAINT:
            paintPicture(dialog, shellState.infoPicture);
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
            char text[91] = {};
            GetWindowTextA(window, text, sizeof text);
            const platform::Selection font(dc, GetStockObject(ANSI_VAR_FONT));
            SetBkMode(dc, TRANSPARENT);
            RECT client;
            GetClientRect(window, &client);
            DrawTextA(dc, text, -1, &client, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
            return 0;
        }
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

void showAboutBox(HWND mainWindow) {
    DialogBoxParamA(shellState.languageModule.get(), MAKEINTRESOURCEA(IDD_ABOUT), mainWindow,
                    guarded<aboutDialogProcedure>, 0);
}

void showPictureDialog(HWND mainWindow) {
    DialogBoxParamA(shellState.languageModule.get(), MAKEINTRESOURCEA(IDD_PICTURE), mainWindow,
                    guarded<pictureDialogProcedure>, 0);
}

void showTourInfoDialog(HWND mainWindow) {
    DialogBoxParamA(shellState.languageModule.get(), MAKEINTRESOURCEA(IDD_TOUR_INFO), mainWindow,
                    guarded<tourInfoDialogProcedure>, 0);
}

}  // namespace shell

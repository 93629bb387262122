#include "viewer/note_card.h"

#include <algorithm>
#include <utility>

#include "lang_ids.h"
#include "platform/code_pages.h"
#include "platform/process_end.h"
#include "platform/shell_open.h"

namespace viewer {

namespace {

// The card's measures at 96 dpi; each grows with the screen's dpi.
constexpr int margin = 12;
constexpr int gap = 8;
constexpr int contentWidth = 420;
constexpr int titleHeight = 24;
constexpr int pictureHeight = 300;
constexpr int textHeight = 150;
constexpr int smallestTextHeight = 40;
constexpr int linkHeight = 18;
constexpr int linkLabelWidth = 80;
constexpr int buttonWidth = 88;
constexpr int buttonHeight = 26;
// A picture squeezed below this many pixels high is left out.
constexpr int smallestPictureHeight = 24;

int scaled(int length, int dpi) {
    return MulDiv(length, dpi, 96);
}

std::wstring moduleString(HMODULE module, UINT id) {
    if (module == nullptr) {
        return {};
    }
    const wchar_t* text = nullptr;
    // With a length of 0 the call hands back the resource's own text.
    const int length = LoadStringW(module, id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text != nullptr ? std::wstring(text, static_cast<std::size_t>(length))
                                         : std::wstring();
}

SIZE bitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof info, &info) == 0) {
        return {0, 0};
    }
    return {info.bmWidth, info.bmHeight};
}

// `picture` shrunk (never enlarged past `largest` times) to fit width x height,
// keeping its aspect.
SIZE fitted(SIZE picture, int width, int height, int largest) {
    if (picture.cx <= 0 || picture.cy <= 0 || width <= 0 || height <= 0) {
        return {0, 0};
    }
    const double factor =
        std::min({static_cast<double>(width) / picture.cx, static_cast<double>(height) / picture.cy,
                  static_cast<double>(largest)});
    return {std::max(1L, static_cast<LONG>(picture.cx * factor)),
            std::max(1L, static_cast<LONG>(picture.cy * factor))};
}

RECT box(int left, int top, int width, int height) {
    return RECT{left, top, left + width, top + height};
}

}  // namespace

NoteCardLook NoteCardLook::fromModule(HMODULE module) {
    NoteCardLook look;
    if (std::wstring text = moduleString(module, IDS_NOTE_CLOSE); !text.empty()) {
        look.closeText = std::move(text);
    }
    if (std::wstring text = moduleString(module, IDS_NOTE_LINK); !text.empty()) {
        look.linkLabel = std::move(text);
    }
    look.linkCursor =
        module != nullptr ? LoadCursorW(module, MAKEINTRESOURCEW(IDC_LINK_HAND)) : nullptr;
    if (look.linkCursor == nullptr) {
        look.linkCursor = LoadCursorA(nullptr, IDC_HAND);
    }
    return look;
}

std::wstring withWindowsLineEnds(const std::wstring& text) {
    std::wstring result;
    result.reserve(text.size() + text.size() / 8);
    for (const wchar_t character : text) {
        if (character == L'\n') {
            result += L'\r';
        }
        result += character;
    }
    return result;
}

NoteCardContent NoteCardContent::of(const package::SceneNote& note, const char* tourFile) {
    NoteCardContent content;
    content.title = platform::widen(note.title, CP_UTF8);
    content.text = withWindowsLineEnds(platform::widen(note.text, CP_UTF8));
    content.link = platform::widen(note.link, CP_UTF8);
    if (note.picture && tourFile != nullptr) {
        platform::UniqueGlobal bytes =
            platform::readFileRange(tourFile, note.picture->offset, note.picture->length);
        if (bytes) {
            platform::ComRef<IPicture> decoded;
            platform::decodePicture(std::move(bytes),
                                    static_cast<std::size_t>(note.picture->length), decoded);
            content.picture = platform::PictureBitmap(std::move(decoded));
        }
    }
    return content;
}

NoteCardLayout layOutNoteCard(SIZE picture, bool hasLink, int dpi, SIZE bounds, SIZE frame) {
    const int m = scaled(margin, dpi);
    const int g = scaled(gap, dpi);
    const int width =
        std::min(scaled(contentWidth, dpi) + 2 * m, static_cast<int>(bounds.cx - frame.cx));
    const int inner = std::max(width - 2 * m, 1);
    // Everything but the text and the picture, which share what is left.
    const int fixed = 2 * m + scaled(titleHeight, dpi) + g +
                      (hasLink ? scaled(linkHeight, dpi) + g : 0) + scaled(buttonHeight, dpi);
    const int room = std::max(static_cast<int>(bounds.cy - frame.cy) - fixed, 0);
    int text = scaled(textHeight, dpi);
    SIZE shown = fitted(picture, inner, scaled(pictureHeight, dpi), std::max(dpi / 96, 1));
    const auto pictureSpace = [&] { return shown.cy > 0 ? static_cast<int>(shown.cy) + g : 0; };
    const auto needed = [&] { return text + g + pictureSpace(); };
    if (needed() > room) {
        text = std::max(room - g - pictureSpace(), scaled(smallestTextHeight, dpi));
    }
    if (needed() > room && shown.cy > 0) {
        shown = fitted(picture, inner, room - text - 2 * g, std::max(dpi / 96, 1));
        if (shown.cy < scaled(smallestPictureHeight, dpi)) {
            shown = {0, 0};
        }
    }
    if (needed() > room) {
        text = std::max(room - g, 1);  // the last resort: a thin text that scrolls
    }
    NoteCardLayout layout;
    int y = m;
    layout.title = box(m, y, inner, scaled(titleHeight, dpi));
    y += scaled(titleHeight, dpi) + g;
    if (shown.cy > 0) {
        layout.picture = box(m + (inner - shown.cx) / 2, y, shown.cx, shown.cy);
        y += shown.cy + g;
    }
    layout.text = box(m, y, inner, text);
    y += text + g;
    if (hasLink) {
        const int label = std::min(scaled(linkLabelWidth, dpi), inner / 3);
        layout.linkLabel = box(m, y, label, scaled(linkHeight, dpi));
        layout.link = box(m + label, y, inner - label, scaled(linkHeight, dpi));
        y += scaled(linkHeight, dpi) + g;
    }
    const int button = std::min(scaled(buttonWidth, dpi), inner);
    layout.close = box(m + inner - button, y, button, scaled(buttonHeight, dpi));
    y += scaled(buttonHeight, dpi) + m;
    layout.card = {std::min(width + frame.cx, bounds.cx), std::min(y + frame.cy, bounds.cy)};
    return layout;
}

// ---- the card's window

NoteCard::NoteCard(HWND owner, NoteCardContent content, NoteCardLook look, int dpi)
    : content_(std::move(content)), look_(std::move(look)), dpi_(std::max(dpi, 96)) {
    makeFonts();
    createWindow(owner);
}

NoteCard::~NoteCard() = default;

void NoteCard::makeFonts() {
    const auto font = [&](int points, int weight, bool underline) {
        return platform::UniqueFont(
            CreateFontW(-MulDiv(points, dpi_, 72), 0, 0, 0, weight, FALSE, underline ? TRUE : FALSE,
                        FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                        DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
    };
    textFont_ = font(9, FW_NORMAL, false);
    titleFont_ = font(12, FW_BOLD, false);
    linkFont_ = font(9, FW_NORMAL, true);
}

void NoteCard::createWindow(HWND owner) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);  // a repeated registration fails harmlessly

    constexpr DWORD style = WS_POPUP | WS_BORDER;
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_TOOLWINDOW);
    RECT bounds{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner != nullptr) {
        GetWindowRect(owner, &bounds);
    }
    const SIZE picture = bitmapSize(content_.picture.bitmap());
    const NoteCardLayout layout =
        layOutNoteCard(picture, !content_.link.empty(), dpi_,
                       {bounds.right - bounds.left, bounds.bottom - bounds.top},
                       {frame.right - frame.left, frame.bottom - frame.top});
    const int left = bounds.left + (bounds.right - bounds.left - layout.card.cx) / 2;
    const int top = bounds.top + (bounds.bottom - bounds.top - layout.card.cy) / 2;
    window_.reset(CreateWindowExW(WS_EX_TOOLWINDOW, className, content_.title.c_str(), style, left,
                                  top, layout.card.cx, layout.card.cy, owner, nullptr,
                                  GetModuleHandleW(nullptr), this));
    if (!window_) {
        return;
    }
    createControls(layout);
    ShowWindow(window_.get(), SW_SHOW);
    SetForegroundWindow(window_.get());
    SetFocus(GetDlgItem(window_.get(), closeControl));
}

HWND NoteCard::addControl(const wchar_t* kind, const std::wstring& text, DWORD style,
                          const RECT& place, int id, HFONT font) {
    HWND control = CreateWindowExW(0, kind, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.left,
                                   place.top, place.right - place.left, place.bottom - place.top,
                                   window_.get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (control != nullptr && font != nullptr) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return control;
}

void NoteCard::createControls(const NoteCardLayout& layout) {
    addControl(L"STATIC", content_.title, SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, layout.title,
               titleControl, titleFont_.get());
    if (layout.picture.right > layout.picture.left) {
        scalePicture({layout.picture.right - layout.picture.left,
                      layout.picture.bottom - layout.picture.top});
        HWND picture =
            addControl(L"STATIC", L"", SS_BITMAP, layout.picture, pictureControl, nullptr);
        SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP,
                     reinterpret_cast<LPARAM>(scaledPicture_.get()));
        // The control sizes itself to the bitmap; it stays where it was laid.
        MoveWindow(picture, layout.picture.left, layout.picture.top,
                   layout.picture.right - layout.picture.left,
                   layout.picture.bottom - layout.picture.top, FALSE);
    }
    addControl(L"EDIT", content_.text,
               WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, layout.text,
               textControl, textFont_.get());
    if (!content_.link.empty()) {
        addControl(L"STATIC", look_.linkLabel, SS_LEFT | SS_NOPREFIX, layout.linkLabel,
                   linkLabelControl, textFont_.get());
        addControl(L"STATIC", content_.link, SS_LEFT | SS_NOPREFIX | SS_NOTIFY | SS_PATHELLIPSIS,
                   layout.link, linkControl, linkFont_.get());
    }
    addControl(L"BUTTON", look_.closeText, WS_TABSTOP | BS_DEFPUSHBUTTON, layout.close,
               closeControl, textFont_.get());
}

void NoteCard::scalePicture(SIZE size) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    scaledPicture_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const platform::UniqueMemoryDC source = platform::makeMemoryDC();
    const platform::UniqueMemoryDC target = platform::makeMemoryDC();
    if (!scaledPicture_ || !source || !target) {
        return;
    }
    const SIZE natural = bitmapSize(content_.picture.bitmap());
    const platform::Selection from(source.get(), content_.picture.bitmap());
    const platform::Selection to(target.get(), scaledPicture_.get());
    SetStretchBltMode(target.get(), HALFTONE);
    SetBrushOrgEx(target.get(), 0, 0, nullptr);
    StretchBlt(target.get(), 0, 0, size.cx, size.cy, source.get(), 0, 0, natural.cx, natural.cy,
               SRCCOPY);
}

void NoteCard::close() {
    window_.reset();
}

bool NoteCard::pressedOutside(const MSG& message) const {
    switch (message.message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN:
            return message.hwnd != window_.get() && !IsChild(window_.get(), message.hwnd);
        default:
            return false;
    }
}

void NoteCard::runUntilClosed() {
    MSG message{};
    while (isOpen()) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got < 0) {
            break;
        }
        if (pressedOutside(message) ||
            (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE)) {
            close();
            continue;
        }
        if (IsDialogMessageW(window_.get(), &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    close();
}

LRESULT CALLBACK NoteCard::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return platform::endOnAnyException([&]() -> LRESULT {
        if (message == WM_NCCREATE) {
            const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
        }
        auto* card = reinterpret_cast<NoteCard*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            if (card != nullptr) {
                // Destroyed from outside (its owner went): nothing is left to close.
                static_cast<void>(card->window_.release());
            }
            card = nullptr;
        }
        return card != nullptr && card->window_.get() == window
                   ? card->handleMessage(message, wParam, lParam)
                   : DefWindowProcW(window, message, wParam, lParam);
    });
}

LRESULT NoteCard::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND link = GetDlgItem(window_.get(), linkControl);
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == closeControl || LOWORD(wParam) == IDOK) {
                PostMessageW(window_.get(), WM_CLOSE, 0, 0);
            } else if (LOWORD(wParam) == linkControl && HIWORD(wParam) == STN_CLICKED) {
                platform::openWithShell(window_.get(), content_.link);
            }
            return 0;
        case WM_CLOSE:
            close();
            return 0;
        case WM_SETCURSOR:
            if (link != nullptr && reinterpret_cast<HWND>(wParam) == link &&
                look_.linkCursor != nullptr) {
                SetCursor(look_.linkCursor);
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (link != nullptr && reinterpret_cast<HWND>(lParam) == link) {
                const HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, RGB(0, 70, 170));
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(window_.get(), message, wParam, lParam);
}

}  // namespace viewer

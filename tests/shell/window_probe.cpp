// A helper for the end-to-end scripts: finds the player's main window in the
// Wine desktop and reports or acts on it. Commands and controls are named as
// in lang_ids.h (IDM_ABOUT, IDC_INFO_WEB, ...), so that no script carries a
// number of the resource scripts; scene:N is the scene menu's item of scene N
// (counted from 1).
//   window_probe rect      -> "x y width height clientX clientY clientWidth clientHeight"
//   window_probe windows   -> how many player main windows show
//   window_probe menus     -> how many popup menus show (exit code 1: none)
//   window_probe command NAME -> posts command NAME to the main window
//   window_probe close     -> asks the main window to close
//   window_probe box TITLE [no] -> presses the default button (or No) of a
//                             message box titled TITLE
//   window_probe boxes     -> "CAPTION<tab>TEXT" (UTF-8) of each message box that shows
//   window_probe title     -> the main window's title (UTF-8)
//   window_probe memory    -> the player process's private bytes
//   window_probe dialog    -> "x y width height clientX clientY" of the dialog
//                             the main window owns
//   window_probe control NAME -> "x y width height" of control NAME of that dialog
//   window_probe label     -> "x y width height text" of the visible floating
//                             label of that dialog
//   window_probe shot FILE -> the desktop as Windows draws it, a 24-bit BMP
//                             (popups without a frame read back black from X)
//   window_probe status TEXT -> "DIFFERING TEXT_PIXELS": how many pixels of the
//                             toolbar's status text on the screen differ from
//                             TEXT drawn as the player draws it (white, the
//                             default font, 15 pixels from the left), over
//                             TEXT's box and 40 pixels beyond, on the row
//                             that matches best; and how many pixels TEXT
//                             itself covers
//   window_probe region    -> "width height area" of the shaped full-screen
//                             toolbar's region: its bounding box and how many
//                             pixels it holds
//   window_probe toolbar   -> "width height" of the shaped full-screen toolbar
//   window_probe end-session -> ends the Windows session for the player as a
//                             log-off does: asks it, tells it the session
//                             ends and, once it has answered, ends its
//                             process at once
//   window_probe maker-address -> the maker's web address the about box opens
//   window_probe cursor    -> "handle hotspotX hotspotY" of the cursor on the
//                             screen (hot spot -1 -1 when it cannot be read)
//   window_probe note      -> the open note card, a line each (texts UTF-8,
//                             line ends as "\n"): "rect x y width height",
//                             "title T", "text T", "picture x y width height"
//                             (0 0 0 0 without one), "link-label T", "link T",
//                             "close T"; exit code 1 when no card is open
//   window_probe focus     -> the class of the window with the keyboard focus
//                             in the player's window thread
// Exit code 1 when the window is not there, 2 for a name it does not know.
#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bmp_file.h"
#include "lang_ids.h"
#include "platform/scoped_handle.h"
#include "shell/shell.h"
#include "test_window.h"
#include "viewer/note_card.h"
#include "wide_arguments.h"

namespace {

struct NamedId {
    const char* name;
    int id;
};

#define NAMED_ID(id) \
    { #id, id }
constexpr NamedId commandIds[] = {
    NAMED_ID(IDM_ABOUT),       NAMED_ID(IDM_EXIT),         NAMED_ID(IDM_PREVIOUS_SCENE),
    NAMED_ID(IDM_FULL_SCREEN), NAMED_ID(IDM_SOUND_OFF),    NAMED_ID(IDM_VOLUME_UP),
    NAMED_ID(IDM_VOLUME_DOWN), NAMED_ID(IDM_HELP_CARD),    NAMED_ID(IDM_TOUR_INFO),
    NAMED_ID(IDM_NEXT_SCENE),  NAMED_ID(IDM_RESET_VIEW),   NAMED_ID(IDM_AUTO_ROTATE),
    NAMED_ID(IDM_PLAY_TOUR),   NAMED_ID(IDM_SHOW_TOOLBAR), NAMED_ID(IDM_HIDE_TOOLBAR),
};
constexpr NamedId controlIds[] = {
    NAMED_ID(IDC_INFO_TEXT1), NAMED_ID(IDC_INFO_TEXT2), NAMED_ID(IDC_INFO_TEXT3),
    NAMED_ID(IDC_INFO_WEB),   NAMED_ID(IDC_INFO_EMAIL), NAMED_ID(IDC_INFO_TEXT4),
};
#undef NAMED_ID

// The id that `name` stands for in `table`; -1 for a name it does not hold.
template <std::size_t count>
int idNamed(const NamedId (&table)[count], const char* name) {
    for (const NamedId& entry : table) {
        if (std::strcmp(entry.name, name) == 0) {
            return entry.id;
        }
    }
    return -1;
}

// A command's id: a name of the table, or scene:N for the scene menu's item
// of scene N; -1 for anything else.
int commandId(const char* name) {
    const char scenePrefix[] = "scene:";
    if (std::strncmp(name, scenePrefix, sizeof scenePrefix - 1) == 0) {
        char* end = nullptr;
        const long scene = std::strtol(name + sizeof scenePrefix - 1, &end, 10);
        if (*end != '\0' || scene < 1 || scene > 1000) {
            return -1;
        }
        return static_cast<int>(shell::commandFirstScene + scene - 1);
    }
    return idNamed(commandIds, name);
}

// How many visible top-level windows of the class show.
int countWindows(const char* className) {
    struct Count {
        const char* className;
        int windows;
    } count{className, 0};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* c = reinterpret_cast<Count*>(data);
            char name[32] = {};
            GetClassNameA(window, name, sizeof name);
            c->windows += lstrcmpiA(name, c->className) == 0 && IsWindowVisible(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

struct OwnedSearch {
    HWND owner;
    const char* className;
    HWND found;
};

// A visible top-level window of the class that `owner` owns.
HWND findOwned(HWND owner, const char* className) {
    OwnedSearch search{owner, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<OwnedSearch*>(data);
            char name[32] = {};
            GetClassNameA(window, name, sizeof name);
            if (lstrcmpiA(name, s->className) == 0 && GetWindow(window, GW_OWNER) == s->owner &&
                IsWindowVisible(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void printRect(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("%ld %ld %ld %ld", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
}

bool writeDesktopShot(const char* path) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const platform::WindowDC screen(nullptr);
    const platform::UniqueMemoryDC memory(CreateCompatibleDC(screen.get()));
    void* bits = nullptr;
    const platform::UniqueBitmap section(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const platform::Selection selected(memory.get(), section.get());
    BitBlt(memory.get(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY);
    GdiFlush();
    return bits != nullptr &&
           test_support::writeBmpFile(path, width, height, static_cast<const std::uint8_t*>(bits));
}

}  // namespace

// A top-down 32-bit section of the given size, selected into its own DC.
struct Canvas {
    Canvas(HDC screen, int width, int height)
        : memory(CreateCompatibleDC(screen)),
          section(makeSection(screen, width, height, pixels)),
          selected(memory.get(), section.get()),
          dc(memory.get()) {}
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    static HBITMAP makeSection(HDC screen, int width, int height, const std::uint32_t*& bitsOut) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        const HBITMAP made = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bitsOut = static_cast<const std::uint32_t*>(bits);
        return made;
    }

    const std::uint32_t* pixels = nullptr;  // made before the section, which sets it
    platform::UniqueMemoryDC memory;
    platform::UniqueBitmap section;
    platform::Selection selected;  // put back before the section and the DC go
    HDC dc;
};

int brightness(std::uint32_t pixel) {
    return static_cast<int>((pixel & 0xFF) + ((pixel >> 8) & 0xFF) + ((pixel >> 16) & 0xFF)) / 3;
}

bool nearWhite(std::uint32_t pixel) {
    return brightness(pixel) > 200;
}

// Text drawn over the dark status field against text drawn over black: the
// field adds a little, an edge pixel of anti-aliased text is grey in both.
bool differs(std::uint32_t expected, std::uint32_t shown) {
    const int difference = brightness(expected) - brightness(shown);
    return difference > 64 || difference < -64;
}

std::string utf8(const std::wstring& text) {
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(bytes > 0 ? bytes : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.resize(std::strlen(narrow.c_str()));
    return narrow;
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// A control's text asked of the process that owns it (an edit control keeps
// its text where only its own window procedure reads it).
std::wstring askedText(HWND control) {
    DWORD_PTR length = 0;
    if (control == nullptr ||
        !SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length)) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, 5000, &copied);
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

// Line ends as "\n", so that a text stays on one line of the report.
std::string oneLine(const std::wstring& text) {
    std::string line;
    for (const char c : utf8(text)) {
        if (c == '\n') {
            line += "\\n";
        } else if (c != '\r') {
            line += c;
        }
    }
    return line;
}

bool printNoteCard() {
    HWND card = FindWindowW(viewer::NoteCard::className, nullptr);
    if (card == nullptr || !IsWindowVisible(card)) {
        return false;
    }
    using viewer::NoteCard;
    const auto item = [&](int id) { return oneLine(askedText(GetDlgItem(card, id))); };
    std::printf("rect ");
    printRect(card);
    std::printf("\ntitle %s\ntext %s\npicture ", item(NoteCard::titleControl).c_str(),
                item(NoteCard::textControl).c_str());
    if (HWND picture = GetDlgItem(card, NoteCard::pictureControl)) {
        printRect(picture);
    } else {
        std::printf("0 0 0 0");
    }
    std::printf("\nlink-label %s\nlink %s\nclose %s\n", item(NoteCard::linkLabelControl).c_str(),
                item(NoteCard::linkControl).c_str(), item(NoteCard::closeControl).c_str());
    return true;
}

std::string focusClass(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    char name[64] = {};
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus) {
        GetClassNameA(info.hwndFocus, name, sizeof name);
    }
    return name;
}

// Every message box on the desktop: its caption and the texts of its labels.
void printBoxes() {
    EnumWindows(
        [](HWND box, LPARAM) -> BOOL {
            char name[16] = {};
            GetClassNameA(box, name, sizeof name);
            if (std::strcmp(name, test_support::dialogClassName) != 0 || !IsWindowVisible(box)) {
                return TRUE;
            }
            std::wstring texts;
            EnumChildWindows(
                box,
                [](HWND child, LPARAM data) -> BOOL {
                    char childClass[16] = {};
                    GetClassNameA(child, childClass, sizeof childClass);
                    const std::wstring text = windowText(child);
                    if (lstrcmpiA(childClass, "Static") == 0 && !text.empty()) {
                        *reinterpret_cast<std::wstring*>(data) += text;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&texts));
            std::printf("%s\t%s\n", utf8(windowText(box)).c_str(), utf8(texts).c_str());
            return TRUE;
        },
        0);
}

bool compareStatusText(HWND window, const std::wstring& wideText) {
    const wchar_t* text = wideText.c_str();
    HWND toolbar = FindWindowExA(window, nullptr, shell::toolbarClassName, nullptr);
    if (toolbar == nullptr) {
        return false;
    }
    // The text starts 15 pixels into the toolbar, on a row that depends on
    // the skin's layout: every row of the toolbar's visible part is tried and
    // the best match counts.
    RECT visible;
    RECT mainClient;
    GetWindowRect(toolbar, &visible);
    GetClientRect(window, &mainClient);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&mainClient), 2);
    IntersectRect(&visible, &visible, &mainClient);
    const platform::WindowDC screen(nullptr);
    const int length = static_cast<int>(wideText.size());
    SIZE extent{};
    {
        Canvas measure(screen.get(), 1, 1);
        GetTextExtentPoint32W(measure.dc, text, length, &extent);
    }
    const int width = extent.cx + 40;
    const int rows = visible.bottom - visible.top;
    if (rows < extent.cy) {
        return false;
    }
    Canvas shown(screen.get(), width, rows);
    BitBlt(shown.dc, 0, 0, width, rows, screen.get(), visible.left + 15, visible.top, SRCCOPY);
    Canvas expected(screen.get(), width, extent.cy);
    PatBlt(expected.dc, 0, 0, width, extent.cy, BLACKNESS);
    SetTextColor(expected.dc, RGB(255, 255, 255));
    SetBkMode(expected.dc, TRANSPARENT);
    TextOutW(expected.dc, 0, 0, text, length);
    GdiFlush();
    int textPixels = 0;
    for (int i = 0; i < width * extent.cy; ++i) {
        textPixels += nearWhite(expected.pixels[i]);
    }
    int fewest = textPixels;
    for (int top = 0; top + extent.cy <= rows; ++top) {
        int differing = 0;
        for (int i = 0; i < width * extent.cy; ++i) {
            differing += differs(expected.pixels[i], shown.pixels[top * width + i]);
        }
        fewest = differing < fewest ? differing : fewest;
    }
    std::printf("%d %d\n", fewest, textPixels);
    return true;
}

// The main window's child toolbar that has a region: the shaped full-screen one.
HWND shapedToolbar(HWND window) {
    struct Search {
        HWND found = nullptr;
    } search;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            char name[32] = {};
            GetClassNameA(child, name, sizeof name);
            const platform::UniqueRegion probe(CreateRectRgn(0, 0, 0, 0));
            if (lstrcmpiA(name, shell::toolbarClassName) == 0 &&
                GetWindowRgn(child, probe.get()) != ERROR) {
                reinterpret_cast<Search*>(data)->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The shaped full-screen toolbar's region: "width height area".
bool printToolbarRegion(HWND window) {
    HWND toolbar = shapedToolbar(window);
    if (toolbar == nullptr) {
        return false;
    }
    const platform::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    GetWindowRgn(toolbar, region.get());
    RECT box;
    GetRgnBox(region.get(), &box);
    const DWORD size = GetRegionData(region.get(), 0, nullptr);
    std::vector<std::uint8_t> bytes(size);
    auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
    if (size == 0 || GetRegionData(region.get(), size, data) != size) {
        return false;
    }
    long long area = 0;
    const auto* rectangles = reinterpret_cast<const RECT*>(data->Buffer);
    for (DWORD i = 0; i < data->rdh.nCount; ++i) {
        area += static_cast<long long>(rectangles[i].right - rectangles[i].left) *
                (rectangles[i].bottom - rectangles[i].top);
    }
    std::printf("%ld %ld %lld\n", box.right - box.left, box.bottom - box.top, area);
    return true;
}

bool printToolbarSize(HWND window) {
    HWND toolbar = shapedToolbar(window);
    RECT box;
    if (toolbar == nullptr || !GetWindowRect(toolbar, &box)) {
        return false;
    }
    std::printf("%ld %ld\n", box.right - box.left, box.bottom - box.top);
    return true;
}

// After a WM_ENDSESSION that says the session ends, the system may end the
// process at any moment: here, as soon as the player has answered.
bool endSession(HWND window) {
    constexpr UINT answerWithin = 20000;
    DWORD_PTR answer = 0;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const platform::UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
    if (!process ||
        !SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                             answerWithin, &answer) ||
        !SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL,
                             answerWithin, &answer)) {
        return false;
    }
    return TerminateProcess(process.get(), 0) != 0;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_probe rect|command NAME|close|box TITLE|...\n");
        return 2;
    }
    if (std::strcmp(argv[1], "maker-address") == 0) {
        std::printf("%s\n", shell::makerWebAddress);
        return 0;
    }
    if (std::strcmp(argv[1], "windows") == 0) {
        std::printf("%d\n", countWindows(shell::mainWindowClassName));
        return 0;
    }
    if (std::strcmp(argv[1], "menus") == 0) {
        // The system's class of popup menus.
        const int menus = countWindows(test_support::menuClassName);
        std::printf("%d\n", menus);
        return menus > 0 ? 0 : 1;
    }
    if (std::strcmp(argv[1], "boxes") == 0) {
        printBoxes();
        return 0;
    }
    if (std::strcmp(argv[1], "box") == 0 && argc > 2) {
        HWND box = FindWindowW(L"#32770", test_support::wideArgument(2).c_str());
        if (box == nullptr) {
            return 1;
        }
        const bool no = argc > 3 && std::strcmp(argv[3], "no") == 0;
        PostMessageA(box, WM_COMMAND, no ? IDNO : IDOK, 0);
        return 0;
    }
    if (std::strcmp(argv[1], "cursor") == 0) {
        CURSORINFO cursor{};
        cursor.cbSize = sizeof cursor;
        if (!GetCursorInfo(&cursor)) {
            return 1;
        }
        ICONINFO info{};
        long hotX = -1;
        long hotY = -1;
        if (cursor.hCursor != nullptr && GetIconInfo(cursor.hCursor, &info)) {
            hotX = static_cast<long>(info.xHotspot);
            hotY = static_cast<long>(info.yHotspot);
            const platform::UniqueBitmap mask(info.hbmMask);
            const platform::UniqueBitmap colour(info.hbmColor);
        }
        std::printf(
            "%llu %ld %ld\n",
            static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(cursor.hCursor)), hotX,
            hotY);
        return 0;
    }
    if (std::strcmp(argv[1], "shot") == 0 && argc > 2) {
        return writeDesktopShot(argv[2]) ? 0 : 1;
    }
    if (std::strcmp(argv[1], "note") == 0) {
        return printNoteCard() ? 0 : 1;
    }
    HWND window = FindWindowA(shell::mainWindowClassName, nullptr);
    if (window == nullptr) {
        return 1;
    }
    if (std::strcmp(argv[1], "focus") == 0) {
        std::printf("%s\n", focusClass(window).c_str());
        return 0;
    }
    if (std::strcmp(argv[1], "rect") == 0) {
        RECT outer;
        RECT client;
        GetWindowRect(window, &outer);
        GetClientRect(window, &client);
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        std::printf("%ld %ld %ld %ld %ld %ld %ld %ld\n", outer.left, outer.top,
                    outer.right - outer.left, outer.bottom - outer.top, origin.x, origin.y,
                    client.right, client.bottom);
    } else if (std::strcmp(argv[1], "command") == 0 && argc > 2) {
        const int command = commandId(argv[2]);
        if (command < 0) {
            std::fprintf(stderr, "window_probe: no command is named %s\n", argv[2]);
            return 2;
        }
        PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(command), 0);
    } else if (std::strcmp(argv[1], "memory") == 0) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        const platform::UniqueHandle process(
            OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        if (!process || !GetProcessMemoryInfo(process.get(),
                                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                              sizeof counters)) {
            return 1;
        }
        // Wine fills the page-file figure (the private commit) but not always
        // the private usage.
        const SIZE_T privateBytes =
            counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
        std::printf("%llu\n", static_cast<unsigned long long>(privateBytes));
    } else if (std::strcmp(argv[1], "dialog") == 0 || std::strcmp(argv[1], "control") == 0 ||
               std::strcmp(argv[1], "label") == 0) {
        HWND dialog = findOwned(window, test_support::dialogClassName);
        if (dialog == nullptr) {
            return 1;
        }
        if (std::strcmp(argv[1], "dialog") == 0) {
            POINT origin{0, 0};
            ClientToScreen(dialog, &origin);
            printRect(dialog);
            std::printf(" %ld %ld\n", origin.x, origin.y);
        } else if (std::strcmp(argv[1], "control") == 0 && argc > 2) {
            const int id = idNamed(controlIds, argv[2]);
            if (id < 0) {
                std::fprintf(stderr, "window_probe: no control is named %s\n", argv[2]);
                return 2;
            }
            HWND control = GetDlgItem(dialog, id);
            if (control == nullptr) {
                return 1;
            }
            printRect(control);
            std::printf("\n");
        } else {
            HWND label = findOwned(dialog, shell::labelClassName);
            if (label == nullptr) {
                return 1;
            }
            char text[128] = {};
            GetWindowTextA(label, text, sizeof text);
            printRect(label);
            std::printf(" %s\n", text);
        }
    } else if (std::strcmp(argv[1], "status") == 0 && argc > 2) {
        return compareStatusText(window, test_support::wideArgument(2)) ? 0 : 1;
    } else if (std::strcmp(argv[1], "title") == 0) {
        std::printf("%s\n", utf8(windowText(window)).c_str());
    } else if (std::strcmp(argv[1], "region") == 0) {
        return printToolbarRegion(window) ? 0 : 1;
    } else if (std::strcmp(argv[1], "toolbar") == 0) {
        return printToolbarSize(window) ? 0 : 1;
    } else if (std::strcmp(argv[1], "end-session") == 0) {
        return endSession(window) ? 0 : 1;
    } else if (std::strcmp(argv[1], "close") == 0) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    } else {
        return 2;
    }
    return 0;
}

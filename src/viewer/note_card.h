// The card a note opens over the view: its title, its text (read-only,
// selectable, scrolling when long), its picture scaled to fit and its web
// address, which opens in the system's browser, with a close button.
//
// The card is modeless with a message loop of its own rather than a modal
// dialog: a modal dialog disables its owner, so a click on the view beside
// it would never arrive, and such a click has to close it. The loop runs the
// thread's messages (the view keeps drawing under the card), gives the card
// the dialog keys (Tab between its controls), and ends on Esc, on the close
// button, on a button going down anywhere outside the card (that press is
// spent on closing) or when the card's window goes with its owner.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "package/scene_note.h"
#include "platform/picture_decoding.h"
#include "platform/scoped_handle.h"

namespace viewer {

// The card's fixed texts and its link cursor, from the language module; the
// player's own English texts and the system's hand where it has none (an
// older tour's module).
struct NoteCardLook {
    std::wstring closeText = L"Close";
    std::wstring linkLabel = L"Web page:";
    HCURSOR linkCursor = nullptr;

    static NoteCardLook fromModule(HMODULE module);
};

// What one card shows, as the controls take it.
struct NoteCardContent {
    std::wstring title;
    std::wstring text;  // paragraphs kept, lines ending "\r\n"
    std::wstring link;
    platform::PictureBitmap picture;  // empty: none, or it did not decode

    // The note's texts from UTF-8, and its picture decoded from its place in
    // `tourFile` (the tour's own file).
    static NoteCardContent of(const package::SceneNote& note, const char* tourFile);
};

// "\n" line ends as an edit control shows them.
std::wstring withWindowsLineEnds(const std::wstring& text);

// Where the card's parts lie, in pixels of its client area, and the card's
// outer size. A side of 0 leaves the part out.
struct NoteCardLayout {
    SIZE card{};
    RECT title{};
    RECT picture{};
    RECT text{};
    RECT linkLabel{};
    RECT link{};
    RECT close{};
};

// The card for a picture of `picture` pixels (0 x 0: none), with or without
// a link, at `dpi`, shrunk to fit within `bounds` (the main window's size):
// the text gives up height first, then the picture, which keeps its aspect.
// `frame` is what the window's border adds to the client size.
NoteCardLayout layOutNoteCard(SIZE picture, bool hasLink, int dpi, SIZE bounds, SIZE frame);

class NoteCard {
  public:
    static constexpr const wchar_t* className = L"LumivueNoteCard";
    enum Control : int {
        titleControl = 101,
        pictureControl = 102,
        textControl = 103,
        linkLabelControl = 104,
        linkControl = 105,
        closeControl = IDCANCEL,
    };

    // Opens the card centred over `owner` (the main window) and fitting
    // inside it, at `dpi`, the close button focused.
    NoteCard(HWND owner, NoteCardContent content, NoteCardLook look, int dpi);
    ~NoteCard();
    NoteCard(const NoteCard&) = delete;
    NoteCard& operator=(const NoteCard&) = delete;

    HWND window() const { return window_.get(); }
    bool isOpen() const { return window_ && IsWindow(window_.get()); }
    // Runs the thread's messages until the card closes (see above). A quit
    // message met meanwhile is posted again for the loop outside.
    void runUntilClosed();
    void close();

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void createWindow(HWND owner);
    void createControls(const NoteCardLayout& layout);
    HWND addControl(const wchar_t* kind, const std::wstring& text, DWORD style, const RECT& place,
                    int id, HFONT font);
    void makeFonts();
    void scalePicture(SIZE size);
    // Whether `message` is a button going down on a window that is not the
    // card's.
    bool pressedOutside(const MSG& message) const;

    NoteCardContent content_;
    NoteCardLook look_;
    int dpi_;
    platform::UniqueFont textFont_;
    platform::UniqueFont titleFont_;
    platform::UniqueFont linkFont_;
    platform::UniqueBitmap scaledPicture_;
    // Last: the window and its controls go before the fonts and the picture
    // they show.
    platform::UniqueWindow window_;
};

}  // namespace viewer

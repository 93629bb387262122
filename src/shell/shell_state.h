// The process-wide state of the player: one main window, one viewer, one tour.
// Everything here is used on the user-interface thread only.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <string>

#include "lang_ids.h"
#include "viewer/viewer.h"
#include "platform/files.h"
#include "package/skin_set.h"
#include "package/tour.h"
#include "platform/com_apartment.h"
#include "platform/picture_decoding.h"
#include "platform/scoped_handle.h"
#include "shell/shell_core.h"
#include "shell/toolbar.h"

// Tells the shell which scene is on screen: the status text and the check in
// the scene menu follow it.
class ShellSceneListener : public viewer::SceneChangeListener {
  public:
    void sceneChanged(std::int32_t sceneNumber) override;

    HWND window = nullptr;
    std::int32_t firstSceneCommand = IDM_FIRST_SCENE;
    std::wstring* defaultText = nullptr;
    std::wstring* statusText = nullptr;
    package::Tour* tour = nullptr;
};

// A language picture as the shell shows it: decoded once for the run, and
// enlarged `scale` times on a high-DPI screen.
struct ShownPicture {
    platform::PictureBitmap decoded;
    platform::UniqueBitmap enlarged;  // empty at scale 1
    HBITMAP shown() const { return enlarged ? enlarged.get() : decoded.bitmap(); }
    void reset() {
        decoded.reset();
        enlarged.reset();
    }
};

struct ShellState {
    ShellState();
    ShellState(const ShellState&) = delete;
    ShellState& operator=(const ShellState&) = delete;

    platform::UniqueModule languageModule;
    bool languageLoaded = false;
    bool labelClassRegistered = false;
    // The information dialog's floating label; the dialog owns it.
    HWND labelWindow = nullptr;
    bool labelWindowCreated = false;
    WINDOWPLACEMENT savedPlacement{};
    platform::UniqueBrush labelBrush;
    platform::UniqueMenu popupMenu;
    HWND mainWindow = nullptr;
    platform::UniqueBrush dialogBrush;
    // The language module's pictures, each named after its id.
    platform::UniqueBitmap itemUnchecked;  // IDB_ITEM_UNCHECKED
    platform::PictureBitmap itemChecked;   // IDP_ITEM_CHECKED
    platform::PictureBitmap logo;          // IDP_LOGO
    platform::PictureBitmap compass;       // IDP_COMPASS
    ShownPicture helpCard;                 // IDP_HELP_CARD: the picture dialog's
    ShownPicture aboutFace;                // IDP_ABOUT_FACE: the about box's
    // The tour author's photo, decoded at the information dialog's first paint.
    platform::PictureBitmap authorPhoto;
    HBITMAP fullToolbarBackground = nullptr;  // the skin set owns these three
    HBITMAP toolbarBackground = nullptr;
    HBITMAP windowBackground = nullptr;
    // The whole factor the windowed player, its skin and its dialogs'
    // pictures are enlarged by on a high-DPI screen (1 at 96 dpi).
    int scale = 1;
    // The screen's DPI, read once at start-up; the tour information dialog
    // follows it as its template does.
    int dpi = 96;
    // The status text's font, for a screen that is not at 96 dpi; without it
    // the text is drawn in the window's own font.
    platform::UniqueFont statusFont;
    // The status line: the scene's text, and what it shows now (a help text
    // while the pointer is over a button or a menu item).
    std::wstring defaultStatusText;
    std::wstring statusText;
    // The windowed layout in the screen's pixels (enlarged `scale` times).
    int windowWidth = 0;
    int viewWidth = 0;
    int toolbarHeight = 0;
    int viewTop = 0;
    int viewHeight = 0;
    std::string languagePath;  // UTF-8, as every path, of any length
    std::string executablePath;
    package::SkinSet* skinSet = nullptr;
    // The toolbars' buttons shown pressed, and the one under the pointer.
    shell::ToolbarButtons pressedButtons;
    shell::ToolbarButtons hoveredButtons;
    std::unique_ptr<package::Tour> tour;
    bool fullScreen = false;
    // The windowed player's toolbar, and full screen's, made when full screen
    // is first entered.
    shell::Toolbar toolbar;
    shell::Toolbar fullToolbar;
    // The main thread's COM apartment, entered at start-up and left when the
    // main window goes.
    std::unique_ptr<platform::ComApartment> comApartment;
};

// Built by static initialisation in this order, destroyed in the reverse one:
// the viewer outlives the scene listener it calls. (The viewer is the shell's,
// named apart from the viewer's namespace.)
namespace shell {
extern viewer::Viewer viewer;
}  // namespace shell
extern ShellSceneListener sceneListener;
extern ShellState shellState;

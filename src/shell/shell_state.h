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
#include "platform/com_ref.h"
#include "platform/scoped_handle.h"
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

struct ShellState {
    ShellState();
    ShellState(const ShellState&) = delete;
    ShellState& operator=(const ShellState&) = delete;

    platform::UniqueModule languageModule;
    int languageLoaded = 0;
    int labelClassRegistered = 0;
    HWND labelWindow = nullptr;
    int labelWindowCreated = 0;
    WINDOWPLACEMENT savedPlacement{};
    platform::UniqueBrush labelBrush;
    platform::UniqueMenu popupMenu;
    HWND mainWindow = nullptr;
    platform::UniqueBrush dialogBrush;
    HBITMAP aboutPicture = nullptr;
    HBITMAP infoPicture = nullptr;
    HBITMAP authorPhoto = nullptr;
    HBITMAP picture156 = nullptr;
    HBITMAP picture155 = nullptr;
    platform::UniqueBitmap itemUncheckedBitmap;
    HBITMAP itemCheckedBitmap = nullptr;
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
    // The about box's and the picture dialog's pictures enlarged `scale`
    // times; `aboutPicture` and `infoPicture` then point at these.
    platform::UniqueBitmap enlargedAboutPicture;
    platform::UniqueBitmap enlargedInfoPicture;
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
    int buttonPressed[11] = {};
    int buttonHover[11] = {};
    std::unique_ptr<package::Tour> tour;
    int fullScreen = 0;
    platform::ComRef<IPicture> picture159Object;
    platform::ComRef<IPicture> picture155Object;
    platform::ComRef<IPicture> picture156Object;
    int authorPhotoLoaded = 0;
    platform::ComRef<IPicture> authorPhotoObject;
    platform::ComRef<IPicture> picture154Object;
    platform::ComRef<IPicture> picture157Object;
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

// The shell's operations: start-up and shutdown, the main window and its
// menus, the toolbar, the shaped regions and the two window modes.
#pragma once

#include <windows.h>

#include <string>

#include "lang_ids.h"
#include "platform/com_ref.h"
#include "platform/process_end.h"
#include "platform/scoped_handle.h"
#include "shell/shell_state.h"
#include "shell/window_classes.h"

namespace shell {

// The maker's web address, shown in the about box.
inline constexpr const char* makerWebAddress = "https://lumivue.example.org/";

// Command ids of the menus, the accelerators and the toolbar.
enum Command : UINT {
    commandAbout = IDM_ABOUT,
    commandExit = IDM_EXIT,
    commandPreviousScene = IDM_PREVIOUS_SCENE,
    commandFullScreen = IDM_FULL_SCREEN,
    commandSoundOff = IDM_SOUND_OFF,
    commandVolumeUp = IDM_VOLUME_UP,
    commandVolumeDown = IDM_VOLUME_DOWN,
    commandHelpCard = IDM_HELP_CARD,
    commandTourInfo = IDM_TOUR_INFO,
    commandNextScene = IDM_NEXT_SCENE,
    commandResetView = IDM_RESET_VIEW,
    commandAutoRotate = IDM_AUTO_ROTATE,
    commandPlayTour = IDM_PLAY_TOUR,
    commandShowToolbar = IDM_SHOW_TOOLBAR,
    commandHideToolbar = IDM_HIDE_TOOLBAR,
    // The scene menu's items: this id for the first scene, one more for each next.
    commandFirstScene = IDM_FIRST_SCENE,
};

// The interface's texts as UTF-16 (interface_texts.cpp).
// String `id` of the language module; empty when it has none.
std::wstring languageString(UINT id);
// A name of the shell's own (a window class), which is ASCII, for the wide calls.
std::wstring asciiName(const char* name);
// A text of `tour` (title, scene name, information) converted from the
// tour's code page; the shell's tour when none is named.
std::wstring tourText(const char* text, const package::Tour* tour);
std::wstring tourText(const char* text);

// Start-up (player_startup.cpp).
// Picture `id` of the language module, decoded; empty when it is missing or
// does not decode.
platform::PictureBitmap loadLanguagePicture(int id);
bool registerMainWindowClass(HINSTANCE instance, const char* className);
bool createMainWindow(HINSTANCE instance, int showState, const char* className);
void shutdownShell(HWND mainWindow);
int runMessageLoop(HACCEL accelerators);
// Whether a resource of the language module's required table is missing;
// fills `what` with a description of the first one missing.
bool findMissingLanguageResource(HMODULE module, char* what, std::size_t size);

// The ends of the run (run_end.cpp). Every way out of the player, normal or
// not, lets go of what the run holds through releaseRun.

// Releases the language pictures and the author's photo.
void releasePictures();
// In the order the platform needs: the viewer's sound players and scene
// media and every picture object, then the COM apartment, then the language
// module and the tour; last, every file this run made and still has.
void releaseRun();
// releaseRun, then the process ends with `exitCode`; the way out of the
// prompts and the out-of-memory box.
[[noreturn]] void endRun(int exitCode);
// A window or dialog procedure whose exceptions end the run through the one
// policy of platform::endOnException instead of unwinding into the system's
// dispatch.
template <auto procedure>
auto CALLBACK guarded(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    -> decltype(procedure(window, message, wParam, lParam)) {
    return platform::endOnAnyException([&] { return procedure(window, message, wParam, lParam); });
}

// Main window (main_window.cpp).
LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void createViewAndToolbar(HWND mainWindow);
void setWindowTitle(HWND mainWindow);
void installMainMenu(HWND mainWindow);
void addSceneItems(HWND mainWindow);
// Takes the window's menu off and destroys it (a window without a menu: nothing).
void removeMenu(HWND window);
// Repaints the skin, the toolbar and the status text.
void repaintMainWindow(HWND mainWindow);

// Toolbar (toolbar.cpp).
// Copies `bitmap` to (x, y), `scale` times its own size (an author's photo;
// the skin is enlarged once, beforehand); a missing bitmap draws nothing.
void drawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int scale = 1);
// Copies `bitmap` to (x, y) stretched to width x height.
void drawBitmapSized(HDC dc, HBITMAP bitmap, int x, int y, int width, int height);
platform::UniqueRegion regionFromBitmap(HBITMAP bitmap, COLORREF key);

// Dialogs (dialogs.cpp). Each runs modally, owned by the main window; a
// dialog missing from the language module makes its command do nothing.
void showAboutBox(HWND mainWindow);
void showPictureDialog(HWND mainWindow);
void showTourInfoDialog(HWND mainWindow);
INT_PTR CALLBACK aboutDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK pictureDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK tourInfoDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK labelWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Centres `dialog` on `owner`'s window and sizes it width x height; a width
// of 0 keeps the dialog's own size.
void centreOnOwner(HWND owner, HWND dialog, int width, int height);
// Reads `length` bytes at `offset` of a file into a new movable memory
// block; null when that range of the file cannot be read whole.
using FileRangeReader = HGLOBAL (*)(const char* path, std::int32_t offset, std::int32_t length);
HGLOBAL readFileRange(const char* path, std::int32_t offset, std::int32_t length);
// Decodes the tour author's photo from the program's own file, once per
// process; true when `authorPhoto` holds it. A photo that does not read or
// decode is tried again at the next call.
bool loadAuthorPhoto(FileRangeReader read);

// Window modes (window_modes.cpp).
inline constexpr DWORD mainWindowStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// The screen's dots per inch (the system's, for the whole run).
int screenDpi();
// The factor for the screen's DPI at which the windowed player of
// `viewSize` fits the desktop less the taskbar.
int chooseScale(std::int32_t viewSize, int dpi);
// A font for the status text at `scale` on a screen of `dpi`; empty at 96 dpi
// and scale 1, where the window's own font is used.
platform::UniqueFont makeStatusFont(int dpi, int scale);
// Sizes the main window for the tour's view size at the shell's scale and
// centres it in the work area (the desktop less the taskbar).
void centreInWorkArea(HWND mainWindow);
void toggleFullScreen(HWND mainWindow);

}  // namespace shell

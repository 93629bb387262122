// The shell's operations: start-up and shutdown, the main window and its
// menus, the toolbar, the shaped regions and the two window modes.
#pragma once

#include <windows.h>

#include "shell/shell_state.h"

namespace shell {

inline constexpr const char* mainWindowClassName = "Lumivue QRZ";
inline constexpr const char* toolbarClassName = "toolbar";
// The maker's web address, shown in the about box.
inline constexpr const char* makerWebAddress = "https://lumivue.example.org/";

// Command ids of the menus, the accelerators and the toolbar.
enum Command : UINT {
    commandAbout = 104,
    commandExit = 105,
    commandPreviousScene = 32771,
    commandFullScreen = 32773,
    commandSoundOff = 32775,
    commandVolumeUp = 32776,
    commandVolumeDown = 32777,
    commandHelpCard = 32778,
    commandTourInfo = 32779,
    commandNextScene = 32782,
    commandResetView = 32783,
    commandAutoRotate = 32784,
    commandPlayTour = 32785,
    commandShowToolbar = 32786,
    commandHideToolbar = 32787,
    commandFirstScene = 10000,
};

// Start-up (player_startup.cpp).
HBITMAP loadLanguagePicture(int id);
// Decodes picture `id` of the language module; null when missing or undecodable.
imaging::ComRef<IPicture> decodeLanguagePicture(int id);
// Decodes the picture in a movable memory block, which it takes over (the
// stream frees it); null when the bytes do not decode.
imaging::ComRef<IPicture> decodePictureBlock(HGLOBAL block, std::int32_t size);
bool registerMainWindowClass(HINSTANCE instance, const char* className);
bool createMainWindow(HINSTANCE instance, int showState, const char* className);
void shutdownShell(HWND mainWindow);
int runMessageLoop(HACCEL accelerators);
// The first resource of the language module's table that is missing; null
// when all are there. Fills `what` with a description of it.
bool findMissingLanguageResource(HMODULE module, char* what, std::size_t size);

// Main window (main_window.cpp).
LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void createViewAndToolbar(HWND mainWindow);
void setWindowTitle(HWND mainWindow);
void installMainMenu(HWND mainWindow);
void addSceneItems(HWND mainWindow);
// Repaints the skin, the toolbar and the status text.
void repaintMainWindow(HWND mainWindow);

// Toolbar (toolbar.cpp).
// Copies `bitmap` to (x, y) at its own size; a missing bitmap draws nothing.
void drawBitmap(HDC dc, HBITMAP bitmap, int x, int y);
HWND createToolbarWindow(HINSTANCE instance);
LRESULT CALLBACK toolbarWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HRGN regionFromBitmap(HBITMAP bitmap, COLORREF key);

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
void centreOnDesktop(HWND mainWindow);
void toggleFullScreen(HWND mainWindow);

}  // namespace shell

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
HWND createToolbarWindow(HINSTANCE instance);
LRESULT CALLBACK toolbarWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HRGN regionFromBitmap(HBITMAP bitmap, COLORREF key);

// Window modes (window_modes.cpp).
void centreOnDesktop(HWND mainWindow);
void toggleFullScreen(HWND mainWindow);

}  // namespace shell

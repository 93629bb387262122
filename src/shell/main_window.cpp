// The main window: its procedure, the commands of the menus, accelerators and
// toolbar, the scene menu, the sound items, the title and the status text.
#include <windows.h>

#include <cstring>

#include "shell/shell.h"
#include "imaging/image_prompts.h"
#include "platform/code_pages.h"
#include "platform/scoped_handle.h"
#include "shell/shell_core.h"

namespace shell {

namespace {

HMENU sceneMenuOf(HWND window) {
    HMENU menu = GetMenu(window);
    return menu != nullptr ? GetSubMenu(menu, 1) : nullptr;
}

HMENU soundMenuOf(HWND window) {
    HMENU menu = GetMenu(window);
    HMENU view = menu != nullptr ? GetSubMenu(menu, 2) : nullptr;
    return view != nullptr ? GetSubMenu(view, 2) : nullptr;
}

void setVolumeItems(HMENU soundMenu, bool enabled) {
    if (soundMenu == nullptr) {
        return;
    }
    const UINT state = MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_DISABLED | MF_GRAYED);
    EnableMenuItem(soundMenu, commandVolumeUp, state);
    EnableMenuItem(soundMenu, commandVolumeDown, state);
}

void checkSceneItem(HMENU sceneMenu, std::int32_t sceneCount, std::int32_t sceneNumber) {
    if (sceneMenu == nullptr) {
        return;  // full-screen mode: no menu, the checks are rebuilt on return
    }
    for (std::int32_t i = 0; i < sceneCount; ++i) {
        CheckMenuItem(sceneMenu, commandFirstScene + static_cast<UINT>(i),
                      MF_BYCOMMAND | MF_UNCHECKED);
    }
    CheckMenuItem(sceneMenu, commandFirstScene + static_cast<UINT>(sceneNumber - 1),
                  MF_BYCOMMAND | MF_CHECKED);
}

CommandState commandState() {
    const package::Tour& tour = *shellState.tour;
    return CommandState{tour.soundOn(), tourInfoIsEmpty(tour.info())};
}

void toggleSound(HWND window) {
    package::Tour& tour = *shellState.tour;
    HMENU soundMenu = soundMenuOf(window);
    // The tour's setting decides: in full-screen mode there is no menu to ask.
    const bool wasOff = !tour.soundOn();
    if (wasOff) {
        tour.setSoundOn(true);
        if (soundMenu != nullptr) {
            CheckMenuItem(soundMenu, commandSoundOff, MF_BYCOMMAND | MF_UNCHECKED);
        }
        setVolumeItems(soundMenu, true);
    } else {
        tour.setSoundOn(false);
        if (soundMenu != nullptr) {
            CheckMenuItem(soundMenu, commandSoundOff, MF_BYCOMMAND | MF_CHECKED);
        }
        setVolumeItems(soundMenu, false);
    }
    viewer.toggleMute();
}

void showFullToolbar() {
    shellState.tour->setFullScreenMode(1);
    HWND toolbar = shellState.fullToolbar.window();
    if (toolbar == nullptr) {
        return;
    }
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const package::SkinRect size =
        scaledRect(package::SkinSet::fullScreenToolbarRect, shellState.scale);
    MoveWindow(toolbar, 0, desktop.bottom - size.height, size.width, size.height, TRUE);
    ShowWindow(toolbar, SW_SHOWNORMAL);
    EnableWindow(toolbar, TRUE);
    viewer.refresh();
}

void hideFullToolbar() {
    shellState.tour->setFullScreenMode(0);
    HWND toolbar = shellState.fullToolbar.window();
    if (toolbar == nullptr) {
        return;
    }
    ShowWindow(toolbar, SW_HIDE);
    EnableWindow(toolbar, FALSE);
    MoveWindow(toolbar, 0, 0, 0, 0, TRUE);
    viewer.refresh();
}

void showPopupMenu(HWND window, LPARAM position) {
    POINT point{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    ClientToScreen(window, &point);
    shellState.popupMenu.reset(
        LoadMenuA(shellState.languageModule.get(), MAKEINTRESOURCEA(IDR_POPUP_MENU)));
    if (!shellState.popupMenu) {
        return;
    }
    RemoveMenu(shellState.popupMenu.get(),
               shellState.tour->fullScreenMode() != 0 ? commandShowToolbar : commandHideToolbar,
               MF_BYCOMMAND);
    TrackPopupMenu(GetSubMenu(shellState.popupMenu.get(), 0), TPM_RIGHTBUTTON, point.x, point.y, 0,
                   window, nullptr);
}

void showMenuHelp(HWND window, WPARAM wParam) {
    if (HIWORD(wParam) == 0) {
        return;
    }
    const unsigned id = menuHelpStringId(LOWORD(wParam), shellState.tour->soundOn());
    if (id != 0) {
        shellState.statusText = languageString(id);
    } else {
        shellState.statusText = shellState.defaultStatusText;
    }
    repaintMainWindow(window);
}

// Returns true when the command was handled.
bool runCommand(HWND window, UINT id) {
    switch (id) {
        case commandAbout:
            showAboutBox(window);
            return true;
        case commandHelpCard:
            showPictureDialog(window);
            return true;
        case commandTourInfo:
            showTourInfoDialog(window);
            return true;
        case commandExit:
            DestroyWindow(window);  // the command itself: closing, not releasing a handle
            return true;
        case commandPreviousScene:
            viewer.previousScene();
            return true;
        case commandFullScreen:
            toggleFullScreen(window);
            return true;
        case commandSoundOff:
            toggleSound(window);
            return true;
        case commandVolumeUp:
            viewer.volumeUp();
            return true;
        case commandVolumeDown:
            viewer.volumeDown();
            return true;
        case commandNextScene:
            viewer.nextScene();
            return true;
        case commandResetView:
            viewer.resetView();
            return true;
        case commandAutoRotate:
            viewer.autoRotate();
            return true;
        case commandPlayTour:
            viewer.playTour();
            return true;
        case commandShowToolbar:
            showFullToolbar();
            return true;
        case commandHideToolbar:
            hideFullToolbar();
            return true;
        default:
            return false;
    }
}

}  // namespace

void repaintMainWindow(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void createViewAndToolbar(HWND window) {
    RECT rectangle;
    GetClientRect(window, &rectangle);
    rectangle.top = shellState.viewTop;
    rectangle.bottom = shellState.viewTop + shellState.viewHeight;
    viewer.setTour(shellState.tour.get());
    viewer.setMode(0);
    viewer.createViewWindow(window, rectangle);
    viewer.setLinkLook(shellState.languageModule.get(), shellState.scale, shellState.dpi);

    shellState.toolbar.create(window);
    const HWND toolbar = shellState.toolbar.window();
    MoveWindow(toolbar, 0, shellState.viewTop + shellState.viewHeight, 1000 * shellState.scale,
               1000 * shellState.scale, TRUE);
    ShowWindow(toolbar, SW_SHOWNORMAL);

    sceneListener.window = window;
    sceneListener.firstSceneCommand = commandFirstScene;
    sceneListener.defaultText = &shellState.defaultStatusText;
    sceneListener.statusText = &shellState.statusText;
    sceneListener.tour = shellState.tour.get();
    viewer.setSceneListener(&sceneListener);
}

void setWindowTitle(HWND window) {
    // The tour's title in its code page, the caption in the module's UTF-16.
    const std::wstring title = tourText(windowTitle(shellState.tour->title(), "").c_str());
    SetWindowTextW(window, (title + languageString(IDS_CAPTION)).c_str());
}

void removeMenu(HWND window) {
    platform::UniqueMenu menu(GetMenu(window));
    if (menu) {
        SetMenu(window, nullptr);  // detached first, destroyed as `menu` goes
    }
}

void installMainMenu(HWND window) {
    removeMenu(window);
    HMENU menu = LoadMenuA(shellState.languageModule.get(), MAKEINTRESOURCEA(IDR_MAIN_MENU));
    SetMenu(window, menu);
    DrawMenuBar(window);

    HMENU soundMenu = soundMenuOf(window);
    const CommandState state = commandState();
    if (soundMenu != nullptr) {
        CheckMenuItem(soundMenu, commandSoundOff,
                      MF_BYCOMMAND | (state.soundOn ? MF_UNCHECKED : MF_CHECKED));
    }
    setVolumeItems(soundMenu, commandEnabled(commandVolumeUp, state));

    HMENU helpMenu = menu != nullptr ? GetSubMenu(menu, 3) : nullptr;
    if (helpMenu != nullptr && !commandEnabled(commandTourInfo, state)) {
        EnableMenuItem(helpMenu, commandTourInfo, MF_BYCOMMAND | MF_DISABLED | MF_GRAYED);
    }
}

void addSceneItems(HWND window) {
    HMENU sceneMenu = sceneMenuOf(window);
    if (sceneMenu == nullptr) {
        return;
    }
    const package::Tour& tour = *shellState.tour;
    for (std::int32_t n = 1; n <= tour.sceneCount(); ++n) {
        const UINT id = commandFirstScene - 1 + static_cast<UINT>(n);
        const package::Scene* scene = tour.scene(n);
        InsertMenuW(sceneMenu, 100000, MF_BYPOSITION | MF_STRING, id,
                    tourText(scene != nullptr ? scene->name() : "").c_str());
        SetMenuItemBitmaps(sceneMenu, id, MF_BYCOMMAND, shellState.itemUnchecked.get(),
                           shellState.itemChecked.bitmap());
    }
    std::int32_t current = viewer.currentSceneNumber();
    if (current == -1) {
        current = 1;
    }
    if (tour.sceneCount() > 0) {
        CheckMenuItem(sceneMenu, commandFirstScene - 1 + static_cast<UINT>(current),
                      MF_BYCOMMAND | MF_CHECKED);
    }
    DrawMenuBar(window);
}

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            // The image prompts have no owner; after one closes, the keys come here.
            imaging::setPromptReturnWindow(window);
            break;
        case WM_DESTROY:
            releaseRun();
            PostQuitMessage(0);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;  // a tour holds nothing to save
        case WM_ENDSESSION:
            // Once this returns the system may end the process without another
            // message: the run ends here, as a closed window ends it.
            if (wParam != FALSE) {
                DestroyWindow(window);
            }
            return 0;
        case WM_SETFOCUS:
            if (viewer.viewWindow() != nullptr) {
                SetFocus(viewer.viewWindow());
            }
            return 0;
        case WM_ERASEBKGND:
            if (!shellState.fullScreen && shellState.windowBackground != nullptr) {
                drawBitmap(reinterpret_cast<HDC>(wParam), shellState.windowBackground, 0, 0);
            }
            return 1;
        case WM_KEYDOWN:
            if (shellState.fullScreen && wParam == VK_ESCAPE) {
                toggleFullScreen(window);
            }
            return 0;
        case WM_COMMAND: {
            const UINT id = LOWORD(wParam);
            if (!shellState.tour) {
                break;
            }
            // An accelerator reaches the view, which has no menu, and full
            // screen has no menu at all: the greying is applied here.
            if (!commandEnabled(id, commandState())) {
                return 0;
            }
            if (runCommand(window, id)) {
                return 0;
            }
            // Ids of the scene menu: every id from the first scene's on that is no command.
            if (id >= commandFirstScene) {
                const std::int32_t n = static_cast<std::int32_t>(id) - (commandFirstScene - 1);
                if (n <= shellState.tour->sceneCount()) {
                    checkSceneItem(sceneMenuOf(window), shellState.tour->sceneCount(), n);
                    viewer.goToScene(n);
                }
                return 1;
            }
            break;
        }
        case WM_MENUSELECT:
            if (shellState.tour) {
                showMenuHelp(window, wParam);
            }
            return 0;
        case WM_RBUTTONUP:
            if (shellState.fullScreen) {
                showPopupMenu(window, lParam);
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace shell

void ShellSceneListener::sceneChanged(std::int32_t sceneNumber) {
    if (tour == nullptr || defaultText == nullptr || statusText == nullptr) {
        return;
    }
    const package::Scene* scene = tour->scene(sceneNumber);
    const UINT codePage =
        tour->textCodePage() != platform::systemCodePage ? tour->textCodePage() : CP_ACP;
    const std::string text = shell::sceneStatusText(
        tour->title(), sceneNumber, tour->sceneCount(), scene != nullptr ? scene->name() : "",
        [codePage](unsigned char byte) { return IsDBCSLeadByteEx(codePage, byte) != FALSE; });
    *defaultText = shell::tourText(text.c_str(), tour);
    *statusText = *defaultText;
    if (HMENU menu = GetMenu(window)) {
        if (HMENU sceneMenu = GetSubMenu(menu, 1)) {
            for (std::int32_t i = 0; i < tour->sceneCount(); ++i) {
                CheckMenuItem(sceneMenu, static_cast<UINT>(firstSceneCommand + i),
                              MF_BYCOMMAND | MF_UNCHECKED);
            }
            CheckMenuItem(sceneMenu, static_cast<UINT>(firstSceneCommand + sceneNumber - 1),
                          MF_BYCOMMAND | MF_CHECKED);
        }
    }
    shell::repaintMainWindow(window);
}

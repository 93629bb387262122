// Start-up pieces of the player: the language pictures, the main window class
// and window, the message loop and the tear-down at the end.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "imaging/image_prompts.h"
#include "shell/shell.h"
#include "required_resources.h"
#include "platform/files.h"
#include "platform/com_ref.h"
#include "platform/picture_decoding.h"

namespace shell {

namespace {

// Decodes picture `id` of the language module; null when missing or undecodable.
platform::ComRef<IPicture> decodeLanguagePicture(int id) {
    const HMODULE module = shellState.languageModule.get();
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "gif");
    if (resource == nullptr) {
        return {};
    }
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0) {
        return {};
    }
    return platform::decodePicture(bytes, size);
}

}  // namespace

platform::PictureBitmap loadLanguagePicture(int id) {
    return platform::PictureBitmap(decodeLanguagePicture(id));
}

bool findMissingLanguageResource(HMODULE module, char* what, std::size_t size) {
    for (const lang::RequiredResource& resource : lang::requiredResources) {
        const LPCSTR type = resource.type.name != nullptr ? resource.type.name
                                                          : MAKEINTRESOURCEA(resource.type.number);
        if (FindResourceA(module, MAKEINTRESOURCEA(resource.id), type) == nullptr) {
            std::snprintf(what, size, "%s %d", resource.kind, resource.id);
            return true;
        }
    }
    for (int id = lang::firstRequiredString; id <= lang::lastRequiredString; ++id) {
        if (imaging::moduleString(module, static_cast<UINT>(id)).empty()) {
            std::snprintf(what, size, "string %d", id);
            return true;
        }
    }
    return false;
}

bool registerMainWindowClass(HINSTANCE instance, const char* className) {
    const std::wstring name = asciiName(className);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = guarded<mainWindowProcedure>;
    windowClass.hInstance = instance;
    windowClass.hCursor =
        LoadCursorW(shellState.languageModule.get(), MAKEINTRESOURCEW(IDC_MAIN_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
    windowClass.lpszClassName = name.c_str();
    windowClass.hIconSm =
        LoadIconW(shellState.languageModule.get(), MAKEINTRESOURCEW(IDI_SMALL_ICON));
    return RegisterClassExW(&windowClass) != 0;
}

bool createMainWindow(HINSTANCE instance, int showState, const char* className) {
    HWND window =
        CreateWindowExW(0, asciiName(className).c_str(), L"", mainWindowStyle, CW_USEDEFAULT, 0,
                        CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return false;
    }
    shellState.mainWindow = window;
    centreInWorkArea(window);
    createViewAndToolbar(window);
    setWindowTitle(window);
    installMainMenu(window);
    addSceneItems(window);
    package::Tour& tour = *shellState.tour;
    if (tour.fullScreenMode() != 0) {
        // From here on the field tells whether the full-screen toolbar shows.
        tour.setFullScreenMode(tour.fullScreenMode() == 1 ? 1 : 0);
        toggleFullScreen(window);
    } else {
        tour.setFullScreenMode(0);
    }
    ShowWindow(window, showState);
    UpdateWindow(window);
    viewer.start();
    return true;
}

void releasePictures() {
    ShellState& s = shellState;
    // The picture objects own their bitmaps and delete them on release.
    s.itemChecked.reset();
    s.logo.reset();
    s.compass.reset();
    s.helpCard.reset();
    s.aboutFace.reset();
    s.authorPhoto.reset();
}

int runMessageLoop(HACCEL accelerators) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr) {
            continue;  // thread messages are no one's business here
        }
        if (accelerators != nullptr &&
            TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void shutdownShell(HWND mainWindow) {
    ShellState& s = shellState;
    try {
        if (s.languageLoaded) {
            s.languageModule.reset();
            s.languageLoaded = false;
            imaging::setPromptModule(nullptr);
        }
        if (s.tour) {
            viewer.setTour(nullptr);  // the viewer outlives the tour
            sceneListener.tour = nullptr;
            s.tour.reset();
        }
        s.dialogBrush.reset();
        removeMenu(mainWindow);
        s.popupMenu.reset();
        s.labelBrush.reset();
        s.statusFont.reset();
        platform::deleteFile(s.languagePath.c_str());
        s.itemUnchecked.reset();
        releasePictures();
    } catch (...) {
        // The process ends normally whatever the clean-up met.
    }
}

}  // namespace shell

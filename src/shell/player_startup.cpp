// Start-up pieces of the player: the language pictures, the main window class
// and window, the message loop and the tear-down at the end.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "imaging/image_prompts.h"
#include "shell/shell.h"

namespace shell {

namespace {

// Where each language picture's object is kept; null for pictures the shell
// does not keep.
imaging::ComRef<IPicture>* pictureSlot(int id) {
    switch (id) {
        case 159:
            return &shellState.picture159Object;
        case 155:
            return &shellState.picture155Object;
        case 156:
            return &shellState.picture156Object;
        case 154:
            return &shellState.picture154Object;
        case 157:
            return &shellState.picture157Object;
        default:
            return nullptr;
    }
}

HBITMAP pictureBitmap(IPicture* picture) {
    OLE_HANDLE handle = 0;
    if (picture == nullptr || FAILED(picture->get_Handle(&handle))) {
        return nullptr;
    }
    return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
}

}  // namespace

imaging::ComRef<IPicture> decodePictureBlock(HGLOBAL block, std::int32_t size) {
    imaging::ComRef<IPicture> picture;
    imaging::ComRef<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.receive()))) {
        GlobalFree(block);
        return picture;
    }
    if (OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                       reinterpret_cast<void**>(picture.receive())) != S_OK) {
        picture.reset();
    }
    return picture;
}

imaging::ComRef<IPicture> decodeLanguagePicture(int id) {
    HRSRC resource = FindResourceA(shellState.languageModule, MAKEINTRESOURCEA(id), "gif");
    if (resource == nullptr) {
        return {};
    }
    const DWORD size = SizeofResource(shellState.languageModule, resource);
    HGLOBAL loaded = LoadResource(shellState.languageModule, resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0) {
        return {};
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    void* copy = block != nullptr ? GlobalLock(block) : nullptr;
    if (copy == nullptr) {
        if (block != nullptr) {
            GlobalFree(block);
        }
        return {};
    }
    std::memcpy(copy, bytes, size);
    GlobalUnlock(block);
    return decodePictureBlock(block, static_cast<std::int32_t>(size));
}

HBITMAP loadLanguagePicture(int id) {
    imaging::ComRef<IPicture>* slot = pictureSlot(id);
    if (slot != nullptr) {
        slot->reset();
    }
    imaging::ComRef<IPicture> picture = decodeLanguagePicture(id);
    HBITMAP bitmap = pictureBitmap(picture.get());
    if (slot != nullptr && bitmap != nullptr) {
        *slot = std::move(picture);  // the picture object owns its bitmap
    }
    return bitmap;
}

bool findMissingLanguageResource(HMODULE module, char* what, std::size_t size) {
    struct Required {
        LPCSTR type;
        int id;
        const char* kind;
    };
    static const Required required[] = {
        {RT_MENU, 109, "menu"},
        {RT_ACCELERATOR, 109, "accelerator table"},
        {RT_MENU, 130, "menu"},
        {RT_DIALOG, 103, "dialog"},
        {RT_DIALOG, 134, "dialog"},
        {RT_DIALOG, 139, "dialog"},
        {RT_BITMAP, 131, "bitmap"},
        {"gif", 154, "picture"},
        {"gif", 155, "picture"},
        {"gif", 156, "picture"},
        {"gif", 157, "picture"},
        {"gif", 158, "picture"},
        {"gif", 159, "picture"},
        {RT_GROUP_ICON, 149, "icon"},
        {RT_GROUP_CURSOR, 32512, "cursor"},
        {RT_GROUP_CURSOR, 141, "cursor"},
    };
    for (const Required& resource : required) {
        if (FindResourceA(module, MAKEINTRESOURCEA(resource.id), resource.type) == nullptr) {
            std::snprintf(what, size, "%s %d", resource.kind, resource.id);
            return true;
        }
    }
    for (int id = 32773; id <= 32799; ++id) {
        char text[8] = {};
        if (LoadStringA(module, static_cast<UINT>(id), text, sizeof text) <= 0) {
            std::snprintf(what, size, "string %d", id);
            return true;
        }
    }
    return false;
}

bool registerMainWindowClass(HINSTANCE instance, const char* className) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = mainWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(shellState.languageModule, MAKEINTRESOURCEA(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(109);
    windowClass.lpszClassName = className;
    windowClass.hIconSm = LoadIconA(shellState.languageModule, MAKEINTRESOURCEA(149));
    return RegisterClassExA(&windowClass) != 0;
}

bool createMainWindow(HINSTANCE instance, int showState, const char* className) {
    HWND window =
        CreateWindowExA(0, className, "", WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                        CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return false;
    }
    shellState.mainWindow = window;
    centreOnDesktop(window);
    createViewAndToolbar(window);
    setWindowTitle(window);
    installMainMenu(window);
    addSceneItems(window);
    Tour& tour = *shellState.tour;
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

int runMessageLoop(HACCEL accelerators) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr) {
            continue;  // thread messages are no one's business here
        }
        if (accelerators != nullptr &&
            TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

void shutdownShell(HWND mainWindow) {
    ShellState& s = shellState;
    try {
        if (s.languageLoaded) {
            FreeLibrary(s.languageModule);
            s.languageLoaded = 0;
            s.languageModule = nullptr;
            imaging::setPromptModule(nullptr);
        }
        if (s.tour) {
            viewer.setTour(nullptr);  // the viewer outlives the tour
            sceneListener.tour = nullptr;
            s.tour.reset();
        }
        if (s.dialogBrush != nullptr) {
            DeleteObject(std::exchange(s.dialogBrush, nullptr));
        }
        if (HMENU menu = GetMenu(mainWindow)) {
            SetMenu(mainWindow, nullptr);
            DestroyMenu(menu);
        }
        if (s.popupMenu != nullptr) {
            DestroyMenu(std::exchange(s.popupMenu, nullptr));
        }
        if (s.labelBrush != nullptr) {
            DeleteObject(std::exchange(s.labelBrush, nullptr));
        }
        DeleteFileA(s.languagePath);
        if (s.itemUncheckedBitmap != nullptr) {
            DeleteObject(std::exchange(s.itemUncheckedBitmap, nullptr));
        }
        // The picture objects own their bitmaps and delete them on release.
        s.itemCheckedBitmap = nullptr;
        s.picture159Object.reset();
        s.picture155 = nullptr;
        s.picture155Object.reset();
        s.picture156 = nullptr;
        s.picture156Object.reset();
        s.infoPicture = nullptr;
        s.picture154Object.reset();
        s.aboutPicture = nullptr;
        s.picture157Object.reset();
        if (s.authorPhotoLoaded) {
            s.authorPhoto = nullptr;
            s.authorPhotoObject.reset();
            s.authorPhotoLoaded = 0;
        }
    } catch (...) {
        // The process ends normally whatever the clean-up met.
    }
}

}  // namespace shell

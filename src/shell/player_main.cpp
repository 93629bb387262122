// The player's entry point: the tour is the package appended to this very
// executable. A file without a tour (or with a corrupt one) ends silently with
// exit code 0.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "imaging/image_prompts.h"
#include "package/tour_loader.h"
#include "shell/shell.h"
#include "shell/shell_core.h"

namespace {

// A language module that cannot serve the player ends the run: the files
// taken out of the tour go, and the exit code is 0.
int stopForLanguage(TourLoader& loader, const char* text) {
    MessageBoxA(nullptr, text, "Error", MB_OK | MB_ICONWARNING);
    if (shellState.tour) {
        loader.deleteExtractedFiles(*shellState.tour);
    }
    if (shellState.languageLoaded) {
        shell::shutdownShell(nullptr);  // frees the module, the pictures, the tour
    }
    DeleteFileA(shellState.languagePath);
    CoUninitialize();
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState) {
    ShellState& s = shellState;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    GetModuleFileNameA(nullptr, s.executablePath, sizeof s.executablePath);

    TourLoader loader;
    s.tour = loader.load(s.executablePath);
    s.skinSet = &loader.skinSet();
    s.skinSet->loadBitmaps();
    s.windowBackground = s.skinSet->extraImage23();
    s.toolbarBackground = s.skinSet->extraImage24();
    s.fullToolbarBackground = s.skinSet->extraImage25();
    std::memset(s.languagePath, 0, sizeof s.languagePath);
    shell::copyText(s.languagePath, sizeof s.languagePath, loader.languageModulePath());

    HMODULE module = LoadLibraryA(s.languagePath);
    if (module == nullptr) {
        return stopForLanguage(loader, "Failed to load language.");
    }
    char missing[64] = {};
    if (shell::findMissingLanguageResource(module, missing, sizeof missing)) {
        FreeLibrary(module);
        char text[160] = {};
        std::snprintf(text, sizeof text, "Failed to load language: it has no %s.", missing);
        return stopForLanguage(loader, text);
    }
    s.languageLoaded = 1;
    s.languageModule = module;
    imaging::setPromptModule(module);

    s.itemUncheckedBitmap = LoadBitmapA(module, MAKEINTRESOURCEA(131));
    s.itemCheckedBitmap = shell::loadLanguagePicture(159);
    s.dialogBrush = CreateSolidBrush(RGB(198, 195, 198));
    s.picture155 = shell::loadLanguagePicture(155);
    s.picture156 = shell::loadLanguagePicture(156);
    s.infoPicture = shell::loadLanguagePicture(154);
    s.aboutPicture = shell::loadLanguagePicture(157);
    for (const auto& [picture, id] :
         {std::pair{s.itemCheckedBitmap, 159}, std::pair{s.picture155, 155},
          std::pair{s.picture156, 156}, std::pair{s.infoPicture, 154},
          std::pair{s.aboutPicture, 157}}) {
        if (picture == nullptr) {
            char text[160] = {};
            std::snprintf(text, sizeof text, "Failed to load language: picture %d does not decode.",
                          id);
            return stopForLanguage(loader, text);
        }
    }

    shell::registerMainWindowClass(instance, shell::mainWindowClassName);
    if (!shell::createMainWindow(instance, showState, shell::mainWindowClassName)) {
        return 0;
    }
    HACCEL accelerators = LoadAcceleratorsA(module, MAKEINTRESOURCEA(109));
    return shell::runMessageLoop(accelerators);
}

// The player's entry point: the tour is the package appended to this very
// executable. A file without a tour (or with a corrupt one) ends silently with
// exit code 0.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "imaging/image_prompts.h"
#include "package/platform_files.h"
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
    platform::deleteFile(shellState.languagePath);
    shellState.comApartment.reset();
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState) {
    ShellState& s = shellState;
    s.comApartment = std::make_unique<platform::ComApartment>();
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

    platform::UniqueModule module(LoadLibraryA(s.languagePath));
    if (!module) {
        return stopForLanguage(loader, "Failed to load language.");
    }
    char missing[64] = {};
    if (shell::findMissingLanguageResource(module.get(), missing, sizeof missing)) {
        module.reset();
        char text[160] = {};
        std::snprintf(text, sizeof text, "Failed to load language: it has no %s.", missing);
        return stopForLanguage(loader, text);
    }
    s.languageLoaded = 1;
    s.languageModule = std::move(module);
    imaging::setPromptModule(s.languageModule.get());

    s.itemUncheckedBitmap.reset(
        LoadBitmapA(s.languageModule.get(), MAKEINTRESOURCEA(IDB_ITEM_UNCHECKED)));
    s.itemCheckedBitmap = shell::loadLanguagePicture(IDP_ITEM_CHECKED);
    s.dialogBrush.reset(CreateSolidBrush(RGB(198, 195, 198)));
    s.picture155 = shell::loadLanguagePicture(IDP_LOGO);
    s.picture156 = shell::loadLanguagePicture(IDP_COMPASS);
    s.infoPicture = shell::loadLanguagePicture(IDP_HELP_CARD);
    s.aboutPicture = shell::loadLanguagePicture(IDP_ABOUT_FACE);
    for (const auto& [picture, id] :
         {std::pair{s.itemCheckedBitmap, IDP_ITEM_CHECKED}, std::pair{s.picture155, IDP_LOGO},
          std::pair{s.picture156, IDP_COMPASS}, std::pair{s.infoPicture, IDP_HELP_CARD},
          std::pair{s.aboutPicture, IDP_ABOUT_FACE}}) {
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
    HACCEL accelerators =
        LoadAcceleratorsA(s.languageModule.get(), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    return shell::runMessageLoop(accelerators);
}

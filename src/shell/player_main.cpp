// The player's entry point: the tour is the package appended to this very
// executable. A file without a tour (or with a corrupt one) ends silently with
// exit code 0.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "imaging/image_prompts.h"
#include "platform/bitmap_enlarging.h"
#include "platform/files.h"
#include "platform/process_end.h"
#include "package/tour_loader.h"
#include "shell/shell.h"
#include "shell/shell_core.h"

namespace {

// A language module that cannot serve the player ends the run: the files
// taken out of the tour go, and the exit code is 0.
int stopForLanguage(const char* text) {
    MessageBoxW(nullptr, shell::asciiName(text).c_str(), L"Error", MB_OK | MB_ICONWARNING);
    shell::releaseRun();
    return 0;
}

// Where this very executable lies, into the shell state; false when the
// process has no file of its own to read a tour from.
bool findOwnFile() {
    // Through the wide-character call: the tour may lie in a folder whose
    // name the ANSI code page cannot spell.
    // The call cuts a path that does not fit and says so only by filling the
    // buffer: the buffer grows until the path fits, whatever its length.
    std::wstring ownPath(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, ownPath.data(), static_cast<DWORD>(ownPath.size()));
        if (length == 0) {
            return false;
        }
        if (length < ownPath.size()) {
            ownPath.resize(length);
            break;
        }
        ownPath.resize(ownPath.size() * 2);
    }
    shellState.executablePath = platform::textPath(ownPath);
    return true;
}

// The skin's bitmaps and the status font, at the scale chosen for the screen.
void prepareSkin(package::TourLoader& loader) {
    ShellState& s = shellState;
    // On a high-DPI screen the windowed player and its pictures are enlarged
    // by a whole factor (the system's DPI, read once: the player does not
    // follow a move to a monitor of another DPI).
    const int dpi = shell::screenDpi();
    s.dpi = dpi;
    s.scale = shell::chooseScale(s.tour->viewSize(), dpi);
    s.statusFont = shell::makeStatusFont(dpi, s.scale);
    s.skinSet = &loader.skinSet();
    s.skinSet->loadBitmaps();
    s.skinSet->enlargeBitmaps(s.scale);
    s.windowBackground = s.skinSet->extraImage23();
    s.toolbarBackground = s.skinSet->extraImage24();
    s.fullToolbarBackground = s.skinSet->extraImage25();
}

// Loads the tour's language module and checks that it holds every resource
// the player asks it for; "" when it does, else what the user is told.
std::string loadLanguageModule(const char* path) {
    ShellState& s = shellState;
    s.languagePath = path;
    platform::UniqueModule module(LoadLibraryW(platform::systemPath(path).c_str()));
    if (!module) {
        return "Failed to load language.";
    }
    char missing[64] = {};
    if (shell::findMissingLanguageResource(module.get(), missing, sizeof missing)) {
        module.reset();
        char text[160] = {};
        std::snprintf(text, sizeof text, "Failed to load language: it has no %s.", missing);
        return text;
    }
    s.languageLoaded = true;
    s.languageModule = std::move(module);
    imaging::setPromptModule(s.languageModule.get());
    return {};
}

// The language module's pictures, decoded once for the whole run; "" when
// every one decodes, else what the user is told.
std::string loadLanguagePictures() {
    ShellState& s = shellState;
    s.itemUnchecked.reset(
        LoadBitmapA(s.languageModule.get(), MAKEINTRESOURCEA(IDB_ITEM_UNCHECKED)));
    s.itemChecked = shell::loadLanguagePicture(IDP_ITEM_CHECKED);
    s.dialogBrush.reset(CreateSolidBrush(RGB(198, 195, 198)));
    s.logo = shell::loadLanguagePicture(IDP_LOGO);
    s.compass = shell::loadLanguagePicture(IDP_COMPASS);
    s.helpCard.decoded = shell::loadLanguagePicture(IDP_HELP_CARD);
    s.aboutFace.decoded = shell::loadLanguagePicture(IDP_ABOUT_FACE);
    for (const auto& [picture, id] :
         {std::pair{&s.itemChecked, IDP_ITEM_CHECKED}, std::pair{&s.logo, IDP_LOGO},
          std::pair{&s.compass, IDP_COMPASS}, std::pair{&s.helpCard.decoded, IDP_HELP_CARD},
          std::pair{&s.aboutFace.decoded, IDP_ABOUT_FACE}}) {
        if (!*picture) {
            char text[160] = {};
            std::snprintf(text, sizeof text, "Failed to load language: picture %d does not decode.",
                          id);
            return text;
        }
    }
    // Enlarged pixel for pixel; one that cannot be enlarged is shown at its size.
    if (s.scale > 1) {
        for (ShownPicture* picture : {&s.aboutFace, &s.helpCard}) {
            picture->enlarged = platform::enlargeBitmap(picture->decoded.bitmap(), s.scale);
        }
    }
    return {};
}

// The language module and its pictures; "" when the module can serve the
// player, else what the user is told.
std::string loadLanguage(const char* path) {
    std::string problem = loadLanguageModule(path);
    if (problem.empty()) {
        problem = loadLanguagePictures();
    }
    return problem;
}

int showMainWindow(HINSTANCE instance, int showState) {
    shell::registerMainWindowClass(instance, shell::mainWindowClassName);
    if (!shell::createMainWindow(instance, showState, shell::mainWindowClassName)) {
        // No window (no display, no desktop): nothing was shown, and the run
        // says that it failed.
        shell::releaseRun();
        return 1;
    }
    HACCEL accelerators =
        LoadAcceleratorsA(shellState.languageModule.get(), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    return shell::runMessageLoop(accelerators);
}

int runTour(package::TourLoader& loader, HINSTANCE instance, int showState) {
    shellState.tour = loader.load(shellState.executablePath.c_str());
    // What killed or crashed runs left; the files of players still running
    // are held by them and stay.
    for (const char* prefix : {"QRZ", "QRX"}) {
        platform::removeFilesOfEndedRuns(prefix);
    }
    prepareSkin(loader);
    const std::string problem = loadLanguage(loader.languageModulePath());
    if (!problem.empty()) {
        return stopForLanguage(problem.c_str());
    }
    return showMainWindow(instance, showState);
}

int runPlayer(HINSTANCE instance, int showState) {
    shellState.comApartment = std::make_unique<platform::ComApartment>();
    if (!findOwnFile()) {
        return 0;  // no file of its own to read a tour from
    }
    package::TourLoader loader;
    // A failure from here on ends the run while the loader's skin set still
    // lives: the windows that paint with it are up while the box shows.
    return platform::endOnAnyException([&] { return runTour(loader, instance, showState); });
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState) {
    platform::setProcessEnd(shell::endRun);
    // What fails before the tour is being read ends here, as every later
    // failure does.
    return platform::endOnAnyException([&] { return runPlayer(instance, showState); });
}

// The player's entry point: the tour is the package appended to this very
// executable. A file without a tour (or with a corrupt one) ends silently with
// exit code 0.
#include <windows.h>

#include "package/tour_loader.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char exePath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exePath, MAX_PATH);

    TourLoader loader;
    std::unique_ptr<Tour> tour = loader.load(exePath);
    // The window, the viewer and the dialogs build on the tour from here; until
    // they run, the start-up files are released again so that nothing is left.
    loader.deleteExtractedFiles(*tour);
    return 0;
}

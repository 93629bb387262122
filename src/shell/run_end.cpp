// The ends of the run. The order matters on Windows: leaving the last COM
// apartment may unload the libraries the media graphs and pictures live in,
// so they are released first; the language module's file cannot go while the
// module is loaded, nor a sound file while a graph reads it.
#include <windows.h>

#include "platform/files.h"
#include "shell/shell.h"

namespace shell {

void releaseRun() {
    ShellState& s = shellState;
    viewer.releaseMedia();
    releasePictures();
    s.comApartment.reset();
    shutdownShell(s.mainWindow);
    // What no owner reached: the skin images when the run ended while they
    // were being converted, the background sound, a file made while the
    // package was still being read.
    platform::deleteFilesOfThisRun();
}

void endRun(int exitCode) {
    releaseRun();
    // The C++ run-time's own exit would run the static destructors as well,
    // possibly under objects whose operations are still on this stack (the
    // box may have come from inside a render tick); they hold nothing now.
    ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace shell

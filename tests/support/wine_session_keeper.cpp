// Holds a Wine session open while the Windows tests run:
//   wine_session_keeper.exe HOLD_FILE
// Test programs start and end all the time. Whichever program starts Wine's
// server, its services or its virtual desktop hands them its output, and the
// test driver then waits for that output to close until they end; and when
// the last program leaves the desktop, Wine takes it down, so a program
// starting at that moment may find it half gone. This program starts them all
// first, with no test's output, and keeps the desktop in use with a hidden
// window. It writes HOLD_FILE.ready once the window exists and ends when
// HOLD_FILE is deleted.
#include <windows.h>

#include <string>

#include "platform/scoped_handle.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string hold = argv[1];
    platform::UniqueWindow window(CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "wine session keeper",
                                                  WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                                  GetModuleHandleA(nullptr), nullptr));
    if (!window) {
        return 1;
    }
    {
        // Made and closed at once: its being there is the signal.
        const platform::UniqueFile ready(CreateFileA((hold + ".ready").c_str(), GENERIC_WRITE, 0,
                                                     nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                     nullptr));
    }
    while (GetFileAttributesA(hold.c_str()) != INVALID_FILE_ATTRIBUTES) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
    }
    window.reset();
    // The signal goes only once the desktop is no longer held (not a
    // temporary file of the keeper's: the session script names it).
    DeleteFileA((hold + ".ready").c_str());
    return 0;
}

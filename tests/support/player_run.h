// A tour executable run as its own process, as a user starts it: its
// temporary folder a test's own, its message boxes answered, its main window
// handed to the test once, and its exit code.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

struct PlayerScript {
    // Added to the few variables the player needs from this process's
    // environment (TMP and TEMP name the run's temporary folder).
    std::vector<std::pair<std::wstring, std::wstring>> environment;
    // The button pressed in each message box, by caption; IDOK for the rest.
    std::map<std::wstring, int> answers;
    // Called once with the first visible window of the process, whatever it
    // is, before a box is answered.
    std::function<void(HWND)> onFirstWindow;
    // Called once with the main window when it shows and `mainWindowReady`
    // (when given) holds for it; asked again until it does.
    std::function<void(HWND)> onMainWindow;
    std::function<bool(HWND)> mainWindowReady;
};

struct PlayerRun {
    DWORD exitCode = 0xFFFFFFFF;
    bool sawWindow = false;           // any visible window of the process
    bool sawMainWindow = false;       // the player's main window
    std::vector<std::wstring> boxes;  // captions of the message boxes, in order
};

// Runs `exe` until it ends (a minute at most: then it is killed and the test
// fails) and reports what it showed.
PlayerRun runPlayer(const std::filesystem::path& exe, const std::filesystem::path& temp,
                    const PlayerScript& script = {});

// Whether the window's thread takes a message within `limit`: it has done
// what it had to before it waits for input.
bool answers(HWND window, std::chrono::milliseconds limit);

}  // namespace test_support

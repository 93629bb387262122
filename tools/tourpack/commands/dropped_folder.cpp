#include "commands/dropped_folder.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "commands/commands.h"
#include "text/utf8_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tourpack {
namespace {

namespace fs = std::filesystem;

// True when tourpack is the only process attached to its console: Windows
// opened the window for it, and closes it when tourpack ends.
bool ownsItsConsole() {
#ifdef _WIN32
    DWORD processes[2] = {};
    return GetConsoleProcessList(processes, 2) == 1;
#else
    return false;
#endif
}

void waitForAKeyInOwnWindow() {
#ifdef _WIN32
    if (!ownsItsConsole()) {
        return;
    }
    std::printf("\nPress a key to close this window.\n");
    std::fflush(stdout);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(input);
    INPUT_RECORD record{};
    DWORD read = 0;
    while (ReadConsoleInputW(input, &record, 1, &read) && read == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
            return;
        }
    }
#endif
}

int run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "tourpack");
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    return runCommandLine(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

bool isDroppedFolder(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        return false;
    }
    for (const Command& command : registeredCommands()) {
        if (command.name == argv[1]) {
            return false;  // a command, even where a folder bears its name
        }
    }
    std::error_code error;
    return fs::is_directory(pathFromUtf8(argv[1]), error);
}

int runDroppedFolder(const std::string& given) {
    const fs::path folder = fs::absolute(pathFromUtf8(given)).lexically_normal();
    const fs::path named = folder.has_filename() ? folder : folder.parent_path();
    const fs::path manifest = named / "tour.json";
    const fs::path tour = fs::path(named) += ".exe";
    int status = 0;
    std::error_code error;
    if (fs::exists(manifest, error)) {
        std::printf("Using the manifest %s (delete it to guess anew).\n", utf8Of(manifest).c_str());
    } else {
        status = run({"new", utf8Of(named)});
    }
    if (status == 0) {
        std::printf("\n");
        std::fflush(stdout);
        status = run({"build", utf8Of(manifest), "-o", utf8Of(tour)});
    }
    std::fflush(stdout);
    waitForAKeyInOwnWindow();
    return status;
}

bool explainWithoutArguments(int argc) {
    if (argc != 1 || !ownsItsConsole()) {
        return false;
    }
    std::printf(
        "tourpack makes virtual tours from folders of panoramas.\n\n"
        "Drop a folder of panoramas onto tourpack.exe: it writes a manifest, tour.json, in the\n"
        "folder (scenes, names and sounds guessed from the file names) and builds FOLDER.exe\n"
        "beside the folder. Edit tour.json and drop the folder again to build anew.\n\n"
        "From a command prompt, tourpack --help lists the commands.\n");
    waitForAKeyInOwnWindow();
    return true;
}

}  // namespace tourpack

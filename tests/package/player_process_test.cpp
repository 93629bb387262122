// The real player.exe, started as its own process: what it does with tours,
// without tours and with damaged tours.
#include <windows.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <functional>

#include "manifest/manifest.h"
#include "package/extension_block.h"
#include "package/field_reader.h"
#include "module_path.h"
#include "package/package_writer.h"
#include "platform/scoped_handle.h"
#include "shell/window_classes.h"
#include "test_window.h"
#include "tour_source.h"

namespace {

namespace fs = std::filesystem;
using test_support::Bytes;

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    bool sawWindow = false;
};

struct WindowSearch {
    DWORD processId;
    bool found;
    HWND window;
};

BOOL CALLBACK findWindowOf(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window)) {
        search->found = true;
        search->window = window;
        return FALSE;
    }
    return TRUE;
}

std::string classOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string textOf(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Called once with the first visible window of the process.
using WindowAction = std::function<void(HWND)>;

// Runs `exe` with its temporary folder pointed at `temp`, watching for any
// window of the process until it ends.
RunResult runPlayer(const fs::path& exe, const fs::path& temp, const WindowAction& onWindow = {}) {
    std::string environment;
    for (const char* name : {"TMP", "TEMP"}) {
        environment += std::string(name) + "=" + temp.string() + '\0';
    }
    for (const char* name : {"SystemRoot", "WINEPREFIX", "DISPLAY", "PATH", "WINEDEBUG"}) {
        if (const char* value = std::getenv(name)) {
            environment += std::string(name) + "=" + value + '\0';
        }
    }
    environment += '\0';
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + exe.string() + "\"";
    RunResult result;
    if (!CreateProcessA(exe.string().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        environment.data(), nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << exe << ": " << GetLastError();
        return result;
    }
    const platform::UniqueHandle thread(process.hThread);
    const platform::UniqueHandle child(process.hProcess);
    WindowSearch search{process.dwProcessId, false, nullptr};
    bool acted = false;
    DWORD waited = 0;
    while (WaitForSingleObject(child.get(), 5) == WAIT_TIMEOUT) {
        EnumWindows(findWindowOf, reinterpret_cast<LPARAM>(&search));
        if (search.found && onWindow && !acted) {
            acted = true;
            Sleep(500);  // let it settle, as a user would
            onWindow(search.window);
        }
        waited += 5;
        if (waited > 60000) {
            ADD_FAILURE() << exe << " still runs after a minute";
            TerminateProcess(child.get(), 99);
        }
    }
    GetExitCodeProcess(child.get(), &result.exitCode);
    result.sawWindow = search.found;
    return result;
}

class PlayerProcessTest : public ::testing::Test {
  protected:
    PlayerProcessTest() { fs::create_directories(temp_); }

    // With `realLanguage` the tour carries the English language module; else a
    // file that only looks like a module.
    fs::path buildTour(const std::string& name, bool realLanguage = false, int fullScreenMode = 2) {
        auto source = test_support::makeTourSource(folder_.path() / "source", 2, PLAYER_EXE);
        if (realLanguage) {
            // The English module the build made.
            fs::copy_file(test_support::modulePath("en"), source.folder / "language.dll",
                          fs::copy_options::overwrite_existing);
        }
        source.manifest["fullScreenMode"] = fullScreenMode;
        source.save();
        std::vector<std::string> warnings;
        const auto manifest = tourpack::readManifest(source.manifestPath(), warnings);
        const fs::path output = folder_.path() / name;
        tourpack::buildPackage(manifest, output, {}, warnings);
        return output;
    }

    // The QRZ files in the temporary folder the player would use by default.
    static std::vector<fs::path> defaultTempFiles() {
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        return test_support::filesWithPrefix(folder, "QRZ");
    }

    void expectSilentExitLeavingNothing(const fs::path& exe) {
        const auto before = defaultTempFiles();
        const RunResult result = runPlayer(exe, temp_);
        EXPECT_EQ(defaultTempFiles(), before) << exe;
        EXPECT_EQ(result.exitCode, 0u) << exe;
        EXPECT_FALSE(result.sawWindow) << exe;
        expectNothingLeft(exe);
    }

    void expectNothingLeft(const fs::path& exe) {
        EXPECT_TRUE(fs::is_empty(temp_))
            << exe << " left " << fs::directory_iterator(temp_)->path();
    }

    test_support::TempFolder folder_;
    fs::path temp_ = folder_.path() / "temp";
};

TEST_F(PlayerProcessTest, ABarePlayerEndsSilently) {
    const fs::path bare = folder_.path() / "bare.exe";
    fs::copy_file(PLAYER_EXE, bare);
    expectSilentExitLeavingNothing(bare);
}

TEST_F(PlayerProcessTest, ALowerCaseTrailerIsNoTour) {
    const fs::path tour = buildTour("lower.exe");
    Bytes bytes = test_support::readFile(tour);
    std::copy_n("cafebabe", 8, bytes.end() - 8);
    test_support::writeFile(tour, bytes);
    expectSilentExitLeavingNothing(tour);
}

TEST_F(PlayerProcessTest, ACorruptTourEndsSilentlyAndRemovesWhatItWrote) {
    // Make the language module's length, the record stream's last field
    // (before the extension block and the trailer), reach past the end of the
    // file: by then the reader has written 27 files.
    const fs::path tour = buildTour("corrupt.exe");
    Bytes bytes = test_support::readFile(tour);
    const std::string moduleSize =
        std::to_string(fs::file_size(folder_.path() / "source" / "language.dll"));
    const std::string blockMarker = package::extension_block::marker;
    // The last one: the player's own image names the marker too.
    const auto marker =
        std::find_end(bytes.begin(), bytes.end(), blockMarker.begin(), blockMarker.end());
    ASSERT_NE(marker, bytes.end());
    const auto blockStart =
        static_cast<std::size_t>(marker - bytes.begin()) - package::FieldReader::longWidth;
    const std::size_t languageLength =
        blockStart - std::stoul(moduleSize) - package::FieldReader::longWidth;
    ASSERT_EQ(std::string(bytes.begin() + static_cast<std::ptrdiff_t>(languageLength),
                          bytes.begin() + static_cast<std::ptrdiff_t>(languageLength) +
                              static_cast<std::ptrdiff_t>(moduleSize.size() + 1)),
              std::string(moduleSize.c_str(), moduleSize.size() + 1));
    std::copy_n("9999999", 7, bytes.begin() + static_cast<std::ptrdiff_t>(languageLength));
    test_support::writeFile(tour, bytes);
    expectSilentExitLeavingNothing(tour);
}

TEST_F(PlayerProcessTest, AGoodTourOpensItsWindowAndClosingItLeavesNothing) {
    for (const int fullScreenMode : {0, 2}) {
        const fs::path tour =
            buildTour("good" + std::to_string(fullScreenMode) + ".exe", true, fullScreenMode);
        std::string windowClass;
        std::string title;
        const RunResult result = runPlayer(tour, temp_, [&](HWND window) {
            windowClass = classOf(window);
            title = textOf(window);
            PostMessageA(window, WM_CLOSE, 0, 0);
        });
        EXPECT_TRUE(result.sawWindow);
        EXPECT_EQ(windowClass, shell::mainWindowClassName);
        // Full screen has no caption, but the window keeps its title.
        EXPECT_EQ(title, "Caf\xE9 tour-Lumivue virtual tour");  // in the ANSI code page
        EXPECT_EQ(result.exitCode, 0u);
        expectNothingLeft(tour);
        fs::remove_all(folder_.path() / "source");
    }
}

TEST_F(PlayerProcessTest, ALanguageModuleThatDoesNotLoadIsReportedAndLeavesNothing) {
    const fs::path tour = buildTour("nolanguage.exe");
    std::string windowClass;
    std::string caption;
    const RunResult result = runPlayer(tour, temp_, [&](HWND box) {
        windowClass = classOf(box);
        caption = textOf(box);
        // The box's only button.
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(windowClass, test_support::dialogClassName);
    EXPECT_EQ(caption, "Error");
    EXPECT_EQ(result.exitCode, 0u);
    expectNothingLeft(tour);
}

}  // namespace

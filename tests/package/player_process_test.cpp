// The real player.exe, started as its own process: what it does with tours,
// without tours and with damaged tours.
#include <windows.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <chrono>

#include "manifest/manifest.h"
#include "package/extension_block.h"
#include "package/field_reader.h"
#include "module_path.h"
#include "package/package_writer.h"
#include "player_run.h"
#include "shell/window_classes.h"
#include "test_window.h"
#include "tour_source.h"

namespace {

namespace fs = std::filesystem;
using test_support::Bytes;

std::string classOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// In the ANSI code page, as the tour's title is.
std::string textOf(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
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
        const test_support::PlayerRun result = test_support::runPlayer(exe, temp_);
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
        test_support::PlayerScript script;
        script.onFirstWindow = [&](HWND window) {
            windowClass = classOf(window);
            title = textOf(window);
        };
        // Closed once it has started up and waits for input, as a user would.
        script.mainWindowReady = [](HWND window) {
            return test_support::answers(window, std::chrono::seconds(1));
        };
        script.onMainWindow = [](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); };
        const test_support::PlayerRun result = test_support::runPlayer(tour, temp_, script);
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
    test_support::PlayerScript script;
    // The runner presses the box's only button.
    script.onFirstWindow = [&](HWND box) {
        windowClass = classOf(box);
        caption = textOf(box);
    };
    const test_support::PlayerRun result = test_support::runPlayer(tour, temp_, script);
    EXPECT_EQ(windowClass, test_support::dialogClassName);
    EXPECT_EQ(caption, "Error");
    EXPECT_EQ(result.exitCode, 0u);
    expectNothingLeft(tour);
}

}  // namespace

// The ways out of the player, run as its own process: each leaves the
// temporary folder as it found it, memory that runs out anywhere ends through
// the out-of-memory box, and every COM object goes before the apartment.
// The instrumented player (instrumented_player.cpp) makes allocations fail
// and records the COM releases; PLAYER_EXE is the real one.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "lang_ids.h"
#include "manifest/manifest.h"
#include "module_path.h"
#include "package/tour_loader.h"
#include "package/package_writer.h"
#include "pictures/picture_conversion.h"
#include "player_run.h"
#include "screen_capture.h"
#include "tour_source.h"

namespace {

namespace fs = std::filesystem;
using test_support::Bytes;

using test_support::PlayerRun;
using test_support::runPlayer;
using Script = test_support::PlayerScript;

void closeWindow(HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
}

void nextScene(HWND window) {
    PostMessageW(window, WM_COMMAND, IDM_NEXT_SCENE, 0);
}

// Scene `n` from the scene menu.
void goToScene(HWND window, int n) {
    PostMessageW(window, WM_COMMAND, IDM_FIRST_SCENE - 1 + n, 0);
}

// Adds a scene whose picture is `picture` (a file name in the source).
void addScene(test_support::TourSource& source, const std::string& picture) {
    nlohmann::json scene = source.manifest["scenes"][0];
    scene["name"] = "Scene " + std::to_string(source.manifest["scenes"].size() + 1);
    scene["image"] = picture;
    source.manifest["scenes"].push_back(scene);
}

// A baseline JPEG of one colour, large enough that the platform's decoder
// takes a good part of a second or more over it.
Bytes jpegPicture(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    tourpack::RgbPicture picture;
    picture.size = {width, height};
    picture.pixels.resize(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t at = 0; at < picture.pixels.size(); at += 3) {
        picture.pixels[at] = red;
        picture.pixels[at + 1] = green;
        picture.pixels[at + 2] = blue;
    }
    return tourpack::encodeJpeg(picture, 90);
}

// The colour at the middle of the player's view, as the screen shows it.
COLORREF viewCentre(HWND mainWindow) {
    const HWND view = FindWindowExA(mainWindow, nullptr, "OrbiViewer", nullptr);
    if (view == nullptr) {
        return CLR_INVALID;
    }
    const test_support::Bitmap24 shot = test_support::screenshotOf(view);
    if (shot.width == 0 || shot.height == 0) {
        return CLR_INVALID;
    }
    const std::uint8_t* pixel = shot.pixels.data() +
                                static_cast<std::size_t>(shot.height / 2) * shot.stride +
                                static_cast<std::size_t>(shot.width / 2) * 3;
    return RGB(pixel[2], pixel[1], pixel[0]);
}

bool closeTo(COLORREF colour, int red, int green, int blue) {
    return std::abs(GetRValue(colour) - red) < 24 && std::abs(GetGValue(colour) - green) < 24 &&
           std::abs(GetBValue(colour) - blue) < 24;
}

// The first scene (the colour of the test tours' scene 1) shows in the view:
// the player has started up, its sounds with it, and a script may act.
bool firstSceneShows(HWND mainWindow) {
    return closeTo(viewCentre(mainWindow), 60, 120, 200);
}

void expectReleasesBeforeLeaving(const fs::path& trace, std::size_t atLeast);

class PlayerLifecycle : public ::testing::Test {
  protected:
    PlayerLifecycle() { fs::create_directories(temp_); }

    // A tour of two 512 x 256 scenes with sound on and the English module,
    // for the real or the instrumented player. `change` edits the source.
    fs::path buildTour(const std::string& name, const fs::path& player,
                       const std::function<void(test_support::TourSource&)>& change = {}) {
        const fs::path folder = folder_.path() / ("source-" + name);
        auto source = test_support::makeTourSource(folder, 2, player);
        fs::copy_file(test_support::modulePath("en"), source.folder / "language.dll",
                      fs::copy_options::overwrite_existing);
        for (int k = 1; k <= 2; ++k) {
            test_support::writeFile(folder / ("scene" + std::to_string(k) + ".bmp"),
                                    test_support::bmpPicture(512, 256, 60 * k, 120, 200));
            test_support::writeFile(folder / ("scene" + std::to_string(k) + ".wav"),
                                    test_support::toneSound(0.5, 440));
        }
        test_support::writeFile(folder / "background.wav", test_support::toneSound(1.0, 220));
        source.manifest["soundOn"] = true;
        source.manifest["autoPlay"] = false;
        source.manifest["fullScreenMode"] = 0;
        source.manifest["transition"] = "none";  // scene changes cut in, as these cases expect
        if (change) {
            change(source);
        }
        source.save();
        std::vector<std::string> warnings;
        const auto manifest = tourpack::readManifest(source.manifestPath(), warnings);
        const fs::path output = folder_.path() / (name + ".exe");
        tourpack::buildPackage(manifest, output, {}, warnings);
        return output;
    }

    void expectTempFolderEmpty(const std::string& what) {
        std::string left;
        for (const auto& entry : fs::directory_iterator(temp_)) {
            left += entry.path().filename().string() + " ";
        }
        EXPECT_TRUE(left.empty()) << what << " left " << left;
    }

    // The run showed one box, `box`, and ended with 1, its COM objects
    // released before the apartment and its temporary files gone; the trace
    // is removed for the next run.
    void expectEndThroughBox(const PlayerRun& run, const std::wstring& box, bool windowShows,
                             const fs::path& trace, const std::string& where) {
        EXPECT_EQ(run.boxes, std::vector<std::wstring>{box});
        EXPECT_EQ(run.sawMainWindow, windowShows);
        EXPECT_EQ(run.exitCode, 1u);
        expectReleasesBeforeLeaving(trace, 0);
        expectTempFolderEmpty(where);
        fs::remove(trace);
    }

    test_support::TempFolder folder_;
    fs::path temp_ = folder_.path() / "temp";
};

const fs::path instrumented = INSTRUMENTED_PLAYER_EXE;

std::vector<std::string> traceLines(const fs::path& trace) {
    std::ifstream in(trace);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Every release comes before the one leaving of the apartment, and there were
// releases to order: the sound graphs' interfaces, the language pictures.
void expectReleasesBeforeLeaving(const fs::path& trace, std::size_t atLeast) {
    const std::vector<std::string> lines = traceLines(trace);
    const auto leave = std::find(lines.begin(), lines.end(), "leave");
    ASSERT_NE(leave, lines.end()) << "the apartment was never left";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "leave"), 1);
    EXPECT_GE(static_cast<std::size_t>(leave - lines.begin()), atLeast);
    EXPECT_EQ(std::count(leave, lines.end(), "release"), 0)
        << "references released after the apartment was left";
}

TEST_F(PlayerLifecycle, ClosingReleasesEveryComObjectBeforeLeavingTheApartment) {
    const fs::path tour = buildTour("close", instrumented);
    const fs::path trace = folder_.path() / "close.trace";
    Script script;
    script.environment = {{L"LUMIVUE_COM_TRACE", trace.wstring()}};
    script.mainWindowReady = firstSceneShows;
    script.onMainWindow = closeWindow;
    const PlayerRun run = runPlayer(tour, temp_, script);
    EXPECT_TRUE(run.sawMainWindow);
    EXPECT_EQ(run.exitCode, 0u);
    // Two graphs of five interfaces at most each, and five language pictures.
    expectReleasesBeforeLeaving(trace, 5 + 2);
    expectTempFolderEmpty("a closed player");
}

TEST_F(PlayerLifecycle, MemoryRunningOutEndsThroughTheBoxLeavingNothing) {
    // The allocation that fails, told by its size: the reader's copy of the
    // background sound; the skin image of slot 0 read for decoding (the
    // reader copied it first); the warper's pixel offsets of one row of the
    // 400-pixel view, made at the first render tick.
    const Bytes sound = test_support::toneSound(1.0, 220);
    const Bytes skin = test_support::bmpPicture(101, 77, 1, 2, 3);
    struct Case {
        const char* where;
        std::wstring failing;
        bool windowShows;
    };
    const Case cases[] = {
        {"reading the package", std::to_wstring(sound.size()), false},
        {"converting the skin", std::to_wstring(skin.size()) + L",2", false},
        {"a render tick", std::to_wstring(400 * sizeof(std::size_t)), true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.where);
        const fs::path tour = buildTour("memory", instrumented, [&](auto& source) {
            test_support::writeFile(source.folder / "skin" / "00-slot.bmp", skin);
        });
        const fs::path trace = folder_.path() / "memory.trace";
        Script script;
        script.environment = {{L"LUMIVUE_FAIL_ALLOCATION", test.failing},
                              {L"LUMIVUE_COM_TRACE", trace.wstring()}};
        expectEndThroughBox(runPlayer(tour, temp_, script), L"Out of Memory", test.windowShows,
                            trace, test.where);
        fs::remove_all(folder_.path() / "source-memory");
    }
}

// Whatever an entry from the system meets ends the same way: the box for
// its kind (memory, or anything else), exit status 1, nothing left behind,
// every COM object released before the apartment is left.
TEST_F(PlayerLifecycle, AnExceptionAnywhereEndsThroughItsBoxLeavingNothing) {
    const Bytes sound = test_support::toneSound(1.0, 220);
    // The information dialog converts its fourth text when it opens: the
    // only allocation of this size in the run.
    constexpr std::size_t infoTextLength = 1500;
    const std::wstring infoTextAllocation = std::to_wstring((infoTextLength + 1) * sizeof(wchar_t));
    struct Case {
        const char* where;
        std::pair<std::wstring, std::wstring> failure;
        const wchar_t* box;
        bool windowShows;
        bool opensInformation;
    };
    // The band pool runs the first render's rows in bands on this 2-core
    // machine's two threads; the first and the third band fail.
    const Case cases[] = {
        {"start-up",
         {L"LUMIVUE_FAIL_ALLOCATION", std::to_wstring(sound.size()) + L",1,error"},
         L"Error",
         false,
         false},
        {"band work", {L"LUMIVUE_FAIL_BAND", L"1,error"}, L"Error", true, false},
        {"band work out of memory", {L"LUMIVUE_FAIL_BAND", L"3"}, L"Out of Memory", true, false},
        {"a dialog procedure",
         {L"LUMIVUE_FAIL_ALLOCATION", infoTextAllocation + L",1,error"},
         L"Error",
         true,
         true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.where);
        const fs::path tour = buildTour("failure", instrumented, [&](auto& source) {
            source.manifest["info"]["text4"] = std::string(infoTextLength, 'x');
        });
        const fs::path trace = folder_.path() / "failure.trace";
        Script script;
        script.environment = {test.failure, {L"LUMIVUE_COM_TRACE", trace.wstring()}};
        if (test.opensInformation) {
            script.mainWindowReady = firstSceneShows;
            script.onMainWindow = [](HWND window) {
                PostMessageW(window, WM_COMMAND, IDM_TOUR_INFO, 0);
            };
        }
        expectEndThroughBox(runPlayer(tour, temp_, script), test.box, test.windowShows, trace,
                            test.where);
        fs::remove_all(folder_.path() / "source-failure");
    }
}

TEST_F(PlayerLifecycle, NoToTheDecodePromptEndsWithStatus1LeavingNothing) {
    const fs::path tour = buildTour("undecodable", PLAYER_EXE);
    {
        // Scene 1's picture bytes overwritten inside the tour: they decrypt
        // to something no decoder reads.
        package::TourLoader loader;
        package::PackageError error;
        const auto read = loader.read(tour.string().c_str(), error);
        ASSERT_TRUE(read);
        const package::FileItem* image = read->scene(1)->image();
        loader.deleteExtractedFiles(*read);
        Bytes bytes = test_support::readFile(tour);
        std::fill_n(bytes.begin() + image->offset(), image->length(), 0x5A);
        test_support::writeFile(tour, bytes);
    }
    Script script;
    script.answers[L"Picture cannot be shown"] = IDNO;
    const PlayerRun run = runPlayer(tour, temp_, script);
    EXPECT_EQ(run.boxes, std::vector<std::wstring>{L"Picture cannot be shown"});
    EXPECT_EQ(run.exitCode, 1u);
    expectTempFolderEmpty("a No to the decode prompt");
}

// Scenes 1 and 2 are the small BMPs of every test tour (2 is decoded ahead
// while 1 shows); scene 3 a large JPEG (green), scene 4 a small blue BMP.
void addSlowThirdScene(test_support::TourSource& source, int width) {
    test_support::writeFile(source.folder / "slow.jpg", jpegPicture(width, width / 2, 40, 200, 40));
    test_support::writeFile(source.folder / "blue.bmp",
                            test_support::bmpPicture(512, 256, 30, 30, 220));
    addScene(source, "slow.jpg");
    addScene(source, "blue.bmp");
}

TEST_F(PlayerLifecycle, ClosingDuringASceneDecodeEndsWith0LeavingNothing) {
    const fs::path tour = buildTour("close-decoding", instrumented,
                                    [](auto& source) { addSlowThirdScene(source, 8000); });
    const fs::path trace = folder_.path() / "close-decoding.trace";
    Script script;
    script.environment = {{L"LUMIVUE_COM_TRACE", trace.wstring()}};
    script.mainWindowReady = firstSceneShows;
    script.onMainWindow = [](HWND window) {
        goToScene(window, 3);  // its decode takes seconds; the close comes at once
        closeWindow(window);
    };
    const PlayerRun run = runPlayer(tour, temp_, script);
    EXPECT_TRUE(run.sawMainWindow);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.exitCode, 0u);
    expectReleasesBeforeLeaving(trace, 5 + 2);
    expectTempFolderEmpty("a player closed while a scene decoded");
}

TEST_F(PlayerLifecycle, AnOvertakenSceneChangeIsNeverShown) {
    const fs::path tour =
        buildTour("overtaken", PLAYER_EXE, [](auto& source) { addSlowThirdScene(source, 6000); });
    std::vector<COLORREF> seen;
    Script script;
    script.mainWindowReady = firstSceneShows;
    script.onMainWindow = [&](HWND window) {
        // Scene 3, then Page Down while its picture still decodes: scene 4
        // shows, and scene 3's picture never comes back, not even once its
        // decode is done. (Scene 3's first look, its stored preview, shows
        // until Page Down is handled.)
        goToScene(window, 3);
        nextScene(window);
        for (int sample = 0; sample < 40; ++sample) {
            Sleep(100);  // 4 s of samples: the slow decode's end falls among them
            seen.push_back(viewCentre(window));
        }
        closeWindow(window);
    };
    const PlayerRun run = runPlayer(tour, temp_, script);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_FALSE(seen.empty());
    const auto blue = [](COLORREF c) { return closeTo(c, 30, 30, 220); };
    const auto firstBlue = std::find_if(seen.begin(), seen.end(), blue);
    ASSERT_NE(firstBlue, seen.end()) << "scene 4 never showed";
    for (auto at = firstBlue; at != seen.end(); ++at) {
        EXPECT_TRUE(blue(*at)) << "sample " << (at - seen.begin()) << " shows " << std::hex << *at;
    }
    expectTempFolderEmpty("a player whose scene change was overtaken");
}

TEST_F(PlayerLifecycle, ATemporaryFolderOutsideTheCodePageWorks) {
    const fs::path tour = buildTour("unicode-temp", PLAYER_EXE);
    temp_ = folder_.path() / fs::path(L"\u0422\u0435\u043c\u043f \u6771\u4eac");
    fs::create_directories(temp_);
    bool madeFiles = false;
    Script script;
    script.mainWindowReady = firstSceneShows;
    script.onMainWindow = [&](HWND window) {
        madeFiles = !fs::is_empty(temp_);
        closeWindow(window);
    };
    const PlayerRun run = runPlayer(tour, temp_, script);
    EXPECT_TRUE(run.sawMainWindow);
    EXPECT_TRUE(madeFiles) << "the player wrote nothing to its temporary folder";
    EXPECT_EQ(run.exitCode, 0u);
    expectTempFolderEmpty("a player with a Unicode temporary folder");
}

}  // namespace

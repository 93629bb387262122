#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <optional>
#include <string>

#include "engine/angles.h"
#include "imaging/image_cache.h"
#include "imaging/image_prompts.h"
#include "imaging/scene_decode.h"
#include "lang_ids.h"
#include "full_decode_gate.h"
#include "message_box_watcher.h"
#include "module_path.h"
#include "pictures/picture_conversion.h"
#include "viewer/panorama_levels.h"
#include "viewer_fixture.h"

namespace {

using namespace test_support;
namespace fs = std::filesystem;

TEST_F(ViewerTest, StartShowsSceneOneAtItsStartView) {
    makeTour(3);
    openViewer(false);
    EXPECT_EQ(viewer_->currentSceneNumber(), -1);
    viewer_->start();
    waitForScene();
    EXPECT_EQ(recorder_.shown, std::vector<std::int32_t>{1});
    EXPECT_EQ(viewer_->currentSceneNumber(), 1);
    EXPECT_NEAR(viewer_->panDegrees(), 10.5f, 1e-3);
    EXPECT_NEAR(viewer_->tiltDegrees(), -3.0f, 1e-3);
    EXPECT_NEAR(viewer_->fovDegrees(), 65.0f, 1e-3);
    EXPECT_EQ(GetFocus(), viewer_->viewWindow());
    EXPECT_TRUE(IsWindowVisible(viewer_->viewWindow()));
}

TEST_F(ViewerTest, SceneSteppingWrapsBothWays) {
    makeTour(3);
    openViewer();
    viewer_->nextScene();
    waitForScene();
    viewer_->nextScene();
    waitForScene();
    EXPECT_EQ(viewer_->currentSceneNumber(), 3);
    viewer_->nextScene();
    waitForScene();
    EXPECT_EQ(viewer_->currentSceneNumber(), 1);
    viewer_->previousScene();
    waitForScene();
    EXPECT_EQ(viewer_->currentSceneNumber(), 3);
    viewer_->previousScene();
    waitForScene();
    EXPECT_EQ(viewer_->currentSceneNumber(), 2);
    EXPECT_EQ(recorder_.shown, (std::vector<std::int32_t>{1, 2, 3, 1, 3, 2}));
}

TEST_F(ViewerTest, NextSceneBeforeAnySceneShowsSceneOneOnce) {
    makeTour(3);
    openViewer(false);
    viewer_->nextScene();
    waitForScene();
    EXPECT_EQ(recorder_.shown, std::vector<std::int32_t>{1});
    EXPECT_EQ(viewer_->currentSceneNumber(), 1);
}

TEST_F(ViewerTest, OutOfRangeStartViewsBecomeTheDefaults) {
    makeTour(2, [](nlohmann::json& m) {
        m["scenes"][0]["pan"] = 190;
        m["scenes"][0]["tilt"] = 95;
        m["scenes"][0]["fieldOfView"] = 170;
        m["scenes"][1]["pan"] = 180;
        m["scenes"][1]["tilt"] = -90;
        m["scenes"][1]["fieldOfView"] = 12;
    });
    openViewer();
    EXPECT_NEAR(viewer_->panDegrees(), 0.0f, 1e-4);
    EXPECT_NEAR(viewer_->tiltDegrees(), 0.0f, 1e-4);
    EXPECT_NEAR(viewer_->fovDegrees(), 100.0f, 1e-3);
    viewer_->nextScene();
    waitForScene();
    // Pan 180 is inside the range; the view keeps it (as -180 or 180 after the wrap).
    EXPECT_NEAR(std::fabs(viewer_->panDegrees()), 180.0f, 1e-3);
    EXPECT_NEAR(viewer_->fovDegrees(), 12.0f, 1e-3);
    // The model keeps what the package says.
    EXPECT_EQ(tour_->scene(1)->pan(), 190.0f);
}

TEST_F(ViewerTest, AGoToSceneWhileAnotherSceneLoadsCancelsIt) {
    // Scene 2's picture does not decode: the decode prompt opens inside its
    // loading, and while it is open the user goes to scene 3.
    makeTour(3, [&](nlohmann::json&) {
        test_support::Bytes broken(200, 0xAB);
        broken[0] = 'B';
        broken[1] = 'M';
        test_support::writeFile(folder_.path() / "source" / "scene2.bmp", broken);
    });
    const platform::UniqueModule loaded(LoadLibraryA(test_support::modulePath("en").c_str()));
    const HMODULE language = loaded.get();
    ASSERT_NE(language, nullptr);
    imaging::setPromptModule(language);
    openViewer();
    ASSERT_EQ(recorder_.shown, std::vector<std::int32_t>{1});

    // While the prompt is open (shown on this thread once scene 2's worker is
    // done), scene 3 is asked for; then the prompt is answered with "Yes".
    std::optional<MessageBoxWatcher> answerer;
    std::function<void()> tick;
    tick = [&] {
        const HWND box = FindWindowA(dialogClassName, "Picture cannot be shown");
        DWORD process = 0;
        if (box == nullptr || GetWindowThreadProcessId(box, &process) == 0 ||
            process != GetCurrentProcessId()) {
            parent_->onTimer = tick;  // not open yet: look again at the next tick
            SetTimer(parent_->window, 77, 50, nullptr);
            return;
        }
        viewer_->goToScene(3);
        answerer.emplace(MessageBoxWatcher::anyCaption, IDYES);
    };
    parent_->onTimer = tick;
    SetTimer(parent_->window, 77, 50, nullptr);
    viewer_->goToScene(2);
    ASSERT_TRUE(
        pumpUntil([&] { return answerer && answerer->answered() == 1; }, std::chrono::seconds(20)));
    waitForScene();
    pumpFor(std::chrono::milliseconds(200));
    EXPECT_TRUE(answerer && answerer->answered() == 1);
    EXPECT_EQ(recorder_.shown, (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(viewer_->currentSceneNumber(), 3);
    imaging::setPromptModule(nullptr);  // before the module goes
}

TEST_F(ViewerTest, PlayTourOnOneSceneRotatesWithoutAdvancing) {
    makeTour(1, [](nlohmann::json& m) { m["rotationSpeed"] = 3; });
    openViewer();
    viewer_->playTour();
    const float startPan = viewer_->panDegrees();
    // More than one full turn at the doubled speed (1.6 degrees a tick), the
    // motion ticks driven here rather than waited for.
    engine::PanoramaView& view = viewer_->renderer()->view();
    for (int tick = 0; tick < 240; ++tick) {
        view.timerTick(static_cast<std::int32_t>(engine::ViewTimer::motion));
        view.timerTick(static_cast<std::int32_t>(engine::ViewTimer::render));
    }
    pumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(recorder_.shown, std::vector<std::int32_t>{1});
    EXPECT_NE(viewer_->panDegrees(), startPan);
    EXPECT_FALSE(viewer_->autoTourWatcher()->isEnabled());
}

TEST_F(ViewerTest, PlayTourAdvancesAfterEachFullTurn) {
    makeTour(3, [](nlohmann::json& m) { m["rotationSpeed"] = 3; });
    openViewer();
    viewer_->playTour();
    EXPECT_TRUE(viewer_->autoTourWatcher()->isEnabled());
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(pumpUntil([&] { return recorder_.shown.size() >= 2; }, std::chrono::seconds(60)));
    const auto turn = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(recorder_.shown, (std::vector<std::int32_t>{1, 2}));
    // A full turn takes 225 ticks of 40 ms; timers may run late (a busy machine
    // drops ticks), never early.
    EXPECT_GE(turn, std::chrono::milliseconds(8000));
    // The tour goes on: the watcher stays on and the view keeps turning.
    EXPECT_TRUE(viewer_->autoTourWatcher()->isEnabled());
}

// The played tour moves on from inside a motion tick; with the next scene
// decoded ahead its picture comes at once. Its first frame is drawn once, at
// the pan the tick leaves, not one turning step ahead of it.
TEST_F(ViewerTest, AnAutomaticStepDrawsTheNewSceneOnceAtThePanItShows) {
    makeTour(2, [](nlohmann::json& m) { m["rotationSpeed"] = 3; });
    openViewer();
    ASSERT_TRUE(
        pumpUntil([&] { return viewer_->mediaManager().prefetchedId() == tour_->scene(2)->id(); },
                  std::chrono::seconds(20)));
    viewer_->playTour();
    engine::PanoramaView& view = viewer_->renderer()->view();
    const engine::PanoramaWarper& warper = view.warper();
    // The ticks are driven here, one motion tick and one render tick at a
    // time, until the tour moves on (a full turn is 225 ticks).
    for (int tick = 0; tick < 400 && recorder_.shown.size() < 2; ++tick) {
        view.timerTick(static_cast<std::int32_t>(engine::ViewTimer::render));
        const std::uint32_t drawnBefore = warper.pictureCount();
        view.timerTick(static_cast<std::int32_t>(engine::ViewTimer::motion));
        if (recorder_.shown.size() < 2) {
            continue;
        }
        EXPECT_EQ(warper.pictureCount(), drawnBefore + 1);  // one rebuild, nothing more
        EXPECT_EQ(view.recomputePending(), 0);
        EXPECT_EQ(view.shiftPending(), 0);
        EXPECT_EQ(warper.shownView().shiftedColumns, 0);
        EXPECT_EQ(warper.shownView().pan, view.viewPan());
        EXPECT_NEAR(viewer_->panDegrees(), tour_->scene(2)->pan(), 1e-3);
    }
    ASSERT_EQ(recorder_.shown, (std::vector<std::int32_t>{1, 2}));
    const std::uint32_t drawn = warper.pictureCount();
    view.timerTick(static_cast<std::int32_t>(engine::ViewTimer::render));
    EXPECT_EQ(warper.pictureCount(), drawn);  // no shift was left queued
}

TEST_F(ViewerTest, ALeftClickStopsTheTourAndAnyMotion) {
    makeTour(3);
    openViewer();
    viewer_->playTour();
    pumpFor(std::chrono::milliseconds(200));
    ASSERT_TRUE(viewer_->autoTourWatcher()->isEnabled());
    ASSERT_NE(viewer_->renderer()->view().panSpeed(), 0.0f);
    SendMessageA(viewer_->viewWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    SendMessageA(viewer_->viewWindow(), WM_LBUTTONUP, 0, MAKELPARAM(100, 100));
    EXPECT_FALSE(viewer_->autoTourWatcher()->isEnabled());
    pumpFor(std::chrono::milliseconds(200));
    const float pan = viewer_->panDegrees();
    pumpFor(std::chrono::milliseconds(300));
    EXPECT_EQ(viewer_->panDegrees(), pan);
}

TEST_F(ViewerTest, KeysCommandsAndRightClicksReachTheParent) {
    makeTour(2);
    openViewer();
    const float pan = viewer_->panDegrees();
    SendMessageA(viewer_->viewWindow(), WM_KEYDOWN, VK_LEFT, 1);
    SendMessageA(viewer_->viewWindow(), WM_KEYUP, VK_LEFT, 1);
    SendMessageA(viewer_->viewWindow(), WM_COMMAND, IDM_PREVIOUS_SCENE, 0);
    SendMessageA(viewer_->viewWindow(), WM_RBUTTONUP, 0, MAKELPARAM(5, 6));
    SendMessageA(viewer_->viewWindow(), WM_MOUSEMOVE, 0, MAKELPARAM(7, 8));
    ASSERT_EQ(parent_->forwarded.size(), 4u);
    EXPECT_EQ(parent_->forwarded[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(parent_->forwarded[0].wParam, static_cast<WPARAM>(VK_LEFT));
    EXPECT_EQ(parent_->forwarded[1].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(parent_->forwarded[2].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(parent_->forwarded[2].wParam, WPARAM{IDM_PREVIOUS_SCENE});
    EXPECT_EQ(parent_->forwarded[3].message, static_cast<UINT>(WM_RBUTTONUP));
    EXPECT_EQ(parent_->forwarded[3].lParam, MAKELPARAM(5, 6));
    // The key also turned the view, by one degree.
    EXPECT_NEAR(viewer_->panDegrees(), pan - 1.0f, 1e-3);
}

TEST_F(ViewerTest, RefreshCutsTheToolbarOutOfTheViewOrGivesItAllBack) {
    makeTour(1);
    openViewer();
    // A toolbar sibling over the view's bottom-left corner, shaped by a region.
    HWND toolbar = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 300, 200, 96,
                                   parent_->window, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowRgn(toolbar, CreateRectRgn(0, 0, 200, 96), FALSE);
    viewer_->setFullToolbarWindow(toolbar);
    viewer_->refresh();
    const platform::UniqueRegion copy(CreateRectRgn(0, 0, 0, 0));
    const HRGN region = copy.get();
    ASSERT_EQ(GetWindowRgn(viewer_->viewWindow(), region), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(region, 10, 300 - 36 + 10));  // under the toolbar
    EXPECT_TRUE(PtInRegion(region, 300, 300 - 36 + 10));
    EXPECT_TRUE(PtInRegion(region, 10, 10));

    MoveWindow(toolbar, 0, 300, 0, 0, FALSE);  // hidden by size
    viewer_->refresh();
    ASSERT_EQ(GetWindowRgn(viewer_->viewWindow(), region), SIMPLEREGION);
    RECT box{};
    GetRgnBox(region, &box);
    EXPECT_EQ(box.right, 480);
    EXPECT_EQ(box.bottom, 360);
}

TEST_F(ViewerTest, DestroyingTheViewerStopsItAndDeletesItsSoundFiles) {
    makeTour(3);
    openViewer();
    viewer_->nextScene();
    waitForScene();
    viewer_->nextScene();
    waitForScene();
    EXPECT_GE(soundFilesLeft(), 1u);
    const HWND view = viewer_->viewWindow();
    viewer_.reset();
    EXPECT_EQ(soundFilesLeft(), 0u);
    // The window outlives the viewer with its parent; its messages are harmless.
    ASSERT_TRUE(IsWindow(view));
    SendMessageA(view, WM_KEYDOWN, VK_LEFT, 1);
    pumpFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(parent_->forwarded.empty());
}

TEST_F(ViewerTest, ReleasedSceneMediaLeavesNoListenerBehind) {
    makeTour(2);
    openViewer();
    viewer_->releaseSceneMedia();
    SceneRecorder other;
    viewer_->setSceneListener(&other);  // must not reach the deleted listener
    viewer_->showPictureFile((folder_.path() / "source" / "scene1.bmp").string().c_str(), 0, 0, 1);
    EXPECT_TRUE(other.shown.empty());
}

using test_support::FullDecodeGate;

// A photograph-like picture (noise on a coarse grid, smoothly interpolated)
// that takes a while to decode.
test_support::Bytes smoothJpeg(int width, int height) {
    constexpr int cell = 10;
    const int columns = width / cell + 2;
    std::vector<std::uint8_t> grid(static_cast<std::size_t>(columns) * (height / cell + 2) * 3);
    std::uint32_t state = 12345;
    for (std::uint8_t& value : grid) {
        state = state * 1664525u + 1013904223u;
        value = static_cast<std::uint8_t>(state >> 24);
    }
    tourpack::RgbPicture picture;
    picture.size = {width, height};
    picture.pixels.resize(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const int gy = y / cell;
        const int fy = y % cell;
        for (int x = 0; x < width; ++x) {
            const int gx = x / cell;
            const int fx = x % cell;
            for (int c = 0; c < 3; ++c) {
                const auto at = [&](int i, int j) {
                    return static_cast<int>(
                        grid[(static_cast<std::size_t>(j) * columns + i) * 3 + c]);
                };
                const int top = at(gx, gy) * (cell - fx) + at(gx + 1, gy) * fx;
                const int bottom = at(gx, gy + 1) * (cell - fx) + at(gx + 1, gy + 1) * fx;
                picture.pixels[(static_cast<std::size_t>(y) * width + x) * 3 + c] =
                    static_cast<std::uint8_t>((top * (cell - fy) + bottom * fy) / (cell * cell));
            }
        }
    }
    return tourpack::encodeJpeg(picture, 90);
}

// The preview tourpack stores with the scene is on screen as soon as the
// scene is asked for.
TEST_F(ViewerTest, APreviewIsTheSceneChangeAndTheFullImageKeepsTheViewTurnedMeanwhile) {
    // Scene 3, which is not the one decoded ahead while scene 1 shows.
    makeTour(3, [&](nlohmann::json& manifest) {
        writeFile(folder_.path() / "source" / "wide.jpg", smoothJpeg(6000, 3000));
        manifest["scenes"][2]["image"] = "wide.jpg";
    });
    openViewer();
    FullDecodeGate::instance().hold(tour_->scene(3)->id());
    viewer_->goToScene(3);
    const engine::PanoramaView& view = viewer_->renderer()->view();
    if (view.source().width != 1024) {
        FullDecodeGate::instance().release();
    }
    ASSERT_EQ(view.source().width, 1024) << "no stored preview";
    ASSERT_EQ(view.source().height, 512);
    EXPECT_EQ(recorder_.shown, (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(viewer_->currentSceneNumber(), 3);
    viewer_->setViewDegrees(33.0f, 0.0f, 60.0f);  // turned while the full picture decodes
    const float pan = viewer_->panDegrees();
    const float fov = viewer_->fovDegrees();
    FullDecodeGate::instance().release();
    waitForScene();
    EXPECT_EQ(view.source().width, 6000);
    EXPECT_EQ(recorder_.shown, (std::vector<std::int32_t>{1, 3}));
    EXPECT_NEAR(viewer_->panDegrees(), pan, 1e-3);
    EXPECT_NEAR(viewer_->fovDegrees(), fov, 1e-3);
}

// The widest panorama tourpack keeps whole is decoded, shown and given its
// pyramid for the smooth view.
TEST_F(ViewerTest, AScene16384By8192IsShownWithItsPyramid) {
    makeTour(2, [&](nlohmann::json& manifest) {
        tourpack::RgbPicture picture;
        picture.size = {16384, 8192};
        picture.pixels.resize(std::size_t{16384} * 8192 * 3);
        for (std::size_t row = 0; row < 8192; ++row) {
            // Bands of colour, quick to code and to decode.
            std::fill_n(picture.pixels.begin() + static_cast<std::ptrdiff_t>(row * 16384 * 3),
                        16384 * 3, static_cast<std::uint8_t>(row / 64 * 2));
        }
        writeFile(folder_.path() / "source" / "widest.jpg", tourpack::encodeJpeg(picture, 80));
        manifest["scenes"][1]["image"] = "widest.jpg";
    });
    openViewer();
    viewer_->goToScene(2);
    ASSERT_TRUE(
        pumpUntil([&] { return !viewer_->mediaManager().imageDue(); }, std::chrono::seconds(60)));
    const engine::PanoramaView& view = viewer_->renderer()->view();
    EXPECT_EQ(view.source().width, 16384);
    EXPECT_EQ(view.source().height, 8192);
    ASSERT_TRUE(pumpUntil([&] { return view.pyramid() != nullptr; }, std::chrono::seconds(60)));
    EXPECT_EQ(view.pyramid()->sourceWidth(), 16384);
    EXPECT_EQ(recorder_.shown, (std::vector<std::int32_t>{1, 2}));
}

// Only the scene on show and the one decoded ahead keep a pyramid: a cached
// scene gives its pyramid up when another is shown, and has it built anew
// when it is shown again.
TEST_F(ViewerTest, OnlyTheSceneOnShowKeepsItsPyramidInTheCache) {
    makeTour(4);
    openViewer();
    const engine::PanoramaView& view = viewer_->renderer()->view();
    viewer::Viewer& viewer = *viewer_;
    const auto settled = [&] {
        return view.pyramid() != nullptr && !viewer.prefetchDue() &&
               viewer.mediaManager().decodesIdle();
    };
    for (const int scene : {1, 2, 3, 1}) {
        viewer.goToScene(scene);
        waitForScene();
        ASSERT_TRUE(pumpUntil(settled, std::chrono::seconds(20))) << "scene " << scene;
        imaging::ImageCache& cache = viewer.mediaManager().imageCache();
        int withLevels = 0;
        for (std::int32_t index = 0; index < cache.entryCount(); ++index) {
            const std::shared_ptr<imaging::DibImage> image = cache.at(index);
            if (image->levels() != nullptr) {
                ++withLevels;
                EXPECT_EQ(image.get(), viewer.mediaManager().shownImage()) << "scene " << scene;
            }
        }
        EXPECT_EQ(withLevels, 1) << "scene " << scene;
        EXPECT_EQ(view.pyramid(), viewer::pyramidOf(viewer.mediaManager().shownImage()));
    }
    EXPECT_EQ(viewer.mediaManager().imageCache().entryCount(), 3);
}

TEST(ViewerWithoutWindow, NeutralValuesAndNoCrash) {
    viewer::Viewer viewer;
    EXPECT_EQ(viewer.fovDegrees(), -1.0f);
    EXPECT_EQ(viewer.panDegrees(), -1.0f);
    EXPECT_EQ(viewer.currentSceneNumber(), -1);
    viewer.setViewDegrees(10, 10, 10);
    viewer.refresh();
    viewer.nextScene();
    viewer.previousScene();
    viewer.resetView();
    viewer.turnLeft();
    EXPECT_NEAR(viewer.rotationStep(), engine::degree * 0.8f, 1e-9);
}

}  // namespace

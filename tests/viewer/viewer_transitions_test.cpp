// Walking through a link and fading between scenes, on a real view window
// whose frames read a clock the test steps: the turn toward the link, a
// frame that mixes both scenes, the newest scene winning over a walk it
// overtakes, input ending a walk, and the cut of tours that ask for none.
#include <gtest/gtest.h>

#include <chrono>

#include "viewer_fixture.h"

namespace {

using test_support::pumpUntil;
using viewer::SceneTransitions;
using Stage = SceneTransitions::Stage;

constexpr int sceneRed(int scene) {
    return 60 * scene;
}

class ViewerTransitionsTest : public test_support::ViewerTest {
  protected:
    // Three one-colour scenes (red 60, 120, 180); scene 1 (at pan 10.5,
    // field of view 65) has a link to scene 2 at pan 30, tilt 0 and one to
    // scene 3 at pan -10, both in view. Its frames read `now_`.
    void openWith(package::SceneTransition kind) {
        makeTour(3);
        tour_->scene(1)->setLinks(
            {test_support::linkTo(2, 30.0f, 0.0f), test_support::linkTo(3, -10.0f, 0.0f)});
        tour_->setTransition(kind);
        openViewer(false);
        transitions().setClock([this] { return now_; });
        viewer_->start();
        waitForScene();
        // Scene 2 is decoded ahead after the first frame.
        const std::int32_t two = tour_->scene(2)->id();
        ASSERT_TRUE(pumpFor([&] { return viewer_->mediaManager().prefetchedId() == two; }));
    }

    SceneTransitions& transitions() { return viewer_->transitions(); }

    // A frame of the walk or the fade at `ms` on the test's clock.
    void frameAt(double ms) {
        now_ = ms;
        SendMessageA(viewer_->viewWindow(), WM_TIMER, SceneTransitions::timerId, 0);
    }

    // The red of a view pixel away from the horizon, where no marker passes
    // (a scene's own, to a level: smooth sampling rounds).
    int red() {
        const engine::ViewBuffer& buffer = view().viewBuffer();
        return buffer.row(buffer.height / 4)[3 * (buffer.width / 4) + 2];
    }

    bool pumpFor(const std::function<bool()>& done) {
        return pumpUntil(done, std::chrono::seconds(20));
    }

    double now_ = 1000.0;
};

TEST_F(ViewerTransitionsTest, AWalkTurnsTowardTheLinkThenMixesBothScenesIntoTheLinksScene) {
    openWith(package::SceneTransition::walk);
    const float startPan = viewer_->panDegrees();
    const float startFov = viewer_->fovDegrees();
    viewer_->followLink(0);
    ASSERT_EQ(transitions().stage(), Stage::turning);
    frameAt(1150.0);  // halfway: halfway round and halfway narrowed
    EXPECT_NEAR(viewer_->panDegrees(), (startPan + 30.0f) / 2, 0.05f);
    EXPECT_NEAR(viewer_->fovDegrees(), startFov * 0.8f, 0.05f);
    EXPECT_NEAR(red(), sceneRed(1), 1);
    EXPECT_EQ(recorder_.shown, std::vector<std::int32_t>({1}));
    frameAt(1300.0);  // the end of the turn: the scene decoded ahead arrives
    EXPECT_EQ(transitions().stage(), Stage::fading);
    EXPECT_EQ(recorder_.shown, std::vector<std::int32_t>({1, 2}));
    frameAt(1300.0);  // the fade's first frame, its time's start
    const int older = red();
    EXPECT_NEAR(older, sceneRed(1), 1);
    frameAt(1450.0);
    const int half = red();
    frameAt(1600.0);
    EXPECT_EQ(transitions().stage(), Stage::idle);
    const int newer = red();
    EXPECT_NEAR(newer, sceneRed(2), 1);
    EXPECT_EQ(half, (older * 128 + newer * 128 + 128) >> 8);
    // At the scene's own start view, not the narrowed turn's.
    const package::Scene* two = tour_->scene(2);
    EXPECT_NEAR(viewer_->panDegrees(), two->pan(), 0.01f);
    EXPECT_NEAR(viewer_->fovDegrees(), two->fieldOfView(), 0.01f);
    EXPECT_EQ(recorder_.shown, std::vector<std::int32_t>({1, 2}));
}

TEST_F(ViewerTransitionsTest, AWalkOvertakenByAnotherSceneNeverShowsItsTarget) {
    openWith(package::SceneTransition::walk);
    viewer_->followLink(0);
    frameAt(1100.0);
    viewer_->goToScene(3);  // the scene menu, in the middle of the turn
    EXPECT_NE(transitions().stage(), Stage::turning);
    ASSERT_TRUE(pumpFor([&] { return recorder_.shown.size() == 2; }));
    frameAt(1200.0);
    frameAt(5000.0);  // long past where the turn would have ended
    EXPECT_EQ(transitions().stage(), Stage::idle);
    EXPECT_EQ(recorder_.shown, std::vector<std::int32_t>({1, 3}));
    EXPECT_NEAR(red(), sceneRed(3), 1);
}

TEST_F(ViewerTransitionsTest, AHighlightedLinksSceneIsDecodedAheadAndAKeyEndsItsWalkAtOnce) {
    openWith(package::SceneTransition::walk);
    const HWND window = viewer_->viewWindow();
    SendMessageA(window, WM_KEYDOWN, VK_TAB, 0);  // the leftmost link: to scene 3
    const std::int32_t three = tour_->scene(3)->id();
    ASSERT_TRUE(pumpFor([&] { return viewer_->mediaManager().prefetchedId() == three; }));
    SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_EQ(transitions().stage(), Stage::turning);
    SendMessageA(window, WM_KEYDOWN, 'X', 0);
    // Decoded ahead: the scene is on the view at once, without a fade.
    EXPECT_EQ(transitions().stage(), Stage::idle);
    EXPECT_EQ(recorder_.shown, std::vector<std::int32_t>({1, 3}));
    view().renderTick();
    viewer_->renderer()->draw();
    EXPECT_NEAR(red(), sceneRed(3), 1);
}

TEST_F(ViewerTransitionsTest, ALinkOfAFadingTourFadesWithoutTurning) {
    openWith(package::SceneTransition::fade);
    const float pan = viewer_->panDegrees();
    viewer_->followLink(0);  // no turn: the scene decoded ahead fades in now
    EXPECT_EQ(transitions().stage(), Stage::fading);
    EXPECT_EQ(recorder_.shown, std::vector<std::int32_t>({1, 2}));
    frameAt(1000.0);         // the fade's first frame, its time's start
    frameAt(1000.0 + 75.0);  // a quarter of the way
    const int quarter = red();
    frameAt(2000.0);
    EXPECT_EQ(transitions().stage(), Stage::idle);
    EXPECT_EQ(quarter, (sceneRed(1) * 192 + red() * 64 + 128) >> 8);
    EXPECT_NEAR(red(), sceneRed(2), 1);
    EXPECT_NEAR(viewer_->panDegrees(), tour_->scene(2)->pan(), 0.01f);
    EXPECT_NE(tour_->scene(2)->pan(), pan);
    // Any other scene change fades too, over a quarter of a second.
    viewer_->goToScene(3);
    ASSERT_TRUE(pumpFor([&] { return recorder_.shown.size() == 3; }));
    EXPECT_EQ(transitions().stage(), Stage::fading);
    frameAt(2000.0);
    frameAt(2000.0 + 249.0);
    EXPECT_EQ(transitions().stage(), Stage::fading);
    frameAt(2000.0 + 250.0);
    EXPECT_EQ(transitions().stage(), Stage::idle);
    EXPECT_NEAR(red(), sceneRed(3), 1);
}

TEST_F(ViewerTransitionsTest, ALinkOfATourWithoutTransitionsCutsAsBefore) {
    openWith(package::SceneTransition::none);
    const float pan = viewer_->panDegrees();
    viewer_->followLink(0);
    EXPECT_EQ(transitions().stage(), Stage::idle);
    EXPECT_EQ(recorder_.shown, std::vector<std::int32_t>({1, 2}));
    EXPECT_NE(viewer_->panDegrees(), 30.0f);
    view().renderTick();
    viewer_->renderer()->draw();
    EXPECT_NEAR(red(), sceneRed(2), 1);
    EXPECT_NEAR(pan, tour_->scene(1)->pan(), 0.01f);
}

}  // namespace

#include <gtest/gtest.h>

#include "engine/angles.h"
#include "engine_fixture.h"

namespace {

class ViewInput : public ::testing::Test {
  protected:
    ViewInput() {
        m.view->resize(450, 300);
        m.show(panorama);
        m.view->setView(0.0f, 0.0f, 100 * engine::degree);
        m.view->renderTick();
    }
    engine::PanoramaView& view() { return *m.view; }
    // The field of view after `presses` presses of `key` from `fov`.
    static float afterZoomKeys(float fov, int presses, std::int32_t key) {
        MemoryView other;
        other.view->setFov(fov);
        for (int n = 0; n < presses; ++n) {
            other.view->keyDown(key);
        }
        return other.view->viewFov();
    }
    ReferencePanorama panorama = randomPanorama(360, 180, 1);
    MemoryView m;
};

TEST_F(ViewInput, ALostCaptureEndsTheDragWithoutTakingTheMouseBack) {
    view().dragBegin(1, 100, 100);
    view().dragMove(1, 250, 100);
    view().timerTick(2);
    ASSERT_TRUE(view().dragging());
    const float turned = view().viewPan();
    ASSERT_GT(turned, 0.0f);

    view().dragLost();
    EXPECT_FALSE(view().dragging());
    EXPECT_FALSE(m.host.timerRunning(engine::ViewTimer::drag));
    // The capture went to another window: letting it go here would take it
    // from that window.
    EXPECT_TRUE(m.host.mouseCaptured());
    view().renderTick();
    view().renderTick();
    EXPECT_EQ(view().viewPan(), turned);

    // The next press starts a fresh drag from where the pointer is.
    view().dragBegin(1, 300, 100);
    EXPECT_TRUE(view().dragging());
    view().dragMove(1, 300, 100);
    view().timerTick(2);
    EXPECT_EQ(view().viewPan(), turned);
    view().dragEnd();
    EXPECT_FALSE(view().dragging());
    EXPECT_FALSE(m.host.mouseCaptured());
}

TEST_F(ViewInput, LosingTheMouseOutsideADragChangesNothing) {
    view().startMotion(0.1f, 0.0f, 0.0f);
    view().dragLost();
    EXPECT_TRUE(m.host.timerRunning(engine::ViewTimer::motion));
    // Losing it again after the release (the release itself lets it go).
    view().dragBegin(1, 10, 10);
    view().dragEnd();
    view().dragLost();
    EXPECT_FALSE(view().dragging());
    EXPECT_FALSE(m.host.timerRunning(engine::ViewTimer::drag));
}

TEST_F(ViewInput, EachWheelNotchIsOneZoomKeyStep) {
    const float start = view().viewFov();
    view().wheelTurned(engine::wheelNotch);
    EXPECT_EQ(view().viewFov(), afterZoomKeys(start, 1, engine::view_keys::letterA));
    EXPECT_GT(view().recomputePending(), 0);
    view().wheelTurned(3 * engine::wheelNotch);
    EXPECT_EQ(view().viewFov(), afterZoomKeys(start, 4, engine::view_keys::letterA));
    view().wheelTurned(-2 * engine::wheelNotch);
    EXPECT_EQ(view().viewFov(), afterZoomKeys(afterZoomKeys(start, 4, engine::view_keys::letterA),
                                              2, engine::view_keys::letterZ));
}

TEST_F(ViewInput, WheelZoomStopsAtTheKeysLimits) {
    view().setFov(engine::fovMin + 0.5f * engine::degree);
    view().wheelTurned(5 * engine::wheelNotch);
    EXPECT_EQ(view().viewFov(), engine::fovMin);
    view().setFov(engine::fovMax - 0.5f * engine::degree);
    view().wheelTurned(-5 * engine::wheelNotch);
    EXPECT_EQ(view().viewFov(), engine::fovMax);
    // The biggest turn a message reports stays within the limits.
    view().wheelTurned(INT16_MAX);
    EXPECT_EQ(view().viewFov(), engine::fovMin);
    view().wheelTurned(INT16_MIN);
    EXPECT_EQ(view().viewFov(), engine::fovMax);
}

TEST_F(ViewInput, PartsOfANotchAddUpWhileTheWheelKeepsItsDirection) {
    const float start = view().viewFov();
    view().wheelTurned(40);
    view().wheelTurned(40);
    EXPECT_EQ(view().viewFov(), start);
    EXPECT_EQ(view().recomputePending(), 0);
    view().wheelTurned(40);
    const float oneIn = afterZoomKeys(start, 1, engine::view_keys::letterA);
    EXPECT_EQ(view().viewFov(), oneIn);
    // 100 + 50: one notch, 30 kept; 90 more make the next.
    view().wheelTurned(100);
    view().wheelTurned(50);
    EXPECT_EQ(view().viewFov(), afterZoomKeys(start, 2, engine::view_keys::letterA));
    view().wheelTurned(90);
    EXPECT_EQ(view().viewFov(), afterZoomKeys(start, 3, engine::view_keys::letterA));
}

TEST_F(ViewInput, TurningTheWheelBackDropsWhatWasKept) {
    const float start = view().viewFov();
    view().wheelTurned(100);
    // Backward: the 100 kept forward does not cancel it out.
    view().wheelTurned(-120);
    const float oneOut = afterZoomKeys(start, 1, engine::view_keys::letterZ);
    EXPECT_EQ(view().viewFov(), oneOut);
    view().wheelTurned(-100);
    view().wheelTurned(30);
    view().wheelTurned(90);
    EXPECT_EQ(view().viewFov(), afterZoomKeys(oneOut, 1, engine::view_keys::letterA));
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>

#include "engine/angles.h"
#include "engine_fixture.h"

namespace {

TEST(AngleConstants, DerivedFromSinglePi) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &engine::pi, sizeof bits);
    EXPECT_EQ(bits, 0x40490FDBu);
    EXPECT_EQ(engine::halfPi, 1.5707964f);
    EXPECT_EQ(engine::twoPi, 6.2831855f);
    EXPECT_EQ(engine::degree, 0.017453294f);
    EXPECT_EQ(engine::fovMax, 2.8797934f);
    EXPECT_EQ(165 * engine::degree, 2.8797936f);
    EXPECT_EQ(12 * engine::degree, engine::fovMin);
}

TEST(ViewDegreeChecks, OutOfRangeAnglesTakeTheirDefaults) {
    const engine::ViewDegrees inside = engine::checkedViewDegrees(-180.0f, 90.0f, 165.0f);
    EXPECT_EQ(inside.pan, -180.0f);
    EXPECT_EQ(inside.tilt, 90.0f);
    EXPECT_EQ(inside.fov, 165.0f);
    const engine::ViewDegrees lowFov = engine::checkedViewDegrees(180.0f, -90.0f, 12.0f);
    EXPECT_EQ(lowFov.pan, 180.0f);
    EXPECT_EQ(lowFov.fov, 12.0f);
    const engine::ViewDegrees outside = engine::checkedViewDegrees(180.5f, -90.01f, 170.0f);
    EXPECT_EQ(outside.pan, 0.0f);
    EXPECT_EQ(outside.tilt, 0.0f);
    EXPECT_EQ(outside.fov, 100.0f);
    EXPECT_EQ(engine::checkedViewDegrees(1.0f, 1.0f, 11.9f).fov, 100.0f);
    const engine::ViewDegrees notNumbers = engine::checkedViewDegrees(NAN, NAN, NAN);
    EXPECT_EQ(notNumbers.pan, 0.0f);
    EXPECT_EQ(notNumbers.tilt, 0.0f);
    EXPECT_EQ(notNumbers.fov, 100.0f);
    const engine::ViewRadians radians = engine::viewRadiansFromDegrees(90.0f, INFINITY, 45.0f);
    EXPECT_EQ(radians.pan, 90.0f * engine::degree);
    EXPECT_EQ(radians.tilt, 0.0f);
    EXPECT_EQ(radians.fov, 45.0f * engine::degree);
    EXPECT_EQ(engine::degreesFromRadians(radians.pan), 90.0f);
}

class Navigation : public ::testing::Test {
  protected:
    Navigation() {
        m.view->resize(450, 300);
        m.show(panorama);
        m.view->setView(0.0f, 0.0f, 100 * engine::degree);
        m.view->renderTick();
    }
    engine::PanoramaView& view() { return *m.view; }
    ReferencePanorama panorama = randomPanorama(360, 180, 1);
    MemoryView m;
};

TEST_F(Navigation, FieldOfViewClampsBeyondTheLimitsOnly) {
    view().startMotion(0.0f, 0.0f, 0.5f);
    view().setFov(engine::fovMax);
    EXPECT_EQ(view().viewFov(), engine::fovMax);
    EXPECT_EQ(view().fovSpeed(), 0.5f);
    view().setFov(165 * engine::degree);
    EXPECT_EQ(view().viewFov(), engine::fovMax);
    EXPECT_EQ(view().fovSpeed(), 0.0f);
    view().startMotion(0.0f, 0.0f, -0.5f);
    view().setFov(12 * engine::degree);
    EXPECT_EQ(view().viewFov(), engine::fovMin);
    EXPECT_EQ(view().fovSpeed(), -0.5f);
    view().setFov(0.1f);
    EXPECT_EQ(view().viewFov(), engine::fovMin);
    EXPECT_EQ(view().fovSpeed(), 0.0f);
    EXPECT_EQ(view().recomputePending(), 0);
    view().setFovAndRecompute(1.0f);
    EXPECT_EQ(view().recomputePending(), 1);
}

TEST_F(Navigation, TiltClampsAtPlusMinusNinetyDegrees) {
    view().startMotion(0.0f, 0.3f, 0.0f);
    view().setTilt(engine::halfPi);
    EXPECT_EQ(view().tiltSpeed(), 0.3f);
    view().setTilt(2.0f);
    EXPECT_EQ(view().viewTilt(), engine::halfPi);
    EXPECT_EQ(view().tiltSpeed(), 0.0f);
    view().setTiltAndRecompute(-2.0f);
    EXPECT_EQ(view().viewTilt(), -engine::halfPi);
    EXPECT_EQ(view().recomputePending(), 1);
}

TEST_F(Navigation, PanWrapsOnceAndReturnsTheRealChange) {
    view().setPan(0.5f);
    EXPECT_EQ(view().setPan(3.2f), 3.2f - 0.5f);
    EXPECT_EQ(view().viewPan(), 3.2f - engine::twoPi);
    EXPECT_EQ(view().lastPanDelta(), 3.2f - 0.5f);
    view().setPan(engine::pi);
    EXPECT_EQ(view().viewPan(), engine::pi);
    view().setPan(-3.3f);
    EXPECT_EQ(view().viewPan(), -3.3f + engine::twoPi);
    EXPECT_EQ(view().projection().mirrorSum,
              engine::Projection::mirrorSumFor(179.0f, view().projection().columnsPerRadian,
                                               -3.3f + engine::twoPi));
    EXPECT_EQ(view().recomputePending(), 0);
    EXPECT_EQ(view().shiftPending(), 0);
}

TEST_F(Navigation, KeysStepOneDegree) {
    const float fov = view().viewFov();
    for (const std::int32_t key : {0x10, 0x41, 0x61}) {
        view().setFov(fov);
        view().keyDown(key);
        EXPECT_EQ(view().viewFov(), fov - engine::degree) << key;
    }
    for (const std::int32_t key : {0x11, 0x5A, 0x7A}) {
        view().setFov(fov);
        view().keyDown(key);
        EXPECT_EQ(view().viewFov(), fov + engine::degree) << key;
    }
    view().renderTick();
    view().keyDown(0x27);
    view().keyDown(0x27);
    view().keyDown(0x25);
    EXPECT_EQ(view().viewPan(), (0.0f + engine::degree + engine::degree) - engine::degree);
    EXPECT_EQ(view().shiftPending(), 3);
    EXPECT_EQ(view().recomputePending(), 0);
    view().keyDown(0x28);
    EXPECT_EQ(view().viewTilt(), engine::degree);
    view().keyDown(0x26);
    EXPECT_EQ(view().viewTilt(), 0.0f);
    EXPECT_EQ(view().recomputePending(), 2);
    // Keys neither stop the motion nor count for anything else.
    view().startMotion(0.1f, 0.0f, 0.0f);
    view().keyDown(0x42);
    view().keyDown(0x5B);
    EXPECT_TRUE(view().motionTimerRunning());
    EXPECT_EQ(view().viewFov(), fov + engine::degree);
}

TEST_F(Navigation, RenderTickCoalescesChanges) {
    const int draws = m.host.drawCount();
    view().renderTick();
    EXPECT_EQ(m.host.drawCount(), draws);  // nothing pending, nothing drawn
    view().panBy(0.1f);
    view().panBy(0.2f);
    EXPECT_FLOAT_EQ(view().pendingPanDelta(), 0.2f);
    view().renderTick();
    EXPECT_EQ(m.host.drawCount(), draws + 1);
    EXPECT_EQ(view().pendingPanDelta(), 0.0f);
    EXPECT_EQ(view().shiftPending(), 0);
    // A rebuild absorbs a queued pan and draws once.
    view().panBy(0.4f);
    view().setTiltAndRecompute(0.1f);
    view().renderTick();
    EXPECT_EQ(m.host.drawCount(), draws + 2);
    EXPECT_EQ(view().shiftPending(), 0);
    EXPECT_EQ(view().pendingPanDelta(), 0.0f);
    ReferenceView expected(450, 300);
    ReferenceWarp().warp(panorama, expected, view().viewFov(), 0.4f, 0.1f);
    EXPECT_TRUE(m.matches(expected));
    // Ticks do nothing while rendering is off.
    view().setRenderingEnabled(false);
    view().markRecompute();
    view().timerTick(1);
    EXPECT_EQ(m.host.drawCount(), draws + 2);
    view().setRenderingEnabled(true);
    view().timerTick(1);
    EXPECT_EQ(m.host.drawCount(), draws + 3);
}

TEST_F(Navigation, NoImageMeansNoBitmapAndNoDrawing) {
    view().setImage(nullptr);
    EXPECT_FALSE(view().hasViewBitmap());
    EXPECT_EQ(view().warper().columnMap(), nullptr);
    const int draws = m.host.drawCount();
    view().renderTick();
    EXPECT_EQ(m.host.drawCount(), draws);
    view().resize(200, 100);
    EXPECT_FALSE(view().hasViewBitmap());
    m.show(panorama);
    ASSERT_TRUE(view().hasViewBitmap());
    EXPECT_EQ(view().viewBuffer().width, 200);
    EXPECT_EQ(view().viewBuffer().stride, 600);
    const engine::SourceImage empty{panorama.pixels.data(), 0, 10, 30};
    view().setImage(&empty);
    EXPECT_FALSE(view().hasImage());
}

TEST_F(Navigation, EmptyViewNeedsNoBitmap) {
    view().resize(0, 0);
    EXPECT_FALSE(view().hasViewBitmap());
    view().renderTick();
    view().resize(30, 20);
    EXPECT_TRUE(view().hasViewBitmap());
    EXPECT_EQ(view().dragDivisorX(), 2);
    EXPECT_EQ(view().dragDivisorY(), 50);
}

TEST_F(Navigation, DragTurnsAtARateSetByTheDistance) {
    EXPECT_EQ(view().dragDivisorX(), 30);
    EXPECT_EQ(view().dragDivisorY(), 60);
    view().startMotion(0.1f, 0.0f, 0.0f);
    view().dragBegin(1, 100, 100);
    EXPECT_FALSE(view().motionTimerRunning());
    EXPECT_TRUE(m.host.timerRunning(engine::ViewTimer::drag));
    EXPECT_TRUE(m.host.mouseCaptured());
    // Within one divisor of the start: nothing changes.
    view().dragMove(1, 129, 159);
    view().timerTick(2);
    EXPECT_EQ(view().viewPan(), 0.0f);
    EXPECT_EQ(view().shiftPending(), 0);
    // 90 pixels right: three degrees per tick, a column shift only.
    view().dragMove(1, 190, 100);
    view().timerTick(2);
    EXPECT_EQ(view().dragStepX(), 3);
    EXPECT_EQ(view().viewPan(), 3 * engine::degree);
    EXPECT_EQ(view().shiftPending(), 1);
    EXPECT_EQ(view().recomputePending(), 0);
    // Shift or another button held: the position is ignored, the rate stays.
    view().dragMove(1 | 4, 400, 100);
    view().dragMove(1 | 8, 400, 100);
    view().dragMove(2, 400, 100);
    view().timerTick(2);
    EXPECT_EQ(view().dragStepX(), 3);
    // Far away: limited to six degrees; a downward drag tilts and rebuilds.
    view().dragMove(1, -900, 160);
    view().timerTick(2);
    EXPECT_EQ(view().dragStepX(), -6);
    EXPECT_EQ(view().dragStepY(), 1);
    EXPECT_EQ(view().viewTilt(), engine::degree);
    EXPECT_EQ(view().recomputePending(), 1);
    view().dragMove(1, 100, -5000);
    view().timerTick(2);
    EXPECT_EQ(view().dragStepY(), -6);
    view().dragEnd();
    EXPECT_FALSE(m.host.timerRunning(engine::ViewTimer::drag));
    EXPECT_FALSE(m.host.mouseCaptured());
}

TEST_F(Navigation, MotionRatesAreReplacedNotAdded) {
    view().startMotion(0.0f, -0.014f, 0.0f);
    view().startMotion(-0.014f, 0.0f, 0.0f);
    EXPECT_EQ(view().panSpeed(), -0.014f);
    EXPECT_EQ(view().tiltSpeed(), 0.0f);
    EXPECT_TRUE(m.host.timerRunning(engine::ViewTimer::motion));
    view().renderTick();
    view().timerTick(3);
    EXPECT_EQ(view().viewPan(), -0.014f);
    EXPECT_EQ(view().shiftPending(), 1);
    EXPECT_EQ(view().recomputePending(), 0);
    view().stopMotion();
    EXPECT_FALSE(m.host.timerRunning(engine::ViewTimer::motion));
    EXPECT_EQ(view().panSpeed(), -0.014f);  // rates stay stored
}

TEST_F(Navigation, ZoomRunStopsWithinTwoTicksOfTheLimit) {
    const float step = static_cast<float>(engine::degree * 0.8);
    view().startMotion(0.0f, 0.0f, -step);
    int ticks = 0;
    while (view().viewFov() > engine::fovMin && ticks < 1000) {
        view().timerTick(3);
        ++ticks;
        EXPECT_TRUE(view().motionTimerRunning());
    }
    EXPECT_EQ(view().viewFov(), engine::fovMin);
    EXPECT_EQ(view().fovSpeed(), 0.0f);
    view().timerTick(3);
    EXPECT_FALSE(view().motionTimerRunning());
    EXPECT_FALSE(m.host.timerRunning(engine::ViewTimer::motion));
}

class CountingStepper : public engine::SceneStepper {
  public:
    void showNextScene(bool userAction) override {
        ++advances;
        lastWasUser = userAction;
    }
    int advances = 0;
    bool lastWasUser = true;
};

class AutoTour : public Navigation {
  protected:
    AutoTour() {
        auto watcher = std::make_unique<engine::AutoTourWatcher>(&stepper);
        watcher->setEnabled(true);
        view().setAutoTourWatcher(std::move(watcher));
    }
    // Turns from `start` at `rate` per tick; returns the ticks until the watcher
    // advanced, or -1.
    int ticksToAdvance(float start, float rate) {
        // The scene's start view is set while the watcher is off.
        const bool enabled = view().autoTourWatcher()->isEnabled();
        view().autoTourWatcher()->setEnabled(false);
        view().autoTourWatcher()->setReferenceAngle(start);
        view().setPan(start);
        view().autoTourWatcher()->setEnabled(enabled);
        view().startMotion(rate, 0.0f, 0.0f);
        for (int tick = 1; tick < 2000; ++tick) {
            view().timerTick(3);
            if (stepper.advances > 0) {
                return tick;
            }
        }
        return -1;
    }
    CountingStepper stepper;
};

TEST_F(AutoTour, AdvancesAfterOneFullTurn) {
    const float rate = static_cast<float>(engine::degree * 0.8);
    const int ticks = ticksToAdvance(0.5f, rate);
    EXPECT_NEAR(ticks * rate, engine::twoPi, 2 * rate);
    EXPECT_FALSE(stepper.lastWasUser);
    EXPECT_EQ(view().turnCounter().crossingCount(), 0);
    EXPECT_TRUE(view().autoTourWatcher()->isEnabled());
}

TEST_F(AutoTour, AdvancesTurningTheOtherWay) {
    const float rate = static_cast<float>(-engine::degree * 1.6);
    const int ticks = ticksToAdvance(-1.0f, rate);
    EXPECT_NEAR(ticks * -rate, engine::twoPi, 2 * -rate);
}

TEST_F(AutoTour, AdvancesFromNearPlusAndMinusPi) {
    const float rate = static_cast<float>(engine::degree * 0.8);
    const int fromPlus = ticksToAdvance(engine::pi - 0.005f, rate);
    EXPECT_GT(fromPlus, 0);
    EXPECT_NEAR(fromPlus * rate, engine::twoPi, 0.2f);
    stepper.advances = 0;
    view().stopMotion();
    const int fromMinus = ticksToAdvance(-engine::pi + 0.005f, -rate);
    EXPECT_GT(fromMinus, 0);
    EXPECT_NEAR(fromMinus * rate, engine::twoPi, 0.2f);
}

// A pause (a note's card over the view) stops the motion timer but keeps
// the rates and the turn counted so far: the tour advances after one full
// turn in all, not a full turn after the pause; a stop forgets the turn.
TEST_F(AutoTour, APauseKeepsTheTurnCountedSoFar) {
    const float rate = static_cast<float>(engine::degree * 0.8);
    view().autoTourWatcher()->setReferenceAngle(0.5f);
    view().setPan(0.5f);
    view().startMotion(rate, 0.0f, 0.0f);
    int ticks = 0;
    for (; ticks * rate < engine::pi; ++ticks) {
        view().timerTick(3);
    }
    view().pauseMotion();
    EXPECT_FALSE(m.host.timerRunning(engine::ViewTimer::motion));
    EXPECT_TRUE(view().motionPaused());
    view().pauseMotion();  // a second pause changes nothing
    view().resumeMotion();
    EXPECT_TRUE(m.host.timerRunning(engine::ViewTimer::motion));
    EXPECT_EQ(view().panSpeed(), rate);
    while (stepper.advances == 0 && ticks < 2000) {
        view().timerTick(3);
        ++ticks;
    }
    EXPECT_NEAR(ticks * rate, engine::twoPi, 2 * rate);

    // Nothing to resume without a motion, nor after a stop.
    view().stopMotion();
    view().pauseMotion();
    EXPECT_FALSE(view().motionPaused());
    view().resumeMotion();
    EXPECT_FALSE(m.host.timerRunning(engine::ViewTimer::motion));
}

TEST_F(AutoTour, DisabledWatcherAndResetsCountNothing) {
    view().autoTourWatcher()->setEnabled(false);
    EXPECT_EQ(ticksToAdvance(0.5f, 0.05f), -1);
    view().autoTourWatcher()->setEnabled(true);
    view().setPan(1.0f);
    view().setPan(-1.0f);
    EXPECT_EQ(view().turnCounter().crossingCount(), 2);
    m.show(panorama);
    EXPECT_EQ(view().turnCounter().crossingCount(), 0);
    EXPECT_EQ(view().turnCounter().lastSide(), 0);
}

}  // namespace

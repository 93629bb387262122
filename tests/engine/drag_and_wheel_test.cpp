#include <gtest/gtest.h>

#include "engine/angles.h"
#include "engine_fixture.h"

namespace {

class ViewInput : public ::testing::Test {
  protected:
    ViewInput() {
        m.view->resize(450, 300);
        m.show(panorama);
        m.view->setView(0.0f, 0.0f, 100 * degree);
        m.view->renderTick();
    }
    PanoramaView& view() { return *m.view; }
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
    EXPECT_FALSE(m.host.timerRunning(ViewTimer::drag));
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
    EXPECT_TRUE(m.host.timerRunning(ViewTimer::motion));
    // Losing it again after the release (the release itself lets it go).
    view().dragBegin(1, 10, 10);
    view().dragEnd();
    view().dragLost();
    EXPECT_FALSE(view().dragging());
    EXPECT_FALSE(m.host.timerRunning(ViewTimer::drag));
}

}  // namespace

// Links in the panorama on a real view window: markers where the projection
// puts them and nowhere else, clicks and drags, the keys, the look from the
// language module.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "engine/angles.h"
#include "engine/link_projection.h"
#include "lang_ids.h"
#include "module_path.h"
#include "viewer/link_overlay.h"
#include "viewer_fixture.h"

namespace {

using namespace test_support;

LPARAM at(std::int32_t x, std::int32_t y) {
    return MAKELPARAM(x, y);
}

// The bounding box of the view pixels that are pure white: the ring of a
// marker (the scenes are one colour each, none of them white).
struct WhiteBox {
    std::int32_t count = 0;
    engine::PixelRect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
};

class ViewerLinksTest : public ViewerTest {
  protected:
    // Scene 1 starts at pan 10.5, tilt -3, field of view 65 (the tour
    // source's); its links are set here as the reader would.
    void openWithLinks(std::vector<package::SceneLink> links, HMODULE module = nullptr,
                       std::int32_t scale = 1) {
        makeTour(3);
        tour_->scene(1)->setLinks(std::move(links));
        openViewer(false);
        viewer_->setLinkLook(module, scale);
        viewer_->start();
        waitForScene();
        settle();
    }

    WhiteBox whitePixels() {
        WhiteBox white;
        const engine::ViewBuffer& buffer = view().viewBuffer();
        for (std::int32_t j = 0; j < buffer.height; ++j) {
            const std::uint8_t* row = buffer.pixels + static_cast<std::size_t>(j) * buffer.stride;
            for (std::int32_t x = 0; x < buffer.width; ++x) {
                if (row[3 * x] == 255 && row[3 * x + 1] == 255 && row[3 * x + 2] == 255) {
                    const std::int32_t y = buffer.height - 1 - j;
                    ++white.count;
                    white.box.left = std::min(white.box.left, x);
                    white.box.top = std::min(white.box.top, y);
                    white.box.right = std::max(white.box.right, x + 1);
                    white.box.bottom = std::max(white.box.bottom, y + 1);
                }
            }
        }
        return white;
    }

    void send(UINT message, WPARAM wParam, LPARAM lParam) {
        SendMessageA(viewer_->viewWindow(), message, wParam, lParam);
    }

    void click(std::int32_t x, std::int32_t y, std::int32_t releaseX, std::int32_t releaseY) {
        send(WM_MOUSEMOVE, 0, at(x, y));
        send(WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
        send(WM_MOUSEMOVE, MK_LBUTTON, at(releaseX, releaseY));
        send(WM_LBUTTONUP, 0, at(releaseX, releaseY));
    }
};

// The marker is centred on the projection and nothing else of it is left
// anywhere, while the view turns by column shifts and by rebuilds.
TEST_F(ViewerLinksTest, MarkerFollowsTheProjectionWithoutTrails) {
    openWithLinks({linkTo(2, 20.0f, 5.0f)});
    for (int step = 0; step < 8; ++step) {
        const auto point = projected(20.0f, 5.0f);
        ASSERT_TRUE(point) << "step " << step;
        const WhiteBox white = whitePixels();
        ASSERT_GT(white.count, 20) << "step " << step;
        // The built-in ring is 24 pixels across, centred on the projection.
        EXPECT_NEAR((white.box.left + white.box.right) / 2.0, point->column(), 1.5) << step;
        EXPECT_NEAR((white.box.top + white.box.bottom) / 2.0, point->row(), 1.5) << step;
        EXPECT_LE(white.box.right - white.box.left, 24) << step;
        if (step % 2 == 0) {
            view().panBy(view().viewPan() + 2.3f * engine::degree);  // a column shift
        } else {
            view().setTiltAndRecompute(view().viewTilt() + engine::degree);
        }
        settle();
    }
    // Turned away, the marker goes entirely.
    view().setView(view().viewPan() + engine::pi, 0.0f, view().viewFov());
    settle();
    EXPECT_FALSE(projected(20.0f, 5.0f));
    EXPECT_EQ(whitePixels().count, 0);
}

TEST_F(ViewerLinksTest, ClickFollowsAtTheLinksViewAndDragsFollowNothing) {
    package::SceneLink withView = linkTo(3, 10.5f, -3.0f);
    withView.hasView = true;
    withView.viewPan = -40.0f;
    withView.viewTilt = 12.0f;
    withView.viewFieldOfView = 80.0f;
    openWithLinks({withView, linkTo(2, 30.0f, -3.0f)});
    const auto centre = projected(10.5f, -3.0f);
    ASSERT_TRUE(centre);
    const std::int32_t x = centre->column();
    const std::int32_t y = centre->row();

    // Away from every marker: nothing.
    click(x, y + 60, x, y + 60);
    // Pressed on the marker, released 4 pixels off: a drag.
    click(x, y, x + viewer::clickSlop, y);
    EXPECT_EQ(viewer_->currentSceneNumber(), 1);
    EXPECT_EQ(recorder_.shown, std::vector<std::int32_t>{1});
    view().setView(10.5f * engine::degree, -3.0f * engine::degree, 65.0f * engine::degree);
    settle();

    // Within 3 pixels: a click, at the link's view.
    click(x, y, x + 3, y - 3);
    waitForScene();
    EXPECT_EQ(viewer_->currentSceneNumber(), 3);
    EXPECT_EQ(recorder_.shown, (std::vector<std::int32_t>{1, 3}));
    EXPECT_NEAR(viewer_->panDegrees(), -40.0f, 1e-3);
    EXPECT_NEAR(viewer_->tiltDegrees(), 12.0f, 1e-3);
    EXPECT_NEAR(viewer_->fovDegrees(), 80.0f, 1e-3);
    // Scene 3 has no links: nothing is drawn over it.
    settle();
    EXPECT_EQ(whitePixels().count, 0);
}

TEST_F(ViewerLinksTest, TabHighlightsInTurnEnterFollowsEscClearsFirst) {
    openWithLinks({linkTo(3, 30.0f, -3.0f), linkTo(2, 0.0f, -3.0f)});
    auto& links = viewer_->renderer()->links();
    send(WM_KEYDOWN, VK_TAB, 0);
    ASSERT_TRUE(links.highlighted());
    EXPECT_EQ(*links.highlighted(), 1u);  // the leftmost first
    send(WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(*links.highlighted(), 0u);
    send(WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(*links.highlighted(), 1u);  // round again

    // Esc takes the highlight and stays in the view; the next goes on.
    send(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(links.highlighted());
    const auto forwardedEscapes = [&] {
        return std::count_if(parent_->forwarded.begin(), parent_->forwarded.end(),
                             [](const ParentWindow::Message& m) {
                                 return m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE;
                             });
    };
    EXPECT_EQ(forwardedEscapes(), 0);
    send(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(forwardedEscapes(), 1);

    // Enter without a highlight follows nothing.
    send(WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(viewer_->currentSceneNumber(), 1);
    send(WM_KEYDOWN, VK_TAB, 0);
    send(WM_KEYDOWN, VK_TAB, 0);
    send(WM_KEYDOWN, VK_RETURN, 0);
    waitForScene();
    EXPECT_EQ(viewer_->currentSceneNumber(), 3);
    // Without a view of its own the target opens at its start view.
    EXPECT_NEAR(viewer_->panDegrees(), tour_->scene(3)->pan(), 1e-3);
    EXPECT_FALSE(links.highlighted());
}

// The hovered marker is drawn highlighted with its label beside it; the
// label never covers the marker, and leaving takes both away.
TEST_F(ViewerLinksTest, HoverHighlightsAndLabelsWithTheModulesMarkers) {
    const platform::UniqueModule module(LoadLibraryA(test_support::modulePath("en").c_str()));
    ASSERT_TRUE(module);
    package::SceneLink labelled = linkTo(2, 10.5f, -3.0f);
    labelled.label = "Into the gallery";
    openWithLinks({labelled}, module.get());
    auto& links = viewer_->renderer()->links();
    const auto point = projected(10.5f, -3.0f);
    ASSERT_TRUE(point);
    const WhiteBox normal = whitePixels();
    send(WM_MOUSEMOVE, 0, at(point->column() + 2, point->row()));
    ASSERT_EQ(links.hovered(), std::optional<std::size_t>{0});
    const WhiteBox hovered = whitePixels();
    // The label's text adds white to the right of the marker only.
    EXPECT_GT(hovered.box.right, normal.box.right + 40);
    EXPECT_GE(hovered.box.left, normal.box.left - 2);  // the highlighted ring is larger
    send(WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(links.hovered());
    const WhiteBox left = whitePixels();
    EXPECT_EQ(left.count, normal.count);
    EXPECT_EQ(left.box.right, normal.box.right);
}

// A view that turns under a resting pointer brings a marker under it and
// takes it away again: the cursor follows at the render tick, without the
// pointer moving.
TEST_F(ViewerLinksTest, CursorFollowsAMarkerTurningUnderARestingPointer) {
    const platform::UniqueModule module(LoadLibraryA(test_support::modulePath("en").c_str()));
    ASSERT_TRUE(module);
    openWithLinks({linkTo(2, 30.5f, -3.0f)}, module.get());
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    const auto centre = projected(10.5f, -3.0f);
    ASSERT_TRUE(centre);
    send(WM_MOUSEMOVE, 0, at(centre->column(), centre->row()));
    ASSERT_FALSE(viewer_->renderer()->links().hovered());
    const auto tickAt = [&](float pan) {
        view().setView(pan * engine::degree, -3.0f * engine::degree, view().viewFov());
        send(WM_TIMER, viewer::Viewer::renderTimerId, 0);
    };
    tickAt(30.5f);
    EXPECT_EQ(viewer_->renderer()->links().hovered(), std::optional<std::size_t>{0});
    EXPECT_NE(GetCursor(), arrow);
    tickAt(10.5f);
    EXPECT_FALSE(viewer_->renderer()->links().hovered());
    EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(ViewerLinksTest, EnlargedMarkerHitsAcrossItsWholeSize) {
    openWithLinks({linkTo(2, 10.5f, -3.0f)}, nullptr, 2);
    const auto point = projected(10.5f, -3.0f);
    ASSERT_TRUE(point);
    const WhiteBox white = whitePixels();
    // Twice the built-in ring's 19 pixels.
    EXPECT_GE(white.box.right - white.box.left, 36);
    EXPECT_LE(white.box.right - white.box.left, 40);
    // 18 pixels from the centre lies on the enlarged marker only.
    click(point->column() + 18, point->row(), point->column() + 18, point->row());
    waitForScene();
    EXPECT_EQ(viewer_->currentSceneNumber(), 2);
}

TEST(ViewFragment, DegreesAsAManifestWritesThem) {
    EXPECT_EQ(viewer::viewFragment(42.5f, 4.0f, 90.0f),
              "\"pan\": 42.5, \"tilt\": 4.0, \"fieldOfView\": 90");
    EXPECT_EQ(viewer::viewFragment(-0.01f, -12.26f, 65.5f),
              "\"pan\": 0.0, \"tilt\": -12.3, \"fieldOfView\": 65.5");
}

}  // namespace

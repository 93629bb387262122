// Link markers in a rendered preview: where the engine places them, in the
// view's own sense of directions, and what of the view they leave alone.
#include "windows_module/link_markers.h"
#include "windows_module/note_marker.h"

#include <gtest/gtest.h>

#include "engine/angles.h"
#include "engine/marker_compositing.h"
#include "engine/memory_view_host.h"
#include "engine/panorama_view.h"

namespace {

constexpr std::uint8_t grey = 128;

// A 5 x 5 red marker whose corners are the transparent key colour.
tourpack::BitmapPixels redMarker() {
    tourpack::BitmapPixels marker;
    marker.width = 5;
    marker.height = 5;
    marker.stride = 16;
    marker.pixels.assign(16 * 5, 0);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) {
            std::uint8_t* pixel = marker.pixels.data() + 16 * y + 3 * x;
            const bool corner = (x == 0 || x == 4) && (y == 0 || y == 4);
            pixel[0] = corner ? 0xFF : 0;
            pixel[1] = 0;
            pixel[2] = 0xFF;
        }
    }
    return marker;
}

class LinkMarkers : public ::testing::Test {
  protected:
    LinkMarkers() : panorama_(static_cast<std::size_t>(platform::dibStride(720)) * 360, grey) {
        view_.resize(480, 360);
        source_ = engine::SourceImage{panorama_.data(), 720, 360, platform::dibStride(720)};
        view_.setImage(&source_);
        const engine::ViewRadians angles = engine::viewRadiansFromDegrees(0.0f, 0.0f, 90.0f);
        view_.setView(angles.pan, angles.tilt, angles.fov);
        view_.renderTick();
    }

    // The view pixel at (x, y) counted from the top-left corner.
    const std::uint8_t* pixel(int x, int y) const {
        const engine::ViewBuffer& buffer = view_.viewBuffer();
        return buffer.pixels + static_cast<std::size_t>(buffer.stride) * (buffer.height - 1 - y) +
               3 * x;
    }
    bool red(int x, int y) const {
        return pixel(x, y)[2] == 0xFF && pixel(x, y)[1] == 0 && pixel(x, y)[0] == 0;
    }
    bool untouched(int x, int y) const {
        return pixel(x, y)[0] == grey && pixel(x, y)[1] == grey && pixel(x, y)[2] == grey;
    }

    int draw(const std::vector<package::SceneLink>& links) {
        return tourpack::drawLinkMarkers(view_.viewBuffer(), view_.warper().shownView(), links,
                                         redMarker());
    }

    static package::SceneLink at(float pan, float tilt) {
        package::SceneLink link;
        link.target = 2;
        link.pan = pan;
        link.tilt = tilt;
        return link;
    }

    std::vector<std::uint8_t> panorama_;
    engine::SourceImage source_;
    engine::MemoryViewHost host_;
    engine::PanoramaView view_{host_};
};

TEST_F(LinkMarkers, LieWhereTheViewShowsTheirDirection) {
    EXPECT_EQ(draw({at(0, 0)}), 1);
    // The view's centre, give or take the half pixel of an even size.
    int redCount = 0;
    int sumX = 0;
    int sumY = 0;
    for (int y = 170; y < 190; ++y) {
        for (int x = 230; x < 250; ++x) {
            if (red(x, y)) {
                ++redCount;
                sumX += x;
                sumY += y;
            }
        }
    }
    EXPECT_EQ(redCount, 21);  // 25 less the four key-coloured corners
    EXPECT_NEAR(sumX / 21.0, 239.5, 1.0);
    EXPECT_NEAR(sumY / 21.0, 179.5, 1.0);
}

TEST_F(LinkMarkers, FollowTheStartViewsSigns) {
    // A positive pan lies to the right, a positive tilt below the horizon.
    ASSERT_EQ(draw({at(30, 10)}), 1);
    const auto point = engine::viewPointOfDegrees(view_.warper().shownView(), 30.0f, 10.0f).value();
    EXPECT_GT(point.column(), 300);
    EXPECT_GT(point.row(), 200);
    EXPECT_TRUE(red(point.column(), point.row()));
    EXPECT_TRUE(untouched(point.column() - 2, point.row() - 2));  // a corner: key colour
    EXPECT_TRUE(untouched(point.column() + 3, point.row()));
    EXPECT_TRUE(untouched(240, 180));
}

TEST_F(LinkMarkers, BehindTheViewerNoneAtTheEdgeClipped) {
    EXPECT_EQ(draw({at(180, 0), at(-120, 0)}), 0);
    for (int y = 0; y < 360; y += 7) {
        for (int x = 0; x < 480; x += 7) {
            ASSERT_TRUE(untouched(x, y)) << x << "," << y;
        }
    }
    // At the right edge of a 90-degree view: the part inside is drawn.
    EXPECT_EQ(draw({at(44.9f, 0)}), 1);
    int redCount = 0;
    for (int y = 170; y < 190; ++y) {
        for (int x = 470; x < 480; ++x) {
            redCount += red(x, y) ? 1 : 0;
        }
    }
    EXPECT_GT(redCount, 0);
    EXPECT_LT(redCount, 21);
}

// A note's marker is a card of its own colour, not a link's ring, laid
// where the view shows the note's direction.
TEST_F(LinkMarkers, NotesGetACardOfTheirOwn) {
    const tourpack::BitmapPixels card = tourpack::noteMarker();
    ASSERT_EQ(card.width, engine::builtInMarkerSize);
    EXPECT_NE(card.pixels, engine::builtInMarkerPixels(false));
    package::SceneNote note;
    note.pan = 30;
    note.tilt = 10;
    package::SceneNote behind;
    behind.pan = 180;
    EXPECT_EQ(tourpack::drawNoteMarkers(view_.viewBuffer(), view_.warper().shownView(),
                                        {note, behind}, card),
              1);
    const auto point = engine::viewPointOfDegrees(view_.warper().shownView(), 30.0f, 10.0f).value();
    int cardColoured = 0;
    for (int y = point.row() - 12; y < point.row() + 12; ++y) {
        for (int x = point.column() - 12; x < point.column() + 12; ++x) {
            const std::uint8_t* p = pixel(x, y);
            cardColoured += p[0] == 64 && p[1] == 200 && p[2] == 250 ? 1 : 0;
        }
    }
    EXPECT_GT(cardColoured, 150);
    // Its rounded corners and everything beyond it are left alone.
    EXPECT_TRUE(untouched(point.column() - 12, point.row() - 12));
    EXPECT_TRUE(untouched(point.column() + 11, point.row() + 11));
    EXPECT_TRUE(untouched(point.column() + 14, point.row()));
    EXPECT_TRUE(untouched(240, 180));
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "engine/angles.h"
#include "engine/link_projection.h"
#include "engine/marker_compositing.h"
#include "engine_fixture.h"

namespace {

// The direction at the centre of panorama pixel (column, row), in the warp's
// angles.
struct Direction {
    float longitude;
    float latitude;
};

Direction centreOfPanoramaPixel(const engine::Projection& p, std::int32_t column,
                                std::int32_t row) {
    return Direction{
        static_cast<float>((column + 0.5 - p.centreColumn) /
                           static_cast<double>(p.columnsPerRadian)),
        static_cast<float>((row + 0.5 - p.centreRow) / static_cast<double>(p.rowsPerRadian))};
}

// A panorama pixel as a dot: the view pixels whose map entries name it, in
// screen coordinates (y down).
struct Dot {
    std::vector<std::pair<std::int32_t, std::int32_t>> pixels;
    bool touchesEdge = false;
};

Dot findDot(const engine::PanoramaView& view, std::int32_t column, std::int32_t row) {
    Dot dot;
    const std::int32_t width = view.viewWidth();
    const std::int32_t height = view.viewHeight();
    const std::int32_t* columns = view.warper().columnMap();
    const std::int32_t* rows = view.warper().rowMap();
    for (std::int32_t j = 0; j < height; ++j) {
        for (std::int32_t i = 0; i < width; ++i) {
            const std::size_t at = static_cast<std::size_t>(j) * width + i;
            if (columns[at] == column && rows[at] == row) {
                const std::int32_t y = height - 1 - j;
                dot.pixels.emplace_back(i, y);
                dot.touchesEdge |= i == 0 || i == width - 1 || y == 0 || y == height - 1;
            }
        }
    }
    return dot;
}

// The projection lies on the dot or next to it (Chebyshev distance 1).
::testing::AssertionResult withinOnePixel(const engine::ViewPoint& point, const Dot& dot) {
    std::int32_t nearest = 1 << 30;
    for (const auto& [x, y] : dot.pixels) {
        nearest =
            std::min(nearest, std::max(std::abs(x - point.column()), std::abs(y - point.row())));
    }
    if (nearest <= 1) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "projection (" << point.x << ", " << point.y << ") is " << nearest
           << " pixels from the dot's nearest pixel (" << dot.pixels.size() << " pixels)";
}

// Whether the view resolves the panorama around view pixel (i, j) of memory:
// its neighbours show the same or adjacent panorama pixels. Where a view
// pixel spans several panorama pixels (wide views, near the poles) a dot is
// sampled here and there, and a distance in view pixels says nothing.
bool resolvedAround(const engine::PanoramaView& view, std::int32_t i, std::int32_t j) {
    const std::int32_t width = view.viewWidth();
    const std::int32_t panoramaWidth = view.warper().shownView().panoramaWidth;
    const std::size_t at = static_cast<std::size_t>(j) * width + i;
    const std::int32_t* columns = view.warper().columnMap();
    const std::int32_t* rows = view.warper().rowMap();
    for (std::int32_t dj = -1; dj <= 1; ++dj) {
        for (std::int32_t di = -1; di <= 1; ++di) {
            const std::int32_t ni = i + di;
            const std::int32_t nj = j + dj;
            if (ni < 0 || nj < 0 || ni >= width || nj >= view.viewHeight()) {
                continue;
            }
            const std::size_t other = static_cast<std::size_t>(nj) * width + ni;
            const std::int32_t columnStep = std::abs(columns[other] - columns[at]);
            if (std::min(columnStep, panoramaWidth - columnStep) > 1 ||
                std::abs(rows[other] - rows[at]) > 1) {
                return false;
            }
        }
    }
    return true;
}

// Picks view pixels at random, takes the panorama pixel each one shows as the
// dot, and requires the projection of that pixel's centre to land on the dot
// where the view resolves it. Returns how many dots were checked.
int checkRandomDots(const engine::PanoramaView& view, std::mt19937& random, int count) {
    const engine::ShownView& shown = view.warper().shownView();
    std::uniform_int_distribution<std::int32_t> xs(0, view.viewWidth() - 1);
    std::uniform_int_distribution<std::int32_t> ys(0, view.viewHeight() - 1);
    int checked = 0;
    for (int n = 0; n < count; ++n) {
        const std::int32_t i = xs(random);
        const std::int32_t j = ys(random);
        const std::size_t at = static_cast<std::size_t>(j) * view.viewWidth() + i;
        if (!resolvedAround(view, i, j)) {
            continue;
        }
        const std::int32_t column = view.warper().columnMap()[at];
        const std::int32_t row = view.warper().rowMap()[at];
        const Direction direction = centreOfPanoramaPixel(shown.projection, column, row);
        const Dot dot = findDot(view, column, row);
        const auto point =
            engine::viewPointOfDirection(shown, direction.longitude, direction.latitude);
        if (!point) {
            // Only a dot cut by the view's edge may have its centre outside.
            EXPECT_TRUE(dot.touchesEdge) << "no projection for panorama pixel " << column << ","
                                         << row << " shown at " << i << "," << j;
            continue;
        }
        EXPECT_TRUE(withinOnePixel(*point, dot))
            << "panorama pixel " << column << "," << row << " pan " << view.viewPan() << " tilt "
            << view.viewTilt() << " fov " << view.viewFov();
        ++checked;
    }
    return checked;
}

struct ViewCase {
    std::int32_t panoramaWidth;
    std::int32_t panoramaHeight;
    std::int32_t viewWidth;
    std::int32_t viewHeight;
};

class LinkProjection : public ::testing::TestWithParam<ViewCase> {};

TEST_P(LinkProjection, LandsOnTheWarpedDotForRandomViews) {
    const ViewCase c = GetParam();
    const ReferencePanorama panorama = randomPanorama(c.panoramaWidth, c.panoramaHeight, 5);
    MemoryView m;
    m.view->setThreads(1);
    m.view->resize(c.viewWidth, c.viewHeight);
    m.show(panorama);
    std::mt19937 random(static_cast<std::uint32_t>(c.viewWidth * 31 + c.panoramaWidth));
    std::uniform_real_distribution<float> pans(-engine::pi, engine::pi);
    std::uniform_real_distribution<float> tilts(-89.0f, 89.0f);
    std::uniform_real_distribution<float> fovs(12.0f, 165.0f);
    // Level, the extreme tilts, the narrowest and widest views and pans on
    // both sides of the seam come first; then views at random.
    const float fixed[][3] = {{0.0f, 0.0f, 90.0f},       {179.9f, 89.0f, 12.0f},
                              {-179.9f, -89.0f, 165.0f}, {180.0f, 45.0f, 165.0f},
                              {-180.0f, -30.0f, 12.0f},  {0.5f, 89.0f, 165.0f}};
    int checked = 0;
    for (int n = 0; n < 30; ++n) {
        const bool given = n < static_cast<int>(std::size(fixed));
        const float pan = given ? fixed[n][0] * engine::degree : pans(random);
        const float tilt = (given ? fixed[n][1] : tilts(random)) * engine::degree;
        const float fov = (given ? fixed[n][2] : fovs(random)) * engine::degree;
        m.view->setView(pan, tilt, fov);
        m.view->renderTick();
        checked += checkRandomDots(*m.view, random, 12);
    }
    EXPECT_GT(checked, 150);
}

// A view moved by column shifts shows the last rebuild moved by whole columns:
// the projection follows the picture, across the seam too.
TEST_P(LinkProjection, FollowsColumnShiftsAcrossTheSeam) {
    const ViewCase c = GetParam();
    const ReferencePanorama panorama = randomPanorama(c.panoramaWidth, c.panoramaHeight, 9);
    MemoryView m;
    m.view->setThreads(1);
    m.view->resize(c.viewWidth, c.viewHeight);
    m.show(panorama);
    std::mt19937 random(17);
    m.view->setView(170.0f * engine::degree, 20.0f * engine::degree, 70.0f * engine::degree);
    m.view->renderTick();
    int checked = 0;
    for (int step = 0; step < 12; ++step) {
        // Steps of odd sizes leave fractions of columns behind, crossing the
        // seam at 180 degrees and back.
        const float delta = (step < 6 ? 3.7f : -4.3f) * engine::degree;
        m.view->panBy(m.view->viewPan() + delta);
        m.view->renderTick();
        ASSERT_EQ(m.view->recomputePending(), 0);
        checked += checkRandomDots(*m.view, random, 10);
    }
    EXPECT_NE(m.view->warper().shownView().shiftedColumns, 0);
    EXPECT_GT(checked, 100);
}

INSTANTIATE_TEST_SUITE_P(Sizes, LinkProjection,
                         ::testing::Values(ViewCase{1024, 512, 640, 480},
                                           ViewCase{1001, 499, 641, 481},
                                           ViewCase{360, 180, 400, 300}));

TEST(LinkProjectionLimits, BehindTheViewerOrOffTheViewGivesNothing) {
    const ReferencePanorama panorama = randomPanorama(720, 360, 3);
    MemoryView m;
    m.view->resize(200, 100);
    m.show(panorama);
    m.view->setView(30.0f * engine::degree, 0.0f, 90.0f * engine::degree);
    m.view->renderTick();
    const engine::ShownView& shown = m.view->warper().shownView();
    ASSERT_TRUE(shown.usable());
    const auto centre = engine::viewPointOfDegrees(shown, 30.0f, 0.0f);
    ASSERT_TRUE(centre);
    EXPECT_NEAR(centre->x, 99.5f, 1.0f);
    EXPECT_NEAR(centre->y, 49.5f, 1.0f);
    // Degrees with a scene's signs: a positive tilt lies below the centre,
    // a larger pan to the right.
    const auto below = engine::viewPointOfDegrees(shown, 30.0f, 10.0f);
    const auto right = engine::viewPointOfDegrees(shown, 50.0f, 0.0f);
    ASSERT_TRUE(below && right);
    EXPECT_GT(below->y, centre->y + 5.0f);
    EXPECT_GT(right->x, centre->x + 5.0f);
    EXPECT_EQ(engine::viewPointOfDegrees(shown, 30.0f + 360.0f, 0.0f)->column(), centre->column());
    EXPECT_FALSE(engine::viewPointOfDegrees(shown, -150.0f, 0.0f));  // behind
    EXPECT_FALSE(engine::viewPointOfDegrees(shown, 30.0f + 89.0f, 0.0f));
    EXPECT_FALSE(engine::viewPointOfDegrees(shown, 30.0f, 60.0f));  // below the view
    EXPECT_FALSE(engine::viewPointOfDegrees(shown, NAN, 0.0f));
    EXPECT_FALSE(engine::viewPointOfDegrees(engine::ShownView{}, 0.0f, 0.0f));
}

// ---- markers laid over the view

struct Canvas {
    std::vector<std::uint8_t> pixels;
    engine::ViewBuffer view;

    Canvas(std::int32_t width, std::int32_t height) {
        const std::int32_t stride = platform::dibStride(width);
        pixels.assign(static_cast<std::size_t>(stride) * height, 0);
        for (std::size_t k = 0; k < pixels.size(); ++k) {
            pixels[k] = static_cast<std::uint8_t>(k * 7 + 1);
        }
        view = engine::ViewBuffer{pixels.data(), width, height, stride};
    }
    // Blue byte of the pixel x, y counted from the top.
    std::uint8_t blueAt(std::int32_t x, std::int32_t y) const {
        return pixels[static_cast<std::size_t>(view.height - 1 - y) * view.stride + 3 * x];
    }
};

// A 3 x 2 picture: top row blue 10, key, 30; bottom row 40, 50, 60.
struct TinyMarker {
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(2 * 12, 0);
    engine::MarkerPicture picture;

    TinyMarker() {
        const std::uint8_t bottom[3] = {40, 50, 60};
        const std::uint8_t top[3] = {10, 0xFF, 30};
        for (int x = 0; x < 3; ++x) {
            pixels[3 * x] = bottom[x];
            pixels[12 + 3 * x] = top[x];
        }
        pixels[12 + 3 + 2] = 0xFF;  // the key colour, magenta
        picture = engine::MarkerPicture{{pixels.data(), 3, 2, 12}};
    }
};

TEST(MarkerCompositing, CentredEnlargedKeyedAndClipped) {
    Canvas canvas(16, 10);
    const std::vector<std::uint8_t> before = canvas.pixels;
    const TinyMarker marker;
    const engine::PixelRect drawn = engine::compositeMarker(canvas.view, marker.picture, 5, 4, 2);
    EXPECT_EQ(drawn.left, 2);
    EXPECT_EQ(drawn.top, 2);
    EXPECT_EQ(drawn.right, 8);
    EXPECT_EQ(drawn.bottom, 6);
    // Each picture pixel a 2 x 2 block; the key leaves the view's pixel.
    EXPECT_EQ(canvas.blueAt(2, 2), 10);
    EXPECT_EQ(canvas.blueAt(3, 3), 10);
    EXPECT_EQ(canvas.blueAt(6, 3), 30);
    EXPECT_EQ(canvas.blueAt(4, 4), 50);
    EXPECT_EQ(canvas.blueAt(7, 5), 60);
    const std::size_t keyed =
        static_cast<std::size_t>(canvas.view.height - 1 - 2) * canvas.view.stride + 3 * 4;
    EXPECT_EQ(canvas.pixels[keyed], before[keyed]);
    EXPECT_EQ(canvas.blueAt(8, 2), before[static_cast<std::size_t>(7) * canvas.view.stride + 24]);

    // Cut by the corner: only what lies inside is written.
    Canvas corner(16, 10);
    const engine::PixelRect clipped = engine::compositeMarker(corner.view, marker.picture, 0, 9, 3);
    EXPECT_EQ(clipped.left, 0);
    EXPECT_EQ(clipped.top, 6);
    EXPECT_EQ(clipped.right, 5);
    EXPECT_EQ(clipped.bottom, 10);
    EXPECT_EQ(corner.blueAt(0, 9), 50);  // the bottom row's middle pixel
    EXPECT_TRUE(engine::compositeMarker(corner.view, marker.picture, 40, 40, 1).empty());
}

TEST(MarkerCompositing, CoveredPixelsComeBack) {
    Canvas canvas(20, 12);
    const std::vector<std::uint8_t> before = canvas.pixels;
    const TinyMarker marker;
    engine::CoveredPixels covered;
    for (const auto& [x, y] : {std::pair{3, 3}, std::pair{4, 4}, std::pair{19, 0}}) {
        covered.keep(canvas.view, engine::markerRect(marker.picture, x, y, 2));
        engine::compositeMarker(canvas.view, marker.picture, x, y, 2);
    }
    EXPECT_NE(canvas.pixels, before);
    covered.restore(canvas.view);
    EXPECT_EQ(canvas.pixels, before);
    EXPECT_TRUE(covered.empty());
}

}  // namespace

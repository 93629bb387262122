// Smooth sampling: the engine's views, pyramids and pan shifts against the
// step-by-step reference, on one thread and several, and the properties the
// blend must have at the seam, the poles and where levels change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/angles.h"
#include "engine/processor.h"
#include "engine/smooth_sampler.h"
#include "engine/source_pyramid.h"
#include "engine_fixture.h"
#include "smooth_reference.h"

namespace {

using engine::degree;

engine::SourceImage imageOf(const ReferencePanorama& panorama) {
    return engine::SourceImage{panorama.pixels.data(), panorama.width, panorama.height,
                               panorama.stride};
}

// Fine noise with a few lines of one pixel, so that a wrong level, a wrong
// tap or a shifted position changes bytes.
ReferencePanorama detailedPanorama(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    ReferencePanorama panorama = randomPanorama(width, height, seed);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; x += 7) {
            std::memset(&panorama.pixels[static_cast<std::size_t>(y) * panorama.stride + 3 * x],
                        255, 3);
        }
    }
    return panorama;
}

ReferencePanorama constantPanorama(std::int32_t width, std::int32_t height) {
    ReferencePanorama panorama = randomPanorama(width, height, 1);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* pixel =
                &panorama.pixels[static_cast<std::size_t>(y) * panorama.stride + 3 * x];
            pixel[0] = 17;
            pixel[1] = 130;
            pixel[2] = 244;
        }
    }
    return panorama;
}

struct SmoothView : MemoryView {
    std::unique_ptr<engine::SourcePyramid> pyramid;

    SmoothView(std::int32_t width, std::int32_t height, std::int32_t threads) {
        view->setThreads(threads);
        view->setSmallestBand(0);  // bands even for small views
        EXPECT_TRUE(view->setSampling(engine::Sampling::smooth));
        view->resize(width, height);
    }
    void showWithPyramid(const ReferencePanorama& panorama, bool withPyramid) {
        show(panorama);
        if (withPyramid) {
            pyramid = engine::SourcePyramid::build(imageOf(panorama), 2);
            ASSERT_NE(pyramid, nullptr);
            view->setPyramid(pyramid.get());
        }
    }
    void look(float pan, float tilt, float fov) {
        view->setView(pan, tilt, fov);
        view->renderTick();
    }
    ::testing::AssertionResult matchesSmooth(const SmoothReferenceView& expected) const {
        ::testing::AssertionResult same = matches(expected);
        if (!same) {
            return same;
        }
        const std::uint32_t* details = view->warper().detailMap();
        for (std::size_t k = 0; k < expected.details.size(); ++k) {
            if (details[k] != expected.details[k]) {
                return ::testing::AssertionFailure()
                       << "detail " << k << " (row " << k / expected.width << ", column "
                       << k % expected.width << "): engine " << details[k] << " reference "
                       << expected.details[k];
            }
        }
        return ::testing::AssertionSuccess();
    }
};

struct Look {
    float pan;
    float tilt;
    float fov;
};

// Level and tilted views, shrinking and enlarging, rows behind the viewer
// (steep tilts), an odd view width, with and without the pyramid.
TEST(SmoothWarp, EqualsTheReferenceOnOneAndSeveralThreads) {
    const ReferencePanorama panorama = detailedPanorama(1202, 601, 5);
    const std::vector<ReferencePanorama> levels = referencePyramid(panorama);
    const Look looks[] = {{0.0f, 0.0f, 90 * degree},
                          {1.3f, -30 * degree, 100 * degree},
                          {-2.9f, 80 * degree, 160 * degree},
                          {3.1f, 10 * degree, 15 * degree},
                          {0.4f, -89 * degree, 120 * degree}};
    for (const bool withPyramid : {false, true}) {
        for (const std::int32_t threads : {1, 3}) {
            // The processor's wide steps on one thread, the SSE2 steps on three.
            engine::allowWideSteps(threads == 1);
            for (const std::int32_t width : {161, 200}) {
                SmoothView engineView(width, 120, threads);
                engineView.showWithPyramid(panorama, withPyramid);
                for (const Look& look : looks) {
                    SCOPED_TRACE(::testing::Message() << "pyramid " << withPyramid << ", threads "
                                                      << threads << ", width " << width << ", pan "
                                                      << look.pan << ", tilt " << look.tilt);
                    engineView.look(look.pan, look.tilt, look.fov);
                    SmoothReferenceView expected(width, 120);
                    smoothReferenceWarp(panorama,
                                        withPyramid ? levels : std::vector<ReferencePanorama>{},
                                        expected, engineView.view->viewFov(),
                                        engineView.view->viewPan(), engineView.view->viewTilt());
                    EXPECT_TRUE(engineView.matchesSmooth(expected));
                    // Pans after it move whole columns and read every pixel again.
                    for (const float delta : {0.37f, -1.1f}) {
                        engineView.view->shiftColumns(delta);
                        smoothReferenceShift(
                            panorama, withPyramid ? levels : std::vector<ReferencePanorama>{},
                            expected, delta);
                        EXPECT_TRUE(engineView.matchesSmooth(expected));
                    }
                }
            }
        }
    }
    engine::allowWideSteps(true);
}

// A view large enough that the rebuild codes the columns (and their
// fractions) of the rows facing forward once, tilted up and down so that
// some rows face backward, and level so that mirrored rows reuse codes.
TEST(SmoothWarp, LargeViewsEqualTheReferenceOnBothStepSets) {
    const ReferencePanorama panorama = detailedPanorama(2400, 1200, 13);
    const std::vector<ReferencePanorama> levels = referencePyramid(panorama);
    const Look looks[] = {{0.9f, 25 * degree, 100 * degree},
                          {-2.2f, -70 * degree, 140 * degree},
                          {2.6f, 0.0f, 60 * degree}};
    for (const bool wide : {true, false}) {
        engine::allowWideSteps(wide);
        SmoothView engineView(560, 300, 2);
        engineView.showWithPyramid(panorama, true);
        for (const Look& look : looks) {
            SCOPED_TRACE(::testing::Message() << "wide " << wide << ", tilt " << look.tilt);
            engineView.look(look.pan, look.tilt, look.fov);
            SmoothReferenceView expected(560, 300);
            smoothReferenceWarp(panorama, levels, expected, engineView.view->viewFov(),
                                engineView.view->viewPan(), engineView.view->viewTilt());
            EXPECT_TRUE(engineView.matchesSmooth(expected));
            engineView.view->shiftColumns(0.61f);
            smoothReferenceShift(panorama, levels, expected, 0.61f);
            EXPECT_TRUE(engineView.matchesSmooth(expected));
        }
    }
    engine::allowWideSteps(true);
}

// The maps of the widest panoramas the engine takes stay inside them; a
// short picture keeps the test's memory small, the columns are as wide.
TEST(SmoothWarp, WidestPanoramaEqualsTheReference) {
    for (const std::int32_t width : {16384, 16383}) {
        const ReferencePanorama panorama = detailedPanorama(width, 40, 9);
        const std::vector<ReferencePanorama> levels = referencePyramid(panorama);
        SmoothView engineView(96, 64, 2);
        engineView.showWithPyramid(panorama, true);
        engineView.look(3.0f, 20 * degree, 150 * degree);
        SmoothReferenceView expected(96, 64);
        smoothReferenceWarp(panorama, levels, expected, engineView.view->viewFov(),
                            engineView.view->viewPan(), engineView.view->viewTilt());
        EXPECT_TRUE(engineView.matchesSmooth(expected)) << "width " << width;
        const std::uint32_t* details = engineView.view->warper().detailMap();
        EXPECT_GT(*std::max_element(details, details + 96 * 64) >> 16, 3u)
            << "a shrunk view reads the levels";
    }
}

TEST(SmoothWarp, NearestStaysTheWarpItWasAfterSmoothViews) {
    const ReferencePanorama panorama = detailedPanorama(800, 400, 3);
    SmoothView engineView(150, 100, 2);
    engineView.showWithPyramid(panorama, true);
    engineView.look(0.7f, 20 * degree, 90 * degree);
    ASSERT_TRUE(engineView.view->setSampling(engine::Sampling::nearest));
    engineView.view->renderTick();
    EXPECT_EQ(engineView.view->warper().detailMap(), nullptr);
    ReferenceView expected(150, 100);
    ReferenceWarp::shared().warp(panorama, expected, engineView.view->viewFov(),
                                 engineView.view->viewPan(), engineView.view->viewTilt());
    EXPECT_TRUE(engineView.matches(expected));
}

TEST(SmoothSampler, SeamBlendsTheLastColumnWithTheFirstAndPolesStayInside) {
    // Rows packed without padding: a read past the last pixel leaves the buffer.
    ReferencePanorama panorama;
    panorama.width = 4;
    panorama.height = 3;
    panorama.stride = 12;
    panorama.pixels.assign(36, 0);
    for (std::int32_t y = 0; y < 3; ++y) {
        std::memset(&panorama.pixels[static_cast<std::size_t>(y) * 12], 200, 3);  // first column
        std::memset(&panorama.pixels[static_cast<std::size_t>(y) * 12 + 9], 100, 3);  // last column
    }
    panorama.pixels.shrink_to_fit();
    const engine::SmoothSampler sampler(imageOf(panorama), nullptr);
    const std::int32_t columns[] = {3, 3, 0, 3};
    const std::int32_t rows[] = {1, 2, 2, 0};
    const std::uint32_t details[] = {engine::packDetail(128, 0, 0), engine::packDetail(64, 255, 0),
                                     engine::packDetail(0, 200, 0), engine::packDetail(0, 0, 0)};
    std::uint8_t out[12];
    sampler.sampleRow(columns, rows, details, out, 4);
    EXPECT_EQ(out[0], 150);  // halfway from the last column to the first
    EXPECT_EQ(out[3], 125);  // a quarter of the way, on the last row: nothing below it
    EXPECT_EQ(out[6], 200);  // the first column of the last row, repeated downward
    EXPECT_EQ(out[9], 100);  // fraction 0: the pixel itself
}

TEST(SmoothWarp, ConstantPanoramaGivesAConstantViewOnEveryLevelAndTilt) {
    for (const std::int32_t width : {1000, 999}) {
        const ReferencePanorama panorama = constantPanorama(width, width / 2 + 1);
        SmoothView engineView(240, 180, 2);
        engineView.showWithPyramid(panorama, true);
        std::uint32_t deepest = 0;
        for (const float tilt : {0.0f, -45 * degree, 85 * degree, -90 * degree}) {
            for (const float fov : {20 * degree, 165 * degree}) {
                engineView.look(0.3f, tilt, fov);
                const engine::ViewBuffer& buffer = engineView.view->viewBuffer();
                for (std::int32_t j = 0; j < buffer.height; ++j) {
                    for (std::int32_t i = 0; i < buffer.width; ++i) {
                        const std::uint8_t* pixel =
                            buffer.pixels + static_cast<std::size_t>(j) * buffer.stride + 3 * i;
                        ASSERT_TRUE(pixel[0] == 17 && pixel[1] == 130 && pixel[2] == 244)
                            << "width " << width << " tilt " << tilt << " pixel " << i << "," << j;
                    }
                }
                const std::uint32_t* details = engineView.view->warper().detailMap();
                deepest = std::max(deepest, *std::max_element(details, details + 240 * 180) >> 16);
            }
        }
        EXPECT_GE(deepest, 4u) << "the views read several levels";
    }
}

TEST(SmoothWarp, PanByWholeColumnsShiftsTheViewExactly) {
    // Rolling the panorama by k columns moves every level by k / 2^level
    // columns when k is a multiple of every level's scale.
    const std::int32_t k = 64;
    const ReferencePanorama panorama = detailedPanorama(1024, 512, 11);
    ReferencePanorama rolled = panorama;
    for (std::int32_t y = 0; y < panorama.height; ++y) {
        for (std::int32_t x = 0; x < panorama.width; ++x) {
            std::memcpy(&rolled.pixels[static_cast<std::size_t>(y) * rolled.stride + 3 * x],
                        &panorama.pixels[static_cast<std::size_t>(y) * panorama.stride +
                                         3 * ((x + k) % panorama.width)],
                        3);
        }
    }
    SmoothView shifted(200, 150, 2);
    shifted.showWithPyramid(panorama, true);
    shifted.look(0.5f, -25 * degree, 120 * degree);
    // Half a column more than k, so that truncation takes exactly k.
    shifted.view->shiftColumns((k + 0.5f) * engine::twoPi / panorama.width);
    ASSERT_EQ(shifted.view->warper().shownView().shiftedColumns, k);
    SmoothView fresh(200, 150, 2);
    fresh.showWithPyramid(rolled, true);
    fresh.look(0.5f, -25 * degree, 120 * degree);
    const engine::ViewBuffer& a = shifted.view->viewBuffer();
    const engine::ViewBuffer& b = fresh.view->viewBuffer();
    EXPECT_EQ(std::memcmp(a.pixels, b.pixels, static_cast<std::size_t>(a.stride) * a.height), 0);
}

TEST(SourcePyramid, LevelsAreTheMeansTheyClaimOnEveryThreadCount) {
    for (const auto& size : {std::pair{64, 32}, std::pair{37, 19}, std::pair{50, 7}}) {
        const ReferencePanorama panorama = randomPanorama(size.first, size.second, 21, 3);
        const std::vector<ReferencePanorama> expected = referencePyramid(panorama);
        for (const std::int32_t threads : {1, 4}) {
            // The processor's wide steps on one thread, the SSE2 steps on four.
            engine::allowWideSteps(threads == 1);
            const auto pyramid = engine::SourcePyramid::build(imageOf(panorama), threads);
            ASSERT_NE(pyramid, nullptr);
            ASSERT_EQ(pyramid->levelCount(), static_cast<std::int32_t>(expected.size()));
            EXPECT_EQ(pyramid->byteSize(),
                      engine::SourcePyramid::bytesFor(size.first, size.second));
            for (std::int32_t level = 1; level <= pyramid->levelCount(); ++level) {
                const engine::SourceImage& got = pyramid->level(level);
                const ReferencePanorama& want = expected[static_cast<std::size_t>(level - 1)];
                ASSERT_EQ(got.width, want.width);
                ASSERT_EQ(got.height, want.height);
                for (std::int32_t y = 0; y < got.height; ++y) {
                    EXPECT_EQ(std::memcmp(got.pixels + static_cast<std::size_t>(y) * got.stride,
                                          &want.pixels[static_cast<std::size_t>(y) * want.stride],
                                          3 * static_cast<std::size_t>(got.width)),
                              0)
                        << size.first << "x" << size.second << " level " << level << " row " << y;
                }
            }
        }
    }
    engine::allowWideSteps(true);
    // An even level is the plain 2 x 2 mean, rounded half up.
    const ReferencePanorama small = randomPanorama(4, 2, 8);
    const auto pyramid = engine::SourcePyramid::build(imageOf(small), 1);
    const std::uint8_t* p = small.pixels.data();
    const std::uint8_t* q = p + small.stride;
    EXPECT_EQ(pyramid->level(1).pixels[4],
              (p[7] + p[10] + q[7] + q[10] + 2) / 4);  // pixel 1, green
}

}  // namespace

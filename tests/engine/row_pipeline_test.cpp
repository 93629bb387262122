// The fast paths of the full rebuild against the reference where they have
// edges of their own: ratios on whole table indices and on 1 (where a lookup
// by product must give way to the exact quotient), rows with zero or negative
// depth, the coded columns of large tilted views, the word-sized pixel copies
// at the end of the source and the streamed writes at any alignment. Where
// the processor has the wide (AVX2) steps, the edges are run through both
// them and the SSE2 steps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/angles.h"
#include "platform/band_pool.h"
#include "engine/panorama_warper.h"
#include "engine/pixel_gather.h"
#include "engine/processor.h"
#include "engine/row_solver.h"
#include "engine_fixture.h"

namespace {

engine::Projection projectionOf(const ReferenceConstants& c) {
    engine::Projection p;
    p.centreColumn = c.cx;
    p.columnsPerRadian = c.kx;
    p.centreRow = c.cy;
    p.rowsPerRadian = c.ky;
    p.halfWidth = c.x0;
    p.halfHeight = c.y0;
    p.halfColumns = c.halfColumns;
    p.focalLength = c.F;
    p.mirrorSum = c.M;
    p.cosTilt = c.cosTilt;
    p.sinTilt = c.sinTilt;
    return p;
}

// A scaled table ratio that is a whole number: the index of the product and
// of the quotient could differ there, so the engine must use the quotient.
bool onWholeIndex(double ratio) {
    const double magnitude = std::fabs(ratio);
    const double scaled = magnitude <= 1.0 ? 100000.0 * magnitude : 100000.0 / magnitude;
    return std::isfinite(scaled) && scaled == std::floor(scaled);
}

// Rebuilds the view with hand-set constants in the engine and the reference.
::testing::AssertionResult warpsAlike(const ReferencePanorama& panorama, std::int32_t width,
                                      std::int32_t height, const ReferenceConstants& c, float pan) {
    ReferenceView expected(width, height);
    ReferenceWarp::shared().warp(panorama, expected, c, pan);
    const auto table = engine::ArctangentTable::create();
    engine::PanoramaWarper warper;
    if (!warper.allocateMaps(width, height)) {
        return ::testing::AssertionFailure() << "no maps";
    }
    std::vector<std::uint8_t> pixels(expected.pixels.size(), 0);
    const engine::ViewBuffer view{pixels.data(), width, height, expected.stride};
    const engine::SourceImage source{panorama.pixels.data(), panorama.width, panorama.height,
                                     panorama.stride};
    warper.warp(*table, source, view, projectionOf(c), pan);
    const std::size_t count = static_cast<std::size_t>(width) * height;
    for (std::size_t k = 0; k < count; ++k) {
        if (warper.columnMap()[k] != expected.columns[k] ||
            warper.rowMap()[k] != expected.rows[k]) {
            return ::testing::AssertionFailure()
                   << "entry " << k << " (row " << k / width << ", column " << k % width
                   << "): engine " << warper.columnMap()[k] << "," << warper.rowMap()[k]
                   << " reference " << expected.columns[k] << "," << expected.rows[k];
        }
    }
    if (pixels != expected.pixels) {
        return ::testing::AssertionFailure() << "pixels differ";
    }
    return ::testing::AssertionSuccess();
}

enum class StepSet { wide, sse2 };

// Rebuilds take the given steps for the life of this object.
class StepSetInUse {
  public:
    explicit StepSetInUse(StepSet steps) { engine::allowWideSteps(steps == StepSet::wide); }
    ~StepSetInUse() { engine::allowWideSteps(true); }
    StepSetInUse(const StepSetInUse&) = delete;
    StepSetInUse& operator=(const StepSetInUse&) = delete;
};

class CraftedProjections : public ::testing::TestWithParam<StepSet> {
  protected:
    void SetUp() override {
        if (GetParam() == StepSet::wide && !engine::wideStepsEnabled()) {
            GTEST_SKIP() << "this processor has no wide steps";
        }
        steps_ = std::make_unique<StepSetInUse>(GetParam());
    }
    void TearDown() override { steps_.reset(); }

    // Whole-numbered offsets X = i - x0 and a focal length of 100 put many
    // rays on ratios such as 1/2, 3/4 and exactly 1.
    ReferenceConstants constants(std::int32_t width, std::int32_t height, float sinTilt, float pan,
                                 float focalLength = 100.0f) const {
        return constantsFor(panorama, width, height, sinTilt, pan, focalLength);
    }
    static ReferenceConstants constantsFor(const ReferencePanorama& panorama, std::int32_t width,
                                           std::int32_t height, float sinTilt, float pan,
                                           float focalLength) {
        ReferenceConstants c;
        c.cx = static_cast<float>((panorama.width - 1) / 2);
        c.kx = static_cast<float>(static_cast<double>(c.cx) / static_cast<double>(engine::pi));
        c.cy = static_cast<float>((panorama.height - 1) / 2);
        c.ky = static_cast<float>(static_cast<double>(1 - panorama.height) /
                                  static_cast<double>(engine::pi));
        c.x0 = static_cast<float>(width * 0.5);
        c.y0 = static_cast<float>(height * 0.5);
        c.halfColumns = engine::Projection::roundedHalfColumns(c.x0);
        c.F = focalLength;
        c.M = engine::Projection::mirrorSumFor(c.cx, c.kx, pan);
        c.cosTilt = 1.0f;
        c.sinTilt = sinTilt;
        return c;
    }
    ReferencePanorama panorama = randomPanorama(1000, 500, 31);

  private:
    std::unique_ptr<StepSetInUse> steps_;
};

INSTANTIATE_TEST_SUITE_P(BothStepSets, CraftedProjections,
                         ::testing::Values(StepSet::wide, StepSet::sse2),
                         [](const ::testing::TestParamInfo<StepSet>& info) {
                             return info.param == StepSet::wide ? "Wide" : "Sse2";
                         });

TEST_P(CraftedProjections, LevelRowsWithLatitudeRatiosOnWholeIndices) {
    for (const std::int32_t height : {400, 401, 37}) {
        const ReferenceConstants c = constants(300, height, 0.0f, 0.3f);
        int whole = 0;
        for (std::int32_t j = 0; j < height; ++j) {
            for (std::int32_t i = 0; i < c.halfColumns; ++i) {
                const double x = static_cast<double>(i) - c.x0;
                whole += onWholeIndex((c.y0 - j) / std::sqrt(100.0 * 100.0 + x * x)) ? 1 : 0;
            }
        }
        EXPECT_GT(whole, height == 37 ? 0 : 20) << height;
        EXPECT_TRUE(warpsAlike(panorama, 300, height, c, 0.3f)) << height;
    }
}

TEST_P(CraftedProjections, TiltedRowsOnWholeIndicesOnOneAndFacingAway) {
    // D = 100 - rise / 2: ratios X / D of exactly -1/2, -3/4 and -1, a row of
    // depth 0 (rise 200) and rows facing away beyond it.
    const ReferenceConstants c = constants(300, 500, 0.5f, -0.7f);
    int wholeLongitudes = 0;
    int ones = 0;
    for (std::int32_t j = 0; j < 500; ++j) {
        const double rise = static_cast<double>(c.y0) - j;
        const double depth = static_cast<float>(100.0 - rise * 0.5);
        for (std::int32_t i = 0; i < c.halfColumns; ++i) {
            const double x = static_cast<double>(i) - c.x0;
            wholeLongitudes += onWholeIndex(x / depth) ? 1 : 0;
            ones += x / depth == -1.0 ? 1 : 0;
        }
    }
    EXPECT_GT(wholeLongitudes, 100);
    EXPECT_GT(ones, 10);
    EXPECT_TRUE(warpsAlike(panorama, 300, 500, c, -0.7f));
    // Odd width, tails of every length.
    for (const std::int32_t width : {301, 302, 303, 305}) {
        EXPECT_TRUE(warpsAlike(panorama, width, 450, constants(width, 450, 0.5f, 2.9f), 2.9f))
            << width;
    }
}

// Products that fall just short of a whole index the quotient reaches (100000
// / 22 times 11 gives 49999.99...). One index moves a source column or row
// only in a panorama of more than 2 pi 100000 columns (or pi 100000 rows),
// so these have one.
TEST_P(CraftedProjections, ShortProductsGiveWayToTheQuotient) {
    const ReferencePanorama wide = randomPanorama(700001, 2, 51);
    const ReferencePanorama tall = randomPanorama(1, 320001, 52);
    for (const ReferencePanorama* picture : {&wide, &tall}) {
        for (const float focal : {11.0f, 3.0f, 12.0f, 24.0f}) {
            for (const float sinTilt : {0.0f, 0.01f}) {
                for (const std::int32_t width : {61, 64}) {
                    EXPECT_TRUE(warpsAlike(*picture, width, 40,
                                           constantsFor(*picture, width, 40, sinTilt, 0.2f, focal),
                                           0.2f))
                        << picture->width << " " << focal << " " << sinTilt << " " << width;
                }
            }
        }
    }
}

// Enough forward-facing rays for the source columns of every longitude to be
// coded once for the rebuild; pans near the seam wrap some of them.
TEST(LargeTiltedViews, CodedColumnsMatchTheReference) {
    const ReferencePanorama panorama = randomPanorama(6000, 3000, 41);
    MemoryView m;
    m.view->resize(1700, 950);
    m.show(panorama);
    for (const float pan : {0.4f, 3.1f, -3.14f}) {
        for (const float tilt : {0.35f, -0.5f}) {
            m.view->setView(pan, tilt, 100 * engine::degree);
            m.view->renderTick();
            ReferenceView expected(1700, 950);
            ReferenceWarp::shared().warp(panorama, expected, m.view->viewFov(), m.view->viewPan(),
                                         m.view->viewTilt());
            ASSERT_TRUE(m.matches(expected)) << pan << " " << tilt;
        }
    }
    // The codes from the SSE2 steps on a machine that also has the wide ones.
    const StepSetInUse sse2(StepSet::sse2);
    m.view->setView(1.3f, 0.2f, 100 * engine::degree);
    m.view->renderTick();
    ReferenceView expected(1700, 950);
    ReferenceWarp::shared().warp(panorama, expected, m.view->viewFov(), m.view->viewPan(),
                                 m.view->viewTilt());
    EXPECT_TRUE(m.matches(expected));
}

// A 1000 x 10 view at 90 degrees into a panorama `width` x 100 seen at
// `pan`: the solver prepared for it codes the columns of its rows.
struct ColumnCodingCase {
    ColumnCodingCase(std::int32_t width, float pan)
        : pan(pan),
          constants(ReferenceWarp::shared().constants(panoramaOf(width), ReferenceView(1000, 10),
                                                      90 * engine::degree, pan, 0)),
          source{nullptr, width, 100, width * 3} {}
    static ReferencePanorama panoramaOf(std::int32_t width) {
        ReferencePanorama panorama;
        panorama.width = width;
        panorama.height = 100;
        return panorama;
    }
    void prepare(const engine::ArctangentTable& table, engine::RowSolver& solver) const {
        solver.prepare(table, projectionOf(constants), source, pan, 1000, constants.halfColumns,
                       false);
    }
    float pan;
    ReferenceConstants constants;
    engine::SourceImage source;
};

TEST(RowSolver, CodedColumnsEqualTheAlgorithmsForEveryCode) {
    // Narrow and wide panoramas (blocks of 4096 down to 8 codes), pans at and
    // near the seam, every negative longitude code of a row facing forward.
    const auto table = engine::ArctangentTable::create();
    const std::vector<float>& entries = ReferenceWarp::shared().table();
    const std::int32_t above = engine::ArctangentTable::entryCount;
    for (const std::int32_t width : {3, 2000, 7101, 8000, 40000}) {
        for (const float pan : {0.4f, -engine::pi, engine::pi, 1e-3f, -2.5f}) {
            const ColumnCodingCase coding(width, pan);
            const ReferenceConstants& c = coding.constants;
            engine::RowSolver solver;
            coding.prepare(*table, solver);
            solver.codeColumnsFor(std::size_t{1} << 40);
            std::int32_t unknown = 0;
            for (std::int32_t place = 0; place < 2 * above; ++place) {
                // Negative ratios: the negated angle up to 1, its complement above.
                const float angle =
                    place < above ? -entries[place] : -(engine::halfPi - entries[place - above]);
                int column = 0;
                int mirrored = 0;
                ReferenceWarp::columnsOfLongitude(
                    c, width, static_cast<float>(static_cast<double>(angle) + pan), column,
                    mirrored);
                const std::int32_t codedColumn = solver.codedColumn(place, false);
                const std::int32_t codedMirrored = solver.codedColumn(place, true);
                unknown += codedColumn < 0 || codedMirrored < 0 ? 1 : 0;
                if (codedColumn >= 0) {
                    ASSERT_EQ(codedColumn, column) << width << " " << pan << " " << place;
                }
                if (codedMirrored >= 0) {
                    ASSERT_EQ(codedMirrored, mirrored) << width << " " << pan << " " << place;
                }
            }
            // Left to the exact steps: the block where the two runs meet, and
            // where a column changes twice in one block (the widest panorama
            // only, whose blocks are smallest).
            EXPECT_LT(unknown, width > 10000 ? 2 * above / 100 : 4096 * 2) << width << " " << pan;
        }
    }
}

// The blocks of coded columns shared out in ranges on a pool, as the warper
// does, give every code the column of the coding on one thread: for one range,
// a few, one per block, and more threads than ranges.
TEST(RowSolver, ColumnBlocksCodedInRangesOnSeveralThreadsEqualTheSerialCoding) {
    const auto table = engine::ArctangentTable::create();
    const std::int32_t codes = 2 * engine::ArctangentTable::entryCount;
    for (const std::int32_t width : {2000, 8000, 40000}) {
        for (const float pan : {0.4f, -engine::pi}) {
            const ColumnCodingCase coding(width, pan);
            auto prepared = [&](engine::RowSolver& solver) { coding.prepare(*table, solver); };
            engine::RowSolver serial;
            prepared(serial);
            serial.codeColumnsFor(std::size_t{1} << 40);
            for (const std::int32_t threads : {1, 2, 3, 8}) {
                platform::BandPool pool(threads);
                engine::RowSolver split;
                prepared(split);
                const std::size_t blocks = split.startColumnCodes(std::size_t{1} << 40);
                ASSERT_GT(blocks, 8u);
                for (const std::size_t ranges : {std::size_t{1}, std::size_t{3}, blocks}) {
                    split.startColumnCodes(std::size_t{1} << 40);
                    auto code = [&](std::int32_t range, std::int32_t) {
                        const auto r = static_cast<std::size_t>(range);
                        split.codeColumnBlocks(blocks * r / ranges, blocks * (r + 1) / ranges);
                    };
                    pool.run(static_cast<std::int32_t>(ranges), code);
                    for (std::int32_t place = 0; place < codes; ++place) {
                        for (const bool mirrored : {false, true}) {
                            ASSERT_EQ(split.codedColumn(place, mirrored),
                                      serial.codedColumn(place, mirrored))
                                << width << " " << pan << ", " << threads << " threads, " << ranges
                                << " ranges, code " << place << " " << mirrored;
                        }
                    }
                }
            }
        }
    }
}

TEST(PixelGather, WordCopiesNeverReadPastTheLastSourcePixel) {
    // Width 8: rows of exactly 24 bytes, no padding after the last pixel.
    std::vector<std::uint8_t> pixels(8 * 3 * 4);
    for (std::size_t k = 0; k < pixels.size(); ++k) {
        pixels[k] = static_cast<std::uint8_t>(k * 7 + 1);
    }
    const engine::SourceImage source{pixels.data(), 8, 4, 24};
    const engine::PixelGather gather(source);
    const std::vector<std::int32_t> rows{3, 0, 3, 2, 3};
    const std::vector<std::int32_t> columns{7, 0, 7, 5, 7};
    std::vector<std::size_t> offsets(5);
    gather.locate(rows.data(), columns.data(), offsets.data(), 5);
    EXPECT_EQ(offsets[0], 3u * 24 + 21);
    std::vector<std::uint8_t> out(15, 0);
    gather.gather(offsets.data(), out.data(), 5);
    for (std::size_t n = 0; n < 5; ++n) {
        EXPECT_EQ(0, std::memcmp(out.data() + 3 * n, pixels.data() + offsets[n], 3)) << n;
    }
}

TEST(Streaming, EveryAlignmentAndLengthWritesExactlyItsBytes) {
    std::vector<std::uint8_t> from(96);
    for (std::size_t k = 0; k < from.size(); ++k) {
        from[k] = static_cast<std::uint8_t>(k + 1);
    }
    for (std::size_t start = 0; start < 16; ++start) {
        for (std::size_t count = 0; count <= 70; ++count) {
            alignas(16) std::uint8_t to[112];
            std::memset(to, 0xEE, sizeof to);
            engine::streamBytes(to + start, from.data(), count);
            engine::finishStreaming();
            ASSERT_EQ(0, std::memcmp(to + start, from.data(), count)) << start << " " << count;
            for (std::size_t k = 0; k < sizeof to; ++k) {
                if (k < start || k >= start + count) {
                    ASSERT_EQ(to[k], 0xEE) << start << " " << count << " " << k;
                }
            }
        }
    }
    const std::vector<std::int32_t> entries{1, -2, 3, -4, 5, -6, 7, -8, 9, -10, 11};
    for (std::size_t start = 0; start < 4; ++start) {
        for (std::size_t count = 0; count <= entries.size(); ++count) {
            alignas(16) std::int32_t to[16];
            std::fill(std::begin(to), std::end(to), 99);
            engine::streamEntries(to + start, entries.data(), count);
            engine::finishStreaming();
            for (std::size_t k = 0; k < 16; ++k) {
                const bool inside = k >= start && k < start + count;
                ASSERT_EQ(to[k], inside ? entries[k - start] : 99) << start << " " << count;
            }
        }
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "engine/angles.h"
#include "engine/panorama_warper.h"
#include "engine_fixture.h"

namespace {

std::int32_t columnAt(const MemoryView& m, std::int32_t row, std::int32_t column) {
    return m.view->warper().columnMap()[row * m.view->viewWidth() + column];
}

std::int32_t rowAt(const MemoryView& m, std::int32_t row, std::int32_t column) {
    return m.view->warper().rowMap()[row * m.view->viewWidth() + column];
}

// Renders the view as it stands and the same view through the reference.
ReferenceView renderBoth(MemoryView& m, const ReferencePanorama& panorama) {
    m.view->renderTick();
    ReferenceView expected(m.view->viewWidth(), m.view->viewHeight());
    ReferenceWarp::shared().warp(panorama, expected, m.view->viewFov(), m.view->viewPan(),
                                 m.view->viewTilt());
    return expected;
}

TEST(ArctangentTable, EntriesAndFourWayLookup) {
    const auto table = engine::ArctangentTable::create();
    ASSERT_NE(table, nullptr);
    for (std::int32_t k = 0; k < engine::ArctangentTable::entryCount; ++k) {
        ASSERT_EQ(table->entry(k), ReferenceWarp::shared().table()[k]) << k;
    }
    EXPECT_EQ(table->entry(0), 0.0f);
    EXPECT_NEAR(table->entry(100000), 0.78539816f, 1e-7f);
    // A ratio of exactly 1 takes the last entry; just above 1 the complement.
    EXPECT_EQ(table->arctangent(1.0), table->entry(100000));
    EXPECT_EQ(table->arctangent(1.00001), engine::halfPi - table->entry(99999));
    EXPECT_EQ(table->arctangent(-1.0), -table->entry(100000));
    EXPECT_EQ(table->arctangent(-2.0), table->entry(50000) - engine::halfPi);
    EXPECT_EQ(table->arctangent(0.123456), table->entry(12345));
    EXPECT_EQ(table->arctangent(INFINITY), engine::halfPi - table->entry(0));
    EXPECT_EQ(table->arctangent(-INFINITY), table->entry(0) - engine::halfPi);
    EXPECT_EQ(table->arctangent(NAN), 0.0f);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> ratios(-50.0, 50.0);
    for (int n = 0; n < 20000; ++n) {
        const double g = ratios(random);
        ASSERT_EQ(table->arctangent(g), ReferenceWarp::shared().arctangent(g)) << g;
    }
}

// The division-free lookup gives the quotient's result everywhere, including
// ratios whose scaled value is a whole number and the 0-1 boundary.
TEST(ArctangentTable, QuotientLookupEqualsTheDivision) {
    const auto table = engine::ArctangentTable::create();
    ASSERT_NE(table, nullptr);
    auto same = [&](double numerator, double denominator) {
        const float divided = table->arctangent(numerator / denominator);
        const float multiplied =
            table->arctangentOfQuotient(numerator, denominator, 1.0 / denominator, 1.0 / numerator);
        return std::memcmp(&divided, &multiplied, sizeof divided) == 0;
    };
    std::mt19937 random(99);
    std::uniform_real_distribution<double> values(-2000.0, 2000.0);
    std::uniform_int_distribution<int> integers(-4000, 4000);
    for (int n = 0; n < 200000; ++n) {
        const double numerator = n % 2 == 0 ? values(random) : integers(random) * 0.5;
        const double denominator = n % 3 == 0 ? values(random) : integers(random) * 0.25;
        ASSERT_TRUE(same(numerator, denominator)) << numerator << " / " << denominator;
    }
    for (const double denominator : {1.0, 2.0, 3.0, 5.0, 0.5, 1e-30, 0.0, -0.0, 400.0, -7.0}) {
        for (const double numerator :
             std::initializer_list<double>{0.0, -0.0, 1.0, -1.0, 2.5, 3.0, 5.0, 400.0, 12345.0,
                                           1e30, INFINITY, -INFINITY, NAN}) {
            EXPECT_TRUE(same(numerator, denominator)) << numerator << " / " << denominator;
        }
    }
}

TEST(Projection, WorkedExampleConstants) {
    const engine::Projection p =
        engine::Projection::compute(2000, 1000, 400, 300, 90 * engine::degree, 0.0f, 0.0f);
    EXPECT_EQ(p.halfColumns, 200);
    EXPECT_EQ(p.centreColumn, 999.0f);
    EXPECT_EQ(p.centreRow, 499.0f);
    EXPECT_EQ(p.mirrorSum, 1998.0f);
    EXPECT_EQ(p.focalLength, 199.99997f);
    EXPECT_LT(p.rowsPerRadian, 0.0f);
    // halfColumns rounds x0 half away from zero; a one-pixel view solves none.
    EXPECT_EQ(engine::Projection::roundedHalfColumns(0.5f), 0);
    EXPECT_EQ(engine::Projection::roundedHalfColumns(1.0f), 1);
    EXPECT_EQ(engine::Projection::roundedHalfColumns(2.5f), 3);
    EXPECT_EQ(engine::Projection::roundedHalfColumns(200.0f), 200);
}

class WorkedExample : public ::testing::Test {
  protected:
    void SetUp() override {
        m.view->resize(400, 300);
        m.show(panorama);
    }
    ReferencePanorama panorama = randomPanorama(2000, 1000, 11);
    MemoryView m;
};

TEST_F(WorkedExample, SourcePixelsAtPanZero) {
    m.view->setView(0.0f, 0.0f, 90 * engine::degree);
    const ReferenceView expected = renderBoth(m, panorama);
    EXPECT_EQ(rowAt(m, 150, 100), 499);
    EXPECT_EQ(columnAt(m, 150, 100), 851);
    EXPECT_EQ(columnAt(m, 150, 299), 1146);
    EXPECT_EQ(rowAt(m, 150, 299), 499);
    EXPECT_EQ(rowAt(m, 0, 199), 294);
    EXPECT_EQ(columnAt(m, 0, 199), 997);
    EXPECT_EQ(columnAt(m, 0, 200), 1000);
    EXPECT_TRUE(m.matches(expected));
}

TEST_F(WorkedExample, PanAndTilt) {
    m.view->setView(90 * engine::degree, 0.0f, 90 * engine::degree);
    renderBoth(m, panorama);
    EXPECT_EQ(columnAt(m, 150, 100), 1351);
    EXPECT_EQ(columnAt(m, 150, 299), 1645);
    m.view->setView(0.0f, 30 * engine::degree, 90 * engine::degree);
    const ReferenceView expected = renderBoth(m, panorama);
    EXPECT_EQ(rowAt(m, 150, 199), 332);
    EXPECT_TRUE(m.matches(expected));
}

// The engine against the reference on many panoramas, view sizes and angles,
// through full rebuilds and the column shifts that follow them.
TEST(WarpAgainstReference, RandomViewsSizesAndPanoramas) {
    std::mt19937 random(2024);
    auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    auto integer = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    for (int round = 0; round < 120; ++round) {
        const ReferencePanorama panorama =
            randomPanorama(integer(1, 900), integer(1, 450), random(), integer(0, 1) * 4);
        MemoryView m;
        m.view->resize(integer(1, 97), integer(1, 71));
        m.show(panorama);
        // Kept across views, as the engine keeps its maps: a one-column view
        // writes nothing and leaves the previous entries.
        ReferenceView expected(m.view->viewWidth(), m.view->viewHeight());
        for (int view = 0; view < 4; ++view) {
            const int kind = integer(0, 3);
            const float tilt = kind == 0   ? 0.0f
                               : kind == 1 ? static_cast<float>(uniform(-1.6, 1.6))
                                           : static_cast<float>(uniform(-0.6, 0.6));
            m.view->setView(static_cast<float>(uniform(-3.3, 3.3)), tilt,
                            static_cast<float>(uniform(0.15, 3.0)));
            m.view->renderTick();
            ReferenceWarp::shared().warp(panorama, expected, m.view->viewFov(), m.view->viewPan(),
                                         m.view->viewTilt());
            ASSERT_TRUE(m.matches(expected))
                << "round " << round << " view " << view << " panorama " << panorama.width << "x"
                << panorama.height << " view " << m.view->viewWidth() << "x" << m.view->viewHeight()
                << " pan " << m.view->viewPan() << " tilt " << m.view->viewTilt() << " fov "
                << m.view->viewFov();
            for (int step = 0; step < 3; ++step) {
                const float before = m.view->viewPan();
                m.view->panBy(before + static_cast<float>(uniform(-0.4, 0.4)));
                const float delta = m.view->pendingPanDelta();
                m.view->renderTick();
                ReferenceWarp::shared().shift(panorama, expected, delta);
                ASSERT_TRUE(m.matches(expected)) << "round " << round << " shift " << step;
            }
        }
    }
}

TEST(WarpAgainstReference, LargeViewsAtTypicalAngles) {
    const ReferencePanorama panorama = randomPanorama(3000, 1500, 5);
    MemoryView m;
    m.view->resize(640, 480);
    m.show(panorama);
    for (const float tilt : {0.0f, 0.35f, -1.2f}) {
        m.view->setView(1.0f, tilt, 100 * engine::degree);
        ASSERT_TRUE(m.matches(renderBoth(m, panorama))) << tilt;
    }
}

TEST(WarpEdges, OneColumnViewWritesNothing) {
    const ReferencePanorama panorama = randomPanorama(200, 100, 3);
    const auto table = engine::ArctangentTable::create();
    engine::PanoramaWarper warper;
    ASSERT_TRUE(warper.allocateMaps(1, 20));
    std::vector<std::uint8_t> pixels(4 * 20, 0xAB);
    const engine::ViewBuffer view{pixels.data(), 1, 20, 4};
    const engine::SourceImage source{panorama.pixels.data(), 200, 100, panorama.stride};
    const engine::Projection p = engine::Projection::compute(200, 100, 1, 20, 1.0f, 0.5f, 0.2f);
    EXPECT_EQ(p.halfColumns, 0);
    warper.warp(*table, source, view, p, 0.5f);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xAB), 80);
    EXPECT_EQ(std::count(warper.columnMap(), warper.columnMap() + 20, 0), 20);
}

TEST(WarpEdges, OddWidthKeepsTheMirroredMiddleColumn) {
    const ReferencePanorama panorama = randomPanorama(1000, 500, 4);
    MemoryView m;
    m.view->resize(7, 5);
    m.show(panorama);
    m.view->setView(0.3f, 0.1f, 1.2f);
    const ReferenceView expected = renderBoth(m, panorama);
    ASSERT_TRUE(m.matches(expected));
    // The middle column holds the mirror value trunc(M - U), not trunc(U).
    const engine::Projection p = m.view->projection();
    EXPECT_EQ(p.halfColumns, 4);
    const float depth = static_cast<float>(static_cast<double>(p.cosTilt) * p.focalLength -
                                           (static_cast<double>(p.halfHeight) - 2) * p.sinTilt);
    const float theta = ReferenceWarp::shared().arctangent(-0.5 / depth);
    const float longitude = static_cast<float>(static_cast<double>(theta) + 0.3f);
    const float u =
        static_cast<float>(static_cast<double>(p.columnsPerRadian) * longitude + p.centreColumn);
    EXPECT_EQ(columnAt(m, 2, 3), static_cast<int>(static_cast<double>(p.mirrorSum) - u));
    EXPECT_NE(columnAt(m, 2, 3), static_cast<int>(u));
}

TEST(WarpEdges, RowsFacingAwayTakeHalfATurnMore) {
    const ReferencePanorama panorama = randomPanorama(801, 400, 8);
    MemoryView m;
    m.view->resize(60, 80);
    m.show(panorama);
    m.view->setView(0.0f, engine::halfPi, 150 * engine::degree);
    const engine::Projection p = m.view->projection();
    int rowsAway = 0;
    for (int j = 0; j < 80; ++j) {
        const double rise = static_cast<double>(p.halfHeight) - j;
        if (static_cast<float>(static_cast<double>(p.cosTilt) * p.focalLength - rise * p.sinTilt) <=
            0.0f) {
            ++rowsAway;
        }
    }
    EXPECT_GT(rowsAway, 10);
    EXPECT_LT(rowsAway, 80);
    EXPECT_TRUE(m.matches(renderBoth(m, panorama)));
}

TEST(WarpEdges, EvenHeightsStayAboveTheLastRow) {
    const ReferencePanorama panorama = randomPanorama(400, 200, 9);
    MemoryView m;
    m.view->resize(50, 50);
    m.show(panorama);
    EXPECT_EQ(m.view->projection().centreRow, 99.0f);
    for (const float tilt : {engine::halfPi, -engine::halfPi, 1.0f, -1.0f}) {
        m.view->setView(0.0f, tilt, 160 * engine::degree);
        m.view->renderTick();
        const std::int32_t* rows = m.view->warper().rowMap();
        EXPECT_LE(*std::max_element(rows, rows + 2500), 198) << tilt;
        EXPECT_GE(*std::min_element(rows, rows + 2500), 0) << tilt;
    }
}

// Absurd angles handed straight to the engine never address memory outside
// the panorama.
TEST(WarpEdges, AbsurdAnglesStayInsideThePanorama) {
    const ReferencePanorama panorama = randomPanorama(300, 150, 10);
    for (const float bad : {NAN, INFINITY, 1e30f, -77.0f}) {
        MemoryView m;
        m.view->resize(20, 10);
        m.show(panorama);
        m.view->setPan(bad);
        m.view->setTilt(bad == -77.0f ? 0.0f : bad);
        m.view->setFovAndRecompute(bad == -77.0f ? 1.0f : bad);
        const ReferenceView expected = renderBoth(m, panorama);
        const std::int32_t* columns = m.view->warper().columnMap();
        const std::int32_t* rows = m.view->warper().rowMap();
        for (int k = 0; k < 200; ++k) {
            ASSERT_GE(columns[k], 0);
            ASSERT_LT(columns[k], 300);
            ASSERT_GE(rows[k], 0);
            ASSERT_LT(rows[k], 150);
        }
        EXPECT_TRUE(m.matches(expected)) << bad;
        m.view->panBy(bad);
        m.view->renderTick();
    }
}

class ColumnShift : public ::testing::Test {
  protected:
    ColumnShift() {
        for (MemoryView* m : {&small, &big}) {
            m->view->resize(64, 48);
            m->show(panorama);
            m->view->setView(0.25f, 0.0f, 90 * engine::degree);
            m->view->renderTick();
        }
    }
    std::vector<std::int32_t> columns(const MemoryView& m) const {
        const std::int32_t* map = m.view->warper().columnMap();
        return std::vector<std::int32_t>(map, map + 64 * 48);
    }
    ReferencePanorama panorama = randomPanorama(2000, 1000, 12);
    MemoryView small;
    MemoryView big;
};

TEST_F(ColumnShift, ManySmallStepsAddUpLikeOneBigStep) {
    const std::vector<std::int32_t> start = columns(small);
    // 0.001 rad is 0.318 columns: lost to truncation without the carry.
    for (int step = 0; step < 100; ++step) {
        small.view->shiftColumns(0.001f);
    }
    big.view->shiftColumns(0.1f);
    EXPECT_EQ(columns(small), columns(big));
    EXPECT_EQ(columns(big)[0], (start[0] + 31) % 2000);
    EXPECT_NEAR(big.view->warper().columnCarry(), 0.831, 0.001);
}

TEST_F(ColumnShift, SeveralTurnsReduceToOne) {
    small.view->shiftColumns(0.7f);
    big.view->shiftColumns(0.7f + 3 * engine::twoPi);
    EXPECT_EQ(columns(small), columns(big));
    small.view->shiftColumns(-0.7f);
    big.view->shiftColumns(-0.7f - 5 * engine::twoPi);
    EXPECT_EQ(columns(small), columns(big));
}

TEST_F(ColumnShift, RebuildResetsTheCarry) {
    small.view->shiftColumns(0.001f);
    EXPECT_GT(small.view->warper().columnCarry(), 0.3);
    small.view->warp();
    EXPECT_EQ(small.view->warper().columnCarry(), 0.0);
}

}  // namespace

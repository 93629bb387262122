#include "engine/scene_transition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/angles.h"

namespace {

using engine::ViewAngles;
using engine::WalkTurn;

float degrees(float radians) {
    return radians / engine::degree;
}

// A turn across the seam goes the short way, starts and ends exactly where it
// should, and never turns back or overshoots between.
TEST(WalkTurn, GoesTheShortWayFromTheViewToTheNarrowedLinkWithoutTurningBack) {
    const ViewAngles from{170.0f * engine::degree, 5.0f * engine::degree, 90.0f * engine::degree};
    const WalkTurn turn(from, -170.0f * engine::degree, -10.0f * engine::degree);
    const ViewAngles start = turn.at(0.0);
    EXPECT_EQ(start.pan, from.pan);
    EXPECT_EQ(start.tilt, from.tilt);
    EXPECT_EQ(start.fov, from.fov);
    const ViewAngles end = turn.end();
    EXPECT_NEAR(degrees(end.pan), 190.0f, 1e-3f);  // 20 degrees on, not 340 back
    EXPECT_NEAR(degrees(end.tilt), -10.0f, 1e-3f);
    EXPECT_NEAR(degrees(end.fov), 54.0f, 1e-3f);
    EXPECT_EQ(turn.at(WalkTurn::durationMs * 2).pan, end.pan);
    ViewAngles before = start;
    for (double ms = 10.0; ms <= WalkTurn::durationMs; ms += 10.0) {
        const ViewAngles now = turn.at(ms);
        EXPECT_GE(now.pan, before.pan) << ms;
        EXPECT_LE(now.tilt, before.tilt) << ms;
        EXPECT_LE(now.fov, before.fov) << ms;
        EXPECT_LE(now.pan, end.pan) << ms;
        before = now;
    }
    // Halfway in time is halfway in angle (the easing is symmetric).
    EXPECT_NEAR(turn.at(WalkTurn::durationMs / 2).pan, (from.pan + end.pan) / 2, 1e-5f);
    const WalkTurn backwards({-170.0f * engine::degree, 0.0f, from.fov}, 170.0f * engine::degree,
                             0.0f);
    EXPECT_NEAR(degrees(backwards.end().pan), -190.0f, 1e-3f);
}

// The fade's share rises evenly from nothing to all; mixing keeps each end
// exact, rounds between, and leaves a row's padding alone.
TEST(CrossFade, RisesFromTheOldPictureToTheNewAndMixesEveryChannel) {
    const engine::CrossFade fade(engine::CrossFade::afterWalkMs);
    EXPECT_EQ(fade.weightAt(-5.0), 0u);
    EXPECT_EQ(fade.weightAt(0.0), 0u);
    EXPECT_EQ(fade.weightAt(150.0), 128u);
    EXPECT_EQ(fade.weightAt(300.0), 256u);
    EXPECT_TRUE(fade.finished(300.0));
    EXPECT_FALSE(fade.finished(299.0));

    constexpr std::int32_t width = 5;
    constexpr std::int32_t height = 3;
    std::vector<std::uint8_t> older(static_cast<std::size_t>(16) * height);
    std::vector<std::uint8_t> newer(static_cast<std::size_t>(20) * height, 0xEE);
    for (std::size_t i = 0; i < older.size(); ++i) {
        older[i] = static_cast<std::uint8_t>(i * 37);
    }
    auto mixed = [&](std::uint32_t weight) {
        std::vector<std::uint8_t> view = newer;
        for (std::int32_t row = 0; row < height; ++row) {
            for (std::int32_t i = 0; i < 3 * width; ++i) {
                view[static_cast<std::size_t>(row * 20 + i)] =
                    static_cast<std::uint8_t>(200 + row + i);
            }
        }
        engine::blendOver({older.data(), width, height, 16}, {view.data(), width, height, 20},
                          weight);
        return view;
    };
    const std::vector<std::uint8_t> oldAlone = mixed(0);
    const std::vector<std::uint8_t> newAlone = mixed(256);
    const std::vector<std::uint8_t> half = mixed(128);
    for (std::int32_t row = 0; row < height; ++row) {
        for (std::int32_t i = 0; i < 20; ++i) {
            const auto at = static_cast<std::size_t>(row * 20 + i);
            if (i >= 3 * width) {
                EXPECT_EQ(half[at], 0xEE) << "padding touched at " << row << "," << i;
                continue;
            }
            const int was = older[static_cast<std::size_t>(row * 16 + i)];
            const int next = 200 + row + i;
            EXPECT_EQ(oldAlone[at], was);
            EXPECT_EQ(newAlone[at], next);
            EXPECT_EQ(half[at], (was * 128 + next * 128 + 128) >> 8);
        }
    }
}

}  // namespace

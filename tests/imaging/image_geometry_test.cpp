#include "imaging/image_geometry.h"

#include <gtest/gtest.h>

namespace {

using imaging::PixelSize;

TEST(DibStride, PadsThreeBytesPerPixelToFour) {
    EXPECT_EQ(imaging::dibStride(96), 288);
    EXPECT_EQ(imaging::dibStride(33), 100);  // 99 bytes padded
    EXPECT_EQ(imaging::dibStride(1), 4);
    EXPECT_EQ(imaging::dibStride(4), 12);
    EXPECT_EQ(imaging::dibStride(0), 0);
}

TEST(ReducedMode, LimitsPanoramasToWidth1000OrHeight500) {
    // Twice as wide or wider: width 1000, height derived.
    EXPECT_EQ(imaging::reducedModeRequest({4000, 1000}), (PixelSize{1000, 0}));
    EXPECT_EQ(imaging::reducedModeRequest({2000, 1000}), (PixelSize{1000, 0}));
    // Less than twice as wide: height 500, width derived.
    EXPECT_EQ(imaging::reducedModeRequest({1800, 1000}), (PixelSize{0, 500}));
    // Not above both limits: natural size.
    EXPECT_EQ(imaging::reducedModeRequest({1000, 600}), std::nullopt);
    EXPECT_EQ(imaging::reducedModeRequest({1200, 500}), std::nullopt);
    EXPECT_EQ(imaging::reducedModeRequest({0, 0}), std::nullopt);
}

TEST(StretchTarget, DerivesTheMissingSideAndTruncates) {
    EXPECT_EQ(imaging::stretchTarget({4000, 1000}, 1000, 0), (PixelSize{1000, 250}));
    EXPECT_EQ(imaging::stretchTarget({1800, 1000}, 0, 500), (PixelSize{900, 500}));
    EXPECT_EQ(imaging::stretchTarget({2000, 1000}, 1000, -1), (PixelSize{1000, 500}));
    // 3 / 7 * 10 = 4.28...: truncated toward zero.
    EXPECT_EQ(imaging::stretchTarget({7, 3}, 10, 0), (PixelSize{10, 4}));
    EXPECT_EQ(imaging::stretchTarget({3, 7}, 0, 10), (PixelSize{4, 10}));
    // Both given: the aspect is not kept.
    EXPECT_EQ(imaging::stretchTarget({100, 100}, 30, 70), (PixelSize{30, 70}));
}

TEST(StretchTarget, RefusesMissingSidesAndEmptyPictures) {
    EXPECT_EQ(imaging::stretchTarget({100, 50}, -1, -1), std::nullopt);
    EXPECT_EQ(imaging::stretchTarget({100, 50}, 0, 0), std::nullopt);
    EXPECT_EQ(imaging::stretchTarget({100, 0}, 0, 10), std::nullopt);
    EXPECT_EQ(imaging::stretchTarget({0, 100}, 10, 0), std::nullopt);
}

TEST(LargePayload, EmptiesTheCacheFrom307200Bytes) {
    EXPECT_FALSE(imaging::emptiesCacheBeforeDecode(307199));
    EXPECT_TRUE(imaging::emptiesCacheBeforeDecode(307200));
    EXPECT_FALSE(imaging::emptiesCacheBeforeDecode(0));
}

}  // namespace

// The calibration tour's grid in each of its five picture formats decodes with
// the platform picture service to the same picture: the reference lines sit
// on the columns and the row that the start-view angles name.
#include "picture_check.h"

#include <gtest/gtest.h>

#include <string>

namespace test_support {
namespace {

bool looksLike(std::uint32_t p, int red, int green, int blue) {
    return std::abs(Pixels::red(p) - red) < 70 && std::abs(Pixels::green(p) - green) < 70 &&
           std::abs(Pixels::blue(p) - blue) < 70;
}

class CalibrationGridTest : public ::testing::TestWithParam<std::string> {
  protected:
    platform::ComApartment apartment_;
};

TEST_P(CalibrationGridTest, ReferenceLinesLieWhereTheirAnglesSay) {
    const std::string path = std::string(LUMIVUE_CALIBRATION_DIR) + "/images/" + GetParam();
    platform::ComRef<IPicture> picture = decodePictureFile(path);
    ASSERT_NE(picture.get(), nullptr) << path;
    const Pixels grid = picturePixels(picture.get());
    ASSERT_EQ(grid.width, 1024);
    ASSERT_EQ(grid.height, 512);
    // columns: pan = (x - 512) * 360 / 1024; rows: tilt = (y - 256) * 180 / 512
    const int row = 100;  // 45 degrees above the horizon, clear of labels
    EXPECT_TRUE(looksLike(grid.at(512, row), 255, 42, 42)) << "pan 0 is not red";
    EXPECT_TRUE(looksLike(grid.at(768, row), 32, 208, 64)) << "pan +90 is not green";
    EXPECT_TRUE(looksLike(grid.at(256, row), 48, 112, 255)) << "pan -90 is not blue";
    EXPECT_TRUE(looksLike(grid.at(0, row), 255, 48, 255)) << "pan -180 is not magenta";
    EXPECT_TRUE(looksLike(grid.at(1023, row), 255, 48, 255)) << "pan 180 is not magenta";
    EXPECT_TRUE(looksLike(grid.at(100, 256), 255, 212, 0)) << "the horizon is not yellow";
    // and between the lines lies the dark background
    EXPECT_TRUE(looksLike(grid.at(640, row), 24, 32, 48));
    EXPECT_TRUE(looksLike(grid.at(100, 300), 24, 32, 48));
}

INSTANTIATE_TEST_SUITE_P(Formats, CalibrationGridTest,
                         ::testing::Values("grid-baseline.jpg", "grid-progressive.jpg", "grid.gif",
                                           "grid-24bit.bmp", "grid-8bit.bmp"));

}  // namespace
}  // namespace test_support

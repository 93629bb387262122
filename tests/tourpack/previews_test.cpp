// The scenes' previews: what build stores, what the player's reader finds,
// what inspect shows and what extract leaves out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "package/opened_tour.h"
#include "package/package_extractor.h"
#include "package/package_inspector.h"
#include "pictures/picture_conversion.h"
#include "pictures/picture_writing.h"
#include "pictures/scene_preview.h"
#include "tour_building.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// One pixel light, the next dark: reduced by dropping pixels it stays all
// light or all dark; a filter averages it.
tourpack::RgbPicture checkerboard(std::int32_t width, std::int32_t height) {
    tourpack::RgbPicture picture{{width, height}, {}};
    picture.pixels.resize(static_cast<std::size_t>(width) * height * 3);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t value = (x + y) % 2 == 0 ? 230 : 20;
            const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
            picture.pixels[at] = picture.pixels[at + 1] = picture.pixels[at + 2] = value;
        }
    }
    return picture;
}

// Soft shapes, about as busy as a photograph's sky and walls.
tourpack::RgbPicture landscape(std::int32_t width, std::int32_t height) {
    tourpack::RgbPicture picture{{width, height}, {}};
    picture.pixels.resize(static_cast<std::size_t>(width) * height * 3);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
            picture.pixels[at] = static_cast<std::uint8_t>(128 + 100 * std::sin(x * 0.013));
            picture.pixels[at + 1] = static_cast<std::uint8_t>(128 + 100 * std::cos(y * 0.021));
            picture.pixels[at + 2] = static_cast<std::uint8_t>((x / 37 + y / 23) % 2 ? 200 : 60);
        }
    }
    return picture;
}

class ScenePreviews : public test_support::TourBuilding {
  protected:
    std::unique_ptr<tourpack::OpenedTour> open(const fs::path& tourFile) {
        std::string error;
        auto opened = tourpack::OpenedTour::open(tourFile.string(), error);
        EXPECT_TRUE(opened) << error;
        return opened;
    }

    // The preview of the scene at `position`, decoded.
    tourpack::BitmapPixels preview(const tourpack::OpenedTour& opened, std::int32_t position,
                                   std::size_t* bytes = nullptr) {
        const auto stored = opened.tour().preview(position);
        EXPECT_TRUE(stored) << "scene " << position;
        if (!stored) {
            return {};
        }
        std::vector<std::uint8_t> jpeg;
        EXPECT_TRUE(opened.readRange(stored->offset, stored->length, jpeg));
        EXPECT_EQ(tourpack::detectFileKind(jpeg.data(), jpeg.size()), tourpack::FileKind::jpeg);
        if (bytes != nullptr) {
            *bytes = jpeg.size();
        }
        std::string error;
        auto decoded = tourpack::decodeBitmapPixels(jpeg.data(), jpeg.size(), error);
        EXPECT_TRUE(decoded) << "scene " << position << ": " << error;
        return decoded ? *decoded : tourpack::BitmapPixels{};
    }
};

TEST_F(ScenePreviews, SizesFitTheBoxKeepTheAspectAndNeverGrow) {
    using tourpack::previewSize;
    const std::vector<std::pair<tourpack::PictureSize, tourpack::PictureSize>> sizes = {
        {{8000, 4000}, {1024, 512}}, {{2048, 1024}, {1024, 512}}, {{9000, 3000}, {1024, 341}},
        {{2000, 2000}, {512, 512}},  {{1024, 512}, {1024, 512}},  {{600, 300}, {600, 300}},
        {{5000, 1}, {1024, 1}},      {{1, 5000}, {1, 5000}},
    };
    for (const auto& [full, expected] : sizes) {
        const tourpack::PictureSize size = previewSize(full);
        EXPECT_EQ(size.width, expected.width) << tourpack::describeSize(full);
        EXPECT_EQ(size.height, expected.height) << tourpack::describeSize(full);
    }
}

TEST_F(ScenePreviews, BuildStoresAFilteredJpegOfEveryScene) {
    tourpack::writePicture(source_.folder / "fine.bmp",
                           tourpack::bitmapFromRgb(checkerboard(2048, 1024)));
    tourpack::writePicture(source_.folder / "wide.jpg",
                           tourpack::bitmapFromRgb(landscape(3000, 1000)), 95);
    source_.manifest["scenes"][0]["image"] = "fine.bmp";
    source_.manifest["scenes"][1]["image"] = "wide.jpg";
    source_.save();
    const auto opened = open(build(source_, "tour.exe"));
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->loader().extensionBlock().previewsIgnored, "");

    const tourpack::BitmapPixels fine = preview(*opened, 1);
    ASSERT_EQ(fine.width, 1024);
    ASSERT_EQ(fine.height, 512);
    double sum = 0;
    std::uint8_t darkest = 255;
    std::uint8_t lightest = 0;
    for (std::int32_t y = 8; y < fine.height - 8; ++y) {
        for (std::int32_t x = 0; x < fine.width; ++x) {
            const std::uint8_t value =
                fine.pixels[static_cast<std::size_t>(y) * fine.stride + x * 3];
            sum += value;
            darkest = std::min(darkest, value);
            lightest = std::max(lightest, value);
        }
    }
    const double mean = sum / ((fine.height - 16) * fine.width);
    EXPECT_GT(mean, 100) << "the fine pattern is averaged, not sampled";
    EXPECT_LT(mean, 190);
    EXPECT_GT(darkest, 60);
    EXPECT_LT(lightest, 210);

    std::size_t wideBytes = 0;
    const tourpack::BitmapPixels wide = preview(*opened, 2, &wideBytes);
    EXPECT_EQ(wide.width, 1024);
    EXPECT_EQ(wide.height, 341);
    EXPECT_LE(wideBytes, 80u * 1024);

    // Scene 3's picture is 12 x 7: its preview is no larger.
    const tourpack::BitmapPixels small = preview(*opened, 3);
    EXPECT_EQ(small.width, 12);
    EXPECT_EQ(small.height, 7);
}

// The player asks about a damaged picture when its scene is shown; the tour
// is still built, that scene without a preview.
TEST_F(ScenePreviews, APictureThatDoesNotDecodeIsStoredWithoutAPreview) {
    std::vector<std::uint8_t> jpeg = tourpack::encodeJpeg(landscape(640, 320), 90);
    jpeg.resize(jpeg.size() / 2);
    std::ofstream(source_.folder / "cut-short.jpg", std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()),
               static_cast<std::streamsize>(jpeg.size()));
    source_.manifest["scenes"][1]["image"] = "cut-short.jpg";
    source_.save();
    std::vector<std::string> warnings;
    const auto opened = open(build(source_.manifestPath(), "tour.exe", warnings));
    ASSERT_TRUE(opened);
    EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [](const std::string& warning) {
        return warning.find("cut-short.jpg") != std::string::npos &&
               warning.find("without a preview") != std::string::npos;
    }));
    EXPECT_EQ(opened->loader().extensionBlock().previewsIgnored, "");
    EXPECT_FALSE(opened->tour().preview(2));
    EXPECT_GT(preview(*opened, 1).height, 0);
    EXPECT_EQ(preview(*opened, 3).width, 12);
}

TEST_F(ScenePreviews, InspectShowsEachPreviewAndNotesOneThatIsNoJpeg) {
    const fs::path tourFile = build(source_, "tour.exe");
    tourpack::InspectReport report = tourpack::inspectTour(tourFile.string());
    EXPECT_TRUE(report.problems.empty()) << tourpack::formatReport(report);
    const json& scene2 = report.description["scenes"][1]["preview"];
    EXPECT_EQ(scene2["width"], 11);
    EXPECT_EQ(scene2["height"], 6);
    const std::string line = "     preview 11 x 6, " + scene2["length"].dump() + " bytes\n";
    EXPECT_NE(tourpack::formatReport(report).find(line), std::string::npos)
        << tourpack::formatReport(report);

    test_support::Bytes bytes = test_support::readFile(tourFile);
    bytes[scene2["offset"].get<std::size_t>()] = 'X';
    test_support::writeFile(tourFile, bytes);
    report = tourpack::inspectTour(tourFile.string());
    ASSERT_EQ(report.problems.size(), 1u) << tourpack::formatReport(report);
    EXPECT_EQ(report.problems[0], "scene 2: the preview is not a JPEG picture");
}

TEST_F(ScenePreviews, ExtractLeavesThemOutAndBuildMakesThemAgain) {
    const fs::path first = build(source_, "first.exe");
    const fs::path manifest = tourpack::extractTour(first.string(), folder_.path() / "extracted");
    std::ifstream in(manifest);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("preview"), std::string::npos) << text;
    for (const auto& entry : fs::recursive_directory_iterator(folder_.path() / "extracted")) {
        EXPECT_EQ(entry.path().filename().string().find("preview"), std::string::npos)
            << entry.path();
    }
    std::vector<std::string> warnings;
    const fs::path second = build(manifest, "second.exe", warnings);
    EXPECT_EQ(test_support::readFile(second), test_support::readFile(first));
    const auto opened = open(second);
    ASSERT_TRUE(opened);
    for (std::int32_t position = 1; position <= 3; ++position) {
        EXPECT_EQ(preview(*opened, position).width, 9 + position);
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <fstream>

#include "pictures/picture_conversion.h"
#include "pictures/picture_preparation.h"
#include "scoped_temp_directory.h"
#include "tour_source.h"
#include "text/tourpack_error.h"

#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace {

namespace fs = std::filesystem;
using test_support::Bytes;

// A PNG written by stb_image_write: `channels` 3 or 4, every pixel `pixel`.
Bytes pngPicture(int width, int height, int channels, const std::vector<std::uint8_t>& pixel) {
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < width * height; ++i) {
        pixels.insert(pixels.end(), pixel.begin(), pixel.begin() + channels);
    }
    Bytes png;
    const auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<Bytes*>(context);
        out->insert(out->end(), static_cast<std::uint8_t*>(data),
                    static_cast<std::uint8_t*>(data) + size);
    };
    stbi_write_png_to_func(append, &png, width, height, channels, pixels.data(), width * channels);
    return png;
}

// The start-of-frame marker of a JPEG: 0xC0 baseline, 0xC2 progressive.
int frameMarker(const Bytes& jpeg) {
    for (std::size_t i = 2; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] >= 0xC0 && jpeg[i + 1] <= 0xC2)) {
            return jpeg[i + 1];
        }
    }
    return -1;
}

class PictureConversionTest : public ::testing::Test {
  protected:
    // A private temporary folder, so that scratch folders are counted there.
    PictureConversionTest()
        : scratch_(folder_.path() / "tmp"), temp_((fs::create_directories(scratch_), scratch_)) {}

    fs::path write(const std::string& name, const Bytes& bytes) {
        const fs::path file = folder_.path() / name;
        test_support::writeFile(file, bytes);
        return file;
    }

    tourpack::Manifest manifestWith(const std::vector<fs::path>& scenes,
                                    const fs::path& picture = {}) {
        tourpack::Manifest manifest;
        manifest.file = folder_.path() / "tour.json";
        for (const fs::path& scene : scenes) {
            manifest.scenes.push_back({"Scene", 0, 0, 100, scene, {}, {}, {}});
        }
        manifest.infoPicture = picture;
        return manifest;
    }

    // Folders tourpack made in the temporary folder (named tourpack-*).
    int scratchFolders() const {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(scratch_)) {
            count += entry.path().filename().string().rfind("tourpack-", 0) == 0;
        }
        return count;
    }

    test_support::TempFolder folder_;
    fs::path scratch_;
    test_support::ScopedTempDirectory temp_;
};

TEST_F(PictureConversionTest, TransparencyIsFlattenedOverBlack) {
    const fs::path file = write("half.png", pngPicture(4, 2, 4, {200, 100, 50, 128}));
    ASSERT_EQ(tourpack::pictureKindOf(file), tourpack::FileKind::png);
    const tourpack::RgbPicture picture = tourpack::decodePicture(file, tourpack::FileKind::png);
    ASSERT_EQ(picture.size.width, 4);
    ASSERT_EQ(picture.size.height, 2);
    ASSERT_EQ(picture.pixels.size(), 4u * 2u * 3u);
    EXPECT_EQ(picture.pixels[0], 100);  // 200 * 128 / 255
    EXPECT_EQ(picture.pixels[1], 50);
    EXPECT_EQ(picture.pixels[2], 25);
}

TEST_F(PictureConversionTest, ReductionKeepsTheShapeAndTheColourAndWrapsAround) {
    // Left half dark, right half light: wrapping blends the outer columns
    // with each other, clamping would keep them pure.
    tourpack::RgbPicture picture{{400, 200}, {}};
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 400; ++x) {
            const std::uint8_t level = x < 200 ? 20 : 220;
            picture.pixels.insert(picture.pixels.end(), {level, level, level});
        }
    }
    const tourpack::RgbPicture reduced = tourpack::reducePicture(picture, 100);
    EXPECT_EQ(reduced.size.width, 100);
    EXPECT_EQ(reduced.size.height, 50);
    const auto at = [&](int x, int y) { return reduced.pixels[(y * 100 + x) * 3]; };
    EXPECT_NEAR(at(25, 25), 20, 2);
    EXPECT_NEAR(at(75, 25), 220, 2);
    EXPECT_GT(at(0, 25), 30) << "the left edge takes in the right one";
    EXPECT_LT(at(99, 25), 210) << "the right edge takes in the left one";
}

TEST_F(PictureConversionTest, EncodesBaselineJpegThatDecodesToTheSameSize) {
    tourpack::RgbPicture picture{{64, 32}, std::vector<std::uint8_t>(64 * 32 * 3, 90)};
    const Bytes jpeg = tourpack::encodeJpeg(picture, 90);
    EXPECT_EQ(frameMarker(jpeg), 0xC0);
    const fs::path file = write("out.jpg", jpeg);
    const tourpack::PictureSize size = tourpack::probePicture(file, tourpack::FileKind::jpeg);
    EXPECT_EQ(size.width, 64);
    EXPECT_EQ(size.height, 32);
    const tourpack::RgbPicture back = tourpack::decodePicture(file, tourpack::FileKind::jpeg);
    EXPECT_NEAR(back.pixels[3 * 500], 90, 2);
    // A lower quality gives a smaller file of the same picture.
    EXPECT_LT(tourpack::encodeJpeg(picture, 20).size(), jpeg.size());
}

TEST_F(PictureConversionTest, PreparationConvertsReducesWarnsAndKeepsPlayerPictures) {
    const fs::path png = write("lake.png", pngPicture(100, 50, 4, {10, 200, 10, 255}));
    const fs::path wide = write("wide.png", pngPicture(300, 100, 3, {1, 2, 3}));
    const fs::path kept = write("kept.bmp", test_support::bmpPicture(64, 32, 1, 2, 3));
    const fs::path author = write("author.tga", {});
    {
        // A TGA written by hand: 2 x 1, uncompressed true colour, blue pixels.
        std::ofstream out(author, std::ios::binary);
        const char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0x20};
        out.write(header, sizeof header);
        out.write("\xFF\0\0\xFF\0\0", 6);
    }
    const int before = scratchFolders();
    std::vector<std::string> warnings;
    {
        tourpack::PreparedPictures prepared;
        std::vector<std::string> done;  // as each picture is done
        const tourpack::ConversionOptions options{
            80, 150, [&done](const std::string& line) { done.push_back(line); }};
        tourpack::preparePictures(manifestWith({png, wide, kept, png}, author), options, prepared,
                                  warnings);
        ASSERT_EQ(done.size(), 4u) << "one line a picture, none for the one used twice";
        EXPECT_EQ(done[0], prepared.notices()[0]);
        EXPECT_NE(done[2].find("scenes[3].image: "), std::string::npos) << done[2];
        EXPECT_NE(done[2].find(", stored as it is"), std::string::npos) << done[2];
        const tourpack::Manifest& manifest = prepared.manifest();
        EXPECT_EQ(manifest.scenes[2].image, kept);
        EXPECT_EQ(manifest.scenes[0].image, manifest.scenes[3].image) << "converted once";
        for (const fs::path& converted :
             {manifest.scenes[0].image, manifest.scenes[1].image, manifest.infoPicture}) {
            EXPECT_EQ(tourpack::pictureKindOf(converted), tourpack::FileKind::jpeg) << converted;
        }
        const auto reduced =
            tourpack::probePicture(manifest.scenes[1].image, tourpack::FileKind::jpeg);
        EXPECT_EQ(reduced.width, 150);
        EXPECT_EQ(reduced.height, 50);
        ASSERT_EQ(prepared.notices().size(), 3u);
        EXPECT_EQ(prepared.notices()[0],
                  "scenes[1].image: lake.png, a PNG picture of 100 x 50, stored as JPEG "
                  "(quality 80)");
        EXPECT_NE(prepared.notices()[1].find("300 x 100, reduced to 150 x 50 (Mitchell filter)"),
                  std::string::npos)
            << prepared.notices()[1];
        EXPECT_NE(prepared.notices()[2].find("info.picture: author.tga, a TGA picture of 2 x 1"),
                  std::string::npos)
            << prepared.notices()[2];
        EXPECT_EQ(scratchFolders(), before + 1);
    }
    EXPECT_EQ(scratchFolders(), before) << "converted pictures are removed after the build";
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("'scenes[2].image': wide.png: 300 x 100 is not twice as wide"),
              std::string::npos)
        << warnings[0];
}

TEST_F(PictureConversionTest, UnreadablePicturesAreNamedWithTheirField) {
    const fs::path good = write("good.png", pngPicture(20, 10, 3, {5, 5, 5}));
    Bytes truncated = pngPicture(64, 32, 3, {1, 2, 3});
    truncated.resize(truncated.size() / 2);
    const fs::path cut = write("cut.png", truncated);
    const fs::path text = write("text.jpg", Bytes{'h', 'e', 'l', 'l', 'o'});
    Bytes halfJpeg =
        tourpack::encodeJpeg({{64, 32}, std::vector<std::uint8_t>(64 * 32 * 3, 7)}, 90);
    halfJpeg.resize(halfJpeg.size() / 2);
    const fs::path cutJpeg = write("cut.jpg", halfJpeg);
    const fs::path fakePng = write("fake.png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    const auto errorFor = [&](const tourpack::Manifest& manifest) -> std::string {
        const int before = scratchFolders();
        try {
            tourpack::PreparedPictures prepared;
            std::vector<std::string> warnings;
            tourpack::preparePictures(manifest, {}, prepared, warnings);
        } catch (const tourpack::TourpackError& error) {
            EXPECT_EQ(scratchFolders(), before) << "a failed preparation leaves nothing";
            return error.what();
        }
        return "";
    };
    std::string error = errorFor(manifestWith({good, cut}));
    EXPECT_NE(error.find("field 'scenes[2].image'"), std::string::npos) << error;
    EXPECT_NE(error.find("cut.png: is truncated or corrupt"), std::string::npos) << error;
    error = errorFor(manifestWith({cutJpeg}));
    EXPECT_NE(error.find("cut.jpg: is truncated or corrupt"), std::string::npos)
        << "a picture the player takes as it is is checked too: " << error;
    error = errorFor(manifestWith({text}));
    EXPECT_NE(error.find("text.jpg is not a JPEG, GIF, BMP, PNG, TGA or TIFF picture"),
              std::string::npos)
        << error;
    error = errorFor(manifestWith({good}, fakePng));
    EXPECT_NE(error.find("field 'info.picture'"), std::string::npos) << error;
    EXPECT_NE(error.find("fake.png: is not a picture that can be read"), std::string::npos)
        << error;
    error = errorFor(manifestWith({folder_.path() / "missing.png"}));
    EXPECT_NE(error.find("missing.png does not exist"), std::string::npos) << error;
}

TEST_F(PictureConversionTest, ReadingThroughFindsWhatOnlyTheWholePictureShows) {
    // A PNG cut right after its header chunk: the header gives a size, the
    // pixels are missing; build refuses it, so new must not list it.
    Bytes headerOnly = pngPicture(32, 32, 3, {1, 2, 3});
    headerOnly.resize(8 + 25);  // the signature and the IHDR chunk
    const fs::path cut = write("header-only.png", headerOnly);
    EXPECT_EQ(tourpack::probePicture(cut, tourpack::FileKind::png).width, 32);
    try {
        tourpack::readPictureThrough(cut);
        ADD_FAILURE() << "a picture without its pixels was read through";
    } catch (const tourpack::TourpackError& error) {
        EXPECT_NE(std::string(error.what()).find("header-only.png: is truncated or corrupt"),
                  std::string::npos)
            << error.what();
    }
    const fs::path whole = write("whole.png", pngPicture(64, 32, 3, {1, 2, 3}));
    const tourpack::PictureSize size = tourpack::readPictureThrough(whole);
    EXPECT_EQ(size.width, 64);
    EXPECT_EQ(size.height, 32);
}

TEST_F(PictureConversionTest, TiffIsReadOrRefusedByName) {
    // A little-endian TIFF header with no picture directory behind it.
    const fs::path file = write("scan.tif", Bytes{'I', 'I', 42, 0, 8, 0, 0, 0});
    ASSERT_EQ(tourpack::pictureKindOf(file), tourpack::FileKind::tiff);
    try {
        tourpack::decodePicture(file, tourpack::FileKind::tiff);
        FAIL() << "a TIFF without a picture was decoded";
    } catch (const tourpack::TourpackError& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find("scan.tif"), std::string::npos) << text;
        if (tourpack::readsTiff()) {
            EXPECT_NE(text.find("is not a TIFF picture that can be read"), std::string::npos)
                << text;
        } else {
            EXPECT_NE(text.find("this build of tourpack does not read TIFF"), std::string::npos)
                << text;
        }
    }
}

}  // namespace

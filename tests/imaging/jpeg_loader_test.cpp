// The player's own JPEG path behind the picture loader, checked against the
// platform's picture service on the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "imaging/image_geometry.h"
#include "imaging/picture_loader.h"
#include "imaging/scene_decode.h"
#include "imaging/scene_media_manager.h"
#include "platform/com_apartment.h"
#include "platform/picture_decoding.h"
#include "platform/scoped_handle.h"
#include "message_box_watcher.h"
#include "module_path.h"
#include "scratch_files.h"
#include "imaging_material.h"

namespace {

using namespace test_support;

std::string jpegPath(const std::string& name) {
    return besideThisProgram("jpeg-pictures\\") + name;
}

// A 24-bit bottom-up section and what was drawn into it.
struct Drawn : imaging::LoadedBitmap {
    Drawn() = default;
    explicit Drawn(imaging::LoadedBitmap loaded) : LoadedBitmap(std::move(loaded)) {}
    const std::uint8_t* pixels() const { return static_cast<const std::uint8_t*>(bits); }
};

// What the platform's picture service alone makes of the file: its pixel
// size at the screen's resolution and the picture rendered at that size.
Drawn renderByPlatform(const std::vector<std::uint8_t>& bytes) {
    Drawn drawn;
    platform::ComRef<IPicture> picture = platform::decodePicture(bytes.data(), bytes.size());
    EXPECT_TRUE(picture);
    if (!picture) {
        return drawn;
    }
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    platform::UniqueMemoryDC dc = platform::makeMemoryDC();
    drawn.header.biSize = sizeof(BITMAPINFOHEADER);
    drawn.header.biWidth = MulDiv(width, GetDeviceCaps(dc.get(), LOGPIXELSX), 2540);
    drawn.header.biHeight = MulDiv(height, GetDeviceCaps(dc.get(), LOGPIXELSY), 2540);
    drawn.header.biPlanes = 1;
    drawn.header.biBitCount = 24;
    drawn.header.biCompression = BI_RGB;
    drawn.bitmap.reset(CreateDIBSection(dc.get(), reinterpret_cast<BITMAPINFO*>(&drawn.header),
                                        DIB_RGB_COLORS, &drawn.bits, nullptr, 0));
    EXPECT_NE(drawn.bitmap.get(), nullptr);
    platform::Selection selection(dc.get(), drawn.bitmap.get());
    EXPECT_EQ(picture->Render(dc.get(), 0, 0, drawn.header.biWidth, drawn.header.biHeight, 0,
                              height, width, -height, nullptr),
              S_OK);
    GdiFlush();
    return drawn;
}

int largestDifference(const Drawn& one, const Drawn& other) {
    int largest = 0;
    const std::int32_t stride = imaging::dibStride(one.header.biWidth);
    for (std::int32_t y = 0; y < one.header.biHeight; ++y) {
        for (std::int32_t x = 0; x < one.header.biWidth * 3; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * stride + x;
            largest = std::max(largest, std::abs(one.pixels()[at] - other.pixels()[at]));
        }
    }
    return largest;
}

double luma(const Bgr& pixel) {
    return 0.299 * pixel.red + 0.587 * pixel.green + 0.114 * pixel.blue;
}

bool clamped(const Bgr& pixel) {
    const int low = std::min({pixel.blue, pixel.green, pixel.red});
    const int high = std::max({pixel.blue, pixel.green, pixel.red});
    return low <= 1 || high >= 254;
}

// Subsampled colour: the two decoders upsample chroma differently (the
// platform's keeps sharper colour edges), so the colours of single pixels at
// colour edges differ. What both must agree on: each pixel's brightness
// (the luma plane, where no channel is clamped) and the colour of every
// 16 x 16 block.
struct SubsampledDifference {
    double luma = 0;
    double blockMean = 0;
};
SubsampledDifference subsampledDifference(const Drawn& one, const Drawn& other) {
    SubsampledDifference largest;
    const std::int32_t width = one.header.biWidth;
    const std::int32_t height = one.header.biHeight;
    const std::int32_t stride = imaging::dibStride(width);
    for (std::int32_t top = 0; top < height; top += 16) {
        for (std::int32_t left = 0; left < width; left += 16) {
            double sums[3] = {0, 0, 0};
            int count = 0;
            for (std::int32_t y = top; y < std::min(top + 16, height); ++y) {
                for (std::int32_t x = left; x < std::min(left + 16, width); ++x) {
                    const Bgr a = pixelAt(one.pixels(), stride, height, x, y);
                    const Bgr b = pixelAt(other.pixels(), stride, height, x, y);
                    if (!clamped(a) && !clamped(b)) {
                        largest.luma = std::max(largest.luma, std::abs(luma(a) - luma(b)));
                    }
                    sums[0] += a.blue - b.blue;
                    sums[1] += a.green - b.green;
                    sums[2] += a.red - b.red;
                    ++count;
                }
            }
            for (double sum : sums) {
                largest.blockMean = std::max(largest.blockMean, std::abs(sum) / count);
            }
        }
    }
    return largest;
}

class OwnJpegPath : public ::testing::Test {
  protected:
    void SetUp() override { useTestLanguageModule(); }

    void load(const std::string& path) {
        const auto bytes = readFile(path);
        loader.loadFromGlobal(makeBlock(bytes), static_cast<std::int32_t>(bytes.size()));
    }
    Drawn bitmap() {
        Drawn drawn;
        drawn = Drawn(loader.bitmap());
        return drawn;
    }

    platform::ComApartment apartment;
    imaging::PictureLoader loader;
};

struct TakenKind {
    const char* file;
    bool subsampled;
};

TEST_F(OwnJpegPath, EveryKindItTakesGivesThePlatformsSizeAndPixelsWithinThreeLevels) {
    // Run on a high-DPI screen as well, which names its resolution.
    if (const char* dpi = std::getenv("LUMIVUE_SCREEN_DPI")) {
        ASSERT_EQ(GetDeviceCaps(platform::makeMemoryDC().get(), LOGPIXELSX), std::atoi(dpi));
    }
    for (const TakenKind& kind :
         {TakenKind{"baseline-420.jpg", true}, TakenKind{"baseline-422.jpg", true},
          TakenKind{"baseline-444.jpg", false}, TakenKind{"grey.jpg", false},
          TakenKind{"progressive-420.jpg", true}, TakenKind{"progressive-444.jpg", false},
          TakenKind{"progressive-grey.jpg", false}, TakenKind{"tiny.jpg", true},
          TakenKind{"restart-420.jpg", true}, TakenKind{"restart-422.jpg", true},
          TakenKind{"restart-444.jpg", false}, TakenKind{"restart-grey.jpg", false},
          TakenKind{"restart-in-rows.jpg", true}, TakenKind{"large-restart.jpg", true},
          TakenKind{"large-restart-444.jpg", false}, TakenKind{"dense-300dpi.jpg", true}}) {
        const char* name = kind.file;
        SCOPED_TRACE(name);
        load(jpegPath(name));
        EXPECT_TRUE(loader.holdsOwnJpeg());
        const Drawn platform = renderByPlatform(readFile(jpegPath(name)));
        EXPECT_EQ(loader.pixelSize(),
                  (imaging::PixelSize{platform.header.biWidth, platform.header.biHeight}));
        const Drawn own = bitmap();
        ASSERT_NE(own.bitmap.get(), nullptr);
        ASSERT_EQ(own.header.biWidth, platform.header.biWidth);
        ASSERT_EQ(own.header.biHeight, platform.header.biHeight);
        if (kind.subsampled) {
            const SubsampledDifference difference = subsampledDifference(own, platform);
            EXPECT_LE(difference.luma, 3);
            EXPECT_LE(difference.blockMean, 6);
        } else {
            EXPECT_LE(largestDifference(own, platform), 3);
        }
    }
}

TEST_F(OwnJpegPath, DeclinedKindsStillDecodeThroughThePlatform) {
    for (const std::string& path : {jpegPath("arithmetic.jpg"), jpegPath("cmyk.jpg"),
                                    picturePath("corner.gif"), picturePath("corner-24bit.bmp")}) {
        SCOPED_TRACE(path);
        load(path);
        EXPECT_TRUE(loader.holdsPicture());
        EXPECT_FALSE(loader.holdsOwnJpeg());
        const Drawn platform = renderByPlatform(readFile(path));
        const Drawn drawn = bitmap();
        ASSERT_NE(drawn.bitmap.get(), nullptr);
        EXPECT_EQ(drawn.header.biWidth, platform.header.biWidth);
        EXPECT_EQ(largestDifference(drawn, platform), 0);
        Drawn preview;
        preview = Drawn(loader.previewBitmap());
        EXPECT_EQ(preview.bitmap.get(), nullptr);
        EXPECT_EQ(preview.bits, nullptr);
    }
}

// A scene's JPEG is read by its full decode and its preview at once, from one
// block: each loader keeps its share, neither writes to it, and a picture that
// goes to the platform's service gets a copy (its stream would own the block).
TEST_F(OwnJpegPath, ABlockSharedByTwoLoadersDecodesInBothAndOutlivesEach) {
    for (const std::string& path : {jpegPath("large-restart.jpg"), picturePath("corner.gif")}) {
        SCOPED_TRACE(path);
        const auto bytes = readFile(path);
        const auto size = static_cast<std::int32_t>(bytes.size());
        load(path);
        const Drawn alone = bitmap();
        ASSERT_NE(alone.bitmap.get(), nullptr);

        auto shared = std::make_shared<platform::UniqueGlobal>(makeBlock(bytes));
        Drawn previewed;
        std::thread other([&] {
            const platform::ComApartment otherApartment;
            imaging::PictureLoader second;
            second.loadFromSharedBlock(shared, size);
            previewed = Drawn(second.previewBitmap());
        });
        EXPECT_TRUE(loader.loadFromSharedBlock(shared, size));
        const Drawn full = bitmap();
        other.join();
        loader.releasePicture();

        ASSERT_NE(full.bitmap.get(), nullptr);
        EXPECT_EQ(largestDifference(full, alone), 0);
        EXPECT_EQ(previewed.bitmap.get() != nullptr, path.ends_with(".jpg"));
        EXPECT_EQ(shared.use_count(), 1);
        const auto* kept = static_cast<const std::uint8_t*>(GlobalLock(shared->get()));
        ASSERT_NE(kept, nullptr);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), kept));
        GlobalUnlock(shared->get());
    }
}

// A first look whose header claims a picture larger than any first look
// (damage, or a foreign writer's preview) is passed over at once: no section
// of that size is tried, and no warning asks about it.
TEST_F(OwnJpegPath, AFirstLookLargerThanAnyPreviewIsPassedOverWithoutAWarning) {
    std::vector<std::uint8_t> bytes = readFile(jpegPath("baseline-444.jpg"));
    const auto decodeLook = [&](int eighths) {
        return imaging::decodePreviewImage(
            loader, std::make_shared<platform::UniqueGlobal>(makeBlock(bytes)),
            static_cast<std::int32_t>(bytes.size()), 7, eighths);
    };
    const auto whole = decodeLook(imaging::jpeg::wholeSize);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->header()->biWidth, 333);

    const std::uint8_t frameMarker[] = {0xFF, 0xC0};
    const auto frame =
        std::search(bytes.begin(), bytes.end(), std::begin(frameMarker), std::end(frameMarker));
    ASSERT_NE(frame, bytes.end());
    // After the marker, its length and the precision: 60000 rows of 65000.
    const auto at = static_cast<std::size_t>(frame - bytes.begin()) + 5;
    bytes[at] = 0xEA;
    bytes[at + 1] = 0x60;
    bytes[at + 2] = 0xFD;
    bytes[at + 3] = 0xE8;
    const MessageBoxWatcher boxes(MessageBoxWatcher::anyCaption, IDOK);
    EXPECT_EQ(decodeLook(imaging::jpeg::wholeSize), nullptr);
    EXPECT_EQ(decodeLook(1), nullptr);  // an eighth of it, 8125 wide, is still too large
    EXPECT_EQ(boxes.answered(), 0);
}

TEST_F(OwnJpegPath, PreviewIsAnEighthWhosePixelsAverageTheirBlocks) {
    load(jpegPath("baseline-444.jpg"));
    const Drawn full = bitmap();
    Drawn preview;
    preview = Drawn(loader.previewBitmap());
    ASSERT_NE(preview.bitmap.get(), nullptr);
    EXPECT_EQ(preview.header.biWidth, 42);  // 333 / 8, rounded up
    EXPECT_EQ(preview.header.biHeight, 32);
    EXPECT_EQ(preview.header.biBitCount, 24);
    // Whole blocks only: the picture's last column and row of blocks are cut.
    for (int y = 0; y < 31; ++y) {
        for (int x = 0; x < 41; ++x) {
            int sum[3] = {0, 0, 0};
            for (int dy = 0; dy < 8; ++dy) {
                for (int dx = 0; dx < 8; ++dx) {
                    const Bgr pixel = pixelAt(full.pixels(), imaging::dibStride(333), 251,
                                              x * 8 + dx, y * 8 + dy);
                    sum[0] += pixel.blue;
                    sum[1] += pixel.green;
                    sum[2] += pixel.red;
                }
            }
            const Bgr small = pixelAt(preview.pixels(), imaging::dibStride(42), 32, x, y);
            ASSERT_NEAR(small.blue, sum[0] / 64.0, 6) << x << "," << y;
            ASSERT_NEAR(small.green, sum[1] / 64.0, 6) << x << "," << y;
            ASSERT_NEAR(small.red, sum[2] / 64.0, 6) << x << "," << y;
        }
    }
}

TEST_F(OwnJpegPath, ReducedModeDecodesSmallerAndStretchesToTheTarget) {
    load(jpegPath("baseline-420.jpg"));
    Drawn reduced;
    reduced = Drawn(loader.scaledBitmap(100, 0));
    ASSERT_NE(reduced.bitmap.get(), nullptr);
    EXPECT_EQ(reduced.header.biWidth, 100);
    EXPECT_EQ(reduced.header.biHeight, 75);  // 251 * 100 / 333, truncated
    // The stretched picture keeps the green block at (40..120, 41..90).
    const Bgr green = pixelAt(reduced.pixels(), imaging::dibStride(100), 75, 24, 19);
    EXPECT_LT(green.blue, 40);
    EXPECT_GT(green.green, 150);
    EXPECT_LT(green.red, 40);
    // A target that is an exact DCT scale is decoded straight at it.
    Drawn half;
    half = Drawn(loader.scaledBitmap(167, 126));
    ASSERT_NE(half.bitmap.get(), nullptr);
    EXPECT_EQ(half.header.biWidth, 167);
}

TEST_F(OwnJpegPath, AJpegThatFailsPastItsHeaderGetsTheDecodePrompt) {
    imaging::SceneMediaManager manager;
    const auto bytes = readFile(jpegPath("no-tables.jpg"));
    MessageBoxWatcher answerer(decodeCaption, IDYES);
    const auto image = manager.loadImageFromGlobalWithNextId(
        makeBlock(bytes), static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(answerer.answered(), 1);
    EXPECT_EQ(answerer.lastText(), decodeText);
    EXPECT_TRUE(image->isNull());
    EXPECT_FALSE(manager.loader().holdsPicture());
}

TEST_F(OwnJpegPath, ARaisedCancelFlagGivesNoBitmapAndNoPrompt) {
    MessageBoxWatcher answerer(MessageBoxWatcher::anyCaption, IDYES);
    std::atomic<bool> cancel{true};
    loader.setCancelFlag(&cancel);
    load(jpegPath("large-restart.jpg"));
    ASSERT_TRUE(loader.holdsOwnJpeg());
    EXPECT_EQ(bitmap().bitmap.get(), nullptr);
    Drawn reduced;
    reduced = Drawn(loader.scaledBitmap(300, 0));
    EXPECT_EQ(reduced.bitmap.get(), nullptr);
    EXPECT_EQ(reduced.bits, nullptr);
    EXPECT_TRUE(loader.holdsOwnJpeg());  // nothing was handed to the platform
    cancel = false;
    EXPECT_NE(bitmap().bitmap.get(), nullptr);
    EXPECT_EQ(answerer.answered(), 0);
}

TEST_F(OwnJpegPath, TheReducedModeOfAJpegThatFailsAsksAsTheFullModeDoes) {
    MessageBoxWatcher answerer(decodeCaption, IDYES);
    load(jpegPath("no-tables.jpg"));
    ASSERT_TRUE(loader.holdsOwnJpeg());
    Drawn reduced;
    reduced = Drawn(loader.scaledBitmap(100, 0));
    EXPECT_EQ(reduced.bitmap.get(), nullptr);
    EXPECT_EQ(answerer.answered(), 1);
    EXPECT_FALSE(loader.holdsPicture());
}

}  // namespace

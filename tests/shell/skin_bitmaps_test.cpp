// The skin set's bitmaps: which image lands in which slot, the files going
// away, and images that are missing or do not decode.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <cstdint>
#include <string>
#include <vector>

#include "package/skin_set.h"
#include "platform/bitmap_enlarging.h"
#include "platform/scoped_handle.h"
#include "tour_source.h"

namespace {

namespace fs = std::filesystem;

int widthOf(package::SkinBitmap bitmap) {
    BITMAP info{};
    return GetObjectA(bitmap, sizeof info, &info) != 0 ? info.bmWidth : -1;
}

class SkinBitmapsTest : public ::testing::Test {
  protected:
    // Slot k holds a picture 10 + k pixels wide, so each bitmap tells its slot.
    fs::path writeImage(int slot) {
        const fs::path path = folder_.path() / ("QRZskin" + std::to_string(slot) + ".tmp");
        test_support::writeFile(path, test_support::bmpPicture(10 + slot, 4, 30, 60, 90));
        return path;
    }

    test_support::TempFolder folder_;
};

TEST_F(SkinBitmapsTest, EachSlotBecomesItsBitmapAndEveryFileIsDeleted) {
    package::SkinSet skin;
    for (int slot = 0; slot < package::SkinSet::imageCount; ++slot) {
        skin.setImagePath(slot, writeImage(slot).string().c_str());
    }
    skin.loadBitmaps();
    for (int control = 0; control < package::SkinSet::controlCount; ++control) {
        EXPECT_EQ(widthOf(skin.normalImage(control)), 10 + 2 * control) << control;
        EXPECT_EQ(widthOf(skin.activeImage(control)), 10 + 2 * control + 1) << control;
    }
    EXPECT_EQ(widthOf(skin.activeImage(3)), 10 + 7);
    EXPECT_EQ(widthOf(skin.extraImage22()), 10 + 22);
    EXPECT_EQ(widthOf(skin.extraImage23()), 10 + 23);
    EXPECT_EQ(widthOf(skin.extraImage24()), 10 + 24);
    EXPECT_EQ(widthOf(skin.extraImage25()), 10 + 25);
    for (int slot = 0; slot < package::SkinSet::imageCount; ++slot) {
        EXPECT_FALSE(fs::exists(skin.imagePath(slot))) << slot;
    }
}

TEST_F(SkinBitmapsTest, MissingAndUndecodableImagesLeaveTheirSlotsEmpty) {
    package::SkinSet skin;
    for (int slot = 0; slot < package::SkinSet::imageCount; ++slot) {
        skin.setImagePath(slot, writeImage(slot).string().c_str());
    }
    fs::remove(skin.imagePath(4));
    test_support::writeFile(skin.imagePath(24), test_support::Bytes(300, 0x5A));
    test_support::writeFile(skin.imagePath(25), {});
    skin.loadBitmaps();
    EXPECT_EQ(skin.normalImage(2), nullptr);
    EXPECT_EQ(skin.extraImage24(), nullptr);
    EXPECT_EQ(skin.extraImage25(), nullptr);
    EXPECT_EQ(widthOf(skin.activeImage(2)), 15);
    EXPECT_FALSE(fs::exists(skin.imagePath(24)));
}

TEST_F(SkinBitmapsTest, TheSkinSetDeletesItsBitmaps) {
    package::SkinBitmap kept = nullptr;
    {
        package::SkinSet skin;
        skin.setImagePath(23, writeImage(23).string().c_str());
        skin.loadBitmaps();
        kept = skin.extraImage23();
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(widthOf(kept), 33);
    }
    EXPECT_EQ(GetObjectType(kept), 0u);
}

// Rows of 32-bit pixels from the top, as the screen reads the bitmap.
std::vector<std::uint32_t> pixelsOf(HBITMAP bitmap, int width, int height) {
    BITMAPINFO info = platform::topDownRgb32Info(width, height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    const platform::WindowDC screen(nullptr);
    EXPECT_EQ(GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &info,
                        DIB_RGB_COLORS),
              height);
    for (std::uint32_t& pixel : pixels) {
        pixel &= 0xFFFFFF;
    }
    return pixels;
}

TEST(BitmapEnlargingTest, EveryPixelBecomesASquareOfItsColour) {
    // 5 x 3 pixels, each its own colour, bottom-up as the picture service makes them.
    constexpr int width = 5;
    constexpr int height = 3;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    const platform::UniqueBitmap natural(
        CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(natural);
    auto* bytes = static_cast<std::uint8_t*>(bits);
    for (int i = 0; i < 16 * height; ++i) {
        bytes[i] = static_cast<std::uint8_t>(37 * i + 11);
    }
    const std::vector<std::uint32_t> small = pixelsOf(natural.get(), width, height);
    for (const int factor : {1, 2, 3}) {
        const platform::UniqueBitmap large = platform::enlargeBitmap(natural.get(), factor);
        ASSERT_TRUE(large) << factor;
        EXPECT_EQ(widthOf(large.get()), width * factor);
        const std::vector<std::uint32_t> enlarged =
            pixelsOf(large.get(), width * factor, height * factor);
        for (int y = 0; y < height * factor; ++y) {
            for (int x = 0; x < width * factor; ++x) {
                ASSERT_EQ(enlarged[static_cast<std::size_t>(y * width * factor + x)],
                          small[static_cast<std::size_t>(y / factor * width + x / factor)])
                    << "factor " << factor << " at " << x << "," << y;
            }
        }
    }
    EXPECT_FALSE(platform::enlargeBitmap(natural.get(), 0));
    EXPECT_FALSE(platform::enlargeBitmap(nullptr, 2));
}

TEST_F(SkinBitmapsTest, EnlargingTheSetEnlargesEverySlotAndKeepsEmptySlotsEmpty) {
    package::SkinSet skin;
    for (int slot = 0; slot < package::SkinSet::imageCount; ++slot) {
        skin.setImagePath(slot, writeImage(slot).string().c_str());
    }
    fs::remove(skin.imagePath(4));
    skin.loadBitmaps();
    const package::SkinBitmap before = skin.extraImage24();
    skin.enlargeBitmaps(1);
    EXPECT_EQ(skin.extraImage24(), before);
    skin.enlargeBitmaps(2);
    EXPECT_EQ(skin.normalImage(2), nullptr);
    EXPECT_EQ(widthOf(skin.normalImage(0)), 2 * 10);
    EXPECT_EQ(widthOf(skin.activeImage(3)), 2 * (10 + 7));
    EXPECT_EQ(widthOf(skin.extraImage25()), 2 * (10 + 25));
    // The natural bitmap was let go of.
    BITMAP gone{};
    EXPECT_EQ(GetObjectA(before, sizeof gone, &gone), 0);
}

}  // namespace

// The skin set's bitmaps: which image lands in which slot, the files going
// away, and images that are missing or do not decode.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "package/skin_set.h"
#include "tour_source.h"

namespace {

namespace fs = std::filesystem;

int widthOf(SkinBitmap bitmap) {
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
    SkinSet skin;
    for (int slot = 0; slot < SkinSet::imageCount; ++slot) {
        skin.setImagePath(slot, writeImage(slot).string().c_str());
    }
    skin.loadBitmaps();
    for (int control = 0; control < SkinSet::controlCount; ++control) {
        EXPECT_EQ(widthOf(skin.normalImage(control)), 10 + 2 * control) << control;
        EXPECT_EQ(widthOf(skin.activeImage(control)), 10 + 2 * control + 1) << control;
    }
    EXPECT_EQ(widthOf(skin.activeImage(3)), 10 + 7);
    EXPECT_EQ(widthOf(skin.extraImage22()), 10 + 22);
    EXPECT_EQ(widthOf(skin.extraImage23()), 10 + 23);
    EXPECT_EQ(widthOf(skin.extraImage24()), 10 + 24);
    EXPECT_EQ(widthOf(skin.extraImage25()), 10 + 25);
    for (int slot = 0; slot < SkinSet::imageCount; ++slot) {
        EXPECT_FALSE(fs::exists(skin.imagePath(slot))) << slot;
    }
}

TEST_F(SkinBitmapsTest, MissingAndUndecodableImagesLeaveTheirSlotsEmpty) {
    SkinSet skin;
    for (int slot = 0; slot < SkinSet::imageCount; ++slot) {
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
    SkinBitmap kept = nullptr;
    {
        SkinSet skin;
        skin.setImagePath(23, writeImage(23).string().c_str());
        skin.loadBitmaps();
        kept = skin.extraImage23();
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(widthOf(kept), 33);
    }
    EXPECT_EQ(GetObjectType(kept), 0u);
}

}  // namespace

// The owner of a decoded picture and its bitmap, as the shell keeps its
// language pictures and the author's photo.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "platform/com_apartment.h"
#include "platform/picture_decoding.h"
#include "tour_source.h"

namespace {

bool isBitmap(HBITMAP bitmap) {
    BITMAP info{};
    return bitmap != nullptr && GetObjectA(bitmap, sizeof info, &info) != 0;
}

platform::PictureBitmap decodedBmp(int width, int height) {
    const test_support::Bytes bytes = test_support::bmpPicture(width, height, 10, 200, 30);
    return platform::PictureBitmap(platform::decodePicture(bytes.data(), bytes.size()));
}

TEST(PictureBitmapTest, TheBitmapLivesWhileOneOwnerHoldsItThroughMoves) {
    const platform::ComApartment apartment;
    platform::PictureBitmap first = decodedBmp(6, 4);
    ASSERT_TRUE(first);
    const HBITMAP bitmap = first.bitmap();
    BITMAP info{};
    ASSERT_NE(GetObjectA(bitmap, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 6);
    EXPECT_EQ(info.bmHeight, 4);

    platform::PictureBitmap second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(first.bitmap(), nullptr);
    EXPECT_EQ(second.bitmap(), bitmap);
    first.reset();  // an empty owner releases nothing
    EXPECT_TRUE(isBitmap(bitmap));

    // Moved over a held picture: that picture and its bitmap go, this one stays.
    platform::PictureBitmap third = decodedBmp(3, 3);
    const HBITMAP replaced = third.bitmap();
    ASSERT_TRUE(isBitmap(replaced));
    third = std::move(second);
    EXPECT_FALSE(isBitmap(replaced));
    EXPECT_EQ(third.bitmap(), bitmap);
    EXPECT_TRUE(isBitmap(bitmap));

    third.reset();
    EXPECT_FALSE(third);
    EXPECT_FALSE(isBitmap(bitmap));
}

TEST(PictureBitmapTest, APictureThatDoesNotDecodeGivesAnEmptyOwner) {
    const platform::ComApartment apartment;
    const test_support::Bytes corrupt(64, 0x33);
    const platform::PictureBitmap picture(platform::decodePicture(corrupt.data(), corrupt.size()));
    EXPECT_FALSE(picture);
    EXPECT_EQ(picture.bitmap(), nullptr);
    EXPECT_FALSE(platform::PictureBitmap(platform::ComRef<IPicture>()));
}

}  // namespace

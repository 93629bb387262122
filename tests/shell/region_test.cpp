// Window regions made from bitmaps with a key colour.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "platform/bitmap_enlarging.h"
#include "platform/scoped_handle.h"
#include "shell/shell.h"

namespace {

// A top-down 32-bit bitmap filled by `colour(x, y)`.
template <typename Colour>
platform::UniqueBitmap makeBitmap(int width, int height, Colour colour) {
    BITMAPINFO info = platform::topDownRgb32Info(width, height);
    void* bits = nullptr;
    platform::UniqueBitmap bitmap(
        CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = colour(x, y);
            pixels[y * width + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    }
    return bitmap;
}

RECT boxOf(HRGN region) {
    RECT box{};
    GetRgnBox(region, &box);
    return box;
}

TEST(RegionFromBitmapTest, KeyPixelsAreCutAwayWithTheirTolerance) {
    // A 20 x 10 picture: black corners of 3 x 3, a near-black (16) column at
    // x 10, and grey 17 (kept) at x 11.
    const platform::UniqueBitmap bitmap = makeBitmap(20, 10, [](int x, int y) -> COLORREF {
        const bool corner = (x < 3 || x >= 17) && (y < 3 || y >= 7);
        if (corner) {
            return RGB(0, 0, 0);
        }
        if (x == 10) {
            return RGB(16, 16, 16);
        }
        if (x == 11) {
            return RGB(17, 0, 0);
        }
        return RGB(120, 130, 140);
    });
    const platform::UniqueRegion made(shell::regionFromBitmap(bitmap.get(), RGB(0, 0, 0)));
    const HRGN region = made.get();
    ASSERT_NE(region, nullptr);
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    EXPECT_FALSE(PtInRegion(region, 19, 9));
    EXPECT_TRUE(PtInRegion(region, 3, 0));
    EXPECT_TRUE(PtInRegion(region, 0, 3));
    EXPECT_FALSE(PtInRegion(region, 10, 5));
    EXPECT_TRUE(PtInRegion(region, 11, 5));
    const RECT box = boxOf(region);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 20);
    EXPECT_EQ(box.bottom, 10);
}

TEST(RegionFromBitmapTest, AllKeyIsEmptyAndNoKeyIsTheWholeRectangle) {
    RECT box{};
    {
        const platform::UniqueBitmap black =
            makeBitmap(30, 8, [](int, int) { return RGB(3, 2, 1); });
        const platform::UniqueRegion made(shell::regionFromBitmap(black.get(), RGB(0, 0, 0)));
        const HRGN none = made.get();
        ASSERT_NE(none, nullptr);
        EXPECT_EQ(GetRgnBox(none, &box), NULLREGION);
    }

    const platform::UniqueBitmap white =
        makeBitmap(30, 8, [](int, int) { return RGB(250, 250, 250); });
    {
        const platform::UniqueRegion made(shell::regionFromBitmap(white.get(), RGB(0, 0, 0)));
        const HRGN all = made.get();
        EXPECT_EQ(GetRgnBox(all, &box), SIMPLEREGION);
        EXPECT_EQ(box.right, 30);
        EXPECT_EQ(box.bottom, 8);
    }
    {
        // The white key cuts it all away.
        const platform::UniqueRegion made(shell::regionFromBitmap(white.get(), RGB(255, 255, 255)));
        const HRGN cut = made.get();
        EXPECT_EQ(GetRgnBox(cut, &box), NULLREGION);
    }
    EXPECT_FALSE(shell::regionFromBitmap(nullptr, RGB(0, 0, 0)));
}

TEST(RegionFromBitmapTest, MoreThan3000RunsMakeOneCombinedRegion) {
    // A checkerboard: 100 runs a row, 45 rows, 4500 runs; no two rows alike, so
    // the region keeps every one.
    const platform::UniqueBitmap stripes = makeBitmap(
        200, 45, [](int x, int y) { return (x + y) % 2 ? RGB(200, 0, 0) : RGB(0, 0, 0); });
    const platform::UniqueRegion made(shell::regionFromBitmap(stripes.get(), RGB(0, 0, 0)));
    const HRGN region = made.get();
    ASSERT_NE(region, nullptr);
    EXPECT_TRUE(PtInRegion(region, 1, 0));
    EXPECT_FALSE(PtInRegion(region, 2, 0));
    EXPECT_TRUE(PtInRegion(region, 199, 44));  // in the second batch
    EXPECT_FALSE(PtInRegion(region, 198, 44));
    const DWORD size = GetRegionData(region, 0, nullptr);
    std::vector<BYTE> data(size);
    GetRegionData(region, size, reinterpret_cast<RGNDATA*>(data.data()));
    EXPECT_EQ(reinterpret_cast<RGNDATA*>(data.data())->rdh.nCount, 4500u);
}

}  // namespace

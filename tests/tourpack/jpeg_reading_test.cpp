// What tourpack reads from a JPEG's markers, and a camera's orientation tag
// applied to the pixels.
#include <gtest/gtest.h>

#include "pictures/jpeg_reading.h"

namespace {

using tourpack::PictureSize;

// A 3 x 2 picture whose pixels are numbered 1 to 6 along its rows (each
// number in all three channels):  1 2 3 / 4 5 6.
std::vector<std::uint8_t> numbered() {
    std::vector<std::uint8_t> pixels;
    for (std::uint8_t n = 1; n <= 6; ++n) {
        pixels.insert(pixels.end(), {n, n, n});
    }
    return pixels;
}

std::vector<int> turned(int orientation, PictureSize& size) {
    size = {3, 2};
    const std::vector<std::uint8_t> pixels = tourpack::orientUpright(numbered(), size, orientation);
    std::vector<int> numbers;
    for (std::size_t i = 0; i < pixels.size(); i += 3) {
        numbers.push_back(pixels[i]);
    }
    return numbers;
}

TEST(JpegOrientation, EachTagTurnsThePictureUpright) {
    PictureSize size;
    EXPECT_EQ(turned(1, size), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(turned(2, size), (std::vector<int>{3, 2, 1, 6, 5, 4}));
    EXPECT_EQ(turned(3, size), (std::vector<int>{6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(turned(4, size), (std::vector<int>{4, 5, 6, 1, 2, 3}));
    EXPECT_EQ(size.width, 3);
    // A quarter turn: 2 wide, 3 high.
    EXPECT_EQ(turned(5, size), (std::vector<int>{1, 4, 2, 5, 3, 6}));
    EXPECT_EQ(size.width, 2);
    EXPECT_EQ(size.height, 3);
    EXPECT_EQ(turned(6, size), (std::vector<int>{4, 1, 5, 2, 6, 3}));  // clockwise
    EXPECT_EQ(turned(7, size), (std::vector<int>{6, 3, 5, 2, 4, 1}));
    EXPECT_EQ(turned(8, size), (std::vector<int>{3, 6, 2, 5, 1, 4}));  // anticlockwise
}

// SOI, an APP1 segment holding `exif` (when given), then a frame header.
std::vector<std::uint8_t> jpegHead(std::uint8_t frame, std::uint8_t precision,
                                   const std::vector<std::uint8_t>& exif) {
    std::vector<std::uint8_t> bytes = {0xFF, 0xD8};
    if (!exif.empty()) {
        const std::size_t length = exif.size() + 2;
        bytes.insert(bytes.end(), {0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8),
                                   static_cast<std::uint8_t>(length)});
        bytes.insert(bytes.end(), exif.begin(), exif.end());
    }
    bytes.insert(bytes.end(), {0xFF, frame, 0, 11, precision, 0, 40, 0, 80, 1, 1, 0x11, 0});
    return bytes;
}

TEST(JpegFacts, TheFrameAndTheOrientationTagAreRead) {
    // Little-endian EXIF: one directory entry, orientation 8.
    const std::vector<std::uint8_t> exif = {'E', 'x', 'i', 'f', 0, 0,    'I',  'I', 42, 0, 8,
                                            0,   0,   0,   1,   0, 0x12, 0x01, 3,   0,  1, 0,
                                            0,   0,   8,   0,   0, 0,    0,    0,   0,  0};
    const auto portrait = tourpack::readJpegFacts(jpegHead(0xC0, 8, exif));
    ASSERT_TRUE(portrait);
    EXPECT_EQ(portrait->orientation, 8);
    EXPECT_EQ(portrait->stored.width, 80);
    EXPECT_EQ(portrait->upright().width, 40);
    EXPECT_FALSE(portrait->arithmetic());

    const auto arithmetic = tourpack::readJpegFacts(jpegHead(0xC9, 8, {}));
    ASSERT_TRUE(arithmetic);
    EXPECT_TRUE(arithmetic->arithmetic());
    EXPECT_EQ(arithmetic->orientation, 1);
    EXPECT_EQ(arithmetic->kind(), "an arithmetic-coded JPEG");
    EXPECT_EQ(tourpack::readJpegFacts(jpegHead(0xC1, 12, {}))->kind(), "a 12-bit JPEG");
    EXPECT_EQ(tourpack::readJpegFacts(jpegHead(0xC3, 8, {}))->kind(), "a lossless JPEG");

    std::vector<std::uint8_t> cut = jpegHead(0xC0, 8, exif);
    cut.resize(20);  // the APP1 segment runs past the end
    EXPECT_FALSE(tourpack::readJpegFacts(cut));
}

}  // namespace

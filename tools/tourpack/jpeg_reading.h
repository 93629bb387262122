// What a JPEG file is, read from its markers (the frame's coding and sample
// precision, its size, the camera's orientation tag), and the JPEG library's
// decoder for the kinds stb_image does not read (arithmetic coding).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "panorama_shape.h"

namespace tourpack {

struct JpegFacts {
    std::uint8_t frameMarker = 0;  // 0xC0 (baseline) ... 0xCF
    int precision = 8;             // bits a sample
    PictureSize stored;            // as the pixels lie in the file
    int orientation = 1;           // the EXIF orientation tag, 1 to 8 (1: upright)

    bool arithmetic() const { return frameMarker >= 0xC9 && frameMarker != 0xCC; }
    bool lossless() const {
        return frameMarker == 0xC3 || frameMarker == 0xC7 || frameMarker == 0xCB ||
               frameMarker == 0xCF;
    }
    // Orientations 5 to 8 turn the picture by a quarter.
    PictureSize upright() const {
        return orientation >= 5 ? PictureSize{stored.height, stored.width} : stored;
    }
    // For people: "an arithmetic-coded JPEG", "a 12-bit JPEG".
    std::string kind() const;
};

// Nothing when the bytes hold no frame header.
std::optional<JpegFacts> readJpegFacts(std::span<const std::uint8_t> bytes);

// "rotated 90 degrees clockwise" for an orientation tag; "" for 1.
std::string describeOrientation(int orientation);

// Red, green, blue bytes, rows top-down, as stored (not yet turned upright);
// nothing, with `error`, when the library cannot decode the picture.
std::optional<std::vector<std::uint8_t>> decodeJpegWithLibrary(std::span<const std::uint8_t> bytes,
                                                               PictureSize& size,
                                                               std::string& error);

// Turns red, green, blue pixels as the orientation tag says, so that they
// stand upright; `size` becomes the upright size.
std::vector<std::uint8_t> orientUpright(const std::vector<std::uint8_t>& pixels, PictureSize& size,
                                        int orientation);

}  // namespace tourpack

// What a JPEG file is, read from its markers (the frame's coding and sample
// precision, its size, the camera's orientation tag), and the JPEG library's
// decoder for the kinds stb_image does not read (arithmetic coding).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pictures/exif_orientation.h"
#include "pictures/panorama_shape.h"

namespace tourpack {

// What turning a JPEG upright at coefficient level keeps of it. A partial MCU
// on an edge that the turn moves to the left or top would bring the MCU's
// padding into view there, so such an edge is trimmed to whole MCUs.
struct LosslessTurn {
    PictureSize kept;     // the part of the stored picture that is turned
    PictureSize upright;  // its size once upright
    int trimmedLeft = 0;  // pixels, as the picture stands upright
    int trimmedTop = 0;
    // False when the trimmed side is narrower than one MCU: nothing would be left.
    bool possible() const { return kept.width > 0 && kept.height > 0; }
    // "8 pixels trimmed from the left", "" when nothing is trimmed.
    std::string trimmedText() const;
};

// The turn as the orientation tag says of a picture of `stored` size whose
// MCUs are `mcu` pixels.
LosslessTurn losslessTurn(PictureSize stored, PictureSize mcu, int orientation);

struct JpegFacts {
    std::uint8_t frameMarker = 0;  // 0xC0 (baseline) ... 0xCF
    int precision = 8;             // bits a sample
    PictureSize stored;            // as the pixels lie in the file
    PictureSize mcu{8, 8};         // in pixels, from the largest sampling factors
    int orientation = 1;           // the EXIF orientation tag, 1 to 8 (1: upright)

    bool arithmetic() const { return frameMarker >= 0xC9 && frameMarker != 0xCC; }
    bool lossless() const {
        return frameMarker == 0xC3 || frameMarker == 0xC7 || frameMarker == 0xCB ||
               frameMarker == 0xCF;
    }
    PictureSize upright() const {
        return orientationTurn(orientation).transposes ? PictureSize{stored.height, stored.width}
                                                       : stored;
    }
    LosslessTurn turn() const { return losslessTurn(stored, mcu, orientation); }
    // For people: "an arithmetic-coded JPEG", "a 12-bit JPEG".
    std::string kind() const;
};

// Nothing when the bytes hold no frame header.
std::optional<JpegFacts> readJpegFacts(std::span<const std::uint8_t> bytes);

// Sets the orientation tag of an EXIF block (an APP1 segment's data) to 1,
// upright, so that nothing turns the picture again; false when it has none.
bool markExifUpright(std::span<std::uint8_t> exif);

// "rotated 90 degrees clockwise" for an orientation tag; "" for 1.
std::string describeOrientation(int orientation);

// Red, green, blue bytes, rows top-down, as stored (not yet turned upright);
// nothing, with `error`, when the library cannot decode the picture or finds
// its data damaged (see jpegDamage).
std::optional<std::vector<std::uint8_t>> decodeJpegWithLibrary(std::span<const std::uint8_t> bytes,
                                                               PictureSize& size,
                                                               std::string& error);

// What is damaged in the JPEG, in the library's words, when its entropy data
// ends early or does not decode, which libjpeg only warns about (filling in
// what is missing, as the player's decoder does too); nothing when every
// block decodes. Every coded block is read; the pixels are made at an eighth
// of the size, which the check does not need.
std::optional<std::string> jpegDamage(std::span<const std::uint8_t> bytes);

// Turns red, green, blue pixels as the orientation tag says, so that they
// stand upright; `size` becomes the upright size.
std::vector<std::uint8_t> orientUpright(const std::vector<std::uint8_t>& pixels, PictureSize& size,
                                        int orientation);

}  // namespace tourpack

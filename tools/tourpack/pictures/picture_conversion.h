// Pictures the player cannot take as they are (PNG, TGA, TIFF, or too wide)
// turned into baseline JPEG: decoded with stb_image (libtiff for TIFF, where
// the build has it), reduced with stb_image_resize's Mitchell filter and
// encoded with stb_image_write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "pictures/jpeg_reading.h"
#include "pictures/panorama_shape.h"
#include "pictures/picture_format.h"

namespace tourpack {

// The picture format of a file: its first bytes, and the extension for TGA,
// which has no signature.
FileKind pictureKindOf(const std::filesystem::path& file);

// "WebP", "HEIC" or "AVIF" for a file in one of those formats, which
// tourpack does not read; else "".
std::string foreignPictureFormat(const std::filesystem::path& file);

// Whether this build of tourpack reads TIFF pictures.
bool readsTiff();

// What a JPEG needs before the player may take it: arithmetic coding stored
// anew as baseline, a camera's orientation tag applied; both losslessly, at
// coefficient level, where the picture is otherwise kept as it is.
struct JpegTreatment {
    bool arithmetic = false;
    int orientation = 1;  // the EXIF tag; 1 is upright
    LosslessTurn turn;    // what turning it losslessly keeps
    bool needed() const { return arithmetic || orientation != 1; }
};
// Throws TourpackError for a JPEG tourpack does not read (12-bit, lossless).
JpegTreatment jpegTreatment(const std::filesystem::path& file);

// The size from the picture's header, without decoding it; a JPEG's upright
// size, as its orientation tag says and as a lossless turn trims it. Throws
// TourpackError naming the file and what is wrong with it.
PictureSize probePicture(const std::filesystem::path& file, FileKind kind);

// The picture read through as build reads it before storing it: its size as
// probePicture gives it, after the whole picture has decoded. Throws what
// probePicture or decodePicture throws, so that what build would refuse (a
// file cut short after its header, damaged data) is named before a manifest
// lists it.
PictureSize readPictureThrough(const std::filesystem::path& file);

// Blue, green, red bytes, rows bottom-up, each padded to 4 bytes: the layout
// of the player's bitmaps, which the engine reads.
struct BitmapPixels {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;
    std::vector<std::uint8_t> pixels;
};

// Any picture stb_image reads (JPEG, PNG, BMP, GIF, TGA), in that layout;
// nothing, with `error` saying why, when it cannot be read.
std::optional<BitmapPixels> decodeBitmapPixels(const std::uint8_t* bytes, std::size_t size,
                                               std::string& error);

// Red, green, blue bytes, rows top-down, no padding.
struct RgbPicture {
    PictureSize size;
    std::vector<std::uint8_t> pixels;
};

// Decodes the whole picture, 16-bit samples to 8 bits, transparency
// flattened over black and a JPEG turned upright. Throws TourpackError naming the file and the
// fault (truncated, corrupt, a format this build does not read); a JPEG whose
// data the JPEG library finds damaged is refused too (see jpegDamage).
RgbPicture decodePicture(const std::filesystem::path& file, FileKind kind);

// What the filter finds beyond a picture's left and right edges: a
// panorama's edges meet, so the filter wraps around; any other picture's
// edge pixels go on.
enum class PictureEdges { wrapAround, extended };

// Reduces the picture to `width` (its height in proportion).
RgbPicture reducePicture(const RgbPicture& picture, std::int32_t width,
                         PictureEdges edges = PictureEdges::wrapAround);

// A baseline JPEG of the picture at `quality` (1 to 100).
std::vector<std::uint8_t> encodeJpeg(const RgbPicture& picture, int quality);

}  // namespace tourpack

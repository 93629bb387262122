// Pictures tourpack writes for people to look at (render's views), in the
// format the file name's extension asks for.
#pragma once

#include <filesystem>
#include <string>

#include "pictures/picture_conversion.h"

namespace tourpack {

// The extensions this build writes, as a list for messages:
// ".png, .jpg, .jpeg, .bmp, .tif, .tiff" (the TIFF ones only with libtiff).
std::string writablePictureExtensions();

// Throws TourpackError, naming the extensions it can write, when `file`'s
// extension (of any case) names no format this build writes.
void requireWritablePicture(const std::filesystem::path& file);

// The picture in the bitmap layout the engine reads (blue, green, red rows
// bottom-up, padded to 4 bytes).
BitmapPixels bitmapFromRgb(const RgbPicture& picture);

// Writes the picture in the format `file`'s extension names: PNG, BMP and
// TIFF exactly, JPEG at `jpegQuality`. Throws TourpackError naming the file;
// a file that could not be written completely is removed.
void writePicture(const std::filesystem::path& file, const BitmapPixels& picture,
                  int jpegQuality = 90);

}  // namespace tourpack

// BMP files the tests write: pictures for tours and screenshots kept as
// artefacts. Windows-free.
#pragma once

#include <cstdint>
#include <filesystem>

#include "scratch_files.h"

namespace test_support {

// Bytes per row of a 24-bit BMP: three a pixel, padded to four.
inline std::size_t bmpStride(int width) {
    return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
}

// A 24-bit BMP file of `height` rows at `rows`, bottom-up, each of
// bmpStride(width) bytes (blue, green, red a pixel).
Bytes bmpFile(int width, int height, const std::uint8_t* rows);
// Writes it as the whole file; whether all of it was written.
bool writeBmpFile(const fs::path& path, int width, int height, const std::uint8_t* rows);

}  // namespace test_support

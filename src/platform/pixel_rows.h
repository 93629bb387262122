// Rows of 24-bit pixels in memory, three bytes a pixel (blue, green, red),
// as a device-independent bitmap holds them: what the JPEG decoder writes,
// the engine warps from and into, and link markers are drawn from. The memory
// belongs to someone else and must outlive the description.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

template <typename Byte>
struct PixelRows {
    Byte* pixels = nullptr;  // first byte of memory row 0 (a bitmap's bottom row)
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;  // bytes from one memory row to the next

    // Pixels present, a positive size and rows wide enough for their pixels.
    bool usable() const {
        return pixels != nullptr && width > 0 && height > 0 &&
               static_cast<std::int64_t>(stride) >= 3 * static_cast<std::int64_t>(width);
    }
    // The first byte of memory row `row`.
    Byte* row(std::int32_t row) const { return pixels + static_cast<std::ptrdiff_t>(row) * stride; }
};

// Bytes per row of a 24-bit bitmap: three bytes per pixel, padded to four.
constexpr std::int32_t dibStride(std::int32_t width) {
    return ((width * 24 + 31) / 32) * 4;
}

}  // namespace platform

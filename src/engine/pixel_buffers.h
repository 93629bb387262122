// Raw 24-bit pictures as the engine sees them: rows bottom-up, 3 bytes per
// pixel (copied as they stand, never looked inside), a stride between rows.
#pragma once

#include <cstdint>

namespace engine {

// A panorama image owned elsewhere; it must stay valid while it is set.
struct SourceImage {
    const std::uint8_t* pixels = nullptr;  // first byte of memory row 0
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;  // bytes from one row to the next

    // Pixels present, a positive size and rows wide enough for their pixels.
    bool usable() const {
        return pixels != nullptr && width > 0 && height > 0 &&
               static_cast<std::int64_t>(stride) >= 3 * static_cast<std::int64_t>(width);
    }
};

// The view's pixel memory (a device-independent section on Windows).
struct ViewBuffer {
    std::uint8_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;
};

// Bytes per row of a 24-bit bitmap: rows padded to 4 bytes.
inline std::int32_t stride24(std::int32_t width) {
    return ((width * 3 * 8 + 31) / 32) * 4;
}

}  // namespace engine

#include "platform/bitmap_enlarging.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

namespace platform {

BITMAPINFO topDownRgb32Info(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

UniqueBitmap enlargeBitmap(HBITMAP source, int factor) {
    BITMAP size{};
    if (source == nullptr || factor < 1 || GetObjectA(source, sizeof size, &size) == 0) {
        return {};
    }
    const int width = size.bmWidth;
    const int height = size.bmHeight < 0 ? -size.bmHeight : size.bmHeight;
    if (width <= 0 || height <= 0 || width > INT_MAX / 4 / factor || height > INT_MAX / factor) {
        return {};
    }
    // Read as 32-bit rows from the top, whatever the bitmap's own format.
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    BITMAPINFO readInfo = topDownRgb32Info(width, height);
    {
        const WindowDC screen(nullptr);
        if (GetDIBits(screen.get(), source, 0, static_cast<UINT>(height), pixels.data(), &readInfo,
                      DIB_RGB_COLORS) != height) {
            return {};
        }
    }
    const int largeWidth = width * factor;
    const int largeHeight = height * factor;
    BITMAPINFO largeInfo = topDownRgb32Info(largeWidth, largeHeight);
    void* bits = nullptr;
    UniqueBitmap large(CreateDIBSection(nullptr, &largeInfo, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!large || bits == nullptr) {
        return {};
    }
    auto* out = static_cast<std::uint32_t*>(bits);
    const std::size_t largeStride = static_cast<std::size_t>(largeWidth);
    for (int y = 0; y < height; ++y) {
        std::uint32_t* row = out + static_cast<std::size_t>(y) * factor * largeStride;
        const std::uint32_t* from = pixels.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            for (int k = 0; k < factor; ++k) {
                row[static_cast<std::size_t>(x) * factor + k] = from[x];
            }
        }
        for (int k = 1; k < factor; ++k) {
            std::memcpy(row + k * largeStride, row, largeStride * sizeof *row);
        }
    }
    return large;
}

}  // namespace platform

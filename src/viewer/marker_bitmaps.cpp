#include "viewer/marker_bitmaps.h"

#include <cmath>

#include "platform/scoped_handle.h"

namespace viewer {

namespace {

constexpr std::int32_t builtInSize = 24;
// The transparent key of every marker picture, blue, green, red as stored.
constexpr std::uint8_t keyPixel[3] = {0xFF, 0x00, 0xFF};

}  // namespace

MarkerBitmap MarkerBitmap::fromModule(HMODULE module, int id) {
    MarkerBitmap marker;
    if (module == nullptr) {
        return marker;
    }
    const platform::UniqueBitmap bitmap(static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP size{};
    if (!bitmap || GetObjectA(bitmap.get(), sizeof size, &size) == 0 || size.bmWidth <= 0 ||
        size.bmHeight <= 0) {
        return marker;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.bmWidth;
    info.bmiHeader.biHeight = size.bmHeight;  // bottom-up, as the view
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const std::int32_t stride = engine::stride24(size.bmWidth);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * size.bmHeight);
    const platform::UniqueMemoryDC dc = platform::makeMemoryDC();
    if (!dc || GetDIBits(dc.get(), bitmap.get(), 0, static_cast<UINT>(size.bmHeight), pixels.data(),
                         &info, DIB_RGB_COLORS) != size.bmHeight) {
        return marker;
    }
    marker.pixels_ = std::move(pixels);
    marker.width_ = size.bmWidth;
    marker.height_ = size.bmHeight;
    return marker;
}

MarkerBitmap MarkerBitmap::builtIn(bool highlighted) {
    MarkerBitmap marker;
    marker.width_ = builtInSize;
    marker.height_ = builtInSize;
    const std::int32_t stride = engine::stride24(builtInSize);
    marker.pixels_.assign(static_cast<std::size_t>(stride) * builtInSize, 0);
    const double outer = highlighted ? 11.5 : 10.5;
    const double ring = highlighted ? 4.0 : 3.0;
    const double centre = builtInSize / 2.0;
    for (std::int32_t y = 0; y < builtInSize; ++y) {
        for (std::int32_t x = 0; x < builtInSize; ++x) {
            const double r = std::hypot(x + 0.5 - centre, y + 0.5 - centre);
            std::uint8_t* pixel =
                marker.pixels_.data() + static_cast<std::size_t>(y) * stride + 3 * x;
            // Outline, white ring, outline, then the inside.
            const std::uint8_t* colour = keyPixel;
            static constexpr std::uint8_t dark[3] = {24, 18, 16};
            static constexpr std::uint8_t white[3] = {255, 255, 255};
            static constexpr std::uint8_t accent[3] = {232, 182, 64};
            if (r < outer - 1.2 - ring - 1.2) {
                colour = highlighted ? accent : (r < 1.6 ? dark : keyPixel);
            } else if (r < outer - 1.2 - ring) {
                colour = dark;
            } else if (r < outer - 1.2) {
                colour = white;
            } else if (r < outer) {
                colour = dark;
            }
            pixel[0] = colour[0];
            pixel[1] = colour[1];
            pixel[2] = colour[2];
        }
    }
    return marker;
}

engine::MarkerPicture MarkerBitmap::picture() const {
    if (empty()) {
        return engine::MarkerPicture{};
    }
    return engine::MarkerPicture{pixels_.data(), width_,      height_,    engine::stride24(width_),
                                 keyPixel[0],    keyPixel[1], keyPixel[2]};
}

}  // namespace viewer

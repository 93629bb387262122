#include "viewer/marker_bitmaps.h"

#include "platform/scoped_handle.h"

namespace viewer {

namespace {

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
    const std::int32_t stride = platform::dibStride(size.bmWidth);
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
    marker.width_ = engine::builtInMarkerSize;
    marker.height_ = engine::builtInMarkerSize;
    marker.pixels_ = engine::builtInMarkerPixels(highlighted);
    return marker;
}

MarkerBitmap MarkerBitmap::builtInNote(bool highlighted) {
    MarkerBitmap marker;
    marker.width_ = engine::builtInMarkerSize;
    marker.height_ = engine::builtInMarkerSize;
    marker.pixels_ = engine::builtInNoteMarkerPixels(highlighted);
    return marker;
}

engine::MarkerPicture MarkerBitmap::picture() const {
    if (empty()) {
        return engine::MarkerPicture{};
    }
    return engine::MarkerPicture{{pixels_.data(), width_, height_, platform::dibStride(width_)},
                                 keyPixel[0],
                                 keyPixel[1],
                                 keyPixel[2]};
}

}  // namespace viewer

#include "imaging/dib_image.h"

#include "imaging/image_geometry.h"

namespace imaging {

DibImage::DibImage(HBITMAP bitmap, void* bits, std::unique_ptr<BITMAPINFOHEADER> header,
                   std::int32_t id) {
    if (bitmap == nullptr) {
        return;  // the null image; a header passed along is freed with the argument
    }
    bitmap_.reset(bitmap);
    bits_ = static_cast<std::uint8_t*>(bits);
    if (header != nullptr) {
        header_ = *header;
        hasHeader_ = true;
        stride_ = imaging::dibStride(header_.biWidth);
    }
    id_ = id;
}

DibImage::DibImage(LoadedBitmap loaded, std::int32_t id) {
    if (!loaded) {
        return;
    }
    header_ = loaded.header;
    hasHeader_ = true;
    bitmap_ = std::move(loaded.bitmap);
    bits_ = static_cast<std::uint8_t*>(loaded.bits);
    stride_ = imaging::dibStride(header_.biWidth);
    id_ = id;
}

}  // namespace imaging

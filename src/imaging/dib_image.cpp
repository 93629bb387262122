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
    header_ = std::move(header);
    stride_ = header_ ? imaging::dibStride(header_->biWidth) : 0;
    id_ = id;
}

}  // namespace imaging

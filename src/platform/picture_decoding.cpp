#include "platform/picture_decoding.h"

#include <olectl.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/files.h"

namespace platform {

UniqueGlobal readFileRange(const char* path, std::int64_t offset, std::int32_t length) {
    if (length <= 0 || offset < 0 || offset > std::numeric_limits<std::int32_t>::max()) {
        return UniqueGlobal();
    }
    const MappedFile file(path);
    const auto start = static_cast<std::int32_t>(offset);
    if (file.data() == nullptr || !file.contains(start, length)) {
        return UniqueGlobal();
    }
    return copyToMovableBlock(file.data() + start, static_cast<std::size_t>(length)).block;
}

MovableCopy copyToMovableBlock(const void* bytes, std::size_t size) {
    MovableCopy copy;
    copy.block.reset(GlobalAlloc(GMEM_MOVEABLE, std::max<std::size_t>(size, 1)));
    if (!copy.block) {
        copy.failure = MovableCopy::Failure::allocate;
        return copy;
    }
    void* target = GlobalLock(copy.block.get());
    if (target == nullptr) {
        copy.block.reset();
        copy.failure = MovableCopy::Failure::lock;
        return copy;
    }
    if (size > 0) {
        std::memcpy(target, bytes, size);
    }
    GlobalUnlock(copy.block.get());
    return copy;
}

std::optional<HRESULT> decodePicture(UniqueGlobal block, std::size_t size,
                                     ComRef<IPicture>& picture) {
    picture.reset();
    ComRef<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block.get(), TRUE, stream.receive()))) {
        return std::nullopt;  // the block is still ours and goes with `block`
    }
    block.release();  // the stream frees it now
    const HRESULT status =
        OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                       reinterpret_cast<void**>(picture.receive()));
    if (status != S_OK) {
        picture.reset();
    }
    return status;
}

ComRef<IPicture> decodePicture(const void* bytes, std::size_t size) {
    ComRef<IPicture> picture;
    MovableCopy copy = copyToMovableBlock(bytes, size);
    if (copy.block) {
        decodePicture(std::move(copy.block), size, picture);
    }
    return picture;
}

PictureBitmap::PictureBitmap(ComRef<IPicture> picture) {
    OLE_HANDLE handle = 0;
    if (picture && SUCCEEDED(picture->get_Handle(&handle)) && handle != 0) {
        picture_ = std::move(picture);
        bitmap_ = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    }
}

PictureBitmap::PictureBitmap(PictureBitmap&& other) noexcept
    : picture_(std::move(other.picture_)), bitmap_(std::exchange(other.bitmap_, nullptr)) {}

PictureBitmap& PictureBitmap::operator=(PictureBitmap&& other) noexcept {
    if (this != &other) {
        picture_ = std::move(other.picture_);
        bitmap_ = std::exchange(other.bitmap_, nullptr);
    }
    return *this;
}

void PictureBitmap::reset() {
    bitmap_ = nullptr;
    picture_.reset();
}

}  // namespace platform

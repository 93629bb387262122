// The one way the player decodes a picture from bytes: the bytes go into a
// movable memory block, a stream takes the block over and the platform's
// picture service reads JPEG, GIF or BMP from it.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

#include "platform/com_ref.h"
#include "platform/scoped_handle.h"

namespace platform {

// A movable block holding a copy of `size` bytes; the block is at least one
// byte long, so that empty input reaches the decoder (and fails there) rather
// than failing like memory that ran out.
struct MovableCopy {
    enum class Failure { none, allocate, lock };
    UniqueGlobal block;
    Failure failure = Failure::none;
};
MovableCopy copyToMovableBlock(const void* bytes, std::size_t size);

// `length` bytes at `offset` of the file at `path` in a new movable block
// (a picture stored inside the tour's file); empty when that range of the
// file cannot be read whole.
UniqueGlobal readFileRange(const char* path, std::int64_t offset, std::int32_t length);

// Decodes the first `size` bytes of `block`, which is handed over whatever
// the outcome. Returns the picture service's result, or nothing when no
// stream could be made over the block (the service never saw it); `picture`
// holds the picture only on S_OK (one handed back with a failure is released).
std::optional<HRESULT> decodePicture(UniqueGlobal block, std::size_t size,
                                     ComRef<IPicture>& picture);

// Copies and decodes; an empty reference when anything fails.
ComRef<IPicture> decodePicture(const void* bytes, std::size_t size);

// A decoded picture and its bitmap. The picture object owns the bitmap and
// deletes it when it is released, so the bitmap is good while this holds it.
class PictureBitmap {
  public:
    PictureBitmap() = default;
    // Holds `picture` when it has a bitmap; nothing otherwise.
    explicit PictureBitmap(ComRef<IPicture> picture);
    PictureBitmap(PictureBitmap&& other) noexcept;
    PictureBitmap& operator=(PictureBitmap&& other) noexcept;

    HBITMAP bitmap() const { return bitmap_; }
    explicit operator bool() const { return bitmap_ != nullptr; }
    // Releases the picture, and with it the bitmap.
    void reset();

  private:
    ComRef<IPicture> picture_;
    HBITMAP bitmap_ = nullptr;
};

}  // namespace platform

// One decoded picture: a 24-bit bottom-up DIB section whose pixels the
// panorama engine reads in place, its 40-byte header and an id for the cache.
// A record made without a bitmap is the null image (id -10000), which stands
// for a missing picture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

#include "imaging/image_levels.h"
#include "platform/scoped_handle.h"

namespace imaging {

// A picture made into a new 24-bit bottom-up DIB section: the section, the
// first byte of its bottom row and its header. Empty when none was made.
struct LoadedBitmap {
    platform::UniqueBitmap bitmap;
    void* bits = nullptr;
    BITMAPINFOHEADER header{};
    explicit operator bool() const { return static_cast<bool>(bitmap); }
};

class DibImage {
  public:
    static constexpr std::int32_t nullId = -10000;

    // Takes over the bitmap and the header. Without a bitmap the record is the
    // null image: no stride, bits or header, id -10000 whatever was passed.
    DibImage(HBITMAP bitmap, void* bits, std::unique_ptr<BITMAPINFOHEADER> header, std::int32_t id);
    // Takes over a loaded bitmap (the null image when it is empty).
    DibImage(LoadedBitmap loaded, std::int32_t id);
    // The null image.
    DibImage() : DibImage(nullptr, nullptr, nullptr, nullId) {}
    ~DibImage() = default;
    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;

    // Bytes per pixel row, rows padded to four bytes.
    std::int32_t stride() const { return stride_; }
    HBITMAP bitmap() const { return bitmap_.get(); }
    // First byte of the bottom row; lives as long as the record.
    std::uint8_t* bits() const { return bits_; }
    const BITMAPINFOHEADER* header() const { return hasHeader_ ? &header_ : nullptr; }
    std::int32_t id() const { return id_; }
    bool isNull() const { return !bitmap_; }

    // What a view derived from the pixels (built on a worker, read on the
    // window's thread), or null until it is there.
    std::shared_ptr<const imaging::ImageLevels> levels() const {
        const std::lock_guard<std::mutex> guard(levelsLock_);
        return levels_;
    }
    // Kept unless the levels were given up since they were asked for.
    void setLevels(std::shared_ptr<const imaging::ImageLevels> levels) {
        const std::lock_guard<std::mutex> guard(levelsLock_);
        if (levelsWanted_) {
            levels_ = std::move(levels);
        }
    }
    // An image no longer on show gives its levels up, so that a cache of
    // scenes holds their pixels alone; levels a worker finishes for it later
    // are not kept either. The levels it had come back, for the caller to
    // let go of where it likes.
    std::shared_ptr<const imaging::ImageLevels> dropLevels() {
        const std::lock_guard<std::mutex> guard(levelsLock_);
        levelsWanted_ = false;
        return std::move(levels_);
    }
    // Asks for the levels again; true when they had been given up, so that
    // the caller has them built anew.
    bool wantLevels() {
        const std::lock_guard<std::mutex> guard(levelsLock_);
        return !std::exchange(levelsWanted_, true);
    }

  private:
    std::int32_t stride_ = 0;
    platform::UniqueBitmap bitmap_;
    std::uint8_t* bits_ = nullptr;
    BITMAPINFOHEADER header_{};
    bool hasHeader_ = false;
    std::int32_t id_ = nullId;
    mutable std::mutex levelsLock_;
    std::shared_ptr<const imaging::ImageLevels> levels_;
    bool levelsWanted_ = true;
};

}  // namespace imaging

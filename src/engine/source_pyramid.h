// The panorama at half sizes, for views that shrink it: level 0 is the source
// image (owned elsewhere), level k + 1 is ceil(W_k / 2) x ceil(H_k / 2) pixels,
// each the mean of level k over the pixel's share of the full turn and the
// full height: level pixel (x, y) covers level-k columns [x W_k / W_k+1,
// (x + 1) W_k / W_k+1) and rows alike, partly covered pixels weighted by their
// covered part. For even sizes that is the plain 2 x 2 mean; for odd ones the
// level still spans the whole turn, so the seam lies between its last and
// first columns as on the source. Means are rounded to the nearest whole value
// (halves up). Levels are made down to one pixel in width or height.
//
// Building reads only the source, so it may run on a worker thread while a
// view draws from the source alone; the result is handed to the view when it
// is done (PanoramaView::setPyramid).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/pixel_buffers.h"

namespace platform {
class BandPool;
}  // namespace platform

namespace engine {

class SourcePyramid {
  public:
    // Builds every level of `source` on `threads` threads (the caller's
    // included; 1 builds on the calling thread alone). Null when the source
    // is not usable, is too small to halve, or memory runs out.
    static std::unique_ptr<SourcePyramid> build(const SourceImage& source, std::int32_t threads);
    // The same on a pool the caller keeps.
    static std::unique_ptr<SourcePyramid> build(const SourceImage& source,
                                                platform::BandPool& pool);

    // Bytes the levels of a source of that size take (for a memory guard that
    // decides before building), with the spare bytes after the last level.
    static std::size_t bytesFor(std::int32_t width, std::int32_t height);

    // Levels 1 ... levelCount(); level 0 is the source.
    std::int32_t levelCount() const { return static_cast<std::int32_t>(levels_.size()); }
    const SourceImage& level(std::int32_t k) const {
        return levels_[static_cast<std::size_t>(k - 1)];
    }
    // The size of the source it was made from.
    std::int32_t sourceWidth() const { return sourceWidth_; }
    std::int32_t sourceHeight() const { return sourceHeight_; }
    // Bytes held for all levels.
    std::size_t byteSize() const { return byteCount_; }

  private:
    SourcePyramid() = default;
    static std::unique_ptr<SourcePyramid> buildOn(const SourceImage& source,
                                                  platform::BandPool* pool);

    // Bytes after the last level's last pixel, so that a sampler may read a
    // word at any pixel.
    static constexpr std::size_t spareBytes = 4;
    // Every level's rows, one after the other, and the spare bytes (not
    // cleared: every byte of the levels is written).
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t byteCount_ = 0;
    std::vector<SourceImage> levels_;
    std::int32_t sourceWidth_ = 0;
    std::int32_t sourceHeight_ = 0;
};

}  // namespace engine

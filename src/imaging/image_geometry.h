// The arithmetic of decoded images that needs no platform: row strides of
// 24-bit rows, the size a stretched bitmap gets when one side is derived from
// the other, the reduction of large panoramas in the reduced mode, and the
// compressed size from which the image cache is emptied before a decode.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/pixel_rows.h"

namespace imaging {

struct PixelSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

using platform::dibStride;

// Compressed pictures of this many bytes or more empty the image cache before
// they are decoded, so that the old images' memory is free for the new one.
constexpr std::int32_t largePayloadBytes = 307200;
constexpr bool emptiesCacheBeforeDecode(std::int32_t compressedSize) {
    return compressedSize >= largePayloadBytes;
}

// The target of a stretched bitmap: a requested side of 0 or less is derived
// from the other side and the picture's aspect, truncated toward zero. Returns
// nothing when both sides are missing or the picture has no area to derive from.
std::optional<PixelSize> stretchTarget(PixelSize picture, std::int32_t width, std::int32_t height);

// The reduced mode keeps panoramas at most 1000 pixels wide or 500 high: a
// picture wider than 1000 and higher than 500 is stretched to width 1000 when
// it is at least twice as wide as high, else to height 500. Returns the
// (width, height) request for the stretch, the other side 0 (derived), or
// nothing when the picture keeps its natural size.
std::optional<PixelSize> reducedModeRequest(PixelSize picture);

}  // namespace imaging

// Small pictures laid over the view pixels (link markers), and the pixels
// they cover kept so that they can be put back when the overlay changes while
// the panorama does not. A rebuild or shift writes every view pixel afresh,
// so nothing drawn over one picture is ever carried into the next.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/pixel_buffers.h"

namespace engine {

// A 24-bit picture, rows bottom-up like the view's; pixels of the key colour
// are transparent.
struct MarkerPicture {
    platform::PixelRows<const std::uint8_t> rows;
    std::uint8_t keyBlue = 0xFF;
    std::uint8_t keyGreen = 0x00;
    std::uint8_t keyRed = 0xFF;

    bool usable() const { return rows.usable(); }
};

// Pixels of the view counted from its top-left corner (y down, as on
// screen); right and bottom exclusive.
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool empty() const { return right <= left || bottom <= top; }
    bool contains(std::int32_t x, std::int32_t y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    PixelRect clippedTo(std::int32_t width, std::int32_t height) const;
};

// Where a picture enlarged `scale` times lies when centred on view pixel
// (x, y), unclipped.
PixelRect markerRect(const MarkerPicture& picture, std::int32_t x, std::int32_t y,
                     std::int32_t scale);

// Draws the picture, each pixel as a scale x scale block, centred on view
// pixel (x, y) and clipped to the view. Returns the rectangle written.
PixelRect compositeMarker(const ViewBuffer& view, const MarkerPicture& picture, std::int32_t x,
                          std::int32_t y, std::int32_t scale);

// The marker drawn where a language module (an older tour's) has none: a
// white ring with a dark outline (highlighted: an accent disc inside), in
// 24-bit rows of builtInMarkerSize pixels, the key colour where transparent.
inline constexpr std::int32_t builtInMarkerSize = 24;
std::vector<std::uint8_t> builtInMarkerPixels(bool highlighted);
// A note's marker for the same modules, as large: a white card with a dark
// outline and a dark "i" (highlighted: an accent card with a white "i"), so
// that it never reads as a link's ring.
std::vector<std::uint8_t> builtInNoteMarkerPixels(bool highlighted);

// The view pixels of rectangles about to be drawn over, put back on request.
class CoveredPixels {
  public:
    // Keeps the rectangle's pixels (clipped to the view).
    void keep(const ViewBuffer& view, const PixelRect& rect);
    // Writes every kept rectangle back, latest first, and forgets them.
    void restore(const ViewBuffer& view);
    // Forgets them: the view was written afresh.
    void forget();
    bool empty() const { return kept_.empty(); }

  private:
    struct Kept {
        PixelRect rect;
        std::vector<std::uint8_t> pixels;
    };
    std::vector<Kept> kept_;
};

}  // namespace engine

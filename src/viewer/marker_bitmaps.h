// The pictures of a link's or a note's marker, normal and highlighted, as 24-bit rows the
// engine lays over the view: from the language module, or the player's own
// when a module (an older tour's) has none.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "engine/marker_compositing.h"

namespace viewer {

class MarkerBitmap {
  public:
    // Bitmap resource `id` of `module`; empty when missing or unreadable.
    static MarkerBitmap fromModule(HMODULE module, int id);
    // A white ring with a dark outline (highlighted: an accent disc inside),
    // 24 x 24, for modules without markers.
    static MarkerBitmap builtIn(bool highlighted);
    // A white card with a dark "i" (highlighted: an accent card with a white
    // "i"), as large, for modules without note markers.
    static MarkerBitmap builtInNote(bool highlighted);

    bool empty() const { return width_ == 0; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    // Valid while this object lives and is not moved.
    engine::MarkerPicture picture() const;

  private:
    std::vector<std::uint8_t> pixels_;  // bottom-up rows, 4-byte aligned
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};

}  // namespace viewer

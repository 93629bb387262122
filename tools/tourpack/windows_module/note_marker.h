// The marker render draws for a note: a square card with an "i" on it, so
// that it cannot be taken for a link's ring.
#pragma once

#include <cstdint>

#include "windows_module/module_resources.h"

namespace tourpack {

inline constexpr std::int32_t noteMarkerSize = 24;

// 24-bit rows bottom-up, magenta where transparent, as a language module's
// marker bitmaps are.
BitmapPixels noteMarker();

}  // namespace tourpack

// Enlarges a bitmap by a whole factor, each pixel becoming a square of
// factor x factor pixels: skin and dialog pictures on high-DPI screens stay
// as crisp as they were drawn, with no blur from filtering.
#pragma once

#include <windows.h>

#include "platform/scoped_handle.h"

namespace platform {

// The header of a 32-bit bitmap of `width` x `height` whose rows run from the
// top, as the player reads and writes pixels.
BITMAPINFO topDownRgb32Info(int width, int height);

// A new 32-bit bitmap `factor` times as wide and high as `source`; empty when
// `source` is null, unreadable or too large to enlarge, or `factor` is below 1.
UniqueBitmap enlargeBitmap(HBITMAP source, int factor);

}  // namespace platform

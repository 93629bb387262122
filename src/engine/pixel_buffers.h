// Raw 24-bit pictures as the engine sees them: rows bottom-up, 3 bytes per
// pixel (copied as they stand, never looked inside), a stride between rows.
#pragma once

#include <cstdint>

#include "platform/pixel_rows.h"

namespace engine {

// A panorama image owned elsewhere; it must stay valid while it is set.
using SourceImage = platform::PixelRows<const std::uint8_t>;

// The view's pixel memory (a device-independent section on Windows).
using ViewBuffer = platform::PixelRows<std::uint8_t>;

}  // namespace engine

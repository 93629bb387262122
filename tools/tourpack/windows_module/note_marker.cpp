#include "windows_module/note_marker.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/pixel_buffers.h"

namespace tourpack {

namespace {

// Blue, green, red as stored.
constexpr std::uint8_t key[3] = {0xFF, 0x00, 0xFF};
constexpr std::uint8_t dark[3] = {24, 18, 16};
constexpr std::uint8_t card[3] = {64, 200, 250};

// How far (x, y) lies inside a square of half side `half` with corners
// rounded by `radius`, centred on the marker: negative outside.
double depthInside(double x, double y, double half, double radius) {
    const double dx = std::max(std::fabs(x) - (half - radius), 0.0);
    const double dy = std::max(std::fabs(y) - (half - radius), 0.0);
    if (dx > 0.0 && dy > 0.0) {
        return radius - std::hypot(dx, dy);
    }
    return half - std::max(std::fabs(x), std::fabs(y));
}

// The "i": a dot above a stem, in marker pixels from the top-left corner.
bool onLetter(std::int32_t x, std::int32_t y) {
    const bool dot = std::hypot(x + 0.5 - 12.0, y + 0.5 - 7.0) < 1.8;
    const bool stem = x >= 11 && x <= 12 && y >= 10 && y <= 17;
    return dot || stem;
}

}  // namespace

BitmapPixels noteMarker() {
    BitmapPixels marker;
    marker.width = noteMarkerSize;
    marker.height = noteMarkerSize;
    marker.stride = platform::dibStride(noteMarkerSize);
    marker.pixels.assign(static_cast<std::size_t>(marker.stride) * noteMarkerSize, 0);
    const double centre = noteMarkerSize / 2.0;
    for (std::int32_t y = 0; y < noteMarkerSize; ++y) {
        for (std::int32_t x = 0; x < noteMarkerSize; ++x) {
            const double depth = depthInside(x + 0.5 - centre, y + 0.5 - centre, 9.5, 3.0);
            const std::uint8_t* colour = key;
            if (depth >= 1.2) {
                colour = onLetter(x, y) ? dark : card;
            } else if (depth >= 0.0) {
                colour = dark;
            }
            // Rows are stored bottom-up.
            const std::int32_t row = noteMarkerSize - 1 - y;
            std::memcpy(
                marker.pixels.data() + static_cast<std::size_t>(row) * marker.stride + 3 * x,
                colour, 3);
        }
    }
    return marker;
}

}  // namespace tourpack

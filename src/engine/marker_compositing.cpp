#include "engine/marker_compositing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace engine {

namespace {

// The first byte of the pixel at view column x of the view row `y` pixels
// from the top: view rows run bottom-up in memory.
std::uint8_t* viewPixel(const ViewBuffer& view, std::int32_t x, std::int32_t y) {
    return view.pixels + static_cast<std::size_t>(view.height - 1 - y) * view.stride +
           3 * static_cast<std::size_t>(x);
}

bool viewUsable(const ViewBuffer& view) {
    return view.pixels != nullptr && view.width > 0 && view.height > 0 &&
           view.stride >= 3 * view.width;
}

}  // namespace

PixelRect PixelRect::clippedTo(std::int32_t width, std::int32_t height) const {
    PixelRect clipped{std::max(left, 0), std::max(top, 0), std::min(right, width),
                      std::min(bottom, height)};
    if (clipped.empty()) {
        return PixelRect{};
    }
    return clipped;
}

PixelRect markerRect(const MarkerPicture& picture, std::int32_t x, std::int32_t y,
                     std::int32_t scale) {
    scale = std::max(scale, 1);
    const std::int32_t width = picture.rows.width * scale;
    const std::int32_t height = picture.rows.height * scale;
    const std::int32_t left = x - width / 2;
    const std::int32_t top = y - height / 2;
    return PixelRect{left, top, left + width, top + height};
}

PixelRect compositeMarker(const ViewBuffer& view, const MarkerPicture& picture, std::int32_t x,
                          std::int32_t y, std::int32_t scale) {
    if (!viewUsable(view) || !picture.usable()) {
        return PixelRect{};
    }
    scale = std::max(scale, 1);
    const PixelRect whole = markerRect(picture, x, y, scale);
    const PixelRect drawn = whole.clippedTo(view.width, view.height);
    for (std::int32_t vy = drawn.top; vy < drawn.bottom; ++vy) {
        // Picture rows run bottom-up too: its top row is the last in memory.
        const std::int32_t pictureRow = picture.rows.height - 1 - (vy - whole.top) / scale;
        const std::uint8_t* source = picture.rows.row(pictureRow);
        std::uint8_t* out = viewPixel(view, drawn.left, vy);
        for (std::int32_t vx = drawn.left; vx < drawn.right; ++vx, out += 3) {
            const std::uint8_t* pixel =
                source + 3 * static_cast<std::size_t>((vx - whole.left) / scale);
            if (pixel[0] == picture.keyBlue && pixel[1] == picture.keyGreen &&
                pixel[2] == picture.keyRed) {
                continue;
            }
            out[0] = pixel[0];
            out[1] = pixel[1];
            out[2] = pixel[2];
        }
    }
    return drawn;
}

void CoveredPixels::keep(const ViewBuffer& view, const PixelRect& rect) {
    if (!viewUsable(view)) {
        return;
    }
    const PixelRect clipped = rect.clippedTo(view.width, view.height);
    if (clipped.empty()) {
        return;
    }
    Kept kept{clipped, {}};
    const auto rowBytes = static_cast<std::size_t>(clipped.right - clipped.left) * 3;
    kept.pixels.resize(rowBytes * static_cast<std::size_t>(clipped.bottom - clipped.top));
    for (std::int32_t y = clipped.top; y < clipped.bottom; ++y) {
        std::memcpy(kept.pixels.data() + rowBytes * static_cast<std::size_t>(y - clipped.top),
                    viewPixel(view, clipped.left, y), rowBytes);
    }
    kept_.push_back(std::move(kept));
}

void CoveredPixels::restore(const ViewBuffer& view) {
    if (viewUsable(view)) {
        // Latest first: overlapping rectangles end with the oldest pixels.
        for (auto kept = kept_.rbegin(); kept != kept_.rend(); ++kept) {
            const PixelRect& r = kept->rect;
            if (r.right > view.width || r.bottom > view.height) {
                continue;  // kept from a larger view, since replaced
            }
            const auto rowBytes = static_cast<std::size_t>(r.right - r.left) * 3;
            for (std::int32_t y = r.top; y < r.bottom; ++y) {
                std::memcpy(viewPixel(view, r.left, y),
                            kept->pixels.data() + rowBytes * static_cast<std::size_t>(y - r.top),
                            rowBytes);
            }
        }
    }
    forget();
}

void CoveredPixels::forget() {
    kept_.clear();
}

namespace {

// The built-in markers' colours, blue, green, red as stored; the key is
// transparent.
constexpr std::uint8_t markerKey[3] = {0xFF, 0x00, 0xFF};
constexpr std::uint8_t markerDark[3] = {24, 18, 16};
constexpr std::uint8_t markerWhite[3] = {255, 255, 255};
constexpr std::uint8_t markerAccent[3] = {232, 182, 64};

// A built-in marker's rows, bottom-up: each pixel the colour `colourAt`
// gives for its centre, measured from the marker's centre (y downward).
template <typename ColourAt>
std::vector<std::uint8_t> paintMarker(ColourAt colourAt) {
    const std::int32_t size = builtInMarkerSize;
    const std::int32_t stride = platform::dibStride(size);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * size, 0);
    const double centre = size / 2.0;
    for (std::int32_t y = 0; y < size; ++y) {
        const std::size_t row = static_cast<std::size_t>(size - 1 - y);
        for (std::int32_t x = 0; x < size; ++x) {
            const std::uint8_t* colour = colourAt(x + 0.5 - centre, y + 0.5 - centre);
            std::memcpy(pixels.data() + row * stride + 3 * x, colour, 3);
        }
    }
    return pixels;
}

// Whether (x, y), a pixel's centre measured from the marker's centre, lies
// inside a square of half-side `half` with corners rounded by `radius`.
bool insideRoundedSquare(double x, double y, double half, double radius) {
    const double dx = std::max(std::fabs(x) - (half - radius), 0.0);
    const double dy = std::max(std::fabs(y) - (half - radius), 0.0);
    return dx * dx + dy * dy < radius * radius;
}

// The "i" on the card: a dot and a stem, in pixels from the centre.
bool onLetterI(double x, double y) {
    const bool dot = std::hypot(x, y + 5.5) < 1.9;
    const bool stem = std::fabs(x) < 1.6 && y > -2.5 && y < 7.0;
    return dot || stem;
}

}  // namespace

std::vector<std::uint8_t> builtInMarkerPixels(bool highlighted) {
    const double outer = highlighted ? 11.5 : 10.5;
    const double ring = highlighted ? 4.0 : 3.0;
    return paintMarker([&](double x, double y) {
        const double r = std::hypot(x, y);
        // Outline, white ring, outline, then the inside.
        if (r < outer - 1.2 - ring - 1.2) {
            return highlighted ? markerAccent : (r < 1.6 ? markerDark : markerKey);
        }
        if (r < outer - 1.2 - ring) {
            return markerDark;
        }
        if (r < outer - 1.2) {
            return markerWhite;
        }
        return r < outer ? markerDark : markerKey;
    });
}

std::vector<std::uint8_t> builtInNoteMarkerPixels(bool highlighted) {
    const double half = highlighted ? 11.5 : 10.5;
    const double outline = highlighted ? 2.0 : 1.2;
    return paintMarker([&](double x, double y) {
        if (insideRoundedSquare(x, y, half - outline, 3.0)) {
            const bool letter = onLetterI(x, y);
            return highlighted ? (letter ? markerWhite : markerAccent)
                               : (letter ? markerDark : markerWhite);
        }
        return insideRoundedSquare(x, y, half, 4.0) ? markerDark : markerKey;
    });
}

}  // namespace engine

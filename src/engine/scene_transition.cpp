#include "engine/scene_transition.h"

#include <algorithm>
#include <cmath>

#include "engine/angles.h"

namespace engine {

namespace {

// Eases in and out (smoothstep): no jump in speed at either end.
float eased(double elapsedMs, double durationMs) {
    const double t = std::clamp(elapsedMs / durationMs, 0.0, 1.0);
    return static_cast<float>(t * t * (3.0 - 2.0 * t));
}

// The change of pan from `from` to `to` the shorter way round.
float shortestTurn(float from, float to) {
    float change = std::remainder(to - from, twoPi);
    if (change <= -pi) {
        change += twoPi;
    }
    return change;
}

}  // namespace

WalkTurn::WalkTurn(ViewAngles from, float linkPan, float linkTilt)
    : from_(from),
      change_{shortestTurn(from.pan, linkPan), linkTilt - from.tilt,
              from.fov * narrowing - from.fov} {}

ViewAngles WalkTurn::at(double elapsedMs) const {
    if (finished(elapsedMs)) {
        // Exactly the end, whatever the rounding of the eased steps.
        return ViewAngles{from_.pan + change_.pan, from_.tilt + change_.tilt,
                          from_.fov + change_.fov};
    }
    const float share = eased(elapsedMs, durationMs);
    return ViewAngles{from_.pan + change_.pan * share, from_.tilt + change_.tilt * share,
                      from_.fov + change_.fov * share};
}

std::uint32_t CrossFade::weightAt(double elapsedMs) const {
    if (elapsedMs <= 0.0) {
        return 0;
    }
    if (finished(elapsedMs)) {
        return 256;
    }
    return static_cast<std::uint32_t>(256.0 * elapsedMs / durationMs_);
}

void blendOver(const platform::PixelRows<const std::uint8_t>& older, const ViewBuffer& view,
               std::uint32_t weight) {
    weight = std::min<std::uint32_t>(weight, 256);
    const std::uint32_t kept = 256 - weight;
    const std::int32_t width = std::min(older.width, view.width);
    const std::int32_t height = std::min(older.height, view.height);
    const std::size_t bytes = static_cast<std::size_t>(width) * 3;
    for (std::int32_t row = 0; row < height; ++row) {
        const std::uint8_t* from = older.row(row);
        std::uint8_t* to = view.row(row);
        // A plain loop over bytes: the compiler widens it to whole vectors.
        for (std::size_t i = 0; i < bytes; ++i) {
            to[i] = static_cast<std::uint8_t>((from[i] * kept + to[i] * weight + 128) >> 8);
        }
    }
}

}  // namespace engine

// How one scene gives way to the next on screen: walking through a link (the
// view turns toward the link and narrows, then the next scene fades in) or a
// cross-fade alone. Times are milliseconds since the step began; angles are
// radians with the view's signs. The view window drives these with its clock
// and draws each frame; nothing here waits or draws.
#pragma once

#include <cstdint>

#include "engine/pixel_buffers.h"

namespace engine {

struct ViewAngles {
    float pan = 0.0f;
    float tilt = 0.0f;
    float fov = 0.0f;
};

// The turn toward a link: from the view as it stands to the link's direction
// at a narrower field of view, the shorter way round, easing in and out so
// that neither end jerks.
class WalkTurn {
  public:
    static constexpr double durationMs = 300.0;
    static constexpr float narrowing = 0.6f;

    WalkTurn(ViewAngles from, float linkPan, float linkTilt);

    // The view `elapsedMs` into the turn; the end view from its end on.
    ViewAngles at(double elapsedMs) const;
    ViewAngles end() const { return at(durationMs); }
    static bool finished(double elapsedMs) { return elapsedMs >= durationMs; }

  private:
    ViewAngles from_;
    ViewAngles change_;
};

// The share of the next scene's picture in a cross-fade: 0 at its start, 256
// (the next scene alone) from its end on, rising evenly between.
class CrossFade {
  public:
    // Links fade into their scene after the turn; every other change fades
    // a little faster, having no turn before it.
    static constexpr double afterWalkMs = 300.0;
    static constexpr double aloneMs = 250.0;

    explicit CrossFade(double durationMs) : durationMs_(durationMs) {}

    std::uint32_t weightAt(double elapsedMs) const;
    bool finished(double elapsedMs) const { return elapsedMs >= durationMs_; }

  private:
    double durationMs_;
};

// Lays `older` over `view` with the share 256 - `weight` of every channel
// (rounded to the nearest level): `view` holds the next scene's frame and
// becomes the mixed one. Both have the same size; rows need not share a
// stride.
void blendOver(const platform::PixelRows<const std::uint8_t>& older, const ViewBuffer& view,
               std::uint32_t weight);

}  // namespace engine

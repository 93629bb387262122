// A link placed in a scene's panorama: a marker at a direction of this
// scene that takes the visitor to another scene of the tour.
#pragma once

#include <cstdint>
#include <string>

namespace package {

struct SceneLink {
    std::int32_t target = 0;  // the scene it goes to, by position (from 1)
    // Where the marker lies in this scene's panorama, in degrees, with the
    // signs of a scene's start view (a positive tilt lies below the horizon).
    float pan = 0.0f;
    float tilt = 0.0f;
    std::string label;  // tour text; empty: the target scene's name is shown
    // The view the target opens at; without one, the target's start view.
    bool hasView = false;
    float viewPan = 0.0f;
    float viewTilt = 0.0f;
    float viewFieldOfView = 0.0f;
};

}  // namespace package

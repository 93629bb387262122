// Where the view shows a direction of the panorama: the forward projection,
// the inverse of the warp's own mapping from view pixels to panorama pixels,
// through the same projection constants. The picture on screen is the last
// rebuild moved by whole columns since (see PanoramaWarper::shiftColumns), so
// a direction is placed where that picture shows it, not where a fresh
// rebuild at the current pan would.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/projection.h"

namespace engine {

// What the view buffer holds: the constants and pan (radians) of the last
// rebuild and the whole panorama columns it has been shifted by since.
struct ShownView {
    Projection projection;
    float pan = 0.0f;
    std::int32_t shiftedColumns = 0;
    std::int32_t panoramaWidth = 0;
    std::int32_t viewWidth = 0;
    std::int32_t viewHeight = 0;

    bool usable() const { return panoramaWidth > 0 && viewWidth > 0 && viewHeight > 0; }
};

// A position in the view, in pixels from the top-left corner (x to the right,
// y down, as on screen), pixel centres at whole numbers.
struct ViewPoint {
    float x = 0.0f;
    float y = 0.0f;

    std::int32_t column() const;  // the nearest pixel
    std::int32_t row() const;
};

// The view point of the direction at `longitude` and `latitude` (radians, the
// warp's own angles: a view at that pan and tilt has it at its centre), or
// nothing when it lies behind the viewer or its nearest pixel is off the view.
std::optional<ViewPoint> viewPointOfDirection(const ShownView& shown, float longitude,
                                              float latitude);

// The same for a direction given as a scene's start view is given: degrees,
// pan -180..180 (wrapped beyond), tilt positive below the horizon (limited to
// the poles).
std::optional<ViewPoint> viewPointOfDegrees(const ShownView& shown, float panDegrees,
                                            float tiltDegrees);

}  // namespace engine

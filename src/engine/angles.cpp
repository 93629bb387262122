#include "engine/angles.h"

namespace engine {

namespace {

// Written so that NaN, which compares false, counts as out of range.
bool within(float value, float low, float high) {
    return value >= low && value <= high;
}

}  // namespace

ViewDegrees checkedViewDegrees(float pan, float tilt, float fov) {
    return ViewDegrees{within(pan, -180.0f, 180.0f) ? pan : 0.0f,
                       within(tilt, -90.0f, 90.0f) ? tilt : 0.0f,
                       within(fov, 12.0f, 165.0f) ? fov : 100.0f};
}

ViewRadians viewRadiansFromDegrees(float pan, float tilt, float fov) {
    const ViewDegrees checked = checkedViewDegrees(pan, tilt, fov);
    return ViewRadians{checked.pan * degree, checked.tilt * degree, checked.fov * degree};
}

}  // namespace engine

// Angle constants of the panorama engine and the checks applied to view angles
// given in degrees. Every wrap, limit and degree/radian conversion uses these
// single-precision values, all derived from the single-precision pi.
#pragma once

namespace engine {

namespace detail {
// A product or sum formed in double precision and stored as a single float.
constexpr float single(double value) {
    return static_cast<float>(value);
}
}  // namespace detail

inline constexpr float pi = 3.1415927f;
inline constexpr float halfPi = detail::single(static_cast<double>(pi) * 0.5);
inline constexpr float twoPi = detail::single(static_cast<double>(pi) + pi);
// One degree in radians: pi times 1/180 rounded to a single (0.0055555557).
inline constexpr float degree = detail::single(static_cast<double>(pi) * 0.0055555557f);

// Field-of-view and tilt limits of the view, in radians.
inline constexpr float fovMax = detail::single(static_cast<double>(pi) * 0.9166667);
inline constexpr float fovMin = detail::single(static_cast<double>(pi) * 0.06666667);
inline constexpr float tiltMax = halfPi;
inline constexpr float tiltMin = -halfPi;

struct ViewDegrees {
    float pan;
    float tilt;
    float fov;
};

struct ViewRadians {
    float pan;
    float tilt;
    float fov;
};

// Replaces each angle that lies outside its range (pan -180..180, tilt -90..90,
// field of view 12..165, bounds included; NaN is outside) by its default:
// 0, 0 and 100 degrees.
ViewDegrees checkedViewDegrees(float pan, float tilt, float fov);

// checkedViewDegrees, then each angle times `degree`.
ViewRadians viewRadiansFromDegrees(float pan, float tilt, float fov);

// The stored radians expressed in degrees (divided by `degree`).
inline float degreesFromRadians(float radians) {
    return radians / degree;
}

}  // namespace engine

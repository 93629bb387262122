// The projection constants of the warp, derived from the panorama size, the
// view size and the view angles. Products and quotients are formed in double
// precision and stored as single floats.
#pragma once

#include <cstdint>

namespace engine {

struct Projection {
    float centreColumn = 0.0f;      // cx: (panoramaWidth - 1) / 2, integer division
    float columnsPerRadian = 0.0f;  // kx: cx / pi
    float centreRow = 0.0f;         // cy: (panoramaHeight - 1) / 2, integer division
    float rowsPerRadian = 0.0f;     // ky: (1 - panoramaHeight) / pi, negative
    float halfWidth = 0.0f;         // x0
    float halfHeight = 0.0f;        // y0
    std::int32_t halfColumns = 0;   // view columns solved per row; the rest are mirrored
    float halfFov = 0.0f;
    float focalLength = 0.0f;  // F: x0 / tan(halfFov), in view pixels
    float mirrorSum = 0.0f;    // M: 2 (cx + kx pan)
    float cosTilt = 1.0f;
    float sinTilt = 0.0f;

    static Projection compute(std::int32_t panoramaWidth, std::int32_t panoramaHeight,
                              std::int32_t viewWidth, std::int32_t viewHeight, float fov, float pan,
                              float tilt);

    // x0 rounded to the nearest integer, halves away from zero.
    static std::int32_t roundedHalfColumns(float halfWidth);
    static float focalLengthFor(float halfWidth, float halfFov);
    static float mirrorSumFor(float centreColumn, float columnsPerRadian, float pan);
};

}  // namespace engine

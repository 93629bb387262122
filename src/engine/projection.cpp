#include "engine/projection.h"

#include <cmath>

#include "engine/angles.h"

namespace engine {

using detail::single;

std::int32_t Projection::roundedHalfColumns(float halfWidth) {
    const auto truncated = static_cast<std::int32_t>(halfWidth);
    if (truncated > 0 && halfWidth - static_cast<float>(truncated) >= 0.5f) {
        return truncated + 1;
    }
    if (truncated <= 0 && static_cast<float>(truncated) - halfWidth >= 0.5f) {
        return truncated - 1;
    }
    return truncated;
}

float Projection::focalLengthFor(float halfWidth, float halfFov) {
    return single(static_cast<double>(halfWidth) / std::tan(static_cast<double>(halfFov)));
}

float Projection::mirrorSumFor(float centreColumn, float columnsPerRadian, float pan) {
    return single(2.0 * (static_cast<double>(centreColumn) +
                         static_cast<double>(columnsPerRadian) * static_cast<double>(pan)));
}

Projection Projection::compute(std::int32_t panoramaWidth, std::int32_t panoramaHeight,
                               std::int32_t viewWidth, std::int32_t viewHeight, float fov,
                               float pan, float tilt) {
    Projection p;
    p.centreColumn = static_cast<float>((panoramaWidth - 1) / 2);
    p.columnsPerRadian = single(static_cast<double>(p.centreColumn) / static_cast<double>(pi));
    p.centreRow = static_cast<float>((panoramaHeight - 1) / 2);
    p.rowsPerRadian = single(static_cast<double>(1 - panoramaHeight) / static_cast<double>(pi));
    p.halfWidth = single(static_cast<double>(viewWidth) * 0.5);
    p.halfHeight = single(static_cast<double>(viewHeight) * 0.5);
    p.halfColumns = roundedHalfColumns(p.halfWidth);
    p.halfFov = single(static_cast<double>(fov) * 0.5);
    p.focalLength = focalLengthFor(p.halfWidth, p.halfFov);
    p.mirrorSum = mirrorSumFor(p.centreColumn, p.columnsPerRadian, pan);
    p.cosTilt = single(std::cos(static_cast<double>(tilt)));
    p.sinTilt = single(std::sin(static_cast<double>(tilt)));
    return p;
}

}  // namespace engine

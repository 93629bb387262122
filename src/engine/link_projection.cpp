#include "engine/link_projection.h"

#include <algorithm>
#include <cmath>

#include "engine/angles.h"

namespace engine {

namespace {

// Closer to the viewer's plane than this (in units of the ray's length) a
// direction counts as behind: its projection would run off to infinity.
constexpr double nearestDepth = 1e-6;

// The view column of a horizontal view offset X (pixels from x0). The left
// half's rays lie at X = i - x0; the right half is their mirror, so pixel
// i there shows X = i - x0 + 1. Between the last left pixel and the first
// right one the offset runs over two units in one pixel.
double columnOfOffset(const Projection& p, std::int32_t viewWidth, double offset) {
    const double left = offset + static_cast<double>(p.halfWidth);
    const std::int32_t half = std::clamp(p.halfColumns, 0, (viewWidth + 1) / 2);
    const double lastLeft = static_cast<double>(viewWidth - half) - 1.0;
    if (left <= lastLeft) {
        return left;
    }
    if (left >= lastLeft + 2.0) {
        return left - 1.0;
    }
    return lastLeft + (left - lastLeft) * 0.5;
}

}  // namespace

std::int32_t ViewPoint::column() const {
    return static_cast<std::int32_t>(std::lround(x));
}

std::int32_t ViewPoint::row() const {
    return static_cast<std::int32_t>(std::lround(y));
}

namespace {

// Whether the warp reads columns at this turn from the view's axis. It reads
// them at kx per radian, whose full turn (2 cx columns) falls a column or two
// short of the panorama's width, and it turns rays that face away from the
// axis by half a turn: to the left of the axis the other way from the right
// (the right half of a row mirrors the left). So behind the viewer a
// direction's column is shown half a turn and a bit round the one way or the
// other, and a turn between a right angle and half a turn is never read.
bool warpReadsTurn(double turn) {
    const double size = std::fabs(turn);
    return size <= static_cast<double>(halfPi) ||
           (size >= static_cast<double>(pi) && size <= 3.0 * static_cast<double>(halfPi));
}

// The view point of the direction `turn` radians round from the view's axis
// and `latitude` up (the warp's rays, turned back), if it is in view.
std::optional<ViewPoint> projectTurn(const ShownView& shown, double turn, double latitude) {
    const Projection& p = shown.projection;
    // The direction in the frame of the rotated view: `across` to the right,
    // `depth` along the view's axis, up the view.
    const double across = std::cos(latitude) * std::sin(turn);
    const double ahead = std::cos(latitude) * std::cos(turn);
    const double up = std::sin(latitude);
    const double cosTilt = p.cosTilt;
    const double sinTilt = p.sinTilt;
    const double depth = ahead * cosTilt + up * sinTilt;
    if (depth <= nearestDepth) {
        return std::nullopt;
    }
    const double rise = (up * cosTilt - ahead * sinTilt) / depth * p.focalLength;
    const double offset = across / depth * p.focalLength;
    // View row j of memory shows rise y0 - j; memory rows run bottom-up.
    const double memoryRow = static_cast<double>(p.halfHeight) - rise;
    ViewPoint point;
    point.x = static_cast<float>(columnOfOffset(p, shown.viewWidth, offset));
    point.y = static_cast<float>(static_cast<double>(shown.viewHeight - 1) - memoryRow);
    if (!std::isfinite(point.x) || !std::isfinite(point.y) || point.column() < 0 ||
        point.column() >= shown.viewWidth || point.row() < 0 || point.row() >= shown.viewHeight) {
        return std::nullopt;
    }
    return point;
}

// Whether the pixel at `point`, whose ray is `turn` radians round from the
// rebuild's axis, shows each column one column late. The right half of a row
// takes its columns from the mirror sum M less the left ray's column and
// truncates the difference toward zero before wrapping it into the panorama:
// where the difference is negative, that rounds up, so the picture there is
// the panorama moved a column along.
bool showsColumnsLate(const ShownView& shown, const ViewPoint& point, double turn) {
    const Projection& p = shown.projection;
    const std::int32_t half = std::clamp(p.halfColumns, 0, (shown.viewWidth + 1) / 2);
    if (point.column() < shown.viewWidth - half) {
        return false;
    }
    const double kx = p.columnsPerRadian;
    const double width = shown.panoramaWidth;
    const double mirrored = kx * (turn + static_cast<double>(shown.pan)) + p.centreColumn;
    const double left = static_cast<double>(p.mirrorSum) - mirrored;
    double difference = mirrored;
    if (left >= width) {
        difference += width;
    } else if (left < 0.0) {
        difference -= width;
    }
    return difference < 0.0;
}

}  // namespace

std::optional<ViewPoint> viewPointOfDirection(const ShownView& shown, float longitude,
                                              float latitude) {
    if (!shown.usable() || !std::isfinite(longitude) || !std::isfinite(latitude)) {
        return std::nullopt;
    }
    const Projection& p = shown.projection;
    const double kx = p.columnsPerRadian;
    if (kx <= 0.0) {
        return std::nullopt;
    }
    // The columns from the view's centre to the direction in the picture on
    // screen: the rebuild's centre column moved by the shifts since.
    const double width = shown.panoramaWidth;
    const double centre =
        kx * static_cast<double>(shown.pan) + p.centreColumn + shown.shiftedColumns;
    double columns = kx * static_cast<double>(longitude) + p.centreColumn - centre;
    columns -= width * std::floor(columns / width + 0.5);
    // The same column lies a panorama's width further round either way.
    for (const double round : {0.0, -width, width}) {
        const double turn = (columns + round) / kx;
        if (!warpReadsTurn(turn)) {
            continue;
        }
        auto point = projectTurn(shown, turn, latitude);
        if (point && showsColumnsLate(shown, *point, turn)) {
            point = projectTurn(shown, turn - 1.0 / kx, latitude);
        }
        if (point) {
            return point;
        }
    }
    return std::nullopt;
}

std::optional<ViewPoint> viewPointOfDegrees(const ShownView& shown, float panDegrees,
                                            float tiltDegrees) {
    if (!std::isfinite(panDegrees) || !std::isfinite(tiltDegrees)) {
        return std::nullopt;
    }
    const double pan = std::remainder(static_cast<double>(panDegrees), 360.0);
    const double tilt = std::clamp(static_cast<double>(tiltDegrees), -90.0, 90.0);
    return viewPointOfDirection(shown, static_cast<float>(pan) * degree,
                                static_cast<float>(tilt) * degree);
}

}  // namespace engine

#include "smooth_reference.h"

#include <algorithm>
#include <cmath>

#include "engine/angles.h"

namespace {

std::uint32_t steps(double value) {
    if (!(value > -2147483648.0 && value < 2147483648.0)) {
        return 0;
    }
    const int whole = static_cast<int>(value);
    const int s = static_cast<int>((value - whole) * 256.0);
    return static_cast<std::uint32_t>(s < 0 ? 0 : (s > 255 ? 255 : s));
}

std::uint32_t footprintLevel(const ReferenceConstants& c, double flat, double whole) {
    const double columns = static_cast<double>(c.kx) * c.kx;
    const double rows = static_cast<double>(c.ky) * c.ky;
    std::uint32_t level = 0;
    double footprint = 2.0;
    while (level < 15 &&
           (flat <= columns / (footprint * footprint) || whole <= rows / (footprint * footprint))) {
        ++level;
        footprint *= 2.0;
    }
    return level;
}

// Floor of a / 256 for any sign, and the remainder.
void splitSteps(std::int64_t value, std::int32_t& whole, std::uint32_t& fraction) {
    std::int64_t w = value / 256;
    if (value % 256 != 0 && value < 0) {
        --w;
    }
    whole = static_cast<std::int32_t>(w);
    fraction = static_cast<std::uint32_t>(value - w * 256);
}

}  // namespace

ReferencePanorama referenceHalf(const ReferencePanorama& above) {
    ReferencePanorama below;
    below.width = (above.width + 1) / 2;
    below.height = (above.height + 1) / 2;
    below.stride = ((below.width * 24 + 31) / 32) * 4;
    below.pixels.assign(static_cast<std::size_t>(below.stride) * below.height, 0);
    // In units of 1/below-size: pixel k below spans [k above, (k + 1) above),
    // pixel m above spans [m below, (m + 1) below).
    auto overlap = [](std::int64_t k, std::int64_t m, std::int64_t aboveSize,
                      std::int64_t belowSize) {
        const std::int64_t start = std::max(k * aboveSize, m * belowSize);
        const std::int64_t end = std::min((k + 1) * aboveSize, (m + 1) * belowSize);
        return end > start ? end - start : 0;
    };
    const std::uint64_t total = static_cast<std::uint64_t>(above.width) * above.height;
    for (int y = 0; y < below.height; ++y) {
        for (int x = 0; x < below.width; ++x) {
            for (int channel = 0; channel < 3; ++channel) {
                std::uint64_t sum = 0;
                // Only the pixels above whose spans can meet this one's.
                for (int m = y * above.height / below.height;
                     m <= std::min(above.height - 1, (y + 1) * above.height / below.height); ++m) {
                    const std::int64_t wy = overlap(y, m, above.height, below.height);
                    for (int n = x * above.width / below.width;
                         wy != 0 &&
                         n <= std::min(above.width - 1, (x + 1) * above.width / below.width);
                         ++n) {
                        const std::int64_t wx = overlap(x, n, above.width, below.width);
                        sum += static_cast<std::uint64_t>(wx * wy) *
                               above.pixels[static_cast<std::size_t>(m) * above.stride + 3 * n +
                                            channel];
                    }
                }
                below.pixels[static_cast<std::size_t>(y) * below.stride + 3 * x + channel] =
                    static_cast<std::uint8_t>((sum + total / 2) / total);
            }
        }
    }
    return below;
}

std::vector<ReferencePanorama> referencePyramid(const ReferencePanorama& source) {
    std::vector<ReferencePanorama> levels;
    const ReferencePanorama* above = &source;
    while (above->width > 1 && above->height > 1) {
        levels.push_back(referenceHalf(*above));
        above = &levels.back();
    }
    return levels;
}

void smoothReferencePixel(const ReferencePanorama& source,
                          const std::vector<ReferencePanorama>& levels, std::int32_t column,
                          std::int32_t row, std::uint32_t detail, std::uint8_t* out) {
    std::uint32_t level = detail >> 16;
    level = std::min<std::uint32_t>(level, static_cast<std::uint32_t>(levels.size()));
    const ReferencePanorama& picture = level == 0 ? source : levels[level - 1];
    std::int32_t x = column;
    std::int32_t y = row;
    std::uint32_t fx = detail & 255;
    std::uint32_t fy = (detail >> 8) & 255;
    if (level > 0) {
        const std::uint64_t columnScale = (static_cast<std::uint64_t>(picture.width) << 32) /
                                          static_cast<std::uint64_t>(source.width);
        const std::uint64_t rowScale = (static_cast<std::uint64_t>(picture.height) << 32) /
                                       static_cast<std::uint64_t>(source.height);
        const std::uint64_t columnEdge = static_cast<std::uint64_t>(column) * 256 + fx + 128;
        const std::uint64_t rowEdge = static_cast<std::uint64_t>(row) * 256 + fy + 128;
        splitSteps(static_cast<std::int64_t>((columnEdge * columnScale) >> 32) - 128, x, fx);
        splitSteps(static_cast<std::int64_t>((rowEdge * rowScale) >> 32) - 128, y, fy);
        if (x < 0) {
            x += picture.width;
        }
        if (x > picture.width - 1) {
            x = picture.width - 1;
        }
        if (y < 0) {
            y = 0;
            fy = 0;
        }
        if (y > picture.height - 1) {
            y = picture.height - 1;
        }
    }
    const std::int32_t x1 = (x + 1) % picture.width;
    const std::int32_t y1 = std::min(y + 1, picture.height - 1);
    auto at = [&](std::int32_t r, std::int32_t c, int channel) -> std::uint32_t {
        return picture.pixels[static_cast<std::size_t>(r) * picture.stride +
                              3 * static_cast<std::size_t>(c) + channel];
    };
    for (int channel = 0; channel < 3; ++channel) {
        const std::uint32_t top =
            (at(y, x, channel) * (256 - fx) + at(y, x1, channel) * fx + 128) / 256;
        const std::uint32_t bottom =
            (at(y1, x, channel) * (256 - fx) + at(y1, x1, channel) * fx + 128) / 256;
        out[channel] = static_cast<std::uint8_t>((top * (256 - fy) + bottom * fy + 128) / 256);
    }
}

void smoothReferenceWarp(const ReferencePanorama& source,
                         const std::vector<ReferencePanorama>& levels, SmoothReferenceView& view,
                         float fov, float pan, float tilt) {
    const ReferenceWarp& warp = ReferenceWarp::shared();
    const ReferenceConstants c = warp.constants(source, view, fov, pan, tilt);
    warp.warp(source, view, c, pan);
    const int W = source.width;
    const int H = source.height;
    for (int j = 0; j < view.height; ++j) {
        const std::size_t b = static_cast<std::size_t>(j) * view.width;
        const float D = static_cast<float>(static_cast<double>(c.cosTilt) * c.F -
                                           (static_cast<double>(c.y0) - j) * c.sinTilt);
        const float Y = static_cast<float>((static_cast<double>(c.y0) - j) * c.cosTilt +
                                           static_cast<double>(c.sinTilt) * c.F);
        for (int i = 0; i < c.halfColumns; ++i) {
            const float X = static_cast<float>(static_cast<double>(i) - c.x0);
            const float theta = warp.arctangent(static_cast<double>(X) / static_cast<double>(D));
            double lonSum = static_cast<double>(theta) + static_cast<double>(pan);
            if (D <= 0.0f) {
                lonSum = lonSum + static_cast<double>(engine::pi);
            }
            const float lon = static_cast<float>(lonSum);
            const double flat = static_cast<double>(D) * D + static_cast<double>(X) * X;
            const float lat = warp.arctangent(static_cast<double>(Y) / std::sqrt(flat));
            float U = static_cast<float>(static_cast<double>(c.kx) * lon + c.cx);
            if (U >= static_cast<float>(W)) {
                U = U - static_cast<float>(W);
            } else if (U < 0.0f) {
                U = U + static_cast<float>(W);
            }
            const double rowValue = static_cast<double>(c.ky) * lat + c.cy;
            const double truncatedRow = std::trunc(rowValue);
            const bool kept = !(truncatedRow >= 0.0 && truncatedRow <= H - 1);
            const std::uint32_t fy = kept ? 0 : steps(rowValue);
            const std::uint32_t level = footprintLevel(c, flat, flat + static_cast<double>(Y) * Y);
            view.details[b + i] = steps(U) | fy << 8 | level << 16;
            view.details[b + view.width - 1 - i] =
                steps(static_cast<double>(c.M) - U) | fy << 8 | level << 16;
        }
        for (int i = 0; i < view.width; ++i) {
            smoothReferencePixel(source, levels, view.columns[b + i], view.rows[b + i],
                                 view.details[b + i],
                                 &view.pixels[static_cast<std::size_t>(j) * view.stride + 3 * i]);
        }
    }
}

void smoothReferenceShift(const ReferencePanorama& source,
                          const std::vector<ReferencePanorama>& levels, SmoothReferenceView& view,
                          float delta) {
    ReferenceWarp::shared().shift(source, view, delta);
    for (int j = 0; j < view.height; ++j) {
        for (int i = 0; i < view.width; ++i) {
            const std::size_t k = static_cast<std::size_t>(j) * view.width + i;
            smoothReferencePixel(source, levels, view.columns[k], view.rows[k], view.details[k],
                                 &view.pixels[static_cast<std::size_t>(j) * view.stride + 3 * i]);
        }
    }
}

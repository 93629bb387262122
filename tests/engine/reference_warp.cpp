#include "reference_warp.h"

#include <cmath>
#include <cstring>
#include <random>

#include "engine/angles.h"

ReferencePanorama randomPanorama(std::int32_t width, std::int32_t height, std::uint32_t seed,
                                 std::int32_t extraPadding) {
    ReferencePanorama panorama;
    panorama.width = width;
    panorama.height = height;
    panorama.stride = ((width * 24 + 31) / 32) * 4 + extraPadding;
    panorama.pixels.resize(static_cast<std::size_t>(panorama.stride) * height);
    std::mt19937 random(seed);
    for (auto& byte : panorama.pixels) {
        byte = static_cast<std::uint8_t>(random());
    }
    return panorama;
}

ReferenceView::ReferenceView(std::int32_t viewWidth, std::int32_t viewHeight)
    : width(viewWidth),
      height(viewHeight),
      stride(((viewWidth * 24 + 31) / 32) * 4),
      columns(static_cast<std::size_t>(viewWidth) * viewHeight, 0),
      rows(static_cast<std::size_t>(viewWidth) * viewHeight, 0),
      pixels(static_cast<std::size_t>(stride) * viewHeight, 0) {}

const ReferenceWarp& ReferenceWarp::shared() {
    static const ReferenceWarp warp;
    return warp;
}

ReferenceWarp::ReferenceWarp() {
    table_.resize(100001);
    double x = 0.0;
    for (int k = 0; k <= 100000; ++k) {
        table_[k] = static_cast<float>(std::atan(x / 1.0));
        x = x + 0.00001;
    }
}

float ReferenceWarp::arctangent(double g) const {
    if (g >= 0.0 && g <= 1.0) {
        return table_[static_cast<int>(100000.0 * g)];
    }
    if (g > 1.0) {
        return engine::halfPi - table_[static_cast<int>(100000.0 / g)];
    }
    if (g >= -1.0 && g < 0.0) {
        return -table_[static_cast<int>(100000.0 * -g)];
    }
    if (g < -1.0) {
        return table_[static_cast<int>(100000.0 / -g)] - engine::halfPi;
    }
    return table_[0];  // NaN
}

namespace {

int truncOrZero(double v) {
    if (!(v > -2147483648.0 && v < 2147483648.0)) {
        return 0;
    }
    return static_cast<int>(v);
}

int reduceColumn(int c, int width) {
    if (c < 0 || c >= width) {
        c = c % width;
        if (c < 0) {
            c = c + width;
        }
    }
    return c;
}

void copyPixel(const ReferencePanorama& source, int row, int column, ReferenceView& view,
               std::size_t offset) {
    const std::uint8_t* from = &source.pixels[static_cast<std::size_t>(row) * source.stride +
                                              static_cast<std::size_t>(column) * 3];
    view.pixels[offset] = from[0];
    view.pixels[offset + 1] = from[1];
    view.pixels[offset + 2] = from[2];
}

}  // namespace

ReferenceConstants ReferenceWarp::constants(const ReferencePanorama& source,
                                            const ReferenceView& view, float fov, float pan,
                                            float tilt) const {
    const int W = source.width;
    const int H = source.height;
    // Projection constants, each formed in double and stored as a float.
    ReferenceConstants c;
    c.cx = static_cast<float>((W - 1) / 2);
    c.kx = static_cast<float>(static_cast<double>(c.cx) / static_cast<double>(engine::pi));
    c.cy = static_cast<float>((H - 1) / 2);
    c.ky = static_cast<float>(static_cast<double>(1 - H) / static_cast<double>(engine::pi));
    c.x0 = static_cast<float>(view.width * 0.5);
    c.y0 = static_cast<float>(view.height * 0.5);
    c.halfColumns = static_cast<int>(c.x0);
    if (c.halfColumns > 0 && c.x0 - c.halfColumns >= 0.5f) {
        c.halfColumns = c.halfColumns + 1;
    } else if (c.halfColumns <= 0 && c.halfColumns - c.x0 >= 0.5f) {
        c.halfColumns = c.halfColumns - 1;
    }
    const float halfFov = static_cast<float>(fov * 0.5);
    c.F = static_cast<float>(c.x0 / std::tan(static_cast<double>(halfFov)));
    c.M = static_cast<float>(2.0 * (c.cx + static_cast<double>(c.kx) * pan));
    c.cosTilt = static_cast<float>(std::cos(static_cast<double>(tilt)));
    c.sinTilt = static_cast<float>(std::sin(static_cast<double>(tilt)));
    return c;
}

void ReferenceWarp::columnsOfLongitude(const ReferenceConstants& c, int width, float lon,
                                       int& column, int& mirrored) {
    const int W = width;
    float U = static_cast<float>(static_cast<double>(c.kx) * lon + c.cx);
    if (U >= static_cast<float>(W)) {
        U = U - static_cast<float>(W);
    } else if (U < 0.0f) {
        U = U + static_cast<float>(W);
    }
    column = reduceColumn(truncOrZero(U), W);
    int sxr = truncOrZero(static_cast<double>(c.M) - U);
    if (sxr >= W) {
        sxr = sxr - W;
    } else if (sxr < 0) {
        sxr = sxr + W;
    }
    mirrored = reduceColumn(sxr, W);
}

void ReferenceWarp::warp(const ReferencePanorama& source, ReferenceView& view, float fov, float pan,
                         float tilt) const {
    warp(source, view, constants(source, view, fov, pan, tilt), pan);
}

void ReferenceWarp::warp(const ReferencePanorama& source, ReferenceView& view,
                         const ReferenceConstants& c, float pan) const {
    view.columnCarry = 0.0;
    const int W = source.width;
    const int H = source.height;
    const float cy = c.cy;
    const float ky = c.ky;
    const float x0 = c.x0;
    const float y0 = c.y0;
    const int halfColumns = c.halfColumns;
    const float F = c.F;
    const float cosTilt = c.cosTilt;
    const float sinTilt = c.sinTilt;

    for (int j = 0; j < view.height; ++j) {
        const std::size_t b = static_cast<std::size_t>(j) * view.width;
        const std::size_t o = static_cast<std::size_t>(j) * view.stride;
        const float D = static_cast<float>(static_cast<double>(cosTilt) * F -
                                           (static_cast<double>(y0) - j) * sinTilt);
        for (int i = 0; i < halfColumns; ++i) {
            const float X = static_cast<float>(static_cast<double>(i) - x0);
            const double g = static_cast<double>(X) / static_cast<double>(D);
            const float theta = arctangent(g);
            double lonSum = static_cast<double>(theta) + static_cast<double>(pan);
            if (D <= 0.0f) {
                lonSum = lonSum + static_cast<double>(engine::pi);
            }
            const float lon = static_cast<float>(lonSum);
            const float Y = static_cast<float>((static_cast<double>(y0) - j) * cosTilt +
                                               static_cast<double>(sinTilt) * F);
            const double h = static_cast<double>(Y) /
                             std::sqrt(static_cast<double>(D) * D + static_cast<double>(X) * X);
            const float lat = arctangent(h);
            int sx = 0;
            int sxr = 0;
            columnsOfLongitude(c, W, lon, sx, sxr);
            int sy = truncOrZero(static_cast<double>(ky) * lat + cy);
            if (sy < 0) {
                sy = 0;
            }
            if (sy > H - 1) {
                sy = H - 1;
            }
            view.columns[b + i] = sx;
            view.rows[b + i] = sy;
            const int mirror = view.width - 1 - i;
            view.columns[b + mirror] = sxr;
            view.rows[b + mirror] = sy;
            copyPixel(source, sy, sx, view, o + 3 * static_cast<std::size_t>(i));
            copyPixel(source, sy, sxr, view, o + 3 * static_cast<std::size_t>(mirror));
        }
    }
}

void ReferenceWarp::shift(const ReferencePanorama& source, ReferenceView& view, float delta) const {
    if (delta == 0.0f || !std::isfinite(delta)) {
        return;
    }
    const int W = source.width;
    const double q = static_cast<double>(delta) / static_cast<double>(engine::twoPi);
    const double n = std::trunc(q);
    const double r = static_cast<double>(delta) - n * static_cast<double>(engine::twoPi);
    const double s =
        r * (static_cast<double>(W) / static_cast<double>(engine::twoPi)) + view.columnCarry;
    const double whole = std::trunc(s);
    view.columnCarry = s - whole;
    const int shift = static_cast<int>(whole);
    for (int j = 0; j < view.height; ++j) {
        for (int i = 0; i < view.width; ++i) {
            const std::size_t k = static_cast<std::size_t>(j) * view.width + i;
            int col = view.columns[k] + shift;
            if (col >= W) {
                col = col - W;
            } else if (col < 0) {
                col = col + W;
            }
            view.columns[k] = col;
            copyPixel(source, view.rows[k], col, view,
                      static_cast<std::size_t>(j) * view.stride + 3 * static_cast<std::size_t>(i));
        }
    }
}

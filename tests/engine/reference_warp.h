// The warp written out step by step, one view pixel at a time, exactly as the
// algorithm reads: the yardstick every optimisation of the engine is held to.
#pragma once

#include <cstdint>
#include <vector>

struct ReferencePanorama {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;
    std::vector<std::uint8_t> pixels;  // bottom-up, 3 bytes per pixel
};

// Random pixels with a stride padded by `extraPadding` bytes beyond 4-byte rows.
ReferencePanorama randomPanorama(std::int32_t width, std::int32_t height, std::uint32_t seed,
                                 std::int32_t extraPadding = 0);

struct ReferenceView {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;
    std::vector<std::int32_t> columns;
    std::vector<std::int32_t> rows;
    std::vector<std::uint8_t> pixels;
    double columnCarry = 0.0;

    ReferenceView(std::int32_t viewWidth, std::int32_t viewHeight);
};

// The projection constants of one view, as the algorithm derives them (or set
// by hand, to steer rays onto chosen ratios).
struct ReferenceConstants {
    float cx = 0.0f;
    float kx = 0.0f;
    float cy = 0.0f;
    float ky = 0.0f;
    float x0 = 0.0f;
    float y0 = 0.0f;
    int halfColumns = 0;
    float F = 0.0f;
    float M = 0.0f;
    float cosTilt = 1.0f;
    float sinTilt = 0.0f;
};

class ReferenceWarp {
  public:
    ReferenceWarp();
    // One per program: building the arctangent table takes a while.
    static const ReferenceWarp& shared();

    const std::vector<float>& table() const { return table_; }
    float arctangent(double ratio) const;

    ReferenceConstants constants(const ReferencePanorama& source, const ReferenceView& view,
                                 float fov, float pan, float tilt) const;
    // Full rebuild of the maps and pixels of `view`.
    void warp(const ReferencePanorama& source, ReferenceView& view, float fov, float pan,
              float tilt) const;
    void warp(const ReferencePanorama& source, ReferenceView& view, const ReferenceConstants& c,
              float pan) const;
    // Source column and mirrored column of longitude `lon` in a panorama
    // `width` columns wide.
    static void columnsOfLongitude(const ReferenceConstants& c, int width, float lon, int& column,
                                   int& mirrored);
    // Column shift by `delta` radians.
    void shift(const ReferencePanorama& source, ReferenceView& view, float delta) const;

  private:
    std::vector<float> table_;
};

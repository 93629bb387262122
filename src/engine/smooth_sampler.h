// Smooth reading of the panorama at sub-pixel positions: each map entry
// carries, beside its whole source column and row, the fraction of both in
// 256ths and the pyramid level its footprint asks for (its "detail"). A view
// pixel is the bilinear blend of the four pixels around its position on that
// level: across the seam the last column blends with the first, at the poles
// the first and last rows are repeated, so nothing outside the picture is read.
//
// Positions: source pixel c sits at position c exactly (a fraction of 0 reads
// the pixel itself, so the picture keeps its place under the markers). A
// level pixel k covers the level-0 span [k W / W_L, (k + 1) W / W_L) (see
// SourcePyramid), so level-0 position u lies at (u + 1/2) W_L / W - 1/2 on
// level L, formed in 1/256ths of a pixel with a 32-bit fixed-point scale.
// Blending: along the row first, each sum rounded to a whole value, then
// between the two rows, rounded again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/pixel_buffers.h"
#include "engine/wide_steps.h"

namespace engine {

class SourcePyramid;

// How the view reads the panorama: `nearest` takes the one source pixel of
// each map entry; `smooth` blends, from the pyramid where the view shrinks it.
enum class Sampling { nearest, smooth };

// A map entry's detail: column fraction, row fraction (256ths) and level.
inline std::uint32_t packDetail(std::uint32_t columnFraction, std::uint32_t rowFraction,
                                std::uint32_t level) {
    return columnFraction | rowFraction << 8 | level << 16;
}
inline std::uint32_t columnFractionOf(std::uint32_t detail) {
    return detail & 0xFF;
}
inline std::uint32_t rowFractionOf(std::uint32_t detail) {
    return (detail >> 8) & 0xFF;
}
inline std::uint32_t levelOf(std::uint32_t detail) {
    return detail >> 16;
}

// The fraction of `value` beyond its truncation, in 256ths, truncated and
// kept within 0 ... 255 (0 for a negative value or one no int holds).
std::uint32_t fractionInSteps(double value);

// The pyramid level a ray asks for, from the size of its view pixel's
// footprint on the panorama. A view pixel spans at most 1 / L radians on the
// unit sphere (L the length of its ray (X, Y, D) in view pixels), which is
// kx / sqrt(D^2 + X^2) source columns along its parallel (the horizontal
// stretch toward the poles) and |ky| / L source rows. Level k is asked for
// once the larger of the two reaches firstLevelFootprint * 2^(k - 1).
class FootprintLevels {
  public:
    static constexpr double firstLevelFootprint = 2.0;
    static constexpr std::int32_t mostLevels = 15;

    void prepare(float columnsPerRadian, float rowsPerRadian);

    // `flat` = D^2 + X^2, `whole` = D^2 + X^2 + Y^2, both in double.
    std::uint32_t levelOf(double flat, double whole) const {
        std::uint32_t level = 0;
        while (level < static_cast<std::uint32_t>(mostLevels) &&
               (flat <= columnBounds_[level] || whole <= rowBounds_[level])) {
            ++level;
        }
        return level;
    }

    double columnBound(std::int32_t k) const { return columnBounds_[k]; }
    double rowBound(std::int32_t k) const { return rowBounds_[k]; }
    const double* columnBounds() const { return columnBounds_; }
    const double* rowBounds() const { return rowBounds_; }

  private:
    // Index k - 1 for level k: kx^2 / (footprint of level k)^2, and ky^2 / ...
    double columnBounds_[mostLevels] = {};
    double rowBounds_[mostLevels] = {};
};

// One picture of the pyramid as the sampler reads it.
struct SampleLevel {
    const std::uint8_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::size_t stride = 0;
    std::size_t end = 0;  // bytes readable from `pixels`: the last row ends at its last pixel
    // 2^32 W_L / W and 2^32 H_L / H, truncated.
    std::uint64_t columnScale = 0;
    std::uint64_t rowScale = 0;
};

// Where the pixels of one part of a smoothly sampled row read (see
// SmoothSampler): the top-left pixel of the four around each position, the
// byte steps to the right column (3, or back to the first column across the
// seam) and to the row below (0 on the last row), and the weight pairs
// (256 - f) | f << 16 along the row and between the rows.
struct SampleTaps {
    const std::uint8_t* at[samplePartPixels];
    std::int32_t right[samplePartPixels];
    std::int32_t down[samplePartPixels];
    std::uint32_t across[samplePartPixels];
    std::uint32_t between[samplePartPixels];
};

// Reads view rows from level 0 (the source) and the pyramid's levels, when
// one is given and belongs to the source.
class SmoothSampler {
  public:
    SmoothSampler(const SourceImage& source, const SourcePyramid* pyramid);

    std::int32_t levelCount() const { return count_; }
    const SampleLevel& level(std::int32_t k) const { return levels_[k]; }

    // `count` view pixels (3 bytes each, to `out`) from their map entries.
    void sampleRow(const std::int32_t* columns, const std::int32_t* rows,
                   const std::uint32_t* details, std::uint8_t* out, std::int32_t count) const;

    // Asks for the source pixels that sampleRow will read for those entries
    // (where they lie on level 0), to be sampled a row later.
    void askRow(const std::int32_t* columns, const std::int32_t* rows, const std::uint32_t* details,
                std::int32_t count) const;

  private:
    // The taps of a part's pixels from `first` on, one at a time.
    void locateTaps(const SampledPart& part, std::int32_t first, SampleTaps& taps,
                    bool& nearEnd) const;

    SampleLevel levels_[FootprintLevels::mostLevels + 1];
    std::int32_t count_ = 0;
    bool wide_ = false;  // the processor's wide steps (processor.h)
};

// Where a level-0 position (whole part and 256ths) lies on a level whose
// scale (2^32 size_L / size) is given: its whole part (floor, may be -1) and
// its 256ths.
inline void positionOnLevel(std::int32_t whole, std::uint32_t fraction, std::uint64_t scale,
                            std::int32_t& levelWhole, std::uint32_t& levelFraction) {
    const auto edge = static_cast<std::uint64_t>(whole) * 256 + fraction + 128;
    const auto scaled = static_cast<std::int64_t>((edge * scale) >> 32) - 128;
    levelWhole = static_cast<std::int32_t>(scaled >> 8);
    levelFraction = static_cast<std::uint32_t>(scaled & 255);
}

}  // namespace engine

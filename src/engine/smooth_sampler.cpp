#include "engine/smooth_sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/source_pyramid.h"

namespace engine {

std::uint32_t fractionInSteps(double value) {
    if (!(value > -2147483648.0 && value < 2147483648.0)) {
        return 0;
    }
    const double whole = static_cast<double>(static_cast<std::int32_t>(value));
    const auto steps = static_cast<std::int32_t>((value - whole) * 256.0);
    return static_cast<std::uint32_t>(std::clamp(steps, 0, 255));
}

void FootprintLevels::prepare(float columnsPerRadian, float rowsPerRadian) {
    const double columns = static_cast<double>(columnsPerRadian) * columnsPerRadian;
    const double rows = static_cast<double>(rowsPerRadian) * rowsPerRadian;
    double footprint = firstLevelFootprint;
    for (std::int32_t k = 0; k < mostLevels; ++k) {
        const double squared = footprint * footprint;
        columnBounds_[k] = columns / squared;
        rowBounds_[k] = rows / squared;
        footprint *= 2.0;
    }
}

namespace {

SampleLevel sampleLevelOf(const SourceImage& image, const SourceImage& source) {
    SampleLevel level;
    level.pixels = image.pixels;
    level.width = image.width;
    level.height = image.height;
    level.stride = static_cast<std::size_t>(image.stride);
    level.end = level.stride * static_cast<std::size_t>(image.height - 1) +
                3 * static_cast<std::size_t>(image.width);
    level.columnScale =
        (static_cast<std::uint64_t>(image.width) << 32) / static_cast<std::uint64_t>(source.width);
    level.rowScale = (static_cast<std::uint64_t>(image.height) << 32) /
                     static_cast<std::uint64_t>(source.height);
    return level;
}

// The four pixels around one position on one level: offsets of the two rows
// and of the two columns, and the fractions between them.
struct Corners {
    std::size_t top;
    std::size_t bottom;
    std::size_t left;
    std::size_t right;
    std::uint32_t across;  // 256ths toward the right column
    std::uint32_t down;    // 256ths toward the bottom row
};

Corners cornersOf(const SampleLevel& level, std::int32_t levelIndex, std::int32_t column,
                  std::int32_t row, std::uint32_t detail) {
    std::int32_t x = column;
    std::int32_t y = row;
    std::uint32_t fx = columnFractionOf(detail);
    std::uint32_t fy = rowFractionOf(detail);
    if (levelIndex > 0) {
        positionOnLevel(column, fx, level.columnScale, x, fx);
        positionOnLevel(row, fy, level.rowScale, y, fy);
        // Left of the first column's centre lies the last column.
        if (x < 0) {
            x += level.width;
        }
        x = std::min(x, level.width - 1);
        // Above the first row's centre there is only the first row.
        if (y < 0) {
            y = 0;
            fy = 0;
        }
        y = std::min(y, level.height - 1);
    }
    const std::int32_t nextX = x + 1 == level.width ? 0 : x + 1;
    const std::int32_t nextY = std::min(y + 1, level.height - 1);
    return Corners{static_cast<std::size_t>(y) * level.stride,
                   static_cast<std::size_t>(nextY) * level.stride,
                   3 * static_cast<std::size_t>(x),
                   3 * static_cast<std::size_t>(nextX),
                   fx,
                   fy};
}

#if defined(__SSE2__)

// The pixels at `left` and `right` of one row side by side in 8 bytes.
__m128i pairAt(const SampleLevel& level, std::size_t row, std::size_t left, std::size_t right) {
    const std::uint8_t* pixels = level.pixels + row;
    if (right == left + 3 && row + left + 8 <= level.end) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixels + left));
    }
    std::uint8_t bytes[8] = {};
    std::memcpy(bytes, pixels + left, 3);
    std::memcpy(bytes + 3, pixels + right, 3);
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes));
}

// The blended pixel in the low 3 bytes.
__m128i blended(const SampleLevel& level, const Corners& at) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_unpacklo_epi8(pairAt(level, at.top, at.left, at.right), zero);
    const __m128i bottom = _mm_unpacklo_epi8(pairAt(level, at.bottom, at.left, at.right), zero);
    const auto across = static_cast<short>(at.across);
    const auto stay = static_cast<short>(256 - at.across);
    const __m128i alongRow = _mm_setr_epi16(stay, stay, stay, across, across, across, 0, 0);
    const __m128i half = _mm_set1_epi16(128);
    // Lanes 0-2: left * (256 - fx) + right * fx, at most 255 * 256.
    __m128i topSums = _mm_mullo_epi16(top, alongRow);
    topSums = _mm_add_epi16(topSums, _mm_srli_si128(topSums, 6));
    __m128i bottomSums = _mm_mullo_epi16(bottom, alongRow);
    bottomSums = _mm_add_epi16(bottomSums, _mm_srli_si128(bottomSums, 6));
    // Top in lanes 0-2, bottom in lanes 4-6, each rounded to a whole value.
    const __m128i rows =
        _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi64(topSums, bottomSums), half), 8);
    const auto down = static_cast<short>(at.down);
    const auto keep = static_cast<short>(256 - at.down);
    const __m128i betweenRows = _mm_setr_epi16(keep, keep, keep, keep, down, down, down, down);
    __m128i sums = _mm_mullo_epi16(rows, betweenRows);
    sums = _mm_add_epi16(sums, _mm_srli_si128(sums, 8));
    return _mm_packus_epi16(_mm_srli_epi16(_mm_add_epi16(sums, half), 8), zero);
}

#endif

[[maybe_unused]] void blendScalar(const SampleLevel& level, const Corners& at, std::uint8_t* out) {
    const std::uint8_t* topLeft = level.pixels + at.top + at.left;
    const std::uint8_t* topRight = level.pixels + at.top + at.right;
    const std::uint8_t* bottomLeft = level.pixels + at.bottom + at.left;
    const std::uint8_t* bottomRight = level.pixels + at.bottom + at.right;
    for (std::size_t c = 0; c < 3; ++c) {
        const std::uint32_t top =
            (topLeft[c] * (256 - at.across) + topRight[c] * at.across + 128) >> 8;
        const std::uint32_t bottom =
            (bottomLeft[c] * (256 - at.across) + bottomRight[c] * at.across + 128) >> 8;
        out[c] = static_cast<std::uint8_t>((top * (256 - at.down) + bottom * at.down + 128) >> 8);
    }
}

}  // namespace

SmoothSampler::SmoothSampler(const SourceImage& source, const SourcePyramid* pyramid) {
    if (!source.usable()) {
        return;
    }
    levels_[0] = sampleLevelOf(source, source);
    count_ = 1;
    if (pyramid != nullptr && pyramid->sourceWidth() == source.width &&
        pyramid->sourceHeight() == source.height) {
        const std::int32_t most = std::min(pyramid->levelCount(), FootprintLevels::mostLevels);
        for (std::int32_t k = 1; k <= most; ++k) {
            levels_[k] = sampleLevelOf(pyramid->level(k), source);
        }
        count_ = most + 1;
    }
}

void SmoothSampler::sampleRow(const std::int32_t* columns, const std::int32_t* rows,
                              const std::uint32_t* details, std::uint8_t* out,
                              std::int32_t count) const {
    const auto last = static_cast<std::uint32_t>(count_ - 1);
    for (std::int32_t k = 0; k < count; ++k) {
        const std::uint32_t detail = details[k];
        const auto levelIndex = static_cast<std::int32_t>(std::min(levelOf(detail), last));
        const SampleLevel& level = levels_[levelIndex];
        const Corners at = cornersOf(level, levelIndex, columns[k], rows[k], detail);
        std::uint8_t* to = out + 3 * static_cast<std::size_t>(k);
#if defined(__SSE2__)
        const __m128i pixel = blended(level, at);
        if (k + 1 < count) {
            // The fourth byte is the next pixel's, written after this one.
            const auto word = static_cast<std::uint32_t>(_mm_cvtsi128_si32(pixel));
            std::memcpy(to, &word, 4);
            continue;
        }
        const auto word = static_cast<std::uint32_t>(_mm_cvtsi128_si32(pixel));
        std::memcpy(to, &word, 3);
#else
        blendScalar(level, at, to);
#endif
    }
}

}  // namespace engine

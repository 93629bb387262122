#include "engine/smooth_sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/processor.h"
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

using Taps = SampleTaps;
constexpr std::int32_t partPixels = samplePartPixels;

std::uint32_t weightPair(std::uint32_t fraction) {
    return (256 - fraction) | fraction << 16;
}

// One view pixel, exactly 3 bytes, blended one channel at a time.
void blendOne(const Taps& taps, std::int32_t k, std::uint8_t* out) {
    const std::uint8_t* topLeft = taps.at[k];
    const std::uint8_t* topRight = topLeft + taps.right[k];
    const std::uint8_t* bottomLeft = topLeft + taps.down[k];
    const std::uint8_t* bottomRight = bottomLeft + taps.right[k];
    const std::uint32_t stay = taps.across[k] & 0xFFFF;
    const std::uint32_t across = taps.across[k] >> 16;
    const std::uint32_t keep = taps.between[k] & 0xFFFF;
    const std::uint32_t down = taps.between[k] >> 16;
    for (std::size_t c = 0; c < 3; ++c) {
        const std::uint32_t top = (topLeft[c] * stay + topRight[c] * across + 128) >> 8;
        const std::uint32_t bottom = (bottomLeft[c] * stay + bottomRight[c] * across + 128) >> 8;
        out[c] = static_cast<std::uint8_t>((top * keep + bottom * down + 128) >> 8);
    }
}

#if defined(__SSE2__)

__m128i wordAt(const std::uint8_t* p) {
    std::int32_t word;
    std::memcpy(&word, p, 4);
    return _mm_cvtsi32_si128(word);
}

// Pixel k's four channels (the fourth is the byte after the pixel), as
// 32-bit sums of both rows' blends along the row, each rounded to a whole
// value: top | bottom << 16 per channel.
__m128i rowsOf(const Taps& taps, std::int32_t k, __m128i across) {
    const std::uint8_t* top = taps.at[k];
    const std::uint8_t* bottom = top + taps.down[k];
    const std::int32_t right = taps.right[k];
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(128);
    // (left, right) pairs of 16-bit values per channel, top row then bottom.
    const __m128i topPairs =
        _mm_unpacklo_epi8(_mm_unpacklo_epi8(wordAt(top), wordAt(top + right)), zero);
    const __m128i bottomPairs =
        _mm_unpacklo_epi8(_mm_unpacklo_epi8(wordAt(bottom), wordAt(bottom + right)), zero);
    const __m128i topSums =
        _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(topPairs, across), half), 8);
    const __m128i bottomSums =
        _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(bottomPairs, across), half), 8);
    return _mm_or_si128(topSums, _mm_slli_epi32(bottomSums, 16));
}

// Pixels [first, last) of a part, 4 bytes each (the fourth overwritten by the
// next pixel); the caller writes the part's last pixel exactly.
void blendFours(const Taps& taps, std::int32_t first, std::int32_t last, std::uint8_t* out) {
    const __m128i half = _mm_set1_epi32(128);
    std::int32_t k = first;
    for (; k + 4 <= last; k += 4) {
        const __m128i across = _mm_loadu_si128(reinterpret_cast<const __m128i*>(taps.across + k));
        const __m128i between = _mm_loadu_si128(reinterpret_cast<const __m128i*>(taps.between + k));
        __m128i pixels[4];
        pixels[0] = rowsOf(taps, k, _mm_shuffle_epi32(across, 0x00));
        pixels[1] = rowsOf(taps, k + 1, _mm_shuffle_epi32(across, 0x55));
        pixels[2] = rowsOf(taps, k + 2, _mm_shuffle_epi32(across, 0xAA));
        pixels[3] = rowsOf(taps, k + 3, _mm_shuffle_epi32(across, 0xFF));
        pixels[0] = _mm_madd_epi16(pixels[0], _mm_shuffle_epi32(between, 0x00));
        pixels[1] = _mm_madd_epi16(pixels[1], _mm_shuffle_epi32(between, 0x55));
        pixels[2] = _mm_madd_epi16(pixels[2], _mm_shuffle_epi32(between, 0xAA));
        pixels[3] = _mm_madd_epi16(pixels[3], _mm_shuffle_epi32(between, 0xFF));
        for (__m128i& pixel : pixels) {
            pixel = _mm_srli_epi32(_mm_add_epi32(pixel, half), 8);
        }
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(pixels[0], pixels[1]),
                                               _mm_packs_epi32(pixels[2], pixels[3]));
        std::uint8_t* to = out + 3 * static_cast<std::size_t>(k);
        alignas(16) std::uint32_t words[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(words), bytes);
        std::memcpy(to, &words[0], 4);
        std::memcpy(to + 3, &words[1], 4);
        std::memcpy(to + 6, &words[2], 4);
        std::memcpy(to + 9, &words[3], 4);
    }
    for (; k < last; ++k) {
        const __m128i pixel = _mm_madd_epi16(
            rowsOf(taps, k, _mm_set1_epi32(static_cast<std::int32_t>(taps.across[k]))),
            _mm_set1_epi32(static_cast<std::int32_t>(taps.between[k])));
        const __m128i bytes = _mm_packus_epi16(
            _mm_packs_epi32(_mm_srli_epi32(_mm_add_epi32(pixel, half), 8), pixel), pixel);
        const auto word = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes));
        std::memcpy(out + 3 * static_cast<std::size_t>(k), &word, 4);
    }
}

#endif

}  // namespace

SmoothSampler::SmoothSampler(const SourceImage& source, const SourcePyramid* pyramid) {
    if (!source.usable()) {
        return;
    }
    wide_ = wideStepsEnabled();
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

void SmoothSampler::locateTaps(const SampledPart& part, std::int32_t first, SampleTaps& taps,
                               bool& nearEnd) const {
    for (std::int32_t k = first; k < part.count; ++k) {
        const std::uint32_t detail = part.details[k];
        const std::uint32_t index = std::min(levelOf(detail), part.lastLevel);
        const SampleLevel& level = levels_[index];
        std::int32_t x;
        std::int32_t y;
        std::uint32_t fx;
        std::uint32_t fy;
        positionOnLevel(part.columns[k], columnFractionOf(detail), level.columnScale, x, fx);
        positionOnLevel(part.rows[k], rowFractionOf(detail), level.rowScale, y, fy);
        // Left of the first column's centre lies the last column; above the
        // first row's centre there is only the first row.
        x += x < 0 ? level.width : 0;
        x = std::min(x, level.width - 1);
        fy = y < 0 ? 0 : fy;
        y = std::clamp(y, 0, level.height - 1);
        nearEnd |= index == 0 && y >= part.nearEndRow;
        taps.at[k] = level.pixels + static_cast<std::size_t>(y) * level.stride +
                     3 * static_cast<std::size_t>(x);
        taps.right[k] = x + 1 == level.width ? -3 * x : 3;
        taps.down[k] = y + 1 < level.height ? static_cast<std::int32_t>(level.stride) : 0;
        taps.across[k] = weightPair(fx);
        taps.between[k] = weightPair(fy);
#if defined(__SSE2__)
        _mm_prefetch(reinterpret_cast<const char*>(taps.at[k]), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(taps.at[k] + taps.down[k]), _MM_HINT_T0);
#endif
    }
}

void SmoothSampler::askRow(const std::int32_t* columns, const std::int32_t* rows,
                           const std::uint32_t* details, std::int32_t count) const {
#if defined(LUMIVUE_WIDE_STEPS)
    if (wide_) {
        askLevelZeroWide(levels_[0], columns, rows, details, count);
    }
#else
    (void)columns;
    (void)rows;
    (void)details;
    (void)count;
#endif
}

void SmoothSampler::sampleRow(const std::int32_t* columns, const std::int32_t* rows,
                              const std::uint32_t* details, std::uint8_t* out,
                              std::int32_t count) const {
    SampledPart part;
    part.levels = levels_;
    part.lastLevel = static_cast<std::uint32_t>(count_ - 1);
    // Four-byte reads of the source's very last pixel would leave the
    // picture; the pyramid's levels have bytes to spare after theirs.
    part.nearEndRow = levels_[0].height - 2;
    SampleTaps taps;
    for (std::int32_t first = 0; first < count; first += partPixels) {
        part.columns = columns + first;
        part.rows = rows + first;
        part.details = details + first;
        part.count = std::min(partPixels, count - first);
        std::uint8_t* to = out + 3 * static_cast<std::size_t>(first);
        std::int32_t done = 0;
#if defined(LUMIVUE_WIDE_STEPS)
        if (wide_) {
            done = sampleOneLevelWide(part, to);
        }
#endif
        if (done == part.count) {
            continue;
        }
        bool nearEnd = false;
        locateTaps(part, done, taps, nearEnd);
        std::int32_t exact = done;
#if defined(__SSE2__)
        if (!nearEnd) {
            exact = part.count - 1;
            blendFours(taps, done, exact, to);
        }
#endif
        for (std::int32_t k = exact; k < part.count; ++k) {
            blendOne(taps, k, to + 3 * static_cast<std::size_t>(k));
        }
    }
}

}  // namespace engine

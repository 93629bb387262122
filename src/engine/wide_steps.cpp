// Compiled with AVX2 enabled; nothing here may run before the caller
// has checked the processor.
#include "engine/wide_steps.h"

#include <immintrin.h>

#include "engine/arctangent_table.h"

namespace {

constexpr std::int32_t entryCount = ArctangentTable::entryCount;

// The codes of four rays from their two scaled approximations (see
// RowSolver's storeCodes): the whole part of the smaller of `below` (100000
// times the ratio's magnitude) and `beyond` (100000 times its reciprocal's),
// plus entryCount above 1, plus `negative`; 0 where the scaled ratio is not
// clear of a whole number: where moving it by the guard either way changes its
// whole part. Returns whether all four are clear.
bool storeCodes(__m256d below, __m256d beyond, __m256d negative, std::int32_t* codes) {
    const __m256d guard = _mm256_set1_pd(codeGuard);
    const __m256d scaled = _mm256_min_pd(below, beyond);
    const __m128i low = _mm256_cvttpd_epi32(_mm256_sub_pd(scaled, guard));
    const __m128i high = _mm256_cvttpd_epi32(_mm256_add_pd(scaled, guard));
    // A value no int holds converts to INT_MIN on both sides: not clear.
    const __m128i clear =
        _mm_and_si128(_mm_cmpeq_epi32(low, high), _mm_cmpgt_epi32(high, _mm_set1_epi32(-1)));
    const __m256d above =
        _mm256_cmp_pd(below, _mm256_set1_pd(ArctangentTable::indexScale), _CMP_GT_OQ);
    // A whole number, so its conversion is exact.
    const __m256d offset = _mm256_add_pd(
        _mm256_and_pd(above, _mm256_set1_pd(static_cast<double>(entryCount))), negative);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(codes),
                     _mm_and_si128(clear, _mm_add_epi32(high, _mm256_cvttpd_epi32(offset))));
    return _mm_movemask_ps(_mm_castsi128_ps(clear)) == 0xF;
}

}  // namespace

void solveTiltedCodesWide(const TiltedRowCodes& row) {
    const double absoluteDepth = row.depth < 0.0 ? -row.depth : row.depth;
    const double absoluteHeight = row.height < 0.0 ? -row.height : row.height;
    // Longitudes: 100000 |X| / |D| and 100000 |D| / |X|; X is negative on the
    // left half, so the ratio is negative where D > 0.
    const __m256d inverseDepth = _mm256_set1_pd(1.0 / absoluteDepth);
    const __m256d depths = _mm256_set1_pd(absoluteDepth);
    const __m256d westward = _mm256_set1_pd(row.depth > 0.0 ? 2.0 * entryCount : 0.0);
    // Latitudes: h = Y / sqrt(D^2 + X^2).
    const __m256d squaredDepth = _mm256_set1_pd(row.depth * row.depth);
    const __m256d scaledHeight = _mm256_set1_pd(ArctangentTable::indexScale * absoluteHeight);
    const __m256d scaledInverseHeight =
        _mm256_set1_pd(ArctangentTable::indexScale / absoluteHeight);
    const __m256d downward = _mm256_set1_pd(row.height < 0.0 ? 2.0 * entryCount : 0.0);
    for (std::size_t g = 0; g < row.groups; ++g) {
        const std::size_t i = 4 * g;
        const bool longitudesClear =
            storeCodes(_mm256_mul_pd(_mm256_loadu_pd(row.scaledOffsets + i), inverseDepth),
                       _mm256_mul_pd(_mm256_loadu_pd(row.scaledInverseOffsets + i), depths),
                       westward, row.longitudeCodes + i);
        const __m256d squared =
            _mm256_add_pd(squaredDepth, _mm256_loadu_pd(row.squaredOffsets + i));
        const __m256d root = _mm256_sqrt_pd(squared);
        const bool latitudesClear =
            storeCodes(_mm256_div_pd(scaledHeight, root), _mm256_mul_pd(scaledInverseHeight, root),
                       downward, row.latitudeCodes + i);
        row.doubtful[g] = longitudesClear && latitudesClear ? 0 : 1;
    }
}

void locateWide(const std::int32_t* rows, const std::int32_t* columns, std::size_t stride,
                std::size_t* offsets, std::int32_t count) {
    // Entries lie inside the panorama (never negative) and a stride fits in
    // 32 bits, so unsigned 32 x 32 -> 64-bit products are exact.
    const __m256i strides = _mm256_set1_epi64x(static_cast<long long>(stride));
    std::int32_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m256i row =
            _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows + k)));
        const __m256i column =
            _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(columns + k)));
        const __m256i offset =
            _mm256_add_epi64(_mm256_mul_epu32(row, strides),
                             _mm256_add_epi64(column, _mm256_add_epi64(column, column)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(offsets + k), offset);
    }
    for (; k < count; ++k) {
        offsets[k] =
            static_cast<std::size_t>(rows[k]) * stride + static_cast<std::size_t>(columns[k]) * 3;
    }
}

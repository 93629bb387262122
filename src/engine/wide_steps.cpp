// Compiled with AVX2 enabled; nothing here may run before the caller
// has checked the processor.
#include "engine/wide_steps.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "engine/arctangent_table.h"
#include "engine/smooth_sampler.h"

namespace engine {

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

// Eight codes' values from their blocks' bases and (step, delta) words.
__m256i valuesOf(__m256i bases, __m256i steps, __m256i codes, std::int32_t placeMask) {
    const __m256i places = _mm256_and_si256(codes, _mm256_set1_epi32(placeMask));
    const __m256i before =
        _mm256_cmpgt_epi32(_mm256_and_si256(steps, _mm256_set1_epi32(0xFFFF)), places);
    return _mm256_add_epi32(bases, _mm256_andnot_si256(before, _mm256_srai_epi32(steps, 16)));
}

// Codes k and k + 4's records side by side, `bytes` long each (8 or 16).
template <int bytes>
__m256i recordsOf(const StepRecords& table, const std::int32_t* codes, int k) {
    auto at = [&](int n) {
        const auto block =
            static_cast<std::size_t>(static_cast<std::uint32_t>(codes[n]) >> table.shift);
        const std::int32_t* words = table.words + block * (bytes / 4);
        return bytes == 16 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(words))
                           : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(words));
    };
    return _mm256_inserti128_si256(_mm256_castsi128_si256(at(k)), at(k + 4), 1);
}

// The values of eight codes in a table of one value per code.
__m256i eightValues(const StepRecords& table, const std::int32_t* codes) {
    // [base k, base k+1, step k, step k+1] in each half.
    const __m256i low =
        _mm256_unpacklo_epi32(recordsOf<8>(table, codes, 0), recordsOf<8>(table, codes, 1));
    const __m256i high =
        _mm256_unpacklo_epi32(recordsOf<8>(table, codes, 2), recordsOf<8>(table, codes, 3));
    return valuesOf(_mm256_unpacklo_epi64(low, high), _mm256_unpackhi_epi64(low, high),
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(codes)), table.placeMask);
}

// Both values of eight codes in a table of two values per code.
void eightPairs(const StepRecords& table, const std::int32_t* codes, __m256i& first,
                __m256i& second) {
    const __m256i code0 = recordsOf<16>(table, codes, 0);
    const __m256i code1 = recordsOf<16>(table, codes, 1);
    const __m256i code2 = recordsOf<16>(table, codes, 2);
    const __m256i code3 = recordsOf<16>(table, codes, 3);
    const __m256i first01 = _mm256_unpacklo_epi32(code0, code1);
    const __m256i second01 = _mm256_unpackhi_epi32(code0, code1);
    const __m256i first23 = _mm256_unpacklo_epi32(code2, code3);
    const __m256i second23 = _mm256_unpackhi_epi32(code2, code3);
    const __m256i all = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(codes));
    first = valuesOf(_mm256_unpacklo_epi64(first01, first23),
                     _mm256_unpackhi_epi64(first01, first23), all, table.placeMask);
    second = valuesOf(_mm256_unpacklo_epi64(second01, second23),
                      _mm256_unpackhi_epi64(second01, second23), all, table.placeMask);
}

// Marks each group of four with a negative (unknown) value.
void markUnknown(__m256i values, std::uint8_t* doubtful) {
    const int negative = _mm256_movemask_ps(_mm256_castsi256_ps(values));
    doubtful[0] |= (negative & 0x0F) != 0 ? 1 : 0;
    doubtful[1] |= (negative & 0xF0) != 0 ? 1 : 0;
}

}  // namespace

std::size_t lookUpTiltedRowWide(const TiltedRowLookups& row) {
    const __m256i reversal = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    const __m256i first = _mm256_set1_epi32(row.firstColumnCode);
    std::size_t g = 0;
    for (; g + 2 <= row.groups; g += 2) {
        const std::size_t i = 4 * g;
        const std::size_t right = row.viewWidth - 8 - i;
        // A doubtful code is 0: read the first entry instead.
        __m256i at = _mm256_sub_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.longitudeCodes + i)), first);
        at = _mm256_max_epi32(at, _mm256_setzero_si256());
        alignas(32) std::int32_t positions[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(positions), at);
        __m256i left;
        __m256i mirrored;
        eightPairs(row.columns, positions, left, mirrored);
        markUnknown(_mm256_or_si256(left, mirrored), row.doubtful + g);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.columnEntries + i), left);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.columnEntries + right),
                            _mm256_permutevar8x32_epi32(mirrored, reversal));
        const __m256i sourceRows = eightValues(row.rows, row.latitudeCodes + i);
        markUnknown(sourceRows, row.doubtful + g);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.rowEntries + i), sourceRows);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.rowEntries + right),
                            _mm256_permutevar8x32_epi32(sourceRows, reversal));
    }
    return g;
}

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

namespace {

__m256d widenedLow(__m256 v) {
    return _mm256_cvtps_pd(_mm256_castps256_ps128(v));
}

__m256d widenedHigh(__m256 v) {
    return _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1));
}

__m256 roundedToSingles(__m256d low, __m256d high) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(low)), _mm256_cvtpd_ps(high),
                                1);
}

__m256i truncatedToInts(__m256d low, __m256d high) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm256_cvttpd_epi32(low)),
                                   _mm256_cvttpd_epi32(high), 1);
}

// 256ths beyond the truncation, kept within 0 ... 255 (fractionInSteps).
__m256i stepsWithin(__m256i steps) {
    return _mm256_min_epi32(_mm256_max_epi32(steps, _mm256_setzero_si256()),
                            _mm256_set1_epi32(255));
}

__m256i fractionSteps(__m256 values) {
    const __m256 wholes = _mm256_cvtepi32_ps(_mm256_cvttps_epi32(values));
    return stepsWithin(
        _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_sub_ps(values, wholes), _mm256_set1_ps(256.0f))));
}

__m256d fractionOfFour(__m256d values) {
    const __m256d wholes = _mm256_cvtepi32_pd(_mm256_cvttpd_epi32(values));
    return _mm256_mul_pd(_mm256_sub_pd(values, wholes), _mm256_set1_pd(256.0));
}

__m256i fractionSteps(__m256d low, __m256d high) {
    return stepsWithin(truncatedToInts(fractionOfFour(low), fractionOfFour(high)));
}

// What the column fractions of a row's rays are formed with.
struct ColumnConstants {
    ColumnConstants(double pan, double turn, double columnsPerRadian, double centreColumn,
                    double mirrorSum, float panoramaWidth)
        : pans(_mm256_set1_pd(pan)),
          turns(_mm256_set1_pd(turn)),
          turned(turn != 0.0),
          columnsPerRadian(_mm256_set1_pd(columnsPerRadian)),
          centreColumn(_mm256_set1_pd(centreColumn)),
          mirrorSum(_mm256_set1_pd(mirrorSum)),
          width(_mm256_set1_ps(panoramaWidth)),
          negativeWidth(_mm256_set1_ps(-panoramaWidth)) {}
    __m256d pans;
    __m256d turns;
    bool turned;
    __m256d columnsPerRadian;
    __m256d centreColumn;
    __m256d mirrorSum;
    __m256 width;
    __m256 negativeWidth;
};

// The column fractions of eight rays, left and mirrored, from their
// longitude codes' angles: the longitude single(theta + pan + turn) (turn
// added only when it is not 0), the column kx * longitude + cx, wrapped once.
void columnFractionsOfEight(__m256 thetas, const ColumnConstants& c, __m256i& left,
                            __m256i& mirrored) {
    __m256d lonLow = _mm256_add_pd(widenedLow(thetas), c.pans);
    __m256d lonHigh = _mm256_add_pd(widenedHigh(thetas), c.pans);
    if (c.turned) {
        lonLow = _mm256_add_pd(lonLow, c.turns);
        lonHigh = _mm256_add_pd(lonHigh, c.turns);
    }
    const __m256 longitudes = roundedToSingles(lonLow, lonHigh);
    __m256 u = roundedToSingles(
        _mm256_add_pd(_mm256_mul_pd(c.columnsPerRadian, widenedLow(longitudes)), c.centreColumn),
        _mm256_add_pd(_mm256_mul_pd(c.columnsPerRadian, widenedHigh(longitudes)), c.centreColumn));
    const __m256 correction =
        _mm256_or_ps(_mm256_and_ps(_mm256_cmp_ps(u, c.width, _CMP_GE_OQ), c.negativeWidth),
                     _mm256_and_ps(_mm256_cmp_ps(u, _mm256_setzero_ps(), _CMP_LT_OQ), c.width));
    u = _mm256_add_ps(u, correction);
    left = fractionSteps(u);
    mirrored = fractionSteps(_mm256_sub_pd(c.mirrorSum, widenedLow(u)),
                             _mm256_sub_pd(c.mirrorSum, widenedHigh(u)));
}

// Levels of four rays: how many bounds their flat or whole square lies within.
__m256i levelsOfFour(const DetailRow& row, std::size_t i) {
    const __m256d flat =
        _mm256_add_pd(_mm256_set1_pd(row.squaredDepth), _mm256_loadu_pd(row.squaredOffsets + i));
    const __m256d whole = _mm256_add_pd(flat, _mm256_set1_pd(row.squaredHeight));
    __m256i levels = _mm256_setzero_si256();
    for (std::int32_t k = 0; k < row.levelBounds; ++k) {
        const __m256d within =
            _mm256_or_pd(_mm256_cmp_pd(flat, _mm256_set1_pd(row.columnBounds[k]), _CMP_LE_OQ),
                         _mm256_cmp_pd(whole, _mm256_set1_pd(row.rowBounds[k]), _CMP_LE_OQ));
        if (_mm256_movemask_pd(within) == 0) {
            break;
        }
        levels = _mm256_sub_epi64(levels, _mm256_castpd_si256(within));
    }
    return levels;
}

// Eight rays' levels as 32-bit values.
__m256i levelsOfEight(const DetailRow& row, std::size_t i) {
    const __m256i evens = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
    const __m256i low = _mm256_permutevar8x32_epi32(levelsOfFour(row, i), evens);
    const __m256i high = _mm256_permutevar8x32_epi32(levelsOfFour(row, i + 4), evens);
    return _mm256_blend_epi32(low, high, 0xF0);
}

}  // namespace

// Pairs of groups between asking for a pair's longitudes and reading them.
constexpr std::size_t detailPrefetchPairs = 4;

void solveDetailsWide(const DetailRow& row) {
    const __m256i reversal = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    const ColumnConstants columns(row.pan, row.turn, row.columnsPerRadian, row.centreColumn,
                                  row.mirrorSum, row.panoramaWidth);
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    // A mirrored level row reads the codes of the same index and side of 1
    // with the other sign.
    const __m256i bothVariants = _mm256_set1_epi32(row.negatedLatitudes ? 4 * entryCount : 0);
    const __m256i firstNegative =
        _mm256_set1_epi32(row.negatedLatitudes ? 2 * entryCount - 1 : 4 * entryCount);
    const __m256i flip = _mm256_set1_epi32(row.negatedLatitudes ? 2 * entryCount : 0);
    const __m256i firstColumnCode = _mm256_set1_epi32(row.firstColumnCode);
    const bool anglesForColumns =
        row.longitudeCodes != nullptr && row.columnFractionsByCode == nullptr;
    for (std::size_t g = 0; g + 2 <= row.groups; g += 2) {
        if ((row.doubtful[g] | row.doubtful[g + 1]) != 0) {
            continue;
        }
        const std::size_t i = 4 * g;
        const std::size_t right = row.viewWidth - 8 - i;
        // Codes step far apart across the row, most on a line of their
        // own: ask for those a few pairs ahead.
        if (g + 2 + 2 * detailPrefetchPairs <= row.groups) {
            const std::int32_t* latitudesAhead = row.latitudeCodes + i + 8 * detailPrefetchPairs;
            for (std::size_t n = 0; n < 8; ++n) {
                std::int32_t code = latitudesAhead[n];
                if (row.negatedLatitudes) {
                    code += code < 2 * entryCount ? 2 * entryCount : -2 * entryCount;
                }
                _mm_prefetch(reinterpret_cast<const char*>(row.rowFractionsByCode + code),
                             _MM_HINT_T0);
            }
        }
        if (row.longitudeCodes != nullptr && g + 2 + 2 * detailPrefetchPairs <= row.groups) {
            const std::int32_t* ahead = row.longitudeCodes + i + 8 * detailPrefetchPairs;
            for (std::size_t n = 0; n < 8; ++n) {
                const char* line =
                    anglesForColumns
                        ? reinterpret_cast<const char*>(row.anglesByCode + ahead[n])
                        : reinterpret_cast<const char*>(row.columnFractionsByCode + ahead[n] -
                                                        row.firstColumnCode);
                _mm_prefetch(line, _MM_HINT_T0);
            }
        }
        __m256i latitudeCodes =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.latitudeCodes + i));
        latitudeCodes = _mm256_sub_epi32(
            _mm256_add_epi32(latitudeCodes, flip),
            _mm256_and_si256(_mm256_cmpgt_epi32(latitudeCodes, firstNegative), bothVariants));
        const __m256i rowFractions = _mm256_and_si256(
            _mm256_i32gather_epi32(reinterpret_cast<const int*>(row.rowFractionsByCode),
                                   latitudeCodes, 1),
            byteMask);
        const __m256i rowAndLevel = _mm256_or_si256(_mm256_slli_epi32(rowFractions, 8),
                                                    _mm256_slli_epi32(levelsOfEight(row, i), 16));
        __m256i left;
        __m256i mirrored;
        if (row.longitudeCodes == nullptr) {
            left =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.levelColumnFractions + i));
            mirrored = _mm256_permutevar8x32_epi32(
                _mm256_loadu_si256(
                    reinterpret_cast<const __m256i*>(row.levelColumnFractions + right)),
                reversal);
        } else if (!anglesForColumns) {
            const __m256i both = _mm256_i32gather_epi32(
                reinterpret_cast<const int*>(row.columnFractionsByCode),
                _mm256_sub_epi32(
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.longitudeCodes + i)),
                    firstColumnCode),
                2);
            left = _mm256_and_si256(both, byteMask);
            mirrored = _mm256_and_si256(_mm256_srli_epi32(both, 8), byteMask);
        } else {
            const __m256 thetas = _mm256_i32gather_ps(
                row.anglesByCode,
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.longitudeCodes + i)), 4);
            columnFractionsOfEight(thetas, columns, left, mirrored);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.details + i),
                            _mm256_or_si256(left, rowAndLevel));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(row.details + right),
            _mm256_permutevar8x32_epi32(_mm256_or_si256(mirrored, rowAndLevel), reversal));
    }
}

std::size_t codeColumnFractionsWide(const ColumnFractionCodes& codes) {
    const ColumnConstants columns(codes.pan, 0.0, codes.columnsPerRadian, codes.centreColumn,
                                  codes.mirrorSum, codes.panoramaWidth);
    std::size_t k = 0;
    for (; k + 16 <= codes.count; k += 16) {
        __m256i both[2];
        for (std::size_t half = 0; half < 2; ++half) {
            __m256i left;
            __m256i mirrored;
            columnFractionsOfEight(_mm256_loadu_ps(codes.angles + k + 8 * half), columns, left,
                                   mirrored);
            both[half] = _mm256_or_si256(left, _mm256_slli_epi32(mirrored, 8));
        }
        // Packing works within each 128-bit lane: put the lanes back in order.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(codes.fractions + k),
                            _mm256_permute4x64_epi64(_mm256_packus_epi32(both[0], both[1]), 0xD8));
    }
    return k;
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

namespace {

// (values * scale) >> 32 of eight unsigned 32-bit lanes.
__m256i highProducts(__m256i values, __m256i scale) {
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(values, scale), 32);
    const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(values, 32), scale);
    return _mm256_blend_epi32(even, odd, 0xAA);
}

// Whole positions and 256ths on a smaller level (positionOnLevel), from
// positions whose whole part is below 2^23.
void onLevel(__m256i wholes, __m256i fractions, __m256i scale, __m256i& levelWholes,
             __m256i& levelFractions) {
    const __m256i edges = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_slli_epi32(wholes, 8), fractions), _mm256_set1_epi32(128));
    const __m256i scaled = _mm256_sub_epi32(highProducts(edges, scale), _mm256_set1_epi32(128));
    levelWholes = _mm256_srai_epi32(scaled, 8);
    levelFractions = _mm256_and_si256(scaled, _mm256_set1_epi32(255));
}

// Fractions f (0 ... 255) as 128 f in both 16-bit halves of their lanes.
__m256i scaledWeights(__m256i fractions) {
    return _mm256_or_si256(_mm256_slli_epi32(fractions, 7), _mm256_slli_epi32(fractions, 23));
}

// Four pixels' blends as 16-bit channels (the fourth 0): `tops` and
// `bottoms` hold, per 128-bit lane, two pixels' 8-byte words of one row (left
// neighbour, right neighbour, 2 more bytes); `across` and `between` each
// pixel's fraction times 128 in all four of its channels. The rounding high
// product of d and 128 f is d f / 256 rounded half up, so a + that product
// equals (a (256 - f) + b f + 128) >> 8 for d = b - a: SmoothSampler's blend,
// along the rows and then between them.
__m256i blendFour(__m256i tops, __m256i bottoms, __m256i across, __m256i between) {
    const __m256i leftOf = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(0, -1, 1, -1, 2, -1, -1, -1, 8, -1, 9, -1, 10, -1, -1, -1));
    const __m256i rightOf = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(3, -1, 4, -1, 5, -1, -1, -1, 11, -1, 12, -1, 13, -1, -1, -1));
    const auto along = [&](__m256i words) {
        const __m256i left = _mm256_shuffle_epi8(words, leftOf);
        const __m256i right = _mm256_shuffle_epi8(words, rightOf);
        return _mm256_add_epi16(left, _mm256_mulhrs_epi16(_mm256_sub_epi16(right, left), across));
    };
    const __m256i top = along(tops);
    const __m256i bottom = along(bottoms);
    return _mm256_add_epi16(top, _mm256_mulhrs_epi16(_mm256_sub_epi16(bottom, top), between));
}

// The 8-byte words at four pixels `at(i)`: the first two in the low lane.
template <typename At>
__m256i wordsAt(const At& at, int a, int b, int c, int d) {
    const auto pair = [&](int first, int second) {
        return _mm_castpd_si128(_mm_loadh_pd(
            _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at(first)))),
            reinterpret_cast<const double*>(at(second))));
    };
    return _mm256_inserti128_si256(_mm256_castsi128_si256(pair(a, b)), pair(c, d), 1);
}

// Eight view pixels (24 bytes to `to`) from the top-left and bottom-left
// neighbours of each position and its fractions.
template <typename TopAt, typename BottomAt>
void blendEight(const TopAt& topAt, const BottomAt& bottomAt, __m256i fx, __m256i fy,
                std::uint8_t* to) {
    // Pixels 0, 1 | 4, 5 are blended together, and 2, 3 | 6, 7, so that
    // packing both gives pixels 0 ... 3 in the low lane and 4 ... 7 in the high.
    const __m256i firstFour = _mm256_setr_epi32(0, 0, 1, 1, 4, 4, 5, 5);
    const __m256i secondFour = _mm256_setr_epi32(2, 2, 3, 3, 6, 6, 7, 7);
    // Three bytes of each of four pixels' channels, in order.
    const __m256i packed = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    const __m256i across = scaledWeights(fx);
    const __m256i between = scaledWeights(fy);
    const __m256i first = blendFour(wordsAt(topAt, 0, 1, 4, 5), wordsAt(bottomAt, 0, 1, 4, 5),
                                    _mm256_permutevar8x32_epi32(across, firstFour),
                                    _mm256_permutevar8x32_epi32(between, firstFour));
    const __m256i second = blendFour(wordsAt(topAt, 2, 3, 6, 7), wordsAt(bottomAt, 2, 3, 6, 7),
                                     _mm256_permutevar8x32_epi32(across, secondFour),
                                     _mm256_permutevar8x32_epi32(between, secondFour));
    const __m256i bytes = _mm256_shuffle_epi8(_mm256_packus_epi16(first, second), packed);
    const __m128i low = _mm256_castsi256_si128(bytes);
    const __m128i high = _mm256_extracti128_si256(bytes, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to), low);
    const std::int32_t lowTail = _mm_extract_epi32(low, 2);
    std::memcpy(to + 8, &lowTail, 4);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to + 12), high);
    const std::int32_t highTail = _mm_extract_epi32(high, 2);
    std::memcpy(to + 20, &highTail, 4);
}

}  // namespace

std::int32_t sampleOneLevelWide(const SampledPart& part, std::uint8_t* out) {
    const __m256i last = _mm256_set1_epi32(static_cast<std::int32_t>(part.lastLevel));
    const std::uint32_t index = std::min(part.details[0] >> 16, part.lastLevel);
    const __m256i asked = _mm256_set1_epi32(static_cast<std::int32_t>(index));
    const std::int32_t whole = part.count & ~7;
    const SampleLevel& level = part.levels[index];
    const __m256i width = _mm256_set1_epi32(level.width);
    const __m256i lastColumn = _mm256_set1_epi32(level.width - 1);
    const __m256i lastRow = _mm256_set1_epi32(level.height - 1);
    const __m256i stride = _mm256_set1_epi32(static_cast<std::int32_t>(level.stride));
    const __m256i columnScale = _mm256_set1_epi32(static_cast<std::int32_t>(level.columnScale));
    const __m256i rowScale = _mm256_set1_epi32(static_cast<std::int32_t>(level.rowScale));
    const __m256i fractionMask = _mm256_set1_epi32(255);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i nearEndRow = _mm256_set1_epi32(index == 0 ? part.nearEndRow : level.height);
    const std::uint8_t* pixels = level.pixels;
    for (std::int32_t k = 0; k < whole; k += 8) {
        const __m256i details =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(part.details + k));
        const __m256i levels = _mm256_min_epu32(_mm256_srli_epi32(details, 16), last);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(levels, asked)) != -1) {
            return k;
        }
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(part.columns + k));
        __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(part.rows + k));
        __m256i fx = _mm256_and_si256(details, fractionMask);
        __m256i fy = _mm256_and_si256(_mm256_srli_epi32(details, 8), fractionMask);
        if (index != 0) {
            onLevel(x, fx, columnScale, x, fx);
            onLevel(y, fy, rowScale, y, fy);
            // Left of the first column's centre lies the last column; above
            // the first row's centre there is only the first row.
            x = _mm256_add_epi32(x, _mm256_and_si256(_mm256_cmpgt_epi32(zero, x), width));
            x = _mm256_min_epi32(x, lastColumn);
            fy = _mm256_andnot_si256(_mm256_cmpgt_epi32(zero, y), fy);
            y = _mm256_min_epi32(_mm256_max_epi32(y, zero), lastRow);
        }
        const __m256i apart = _mm256_or_si256(
            _mm256_cmpeq_epi32(x, lastColumn),
            _mm256_cmpgt_epi32(y, _mm256_sub_epi32(nearEndRow, _mm256_set1_epi32(1))));
        if (_mm256_movemask_epi8(apart) != 0) {
            return k;
        }
        std::uint8_t* to = out + 3 * static_cast<std::size_t>(k);
        if (index == 0) {
            // Level 0's entries are the pixels' own rows and columns, and the
            // row below each is there: rows from nearEndRow on were left to
            // the caller.
            const std::int32_t* rows = part.rows + k;
            const std::int32_t* columns = part.columns + k;
            const std::size_t rowBytes = level.stride;
            const auto topAt = [&](int n) {
                return pixels + static_cast<std::size_t>(rows[n]) * rowBytes +
                       3 * static_cast<std::size_t>(columns[n]);
            };
            blendEight(
                topAt, [&](int n) { return topAt(n) + rowBytes; }, fx, fy, to);
            continue;
        }
        // Offsets of the top-left and bottom-left pixels.
        const __m256i offsets = _mm256_add_epi32(_mm256_mullo_epi32(y, stride),
                                                 _mm256_add_epi32(x, _mm256_add_epi32(x, x)));
        const __m256i belowOffsets =
            _mm256_add_epi32(offsets, _mm256_andnot_si256(_mm256_cmpeq_epi32(y, lastRow), stride));
        alignas(32) std::uint32_t tops[8];
        alignas(32) std::uint32_t bottoms[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(tops), offsets);
        _mm256_store_si256(reinterpret_cast<__m256i*>(bottoms), belowOffsets);
        blendEight([&](int n) { return pixels + tops[n]; },
                   [&](int n) { return pixels + bottoms[n]; }, fx, fy, to);
    }
    return whole;
}

void askLevelZeroWide(const SampleLevel& source, const std::int32_t* columns,
                      const std::int32_t* rows, const std::uint32_t* details, std::int32_t count) {
    const __m256i levelBits = _mm256_set1_epi32(static_cast<std::int32_t>(0xFFFF0000u));
    const std::uint8_t* pixels = source.pixels;
    const std::int32_t lastRow = source.height - 1;
    const std::int32_t whole = count & ~7;
    for (std::int32_t k = 0; k < whole; k += 8) {
        const __m256i levels = _mm256_and_si256(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(details + k)), levelBits);
        if (!_mm256_testz_si256(levels, levels)) {
            continue;
        }
        // Eight neighbouring pixels of level 0 read at most two pixels'
        // worth of source apart each: the lines of the first and the last
        // cover the group's, in both rows.
        for (const std::int32_t n : {k, k + 7}) {
            const std::uint8_t* top = pixels + static_cast<std::size_t>(rows[n]) * source.stride +
                                      3 * static_cast<std::size_t>(columns[n]);
            _mm_prefetch(reinterpret_cast<const char*>(top), _MM_HINT_T1);
            _mm_prefetch(
                reinterpret_cast<const char*>(rows[n] < lastRow ? top + source.stride : top),
                _MM_HINT_T1);
        }
    }
}

std::int32_t halveRowWide(const std::uint8_t* top, const std::uint8_t* bottom,
                          std::size_t aboveBytes, std::uint8_t* out, std::int32_t count) {
    // Each 128-bit lane holds four pixels of one row (12 bytes of 16 read):
    // pairs (a_c, b_c) of horizontal neighbours side by side, summed as
    // 16-bit values, for two pixels of the half row.
    const __m256i pairs = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(0, 3, 1, 4, 2, 5, 6, 9, 7, 10, 8, 11, -1, -1, -1, -1));
    const __m256i ones = _mm256_set1_epi8(1);
    const __m256i two = _mm256_set1_epi16(2);
    auto sums = [&](const std::uint8_t* row) {
        const __m256i bytes = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 12)), 1);
        return _mm256_maddubs_epi16(_mm256_shuffle_epi8(bytes, pairs), ones);
    };
    std::int32_t x = 0;
    // Reads end 4 bytes past the 24 of four pixel pairs; the second store 2
    // bytes past the 12 of four pixels.
    for (; x + 4 <= count && 6 * static_cast<std::size_t>(x) + 28 <= aboveBytes &&
           3 * x + 14 <= 3 * count;
         x += 4) {
        const std::size_t from = 6 * static_cast<std::size_t>(x);
        const __m256i total =
            _mm256_add_epi16(_mm256_add_epi16(sums(top + from), sums(bottom + from)), two);
        const __m256i means =
            _mm256_packus_epi16(_mm256_srli_epi16(total, 2), _mm256_setzero_si256());
        std::uint8_t* to = out + 3 * static_cast<std::size_t>(x);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm256_castsi256_si128(means));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to + 6), _mm256_extracti128_si256(means, 1));
    }
    return x;
}

}  // namespace engine

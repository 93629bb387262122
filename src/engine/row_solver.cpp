#include "engine/row_solver.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/angles.h"

namespace {

// Truncation toward zero; a value no int can hold (or NaN) gives 0, so that a
// broken view angle can never address memory outside the panorama.
std::int32_t truncated(double value) {
    return value > -2147483648.0 && value < 2147483648.0 ? static_cast<std::int32_t>(value) : 0;
}

// Brings a column that is still outside the panorama after the one wrap of the
// warp (only possible for absurd angles or float rounding at the seam) back
// into it. Columns already inside are never touched.
std::int32_t intoPanorama(std::int32_t column, std::int32_t width) {
    if (static_cast<std::uint32_t>(column) < static_cast<std::uint32_t>(width)) {
        return column;
    }
    column %= width;
    return column < 0 ? column + width : column;
}

float single(double value) {
    return static_cast<float>(value);
}

}  // namespace

void RowSolver::prepare(const Projection& p, const SourceImage& source, float pan,
                        std::int32_t viewWidth, std::int32_t half) {
    columnsPerRadian_ = p.columnsPerRadian;
    centreColumn_ = p.centreColumn;
    mirrorSum_ = p.mirrorSum;
    rowsPerRadian_ = p.rowsPerRadian;
    centreRow_ = p.centreRow;
    pan_ = pan;
    panoramaWidth_ = source.width;
    lastRow_ = source.height - 1;
    viewWidth_ = viewWidth;
    half_ = static_cast<std::size_t>(half);
    offsets_.resize(half_);
    squaredOffsets_.resize(half_);
    inverseOffsets_.resize(half_);
    for (std::size_t i = 0; i < half_; ++i) {
        const double x = single(static_cast<double>(i) - p.halfWidth);
        offsets_[i] = x;
        squaredOffsets_[i] = x * x;
        inverseOffsets_[i] = 1.0 / x;
    }
    rayLengths_.resize(half_);
    inverseRayLengths_.resize(half_);
    levelColumns_.resize(static_cast<std::size_t>(viewWidth));
    longitudeLookups_.resize(half_);
    latitudeLookups_.resize(half_);
    doubtful_.resize(half_ / 4);
}

void RowSolver::columnsOfLongitude(float longitude, std::int32_t& column,
                                   std::int32_t& mirrored) const {
    const auto widthF = static_cast<float>(panoramaWidth_);
    float u = single(columnsPerRadian_ * longitude + centreColumn_);
    if (u >= widthF) {
        u = u - widthF;
    } else if (u < 0.0f) {
        u = u + widthF;
    }
    column = intoPanorama(truncated(u), panoramaWidth_);
    std::int32_t right = truncated(mirrorSum_ - u);
    if (right >= panoramaWidth_) {
        right -= panoramaWidth_;
    } else if (right < 0) {
        right += panoramaWidth_;
    }
    mirrored = intoPanorama(right, panoramaWidth_);
}

std::int32_t RowSolver::rowOfLatitude(float latitude) const {
    const std::int32_t row = truncated(rowsPerRadian_ * latitude + centreRow_);
    return row < 0 ? 0 : (row > lastRow_ ? lastRow_ : row);
}

RowSolver::Ray RowSolver::solveRay(const ArctangentTable& table, std::size_t i, double depth,
                                   double height, double turn) const {
    const double x = offsets_[i];
    const float theta = table.arctangent(x / depth);
    const float longitude = single(static_cast<double>(theta) + pan_ + turn);
    Ray ray{};
    columnsOfLongitude(longitude, ray.column, ray.mirroredColumn);
    const float latitude = table.arctangent(height / std::sqrt(depth * depth + x * x));
    ray.row = rowOfLatitude(latitude);
    return ray;
}

void RowSolver::storeRay(const Ray& ray, std::size_t i, std::int32_t* columns,
                         std::int32_t* rows) const {
    const std::size_t right = static_cast<std::size_t>(viewWidth_) - 1 - i;
    columns[i] = ray.column;
    rows[i] = ray.row;
    columns[right] = ray.mirroredColumn;
    rows[right] = ray.row;
}

void RowSolver::solveDepth(const ArctangentTable& table, float depth) {
    const double d = depth;
    depth_ = d;
    const double turn = depth <= 0.0f ? static_cast<double>(pi) : 0.0;
    for (std::size_t i = 0; i < half_; ++i) {
        const double x = offsets_[i];
        const float theta = table.arctangent(x / d);
        const float longitude = single(static_cast<double>(theta) + pan_ + turn);
        std::int32_t column = 0;
        std::int32_t mirrored = 0;
        columnsOfLongitude(longitude, column, mirrored);
        levelColumns_[i] = column;
        // A middle column (odd widths) keeps the mirrored value.
        levelColumns_[static_cast<std::size_t>(viewWidth_) - 1 - i] = mirrored;
        const double length = std::sqrt(d * d + x * x);
        rayLengths_[i] = length;
        inverseRayLengths_[i] = 1.0 / length;
    }
}

#if defined(__SSE2__)

namespace {

// Lookups by a product with a reciprocal are trusted only when the scaled
// ratio lies at least this far from a whole number and from the 0-1 boundary
// of the ratio; the products differ from the quotients by a few units in the
// last place, far below it.
constexpr double guard = 1e-9;
constexpr double maximumFinite = 1.0e300;

__m128d absolute(__m128d v) {
    return _mm_andnot_pd(_mm_set1_pd(-0.0), v);
}

__m128d select(__m128d mask, __m128d whenSet, __m128d otherwise) {
    return _mm_or_pd(_mm_and_pd(mask, whenSet), _mm_andnot_pd(mask, otherwise));
}

__m128 select(__m128 mask, __m128 whenSet, __m128 otherwise) {
    return _mm_or_ps(_mm_and_ps(mask, whenSet), _mm_andnot_ps(mask, otherwise));
}

// The 64-bit masks of two pairs of rays as four 32-bit masks.
__m128 narrowed(__m128d low, __m128d high) {
    return _mm_shuffle_ps(_mm_castpd_ps(low), _mm_castpd_ps(high), _MM_SHUFFLE(2, 0, 2, 0));
}

__m128i truncatedToInts(__m128d low, __m128d high) {
    return _mm_unpacklo_epi64(_mm_cvttpd_epi32(low), _mm_cvttpd_epi32(high));
}

__m128 roundedToSingles(__m128d low, __m128d high) {
    return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
}

__m128d lowWidened(__m128 v) {
    return _mm_cvtps_pd(v);
}

__m128d highWidened(__m128 v) {
    return _mm_cvtps_pd(_mm_movehl_ps(v, v));
}

__m128i reversed(__m128i v) {
    return _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));
}

bool allSet(__m128i mask) {
    return _mm_movemask_epi8(mask) == 0xFFFF;
}

// Values 0 <= v < limit, lane by lane.
__m128i withinZeroTo(__m128i v, __m128i limit) {
    return _mm_andnot_si128(_mm_cmplt_epi32(v, _mm_setzero_si128()), _mm_cmplt_epi32(v, limit));
}

// Table indices of a pair of ratios. `ratio` approximates the quotient; for
// magnitudes above 1 the index comes from `inverse`, which approximates its
// reciprocal. `exact` lanes are those whose index is certain.
struct IndexPair {
    __m128d scaled;
    __m128d above;
    __m128d exact;
};

IndexPair guardedIndices(__m128d ratio, __m128d inverse) {
    const __m128d scale = _mm_set1_pd(ArctangentTable::indexScale);
    const __m128d magnitude = absolute(ratio);
    const __m128d below = _mm_cmplt_pd(magnitude, _mm_set1_pd(1.0 - guard));
    const __m128d above = _mm_and_pd(_mm_cmpgt_pd(magnitude, _mm_set1_pd(1.0 + guard)),
                                     _mm_cmple_pd(magnitude, _mm_set1_pd(maximumFinite)));
    const __m128d scaled =
        select(below, _mm_mul_pd(scale, magnitude), _mm_mul_pd(scale, absolute(inverse)));
    const __m128d whole = _mm_cvtepi32_pd(_mm_cvttpd_epi32(scaled));
    const __m128d fraction = _mm_sub_pd(scaled, whole);
    const __m128d clear = _mm_and_pd(_mm_cmpge_pd(fraction, _mm_set1_pd(guard)),
                                     _mm_cmple_pd(fraction, _mm_set1_pd(1.0 - guard)));
    return {scaled, above, _mm_and_pd(_mm_or_pd(below, above), clear)};
}

// Stores the table lookups of four rays (indices, and masks of the ratios
// above 1 and below 0); an index that is not certain is stored as 0, a safe
// entry to read, and the group is reported as not exact.
bool storeLookups(const IndexPair& low, const IndexPair& high, __m128d ratioLow, __m128d ratioHigh,
                  TableLookups& lookups, std::size_t i) {
    const __m128i exact = _mm_castps_si128(narrowed(low.exact, high.exact));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&lookups.indices[i]),
                     _mm_and_si128(exact, truncatedToInts(low.scaled, high.scaled)));
    _mm_storeu_ps(reinterpret_cast<float*>(&lookups.above[i]), narrowed(low.above, high.above));
    _mm_storeu_ps(reinterpret_cast<float*>(&lookups.negative[i]),
                  narrowed(_mm_cmplt_pd(ratioLow, _mm_setzero_pd()),
                           _mm_cmplt_pd(ratioHigh, _mm_setzero_pd())));
    return allSet(exact);
}

// Four table angles: entry[index], halfPi - entry above 1, negated for
// negative ratios.
__m128 tableAngles(const float* entries, const TableLookups& lookups, std::size_t i) {
    const std::int32_t* at = &lookups.indices[i];
    const __m128 values =
        _mm_setr_ps(entries[at[0]], entries[at[1]], entries[at[2]], entries[at[3]]);
    const __m128 above = _mm_loadu_ps(reinterpret_cast<const float*>(&lookups.above[i]));
    const __m128 negative = _mm_loadu_ps(reinterpret_cast<const float*>(&lookups.negative[i]));
    const __m128 angles = select(above, _mm_sub_ps(_mm_set1_ps(halfPi), values), values);
    return _mm_xor_ps(angles, _mm_and_ps(negative, _mm_set1_ps(-0.0f)));
}

// Source rows of four latitudes: trunc(ky * lat + cy), kept within the
// panorama (a value no int holds gives the same 0 as the scalar truncation).
__m128i rowsOfLatitudes(__m128 latitudes, __m128d rowsPerRadian, __m128d centreRow,
                        __m128i lastRow) {
    const __m128d low = _mm_add_pd(_mm_mul_pd(rowsPerRadian, lowWidened(latitudes)), centreRow);
    const __m128d high = _mm_add_pd(_mm_mul_pd(rowsPerRadian, highWidened(latitudes)), centreRow);
    __m128i rows = truncatedToInts(low, high);
    rows = _mm_andnot_si128(_mm_cmplt_epi32(rows, _mm_setzero_si128()), rows);
    const __m128i beyond = _mm_cmpgt_epi32(rows, lastRow);
    return _mm_or_si128(_mm_and_si128(beyond, lastRow), _mm_andnot_si128(beyond, rows));
}

void storeFour(std::int32_t* at, __m128i values) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), values);
}

}  // namespace

void RowSolver::solveLevelGroups(const ArctangentTable& table, double height, std::int32_t* rows) {
    const std::size_t groups = half_ / 4;
    const __m128d heights = _mm_set1_pd(height);
    const __m128d inverseHeights = _mm_set1_pd(1.0 / height);
    // Table indices first, for the whole row: no step waits for the one
    // before, so many groups are in flight at once.
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t i = 4 * g;
        const __m128d ratioLow = _mm_mul_pd(heights, _mm_loadu_pd(&inverseRayLengths_[i]));
        const __m128d ratioHigh = _mm_mul_pd(heights, _mm_loadu_pd(&inverseRayLengths_[i + 2]));
        const IndexPair low =
            guardedIndices(ratioLow, _mm_mul_pd(_mm_loadu_pd(&rayLengths_[i]), inverseHeights));
        const IndexPair high = guardedIndices(
            ratioHigh, _mm_mul_pd(_mm_loadu_pd(&rayLengths_[i + 2]), inverseHeights));
        doubtful_[g] = !storeLookups(low, high, ratioLow, ratioHigh, latitudeLookups_, i);
    }
    const __m128d rowsPerRadian = _mm_set1_pd(rowsPerRadian_);
    const __m128d centreRow = _mm_set1_pd(centreRow_);
    const __m128i lastRow = _mm_set1_epi32(lastRow_);
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t i = 4 * g;
        const __m128i sourceRows = rowsOfLatitudes(
            tableAngles(table.entries(), latitudeLookups_, i), rowsPerRadian, centreRow, lastRow);
        storeFour(rows + i, sourceRows);
        storeFour(rows + (static_cast<std::size_t>(viewWidth_) - 4 - i), reversed(sourceRows));
    }
    for (std::size_t g = 0; g < groups; ++g) {
        if (doubtful_[g] != 0) {
            for (std::size_t k = 4 * g; k < 4 * g + 4; ++k) {
                const std::int32_t row = rowOfLatitude(table.arctangent(height / rayLengths_[k]));
                rows[k] = row;
                rows[static_cast<std::size_t>(viewWidth_) - 1 - k] = row;
            }
        }
    }
}

void RowSolver::solveTiltedGroups(const ArctangentTable& table, double depth, double height,
                                  double turn, std::int32_t* columns, std::int32_t* rows) {
    const std::size_t groups = half_ / 4;
    const __m128d depths = _mm_set1_pd(depth);
    const __m128d inverseDepths = _mm_set1_pd(1.0 / depth);
    const __m128d squaredDepths = _mm_mul_pd(depths, depths);
    const __m128d heights = _mm_set1_pd(height);
    const __m128d scaledInverseHeight =
        _mm_set1_pd(ArctangentTable::indexScale / std::fabs(height));
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d scale = _mm_set1_pd(ArctangentTable::indexScale);
    // Latitude ratios h = Y / sqrt(D^2 + X^2) are divided exactly, so a ratio
    // up to 1 gives its index at once; only the index of a ratio above 1
    // comes from a product.
    auto latitudeIndices = [&](__m128d h, __m128d length) {
        const __m128d magnitude = absolute(h);
        const __m128d atMostOne = _mm_cmple_pd(magnitude, one);
        const __m128d above = _mm_and_pd(_mm_cmpgt_pd(magnitude, _mm_set1_pd(1.0 + guard)),
                                         _mm_cmple_pd(magnitude, _mm_set1_pd(maximumFinite)));
        const __m128d aboveScaled = _mm_mul_pd(scaledInverseHeight, length);
        const __m128d fraction =
            _mm_sub_pd(aboveScaled, _mm_cvtepi32_pd(_mm_cvttpd_epi32(aboveScaled)));
        const __m128d clear = _mm_and_pd(_mm_cmpge_pd(fraction, _mm_set1_pd(guard)),
                                         _mm_cmple_pd(fraction, _mm_set1_pd(1.0 - guard)));
        return IndexPair{select(atMostOne, _mm_mul_pd(scale, magnitude), aboveScaled), above,
                         _mm_or_pd(atMostOne, _mm_and_pd(above, clear))};
    };
    // 1. Table indices of both angles of every ray.
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t i = 4 * g;
        const __m128d xLow = _mm_loadu_pd(&offsets_[i]);
        const __m128d xHigh = _mm_loadu_pd(&offsets_[i + 2]);
        const __m128d ratioLow = _mm_mul_pd(xLow, inverseDepths);
        const __m128d ratioHigh = _mm_mul_pd(xHigh, inverseDepths);
        const IndexPair low =
            guardedIndices(ratioLow, _mm_mul_pd(depths, _mm_loadu_pd(&inverseOffsets_[i])));
        const IndexPair high =
            guardedIndices(ratioHigh, _mm_mul_pd(depths, _mm_loadu_pd(&inverseOffsets_[i + 2])));
        const bool longitudesExact =
            storeLookups(low, high, ratioLow, ratioHigh, longitudeLookups_, i);
        const __m128d lengthLow =
            _mm_sqrt_pd(_mm_add_pd(squaredDepths, _mm_loadu_pd(&squaredOffsets_[i])));
        const __m128d lengthHigh =
            _mm_sqrt_pd(_mm_add_pd(squaredDepths, _mm_loadu_pd(&squaredOffsets_[i + 2])));
        const __m128d hLow = _mm_div_pd(heights, lengthLow);
        const __m128d hHigh = _mm_div_pd(heights, lengthHigh);
        const bool latitudesExact =
            storeLookups(latitudeIndices(hLow, lengthLow), latitudeIndices(hHigh, lengthHigh), hLow,
                         hHigh, latitudeLookups_, i);
        doubtful_[g] = !(longitudesExact && latitudesExact);
    }
    // 2. Longitudes, U = kx lon + cx wrapped once, the left column and its mirror.
    const __m128d pans = _mm_set1_pd(pan_);
    const __m128d turns = _mm_set1_pd(turn);
    const __m128d columnsPerRadian = _mm_set1_pd(columnsPerRadian_);
    const __m128d centreColumn = _mm_set1_pd(centreColumn_);
    const __m128d mirrorSum = _mm_set1_pd(mirrorSum_);
    const __m128 widthF = _mm_set1_ps(static_cast<float>(panoramaWidth_));
    const __m128i width = _mm_set1_epi32(panoramaWidth_);
    const __m128i lastColumn = _mm_set1_epi32(panoramaWidth_ - 1);
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t i = 4 * g;
        const __m128 thetas = tableAngles(table.entries(), longitudeLookups_, i);
        const __m128 longitudes =
            roundedToSingles(_mm_add_pd(_mm_add_pd(lowWidened(thetas), pans), turns),
                             _mm_add_pd(_mm_add_pd(highWidened(thetas), pans), turns));
        __m128 u = roundedToSingles(
            _mm_add_pd(_mm_mul_pd(columnsPerRadian, lowWidened(longitudes)), centreColumn),
            _mm_add_pd(_mm_mul_pd(columnsPerRadian, highWidened(longitudes)), centreColumn));
        u = select(_mm_cmpge_ps(u, widthF), _mm_sub_ps(u, widthF),
                   select(_mm_cmplt_ps(u, _mm_setzero_ps()), _mm_add_ps(u, widthF), u));
        const __m128i left = _mm_cvttps_epi32(u);
        __m128i mirrored = truncatedToInts(_mm_sub_pd(mirrorSum, lowWidened(u)),
                                           _mm_sub_pd(mirrorSum, highWidened(u)));
        const __m128i beyond = _mm_cmpgt_epi32(mirrored, lastColumn);
        const __m128i before = _mm_cmplt_epi32(mirrored, _mm_setzero_si128());
        mirrored = _mm_add_epi32(_mm_sub_epi32(mirrored, _mm_and_si128(beyond, width)),
                                 _mm_and_si128(before, width));
        if (!allSet(_mm_and_si128(withinZeroTo(left, width), withinZeroTo(mirrored, width)))) {
            doubtful_[g] = 1;
        }
        storeFour(columns + i, left);
        storeFour(columns + (static_cast<std::size_t>(viewWidth_) - 4 - i), reversed(mirrored));
    }
    // 3. Latitudes and source rows.
    const __m128d rowsPerRadian = _mm_set1_pd(rowsPerRadian_);
    const __m128d centreRow = _mm_set1_pd(centreRow_);
    const __m128i lastRow = _mm_set1_epi32(lastRow_);
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t i = 4 * g;
        const __m128i sourceRows = rowsOfLatitudes(
            tableAngles(table.entries(), latitudeLookups_, i), rowsPerRadian, centreRow, lastRow);
        storeFour(rows + i, sourceRows);
        storeFour(rows + (static_cast<std::size_t>(viewWidth_) - 4 - i), reversed(sourceRows));
    }
    // 4. Groups with a doubtful index or column, again one ray at a time.
    for (std::size_t g = 0; g < groups; ++g) {
        if (doubtful_[g] != 0) {
            for (std::size_t k = 4 * g; k < 4 * g + 4; ++k) {
                storeRay(solveRay(table, k, depth, height, turn), k, columns, rows);
            }
        }
    }
}

#endif  // __SSE2__

void RowSolver::solveLevelRows(const ArctangentTable& table, float height, std::int32_t* rows) {
    const double y = height;
    std::size_t i = 0;
#if defined(__SSE2__)
    solveLevelGroups(table, y, rows);
    i = half_ / 4 * 4;
#endif
    for (; i < half_; ++i) {
        const std::int32_t row = rowOfLatitude(table.arctangent(y / rayLengths_[i]));
        rows[i] = row;
        rows[static_cast<std::size_t>(viewWidth_) - 1 - i] = row;
    }
}

void RowSolver::solveTiltedRow(const ArctangentTable& table, float depth, float height,
                               std::int32_t* columns, std::int32_t* rows) {
    const double d = depth;
    const double y = height;
    const double turn = depth <= 0.0f ? static_cast<double>(pi) : 0.0;
    std::size_t i = 0;
#if defined(__SSE2__)
    solveTiltedGroups(table, d, y, turn, columns, rows);
    i = half_ / 4 * 4;
#endif
    for (; i < half_; ++i) {
        storeRay(solveRay(table, i, d, y, turn), i, columns, rows);
    }
}

#include "engine/row_solver.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/angles.h"
#include "engine/wide_steps.h"

namespace engine {

namespace {

using detail::single;

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

}  // namespace

void RowSolver::prepare(const ArctangentTable& table, const Projection& p,
                        const SourceImage& source, float pan, std::int32_t viewWidth,
                        std::int32_t half, bool wide, bool details) {
    details_ = details;
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
    wideSteps_ = wide;
    offsets_.resize(half_);
    squaredOffsets_.resize(half_);
    scaledOffsets_.resize(half_);
    scaledInverseOffsets_.resize(half_);
    for (std::size_t i = 0; i < half_; ++i) {
        const double x = single(static_cast<double>(i) - p.halfWidth);
        offsets_[i] = x;
        squaredOffsets_[i] = x * x;
        scaledOffsets_[i] = ArctangentTable::indexScale * std::fabs(x);
        scaledInverseOffsets_[i] = ArctangentTable::indexScale / std::fabs(x);
    }
    columnsCoded_ = false;
    columnFractionsCoded_ = false;
    rayLengths_.resize(half_);
    inverseRayLengths_.resize(half_);
    levelColumns_.resize(static_cast<std::size_t>(viewWidth));
    levelColumnFractions_.resize(static_cast<std::size_t>(viewWidth));
    footprints_.prepare(p.columnsPerRadian, p.rowsPerRadian);
#if defined(__SSE2__)
    codeTables(table);
#else
    (void)table;
#endif
}

void RowSolver::sizeCodes(RowCodes& codes) const {
    codes.longitude.resize(half_);
    codes.latitude.resize(half_);
    codes.doubtful.resize(half_ / 4);
}

void RowSolver::columnsOfLongitude(float longitude, std::int32_t& column,
                                   std::int32_t& mirrored) const {
    const auto widthF = static_cast<float>(panoramaWidth_);
    float u = unwrappedColumn(longitude);
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

void RowSolver::columnFractionsOf(float longitude, std::uint32_t& left,
                                  std::uint32_t& mirrored) const {
    const auto widthF = static_cast<float>(panoramaWidth_);
    float u = unwrappedColumn(longitude);
    if (u >= widthF) {
        u = u - widthF;
    } else if (u < 0.0f) {
        u = u + widthF;
    }
    left = fractionInSteps(u);
    mirrored = fractionInSteps(mirrorSum_ - u);
}

std::uint32_t RowSolver::rowFractionOf(float latitude) const {
    const double value = rowsPerRadian_ * latitude + centreRow_;
    const std::int32_t row = truncated(value);
    // A row kept inside the panorama has no fraction.
    return row < 0 || row > lastRow_ ? 0 : fractionInSteps(value);
}

void RowSolver::storeRowDetails(std::size_t i, float latitude, double depth, double height,
                                std::uint32_t* details) const {
    const double flat = depth * depth + squaredOffsets_[i];
    const std::uint32_t level = footprints_.levelOf(flat, flat + height * height);
    const std::uint32_t row = rowFractionOf(latitude);
    const std::size_t right = static_cast<std::size_t>(viewWidth_) - 1 - i;
    details[i] = packDetail(levelColumnFractions_[i], row, level);
    details[right] = packDetail(levelColumnFractions_[right], row, level);
}

void RowSolver::storeDetails(std::size_t i, float theta, float latitude, double depth,
                             double height, double turn, std::uint32_t* details) const {
    const float longitude = single(static_cast<double>(theta) + pan_ + turn);
    std::uint32_t left = 0;
    std::uint32_t mirrored = 0;
    columnFractionsOf(longitude, left, mirrored);
    const double flat = depth * depth + squaredOffsets_[i];
    const std::uint32_t level = footprints_.levelOf(flat, flat + height * height);
    const std::uint32_t row = rowFractionOf(latitude);
    details[i] = packDetail(left, row, level);
    details[static_cast<std::size_t>(viewWidth_) - 1 - i] = packDetail(mirrored, row, level);
}

void RowSolver::solveDepth(const ArctangentTable& table, float depth) {
    const double d = depth;
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
        columnFractionsOf(longitude, levelColumnFractions_[i],
                          levelColumnFractions_[static_cast<std::size_t>(viewWidth_) - 1 - i]);
        const double length = std::sqrt(d * d + x * x);
        rayLengths_[i] = length;
        inverseRayLengths_[i] = 1.0 / length;
    }
}

#if defined(__SSE2__)

namespace {

constexpr std::int32_t entryCount = ArctangentTable::entryCount;

// Neighbouring table angles differ by at most 1e-5 radians (the arctangent's
// slope is at most 1 and its argument moves by 1 / 100000), and by up to one
// more unit in the last place of a single.
constexpr double angleStepPerCode = 1.0e-5 + 2.0e-7;

// 1 / sqrt(s) from an estimate within 2^-11: two Newton steps.
__m128d refinedInverseRoot(__m128d s, __m128d estimate) {
    const __m128d halfS = _mm_mul_pd(s, _mm_set1_pd(0.5));
    const __m128d threeHalves = _mm_set1_pd(1.5);
    __m128d r = estimate;
    for (int step = 0; step < 2; ++step) {
        r = _mm_mul_pd(r, _mm_sub_pd(threeHalves, _mm_mul_pd(_mm_mul_pd(halfS, r), r)));
    }
    return r;
}

// The 64-bit masks of two pairs of rays as four 32-bit masks.
__m128i narrowed(__m128d low, __m128d high) {
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm_castpd_ps(low), _mm_castpd_ps(high), _MM_SHUFFLE(2, 0, 2, 0)));
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

// Lanes with 0 <= v < limit (an unsigned comparison through the sign bit).
__m128i withinZeroTo(__m128i v, __m128i biasedLimit) {
    const __m128i bias = _mm_set1_epi32(static_cast<std::int32_t>(0x80000000u));
    return _mm_cmplt_epi32(_mm_xor_si128(v, bias), biasedLimit);
}

// Scaled ratios of a pair of rays, from two approximations: `below`, 100000
// times the ratio's magnitude (used up to 1), and `beyond`, 100000 times the
// magnitude of its reciprocal (used above 1); the smaller is the one the
// lookup takes. `clear` lanes lie far enough from a whole number, which also
// keeps ratios within the guard of 1 (scaled near 100000) and zero or
// infinite ratios (scaled 0) out.
struct ScaledPair {
    __m128d scaled;
    __m128d clear;
    __m128d above;
};

ScaledPair scaledPair(__m128d below, __m128d beyond) {
    const __m128d scaled = _mm_min_pd(below, beyond);
    const __m128d fraction = _mm_sub_pd(scaled, _mm_cvtepi32_pd(_mm_cvttpd_epi32(scaled)));
    const __m128d clear = _mm_and_pd(_mm_cmpge_pd(fraction, _mm_set1_pd(codeGuard)),
                                     _mm_cmple_pd(fraction, _mm_set1_pd(1.0 - codeGuard)));
    return {scaled, clear, _mm_cmpgt_pd(below, _mm_set1_pd(ArctangentTable::indexScale))};
}

// The lookup codes of four rays: index + entryCount where the ratio exceeds
// 1, + `negative` (2 entryCount for a negative ratio, the same for the whole
// row), the position of the ray's angle (or source row) in the coded tables.
// A code that is not certain is 0, a safe position to read, and the group is
// reported as not clear.
bool storeCodes(const ScaledPair& low, const ScaledPair& high, __m128i negative,
                std::int32_t* codes) {
    const __m128i clear = narrowed(low.clear, high.clear);
    const __m128i indices = truncatedToInts(low.scaled, high.scaled);
    const __m128i above =
        _mm_and_si128(narrowed(low.above, high.above), _mm_set1_epi32(entryCount));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(codes),
                     _mm_and_si128(clear, _mm_add_epi32(indices, _mm_add_epi32(above, negative))));
    return allSet(clear);
}

// A row's own values the vector steps can use: finite and not zero.
bool usable(double value) {
    return value != 0.0 && std::isfinite(value);
}

__m128 anglesAt(const float* byCode, const std::int32_t* codes) {
    return _mm_setr_ps(byCode[codes[0]], byCode[codes[1]], byCode[codes[2]], byCode[codes[3]]);
}

__m128i rowsAt(const std::int32_t* byCode, const std::int32_t* codes) {
    return _mm_setr_epi32(byCode[codes[0]], byCode[codes[1]], byCode[codes[2]], byCode[codes[3]]);
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

void RowSolver::codeTables(const ArctangentTable& table) {
    const float* entries = table.entries();
    if (codedTable_ != entries) {
        anglesByCode_.resize(4 * static_cast<std::size_t>(entryCount));
        for (std::int32_t k = 0; k < entryCount; ++k) {
            const float value = entries[k];
            const float complement = halfPi - value;
            anglesByCode_[k] = value;
            anglesByCode_[k + entryCount] = complement;
            anglesByCode_[k + 2 * entryCount] = -value;
            anglesByCode_[k + 3 * entryCount] = -complement;
        }
        codedTable_ = entries;
        rowsCoded_ = false;
    }
    if (rowsCoded_ && codedRowsPerRadian_ == rowsPerRadian_ && codedCentreRow_ == centreRow_ &&
        codedLastRow_ == lastRow_) {
        codeRowFractions();
        return;
    }
    rowFractionsCoded_ = false;
    rowsByCode_.resize(anglesByCode_.size());
    const __m128d rowsPerRadian = _mm_set1_pd(rowsPerRadian_);
    const __m128d centreRow = _mm_set1_pd(centreRow_);
    const __m128i lastRow = _mm_set1_epi32(lastRow_);
    std::size_t k = 0;
    for (; k + 4 <= anglesByCode_.size(); k += 4) {
        storeFour(&rowsByCode_[k], rowsOfLatitudes(_mm_loadu_ps(&anglesByCode_[k]), rowsPerRadian,
                                                   centreRow, lastRow));
    }
    for (; k < anglesByCode_.size(); ++k) {
        rowsByCode_[k] = rowOfLatitude(anglesByCode_[k]);
    }
    const std::size_t count = rowsByCode_.size();
    rowSteps_.reset(count, StepTable::shiftFor(std::fabs(rowsPerRadian_) * angleStepPerCode));
    const std::size_t size = rowSteps_.blockSize();
    for (std::size_t block = 0; block < rowSteps_.blockCount(); ++block) {
        const std::size_t start = block * size;
        rowSteps_.setBlock(block, &rowsByCode_[start], std::min(size, count - start));
    }
    rowsCoded_ = true;
    codedRowsPerRadian_ = rowsPerRadian_;
    codedCentreRow_ = centreRow_;
    codedLastRow_ = lastRow_;
    codeRowFractions();
}

void RowSolver::codeRowFractions() {
    if (!details_ || rowFractionsCoded_) {
        return;
    }
    const std::size_t count = anglesByCode_.size();
    rowFractionsByCode_.assign(count + 3, 0);
    alignas(16) std::uint32_t steps[4];
    std::size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        _mm_store_si128(reinterpret_cast<__m128i*>(steps),
                        rowStepsOf(_mm_loadu_ps(&anglesByCode_[k])));
        for (std::size_t n = 0; n < 4; ++n) {
            rowFractionsByCode_[k + n] = static_cast<std::uint8_t>(steps[n]);
        }
    }
    for (; k < count; ++k) {
        rowFractionsByCode_[k] = static_cast<std::uint8_t>(rowFractionOf(anglesByCode_[k]));
    }
    rowFractionsCoded_ = true;
}

void RowSolver::solveLevelGroups(const ArctangentTable& table, double height, RowCodes& rowCodes,
                                 std::int32_t* rows) const {
    const std::size_t groups = half_ / 4;
    auto oneAtATime = [&](std::size_t g) {
        for (std::size_t k = 4 * g; k < 4 * g + 4; ++k) {
            const std::int32_t row = rowOfLatitude(table.arctangent(height / rayLengths_[k]));
            rows[k] = row;
            rows[static_cast<std::size_t>(viewWidth_) - 1 - k] = row;
        }
    };
    if (!usable(height)) {
        for (std::size_t g = 0; g < groups; ++g) {
            oneAtATime(g);
        }
        return;
    }
    // h = Y / length: 100000 |Y| / length and 100000 length / |Y|.
    const __m128d scaledHeight = _mm_set1_pd(ArctangentTable::indexScale * std::fabs(height));
    const __m128d scaledInverseHeight =
        _mm_set1_pd(ArctangentTable::indexScale / std::fabs(height));
    const __m128i negative = _mm_set1_epi32(height < 0.0 ? 2 * entryCount : 0);
    std::int32_t* codes = rowCodes.latitude.data();
    std::uint8_t* doubtful = rowCodes.doubtful.data();
    // Table codes first, for the whole row: no step waits for the one
    // before, so many groups are in flight at once.
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t i = 4 * g;
        const ScaledPair low =
            scaledPair(_mm_mul_pd(scaledHeight, _mm_loadu_pd(&inverseRayLengths_[i])),
                       _mm_mul_pd(scaledInverseHeight, _mm_loadu_pd(&rayLengths_[i])));
        const ScaledPair high =
            scaledPair(_mm_mul_pd(scaledHeight, _mm_loadu_pd(&inverseRayLengths_[i + 2])),
                       _mm_mul_pd(scaledInverseHeight, _mm_loadu_pd(&rayLengths_[i + 2])));
        doubtful[g] = !storeCodes(low, high, negative, codes + i);
    }
    const std::int32_t* rowsByCode = rowsByCode_.data();
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t i = 4 * g;
        const __m128i sourceRows = rowsAt(rowsByCode, codes + i);
        storeFour(rows + i, sourceRows);
        storeFour(rows + (static_cast<std::size_t>(viewWidth_) - 4 - i), reversed(sourceRows));
    }
    for (std::size_t g = 0; g < groups; ++g) {
        if (doubtful[g] != 0) {
            oneAtATime(g);
        }
    }
}

void RowSolver::columnsOfLongitudes(__m128 thetas, double turn, __m128i& left,
                                    __m128i& mirrored) const {
    const __m128d pans = _mm_set1_pd(pan_);
    __m128d lonLow = _mm_add_pd(lowWidened(thetas), pans);
    __m128d lonHigh = _mm_add_pd(highWidened(thetas), pans);
    // Adding 0 would change nothing but the sign of a zero, which no column
    // depends on.
    if (turn != 0.0) {
        const __m128d turns = _mm_set1_pd(turn);
        lonLow = _mm_add_pd(lonLow, turns);
        lonHigh = _mm_add_pd(lonHigh, turns);
    }
    const __m128 longitudes = roundedToSingles(lonLow, lonHigh);
    const __m128d columnsPerRadian = _mm_set1_pd(columnsPerRadian_);
    const __m128d centreColumn = _mm_set1_pd(centreColumn_);
    __m128 u = roundedToSingles(
        _mm_add_pd(_mm_mul_pd(columnsPerRadian, lowWidened(longitudes)), centreColumn),
        _mm_add_pd(_mm_mul_pd(columnsPerRadian, highWidened(longitudes)), centreColumn));
    // The one wrap: U - width at or beyond the width, U + width below 0
    // (U + -width is U - width, and the two cases exclude each other).
    const __m128 widthF = _mm_set1_ps(static_cast<float>(panoramaWidth_));
    const __m128 correction =
        _mm_or_ps(_mm_and_ps(_mm_cmpge_ps(u, widthF), _mm_sub_ps(_mm_setzero_ps(), widthF)),
                  _mm_and_ps(_mm_cmplt_ps(u, _mm_setzero_ps()), widthF));
    u = _mm_add_ps(u, correction);
    left = _mm_cvttps_epi32(u);
    const __m128d mirrorSum = _mm_set1_pd(mirrorSum_);
    mirrored = truncatedToInts(_mm_sub_pd(mirrorSum, lowWidened(u)),
                               _mm_sub_pd(mirrorSum, highWidened(u)));
    const __m128i width = _mm_set1_epi32(panoramaWidth_);
    const __m128i beyond = _mm_cmpgt_epi32(mirrored, _mm_set1_epi32(panoramaWidth_ - 1));
    const __m128i before = _mm_cmplt_epi32(mirrored, _mm_setzero_si128());
    mirrored = _mm_sub_epi32(_mm_add_epi32(mirrored, _mm_and_si128(before, width)),
                             _mm_and_si128(beyond, width));
}

bool RowSolver::columnsInside(__m128i left, __m128i mirrored) const {
    const __m128i biasedWidth = _mm_xor_si128(
        _mm_set1_epi32(panoramaWidth_), _mm_set1_epi32(static_cast<std::int32_t>(0x80000000u)));
    return allSet(
        _mm_and_si128(withinZeroTo(left, biasedWidth), withinZeroTo(mirrored, biasedWidth)));
}

std::size_t RowSolver::startColumnCodes(std::size_t forwardRays) {
    // Coding the columns costs about what solving 50 000 rays from their
    // angles does; below that it would not pay.
    if (forwardRays < static_cast<std::size_t>(entryCount) / 2) {
        return 0;
    }
    const int shift = StepTable::shiftFor(std::fabs(columnsPerRadian_) * angleStepPerCode);
    columnSteps_.reset(2 * static_cast<std::size_t>(entryCount), shift, 2);
    columnsCoded_ = true;
    columnFractionsCoded_ = details_;
    if (details_) {
        columnFractionsByCode_.resize(2 * static_cast<std::size_t>(entryCount) + 1);
        columnFractionsByCode_.back() = 0;
    }
    return columnSteps_.blockCount();
}

void RowSolver::codeColumnFractions(std::size_t start, std::size_t length) {
    // Rows facing forward: no half turn.
    const float* angles = anglesByCode_.data() + 2 * static_cast<std::size_t>(entryCount);
    std::uint16_t* fractions = columnFractionsByCode_.data();
    alignas(16) std::uint32_t left[4];
    alignas(16) std::uint32_t mirrored[4];
    std::size_t k = start;
#if defined(LUMIVUE_WIDE_STEPS)
    if (wideSteps_) {
        k += codeColumnFractionsWide({angles + start, pan_, columnsPerRadian_, centreColumn_,
                                      mirrorSum_, static_cast<float>(panoramaWidth_), length,
                                      fractions + start});
    }
#endif
    for (; k + 4 <= start + length; k += 4) {
        __m128i leftSteps;
        __m128i mirroredSteps;
        columnStepsOf(_mm_loadu_ps(angles + k), 0.0, leftSteps, mirroredSteps);
        _mm_store_si128(reinterpret_cast<__m128i*>(left), leftSteps);
        _mm_store_si128(reinterpret_cast<__m128i*>(mirrored), mirroredSteps);
        for (std::size_t n = 0; n < 4; ++n) {
            fractions[k + n] = static_cast<std::uint16_t>(left[n] | mirrored[n] << 8);
        }
    }
    for (; k < start + length; ++k) {
        std::uint32_t one = 0;
        std::uint32_t other = 0;
        columnFractionsOf(single(static_cast<double>(angles[k]) + pan_), one, other);
        fractions[k] = static_cast<std::uint16_t>(one | other << 8);
    }
}

void RowSolver::codeColumnBlocks(std::size_t firstBlock, std::size_t lastBlock) {
    // The source columns of every negative longitude code (the left half of
    // a row facing forward), the column and its mirror, a block at a time.
    // Within each of the two runs of codes (ratios up to 1, then above 1) the
    // angle moves one way only, and a block is small enough for the column
    // before its wrap to cross one whole number at most; where it is not
    // wrapped in the block or wrapped the same way throughout, the column and
    // its mirror change once at most, and the change is found by halving.
    // Other blocks (the one where the runs meet, the ones at the seam) are
    // solved code by code. A block writes its own records only.
    const std::size_t count = 2 * static_cast<std::size_t>(entryCount);
    const std::size_t size = columnSteps_.blockSize();
    const float* angles = anglesByCode_.data() + count;
    auto longitudeOf = [&](std::size_t code) {
        return single(static_cast<double>(angles[code]) + pan_);
    };
    auto columnsOf = [&](std::size_t code, std::int32_t& column, std::int32_t& mirrored) {
        columnsOfLongitude(longitudeOf(code), column, mirrored);
    };
    const auto firstAbove = static_cast<std::size_t>(entryCount);
    const auto widthF = static_cast<float>(panoramaWidth_);
    auto wrapOf = [&](std::size_t code) {
        const float u = unwrappedColumn(longitudeOf(code));
        return u >= widthF ? 1 : (u < 0.0f ? -1 : 0);
    };
    // Few blocks are solved code by code: their buffers are made when needed.
    std::vector<std::int32_t> blockColumns;
    std::vector<std::int32_t> blockMirrored;
    for (std::size_t block = firstBlock; block < lastBlock; ++block) {
        const std::size_t start = block * size;
        const std::size_t length = std::min(size, count - start);
        if (columnFractionsCoded_) {
            codeColumnFractions(start, length);
        }
        if ((start < firstAbove && start + length > firstAbove) ||
            wrapOf(start) != wrapOf(start + length - 1)) {
            blockColumns.resize(length);
            blockMirrored.resize(length);
            for (std::size_t k = 0; k < length; ++k) {
                columnsOf(start + k, blockColumns[k], blockMirrored[k]);
            }
            columnSteps_.setBlock(block, blockColumns.data(), length, 0);
            columnSteps_.setBlock(block, blockMirrored.data(), length, 1);
            continue;
        }
        // [0] the column, [1] its mirror.
        std::int32_t first[2];
        std::int32_t last[2];
        columnsOf(start, first[0], first[1]);
        columnsOf(start + length - 1, last[0], last[1]);
        for (std::size_t which = 0; which < 2; ++which) {
            columnSteps_.setSearched(
                block, length, first[which], last[which],
                [&](std::size_t k) {
                    std::int32_t both[2];
                    columnsOf(start + k, both[0], both[1]);
                    return both[which];
                },
                which);
        }
    }
}

void RowSolver::solveTiltedCodes(double depth, double height, RowCodes& codes) const {
    const std::size_t groups = half_ / 4;
    const double absoluteDepth = std::fabs(depth);
    std::int32_t* longitudeCodes = codes.longitude.data();
    std::int32_t* latitudeCodes = codes.latitude.data();
    std::uint8_t* doubtful = codes.doubtful.data();
    // Longitude codes: 100000 |X| / |D| and 100000 |D| / |X|; X is
    // negative on the left half, so the ratio is negative where D > 0.
    {
        const __m128d inverseDepth = _mm_set1_pd(1.0 / absoluteDepth);
        const __m128d depths = _mm_set1_pd(absoluteDepth);
        const __m128i negative = _mm_set1_epi32(depth > 0.0 ? 2 * entryCount : 0);
        for (std::size_t g = 0; g < groups; ++g) {
            const std::size_t i = 4 * g;
            const ScaledPair low =
                scaledPair(_mm_mul_pd(_mm_loadu_pd(&scaledOffsets_[i]), inverseDepth),
                           _mm_mul_pd(_mm_loadu_pd(&scaledInverseOffsets_[i]), depths));
            const ScaledPair high =
                scaledPair(_mm_mul_pd(_mm_loadu_pd(&scaledOffsets_[i + 2]), inverseDepth),
                           _mm_mul_pd(_mm_loadu_pd(&scaledInverseOffsets_[i + 2]), depths));
            doubtful[g] = !storeCodes(low, high, negative, longitudeCodes + i);
        }
    }
    // Latitude codes: h = Y / sqrt(D^2 + X^2), the reciprocal square root
    // from its single-precision estimate refined twice.
    {
        const __m128d squaredDepth = _mm_set1_pd(depth * depth);
        const __m128d scaledHeight = _mm_set1_pd(ArctangentTable::indexScale * std::fabs(height));
        const __m128d scaledInverseHeight =
            _mm_set1_pd(ArctangentTable::indexScale / std::fabs(height));
        const __m128i negative = _mm_set1_epi32(height < 0.0 ? 2 * entryCount : 0);
        for (std::size_t g = 0; g < groups; ++g) {
            const std::size_t i = 4 * g;
            const __m128d squaredLow = _mm_add_pd(squaredDepth, _mm_loadu_pd(&squaredOffsets_[i]));
            const __m128d squaredHigh =
                _mm_add_pd(squaredDepth, _mm_loadu_pd(&squaredOffsets_[i + 2]));
            const __m128 estimate = _mm_rsqrt_ps(roundedToSingles(squaredLow, squaredHigh));
            const __m128d inverseLow = refinedInverseRoot(squaredLow, lowWidened(estimate));
            const __m128d inverseHigh = refinedInverseRoot(squaredHigh, highWidened(estimate));
            const ScaledPair low =
                scaledPair(_mm_mul_pd(scaledHeight, inverseLow),
                           _mm_mul_pd(scaledInverseHeight, _mm_mul_pd(squaredLow, inverseLow)));
            const ScaledPair high =
                scaledPair(_mm_mul_pd(scaledHeight, inverseHigh),
                           _mm_mul_pd(scaledInverseHeight, _mm_mul_pd(squaredHigh, inverseHigh)));
            if (!storeCodes(low, high, negative, latitudeCodes + i)) {
                doubtful[g] = 1;
            }
        }
    }
}

void RowSolver::solveTiltedGroups(const ArctangentTable& table, double depth, double height,
                                  double turn, RowCodes& codes, std::int32_t* columns,
                                  std::int32_t* rows) const {
    const std::size_t groups = half_ / 4;
    auto oneAtATime = [&](std::size_t g) {
        for (std::size_t k = 4 * g; k < 4 * g + 4; ++k) {
            storeRay(solveRay(table, k, depth, height, turn), k, columns, rows);
        }
    };
    if (!usable(depth) || !usable(height)) {
        for (std::size_t g = 0; g < groups; ++g) {
            oneAtATime(g);
        }
        return;
    }
    std::int32_t* longitudeCodes = codes.longitude.data();
    std::int32_t* latitudeCodes = codes.latitude.data();
    std::uint8_t* doubtful = codes.doubtful.data();
    // 1. The table codes of both angles of every ray.
#if defined(LUMIVUE_WIDE_STEPS)
    if (wideSteps_) {
        solveTiltedCodesWide({scaledOffsets_.data(), scaledInverseOffsets_.data(),
                              squaredOffsets_.data(), groups, depth, height, longitudeCodes,
                              latitudeCodes, doubtful});
    } else
#endif
    {
        solveTiltedCodes(depth, height, codes);
    }
    // 2. The left column and its mirror: from the coded columns where they
    // were made for this rebuild (rows facing forward), else from the angles.
    std::size_t looked = 0;
#if defined(LUMIVUE_WIDE_STEPS)
    // 2 and 3 at once, eight rays at a time, where the columns are coded.
    if (wideSteps_ && columnsCoded_ && depth > 0.0) {
        looked = lookUpTiltedRowWide(
            {longitudeCodes,
             latitudeCodes,
             groups,
             {columnSteps_.records(), columnSteps_.shift(), columnSteps_.placeMask()},
             {rowSteps_.records(), rowSteps_.shift(), rowSteps_.placeMask()},
             2 * entryCount,
             static_cast<std::size_t>(viewWidth_),
             columns,
             rows,
             doubtful});
    }
#endif
    if (columnsCoded_ && depth > 0.0) {
        const __m128i first = _mm_set1_epi32(2 * entryCount);
        for (std::size_t g = looked; g < groups; ++g) {
            const std::size_t i = 4 * g;
            // A doubtful code is 0: read the first entry instead.
            __m128i at = _mm_sub_epi32(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(longitudeCodes + i)), first);
            at = _mm_andnot_si128(_mm_cmplt_epi32(at, _mm_setzero_si128()), at);
            alignas(16) std::int32_t positions[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(positions), at);
            __m128i left;
            __m128i mirrored;
            columnSteps_.fourPairs(positions, left, mirrored);
            if (_mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(left, mirrored))) != 0) {
                doubtful[g] = 1;
            }
            storeFour(columns + i, left);
            storeFour(columns + (static_cast<std::size_t>(viewWidth_) - 4 - i), reversed(mirrored));
        }
    } else {
        const float* anglesByCode = anglesByCode_.data();
        for (std::size_t g = 0; g < groups; ++g) {
            const std::size_t i = 4 * g;
            __m128i left;
            __m128i mirrored;
            columnsOfLongitudes(anglesAt(anglesByCode, longitudeCodes + i), turn, left, mirrored);
            if (!columnsInside(left, mirrored)) {
                doubtful[g] = 1;
            }
            storeFour(columns + i, left);
            storeFour(columns + (static_cast<std::size_t>(viewWidth_) - 4 - i), reversed(mirrored));
        }
    }
    // 3. Source rows straight from the latitude codes.
    for (std::size_t g = looked; g < groups; ++g) {
        const std::size_t i = 4 * g;
        const __m128i sourceRows = rowSteps_.four(latitudeCodes + i);
        if (_mm_movemask_ps(_mm_castsi128_ps(sourceRows)) != 0) {
            doubtful[g] = 1;
        }
        storeFour(rows + i, sourceRows);
        storeFour(rows + (static_cast<std::size_t>(viewWidth_) - 4 - i), reversed(sourceRows));
    }
    // 4. Groups with a doubtful code or column, again one ray at a time.
    for (std::size_t g = 0; g < groups; ++g) {
        if (doubtful[g] != 0) {
            oneAtATime(g);
        }
    }
}

namespace {

// Fractions in 256ths of four values beyond their truncation, as
// fractionInSteps gives them: 0 for negatives and values no int holds.
__m128i stepsWithin(__m128i steps) {
    steps = _mm_and_si128(steps, _mm_cmpgt_epi32(steps, _mm_set1_epi32(-1)));
    const __m128i beyond = _mm_cmpgt_epi32(steps, _mm_set1_epi32(255));
    return _mm_or_si128(_mm_andnot_si128(beyond, steps),
                        _mm_and_si128(beyond, _mm_set1_epi32(255)));
}

__m128i fractionStepsOf(__m128 values) {
    const __m128 wholes = _mm_cvtepi32_ps(_mm_cvttps_epi32(values));
    return stepsWithin(
        _mm_cvttps_epi32(_mm_mul_ps(_mm_sub_ps(values, wholes), _mm_set1_ps(256.0f))));
}

__m128d fractionOfPair(__m128d values) {
    const __m128d wholes = _mm_cvtepi32_pd(_mm_cvttpd_epi32(values));
    return _mm_mul_pd(_mm_sub_pd(values, wholes), _mm_set1_pd(256.0));
}

__m128i fractionStepsOf(__m128d low, __m128d high) {
    return stepsWithin(truncatedToInts(fractionOfPair(low), fractionOfPair(high)));
}

}  // namespace

// Groups of four rays between asking for a group's angles and reading them.
constexpr std::size_t detailPrefetchGroups = 6;

// The levels of four rays: how many bounds each one's flat or whole square
// lies within (the bounds fall, so that is the first level whose bounds it
// lies outside).
__m128i RowSolver::levelsOf(__m128d flatLow, __m128d flatHigh, double squaredHeight) const {
    const __m128d heights = _mm_set1_pd(squaredHeight);
    const __m128d wholeLow = _mm_add_pd(flatLow, heights);
    const __m128d wholeHigh = _mm_add_pd(flatHigh, heights);
    __m128i levels = _mm_setzero_si128();
    for (std::int32_t k = 0; k < FootprintLevels::mostLevels; ++k) {
        const __m128d columns = _mm_set1_pd(footprints_.columnBound(k));
        const __m128d rows = _mm_set1_pd(footprints_.rowBound(k));
        const __m128i within =
            narrowed(_mm_or_pd(_mm_cmple_pd(flatLow, columns), _mm_cmple_pd(wholeLow, rows)),
                     _mm_or_pd(_mm_cmple_pd(flatHigh, columns), _mm_cmple_pd(wholeHigh, rows)));
        if (_mm_movemask_epi8(within) == 0) {
            break;
        }
        levels = _mm_sub_epi32(levels, within);
    }
    return levels;
}

__m128i RowSolver::rowStepsOf(__m128 latitudes) const {
    const __m128d rowsPerRadian = _mm_set1_pd(rowsPerRadian_);
    const __m128d centreRow = _mm_set1_pd(centreRow_);
    const __m128d low = _mm_add_pd(_mm_mul_pd(rowsPerRadian, lowWidened(latitudes)), centreRow);
    const __m128d high = _mm_add_pd(_mm_mul_pd(rowsPerRadian, highWidened(latitudes)), centreRow);
    const __m128i rows = truncatedToInts(low, high);
    const __m128i kept =
        _mm_andnot_si128(_mm_or_si128(_mm_cmplt_epi32(rows, _mm_setzero_si128()),
                                      _mm_cmpgt_epi32(rows, _mm_set1_epi32(lastRow_))),
                         _mm_set1_epi32(-1));
    return _mm_and_si128(kept, fractionStepsOf(low, high));
}

void RowSolver::columnStepsOf(__m128 thetas, double turn, __m128i& left, __m128i& mirrored) const {
    const __m128d pans = _mm_set1_pd(pan_);
    __m128d lonLow = _mm_add_pd(lowWidened(thetas), pans);
    __m128d lonHigh = _mm_add_pd(highWidened(thetas), pans);
    if (turn != 0.0) {
        const __m128d turns = _mm_set1_pd(turn);
        lonLow = _mm_add_pd(lonLow, turns);
        lonHigh = _mm_add_pd(lonHigh, turns);
    }
    const __m128 longitudes = roundedToSingles(lonLow, lonHigh);
    const __m128d columnsPerRadian = _mm_set1_pd(columnsPerRadian_);
    const __m128d centreColumn = _mm_set1_pd(centreColumn_);
    __m128 u = roundedToSingles(
        _mm_add_pd(_mm_mul_pd(columnsPerRadian, lowWidened(longitudes)), centreColumn),
        _mm_add_pd(_mm_mul_pd(columnsPerRadian, highWidened(longitudes)), centreColumn));
    const __m128 widthF = _mm_set1_ps(static_cast<float>(panoramaWidth_));
    const __m128 correction =
        _mm_or_ps(_mm_and_ps(_mm_cmpge_ps(u, widthF), _mm_sub_ps(_mm_setzero_ps(), widthF)),
                  _mm_and_ps(_mm_cmplt_ps(u, _mm_setzero_ps()), widthF));
    u = _mm_add_ps(u, correction);
    const __m128d mirrorSum = _mm_set1_pd(mirrorSum_);
    left = fractionStepsOf(u);
    mirrored = fractionStepsOf(_mm_sub_pd(mirrorSum, lowWidened(u)),
                               _mm_sub_pd(mirrorSum, highWidened(u)));
}

void RowSolver::solveDetails(const ArctangentTable& table, float depth, float height,
                             const RowCodes& codes, SolvedBy by, std::uint32_t* details) const {
    const double d = depth;
    const double y = height;
    const double turn = depth <= 0.0f ? static_cast<double>(pi) : 0.0;
    const bool trusted = usable(y) && (by != SolvedBy::tilted || usable(d));
    const std::size_t groups = half_ / 4;
    const float* anglesByCode = anglesByCode_.data();
    const double squaredDepth = d * d;
    const double squaredHeight = y * y;
    auto oneAtATime = [&](std::size_t k) {
        if (by == SolvedBy::tilted) {
            const double x = offsets_[k];
            storeDetails(k, table.arctangent(x / d), table.arctangent(y / std::sqrt(d * d + x * x)),
                         d, y, turn, details);
        } else {
            storeRowDetails(k, table.arctangent(y / rayLengths_[k]), d, y, details);
        }
    };
    const std::size_t right = static_cast<std::size_t>(viewWidth_) - 4;
    bool wide = false;
#if defined(LUMIVUE_WIDE_STEPS)
    if (wideSteps_ && trusted && rowFractionsCoded_) {
        solveDetailsWide({anglesByCode,
                          by == SolvedBy::tilted ? codes.longitude.data() : nullptr,
                          codes.latitude.data(),
                          codes.doubtful.data(),
                          groups,
                          by == SolvedBy::mirroredLevel,
                          rowFractionsByCode_.data(),
                          by == SolvedBy::tilted && columnFractionsCoded_ && d > 0.0
                              ? columnFractionsByCode_.data()
                              : nullptr,
                          2 * entryCount,
                          pan_,
                          turn,
                          columnsPerRadian_,
                          centreColumn_,
                          mirrorSum_,
                          static_cast<float>(panoramaWidth_),
                          levelColumnFractions_.data(),
                          squaredOffsets_.data(),
                          squaredDepth,
                          squaredHeight,
                          footprints_.columnBounds(),
                          footprints_.rowBounds(),
                          FootprintLevels::mostLevels,
                          static_cast<std::size_t>(viewWidth_),
                          details});
        wide = true;
    }
#endif
    // The pairs of groups the wide steps did (asked for the first of a pair).
    auto doneWide = [&](std::size_t g) {
        const std::size_t pair = g & ~static_cast<std::size_t>(1);
        return wide && pair + 1 < groups && codes.doubtful[pair] == 0 &&
               codes.doubtful[pair + 1] == 0;
    };
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t i = 4 * g;
        if (doneWide(g)) {
            ++g;  // and the other group of the pair
            continue;
        }
        // The angles of most rays lie outside the first-level cache: ask for
        // those a few groups ahead.
        if (!wide && g + detailPrefetchGroups < groups) {
            const std::size_t ahead = i + 4 * detailPrefetchGroups;
            for (std::size_t k = ahead; k < ahead + 4; ++k) {
                _mm_prefetch(reinterpret_cast<const char*>(anglesByCode + codes.latitude[k]),
                             _MM_HINT_T0);
                if (by == SolvedBy::tilted) {
                    _mm_prefetch(reinterpret_cast<const char*>(anglesByCode + codes.longitude[k]),
                                 _MM_HINT_T0);
                }
            }
        }
        if (!trusted || codes.doubtful[g] != 0) {
            for (std::size_t k = i; k < i + 4; ++k) {
                oneAtATime(k);
            }
            continue;
        }
        __m128 latitudes = anglesAt(anglesByCode, codes.latitude.data() + i);
        if (by == SolvedBy::mirroredLevel) {
            latitudes = _mm_sub_ps(_mm_setzero_ps(), latitudes);
        }
        const __m128d squaredDepths = _mm_set1_pd(squaredDepth);
        const __m128i levels = levelsOf(
            _mm_add_pd(squaredDepths, _mm_loadu_pd(&squaredOffsets_[i])),
            _mm_add_pd(squaredDepths, _mm_loadu_pd(&squaredOffsets_[i + 2])), squaredHeight);
        const __m128i rowAndLevel =
            _mm_or_si128(_mm_slli_epi32(rowStepsOf(latitudes), 8), _mm_slli_epi32(levels, 16));
        __m128i left;
        __m128i mirrored;
        if (by == SolvedBy::tilted) {
            columnStepsOf(anglesAt(anglesByCode, codes.longitude.data() + i), turn, left, mirrored);
        } else {
            left =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(levelColumnFractions_.data() + i));
            mirrored = reversed(_mm_loadu_si128(
                reinterpret_cast<const __m128i*>(levelColumnFractions_.data() + right - i)));
        }
        storeFour(reinterpret_cast<std::int32_t*>(details + i), _mm_or_si128(left, rowAndLevel));
        storeFour(reinterpret_cast<std::int32_t*>(details + right - i),
                  reversed(_mm_or_si128(mirrored, rowAndLevel)));
    }
    for (std::size_t k = groups * 4; k < half_; ++k) {
        oneAtATime(k);
    }
}

#else  // no SSE2: every ray is solved from its angles

std::size_t RowSolver::startColumnCodes(std::size_t) {
    return 0;
}

void RowSolver::codeColumnBlocks(std::size_t, std::size_t) {}

void RowSolver::solveDetails(const ArctangentTable& table, float depth, float height,
                             const RowCodes&, SolvedBy by, std::uint32_t* details) const {
    const double d = depth;
    const double y = height;
    const double turn = depth <= 0.0f ? static_cast<double>(pi) : 0.0;
    for (std::size_t k = 0; k < half_; ++k) {
        if (by == SolvedBy::tilted) {
            const double x = offsets_[k];
            storeDetails(k, table.arctangent(x / d), table.arctangent(y / std::sqrt(d * d + x * x)),
                         d, y, turn, details);
        } else {
            storeRowDetails(k, table.arctangent(y / rayLengths_[k]), d, y, details);
        }
    }
}

#endif  // __SSE2__

void RowSolver::solveLevelRows(const ArctangentTable& table, float height, RowCodes& codes,
                               std::int32_t* rows) const {
    const double y = height;
    std::size_t i = 0;
#if defined(__SSE2__)
    solveLevelGroups(table, y, codes, rows);
    i = half_ / 4 * 4;
#else
    (void)codes;
#endif
    for (; i < half_; ++i) {
        const std::int32_t row = rowOfLatitude(table.arctangent(y / rayLengths_[i]));
        rows[i] = row;
        rows[static_cast<std::size_t>(viewWidth_) - 1 - i] = row;
    }
}

void RowSolver::solveMirroredLevelRows(const ArctangentTable& table, float height,
                                       const RowCodes& rowCodes, std::int32_t* rows) const {
    const double y = height;
    std::size_t groups = 0;
#if defined(__SSE2__)
    groups = half_ / 4;
    const __m128i negativeOffset = _mm_set1_epi32(2 * entryCount);
    const __m128i bothVariants = _mm_set1_epi32(4 * entryCount);
    const __m128i firstNegative = _mm_set1_epi32(2 * entryCount - 1);
    const std::int32_t* rowsByCode = rowsByCode_.data();
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t i = 4 * g;
        // The same index and side of 1, the other sign.
        const __m128i codes =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowCodes.latitude.data() + i));
        const __m128i flipped =
            _mm_sub_epi32(_mm_add_epi32(codes, negativeOffset),
                          _mm_and_si128(_mm_cmpgt_epi32(codes, firstNegative), bothVariants));
        alignas(16) std::int32_t at[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(at), flipped);
        const __m128i sourceRows = rowsAt(rowsByCode, at);
        storeFour(rows + i, sourceRows);
        storeFour(rows + (static_cast<std::size_t>(viewWidth_) - 4 - i), reversed(sourceRows));
    }
    for (std::size_t g = 0; g < groups; ++g) {
        if (rowCodes.doubtful[g] != 0) {
            for (std::size_t k = 4 * g; k < 4 * g + 4; ++k) {
                const std::int32_t row = rowOfLatitude(table.arctangent(y / rayLengths_[k]));
                rows[k] = row;
                rows[static_cast<std::size_t>(viewWidth_) - 1 - k] = row;
            }
        }
    }
#else
    (void)rowCodes;
#endif
    for (std::size_t i = groups * 4; i < half_; ++i) {
        const std::int32_t row = rowOfLatitude(table.arctangent(y / rayLengths_[i]));
        rows[i] = row;
        rows[static_cast<std::size_t>(viewWidth_) - 1 - i] = row;
    }
}

void RowSolver::solveTiltedRow(const ArctangentTable& table, float depth, float height,
                               RowCodes& codes, std::int32_t* columns, std::int32_t* rows) const {
    const double d = depth;
    const double y = height;
    const double turn = depth <= 0.0f ? static_cast<double>(pi) : 0.0;
    std::size_t i = 0;
#if defined(__SSE2__)
    solveTiltedGroups(table, d, y, turn, codes, columns, rows);
    i = half_ / 4 * 4;
#else
    (void)codes;
#endif
    for (; i < half_; ++i) {
        storeRay(solveRay(table, i, d, y, turn), i, columns, rows);
    }
}

}  // namespace engine

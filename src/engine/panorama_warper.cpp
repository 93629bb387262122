#include "engine/panorama_warper.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

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

// Copies one pixel. Four bytes move as one word where both the source and the
// view have a byte to spare after the pixel (the view's spare byte is the next
// pixel, written after it); the exact three bytes are copied elsewhere.
class PixelCopier {
  public:
    explicit PixelCopier(const SourceImage& source)
        : pixels_(source.pixels),
          stride_(static_cast<std::size_t>(source.stride)),
          lastPixel_(source.pixels + stride_ * (source.height - 1) +
                     3 * static_cast<std::size_t>(source.width - 1)) {}

    const std::uint8_t* at(std::int32_t row, std::int32_t column) const {
        return pixels_ + static_cast<std::size_t>(row) * stride_ +
               static_cast<std::size_t>(column) * 3;
    }

    // `out` is followed by another pixel of the same row.
    void copyBeforeAnother(const std::uint8_t* pixel, std::uint8_t* out) const {
        if (pixel != lastPixel_) {
            std::memcpy(out, pixel, 4);
        } else {
            std::memcpy(out, pixel, 3);
        }
    }

    static void copyLast(const std::uint8_t* pixel, std::uint8_t* out) {
        std::memcpy(out, pixel, 3);
    }

  private:
    const std::uint8_t* pixels_;
    std::size_t stride_;
    const std::uint8_t* lastPixel_;
};

// The pixels a view row needs lie on many source rows, so their loads miss the
// cache; asking for them this many pixels ahead keeps several misses in flight.
constexpr std::int32_t prefetchDistance = 64;

void prefetch(const std::uint8_t* address) {
#if defined(__SSE2__)
    _mm_prefetch(reinterpret_cast<const char*>(address), _MM_HINT_T0);
#else
    (void)address;
#endif
}

// Copies the source pixels the maps name into one view row.
void gatherRow(const PixelCopier& copier, const std::int32_t* rows, const std::int32_t* columns,
               std::uint8_t* out, std::int32_t count) {
    if (count <= 0) {
        return;
    }
    for (std::int32_t k = 0; k + prefetchDistance < count; ++k) {
        prefetch(copier.at(rows[k + prefetchDistance], columns[k + prefetchDistance]));
        copier.copyBeforeAnother(copier.at(rows[k], columns[k]),
                                 out + 3 * static_cast<std::size_t>(k));
    }
    for (std::int32_t k = count > prefetchDistance ? count - prefetchDistance : 0; k + 1 < count;
         ++k) {
        copier.copyBeforeAnother(copier.at(rows[k], columns[k]),
                                 out + 3 * static_cast<std::size_t>(k));
    }
    PixelCopier::copyLast(copier.at(rows[count - 1], columns[count - 1]),
                          out + 3 * static_cast<std::size_t>(count - 1));
}

}  // namespace

bool PanoramaWarper::allocateMaps(std::int32_t width, std::int32_t height) {
    freeMaps();
    if (width < 0 || height < 0) {
        return false;
    }
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // Both maps are allocated before the test, as one failure covers either.
    std::unique_ptr<std::int32_t[]> columns(new (std::nothrow) std::int32_t[count]());
    std::unique_ptr<std::int32_t[]> rows(new (std::nothrow) std::int32_t[count]());
    if (!columns || !rows) {
        return false;
    }
    columnMap_ = std::move(columns);
    rowMap_ = std::move(rows);
    mapWidth_ = width;
    mapHeight_ = height;
    return true;
}

void PanoramaWarper::freeMaps() {
    columnMap_.reset();
    rowMap_.reset();
    mapWidth_ = 0;
    mapHeight_ = 0;
}

void PanoramaWarper::clearMaps() {
    if (!hasMaps()) {
        return;
    }
    const std::size_t count = static_cast<std::size_t>(mapWidth_) * mapHeight_;
    std::fill(columnMap_.get(), columnMap_.get() + count, 0);
    std::fill(rowMap_.get(), rowMap_.get() + count, 0);
}

void PanoramaWarper::solveColumns(const ArctangentTable& table, const SourceImage& source,
                                  const Projection& p, float pan, float depth) {
    const std::int32_t width = source.width;
    const auto widthF = static_cast<float>(width);
    const double d = depth;
    const double inverseDepth = 1.0 / d;
    const double turn = depth <= 0.0f ? static_cast<double>(pi) : 0.0;
    for (std::size_t i = 0; i < offsets_.size(); ++i) {
        const double x = offsets_[i];
        const float theta = table.arctangentOfQuotient(x, d, inverseDepth, inverseOffsets_[i]);
        const float longitude = single(static_cast<double>(theta) + pan + turn);
        float u = single(static_cast<double>(p.columnsPerRadian) * longitude + p.centreColumn);
        if (u >= widthF) {
            u = u - widthF;
        } else if (u < 0.0f) {
            u = u + widthF;
        }
        leftColumns_[i] = intoPanorama(truncated(u), width);
        std::int32_t mirrored = truncated(static_cast<double>(p.mirrorSum) - u);
        if (mirrored >= width) {
            mirrored -= width;
        } else if (mirrored < 0) {
            mirrored += width;
        }
        rightColumns_[i] = intoPanorama(mirrored, width);
        const double length = std::sqrt(d * d + x * x);
        rayLengths_[i] = length;
        // Every row shares this depth: one division here spares one per pixel.
        inverseRayLengths_[i] = 1.0 / length;
    }
}

void PanoramaWarper::solveTiltedSpan(const ArctangentTable& table, const SourceImage& source,
                                     const Projection& p, float pan, float depth, float height,
                                     std::int32_t row, std::size_t begin, std::size_t end) {
    const std::int32_t viewWidth = mapWidth_;
    const std::size_t base = static_cast<std::size_t>(row) * viewWidth;
    std::int32_t* columns = columnMap_.get() + base;
    std::int32_t* rows = rowMap_.get() + base;
    const std::int32_t width = source.width;
    const auto widthF = static_cast<float>(width);
    const double d = depth;
    const double inverseDepth = 1.0 / d;
    const double turn = depth <= 0.0f ? static_cast<double>(pi) : 0.0;
    const double y = height;
    const double columnsPerRadian = p.columnsPerRadian;
    const double centreColumn = p.centreColumn;
    const double mirrorSum = p.mirrorSum;
    const double rowsPerRadian = p.rowsPerRadian;
    const double centreRow = p.centreRow;
    const std::int32_t lastRow = source.height - 1;
    // The latitude ratios of the whole row first: square roots and divisions
    // two at a time, each correctly rounded as the scalar operations are.
    std::size_t first = begin;
#if defined(__SSE2__)
    const __m128d depths = _mm_set1_pd(d);
    const __m128d squaredDepths = _mm_mul_pd(depths, depths);
    const __m128d heights = _mm_set1_pd(y);
    for (; first + 2 <= end; first += 2) {
        const __m128d xs = _mm_loadu_pd(&offsets_[first]);
        const __m128d lengths = _mm_sqrt_pd(_mm_add_pd(squaredDepths, _mm_mul_pd(xs, xs)));
        _mm_storeu_pd(&latitudeRatios_[first], _mm_div_pd(heights, lengths));
    }
#endif
    for (; first < end; ++first) {
        const double x = offsets_[first];
        latitudeRatios_[first] = y / std::sqrt(d * d + x * x);
    }
    for (std::size_t i = begin; i < end; ++i) {
        const double x = offsets_[i];
        const float theta = table.arctangentOfQuotient(x, d, inverseDepth, inverseOffsets_[i]);
        const float longitude = single(static_cast<double>(theta) + pan + turn);
        float u = single(columnsPerRadian * longitude + centreColumn);
        if (u >= widthF) {
            u = u - widthF;
        } else if (u < 0.0f) {
            u = u + widthF;
        }
        std::int32_t mirrored = truncated(mirrorSum - u);
        if (mirrored >= width) {
            mirrored -= width;
        } else if (mirrored < 0) {
            mirrored += width;
        }
        const float latitude = table.arctangent(latitudeRatios_[i]);
        std::int32_t sourceRow = truncated(rowsPerRadian * latitude + centreRow);
        sourceRow = sourceRow < 0 ? 0 : (sourceRow > lastRow ? lastRow : sourceRow);
        const std::size_t right = static_cast<std::size_t>(viewWidth) - 1 - i;
        columns[i] = intoPanorama(truncated(u), width);
        rows[i] = sourceRow;
        columns[right] = intoPanorama(mirrored, width);
        rows[right] = sourceRow;
    }
}

void PanoramaWarper::solveLevelRow(const ArctangentTable& table, const SourceImage& source,
                                   const Projection& p, float height, std::int32_t row) {
    const std::int32_t viewWidth = mapWidth_;
    const std::size_t base = static_cast<std::size_t>(row) * viewWidth;
    std::int32_t* columns = columnMap_.get() + base;
    std::int32_t* rows = rowMap_.get() + base;
    const double y = height;
    const double inverseHeight = 1.0 / y;
    const double rowsPerRadian = p.rowsPerRadian;
    const double centreRow = p.centreRow;
    const std::int32_t lastRow = source.height - 1;
    for (std::size_t i = 0; i < offsets_.size(); ++i) {
        const float latitude =
            table.arctangentOfQuotient(y, rayLengths_[i], inverseRayLengths_[i], inverseHeight);
        std::int32_t sourceRow = truncated(rowsPerRadian * latitude + centreRow);
        sourceRow = sourceRow < 0 ? 0 : (sourceRow > lastRow ? lastRow : sourceRow);
        const std::size_t right = static_cast<std::size_t>(viewWidth) - 1 - i;
        columns[i] = leftColumns_[i];
        rows[i] = sourceRow;
        columns[right] = rightColumns_[i];
        rows[right] = sourceRow;
    }
}

void PanoramaWarper::warp(const ArctangentTable& table, const SourceImage& source,
                          const ViewBuffer& view, const Projection& p, float pan) {
    columnCarry_ = 0.0;
    if (view.pixels == nullptr || view.height <= 0 || !hasMaps() || !source.usable() ||
        view.width != mapWidth_ || view.height != mapHeight_) {
        return;
    }
    const std::size_t half = p.halfColumns > 0 ? static_cast<std::size_t>(p.halfColumns) : 0;
    offsets_.resize(half);
    rayLengths_.resize(half);
    leftColumns_.resize(half);
    rightColumns_.resize(half);
    inverseOffsets_.resize(half);
    inverseRayLengths_.resize(half);
    latitudeRatios_.resize(half);
    for (std::size_t i = 0; i < half; ++i) {
        offsets_[i] = static_cast<double>(single(static_cast<double>(i) - p.halfWidth));
        inverseOffsets_[i] = 1.0 / offsets_[i];
    }
    const bool level = p.sinTilt == 0.0f;
    const PixelCopier copier(source);
    if (half == 0) {
        return;
    }
    const double focal = p.focalLength;
    auto depthOf = [&](std::int32_t j) {
        const double rise = static_cast<double>(p.halfHeight) - j;
        return single(static_cast<double>(p.cosTilt) * focal - rise * p.sinTilt);
    };
    auto heightOf = [&](std::int32_t j) {
        const double rise = static_cast<double>(p.halfHeight) - j;
        return single(rise * p.cosTilt + static_cast<double>(p.sinTilt) * focal);
    };
    auto gather = [&](std::int32_t j) {
        const std::size_t base = static_cast<std::size_t>(j) * view.width;
        gatherRow(copier, rowMap_.get() + base, columnMap_.get() + base,
                  view.pixels + static_cast<std::size_t>(j) * view.stride, view.width);
    };
    if (level) {
        // Every row has the same depth and shares every per-column result
        // (bits compared, so the reuse is exact and NaN matches itself).
        bool solved = false;
        float solvedDepth = 0.0f;
        for (std::int32_t j = 0; j < view.height; ++j) {
            const float depth = depthOf(j);
            if (!solved || std::memcmp(&depth, &solvedDepth, sizeof depth) != 0) {
                solveColumns(table, source, p, pan, depth);
                solved = true;
                solvedDepth = depth;
            }
            solveLevelRow(table, source, p, heightOf(j), j);
            gather(j);
        }
        return;
    }
    // A tilted view solves every ray. Neighbouring rays of neighbouring rows
    // read neighbouring table entries, so the rows are solved in bands, one
    // block of columns at a time, which keeps the table's part in use cached.
    constexpr std::int32_t bandRows = 16;
    constexpr std::size_t blockColumns = 64;
    for (std::int32_t bandStart = 0; bandStart < view.height; bandStart += bandRows) {
        const std::int32_t bandEnd = std::min(view.height, bandStart + bandRows);
        for (std::size_t begin = 0; begin < half; begin += blockColumns) {
            const std::size_t end = std::min(half, begin + blockColumns);
            for (std::int32_t j = bandStart; j < bandEnd; ++j) {
                solveTiltedSpan(table, source, p, pan, depthOf(j), heightOf(j), j, begin, end);
            }
        }
        for (std::int32_t j = bandStart; j < bandEnd; ++j) {
            gather(j);
        }
    }
}

void PanoramaWarper::shiftColumns(const SourceImage& source, const ViewBuffer& view, float delta) {
    if (delta == 0.0f || view.pixels == nullptr || !hasMaps() || !source.usable() ||
        view.width != mapWidth_ || view.height != mapHeight_ || !std::isfinite(delta)) {
        return;
    }
    const std::int32_t width = source.width;
    const double turns = std::trunc(static_cast<double>(delta) / static_cast<double>(twoPi));
    const double remainder = static_cast<double>(delta) - turns * static_cast<double>(twoPi);
    const double columns =
        remainder * (static_cast<double>(width) / static_cast<double>(twoPi)) + columnCarry_;
    const double whole = std::trunc(columns);
    columnCarry_ = columns - whole;
    auto shift = static_cast<std::int32_t>(whole);
    // |shift| never exceeds the width by more than rounding; keep it within it
    // so that one wrap per entry is always enough.
    if (shift > width || shift < -width) {
        shift %= width;
    }
    const PixelCopier copier(source);
    auto wrapped = [width](std::int32_t column) {
        if (column >= width) {
            return column - width;
        }
        return column < 0 ? column + width : column;
    };
    for (std::int32_t j = 0; j < view.height; ++j) {
        const std::size_t base = static_cast<std::size_t>(j) * view.width;
        std::int32_t* columnsOfRow = columnMap_.get() + base;
        const std::int32_t* rowsOfRow = rowMap_.get() + base;
        std::uint8_t* out = view.pixels + static_cast<std::size_t>(j) * view.stride;
        for (std::int32_t k = 0; k < view.width; ++k) {
            const std::int32_t column = wrapped(columnsOfRow[k] + shift);
            columnsOfRow[k] = column;
            if (k + prefetchDistance < view.width) {
                prefetch(copier.at(rowsOfRow[k + prefetchDistance],
                                   wrapped(columnsOfRow[k + prefetchDistance] + shift)));
            }
            const std::uint8_t* pixel = copier.at(rowsOfRow[k], column);
            if (k + 1 < view.width) {
                copier.copyBeforeAnother(pixel, out + 3 * static_cast<std::size_t>(k));
            } else {
                PixelCopier::copyLast(pixel, out + 3 * static_cast<std::size_t>(k));
            }
        }
    }
}

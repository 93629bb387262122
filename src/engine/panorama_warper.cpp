#include "engine/panorama_warper.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "engine/angles.h"
#include "engine/pixel_gather.h"
#include "engine/processor.h"

namespace {

float single(double value) {
    return static_cast<float>(value);
}

// A height that is exactly the negation of another's, neither zero nor
// infinite nor NaN.
bool mirrorsTheRowBefore(float height, float before) {
    return height == -before && before != 0.0f && std::isfinite(before);
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

void PanoramaWarper::warp(const ArctangentTable& table, const SourceImage& source,
                          const ViewBuffer& view, const Projection& p, float pan) {
    columnCarry_ = 0.0;
    if (view.pixels == nullptr || view.height <= 0 || !hasMaps() || !source.usable() ||
        view.width != mapWidth_ || view.height != mapHeight_) {
        return;
    }
    // Never more rays than the left half (and middle column) of the view holds.
    const std::int32_t half = std::clamp(p.halfColumns, 0, (view.width + 1) / 2);
    if (half == 0) {
        return;
    }
    const bool wide = wideStepsEnabled();
    solver_.prepare(table, p, source, pan, view.width, half, wide);
    const double focal = p.focalLength;
    auto depthOf = [&](std::int32_t j) {
        const double rise = static_cast<double>(p.halfHeight) - j;
        return single(static_cast<double>(p.cosTilt) * focal - rise * p.sinTilt);
    };
    auto heightOf = [&](std::int32_t j) {
        const double rise = static_cast<double>(p.halfHeight) - j;
        return single(rise * p.cosTilt + static_cast<double>(p.sinTilt) * focal);
    };
    // A level view gives every row the same depth (bits compared, so the
    // reuse is exact and NaN matches itself); its rows then share one row of
    // source columns and the ray lengths.
    const float firstDepth = depthOf(0);
    bool level = true;
    for (std::int32_t j = 1; j < view.height && level; ++j) {
        const float depth = depthOf(j);
        level = std::memcmp(&depth, &firstDepth, sizeof depth) == 0;
    }
    const auto width = static_cast<std::size_t>(view.width);
    for (std::size_t k = 0; k < ringRows; ++k) {
        rowEntries_[k].resize(width);
        columnEntries_[k].resize(width);
        pixelOffsets_[k].resize(width);
    }
    pixelRow_.resize(3 * width);
    // The order rows are built in: a level view takes rows j and
    // viewHeight - j one after the other, since their heights are negatives
    // of each other.
    rowOrder_.clear();
    rowOrder_.push_back(0);
    for (std::int32_t j = 1; j < view.height; ++j) {
        const std::int32_t partner = view.height - j;
        if (!level) {
            rowOrder_.push_back(j);
        } else if (partner >= j) {
            rowOrder_.push_back(j);
            if (partner != j) {
                rowOrder_.push_back(partner);
            }
        }
    }
    if (level) {
        solver_.solveDepth(table, firstDepth);
    } else {
        std::size_t forwardRows = 0;
        for (std::int32_t j = 0; j < view.height; ++j) {
            forwardRows += depthOf(j) > 0.0f ? 1 : 0;
        }
        solver_.codeColumnsFor(forwardRows * static_cast<std::size_t>(half));
    }
    const PixelGather gather(source, wide);
    // Row j is solved; after row j + 1 is solved its source pixels are asked
    // for while row j - 1 is copied, and they are copied one row later, so the
    // memory has a row's work to bring them in. Finished rows of entries and
    // pixels are written past the caches.
    const std::int32_t lag = 2;
    for (std::int32_t n = 0; n < view.height + lag; ++n) {
        if (n < view.height) {
            const std::int32_t j = rowOrder_[static_cast<std::size_t>(n)];
            const std::size_t slot = static_cast<std::size_t>(n) % ringRows;
            std::int32_t* rows = rowEntries_[slot].data();
            const float height = heightOf(j);
            if (level && n > 0 && rowOrder_[static_cast<std::size_t>(n) - 1] == view.height - j &&
                mirrorsTheRowBefore(height, heightOf(view.height - j))) {
                solver_.solveMirroredLevelRows(table, height, rows);
            } else if (level) {
                solver_.solveLevelRows(table, height, rows);
            } else {
                solver_.solveTiltedRow(table, depthOf(j), height, columnEntries_[slot].data(),
                                       rows);
            }
        }
        const std::int32_t asked = n - 1;
        const std::int32_t copied = n - lag;
        const std::size_t* ahead = nullptr;
        if (asked >= 0 && asked < view.height) {
            const std::size_t slot = static_cast<std::size_t>(asked) % ringRows;
            gather.locate(rowEntries_[slot].data(),
                          level ? solver_.levelColumns() : columnEntries_[slot].data(),
                          pixelOffsets_[slot].data(), view.width);
            ahead = pixelOffsets_[slot].data();
            if (copied < 0) {
                gather.prefetch(ahead, view.width);
            }
        }
        if (copied >= 0) {
            const std::size_t slot = static_cast<std::size_t>(copied) % ringRows;
            const std::int32_t* rows = rowEntries_[slot].data();
            const std::int32_t* columns =
                level ? solver_.levelColumns() : columnEntries_[slot].data();
            // The next row's pixels are asked for while this one's are copied.
            if (ahead != nullptr) {
                gather.gatherAsking(pixelOffsets_[slot].data(), pixelRow_.data(), view.width,
                                    ahead);
            } else {
                gather.gather(pixelOffsets_[slot].data(), pixelRow_.data(), view.width);
            }
            const auto row = static_cast<std::size_t>(rowOrder_[static_cast<std::size_t>(copied)]);
            streamBytes(view.pixels + row * view.stride, pixelRow_.data(), 3 * width);
            const std::size_t first = row * width;
            streamEntries(columnMap_.get() + first, columns, width);
            streamEntries(rowMap_.get() + first, rows, width);
        }
    }
    finishStreaming();
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
    // Row j + 1's columns are shifted and its pixels located and asked for
    // while row j is copied.
    const PixelGather gather(source, wideStepsEnabled());
    const auto viewWidth = static_cast<std::size_t>(view.width);
    std::size_t* offsets[2];
    for (std::size_t k = 0; k < 2; ++k) {
        pixelOffsets_[k].resize(viewWidth);
        offsets[k] = pixelOffsets_[k].data();
    }
    auto shiftRow = [&](std::int32_t j, std::size_t* rowOffsets) {
        const std::size_t base = static_cast<std::size_t>(j) * viewWidth;
        std::int32_t* columns = columnMap_.get() + base;
        for (std::size_t k = 0; k < viewWidth; ++k) {
            // One wrap is enough: the column lies inside the panorama and
            // |shift| is at most its width.
            std::int32_t column = columns[k] + shift;
            column += column < 0 ? width : 0;
            column -= column >= width ? width : 0;
            columns[k] = column;
        }
        gather.locate(rowMap_.get() + base, columns, rowOffsets, view.width);
    };
    shiftRow(0, offsets[0]);
    gather.prefetch(offsets[0], view.width);
    for (std::int32_t j = 0; j < view.height; ++j) {
        std::uint8_t* out = view.pixels + static_cast<std::size_t>(j) * view.stride;
        const std::size_t* current = offsets[j % 2];
        if (j + 1 < view.height) {
            std::size_t* next = offsets[(j + 1) % 2];
            shiftRow(j + 1, next);
            gather.gatherAsking(current, out, view.width, next);
        } else {
            gather.gather(current, out, view.width);
        }
    }
}

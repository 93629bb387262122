#include "engine/panorama_warper.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>

#include "engine/angles.h"
#include "engine/pixel_gather.h"
#include "engine/processor.h"

namespace engine {

namespace {

using detail::single;

// A height that is exactly the negation of another's, neither zero nor
// infinite nor NaN.
bool mirrorsTheRowBefore(float height, float before) {
    return height == -before && before != 0.0f && std::isfinite(before);
}

// The depth D of view row j's rays after the tilt rotation, and their height Y.
float depthOfRow(const Projection& p, std::int32_t j) {
    const double rise = static_cast<double>(p.halfHeight) - j;
    return single(static_cast<double>(p.cosTilt) * static_cast<double>(p.focalLength) -
                  rise * p.sinTilt);
}

float heightOfRow(const Projection& p, std::int32_t j) {
    const double rise = static_cast<double>(p.halfHeight) - j;
    return single(rise * p.cosTilt + static_cast<double>(p.sinTilt) * p.focalLength);
}

// Many bands per thread, so that a thread slowed by another program's work
// leaves its share to the others and the last band ends soon.
constexpr std::int32_t bandsPerThread = 8;
// A shift costs about a quarter of a rebuild per pixel: its bands are larger.
constexpr std::size_t shiftBandScale = 4;
constexpr std::int32_t mostThreads = 64;
// The coded columns of a tilted view are shared out in a few bands per
// thread, so that a thread that starts late still finds one.
constexpr std::size_t codingBandsPerThread = 2;

// The first of `count` positions that belongs to band `band` of `bands`.
std::size_t bandStart(std::size_t count, std::int32_t band, std::int32_t bands) {
    return count * static_cast<std::size_t>(band) / static_cast<std::size_t>(bands);
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
    if (sampling_ == Sampling::smooth && !allocateDetails()) {
        freeMaps();
        return false;
    }
    return true;
}

bool PanoramaWarper::allocateDetails() {
    const std::size_t count =
        static_cast<std::size_t>(mapWidth_) * static_cast<std::size_t>(mapHeight_);
    detailMap_.reset(new (std::nothrow) std::uint32_t[count]());
    return detailMap_ != nullptr;
}

bool PanoramaWarper::setSampling(Sampling sampling) {
    if (sampling == sampling_) {
        return true;
    }
    if (sampling == Sampling::smooth && hasMaps() && !allocateDetails()) {
        return false;
    }
    if (sampling == Sampling::nearest) {
        detailMap_.reset();
    }
    sampling_ = sampling;
    return true;
}

void PanoramaWarper::freeMaps() {
    columnMap_.reset();
    rowMap_.reset();
    detailMap_.reset();
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
    if (detailMap_) {
        std::fill(detailMap_.get(), detailMap_.get() + count, 0u);
    }
}

void PanoramaWarper::setThreads(std::int32_t threads) {
    threads = std::clamp(threads, 1, mostThreads);
    if (threads != threads_) {
        pool_.reset();
        threads_ = threads;
    }
}

std::int32_t PanoramaWarper::bandsFor(std::int32_t width, std::int32_t height,
                                      std::size_t smallestBand) const {
    if (threads_ <= 1 || width <= 0 || height <= 1) {
        return 1;
    }
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t bySize = smallestBand == 0 ? pixels : pixels / smallestBand;
    const std::size_t bands = std::min({static_cast<std::size_t>(threads_) * bandsPerThread,
                                        static_cast<std::size_t>(height), bySize});
    return bands < 2 ? 1 : static_cast<std::int32_t>(bands);
}

void PanoramaWarper::prepareLanes(std::int32_t bands, std::size_t width) {
    if (bands > 1 && !pool_) {
        pool_ = std::make_unique<platform::BandPool>(threads_);
    }
    const std::size_t used = bands > 1 ? static_cast<std::size_t>(pool_->threads()) : 1;
    if (lanes_.size() < used) {
        lanes_.resize(used);
    }
    for (std::size_t k = 0; k < used; ++k) {
        Lane& lane = lanes_[k];
        for (std::size_t slot = 0; slot < ringRows; ++slot) {
            lane.rowEntries[slot].resize(width);
            lane.columnEntries[slot].resize(width);
            lane.pixelOffsets[slot].resize(width);
            if (sampling_ == Sampling::smooth) {
                lane.detailEntries[slot].resize(width);
            }
        }
        lane.pixelRow.resize(3 * width);
        solver_.sizeCodes(lane.codes);
    }
}

void PanoramaWarper::warp(const ArctangentTable& table, const SourceImage& source,
                          const ViewBuffer& view, const Projection& p, float pan,
                          const SourcePyramid* pyramid) {
    columnCarry_ = 0.0;
    shown_ = ShownView{};
    if (view.pixels == nullptr || view.height <= 0 || !hasMaps() || !source.usable() ||
        view.width != mapWidth_ || view.height != mapHeight_) {
        return;
    }
    // Never more rays than the left half (and middle column) of the view holds.
    const std::int32_t half = std::clamp(p.halfColumns, 0, (view.width + 1) / 2);
    if (half == 0) {
        return;
    }
    shown_ = ShownView{p, pan, 0, source.width, view.width, view.height};
    ++pictureCount_;
    const bool wide = wideStepsEnabled();
    solver_.prepare(table, p, source, pan, view.width, half, wide, sampling_ == Sampling::smooth);
    // A level view gives every row the same depth (bits compared, so the
    // reuse is exact and NaN matches itself); its rows then share one row of
    // source columns and the ray lengths.
    const float firstDepth = depthOfRow(p, 0);
    bool level = true;
    for (std::int32_t j = 1; j < view.height && level; ++j) {
        const float depth = depthOfRow(p, j);
        level = std::memcmp(&depth, &firstDepth, sizeof depth) == 0;
    }
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
    std::size_t columnBlocks = 0;
    if (level) {
        solver_.solveDepth(table, firstDepth);
    } else {
        std::size_t forwardRows = 0;
        for (std::int32_t j = 0; j < view.height; ++j) {
            forwardRows += depthOfRow(p, j) > 0.0f ? 1 : 0;
        }
        columnBlocks = solver_.startColumnCodes(forwardRows * static_cast<std::size_t>(half));
    }
    const std::int32_t bands = bandsFor(view.width, view.height, smallestBand_);
    prepareLanes(bands, static_cast<std::size_t>(view.width));
    const PixelGather gather(source, wide);
    const bool smooth = sampling_ == Sampling::smooth;
    const SmoothSampler sampler(source, smooth ? pyramid : nullptr);
    const Rebuild rebuild{table, p, view, gather, smooth ? &sampler : nullptr, level};
    const std::size_t count = rowOrder_.size();
    auto build = [&](std::int32_t band, std::int32_t lane) {
        buildRows(rebuild, lanes_[static_cast<std::size_t>(lane)], bandStart(count, band, bands),
                  bandStart(count, band + 1, bands));
    };
    if (bands == 1 || columnBlocks == 0) {
        solver_.codeColumnBlocks(0, columnBlocks);
        runBands(bands, build);
        return;
    }
    // The coded columns cost about what a band of rows does, too much to
    // leave to the calling thread alone: their blocks are shared out as the
    // first bands of the same work as the rows, so that the threads are woken
    // once. Every row facing forward reads them, so a band of rows waits for
    // the coding bands still running; bands are taken in order, so those are
    // running on other threads already and the wait is one coding band at
    // most.
    const auto codingBands = static_cast<std::int32_t>(
        std::min(columnBlocks, static_cast<std::size_t>(pool_->threads()) * codingBandsPerThread));
    std::atomic<std::int32_t> codingLeft = codingBands;
    // A coding band counts as done however it ends: one that throws must
    // not leave the bands of rows waiting for it (the pool runs them all,
    // then hands the exception on).
    struct CodingDone {
        std::atomic<std::int32_t>& left;
        ~CodingDone() { left.fetch_sub(1, std::memory_order_release); }
    };
    auto codeThenBuild = [&](std::int32_t band, std::int32_t lane) {
        if (band < codingBands) {
            const CodingDone done{codingLeft};
            solver_.codeColumnBlocks(bandStart(columnBlocks, band, codingBands),
                                     bandStart(columnBlocks, band + 1, codingBands));
            return;
        }
        while (codingLeft.load(std::memory_order_acquire) != 0) {
            std::this_thread::yield();
        }
        build(band - codingBands, lane);
    };
    runBands(codingBands + bands, codeThenBuild);
}

void PanoramaWarper::buildRows(const Rebuild& r, Lane& lane, std::size_t first, std::size_t last) {
    const ViewBuffer& view = r.view;
    const Projection& p = r.projection;
    const auto width = static_cast<std::size_t>(view.width);
    const auto count = static_cast<std::int32_t>(last - first);
    const std::int32_t* order = rowOrder_.data() + first;
    // Row n is solved; after row n + 1 is solved its source pixels are asked
    // for while row n - 1 is copied, and they are copied one row later, so the
    // memory has a row's work to bring them in. Finished rows of entries and
    // pixels are written past the caches.
    const std::int32_t lag = 2;
    for (std::int32_t n = 0; n < count + lag; ++n) {
        if (n < count) {
            const std::int32_t j = order[n];
            const std::size_t slot = static_cast<std::size_t>(n) % ringRows;
            std::int32_t* rows = lane.rowEntries[slot].data();
            const float height = heightOfRow(p, j);
            const float depth = depthOfRow(p, j);
            RowSolver::SolvedBy by = RowSolver::SolvedBy::tilted;
            if (r.level && n > 0 && order[n - 1] == view.height - j &&
                mirrorsTheRowBefore(height, heightOfRow(p, view.height - j))) {
                solver_.solveMirroredLevelRows(r.table, height, lane.codes, rows);
                by = RowSolver::SolvedBy::mirroredLevel;
            } else if (r.level) {
                solver_.solveLevelRows(r.table, height, lane.codes, rows);
                by = RowSolver::SolvedBy::level;
            } else {
                solver_.solveTiltedRow(r.table, depth, height, lane.codes,
                                       lane.columnEntries[slot].data(), rows);
            }
            if (r.sampler != nullptr) {
                solver_.solveDetails(r.table, depth, height, lane.codes, by,
                                     lane.detailEntries[slot].data());
            }
        }
        const std::int32_t asked = n - 1;
        const std::int32_t copied = n - lag;
        const std::size_t* ahead = nullptr;
        if (r.sampler != nullptr) {
            // The next row's pixels are asked for while this one is sampled.
            if (asked >= 0 && asked < count) {
                const std::size_t slot = static_cast<std::size_t>(asked) % ringRows;
                r.sampler->askRow(
                    r.level ? solver_.levelColumns() : lane.columnEntries[slot].data(),
                    lane.rowEntries[slot].data(), lane.detailEntries[slot].data(), view.width);
            }
            if (copied >= 0) {
                const std::size_t slot = static_cast<std::size_t>(copied) % ringRows;
                const std::int32_t* rows = lane.rowEntries[slot].data();
                const std::int32_t* columns =
                    r.level ? solver_.levelColumns() : lane.columnEntries[slot].data();
                const std::uint32_t* details = lane.detailEntries[slot].data();
                r.sampler->sampleRow(columns, rows, details, lane.pixelRow.data(), view.width);
                const auto row = static_cast<std::size_t>(order[copied]);
                streamBytes(view.pixels + row * view.stride, lane.pixelRow.data(), 3 * width);
                const std::size_t at = row * width;
                streamEntries(columnMap_.get() + at, columns, width);
                streamEntries(rowMap_.get() + at, rows, width);
                streamEntries(reinterpret_cast<std::int32_t*>(detailMap_.get() + at),
                              reinterpret_cast<const std::int32_t*>(details), width);
            }
            continue;
        }
        if (asked >= 0 && asked < count) {
            const std::size_t slot = static_cast<std::size_t>(asked) % ringRows;
            r.gather.locate(lane.rowEntries[slot].data(),
                            r.level ? solver_.levelColumns() : lane.columnEntries[slot].data(),
                            lane.pixelOffsets[slot].data(), view.width);
            ahead = lane.pixelOffsets[slot].data();
            if (copied < 0) {
                r.gather.prefetch(ahead, view.width);
            }
        }
        if (copied >= 0) {
            const std::size_t slot = static_cast<std::size_t>(copied) % ringRows;
            const std::int32_t* rows = lane.rowEntries[slot].data();
            const std::int32_t* columns =
                r.level ? solver_.levelColumns() : lane.columnEntries[slot].data();
            // The next row's pixels are asked for while this one's are copied.
            if (ahead != nullptr) {
                r.gather.gatherAsking(lane.pixelOffsets[slot].data(), lane.pixelRow.data(),
                                      view.width, ahead);
            } else {
                r.gather.gather(lane.pixelOffsets[slot].data(), lane.pixelRow.data(), view.width);
            }
            const auto row = static_cast<std::size_t>(order[copied]);
            streamBytes(view.pixels + row * view.stride, lane.pixelRow.data(), 3 * width);
            const std::size_t at = row * width;
            streamEntries(columnMap_.get() + at, columns, width);
            streamEntries(rowMap_.get() + at, rows, width);
        }
    }
    // The streamed rows are in memory before the band is reported done.
    finishStreaming();
}

void PanoramaWarper::shiftColumns(const SourceImage& source, const ViewBuffer& view, float delta,
                                  const SourcePyramid* pyramid) {
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
    shown_.shiftedColumns = (shown_.shiftedColumns + shift) % width;
    ++pictureCount_;
    // The carry is the view's and was taken above: every row moves by the
    // same whole number of columns, so the rows can be shifted in any order.
    const std::int32_t bands = bandsFor(view.width, view.height, shiftBandScale * smallestBand_);
    prepareLanes(bands, static_cast<std::size_t>(view.width));
    if (sampling_ == Sampling::smooth) {
        const SmoothSampler sampler(source, pyramid);
        auto shiftBand = [&](std::int32_t band, std::int32_t) {
            const auto rows = static_cast<std::size_t>(view.height);
            shiftSmoothRows(sampler, view, shift, width,
                            static_cast<std::int32_t>(bandStart(rows, band, bands)),
                            static_cast<std::int32_t>(bandStart(rows, band + 1, bands)));
        };
        runBands(bands, shiftBand);
        return;
    }
    const PixelGather gather(source, wideStepsEnabled());
    auto shiftBand = [&](std::int32_t band, std::int32_t lane) {
        const auto rows = static_cast<std::size_t>(view.height);
        shiftRows(gather, view, shift, width, lanes_[static_cast<std::size_t>(lane)],
                  static_cast<std::int32_t>(bandStart(rows, band, bands)),
                  static_cast<std::int32_t>(bandStart(rows, band + 1, bands)));
    };
    runBands(bands, shiftBand);
}

void PanoramaWarper::shiftColumnEntries(std::int32_t* columns, std::size_t count,
                                        std::int32_t shift, std::int32_t panoramaWidth) const {
    for (std::size_t k = 0; k < count; ++k) {
        // One wrap is enough: the column lies inside the panorama and
        // |shift| is at most its width.
        std::int32_t column = columns[k] + shift;
        column += column < 0 ? panoramaWidth : 0;
        column -= column >= panoramaWidth ? panoramaWidth : 0;
        columns[k] = column;
    }
}

void PanoramaWarper::shiftSmoothRows(const SmoothSampler& sampler, const ViewBuffer& view,
                                     std::int32_t shift, std::int32_t panoramaWidth,
                                     std::int32_t first, std::int32_t last) {
    // Row j + 1's columns are shifted and its pixels asked for while row j
    // is sampled.
    const auto viewWidth = static_cast<std::size_t>(view.width);
    auto shiftRow = [&](std::int32_t j) {
        const std::size_t base = static_cast<std::size_t>(j) * viewWidth;
        shiftColumnEntries(columnMap_.get() + base, viewWidth, shift, panoramaWidth);
        sampler.askRow(columnMap_.get() + base, rowMap_.get() + base, detailMap_.get() + base,
                       view.width);
    };
    if (first < last) {
        shiftRow(first);
    }
    for (std::int32_t j = first; j < last; ++j) {
        if (j + 1 < last) {
            shiftRow(j + 1);
        }
        const std::size_t base = static_cast<std::size_t>(j) * viewWidth;
        sampler.sampleRow(columnMap_.get() + base, rowMap_.get() + base, detailMap_.get() + base,
                          view.pixels + static_cast<std::size_t>(j) * view.stride, view.width);
    }
}

void PanoramaWarper::shiftRows(const PixelGather& gather, const ViewBuffer& view,
                               std::int32_t shift, std::int32_t panoramaWidth, Lane& lane,
                               std::int32_t first, std::int32_t last) {
    if (first >= last) {
        return;
    }
    // Row j + 1's columns are shifted and its pixels located and asked for
    // while row j is copied.
    const auto viewWidth = static_cast<std::size_t>(view.width);
    std::size_t* offsets[2] = {lane.pixelOffsets[0].data(), lane.pixelOffsets[1].data()};
    auto shiftRow = [&](std::int32_t j, std::size_t* rowOffsets) {
        const std::size_t base = static_cast<std::size_t>(j) * viewWidth;
        std::int32_t* columns = columnMap_.get() + base;
        shiftColumnEntries(columns, viewWidth, shift, panoramaWidth);
        gather.locate(rowMap_.get() + base, columns, rowOffsets, view.width);
    };
    shiftRow(first, offsets[0]);
    gather.prefetch(offsets[0], view.width);
    for (std::int32_t j = first; j < last; ++j) {
        std::uint8_t* out = view.pixels + static_cast<std::size_t>(j) * view.stride;
        const std::size_t* current = offsets[(j - first) % 2];
        if (j + 1 < last) {
            std::size_t* next = offsets[(j + 1 - first) % 2];
            shiftRow(j + 1, next);
            gather.gatherAsking(current, out, view.width, next);
        } else {
            gather.gather(current, out, view.width);
        }
    }
}

}  // namespace engine

// The warp of an equidistant cylindrical panorama into a perspective view.
// For every view pixel it keeps the source column and row that feed it (two
// integer maps in view memory order), so that a change of pan alone is done by
// adding whole source columns to the column map and copying pixels again.
// Large views are built in bands of rows on several threads (see BandPool);
// every band's rows come out exactly as they do on one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/arctangent_table.h"
#include "engine/link_projection.h"
#include "platform/band_pool.h"
#include "engine/pixel_buffers.h"
#include "engine/pixel_gather.h"
#include "engine/projection.h"
#include "engine/row_solver.h"
#include "engine/smooth_sampler.h"
#include "engine/source_pyramid.h"

namespace engine {

class PanoramaWarper {
  public:
    // Allocates both maps for a view of width x height, every entry 0 (a valid
    // source pixel), and the details when the sampling is smooth. Returns
    // false, with no maps, when memory runs out.
    bool allocateMaps(std::int32_t width, std::int32_t height);
    void freeMaps();
    bool hasMaps() const { return columnMap_ != nullptr; }
    // Sets every entry of both maps to 0, for a new panorama whose size the old
    // entries may exceed.
    void clearMaps();

    // How view pixels read the panorama (nearest by default). Smooth sampling
    // keeps a third map, the entries' details; returns false, keeping the
    // sampling as it was, when memory for it runs out.
    bool setSampling(Sampling sampling);
    Sampling sampling() const { return sampling_; }

    // Full rebuild of both maps and every view pixel at the given pan. Writes
    // nothing without view pixels or rows; always resets the column carry.
    // Smooth sampling reads the pyramid's levels where the view shrinks the
    // panorama, when a pyramid of this source is given, else the source alone.
    void warp(const ArctangentTable& table, const SourceImage& source, const ViewBuffer& view,
              const Projection& projection, float pan, const SourcePyramid* pyramid = nullptr);

    // Pan change of `delta` radians by adding whole source columns to the
    // column map; the fraction of a column left over is carried to the next
    // shift in double precision. The details stay as they are.
    void shiftColumns(const SourceImage& source, const ViewBuffer& view, float delta,
                      const SourcePyramid* pyramid = nullptr);

    // Threads that build the bands of a view: one per core by default (see
    // BandPool), 1 for the calling thread alone. They are started at the first
    // view large enough to split.
    void setThreads(std::int32_t threads);
    std::int32_t threads() const { return threads_; }
    // Pixels a band of a rebuild must have at least (a shift's bands are a
    // few times larger); a view with fewer per thread is split into fewer
    // bands, one for a small view, as handing out bands and waiting for the
    // last costs about what building tens of thousands of pixels does.
    void setSmallestBand(std::size_t pixels) { smallestBand_ = pixels; }
    static constexpr std::size_t defaultSmallestBand = 50000;
    // How many bands a view of that size is built in, with bands of at
    // least `smallestBand` pixels (0: any size).
    std::int32_t bandsFor(std::int32_t width, std::int32_t height, std::size_t smallestBand) const;

    double columnCarry() const { return columnCarry_; }
    // What the view pixels show since the last rebuild or shift (unusable
    // before the first rebuild that wrote pixels), and a count that changes
    // whenever they are written, for drawings laid over them.
    const ShownView& shownView() const { return shown_; }
    std::uint32_t pictureCount() const { return pictureCount_; }
    const std::int32_t* columnMap() const { return columnMap_.get(); }
    const std::int32_t* rowMap() const { return rowMap_.get(); }
    // Null unless the sampling is smooth.
    const std::uint32_t* detailMap() const { return detailMap_.get(); }
    std::int32_t mapWidth() const { return mapWidth_; }
    std::int32_t mapHeight() const { return mapHeight_; }
    // For checks: the solver of the last rebuild, with its coded columns.
    const RowSolver& rowSolver() const { return solver_; }

  private:
    std::unique_ptr<std::int32_t[]> columnMap_;
    std::unique_ptr<std::int32_t[]> rowMap_;
    std::unique_ptr<std::uint32_t[]> detailMap_;
    Sampling sampling_ = Sampling::nearest;
    std::int32_t mapWidth_ = 0;
    std::int32_t mapHeight_ = 0;
    double columnCarry_ = 0.0;
    ShownView shown_;
    std::uint32_t pictureCount_ = 0;

    // What one thread building rows has of its own: the entries of the last
    // rows it solved, their pixels' offsets and the pixels of the row copied.
    static constexpr std::size_t ringRows = 4;
    struct Lane {
        RowCodes codes;
        std::vector<std::int32_t> rowEntries[ringRows];
        std::vector<std::int32_t> columnEntries[ringRows];
        std::vector<std::size_t> pixelOffsets[ringRows];
        std::vector<std::uint32_t> detailEntries[ringRows];
        std::vector<std::uint8_t> pixelRow;
    };
    // The constants of one rebuild that every band reads.
    struct Rebuild {
        const ArctangentTable& table;
        const Projection& projection;
        const ViewBuffer& view;
        const PixelGather& gather;
        const SmoothSampler* sampler;  // null for nearest sampling
        bool level;
    };
    // Builds the rows at positions [first, last) of the build order.
    void buildRows(const Rebuild& rebuild, Lane& lane, std::size_t first, std::size_t last);
    // Shifts the columns of view rows [first, last) and copies their pixels.
    void shiftRows(const PixelGather& gather, const ViewBuffer& view, std::int32_t shift,
                   std::int32_t panoramaWidth, Lane& lane, std::int32_t first, std::int32_t last);
    // The same, reading the pixels smoothly.
    void shiftSmoothRows(const SmoothSampler& sampler, const ViewBuffer& view, std::int32_t shift,
                         std::int32_t panoramaWidth, std::int32_t first, std::int32_t last);
    void shiftColumnEntries(std::int32_t* columns, std::size_t count, std::int32_t shift,
                            std::int32_t panoramaWidth) const;
    // Lanes for `bands` bands of rows `width` pixels wide, and the pool when
    // there are several.
    void prepareLanes(std::int32_t bands, std::size_t width);
    bool allocateDetails();
    // Runs work(band, lane) for every band, on the pool when there are several.
    template <typename Work>
    void runBands(std::int32_t bands, Work& work) {
        if (bands > 1 && pool_) {
            pool_->run(bands, work);
        } else {
            for (std::int32_t band = 0; band < bands; ++band) {
                work(band, 0);
            }
        }
    }

    RowSolver solver_;
    std::vector<Lane> lanes_;
    std::vector<std::int32_t> rowOrder_;
    std::int32_t threads_ = platform::BandPool::threadsForThisProcessor();
    std::size_t smallestBand_ = defaultSmallestBand;
    std::unique_ptr<platform::BandPool> pool_;
};

}  // namespace engine

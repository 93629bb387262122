// The warp of an equidistant cylindrical panorama into a perspective view.
// For every view pixel it keeps the source column and row that feed it (two
// integer maps in view memory order), so that a change of pan alone is done by
// adding whole source columns to the column map and copying pixels again.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/arctangent_table.h"
#include "engine/pixel_buffers.h"
#include "engine/pixel_gather.h"
#include "engine/projection.h"
#include "engine/row_solver.h"

class PanoramaWarper {
  public:
    // Allocates both maps for a view of width x height, every entry 0 (a valid
    // source pixel). Returns false, with no maps, when memory runs out.
    bool allocateMaps(std::int32_t width, std::int32_t height);
    void freeMaps();
    bool hasMaps() const { return columnMap_ != nullptr; }
    // Sets every entry of both maps to 0, for a new panorama whose size the old
    // entries may exceed.
    void clearMaps();

    // Full rebuild of both maps and every view pixel at the given pan. Writes
    // nothing without view pixels or rows; always resets the column carry.
    void warp(const ArctangentTable& table, const SourceImage& source, const ViewBuffer& view,
              const Projection& projection, float pan);

    // Pan change of `delta` radians by adding whole source columns to the
    // column map; the fraction of a column left over is carried to the next
    // shift in double precision.
    void shiftColumns(const SourceImage& source, const ViewBuffer& view, float delta);

    double columnCarry() const { return columnCarry_; }
    const std::int32_t* columnMap() const { return columnMap_.get(); }
    const std::int32_t* rowMap() const { return rowMap_.get(); }
    std::int32_t mapWidth() const { return mapWidth_; }
    std::int32_t mapHeight() const { return mapHeight_; }

  private:
    std::unique_ptr<std::int32_t[]> columnMap_;
    std::unique_ptr<std::int32_t[]> rowMap_;
    std::int32_t mapWidth_ = 0;
    std::int32_t mapHeight_ = 0;
    double columnCarry_ = 0.0;

    RowSolver solver_;
    // The entries of the last rows solved, and the pixels of the row copied.
    static constexpr std::size_t ringRows = 4;
    std::vector<std::int32_t> rowEntries_[ringRows];
    std::vector<std::int32_t> columnEntries_[ringRows];
    std::vector<std::size_t> pixelOffsets_[ringRows];
    std::vector<std::uint8_t> pixelRow_;
    std::vector<std::int32_t> rowOrder_;
};

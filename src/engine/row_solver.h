// The map entries of one view row: for each view pixel the source column and
// source row that feed it, from the arctangent table and the projection
// constants. The left half's rays are solved and the right half mirrored.
//
// Rays are solved four at a time with SSE2. Every vector operation is the
// scalar operation the algorithm names, in the same order and precision
// (products and sums in double, stored values rounded to single), so the
// entries are those of the scalar arithmetic. Table lookups by multiplication
// with a reciprocal are used only where the index is certain to equal the one
// of the exact quotient; a group of rays where it is not (or whose column
// leaves the panorama) is solved one ray at a time by the exact scalar steps.
// Where the processor has AVX2, a tilted row's table codes come from the wide
// steps (wide_steps.h) under the same rule, and so do its lookups of columns
// and rows by code. Those lookups go to step tables (step_table.h), small
// enough to stay in the cache, that answer every code exactly or not at all.
#pragma once

#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/arctangent_table.h"
#include "engine/pixel_buffers.h"
#include "engine/projection.h"
#include "engine/smooth_sampler.h"
#include "engine/step_table.h"

namespace engine {

// The table codes of the row being solved, of its own for each thread that
// solves rows: the lookup codes of each ray's two angles (see codeTables) and,
// per group of four rays, whether one of them is doubtful. A row mirrored from
// the one before reuses that row's codes.
struct RowCodes {
    std::vector<std::int32_t> longitude;
    std::vector<std::int32_t> latitude;
    std::vector<std::uint8_t> doubtful;
};

// Prepared by one thread for a rebuild; its rows may then be solved by several
// threads at once (the solving operations are const), each with its own codes.
class RowSolver {
  public:
    // Takes the constants of one rebuild: `half` rays per row of a view
    // `viewWidth` columns wide (`half` at most (viewWidth + 1) / 2); `wide`
    // when the processor's wide steps are to be used; `details` when rows'
    // details will be asked for (the fractions are then coded too).
    void prepare(const ArctangentTable& table, const Projection& projection,
                 const SourceImage& source, float pan, std::int32_t viewWidth, std::int32_t half,
                 bool wide, bool details = false);

    // A level view: every row has the same depth, so the source columns of a
    // row and the ray lengths are solved once for it.
    void solveDepth(const ArctangentTable& table, float depth);
    // The whole row of source columns for the solved depth.
    const std::int32_t* levelColumns() const { return levelColumns_.data(); }
    // Sizes a thread's codes for this rebuild's rows.
    void sizeCodes(RowCodes& codes) const;
    // Source rows of a whole view row of the solved depth at `height` (Y).
    void solveLevelRows(const ArctangentTable& table, float height, RowCodes& codes,
                        std::int32_t* rows) const;

    // The same for the row whose height is exactly the negation of the one
    // just solved by solveLevelRows (view rows j and viewHeight - j): the ray
    // ratios differ only in sign, so their table lookups (in `codes`) are reused.
    void solveMirroredLevelRows(const ArctangentTable& table, float height, const RowCodes& codes,
                                std::int32_t* rows) const;

    // A tilted view: source columns of every longitude of the rows facing
    // forward are coded once per rebuild when `forwardRays` (rays of such
    // rows) are many enough to repay it. The coding is made of blocks that
    // depend on nothing but the rebuild's constants: startColumnCodes returns
    // their count (0 when the columns are not coded) and codeColumnBlocks
    // codes blocks [first, last), so that several threads may share them out.
    // Every block is to be coded before a row is solved.
    std::size_t startColumnCodes(std::size_t forwardRays);
    void codeColumnBlocks(std::size_t first, std::size_t last);
    // Both of the above on the calling thread.
    void codeColumnsFor(std::size_t forwardRays) {
        codeColumnBlocks(0, startColumnCodes(forwardRays));
    }
    // For checks: the coded column (or mirrored column) of negative longitude
    // code 2 * 100001 + `place`, negative where rows solve it ray by ray.
    std::int32_t codedColumn(std::int32_t place, bool mirrored) const {
        return columnSteps_.at(place, mirrored ? 1 : 0);
    }
    // Both entries of a whole row with its own depth and height.
    void solveTiltedRow(const ArctangentTable& table, float depth, float height, RowCodes& codes,
                        std::int32_t* columns, std::int32_t* rows) const;

    // How the row whose details are asked for was solved, and so which of
    // its codes can be read again.
    enum class SolvedBy { tilted, level, mirroredLevel };
    // The details (smooth_sampler.h) of the row just solved with `codes`:
    // the fractions of the same column and row values the solving truncated,
    // and the level of each ray's footprint. Rays whose codes are unsure are
    // solved again by the exact steps.
    void solveDetails(const ArctangentTable& table, float depth, float height,
                      const RowCodes& codes, SolvedBy by, std::uint32_t* details) const;

  private:
    struct Ray {
        std::int32_t column;
        std::int32_t mirroredColumn;
        std::int32_t row;
    };

    // The exact scalar steps, for rays the vector path does not take.
    float unwrappedColumn(float longitude) const {
        return static_cast<float>(columnsPerRadian_ * longitude + centreColumn_);
    }
    void columnsOfLongitude(float longitude, std::int32_t& column, std::int32_t& mirrored) const;
    std::int32_t rowOfLatitude(float latitude) const;
    Ray solveRay(const ArctangentTable& table, std::size_t i, double depth, double height,
                 double turn) const;
    void storeRay(const Ray& ray, std::size_t i, std::int32_t* columns, std::int32_t* rows) const;
    // The column fractions of a longitude (left and mirrored), and the row
    // fraction of a latitude, by the exact steps.
    void columnFractionsOf(float longitude, std::uint32_t& left, std::uint32_t& mirrored) const;
    std::uint32_t rowFractionOf(float latitude) const;
    // Details of ray i from its angles by the exact steps.
    void storeDetails(std::size_t i, float theta, float latitude, double depth, double height,
                      double turn, std::uint32_t* details) const;
    void storeRowDetails(std::size_t i, float latitude, double depth, double height,
                         std::uint32_t* details) const;

    // The rays of whole groups of four (the left half rounded down), step by
    // step across the row so that no step waits on the one before it.
    void solveLevelGroups(const ArctangentTable& table, double height, RowCodes& codes,
                          std::int32_t* rows) const;
#if defined(__SSE2__)
    void columnsOfLongitudes(__m128 thetas, double turn, __m128i& left, __m128i& mirrored) const;
    bool columnsInside(__m128i left, __m128i mirrored) const;
    __m128i levelsOf(__m128d flatLow, __m128d flatHigh, double squaredHeight) const;
    __m128i rowStepsOf(__m128 latitudes) const;
    // The column fractions (left and mirrored) of four table angles.
    void columnStepsOf(__m128 thetas, double turn, __m128i& left, __m128i& mirrored) const;
#endif
    // The table codes of a tilted row two rays at a time (see wide_steps.h).
    void solveTiltedCodes(double depth, double height, RowCodes& codes) const;
    void solveTiltedGroups(const ArctangentTable& table, double depth, double height, double turn,
                           RowCodes& codes, std::int32_t* columns, std::int32_t* rows) const;

    // Constants of the rebuild, widened once.
    double columnsPerRadian_ = 0.0;
    double centreColumn_ = 0.0;
    double mirrorSum_ = 0.0;
    double rowsPerRadian_ = 0.0;
    double centreRow_ = 0.0;
    double pan_ = 0.0;
    std::int32_t panoramaWidth_ = 0;
    std::int32_t lastRow_ = 0;
    std::int32_t viewWidth_ = 0;
    std::size_t half_ = 0;
    bool wideSteps_ = false;

    // Per solved column: X = i - x0, X squared, 100000 |X| and 100000 / |X|.
    std::vector<double> offsets_;
    std::vector<double> squaredOffsets_;
    std::vector<double> scaledOffsets_;
    std::vector<double> scaledInverseOffsets_;
    // For the solved depth of a level view.
    std::vector<double> rayLengths_;
    std::vector<double> inverseRayLengths_;
    std::vector<std::int32_t> levelColumns_;
    // Column fractions of the solved depth (left half, mirrored half).
    std::vector<std::uint32_t> levelColumnFractions_;
    FootprintLevels footprints_;

    // Every table angle by lookup code: code = index + 100001 where the ratio
    // exceeds 1 + 200002 where it is negative, the angle being entry[index],
    // halfPi - entry[index], or their negatives. And the source row of each
    // coded angle, kept while the panorama's height stays the same.
    void codeTables(const ArctangentTable& table);
    void codeRowFractions();
    void codeColumnFractions(std::size_t start, std::size_t length);
    std::vector<float> anglesByCode_;
    std::vector<std::int32_t> rowsByCode_;
    // For details: the row fraction of each coded angle (kept with the
    // rows), and the column fractions (left | mirrored << 8) of each
    // negative longitude code at this rebuild's pan, for rows facing
    // forward, made with the coded columns. Each ends with bytes to spare
    // for four-byte reads.
    bool details_ = false;
    std::vector<std::uint8_t> rowFractionsByCode_;
    bool rowFractionsCoded_ = false;
    std::vector<std::uint16_t> columnFractionsByCode_;
    bool columnFractionsCoded_ = false;
    // The same rows, small enough to stay in the cache for tilted rows.
    StepTable rowSteps_;
    const float* codedTable_ = nullptr;
    bool rowsCoded_ = false;
    double codedRowsPerRadian_ = 0.0;
    double codedCentreRow_ = 0.0;
    std::int32_t codedLastRow_ = 0;
    // Column and mirrored column of each negative longitude code at this
    // rebuild's pan, for rows facing forward (no half turn), kept as steps.
    StepTable columnSteps_;  // column, then mirrored column
    bool columnsCoded_ = false;
};

}  // namespace engine

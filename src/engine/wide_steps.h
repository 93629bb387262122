// Steps of a rebuild with 256-bit vectors (AVX2), for processors that
// have them (see processor.h). Each gives exactly what its SSE2 counterpart
// gives, in the same layout.
//
// The table codes of a tilted row's rays, four rays per instruction: a code
// is trusted only where the scaled ratio lies clear of a whole number, and a
// group of four with a code that is not is marked doubtful and solved again
// one ray at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace engine {

struct SampleLevel;

// A lookup by an approximate scaled ratio is trusted only when it lies at
// least this far from a whole number. The approximations differ from the
// quotients by less than 2e-13 relatively (the SSE2 steps' reciprocal square
// roots after two Newton steps; the wide steps' square roots and quotients
// are within a few units in the last place), 2e-8 on a scaled ratio of at
// most 100000.
constexpr double codeGuard = 1e-6;

struct TiltedRowCodes {
    // Per ray of the left half: 100000 |X|, 100000 / |X| and X squared.
    const double* scaledOffsets;
    const double* scaledInverseOffsets;
    const double* squaredOffsets;
    std::size_t groups;  // of four rays
    double depth;        // finite, not zero
    double height;       // finite, not zero
    std::int32_t* longitudeCodes;
    std::int32_t* latitudeCodes;
    std::uint8_t* doubtful;  // per group
};

// Fills both code arrays and the doubtful flags of every group.
void solveTiltedCodesWide(const TiltedRowCodes& row);

// A step table's records (see StepTable::records).
struct StepRecords {
    const std::int32_t* words;
    int shift;
    std::int32_t placeMask;
};

// The second stage of a tilted row: source columns and rows looked up by the
// codes, eight rays at a time (RowSolver's lookups), where the columns are
// coded.
struct TiltedRowLookups {
    const std::int32_t* longitudeCodes;
    const std::int32_t* latitudeCodes;
    std::size_t groups;            // of four rays
    StepRecords columns;           // two values per code: column, mirrored column
    StepRecords rows;              // one value per code
    std::int32_t firstColumnCode;  // the code of the columns' first entry
    std::size_t viewWidth;
    std::int32_t* columnEntries;  // the row's whole width
    std::int32_t* rowEntries;
    std::uint8_t* doubtful;  // per group; set where a value is unknown
};

// Looks up the columns and rows of pairs of groups; returns how many groups
// it did (the rest, at most one, is the caller's).
std::size_t lookUpTiltedRowWide(const TiltedRowLookups& row);

// Byte offsets in the source of the pixels of `count` entries (PixelGather's
// locate).
void locateWide(const std::int32_t* rows, const std::int32_t* columns, std::size_t stride,
                std::size_t* offsets, std::int32_t count);

// The details (smooth_sampler.h) of a solved row, eight rays at a time:
// RowSolver's vector steps widened, for the pairs of groups of four whose
// codes are both sure (the rest are the caller's).
struct DetailRow {
    const float* anglesByCode;
    const std::int32_t* longitudeCodes;  // null for a level row
    const std::int32_t* latitudeCodes;
    const std::uint8_t* doubtful;  // per group of four
    std::size_t groups;
    bool negatedLatitudes;  // a level row mirrored from the one before
    // The row fraction of every code (with 3 bytes to spare), and, where
    // they were coded for this row's pan and turn, the column fractions
    // (left | mirrored << 8) from code `firstColumnCode` on (else null).
    const std::uint8_t* rowFractionsByCode;
    const std::uint16_t* columnFractionsByCode;
    std::int32_t firstColumnCode;
    // Tilted rows: the longitude is single(theta + pan + turn) (turn added
    // only when it is not 0), the column kx * longitude + cx, wrapped once.
    double pan;
    double turn;
    double columnsPerRadian;
    double centreColumn;
    double mirrorSum;
    float panoramaWidth;
    // Level rows: the column fractions of the whole row.
    const std::uint32_t* levelColumnFractions;
    // Footprint levels: X squared per ray, D squared, Y squared, and the
    // bounds of FootprintLevels.
    const double* squaredOffsets;
    double squaredDepth;
    double squaredHeight;
    const double* columnBounds;
    const double* rowBounds;
    std::int32_t levelBounds;
    std::size_t viewWidth;
    std::uint32_t* details;
};
void solveDetailsWide(const DetailRow& row);

// The column fractions of the longitude codes of rows facing forward
// (RowSolver's coded column fractions: left | mirrored << 8), sixteen codes
// at a time; returns how many it did (the rest are the caller's).
struct ColumnFractionCodes {
    const float* angles;  // of the codes, from the first
    double pan;
    double columnsPerRadian;
    double centreColumn;
    double mirrorSum;
    float panoramaWidth;
    std::size_t count;
    std::uint16_t* fractions;
};
std::size_t codeColumnFractionsWide(const ColumnFractionCodes& codes);

// Smoothly sampled rows are read in parts of this many pixels (see
// SmoothSampler).
constexpr std::int32_t samplePartPixels = 64;

// The map entries of one part of a row (at most samplePartPixels).
struct SampledPart {
    const SampleLevel* levels;
    std::uint32_t lastLevel;  // the deepest level there is
    const std::int32_t* columns;
    const std::int32_t* rows;
    const std::uint32_t* details;
    std::int32_t count;
    std::int32_t nearEndRow;  // level-0 rows from which a tap may touch the source's last pixel
};

// The view pixels of a part (3 bytes each, exactly, to `out`), eight at a
// time, while they ask for the level of the part's first pixel: the four
// pixels around each position read as two 8-byte words (left and right
// neighbour side by side), blended with SmoothSampler's weights and rounding.
// Stops before a group of eight that holds a pixel of another level, one
// whose right neighbour lies across the seam, or, on level 0, one that reads
// a row from `nearEndRow` on; returns how many pixels it did. Reads up to 2
// bytes past a level's last pixel (the pyramid's spare bytes; level 0's last
// rows are left to the caller).
std::int32_t sampleOneLevelWide(const SampledPart& part, std::uint8_t* out);

// Asks for the pixels that `count` map entries on level 0 will read (their
// top-left and bottom-left neighbours), eight at a time, so that they are in
// the cache when the row is sampled; entries of other levels are left out.
void askLevelZeroWide(const SampleLevel& source, const std::int32_t* columns,
                      const std::int32_t* rows, const std::uint32_t* details, std::int32_t count);

// The 2 x 2 means (a + b + c + d + 2) / 4 of two rows of 3-byte pixels, as
// SourcePyramid halves a level of even size: pixels of `out` from the first
// on, four at a time, as long as the reads stay within `top` and `bottom`'s
// `aboveBytes` bytes and the writes within `out`'s first 3 * `count`; returns
// how many it did.
std::int32_t halveRowWide(const std::uint8_t* top, const std::uint8_t* bottom,
                          std::size_t aboveBytes, std::uint8_t* out, std::int32_t count);

}  // namespace engine

// The player's own JPEG decoder: reads what a JPEG held in memory is, says
// whether it is a kind this decoder takes (8-bit, Huffman-coded baseline or
// progressive, grey or YCbCr), and decodes it straight into a 24-bit
// bottom-up BGR buffer, at full size or reduced by DCT scaling. A picture
// whose restart intervals are whole MCU rows is decoded in bands, one per
// thread. Every function may be called from any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "imaging/image_geometry.h"
#include "platform/pixel_rows.h"

namespace imaging::jpeg {

struct Facts {
    PixelSize size;
    int components = 0;
    bool progressive = false;
    bool arithmetic = false;
    bool greyOrYCbCr = false;      // the colour space this decoder converts to BGR
    unsigned restartInterval = 0;  // in MCUs; 0: no restart markers
    unsigned mcusPerRow = 0;
    int mcuHeight = 0;  // in pixel rows
};

// What the header says, or nothing when the header does not read (not a JPEG,
// cut short, a precision or process this library does not know).
std::optional<Facts> probe(std::span<const std::uint8_t> bytes);

// Whether decode() takes pictures with these facts.
bool takes(const Facts& facts);

// Whether the picture's restart intervals let it decode in bands.
bool decodesInBands(const Facts& facts);

// DCT scaling: the picture is decoded at `eighths` / 8 of its size (1, 2, 4 or 8).
inline constexpr int wholeSize = 8;
PixelSize scaledSize(PixelSize size, int eighths);
// The largest scale whose picture is at least `target` on both sides (8 when
// the target is larger than the picture).
int eighthsCovering(PixelSize size, PixelSize target);

// The picture's rows in a bottom-up buffer: picture row y is memory row
// `height - 1 - y`.
using BgrRows = platform::PixelRows<std::uint8_t>;

enum class Outcome { decoded, corrupt, outOfMemory, cancelled };

// How far a decode has come, readable from any thread while it runs.
struct Progress {
    std::atomic<std::int32_t> rowsWritten{0};
    std::atomic<std::int32_t> rows{0};  // 0 until the decode knows its height
    // The share of the rows written, from 0 to 1.
    double fraction() const {
        const std::int32_t total = rows.load(std::memory_order_relaxed);
        return total > 0 ? static_cast<double>(rowsWritten.load(std::memory_order_relaxed)) / total
                         : 0.0;
    }
};

// Decodes at `eighths` / 8 of the size into `rows`, which has room for
// scaledSize(...) of the picture. Up to `threads` threads (counting the
// caller's) decode bands when the picture allows it; all are joined before
// this returns, and whatever fails on any of them is the outcome. `cancel`,
// when given, is checked between batches of rows; `progress`, when given,
// counts the rows written. On a failure the rows already written stay.
Outcome decode(std::span<const std::uint8_t> bytes, int eighths, BgrRows rows, unsigned threads,
               const std::atomic<bool>* cancel = nullptr, Progress* progress = nullptr);

}  // namespace imaging::jpeg

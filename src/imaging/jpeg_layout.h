// The byte layout of a single-scan JPEG with restart markers, and the streams
// that let its restart intervals be decoded apart: a band stream is the
// picture's headers with the frame height cut to the band, then the band's
// entropy-coded segments with their restart markers renumbered from 0, then
// the end marker. Works on bytes only; no decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace imaging::jpeg {

struct ScanLayout {
    std::size_t headerEnd = 0;      // first byte of the entropy-coded data
    std::size_t frameHeightAt = 0;  // the frame header's 16-bit height
    std::uint16_t frameHeight = 0;
    // Each restart interval's entropy-coded bytes: [begin, end).
    struct Segment {
        std::size_t begin = 0;
        std::size_t end = 0;
    };
    std::vector<Segment> intervals;
};

// The layout of a JPEG made of one scan ended by the end marker, or nothing
// for anything else (several scans, a DNL marker, data cut short, restart
// markers out of turn, no frame).
std::optional<ScanLayout> readScanLayout(std::span<const std::uint8_t> bytes);

// A stream holding intervals [first, last) of `layout` as a picture of
// `rows` rows.
std::vector<std::uint8_t> bandStream(std::span<const std::uint8_t> bytes, const ScanLayout& layout,
                                     std::size_t first, std::size_t last, std::uint16_t rows);

// Whether the restart intervals of a picture start on MCU-row boundaries:
// every interval is a whole number of MCU rows.
constexpr bool restartsOnRowBoundaries(unsigned restartInterval, unsigned mcusPerRow) {
    return restartInterval > 0 && mcusPerRow > 0 && restartInterval % mcusPerRow == 0;
}

}  // namespace imaging::jpeg

// Restart markers for the JPEGs a tour stores, so that the player decodes
// each picture in bands on every core. Added losslessly: the picture's DCT
// coefficients are copied into a new baseline Huffman-coded JPEG with a
// restart marker every few MCU rows; every pixel decodes as before, with any
// decoder settings. A camera picture whose orientation tag says to turn it is
// turned in the same pass, block by block: no coefficient is quantised
// anew, but its pixels are the original ones turned only under a decode that
// works block by block (see turnedUprightLosslessly).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace tourpack {

// MCU rows per restart interval for a picture of `mcuRows` MCU rows: about
// 64 intervals a picture (an 8000 x 4000 panorama gets 84 bands of 3 rows),
// so that 2 to 8 cores get even shares and each band's one interval of
// context either side stays small.
unsigned restartRowsFor(unsigned mcuRows);

// The JPEG with restart markers every restartRowsFor(...) MCU rows, or
// nothing when it needs none (its restart intervals already are whole MCU
// rows of a single baseline scan) or libjpeg cannot read it as it is (a
// precision it does not know).
std::optional<std::vector<std::uint8_t>> withRestartMarkers(std::span<const std::uint8_t> jpeg);

// The JPEG turned upright as `orientation` (an EXIF orientation tag, 1 to 8)
// says, at coefficient level, baseline and with restart markers as
// withRestartMarkers writes them: each block moves to its turned place, its
// coefficients transposed and mirrored. Decoded block by block (chroma
// upsampled by repeating samples, the float inverse DCT) the kept part gives
// exactly its pixels turned. libjpeg's default decode does not: its chroma
// smoothing across blocks and the rounding between the integer inverse DCT's
// passes are not symmetric under a turn, so there samples come out a few
// levels apart from the original decode turned. Edges are trimmed as
// losslessTurn() says, and an EXIF orientation tag in the copy says 1.
// Nothing when libjpeg cannot read the picture or the turn would keep nothing
// of it.
std::optional<std::vector<std::uint8_t>> turnedUprightLosslessly(std::span<const std::uint8_t> jpeg,
                                                                 int orientation);

// turnedUprightLosslessly of the JPEG `picture`, written into `scratchFolder`;
// nothing when it cannot be turned so.
std::optional<std::filesystem::path> storedUprightLosslessly(
    const std::filesystem::path& picture, const std::filesystem::path& scratchFolder,
    int orientation);

// The file to store for `picture`: itself when it is no JPEG or needs no
// markers, else a copy with restart markers written into `scratchFolder`.
std::filesystem::path storedWithRestartMarkers(const std::filesystem::path& picture,
                                               const std::filesystem::path& scratchFolder);

}  // namespace tourpack

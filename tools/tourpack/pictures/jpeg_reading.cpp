#include "pictures/jpeg_reading.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include "imaging/jpeg_session.h"
#include "pictures/exif_orientation.h"

namespace tourpack {
namespace {

std::uint16_t bigEndian16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

// Where an EXIF block's orientation tag (0x0112, in its first directory)
// keeps its value, and how the block orders bytes; nothing when it has no
// tag or is damaged.
struct OrientationEntry {
    std::size_t value = 0;  // offset in the block of the two-byte value
    bool littleEndian = false;
};

std::optional<OrientationEntry> findOrientation(std::span<const std::uint8_t> exif) {
    constexpr std::size_t tiffStart = 6;  // after "Exif\0\0"
    if (exif.size() < tiffStart + 8 ||
        std::string(exif.begin(), exif.begin() + tiffStart) != std::string("Exif\0\0", 6)) {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> tiff = exif.subspan(tiffStart);
    const bool little = tiff[0] == 'I';
    const auto read16 = [&](std::size_t at) -> std::uint32_t {
        return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    const auto read32 = [&](std::size_t at) -> std::uint32_t {
        return little ? read16(at) | read16(at + 2) << 16 : read16(at) << 16 | read16(at + 2);
    };
    const std::uint32_t directory = read32(4);
    if (directory + 2 > tiff.size()) {
        return std::nullopt;
    }
    const std::uint32_t entries = read16(directory);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + i * 12;
        if (entry + 12 > tiff.size()) {
            break;
        }
        if (read16(entry) == 0x0112) {
            return OrientationEntry{tiffStart + entry + 8, little};
        }
    }
    return std::nullopt;
}

// The orientation tag of an EXIF block; 1 when there is none or the block is
// damaged.
int exifOrientation(std::span<const std::uint8_t> exif) {
    const std::optional<OrientationEntry> entry = findOrientation(exif);
    if (!entry) {
        return 1;
    }
    const std::uint8_t* at = &exif[entry->value];
    const int value = entry->littleEndian ? at[0] | at[1] << 8 : at[0] << 8 | at[1];
    return value >= 1 && value <= 8 ? value : 1;
}

// The warnings libjpeg gives for data it could not decode and filled in.
// Others (an unknown JFIF revision, say) say nothing about the pixels.
bool reportsDamage(int code) {
    switch (code) {
        case JWRN_JPEG_EOF:           // the file ends inside the picture
        case JWRN_HIT_MARKER:         // a segment's entropy data ends early
        case JWRN_MUST_RESYNC:        // restart markers out of order
        case JWRN_EXTRANEOUS_DATA:    // bytes where a marker belongs
        case JWRN_HUFF_BAD_CODE:      // no such Huffman code
        case JWRN_ARITH_BAD_CODE:     // the arithmetic decoder lost its way
        case JWRN_NOT_SEQUENTIAL:     // a scan a baseline picture cannot have
        case JWRN_BOGUS_PROGRESSION:  // progressive scans that do not fit
            return true;
        default:
            return false;
    }
}

// libjpeg's errors end the decode; damage is recorded, so that the whole
// picture is read and the first damage named.
jpeg_error_mgr* armedForDamage(imaging::jpeg::SessionErrors& errors) {
    errors.damages = reportsDamage;
    return errors.armed();
}

// The MCU of a frame header's components: 8 pixels times the largest
// sampling factors, one block for a single component.
PictureSize mcuOf(std::span<const std::uint8_t> frame) {
    const std::size_t components = frame[5];
    if (components <= 1) {
        return {8, 8};
    }
    int horizontal = 1;
    int vertical = 1;
    for (std::size_t c = 0; c < components && 6 + 3 * c + 1 < frame.size(); ++c) {
        const std::uint8_t factors = frame[6 + 3 * c + 1];
        horizontal = std::max(horizontal, factors >> 4);
        vertical = std::max(vertical, factors & 0x0F);
    }
    return {8 * horizontal, 8 * vertical};
}

}  // namespace

std::string JpegFacts::kind() const {
    std::string text = precision != 8 ? "a " + std::to_string(precision) + "-bit" : "a";
    if (lossless()) {
        text += " lossless";
    } else if (arithmetic()) {
        text += text == "a" ? "n arithmetic-coded" : " arithmetic-coded";
    } else if (frameMarker == 0xC2 || frameMarker == 0xC6) {
        text += " progressive";
    }
    return text + " JPEG";
}

std::optional<JpegFacts> readJpegFacts(std::span<const std::uint8_t> bytes) {
    JpegFacts facts;
    std::size_t at = 2;
    while (at + 4 <= bytes.size() && bytes[at] == 0xFF) {
        const std::uint8_t marker = bytes[at + 1];
        const std::size_t length = bigEndian16(&bytes[at + 2]);
        if (length < 2 || at + 2 + length > bytes.size()) {
            return std::nullopt;
        }
        const std::span<const std::uint8_t> segment = bytes.subspan(at + 4, length - 2);
        if (marker == 0xE1) {
            facts.orientation = exifOrientation(segment);
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && segment.size() >= 5) {
            facts.frameMarker = marker;
            facts.precision = segment[0];
            facts.stored = {bigEndian16(&segment[3]), bigEndian16(&segment[1])};
            facts.mcu = segment.size() >= 6 ? mcuOf(segment) : PictureSize{8, 8};
            return facts;
        }
        at += 2 + length;
    }
    return std::nullopt;
}

LosslessTurn losslessTurn(PictureSize stored, PictureSize mcu, int orientation) {
    // Reversed columns bring the right edge to the left (or, turned a
    // quarter, to the top); reversed rows bring the bottom edge to the top
    // (or the left).
    const OrientationTurn& steps = orientationTurn(orientation);
    LosslessTurn turn;
    turn.kept = stored;
    if (steps.reversesColumns) {
        turn.kept.width -= stored.width % mcu.width;
    }
    if (steps.reversesRows) {
        turn.kept.height -= stored.height % mcu.height;
    }
    const int cutColumns = stored.width - turn.kept.width;
    const int cutRows = stored.height - turn.kept.height;
    const bool quarter = steps.transposes;
    turn.upright = quarter ? PictureSize{turn.kept.height, turn.kept.width} : turn.kept;
    turn.trimmedLeft = quarter ? cutRows : cutColumns;
    turn.trimmedTop = quarter ? cutColumns : cutRows;
    return turn;
}

std::string LosslessTurn::trimmedText() const {
    if (trimmedLeft > 0 && trimmedTop > 0) {
        return std::to_string(trimmedLeft) + " pixels trimmed from the left and " +
               std::to_string(trimmedTop) + " from the top";
    }
    if (trimmedLeft > 0 || trimmedTop > 0) {
        return std::to_string(trimmedLeft + trimmedTop) + " pixels trimmed from the " +
               (trimmedLeft > 0 ? "left" : "top");
    }
    return "";
}

bool markExifUpright(std::span<std::uint8_t> exif) {
    const std::optional<OrientationEntry> entry = findOrientation(exif);
    if (!entry) {
        return false;
    }
    exif[entry->value] = entry->littleEndian ? 1 : 0;
    exif[entry->value + 1] = entry->littleEndian ? 0 : 1;
    return true;
}

std::string describeOrientation(int orientation) {
    return orientationTurn(orientation).description;
}

std::optional<std::vector<std::uint8_t>> decodeJpegWithLibrary(std::span<const std::uint8_t> bytes,
                                                               PictureSize& size,
                                                               std::string& error) {
    jpeg_decompress_struct info{};
    imaging::jpeg::SessionErrors failure;
    info.err = armedForDamage(failure);
    std::vector<std::uint8_t> pixels;
    if (setjmp(failure.jump) != 0) {
        jpeg_destroy_decompress(&info);
        error = failure.message;
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    size = {static_cast<std::int32_t>(info.output_width),
            static_cast<std::int32_t>(info.output_height)};
    const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
    pixels.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (failure.damageWarnings > 0) {
        error = failure.firstDamage;
        return std::nullopt;
    }
    return pixels;
}

std::optional<std::string> jpegDamage(std::span<const std::uint8_t> bytes) {
    jpeg_decompress_struct info{};
    imaging::jpeg::SessionErrors failure;
    info.err = armedForDamage(failure);
    std::vector<JSAMPLE> row;  // outside the frames a jump leaves
    if (setjmp(failure.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return std::string(failure.message);
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.scale_num = 1;
    info.scale_denom = 8;
    info.do_fancy_upsampling = FALSE;
    info.dct_method = JDCT_IFAST;
    jpeg_start_decompress(&info);
    row.resize(static_cast<std::size_t>(info.output_width) * info.output_components);
    JSAMPROW rows[1] = {row.data()};
    while (info.output_scanline < info.output_height) {
        jpeg_read_scanlines(&info, rows, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (failure.damageWarnings > 0) {
        return std::string(failure.firstDamage);
    }
    return std::nullopt;
}

std::vector<std::uint8_t> orientUpright(const std::vector<std::uint8_t>& pixels, PictureSize& size,
                                        int orientation) {
    const OrientationTurn& steps = orientationTurn(orientation);
    const std::int32_t width = size.width;
    const std::int32_t height = size.height;
    const PictureSize upright = steps.transposes ? PictureSize{height, width} : size;
    std::vector<std::uint8_t> turned(pixels.size());
    for (std::int32_t y = 0; y < upright.height; ++y) {
        for (std::int32_t x = 0; x < upright.width; ++x) {
            // The stored pixel that lands at (x, y) once upright.
            const std::int32_t column = steps.transposes ? y : x;
            const std::int32_t row = steps.transposes ? x : y;
            const std::int32_t sx = steps.reversesColumns ? width - 1 - column : column;
            const std::int32_t sy = steps.reversesRows ? height - 1 - row : row;
            const std::size_t from = (static_cast<std::size_t>(sy) * width + sx) * 3;
            const std::size_t to = (static_cast<std::size_t>(y) * upright.width + x) * 3;
            turned[to] = pixels[from];
            turned[to + 1] = pixels[from + 1];
            turned[to + 2] = pixels[from + 2];
        }
    }
    size = upright;
    return turned;
}

}  // namespace tourpack

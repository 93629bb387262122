#include "imaging/jpeg_layout.h"

namespace imaging::jpeg {

namespace {

constexpr std::uint8_t markerStart = 0xFF;
constexpr std::uint8_t startOfImage = 0xD8;
constexpr std::uint8_t endOfImage = 0xD9;
constexpr std::uint8_t startOfScan = 0xDA;
constexpr std::uint8_t firstRestart = 0xD0;
constexpr std::uint8_t lastRestart = 0xD7;

bool isFrameMarker(std::uint8_t code) {
    // SOF0..SOF15 less DHT (C4), JPG (C8) and DAC (CC).
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

std::uint16_t bigEndian16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

// Splits the entropy-coded data starting at `at` at its restart markers.
// Returns the offset of the marker that ends the scan, or nothing when the
// data runs out first or a restart marker is out of turn (damaged data,
// which bands would renumber and so hide).
std::optional<std::size_t> splitIntervals(std::span<const std::uint8_t> bytes, std::size_t at,
                                          std::vector<ScanLayout::Segment>& intervals) {
    std::size_t begin = at;
    while (at + 1 < bytes.size()) {
        if (bytes[at] != markerStart) {
            ++at;
            continue;
        }
        const std::uint8_t code = bytes[at + 1];
        if (code == 0x00) {
            at += 2;  // a stuffed data byte
        } else if (code == markerStart) {
            ++at;  // fill
        } else if (code >= firstRestart && code <= lastRestart) {
            if (code != firstRestart + intervals.size() % 8) {
                return std::nullopt;
            }
            intervals.push_back({begin, at});
            at += 2;
            begin = at;
        } else {
            intervals.push_back({begin, at});
            return at;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<ScanLayout> readScanLayout(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4 || bytes[0] != markerStart || bytes[1] != startOfImage) {
        return std::nullopt;
    }
    ScanLayout layout;
    bool haveFrame = false;
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (bytes[at] != markerStart) {
            return std::nullopt;
        }
        const std::uint8_t code = bytes[at + 1];
        if (code == markerStart) {
            ++at;
            continue;
        }
        const std::size_t length = bigEndian16(bytes, at + 2);
        if (length < 2 || at + 2 + length > bytes.size()) {
            return std::nullopt;
        }
        if (isFrameMarker(code)) {
            if (length < 7) {
                return std::nullopt;
            }
            layout.frameHeightAt = at + 5;
            layout.frameHeight = bigEndian16(bytes, at + 5);
            haveFrame = true;
        }
        at += 2 + length;
        if (code == startOfScan) {
            if (!haveFrame) {
                return std::nullopt;
            }
            layout.headerEnd = at;
            const std::optional<std::size_t> end = splitIntervals(bytes, at, layout.intervals);
            if (!end || bytes[*end + 1] != endOfImage) {
                return std::nullopt;
            }
            return layout;
        }
    }
    return std::nullopt;
}

std::vector<std::uint8_t> bandStream(std::span<const std::uint8_t> bytes, const ScanLayout& layout,
                                     std::size_t first, std::size_t last, std::uint16_t rows) {
    std::size_t size = layout.headerEnd + 2;
    for (std::size_t i = first; i < last; ++i) {
        size += layout.intervals[i].end - layout.intervals[i].begin + 2;
    }
    std::vector<std::uint8_t> stream;
    stream.reserve(size);
    stream.insert(stream.end(), bytes.begin(), bytes.begin() + layout.headerEnd);
    stream[layout.frameHeightAt] = static_cast<std::uint8_t>(rows >> 8);
    stream[layout.frameHeightAt + 1] = static_cast<std::uint8_t>(rows & 0xFF);
    for (std::size_t i = first; i < last; ++i) {
        if (i > first) {
            stream.push_back(markerStart);
            stream.push_back(static_cast<std::uint8_t>(firstRestart + (i - first - 1) % 8));
        }
        const ScanLayout::Segment& segment = layout.intervals[i];
        stream.insert(stream.end(), bytes.begin() + segment.begin, bytes.begin() + segment.end);
    }
    stream.push_back(markerStart);
    stream.push_back(endOfImage);
    return stream;
}

}  // namespace imaging::jpeg

// What the player makes of a picture's size: it stretches any picture over a
// full turn and half a turn, and tourpack reduces pictures wider than a limit.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace tourpack {

struct PictureSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Twice as wide as high, give or take 1 % (stitchers round the height).
inline bool coversFullTurn(PictureSize size) {
    const double doubled = 2.0 * size.height;
    return std::fabs(size.width - doubled) <= 0.01 * doubled;
}

// build reduces pictures wider than --max-width: 8192 unless it is given,
// 16384 at most.
inline constexpr std::int32_t defaultMaxWidth = 8192;
inline constexpr std::int32_t largestMaxWidth = 16384;

// The size a picture is reduced to for `maxWidth`, keeping its shape; the
// size itself when it is not wider.
inline PictureSize reducedSize(PictureSize size, std::int32_t maxWidth) {
    if (size.width <= maxWidth) {
        return size;
    }
    const double height = static_cast<double>(size.height) * maxWidth / size.width;
    return {maxWidth, std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(height)))};
}

// The size of a picture fitted into `box`: its shape kept, never larger than
// the picture itself.
inline PictureSize sizeToFit(PictureSize size, PictureSize box) {
    if (size.width <= 0 || size.height <= 0) {
        return size;
    }
    // The width at which the height just fits the box.
    const double widthForHeight =
        static_cast<double>(size.width) * box.height / static_cast<double>(size.height);
    const std::int32_t width = std::max<std::int32_t>(
        1,
        std::min<std::int32_t>(box.width, static_cast<std::int32_t>(std::floor(widthForHeight))));
    return reducedSize(size, width);
}

inline std::string describeSize(PictureSize size) {
    return std::to_string(size.width) + " x " + std::to_string(size.height);
}

// For a picture reduced to `maxWidth`: how the largest --max-width would keep
// it whole, or larger; empty when it is the largest already.
inline std::string largerWidthHint(PictureSize size, std::int32_t maxWidth) {
    if (size.width <= maxWidth || maxWidth >= largestMaxWidth) {
        return {};
    }
    const std::string option = "--max-width " + std::to_string(largestMaxWidth);
    if (size.width <= largestMaxWidth) {
        return option + " keeps it whole";
    }
    return option + " keeps it at " + describeSize(reducedSize(size, largestMaxWidth));
}

// The warning for a scene picture that is not a full-turn panorama.
inline std::string partialPanoramaWarning(PictureSize size) {
    return describeSize(size) +
           " is not twice as wide as high; the player stretches every picture over a full "
           "turn and half a turn, so a partial panorama looks distorted";
}

}  // namespace tourpack

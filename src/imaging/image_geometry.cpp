#include "imaging/image_geometry.h"

#include <cmath>

namespace imaging {

std::optional<PixelSize> stretchTarget(PixelSize picture, std::int32_t width, std::int32_t height) {
    if (width <= 0 && height <= 0) {
        return std::nullopt;
    }
    if (width <= 0) {
        if (picture.height <= 0) {
            return std::nullopt;
        }
        const double derived =
            static_cast<double>(picture.width) / static_cast<double>(picture.height) * height;
        width = static_cast<std::int32_t>(std::trunc(derived));
    } else if (height <= 0) {
        if (picture.width <= 0) {
            return std::nullopt;
        }
        const double derived =
            static_cast<double>(picture.height) / static_cast<double>(picture.width) * width;
        height = static_cast<std::int32_t>(std::trunc(derived));
    }
    return PixelSize{width, height};
}

std::optional<PixelSize> reducedModeRequest(PixelSize picture) {
    constexpr std::int32_t maxWidth = 1000;
    constexpr std::int32_t maxHeight = 500;
    if (picture.width <= maxWidth || picture.height <= maxHeight) {
        return std::nullopt;
    }
    const double aspect = static_cast<double>(picture.width) / static_cast<double>(picture.height);
    if (aspect >= 2.0) {
        return PixelSize{maxWidth, 0};
    }
    return PixelSize{0, maxHeight};
}

}  // namespace imaging

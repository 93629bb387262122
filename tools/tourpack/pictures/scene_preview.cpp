#include "pictures/scene_preview.h"

#include <algorithm>
#include <cmath>

#include "pictures/picture_conversion.h"

namespace tourpack {

namespace {

// A first look is worth little more than this; busy pictures step down in
// quality until they fit, and stop at the lowest that still looks like them.
constexpr std::size_t previewBudget = 80 * 1024;
constexpr int previewQualities[] = {85, 75, 65, 55};

}  // namespace

PictureSize previewSize(PictureSize size) {
    return sizeToFit(size, previewBox);
}

std::vector<std::uint8_t> makeScenePreview(const std::filesystem::path& picture) {
    RgbPicture full = decodePicture(picture, pictureKindOf(picture));
    const PictureSize size = previewSize(full.size);
    const RgbPicture preview =
        size.width < full.size.width ? reducePicture(full, size.width) : std::move(full);
    std::vector<std::uint8_t> jpeg;
    for (const int quality : previewQualities) {
        jpeg = encodeJpeg(preview, quality);
        if (jpeg.size() <= previewBudget) {
            break;
        }
    }
    return jpeg;
}

}  // namespace tourpack

#include "viewer/panorama_levels.h"

#include <cstdlib>

#include "platform/band_pool.h"

namespace viewer {

engine::SourceImage sourceOf(const imaging::DibImage* image) {
    engine::SourceImage source;
    if (image != nullptr && !image->isNull() && image->header() != nullptr) {
        source.pixels = image->bits();
        source.width = image->header()->biWidth;
        source.height = std::abs(image->header()->biHeight);
        source.stride = image->stride();
    }
    return source;
}

const engine::SourcePyramid* pyramidOf(const imaging::DibImage* image) {
    if (image == nullptr) {
        return nullptr;
    }
    const auto levels = std::dynamic_pointer_cast<const PanoramaLevels>(image->levels());
    // The image owns its levels: the pointer lives as long as the image.
    return levels != nullptr ? levels->pyramid() : nullptr;
}

std::uint64_t PanoramaLevelBuilder::bytesFor(imaging::PixelSize size) const {
    return engine::SourcePyramid::bytesFor(size.width, size.height);
}

std::shared_ptr<const imaging::ImageLevels> PanoramaLevelBuilder::build(
    const imaging::DibImage& image) const {
    std::unique_ptr<engine::SourcePyramid> pyramid = engine::SourcePyramid::build(
        sourceOf(&image), platform::BandPool::threadsForThisProcessor());
    if (pyramid == nullptr) {
        return nullptr;
    }
    return std::make_shared<PanoramaLevels>(std::move(pyramid));
}

}  // namespace viewer

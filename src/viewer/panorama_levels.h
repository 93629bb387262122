// The half-size pyramid of a scene's panorama, built by the imaging side's
// workers after the full picture is decoded and kept with the image, for the
// smooth view to read where it shrinks the panorama.
#pragma once

#include <memory>

#include "engine/pixel_buffers.h"
#include "engine/source_pyramid.h"
#include "imaging/dib_image.h"
#include "imaging/image_levels.h"

namespace viewer {

// The engine's view of a decoded picture (no pixels for the null image).
engine::SourceImage sourceOf(const imaging::DibImage* image);

class PanoramaLevels : public imaging::ImageLevels {
  public:
    explicit PanoramaLevels(std::unique_ptr<engine::SourcePyramid> pyramid)
        : pyramid_(std::move(pyramid)) {}
    std::size_t byteSize() const override { return pyramid_->byteSize(); }
    const engine::SourcePyramid* pyramid() const { return pyramid_.get(); }

  private:
    std::unique_ptr<engine::SourcePyramid> pyramid_;
};

// The image's pyramid, or null while it has none.
const engine::SourcePyramid* pyramidOf(const imaging::DibImage* image);

class PanoramaLevelBuilder : public imaging::LevelBuilder {
  public:
    std::uint64_t bytesFor(imaging::PixelSize size) const override;
    // On every core.
    std::shared_ptr<const imaging::ImageLevels> build(
        const imaging::DibImage& image) const override;
};

}  // namespace viewer

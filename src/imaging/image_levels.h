// What a view derives from a decoded picture to show it well, such as the
// smaller copies a smooth view reads where it shrinks the panorama. The
// imaging side only schedules the work: a scene's full picture has its levels
// built on its worker once the picture itself has been handed over, so that
// its first frame never waits for them; the levels then belong to the image
// and go with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/image_geometry.h"

namespace imaging {

class DibImage;

class ImageLevels {
  public:
    virtual ~ImageLevels() = default;
    virtual std::size_t byteSize() const = 0;
};

class LevelBuilder {
  public:
    virtual ~LevelBuilder() = default;
    // Bytes the levels of a picture of that size take, for the memory guard.
    virtual std::uint64_t bytesFor(PixelSize size) const = 0;
    // Builds the levels of `image` (on any thread; it only reads the pixels).
    // Null when the picture needs none or memory runs out.
    virtual std::shared_ptr<const ImageLevels> build(const DibImage& image) const = 0;
};

}  // namespace imaging

// The small JPEG a tour stores of each scene, which the player can show at
// once while the full picture decodes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "pictures/panorama_shape.h"

namespace tourpack {

// The box a preview fits in: a 2:1 panorama fills it.
inline constexpr PictureSize previewBox = {1024, 512};

// The preview's size for a picture of `size`: inside previewBox, the picture's
// aspect kept, never larger than the picture.
PictureSize previewSize(PictureSize size);

// The preview's JPEG bytes, at the highest quality of a few that stays within
// about 80 KB. Throws TourpackError naming the file when it cannot be read.
std::vector<std::uint8_t> makeScenePreview(const std::filesystem::path& picture);

}  // namespace tourpack

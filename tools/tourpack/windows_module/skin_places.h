// Where the player draws each skin image: at its natural size from the top
// left corner of its place, so that what is larger than the place is cut off
// or covers what lies beside it.
#pragma once

#include <string>

#include "pictures/panorama_shape.h"

namespace tourpack {

struct SkinPlace {
    PictureSize size;
    std::string what;  // the place, and what becomes of a larger image
};

// The place of skin slot `slot` (0 to 25) in the largest window the player
// makes (view size 3).
SkinPlace skinPlace(int slot);

}  // namespace tourpack

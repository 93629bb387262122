// The EXIF orientation tag (1 to 8) as the steps that stand the stored
// picture upright, one table for turning pixels and turning JPEG blocks.
#pragma once

namespace tourpack {

struct OrientationTurn {
    bool reversesColumns = false;  // first the stored columns reversed,
    bool reversesRows = false;     // and its rows,
    bool transposes = false;       // then rows and columns exchanged (a quarter turn)
    const char* description = "";  // for people; "" when upright
};

// The turn a tag asks for; none for 1 (upright) and for a tag outside 1 to 8.
const OrientationTurn& orientationTurn(int orientation);

}  // namespace tourpack

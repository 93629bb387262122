#include "pictures/exif_orientation.h"

#include <array>

namespace tourpack {

namespace {

constexpr std::array<OrientationTurn, 9> turns = {{
    {},  // no such tag
    {false, false, false, ""},
    {true, false, false, "mirrored left to right"},
    {true, true, false, "turned half a turn"},
    {false, true, false, "mirrored top to bottom"},
    {false, false, true, "mirrored along its diagonal"},
    {false, true, true, "rotated 90 degrees clockwise"},
    {true, true, true, "mirrored along its other diagonal"},
    {true, false, true, "rotated 90 degrees anticlockwise"},
}};

}  // namespace

const OrientationTurn& orientationTurn(int orientation) {
    return orientation >= 1 && orientation <= 8 ? turns[static_cast<std::size_t>(orientation)]
                                                : turns[1];
}

}  // namespace tourpack

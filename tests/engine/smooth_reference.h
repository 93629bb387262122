// Smooth sampling written out one view pixel at a time, as the algorithm
// reads: the sub-pixel details of every map entry, the pyramid's area means
// and the bilinear blend on the level a footprint asks for. The engine's
// smooth views are held to it byte for byte.
#pragma once

#include <cstdint>
#include <vector>

#include "reference_warp.h"

struct SmoothReferenceView : ReferenceView {
    std::vector<std::uint32_t> details;  // column 256ths | row 256ths << 8 | level << 16

    SmoothReferenceView(std::int32_t viewWidth, std::int32_t viewHeight)
        : ReferenceView(viewWidth, viewHeight),
          details(static_cast<std::size_t>(viewWidth) * viewHeight, 0) {}
};

// Level k + 1 of `above`: ceil halves, each pixel the covered-part mean.
ReferencePanorama referenceHalf(const ReferencePanorama& above);
// Levels 1 ... down to one pixel in width or height.
std::vector<ReferencePanorama> referencePyramid(const ReferencePanorama& source);

// Full rebuild: maps as ReferenceWarp makes them, then details and pixels;
// `levels` are levels 1 ... (empty: the source alone).
void smoothReferenceWarp(const ReferencePanorama& source,
                         const std::vector<ReferencePanorama>& levels, SmoothReferenceView& view,
                         float fov, float pan, float tilt);
// Column shift by `delta` radians, pixels read again smoothly.
void smoothReferenceShift(const ReferencePanorama& source,
                          const std::vector<ReferencePanorama>& levels, SmoothReferenceView& view,
                          float delta);
// The pixel one map entry gives.
void smoothReferencePixel(const ReferencePanorama& source,
                          const std::vector<ReferencePanorama>& levels, std::int32_t column,
                          std::int32_t row, std::uint32_t detail, std::uint8_t* out);

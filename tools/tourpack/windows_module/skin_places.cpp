#include "windows_module/skin_places.h"

#include <array>

#include "package/skin_set.h"

namespace tourpack {
namespace {

using package::SkinSet;

// The view of view size 3, the largest the window holds: 480 x 360.
constexpr std::int32_t largestViewHeight = 360;

const std::array<const char*, SkinSet::controlCount> controlNames = {
    "the direction pad's left key", "the direction pad's right key", "the direction pad's up key",
    "the direction pad's down key", "the direction pad's stop key",  "the previous-scene button",
    "the next-scene button",        "the start-view button",         "the turn-by-itself button",
    "the play-tour button",         "the full-screen button"};

PictureSize sizeOf(const package::SkinRect& rect) {
    return {rect.width, rect.height};
}

}  // namespace

SkinPlace skinPlace(int slot) {
    if (slot < 2 * SkinSet::controlCount) {
        const int control = slot / 2;
        return {sizeOf(SkinSet::controlRects[static_cast<std::size_t>(control)]),
                std::string(controlNames[static_cast<std::size_t>(control)]) +
                    "; the rest would cover the controls beside it"};
    }
    const package::SkinRect band = SkinSet::bandRects.back();
    const package::SkinRect panel = SkinSet::panelRects.back();
    switch (slot) {
        case 22:
            return {sizeOf(SkinSet::padRect),
                    "the direction pad; the rest would cover the controls "
                    "beside it"};
        case 23:
            return {
                {band.width, band.height + largestViewHeight + panel.height},
                "the window's band, view and toolbar at the largest view size; the rest is never "
                "seen"};
        case 24:
            return {sizeOf(panel), "the toolbar below the view; the rest is never seen"};
        default:
            return {sizeOf(SkinSet::fullScreenToolbarRect),
                    "the full-screen toolbar; the rest is never seen"};
    }
}

}  // namespace tourpack

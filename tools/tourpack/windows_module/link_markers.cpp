#include "windows_module/link_markers.h"

#include "engine/marker_compositing.h"

namespace tourpack {

namespace {

// Draws `marker` at the direction of every item (anything with a pan and a
// tilt) in front of the viewer.
template <class Item>
int drawMarkers(const engine::ViewBuffer& view, const engine::ShownView& shown,
                const std::vector<Item>& items, const BitmapPixels& marker) {
    engine::MarkerPicture picture;
    picture.rows = {marker.pixels.data(), marker.width, marker.height, marker.stride};
    if (!picture.usable()) {
        return 0;
    }
    int drawn = 0;
    for (const Item& item : items) {
        const auto point = engine::viewPointOfDegrees(shown, item.pan, item.tilt);
        if (point) {
            engine::compositeMarker(view, picture, point->column(), point->row(), 1);
            ++drawn;
        }
    }
    return drawn;
}

}  // namespace

int drawLinkMarkers(const engine::ViewBuffer& view, const engine::ShownView& shown,
                    const std::vector<package::SceneLink>& links, const BitmapPixels& marker) {
    return drawMarkers(view, shown, links, marker);
}

int drawNoteMarkers(const engine::ViewBuffer& view, const engine::ShownView& shown,
                    const std::vector<package::SceneNote>& notes, const BitmapPixels& marker) {
    return drawMarkers(view, shown, notes, marker);
}

}  // namespace tourpack

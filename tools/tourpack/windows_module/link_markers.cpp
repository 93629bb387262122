#include "windows_module/link_markers.h"

#include "engine/marker_compositing.h"

namespace tourpack {

int drawLinkMarkers(const engine::ViewBuffer& view, const engine::ShownView& shown,
                    const std::vector<package::SceneLink>& links, const BitmapPixels& marker) {
    engine::MarkerPicture picture;
    picture.pixels = marker.pixels.data();
    picture.width = marker.width;
    picture.height = marker.height;
    picture.stride = marker.stride;
    if (!picture.usable()) {
        return 0;
    }
    int drawn = 0;
    for (const package::SceneLink& link : links) {
        const auto point = engine::viewPointOfDegrees(shown, link.pan, link.tilt);
        if (point) {
            engine::compositeMarker(view, picture, point->column(), point->row(), 1);
            ++drawn;
        }
    }
    return drawn;
}

}  // namespace tourpack

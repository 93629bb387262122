// A scene's link and note markers laid over a rendered view, through the
// engine's own forward projection and compositing, so that the preview puts
// each marker on the view pixels where the player puts it.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/link_projection.h"
#include "engine/pixel_buffers.h"
#include "windows_module/module_resources.h"
#include "package/scene_link.h"
#include "package/scene_note.h"

namespace tourpack {

// Draws the marker of every link in front of the viewer; returns how many
// were drawn. The marker's key colour (magenta) is transparent.
int drawLinkMarkers(const engine::ViewBuffer& view, const engine::ShownView& shown,
                    const std::vector<package::SceneLink>& links, const BitmapPixels& marker);

// The same for the scene's notes, with their own marker.
int drawNoteMarkers(const engine::ViewBuffer& view, const engine::ShownView& shown,
                    const std::vector<package::SceneNote>& notes, const BitmapPixels& marker);

}  // namespace tourpack

#include "package/angle_and_link_warnings.h"

#include "text/field_names.h"
#include "text/field_writer.h"
#include "text/utf8_path.h"

namespace tourpack {

namespace {

// An angle the record's field cannot hold exactly reaches the player
// rounded; the author hears of it.
void warnIfInexact(const Manifest& manifest, const std::string& field, double value,
                   std::vector<std::string>& warnings) {
    bool exact = true;
    const std::string text = formatFloatField(static_cast<float>(value), &exact);
    if (!exact) {
        warnings.push_back(utf8Of(manifest.file) + ": field '" + field +
                           "': " + std::to_string(value) + " is stored as " + text);
    }
}

}  // namespace

void warnAboutAnglesAndLinks(const Manifest& manifest, std::vector<std::string>& warnings) {
    for (std::size_t i = 0; i < manifest.scenes.size(); ++i) {
        const SceneEntry& scene = manifest.scenes[i];
        const std::string field = sceneField(i);
        warnIfInexact(manifest, field + ".pan", scene.pan, warnings);
        warnIfInexact(manifest, field + ".tilt", scene.tilt, warnings);
        warnIfInexact(manifest, field + ".fieldOfView", scene.fieldOfView, warnings);
        for (std::size_t k = 0; k < scene.links.size(); ++k) {
            const LinkEntry& link = scene.links[k];
            const std::string linkFieldName = linkField(field, k);
            if (link.target == static_cast<std::int32_t>(i) + 1) {
                warnings.push_back(utf8Of(manifest.file) + ": field '" + linkFieldName +
                                   ".to': the link leads to its own scene");
            }
            warnIfInexact(manifest, linkFieldName + ".pan", link.pan, warnings);
            warnIfInexact(manifest, linkFieldName + ".tilt", link.tilt, warnings);
            if (link.hasView) {
                warnIfInexact(manifest, linkFieldName + ".view.pan", link.viewPan, warnings);
                warnIfInexact(manifest, linkFieldName + ".view.tilt", link.viewTilt, warnings);
                warnIfInexact(manifest, linkFieldName + ".view.fieldOfView", link.viewFieldOfView,
                              warnings);
            }
        }
        for (std::size_t k = 0; k < scene.notes.size(); ++k) {
            warnIfInexact(manifest, noteField(field, k) + ".pan", scene.notes[k].pan, warnings);
            warnIfInexact(manifest, noteField(field, k) + ".tilt", scene.notes[k].tilt, warnings);
        }
    }
}

}  // namespace tourpack

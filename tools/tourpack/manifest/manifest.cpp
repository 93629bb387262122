#include "text/utf8_path.h"
#include "manifest/manifest.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <nlohmann/json.hpp>

#include "text/field_names.h"
#include "text/nearest_name.h"
#include "package/extension_block.h"
#include "text/problems.h"
#include "manifest/sampling_words.h"
#include "manifest/transition_words.h"
#include "package/scene_note.h"
#include "text/tourpack_error.h"

namespace tourpack {
namespace {

using nlohmann::json;
// Written manifests keep their keys in a reader's order: the title first, a
// scene's name first.
using OrderedJson = nlohmann::ordered_json;

class ManifestReader {
  public:
    explicit ManifestReader(const std::filesystem::path& file) : file_(file) {}

    [[noreturn]] void fail(const std::string& field, const std::string& what) const {
        throw TourpackError(utf8Of(file_) + ": field '" + field + "': " + what);
    }

    const json* find(const json& object, const char* key) const {
        const auto it = object.find(key);
        return it == object.end() || it->is_null() ? nullptr : &*it;
    }

    std::string text(const json& object, const char* key, const std::string& field, bool required,
                     const std::string& fallback = "") const {
        const json* value = find(object, key);
        if (value == nullptr) {
            if (required) {
                fail(field, "is missing; expected a text");
            }
            return fallback;
        }
        if (!value->is_string()) {
            fail(field, "expected a text, found " + std::string(value->type_name()));
        }
        const auto result = value->get<std::string>();
        if (result.find('\0') != std::string::npos) {
            fail(field, "a text may not hold a NUL character");
        }
        return result;
    }

    std::int32_t integer(const json& object, const char* key, const std::string& field,
                         std::int32_t fallback) const {
        const json* value = find(object, key);
        if (value == nullptr) {
            return fallback;
        }
        if (!value->is_number_integer()) {
            fail(field, "expected a whole number, found " + value->dump());
        }
        const auto number = value->get<std::int64_t>();
        if (number < INT32_MIN || number > INT32_MAX) {
            fail(field, "expected a 32-bit number, found " + value->dump());
        }
        return static_cast<std::int32_t>(number);
    }

    double real(const json& object, const char* key, const std::string& field,
                double fallback) const {
        const json* value = find(object, key);
        if (value == nullptr) {
            return fallback;
        }
        if (!value->is_number()) {
            fail(field, "expected a number of degrees, found " + value->dump());
        }
        return value->get<double>();
    }

    bool flag(const json& object, const char* key, const std::string& field, bool fallback) const {
        const json* value = find(object, key);
        if (value == nullptr) {
            return fallback;
        }
        if (!value->is_boolean()) {
            fail(field, "expected true or false, found " + value->dump());
        }
        return value->get<bool>();
    }

    // One of the words of the extension block's sampling section; smooth
    // when the field is left out.
    package::ViewSampling sampling(const json& object, const char* key) const {
        const std::string word =
            text(object, key, key, false, samplingWord(package::ViewSampling::smooth));
        const std::optional<package::ViewSampling> named = samplingNamed(word);
        if (!named) {
            fail(key, "expected " + samplingChoices() + ", found \"" + word + "\"");
        }
        return *named;
    }

    // One of the words of the extension block's transition section; a walk
    // when the field is left out.
    package::SceneTransition transition(const json& object, const char* key) const {
        const std::string word =
            text(object, key, key, false, transitionWord(package::SceneTransition::walk));
        const std::optional<package::SceneTransition> named = transitionNamed(word);
        if (!named) {
            fail(key, "expected " + transitionChoices() + ", found \"" + word + "\"");
        }
        return *named;
    }

    // An angle in [low, high]; required when there is no fallback.
    double angle(const json& object, const char* key, const std::string& field, double low,
                 double high, const double* fallback) const {
        if (fallback == nullptr && find(object, key) == nullptr) {
            fail(field, "is missing; expected a number of degrees");
        }
        const double value = real(object, key, field, fallback ? *fallback : 0.0);
        if (!(value >= low && value <= high)) {
            fail(field, find(object, key)->dump() + " is outside " +
                            std::to_string(static_cast<int>(low)) + " to " +
                            std::to_string(static_cast<int>(high)));
        }
        return value;
    }

    std::filesystem::path path(const json& object, const char* key, const std::string& field,
                               bool required) const {
        const std::string value = text(object, key, field, required);
        if (value.empty()) {
            if (required) {
                fail(field, "expected a file name, found an empty text");
            }
            return {};
        }
        return (file_.parent_path() / pathFromUtf8(value)).lexically_normal();
    }

  private:
    const std::filesystem::path& file_;
};

// Reads every scene's links once all scenes are known, so that a link may name
// a scene that comes after its own. Links are refused rather than mended: a
// link the player would have to drop or bend is an author's mistake.
class LinkReader {
  public:
    LinkReader(const ManifestReader& reader, const std::vector<SceneEntry>& scenes)
        : reader_(reader), scenes_(scenes) {}

    std::vector<LinkEntry> read(const json& scene, const std::string& sceneFieldName,
                                Problems& problems) const {
        const std::string field = sceneFieldName + ".links";
        const json* links = reader_.find(scene, "links");
        if (links == nullptr) {
            return {};
        }
        const auto limit = package::extension_block::maximumLinksPerScene;
        const bool listed = problems.collect([&] {
            if (!links->is_array()) {
                reader_.fail(field, "expected a list of links");
            }
            if (links->size() > static_cast<std::size_t>(limit)) {
                reader_.fail(field, std::to_string(links->size()) +
                                        " links; a scene holds at most " + std::to_string(limit));
            }
        });
        std::vector<LinkEntry> entries;
        for (std::size_t k = 0; listed && k < links->size(); ++k) {
            problems.collect(
                [&] { entries.push_back(link((*links)[k], linkField(sceneFieldName, k))); });
        }
        return entries;
    }

  private:
    LinkEntry link(const json& object, const std::string& field) const {
        if (!object.is_object()) {
            reader_.fail(field, "expected an object with to, pan and tilt");
        }
        using namespace package::extension_block;
        LinkEntry entry;
        entry.target = target(object, field + ".to");
        entry.pan = reader_.angle(object, "pan", field + ".pan", -panLimit, panLimit, nullptr);
        entry.tilt = reader_.angle(object, "tilt", field + ".tilt", -tiltLimit, tiltLimit, nullptr);
        entry.label = reader_.text(object, "label", field + ".label", false);
        if (const json* view = reader_.find(object, "view")) {
            if (!view->is_object()) {
                reader_.fail(field + ".view", "expected an object with pan, tilt and fieldOfView");
            }
            const double noAngle = 0.0;
            const double defaultFieldOfView = 100.0;
            entry.hasView = true;
            entry.viewPan =
                reader_.angle(*view, "pan", field + ".view.pan", -panLimit, panLimit, &noAngle);
            entry.viewTilt =
                reader_.angle(*view, "tilt", field + ".view.tilt", -tiltLimit, tiltLimit, &noAngle);
            entry.viewFieldOfView =
                reader_.angle(*view, "fieldOfView", field + ".view.fieldOfView",
                              smallestFieldOfView, largestFieldOfView, &defaultFieldOfView);
        }
        return entry;
    }

    // The target by position (from 1) or by its exact name, which only one
    // scene may bear.
    std::int32_t target(const json& object, const std::string& field) const {
        const json* to = reader_.find(object, "to");
        const auto count = static_cast<std::int64_t>(scenes_.size());
        if (to == nullptr) {
            reader_.fail(field, "is missing; expected a scene's position (from 1) or its name");
        }
        if (to->is_number_integer()) {
            const auto position = to->get<std::int64_t>();
            if (position < 1 || position > count) {
                reader_.fail(field, to->dump() + " matches no scene (the tour has " +
                                        std::to_string(count) + " scenes, counted from 1)");
            }
            return static_cast<std::int32_t>(position);
        }
        if (!to->is_string()) {
            reader_.fail(field,
                         "expected a scene's position (from 1) or its name, found " + to->dump());
        }
        const auto name = to->get<std::string>();
        std::vector<std::size_t> matches;
        for (std::size_t i = 0; i < scenes_.size(); ++i) {
            if (scenes_[i].name == name) {
                matches.push_back(i);
            }
        }
        if (matches.empty()) {
            reader_.fail(field, "no scene is named \"" + name + "\"");
        }
        if (matches.size() > 1) {
            std::string which;
            for (const std::size_t i : matches) {
                which += (which.empty() ? "" : ", ") + sceneField(i);
            }
            reader_.fail(field, "several scenes are named \"" + name + "\" (" + which +
                                    "); give the position (from 1) instead");
        }
        return static_cast<std::int32_t>(matches.front() + 1);
    }

    const ManifestReader& reader_;
    const std::vector<SceneEntry>& scenes_;
};

// Reads a scene's notes. Texts are held to the rules the player's reader
// applies (scene_note.h), so that what builds is what the player shows.
class NoteReader {
  public:
    explicit NoteReader(const ManifestReader& reader) : reader_(reader) {}

    std::vector<NoteEntry> read(const json& scene, const std::string& sceneFieldName,
                                Problems& problems) const {
        const std::string field = sceneFieldName + ".notes";
        const json* notes = reader_.find(scene, "notes");
        if (notes == nullptr) {
            return {};
        }
        const auto limit = package::extension_block::maximumNotesPerScene;
        const bool listed = problems.collect([&] {
            if (!notes->is_array()) {
                reader_.fail(field, "expected a list of notes");
            }
            if (notes->size() > static_cast<std::size_t>(limit)) {
                reader_.fail(field, std::to_string(notes->size()) +
                                        " notes; a scene holds at most " + std::to_string(limit));
            }
        });
        std::vector<NoteEntry> entries;
        for (std::size_t k = 0; listed && k < notes->size(); ++k) {
            entries.push_back(note((*notes)[k], noteField(sceneFieldName, k), problems));
        }
        return entries;
    }

  private:
    // Each field's mistake is its own problem: a long text does not hide a
    // bad address.
    NoteEntry note(const json& object, const std::string& field, Problems& problems) const {
        NoteEntry entry;
        if (!object.is_object()) {
            problems.collect(
                [&] { reader_.fail(field, "expected an object with pan, tilt, title and text"); });
            return entry;
        }
        using namespace package::extension_block;
        using namespace package::note_rules;
        problems.collect([&] {
            entry.pan = reader_.angle(object, "pan", field + ".pan", -panLimit, panLimit, nullptr);
        });
        problems.collect([&] {
            entry.tilt =
                reader_.angle(object, "tilt", field + ".tilt", -tiltLimit, tiltLimit, nullptr);
        });
        problems.collect(
            [&] { entry.title = ruled(object, "title", field + ".title", true, titleFault); });
        problems.collect([&] {
            entry.text = ruled(object, "text", field + ".text", true, textFault, withLineFeeds);
        });
        problems.collect(
            [&] { entry.picture = reader_.path(object, "picture", field + ".picture", false); });
        problems.collect(
            [&] { entry.link = ruled(object, "link", field + ".link", false, linkFault); });
        return entry;
    }

    // "\r\n" and a lone "\r" as "\n": the lines stay, however the author's
    // editor ended them.
    static std::string withLineFeeds(std::string text) {
        std::string lines;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r') {
                lines += '\n';
                if (i + 1 < text.size() && text[i + 1] == '\n') {
                    ++i;
                }
            } else {
                lines += text[i];
            }
        }
        return lines;
    }

    static std::string unchanged(std::string text) { return text; }

    std::string ruled(const json& object, const char* key, const std::string& field, bool required,
                      std::string (*fault)(std::string_view),
                      std::string (*normal)(std::string) = unchanged) const {
        const std::string value = normal(reader_.text(object, key, field, required));
        const std::string wrong = fault(value);
        if (!wrong.empty()) {
            reader_.fail(field, wrong);
        }
        return value;
    }

    const ManifestReader& reader_;
};

// How a written manifest names a link's target: by name when that is unique,
// so that the manifest reads well and survives reordering; else by position.
OrderedJson targetOf(const std::vector<SceneEntry>& scenes, std::int32_t target) {
    const std::string& name = scenes[static_cast<std::size_t>(target - 1)].name;
    const auto sameName = std::count_if(
        scenes.begin(), scenes.end(), [&](const SceneEntry& scene) { return scene.name == name; });
    return name.empty() || sameName != 1 ? OrderedJson(target) : OrderedJson(name);
}

OrderedJson linksOf(const std::vector<SceneEntry>& scenes, const SceneEntry& scene) {
    OrderedJson links = OrderedJson::array();
    for (const LinkEntry& link : scene.links) {
        OrderedJson entry = {
            {"to", targetOf(scenes, link.target)}, {"pan", link.pan}, {"tilt", link.tilt}};
        if (!link.label.empty()) {
            entry["label"] = link.label;
        }
        if (link.hasView) {
            entry["view"] = {{"pan", link.viewPan},
                             {"tilt", link.viewTilt},
                             {"fieldOfView", link.viewFieldOfView}};
        }
        links.push_back(entry);
    }
    return links;
}

void warnOutside(std::vector<std::string>& warnings, const std::filesystem::path& file,
                 const std::string& field, double value, double low, double high,
                 const char* replacement) {
    if (!(value >= low && value <= high)) {
        warnings.push_back(utf8Of(file) + ": field '" + field + "': " + std::to_string(value) +
                           " is outside " + std::to_string(static_cast<int>(low)) + " to " +
                           std::to_string(static_cast<int>(high)) + "; the player will use " +
                           replacement);
    }
}

std::string relativeTo(const std::filesystem::path& path, const std::filesystem::path& base) {
    if (path.empty()) {
        return {};
    }
    return path.lexically_relative(base).generic_string();
}

OrderedJson nullable(const std::string& text) {
    return text.empty() ? OrderedJson(nullptr) : OrderedJson(text);
}

// A note's picture and link only where it has them, as a link's label.
OrderedJson notesOf(const SceneEntry& scene, const std::filesystem::path& base) {
    OrderedJson notes = OrderedJson::array();
    for (const NoteEntry& note : scene.notes) {
        OrderedJson entry = {
            {"pan", note.pan}, {"tilt", note.tilt}, {"title", note.title}, {"text", note.text}};
        if (!note.picture.empty()) {
            entry["picture"] = relativeTo(note.picture, base);
        }
        if (!note.link.empty()) {
            entry["link"] = note.link;
        }
        notes.push_back(entry);
    }
    return notes;
}

// The manifest's JSON, which must be an object.
json parseManifestFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw TourpackError(utf8Of(file) + ": cannot open the manifest");
    }
    json root;
    try {
        root = json::parse(in);
    } catch (const json::parse_error& error) {
        throw TourpackError(utf8Of(file) + ": not valid JSON: " + error.what());
    }
    if (!root.is_object()) {
        throw TourpackError(utf8Of(file) + ": expected a JSON object at the top");
    }
    return root;
}

// The keys each kind of object in a manifest may hold.
const std::vector<std::string> rootKeys = {
    "title",          "viewSize",        "rotationSpeed", "soundOn",   "autoPlay",
    "fullScreenMode", "backgroundSound", "scenes",        "info",      "skin",
    "language",       "player",          "sampling",      "transition"};
const std::vector<std::string> sceneKeys = {"name",  "pan",   "tilt",  "fieldOfView",
                                            "image", "sound", "links", "notes"};
const std::vector<std::string> linkKeys = {"to", "pan", "tilt", "label", "view"};
const std::vector<std::string> noteKeys = {"pan", "tilt", "title", "text", "picture", "link"};
const std::vector<std::string> viewKeys = {"pan", "tilt", "fieldOfView"};
const std::vector<std::string> infoKeys = {"text1",        "text2", "text3",  "webAddress",
                                           "emailAddress", "text4", "picture"};

// A key the reader does not know is most likely a misspelt one it does: the
// value would be ignored without a word, so the author hears of it.
void warnUnknownKeys(const json& object, const std::vector<std::string>& known,
                     const std::string& prefix, const std::filesystem::path& file,
                     std::vector<std::string>& warnings) {
    if (!object.is_object()) {
        return;
    }
    for (const auto& item : object.items()) {
        if (std::find(known.begin(), known.end(), item.key()) != known.end()) {
            continue;
        }
        const NearestName nearest = nearestName(item.key(), known);
        warnings.push_back(utf8Of(file) + ": field '" + prefix + item.key() +
                           "' is not a field tourpack knows and is ignored; did you mean '" +
                           prefix + nearest.name + "'?");
    }
}

void warnUnknownLinkKeys(const json& scene, const std::string& field,
                         const std::filesystem::path& file, std::vector<std::string>& warnings) {
    const auto links = scene.find("links");
    if (links == scene.end() || !links->is_array()) {
        return;
    }
    for (std::size_t k = 0; k < links->size(); ++k) {
        const json& link = (*links)[k];
        const std::string prefix = linkField(field, k) + ".";
        warnUnknownKeys(link, linkKeys, prefix, file, warnings);
        if (link.is_object() && link.contains("view")) {
            warnUnknownKeys(link["view"], viewKeys, prefix + "view.", file, warnings);
        }
    }
}

void warnUnknownNoteKeys(const json& scene, const std::string& field,
                         const std::filesystem::path& file, std::vector<std::string>& warnings) {
    const auto notes = scene.find("notes");
    if (notes == scene.end() || !notes->is_array()) {
        return;
    }
    for (std::size_t k = 0; k < notes->size(); ++k) {
        warnUnknownKeys((*notes)[k], noteKeys, noteField(field, k) + ".", file, warnings);
    }
}

SceneEntry readScene(const ManifestReader& reader, const json& entry, const std::string& field,
                     Problems& problems) {
    SceneEntry scene;
    if (!entry.is_object()) {
        problems.collect(
            [&] { reader.fail(field, "expected an object with name, image and start view"); });
        return scene;
    }
    problems.collect([&] { scene.name = reader.text(entry, "name", field + ".name", false); });
    problems.collect([&] { scene.pan = reader.real(entry, "pan", field + ".pan", 0.0); });
    problems.collect([&] { scene.tilt = reader.real(entry, "tilt", field + ".tilt", 0.0); });
    problems.collect([&] {
        scene.fieldOfView = reader.real(entry, "fieldOfView", field + ".fieldOfView", 100.0);
    });
    problems.collect([&] { scene.image = reader.path(entry, "image", field + ".image", true); });
    problems.collect([&] { scene.sound = reader.path(entry, "sound", field + ".sound", false); });
    scene.notes = NoteReader(reader).read(entry, field, problems);
    return scene;
}

// The scenes, then their links (a link may name any scene, before or after
// its own).
void readScenes(const ManifestReader& reader, const json& root, Manifest& manifest,
                std::vector<std::string>& warnings, Problems& problems) {
    const std::filesystem::path& file = manifest.file;
    const json* scenes = reader.find(root, "scenes");
    if (scenes == nullptr || !scenes->is_array()) {
        problems.collect([&] { reader.fail("scenes", "expected a list of scenes"); });
        return;
    }
    for (std::size_t i = 0; i < scenes->size(); ++i) {
        const std::string field = sceneField(i);
        const json& entry = (*scenes)[i];
        SceneEntry scene = readScene(reader, entry, field, problems);
        warnUnknownKeys(entry, sceneKeys, field + ".", file, warnings);
        warnUnknownLinkKeys(entry, field, file, warnings);
        warnUnknownNoteKeys(entry, field, file, warnings);
        warnOutside(warnings, file, field + ".pan", scene.pan, -180, 180, "0");
        warnOutside(warnings, file, field + ".tilt", scene.tilt, -90, 90, "0");
        warnOutside(warnings, file, field + ".fieldOfView", scene.fieldOfView, 12, 165, "100");
        manifest.scenes.push_back(std::move(scene));
    }
    const LinkReader links(reader, manifest.scenes);
    for (std::size_t i = 0; i < scenes->size(); ++i) {
        if ((*scenes)[i].is_object()) {
            manifest.scenes[i].links = links.read((*scenes)[i], sceneField(i), problems);
        }
    }
    if (manifest.scenes.empty()) {
        warnings.push_back(utf8Of(file) + ": field 'scenes': the tour has no scene");
    }
}

void readInfo(const ManifestReader& reader, const json& root, Manifest& manifest,
              std::vector<std::string>& warnings, Problems& problems) {
    const json* info = reader.find(root, "info");
    if (info == nullptr) {
        return;
    }
    if (!info->is_object()) {
        problems.collect(
            [&] { reader.fail("info", "expected an object with the information texts"); });
        return;
    }
    warnUnknownKeys(*info, infoKeys, "info.", manifest.file, warnings);
    const auto text = [&](const char* key, std::string& value) {
        problems.collect(
            [&] { value = reader.text(*info, key, "info." + std::string(key), false); });
    };
    text("text1", manifest.infoText1);
    text("text2", manifest.infoText2);
    text("text3", manifest.infoText3);
    text("webAddress", manifest.webAddress);
    text("emailAddress", manifest.emailAddress);
    text("text4", manifest.infoText4);
    problems.collect(
        [&] { manifest.infoPicture = reader.path(*info, "picture", "info.picture", false); });
}

void readSettings(const ManifestReader& reader, const json& root, Manifest& manifest,
                  std::vector<std::string>& warnings, Problems& problems) {
    problems.collect([&] { manifest.title = reader.text(root, "title", "title", true); });
    problems.collect([&] { manifest.viewSize = reader.integer(root, "viewSize", "viewSize", 3); });
    problems.collect([&] {
        manifest.rotationSpeed = reader.integer(root, "rotationSpeed", "rotationSpeed", 2);
    });
    problems.collect([&] { manifest.soundOn = reader.flag(root, "soundOn", "soundOn", true); });
    problems.collect([&] { manifest.autoPlay = reader.flag(root, "autoPlay", "autoPlay", false); });
    problems.collect([&] {
        manifest.fullScreenMode = reader.integer(root, "fullScreenMode", "fullScreenMode", 0);
    });
    problems.collect([&] { manifest.sampling = reader.sampling(root, "sampling"); });
    problems.collect([&] { manifest.transition = reader.transition(root, "transition"); });
    problems.collect([&] {
        manifest.backgroundSound = reader.path(root, "backgroundSound", "backgroundSound", false);
    });
    if (manifest.viewSize < 1 || manifest.viewSize > 3) {
        warnings.push_back(utf8Of(manifest.file) +
                           ": field 'viewSize': " + std::to_string(manifest.viewSize) +
                           " is not 1, 2 or 3; the player will show a 480 x 360 view");
    }
}

// The skin (none: the default one), the language module and the player.
void readModules(const ManifestReader& reader, const json& root, Manifest& manifest,
                 Problems& problems) {
    problems.collect([&] { manifest.skinFolder = reader.path(root, "skin", "skin", false); });
    problems.collect(
        [&] { manifest.language = reader.text(root, "language", "language", false, "en"); });
    const bool languageIsPath = manifest.language.find_first_of("/\\.") != std::string::npos;
    if (languageIsPath) {
        problems.collect(
            [&] { manifest.languagePath = reader.path(root, "language", "language", true); });
    }
    problems.collect([&] { manifest.player = reader.path(root, "player", "player", false); });
}

}  // namespace

Manifest readManifest(const std::filesystem::path& file, std::vector<std::string>& warnings,
                      Problems& problems) {
    Manifest manifest;
    manifest.file = file;
    // A file that is no JSON object is one problem that hides every other.
    const json root = parseManifestFile(file);
    const ManifestReader reader(file);
    warnUnknownKeys(root, rootKeys, "", file, warnings);
    readSettings(reader, root, manifest, warnings, problems);
    readScenes(reader, root, manifest, warnings, problems);
    readInfo(reader, root, manifest, warnings, problems);
    readModules(reader, root, manifest, problems);
    return manifest;
}

Manifest readManifest(const std::filesystem::path& file, std::vector<std::string>& warnings) {
    Problems problems;
    Manifest manifest = readManifest(file, warnings, problems);
    problems.throwIfAny("the manifest was not read");
    return manifest;
}

void writeManifest(const Manifest& manifest, const std::filesystem::path& file) {
    const std::filesystem::path base = file.parent_path();
    OrderedJson root;
    root["title"] = manifest.title;
    root["viewSize"] = manifest.viewSize;
    root["rotationSpeed"] = manifest.rotationSpeed;
    root["soundOn"] = manifest.soundOn;
    root["autoPlay"] = manifest.autoPlay;
    root["fullScreenMode"] = manifest.fullScreenMode;
    root["sampling"] = samplingWord(manifest.sampling);
    root["transition"] = transitionWord(manifest.transition);
    root["backgroundSound"] = nullable(relativeTo(manifest.backgroundSound, base));
    root["scenes"] = OrderedJson::array();
    for (const SceneEntry& scene : manifest.scenes) {
        root["scenes"].push_back({{"name", scene.name},
                                  {"pan", scene.pan},
                                  {"tilt", scene.tilt},
                                  {"fieldOfView", scene.fieldOfView},
                                  {"image", relativeTo(scene.image, base)},
                                  {"sound", nullable(relativeTo(scene.sound, base))},
                                  {"links", linksOf(manifest.scenes, scene)},
                                  {"notes", notesOf(scene, base)}});
    }
    root["info"] = {{"text1", manifest.infoText1},
                    {"text2", manifest.infoText2},
                    {"text3", manifest.infoText3},
                    {"webAddress", manifest.webAddress},
                    {"emailAddress", manifest.emailAddress},
                    {"text4", manifest.infoText4},
                    {"picture", nullable(relativeTo(manifest.infoPicture, base))}};
    if (!manifest.skinFolder.empty()) {
        root["skin"] = relativeTo(manifest.skinFolder, base);
    }
    root["language"] =
        manifest.languagePath.empty() ? manifest.language : relativeTo(manifest.languagePath, base);
    if (!manifest.player.empty()) {
        root["player"] = relativeTo(manifest.player, base);
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << root.dump(2) << '\n';
    if (!out) {
        throw TourpackError(utf8Of(file) + ": cannot write the manifest");
    }
}

}  // namespace tourpack

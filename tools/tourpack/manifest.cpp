#include "manifest.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include "tourpack_error.h"

namespace tourpack {
namespace {

using nlohmann::json;

class ManifestReader {
  public:
    explicit ManifestReader(const std::filesystem::path& file) : file_(file) {}

    [[noreturn]] void fail(const std::string& field, const std::string& what) const {
        throw TourpackError(file_.string() + ": field '" + field + "': " + what);
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

    std::filesystem::path path(const json& object, const char* key, const std::string& field,
                               bool required) const {
        const std::string value = text(object, key, field, required);
        if (value.empty()) {
            if (required) {
                fail(field, "expected a file name, found an empty text");
            }
            return {};
        }
        return (file_.parent_path() / value).lexically_normal();
    }

  private:
    const std::filesystem::path& file_;
};

void warnOutside(std::vector<std::string>& warnings, const std::filesystem::path& file,
                 const std::string& field, double value, double low, double high,
                 const char* replacement) {
    if (!(value >= low && value <= high)) {
        warnings.push_back(file.string() + ": field '" + field + "': " + std::to_string(value) +
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

json nullable(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

}  // namespace

Manifest readManifest(const std::filesystem::path& file, std::vector<std::string>& warnings) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw TourpackError(file.string() + ": cannot open the manifest");
    }
    json root;
    try {
        root = json::parse(in);
    } catch (const json::parse_error& error) {
        throw TourpackError(file.string() + ": not valid JSON: " + error.what());
    }
    if (!root.is_object()) {
        throw TourpackError(file.string() + ": expected a JSON object at the top");
    }

    const ManifestReader reader(file);
    Manifest manifest;
    manifest.file = file;
    manifest.title = reader.text(root, "title", "title", true);
    manifest.viewSize = reader.integer(root, "viewSize", "viewSize", 3);
    manifest.rotationSpeed = reader.integer(root, "rotationSpeed", "rotationSpeed", 2);
    manifest.soundOn = reader.flag(root, "soundOn", "soundOn", true);
    manifest.autoPlay = reader.flag(root, "autoPlay", "autoPlay", false);
    manifest.fullScreenMode = reader.integer(root, "fullScreenMode", "fullScreenMode", 0);
    manifest.backgroundSound = reader.path(root, "backgroundSound", "backgroundSound", false);
    if (manifest.viewSize < 1 || manifest.viewSize > 3) {
        warnings.push_back(file.string() +
                           ": field 'viewSize': " + std::to_string(manifest.viewSize) +
                           " is not 1, 2 or 3; the player will show a 480 x 360 view");
    }

    const json* scenes = reader.find(root, "scenes");
    if (scenes == nullptr || !scenes->is_array()) {
        reader.fail("scenes", "expected a list of scenes");
    }
    for (std::size_t i = 0; i < scenes->size(); ++i) {
        const std::string field = "scenes[" + std::to_string(i) + "]";
        const json& entry = (*scenes)[i];
        if (!entry.is_object()) {
            reader.fail(field, "expected an object with name, image and start view");
        }
        SceneEntry scene;
        scene.name = reader.text(entry, "name", field + ".name", false);
        scene.pan = reader.real(entry, "pan", field + ".pan", 0.0);
        scene.tilt = reader.real(entry, "tilt", field + ".tilt", 0.0);
        scene.fieldOfView = reader.real(entry, "fieldOfView", field + ".fieldOfView", 100.0);
        scene.image = reader.path(entry, "image", field + ".image", true);
        scene.sound = reader.path(entry, "sound", field + ".sound", false);
        warnOutside(warnings, file, field + ".pan", scene.pan, -180, 180, "0");
        warnOutside(warnings, file, field + ".tilt", scene.tilt, -90, 90, "0");
        warnOutside(warnings, file, field + ".fieldOfView", scene.fieldOfView, 12, 165, "100");
        manifest.scenes.push_back(std::move(scene));
    }
    if (manifest.scenes.empty()) {
        warnings.push_back(file.string() + ": field 'scenes': the tour has no scene");
    }

    if (const json* info = reader.find(root, "info")) {
        if (!info->is_object()) {
            reader.fail("info", "expected an object with the information texts");
        }
        manifest.infoText1 = reader.text(*info, "text1", "info.text1", false);
        manifest.infoText2 = reader.text(*info, "text2", "info.text2", false);
        manifest.infoText3 = reader.text(*info, "text3", "info.text3", false);
        manifest.webAddress = reader.text(*info, "webAddress", "info.webAddress", false);
        manifest.emailAddress = reader.text(*info, "emailAddress", "info.emailAddress", false);
        manifest.infoText4 = reader.text(*info, "text4", "info.text4", false);
        manifest.infoPicture = reader.path(*info, "picture", "info.picture", false);
    }

    manifest.skinFolder = reader.path(root, "skin", "skin", true);
    manifest.language = reader.text(root, "language", "language", false, "en");
    const bool languageIsPath = manifest.language.find_first_of("/\\.") != std::string::npos;
    if (languageIsPath) {
        manifest.languagePath = reader.path(root, "language", "language", true);
    }
    manifest.player = reader.path(root, "player", "player", false);
    return manifest;
}

void writeManifest(const Manifest& manifest, const std::filesystem::path& file) {
    const std::filesystem::path base = file.parent_path();
    json root;
    root["title"] = manifest.title;
    root["viewSize"] = manifest.viewSize;
    root["rotationSpeed"] = manifest.rotationSpeed;
    root["soundOn"] = manifest.soundOn;
    root["autoPlay"] = manifest.autoPlay;
    root["fullScreenMode"] = manifest.fullScreenMode;
    root["backgroundSound"] = nullable(relativeTo(manifest.backgroundSound, base));
    root["scenes"] = json::array();
    for (const SceneEntry& scene : manifest.scenes) {
        root["scenes"].push_back({{"name", scene.name},
                                  {"pan", scene.pan},
                                  {"tilt", scene.tilt},
                                  {"fieldOfView", scene.fieldOfView},
                                  {"image", relativeTo(scene.image, base)},
                                  {"sound", nullable(relativeTo(scene.sound, base))}});
    }
    root["info"] = {{"text1", manifest.infoText1},
                    {"text2", manifest.infoText2},
                    {"text3", manifest.infoText3},
                    {"webAddress", manifest.webAddress},
                    {"emailAddress", manifest.emailAddress},
                    {"text4", manifest.infoText4},
                    {"picture", nullable(relativeTo(manifest.infoPicture, base))}};
    root["skin"] = relativeTo(manifest.skinFolder, base);
    root["language"] =
        manifest.languagePath.empty() ? manifest.language : relativeTo(manifest.languagePath, base);
    if (!manifest.player.empty()) {
        root["player"] = relativeTo(manifest.player, base);
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << root.dump(2) << '\n';
    if (!out) {
        throw TourpackError(file.string() + ": cannot write the manifest");
    }
}

}  // namespace tourpack

#include "package/package_inspector.h"

#include <optional>
#include <sstream>

#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#include <stb/stb_image.h>

#include "lang_ids.h"
#include "windows_module/module_resources.h"
#include "package/opened_tour.h"
#include "pictures/picture_format.h"
#include "pictures/panorama_shape.h"
#include "manifest/sampling_words.h"
#include "manifest/transition_words.h"
#include "pictures/picture_preparation.h"
#include "windows_module/skin_places.h"
#include "text/text_encoding.h"

namespace tourpack {
namespace {

using nlohmann::json;

json rangeOf(const package::FileItem& item) {
    return {{"offset", item.offset()}, {"length", item.length()}};
}

bool rangeInside(const package::FileItem& item, std::int64_t fileSize) {
    return item.offset() >= 0 && item.length() >= 0 &&
           static_cast<std::int64_t>(item.offset()) + item.length() <= fileSize;
}

FileKind kindOfBytes(const std::vector<std::uint8_t>& bytes) {
    return detectFileKind(bytes.data(), bytes.size());
}

// Describes one opened tour, a section at a time, into a report and notes
// every problem found on the way.
class TourInspection {
  public:
    TourInspection(const OpenedTour& opened, const std::string& exePath, InspectReport& report)
        : opened_(opened),
          tour_(opened.tour()),
          fileSize_(opened.fileSize()),
          report_(report),
          description_(report.description) {
        description_["file"] = exePath;
        description_["fileSize"] = fileSize_;
        description_["recordStreamOffset"] = opened.recordStreamOffset();
    }

    void settings() {
        description_["title"] = opened_.text(tour_.title());
        description_["textCodePage"] = opened_.textCodePage();
        description_["viewSize"] = tour_.viewSize();
        description_["rotationSpeed"] = tour_.rotationSpeed();
        description_["soundOn"] = tour_.soundOn();
        description_["autoPlay"] = tour_.autoPlay();
        description_["fullScreenMode"] = tour_.fullScreenMode();
        description_["sampling"] = samplingWord(tour_.sampling());
        description_["transition"] = transitionWord(tour_.transition());
        description_["backgroundSound"] = {{"length", tour_.backgroundSound().length()}};
    }

    void scenes() {
        description_["scenes"] = json::array();
        for (std::int32_t position = 1; position <= tour_.sceneCount(); ++position) {
            description_["scenes"].push_back(sceneEntry(position));
        }
    }

    void info() {
        const package::TourInfo& info = tour_.info();
        description_["info"] = {{"text1", opened_.text(info.infoText1())},
                                {"text2", opened_.text(info.infoText2())},
                                {"text3", opened_.text(info.infoText3())},
                                {"webAddress", opened_.text(info.webAddress())},
                                {"emailAddress", opened_.text(info.emailAddress())},
                                {"text4", opened_.text(info.infoText4())},
                                {"picture", rangeOf(*info.picture())}};
        if (!rangeInside(*info.picture(), fileSize_)) {
            problem("info picture: the range lies outside the file");
        } else if (info.picture()->length() > 0) {
            std::vector<std::uint8_t> bytes;
            opened_.readRange(info.picture()->offset(), info.picture()->length(), bytes);
            const FileKind kind = kindOfBytes(bytes);
            description_["info"]["picture"]["format"] = extensionFor(kind);
            if (!isPlayerPicture(kind)) {
                problem("info picture: not a JPEG, GIF or BMP picture");
            } else {
                warnIfLargerThanItsPlace("info picture", bytes,
                                         {AUTHOR_PHOTO_SIDE, AUTHOR_PHOTO_SIDE},
                                         "it would cover the information dialog's texts");
            }
        }
    }

    void skin() {
        description_["skin"] = json::array();
        for (int slot = 0; slot < package::SkinSet::imageCount; ++slot) {
            std::vector<std::uint8_t> bytes;
            OpenedTour::readFile(opened_.loader().skinSet().imagePath(slot), bytes);
            const FileKind kind = kindOfBytes(bytes);
            description_["skin"].push_back(
                {{"slot", slot}, {"length", bytes.size()}, {"format", extensionFor(kind)}});
            if (!isPlayerPicture(kind)) {
                problem("skin image " + std::to_string(slot) + ": not a JPEG, GIF or BMP picture");
            } else {
                const SkinPlace place = skinPlace(slot);
                warnIfLargerThanItsPlace("skin image " + std::to_string(slot), bytes, place.size,
                                         place.what);
            }
        }
    }

    void languageModule() {
        std::vector<std::uint8_t> language;
        OpenedTour::readFile(opened_.loader().languageModulePath(), language);
        description_["languageModule"] = {{"length", language.size()}};
        if (kindOfBytes(language) != FileKind::windowsModule) {
            problem("language module: not a Windows module");
            return;
        }
        for (const std::string& missing : missingLanguageResources(language)) {
            problem("language module: lacks " + missing + "; the player will not start with it");
        }
    }

    void extensionBlock() {
        const package::ExtensionBlockStatus& block = opened_.loader().extensionBlock();
        static const char* const kinds[] = {"absent", "read", "ignored"};
        description_["extensionBlock"] = {{"status", kinds[block.kind]}};
        if (block.kind == package::ExtensionBlockStatus::ignored) {
            description_["extensionBlock"]["offset"] = block.offset;
            description_["extensionBlock"]["error"] = block.what;
            problem("extension block: " + block.what + " (at offset " +
                    std::to_string(block.offset) + "); the player ignores it and shows no links");
        }
        if (!block.previewsIgnored.empty()) {
            description_["extensionBlock"]["previewsError"] = block.previewsIgnored;
            problem("extension block: " + block.previewsIgnored +
                    "; the player ignores the previews");
        }
        if (!block.notesIgnored.empty()) {
            description_["extensionBlock"]["notesError"] = block.notesIgnored;
            problem("extension block: " + block.notesIgnored + "; the player shows no notes");
        }
    }

  private:
    // The player draws the picture at its natural size from its place's
    // corner: what is larger covers what lies beside it or is never seen.
    void warnIfLargerThanItsPlace(const std::string& where, const std::vector<std::uint8_t>& bytes,
                                  PictureSize place, const std::string& what) {
        int width = 0;
        int height = 0;
        int channels = 0;
        if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                                   &channels)) {
            problem(where + ": its size cannot be read (" + stbi_failure_reason() + ")");
            return;
        }
        if (width > place.width || height > place.height) {
            report_.warnings.push_back(where + ": " + describeSize({width, height}) +
                                       ", larger than the " + describeSize(place) +
                                       " place the player draws it in (" + what + ")");
        }
    }

    json sceneEntry(std::int32_t position) {
        const package::Scene& scene = *tour_.scene(position);
        const std::string where = "scene " + std::to_string(position);
        json entry = {{"position", position},
                      {"id", scene.id()},
                      {"name", opened_.text(scene.name())},
                      {"pan", scene.pan()},
                      {"tilt", scene.tilt()},
                      {"fieldOfView", scene.fieldOfView()},
                      {"image", rangeOf(*scene.image())},
                      {"sound", rangeOf(*scene.sound())}};
        if (!rangeInside(*scene.image(), fileSize_)) {
            problem(where + ": the image range lies outside the file");
        } else {
            std::vector<std::uint8_t> bytes;
            std::string error;
            if (!opened_.sceneImage(position, bytes, error)) {
                problem(error);
            } else {
                const FileKind kind = kindOfBytes(bytes);
                entry["image"]["format"] = extensionFor(kind);
                if (!isPlayerPicture(kind)) {
                    problem(where + ": the image does not decrypt to a JPEG, GIF or BMP picture");
                }
            }
        }
        if (!rangeInside(*scene.sound(), fileSize_)) {
            problem(where + ": the sound range lies outside the file");
        }
        entry["preview"] = previewOf(position);
        entry["links"] = linksOf(position);
        entry["notes"] = notesOf(position);
        return entry;
    }

    // The reader has held the texts to the note rules; what is left to check
    // is each picture: one the player shows, within the note's box.
    json notesOf(std::int32_t position) {
        json notes = json::array();
        const auto& sceneNotes = tour_.scene(position)->notes();
        for (std::size_t k = 0; k < sceneNotes.size(); ++k) {
            const package::SceneNote& note = sceneNotes[k];
            json entry = {
                {"pan", note.pan},
                {"tilt", note.tilt},
                {"title", note.title},
                {"text", note.text},
                {"textLength", package::note_rules::characterCount(note.text).value_or(0)},
                {"link", note.link},
                {"picture", nullptr}};
            if (note.picture) {
                entry["picture"] = notePictureOf(
                    "scene " + std::to_string(position) + ", note " + std::to_string(k + 1),
                    *note.picture);
            }
            notes.push_back(entry);
        }
        return notes;
    }

    json notePictureOf(const std::string& where, const package::NotePicture& picture) {
        json entry = {{"offset", picture.offset}, {"length", picture.length}};
        std::vector<std::uint8_t> bytes;
        if (!opened_.readRange(picture.offset, picture.length, bytes)) {
            problem(where + ": the picture's range lies outside the file");
            return entry;
        }
        const FileKind kind = kindOfBytes(bytes);
        entry["format"] = extensionFor(kind);
        int width = 0;
        int height = 0;
        int channels = 0;
        if (!isPlayerPicture(kind) ||
            !stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                                   &channels)) {
            problem(where + ": the picture is not a JPEG, GIF or BMP picture whose size reads");
            return entry;
        }
        entry["width"] = width;
        entry["height"] = height;
        if (width > notePictureBox.width || height > notePictureBox.height) {
            problem(where + ": the picture is " + describeSize({width, height}) +
                    ", larger than the " + describeSize(notePictureBox) + " a note's card shows");
        }
        return entry;
    }

    // The reader has placed the preview inside the file; what it holds is
    // for the player to decode, so it must be a JPEG whose size reads.
    json previewOf(std::int32_t position) {
        const std::optional<package::StoredPreview> preview = tour_.preview(position);
        if (!preview) {
            return nullptr;
        }
        json entry = {{"offset", preview->offset}, {"length", preview->length}};
        std::vector<std::uint8_t> bytes;
        int width = 0;
        int height = 0;
        int channels = 0;
        if (!opened_.readRange(preview->offset, preview->length, bytes) ||
            kindOfBytes(bytes) != FileKind::jpeg ||
            !stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                                   &channels)) {
            problem("scene " + std::to_string(position) + ": the preview is not a JPEG picture");
            return entry;
        }
        entry["width"] = width;
        entry["height"] = height;
        return entry;
    }

    // The reader has checked the links against the tour; what is left to
    // note is what it would take but an author hardly means.
    json linksOf(std::int32_t position) {
        json links = json::array();
        const auto& sceneLinks = tour_.scene(position)->links();
        for (std::size_t k = 0; k < sceneLinks.size(); ++k) {
            const package::SceneLink& link = sceneLinks[k];
            json entry = {{"to", link.target},
                          {"toName", opened_.text(tour_.scene(link.target)->name())},
                          {"pan", link.pan},
                          {"tilt", link.tilt},
                          {"label", opened_.text(link.label.c_str())},
                          {"view", nullptr}};
            if (link.hasView) {
                entry["view"] = {{"pan", link.viewPan},
                                 {"tilt", link.viewTilt},
                                 {"fieldOfView", link.viewFieldOfView}};
            }
            if (link.target == position) {
                problem("scene " + std::to_string(position) + ", link " + std::to_string(k + 1) +
                        ": leads to its own scene");
            }
            links.push_back(entry);
        }
        return links;
    }

    void problem(const std::string& text) { report_.problems.push_back(text); }

    const OpenedTour& opened_;
    const package::Tour& tour_;
    std::int64_t fileSize_;
    InspectReport& report_;
    json& description_;
};

}  // namespace

InspectReport inspectTour(const std::string& exePath) {
    InspectReport report;
    std::string error;
    const std::unique_ptr<OpenedTour> opened = OpenedTour::open(exePath, error);
    if (!opened) {
        report.problems.push_back(error);
        report.description = {{"file", exePath}, {"error", error}};
        return report;
    }
    TourInspection inspection(*opened, exePath, report);
    inspection.settings();
    inspection.extensionBlock();
    inspection.scenes();
    inspection.info();
    inspection.skin();
    inspection.languageModule();
    report.description["problems"] = report.problems;
    report.description["warnings"] = report.warnings;
    return report;
}

namespace {

// "offset O, length L (format)" of a stored range.
std::string describeRange(const json& r) {
    return "offset " + std::to_string(r["offset"].get<std::int64_t>()) + ", length " +
           std::to_string(r["length"].get<std::int64_t>()) +
           (r.contains("format") ? " (" + r["format"].get<std::string>() + ")" : "");
}

void formatSettings(std::ostream& out, const json& d) {
    out << d["file"].get<std::string>() << ": " << d["fileSize"] << " bytes, record stream at "
        << d["recordStreamOffset"] << '\n'
        << "title           " << d["title"].get<std::string>() << '\n'
        << "text code page  " << describeCodePage(d["textCodePage"].get<int>()) << '\n'
        << "view size       " << d["viewSize"] << '\n'
        << "rotation speed  " << d["rotationSpeed"] << '\n'
        << "sound on        " << d["soundOn"] << '\n'
        << "auto play       " << d["autoPlay"] << '\n'
        << "full screen     " << d["fullScreenMode"] << '\n'
        << "sampling        " << d["sampling"].get<std::string>() << '\n'
        << "transition      " << d["transition"].get<std::string>() << '\n'
        << "background      " << d["backgroundSound"]["length"] << " bytes\n"
        << "scenes          " << d["scenes"].size() << '\n';
}

void formatLinks(std::ostream& out, const json& links) {
    std::size_t number = 1;
    for (const json& link : links) {
        out << "     link " << number++ << " at pan " << link["pan"] << ", tilt " << link["tilt"]
            << " to " << link["to"] << ". " << link["toName"].get<std::string>();
        if (!link["label"].get<std::string>().empty()) {
            out << ", label \"" << link["label"].get<std::string>() << '"';
        }
        if (!link["view"].is_null()) {
            out << ", opening at pan " << link["view"]["pan"] << ", tilt " << link["view"]["tilt"]
                << ", field of view " << link["view"]["fieldOfView"];
        }
        out << '\n';
    }
}

void formatNotes(std::ostream& out, const json& notes) {
    std::size_t number = 1;
    for (const json& note : notes) {
        out << "     note " << number++ << " at pan " << note["pan"] << ", tilt " << note["tilt"]
            << ": \"" << note["title"].get<std::string>() << "\", " << note["textLength"]
            << " characters of text";
        if (const json& picture = note["picture"]; !picture.is_null()) {
            out << ", picture ";
            if (picture.contains("width")) {
                out << picture["width"] << " x " << picture["height"] << " ";
            }
            out << "(" << picture.value("format", std::string("?")) << ", " << picture["length"]
                << " bytes)";
        }
        if (!note["link"].get<std::string>().empty()) {
            out << ", link " << note["link"].get<std::string>();
        }
        out << '\n';
    }
}

void formatScene(std::ostream& out, const json& scene) {
    out << "  " << scene["position"] << ". " << scene["name"].get<std::string>() << " (id "
        << scene["id"] << "): pan " << scene["pan"] << ", tilt " << scene["tilt"]
        << ", field of view " << scene["fieldOfView"] << '\n'
        << "     image " << describeRange(scene["image"]) << "; sound "
        << describeRange(scene["sound"]) << '\n';
    if (const json& preview = scene["preview"]; !preview.is_null()) {
        out << "     preview ";
        if (preview.contains("width")) {
            out << preview["width"] << " x " << preview["height"] << ", ";
        }
        out << preview["length"] << " bytes\n";
    }
    formatLinks(out, scene["links"]);
    formatNotes(out, scene["notes"]);
}

void formatInfoAndParts(std::ostream& out, const json& d) {
    const json& info = d["info"];
    out << "info.text1      " << info["text1"].get<std::string>() << '\n'
        << "info.text2      " << info["text2"].get<std::string>() << '\n'
        << "info.text3      " << info["text3"].get<std::string>() << '\n'
        << "info.webAddress " << info["webAddress"].get<std::string>() << '\n'
        << "info.emailAddress " << info["emailAddress"].get<std::string>() << '\n'
        << "info.text4      " << info["text4"].get<std::string>() << '\n'
        << "info.picture    " << describeRange(info["picture"]) << '\n'
        << "skin images     ";
    for (const json& slot : d["skin"]) {
        out << slot["slot"] << ':' << slot["length"] << (slot["slot"] == 25 ? "\n" : " ");
    }
    out << "language module " << d["languageModule"]["length"] << " bytes\n";
}

}  // namespace

std::string formatReport(const InspectReport& report) {
    std::ostringstream out;
    const json& d = report.description;
    if (d.contains("error")) {
        out << d["error"].get<std::string>() << '\n';
        return out.str();
    }
    formatSettings(out, d);
    for (const json& scene : d["scenes"]) {
        formatScene(out, scene);
    }
    formatInfoAndParts(out, d);
    for (const std::string& warning : report.warnings) {
        out << "warning: " << warning << '\n';
    }
    if (report.problems.empty()) {
        out << "no problems found\n";
    } else {
        for (const std::string& problem : report.problems) {
            out << "problem: " << problem << '\n';
        }
    }
    return out.str();
}

}  // namespace tourpack

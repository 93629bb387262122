#include "text/utf8_path.h"
#include "package/package_extractor.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>

#include "text/field_writer.h"
#include "manifest/manifest.h"
#include "package/opened_tour.h"
#include "process/output_guard.h"
#include "pictures/picture_format.h"
#include "text/text_encoding.h"
#include "text/tourpack_error.h"

namespace tourpack {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw TourpackError(utf8Of(file) + ": cannot write it");
    }
}

std::string twoDigits(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", number);
    return text;
}

// The angle as the shortest decimal that reads back as the stored float, so
// that the manifest shows 12.5 rather than 12.5000000001.
double angleOf(float value) {
    return std::strtod(formatFloatField(value).c_str(), nullptr);
}

fs::path fileFor(const fs::path& folder, const std::string& stem,
                 const std::vector<std::uint8_t>& bytes) {
    return folder / (stem + "." + extensionFor(detectFileKind(bytes.data(), bytes.size())));
}

// Takes one tour apart, a section at a time, into the folder and the manifest
// that names its files.
class TourExtraction {
  public:
    TourExtraction(const std::string& exePath, const fs::path& folder)
        : exePath_(exePath), folder_(folder) {
        std::string error;
        opened_ = OpenedTour::open(exePath, error);
        if (!opened_) {
            throw TourpackError(error);
        }
        // The player image ends where the first payload or the record stream begins.
        playerEnd_ = opened_->recordStreamOffset();
        fs::create_directories(folder);
    }

    void settings() {
        const package::Tour& tour = opened_->tour();
        manifest_.title = opened_->text(tour.title());
        manifest_.viewSize = tour.viewSize();
        manifest_.rotationSpeed = tour.rotationSpeed();
        manifest_.soundOn = tour.soundOn();
        manifest_.autoPlay = tour.autoPlay();
        manifest_.fullScreenMode = tour.fullScreenMode();
        manifest_.sampling = tour.sampling();
        manifest_.transition = tour.transition();
    }

    void backgroundSound() {
        const package::FileItem& sound = opened_->tour().backgroundSound();
        if (sound.length() > 0) {
            OpenedTour::readFile(sound.path(), bytes_);
            manifest_.backgroundSound = fileFor(folder_, "background", bytes_);
            writeFile(manifest_.backgroundSound, bytes_);
        }
    }

    void scenes() {
        const package::Tour& tour = opened_->tour();
        for (std::int32_t position = 1; position <= tour.sceneCount(); ++position) {
            const package::Scene& scene = *tour.scene(position);
            notePayload(*scene.image());
            notePayload(*scene.sound());
            SceneEntry entry;
            entry.name = opened_->text(scene.name());
            entry.pan = angleOf(scene.pan());
            entry.tilt = angleOf(scene.tilt());
            entry.fieldOfView = angleOf(scene.fieldOfView());
            entry.image = scenePayload(position, *scene.image(), ScenePart::image);
            if (scene.sound()->length() > 0) {
                entry.sound = scenePayload(position, *scene.sound(), ScenePart::sound);
            }
            entry.links = linksOf(scene);
            entry.notes = notesOf(position, scene);
            manifest_.scenes.push_back(entry);
        }
    }

    void info() {
        const package::TourInfo& info = opened_->tour().info();
        manifest_.infoText1 = opened_->text(info.infoText1());
        manifest_.infoText2 = opened_->text(info.infoText2());
        manifest_.infoText3 = opened_->text(info.infoText3());
        manifest_.webAddress = opened_->text(info.webAddress());
        manifest_.emailAddress = opened_->text(info.emailAddress());
        manifest_.infoText4 = opened_->text(info.infoText4());
        const package::FileItem& picture = *info.picture();
        if (picture.length() > 0) {
            notePayload(picture);
            if (!opened_->readRange(picture.offset(), picture.length(), bytes_)) {
                throw TourpackError(exePath_ + ": the info picture's range lies outside the file");
            }
            manifest_.infoPicture = fileFor(folder_, "info-picture", bytes_);
            writeFile(manifest_.infoPicture, bytes_);
        }
    }

    void skin() {
        manifest_.skinFolder = folder_ / "skin";
        for (int slot = 0; slot < package::SkinSet::imageCount; ++slot) {
            OpenedTour::readFile(opened_->loader().skinSet().imagePath(slot), bytes_);
            writeFile(fileFor(manifest_.skinFolder, twoDigits(slot), bytes_), bytes_);
        }
    }

    void languageModule() {
        OpenedTour::readFile(opened_->loader().languageModulePath(), bytes_);
        manifest_.languagePath = folder_ / "language.dll";
        writeFile(manifest_.languagePath, bytes_);
    }

    // The bytes before the first payload; comes after the sections that
    // note where their payloads lie.
    void playerImage() {
        if (!opened_->readRange(0, std::max<std::int64_t>(playerEnd_, 0), bytes_)) {
            throw TourpackError(exePath_ + ": the record stream offset lies outside the file");
        }
        manifest_.player = folder_ / "player.exe";
        writeFile(manifest_.player, bytes_);
    }

    fs::path writeManifestFile() const {
        const fs::path manifestFile = folder_ / "tour.json";
        writeManifest(manifest_, manifestFile);
        return manifestFile;
    }

  private:
    enum class ScenePart { image, sound };

    std::vector<LinkEntry> linksOf(const package::Scene& scene) const {
        std::vector<LinkEntry> links;
        for (const package::SceneLink& link : scene.links()) {
            LinkEntry entry;
            entry.target = link.target;
            entry.pan = angleOf(link.pan);
            entry.tilt = angleOf(link.tilt);
            entry.label = opened_->text(link.label);
            entry.hasView = link.hasView;
            if (link.hasView) {
                entry.viewPan = angleOf(link.viewPan);
                entry.viewTilt = angleOf(link.viewTilt);
                entry.viewFieldOfView = angleOf(link.viewFieldOfView);
            }
            links.push_back(entry);
        }
        return links;
    }

    // The notes' texts as they are (UTF-8 in the tour too); each picture
    // written once, named after the first note that shows it.
    std::vector<NoteEntry> notesOf(std::int32_t position, const package::Scene& scene) {
        std::vector<NoteEntry> notes;
        for (std::size_t k = 0; k < scene.notes().size(); ++k) {
            const package::SceneNote& note = scene.notes()[k];
            NoteEntry entry;
            entry.pan = angleOf(note.pan);
            entry.tilt = angleOf(note.tilt);
            entry.title = note.title;
            entry.text = note.text;
            entry.link = note.link;
            if (note.picture) {
                entry.picture = notePicture(
                    twoDigits(position) + "-" + twoDigits(static_cast<int>(k) + 1), *note.picture);
            }
            notes.push_back(entry);
        }
        return notes;
    }

    fs::path notePicture(const std::string& stem, const package::NotePicture& picture) {
        if (auto found = notePictures_.find(picture.offset); found != notePictures_.end()) {
            return found->second;
        }
        if (!opened_->readRange(picture.offset, picture.length, bytes_)) {
            throw TourpackError(exePath_ + ": a note's picture lies outside the file");
        }
        const fs::path file = fileFor(folder_ / "notes", stem, bytes_);
        writeFile(file, bytes_);
        notePictures_[picture.offset] = file;
        return file;
    }

    void notePayload(const package::FileItem& item) {
        if (item.length() > 0 && item.offset() >= 0) {
            playerEnd_ = std::min<std::int64_t>(playerEnd_, item.offset());
        }
    }

    // One file per byte range: a range shared by several scenes is written once.
    fs::path scenePayload(std::int32_t position, const package::FileItem& item, ScenePart part) {
        const bool image = part == ScenePart::image;
        const auto key = std::make_tuple(item.offset(), item.length(), image);
        if (auto found = written_.find(key); found != written_.end()) {
            return found->second;
        }
        std::string error;
        const bool read = image ? opened_->sceneImage(position, bytes_, error)
                                : opened_->sceneSound(position, bytes_, error);
        if (!read) {
            throw TourpackError(exePath_ + ": " + error);
        }
        const fs::path file = fileFor(folder_ / "scenes",
                                      twoDigits(position) + (image ? "-image" : "-sound"), bytes_);
        writeFile(file, bytes_);
        written_[key] = file;
        return file;
    }

    std::string exePath_;
    fs::path folder_;
    std::unique_ptr<OpenedTour> opened_;
    Manifest manifest_;
    std::int64_t playerEnd_ = 0;
    std::map<std::tuple<std::int32_t, std::int32_t, bool>, fs::path> written_;
    std::map<std::int64_t, fs::path> notePictures_;
    std::vector<std::uint8_t> bytes_;
};

// Whether extracting into `folder` would write over the tour itself: the
// folder is the tour, or the tour has the name of a file extraction writes.
bool extractionReplaces(const fs::path& tour, const fs::path& folder) {
    const fs::path place = fs::absolute(tour).lexically_normal();
    const fs::path parent = place.parent_path();
    if (sameFile(place, folder)) {
        return true;
    }
    if (sameFile(parent, folder)) {
        const std::string name = utf8Of(place.filename());
        const std::string stem = utf8Of(place.stem());
        return name == "tour.json" || name == "player.exe" || name == "language.dll" ||
               stem == "background" || stem == "info-picture";
    }
    const std::string parentName = utf8Of(parent.filename());
    return (parentName == "skin" || parentName == "scenes" || parentName == "notes") &&
           sameFile(parent.parent_path(), folder);
}

}  // namespace

fs::path extractTour(const std::string& exePath, const fs::path& folder) {
    if (extractionReplaces(exePath, folder)) {
        throw TourpackError(utf8Of(folder) + ": extracting here would replace the tour " + exePath +
                            " itself; extract into another folder");
    }
    TourExtraction extraction(exePath, folder);
    extraction.settings();
    extraction.backgroundSound();
    extraction.scenes();
    extraction.info();
    extraction.skin();
    extraction.languageModule();
    extraction.playerImage();
    return extraction.writeManifestFile();
}

}  // namespace tourpack

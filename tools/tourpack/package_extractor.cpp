#include "package_extractor.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>

#include "field_writer.h"
#include "manifest.h"
#include "opened_tour.h"
#include "picture_format.h"
#include "text_encoding.h"
#include "tourpack_error.h"

namespace tourpack {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw TourpackError(file.string() + ": cannot write it");
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

}  // namespace

fs::path extractTour(const std::string& exePath, const fs::path& folder) {
    std::string error;
    const std::unique_ptr<OpenedTour> opened = OpenedTour::open(exePath, error);
    if (!opened) {
        throw TourpackError(error);
    }
    const package::Tour& tour = opened->tour();
    fs::create_directories(folder);

    Manifest manifest;
    manifest.title = windows1252ToUtf8(tour.title());
    manifest.viewSize = tour.viewSize();
    manifest.rotationSpeed = tour.rotationSpeed();
    manifest.soundOn = tour.soundOn();
    manifest.autoPlay = tour.autoPlay();
    manifest.fullScreenMode = tour.fullScreenMode();

    // The player image ends where the first payload or the record stream begins.
    std::int64_t playerEnd = opened->recordStreamOffset();
    const auto notePayload = [&](const package::FileItem& item) {
        if (item.length() > 0 && item.offset() >= 0) {
            playerEnd = std::min<std::int64_t>(playerEnd, item.offset());
        }
    };

    std::vector<std::uint8_t> bytes;
    if (tour.backgroundSound().length() > 0) {
        OpenedTour::readFile(tour.backgroundSound().path(), bytes);
        manifest.backgroundSound = fileFor(folder, "background", bytes);
        writeFile(manifest.backgroundSound, bytes);
    }

    // One file per byte range: a range shared by several scenes is written once.
    std::map<std::tuple<std::int32_t, std::int32_t, bool>, fs::path> written;
    for (std::int32_t position = 1; position <= tour.sceneCount(); ++position) {
        const package::Scene& scene = *tour.scene(position);
        notePayload(*scene.image());
        notePayload(*scene.sound());
        SceneEntry entry;
        entry.name = windows1252ToUtf8(scene.name());
        entry.pan = angleOf(scene.pan());
        entry.tilt = angleOf(scene.tilt());
        entry.fieldOfView = angleOf(scene.fieldOfView());

        const auto imageKey =
            std::make_tuple(scene.image()->offset(), scene.image()->length(), true);
        if (auto found = written.find(imageKey); found != written.end()) {
            entry.image = found->second;
        } else {
            if (!opened->sceneImage(position, bytes, error)) {
                throw TourpackError(exePath + ": " + error);
            }
            entry.image = fileFor(folder / "scenes", twoDigits(position) + "-image", bytes);
            writeFile(entry.image, bytes);
            written[imageKey] = entry.image;
        }
        if (scene.sound()->length() > 0) {
            const auto soundKey =
                std::make_tuple(scene.sound()->offset(), scene.sound()->length(), false);
            if (auto found = written.find(soundKey); found != written.end()) {
                entry.sound = found->second;
            } else {
                if (!opened->sceneSound(position, bytes, error)) {
                    throw TourpackError(exePath + ": " + error);
                }
                entry.sound = fileFor(folder / "scenes", twoDigits(position) + "-sound", bytes);
                writeFile(entry.sound, bytes);
                written[soundKey] = entry.sound;
            }
        }
        manifest.scenes.push_back(entry);
    }

    const package::TourInfo& info = tour.info();
    manifest.infoText1 = windows1252ToUtf8(info.infoText1());
    manifest.infoText2 = windows1252ToUtf8(info.infoText2());
    manifest.infoText3 = windows1252ToUtf8(info.infoText3());
    manifest.webAddress = windows1252ToUtf8(info.webAddress());
    manifest.emailAddress = windows1252ToUtf8(info.emailAddress());
    manifest.infoText4 = windows1252ToUtf8(info.infoText4());
    if (info.picture()->length() > 0) {
        notePayload(*info.picture());
        if (!opened->readRange(info.picture()->offset(), info.picture()->length(), bytes)) {
            throw TourpackError(exePath + ": the info picture's range lies outside the file");
        }
        manifest.infoPicture = fileFor(folder, "info-picture", bytes);
        writeFile(manifest.infoPicture, bytes);
    }

    manifest.skinFolder = folder / "skin";
    for (int slot = 0; slot < package::SkinSet::imageCount; ++slot) {
        OpenedTour::readFile(opened->loader().skinSet().imagePath(slot), bytes);
        writeFile(fileFor(manifest.skinFolder, twoDigits(slot), bytes), bytes);
    }
    OpenedTour::readFile(opened->loader().languageModulePath(), bytes);
    manifest.languagePath = folder / "language.dll";
    writeFile(manifest.languagePath, bytes);

    if (!opened->readRange(0, std::max<std::int64_t>(playerEnd, 0), bytes)) {
        throw TourpackError(exePath + ": the record stream offset lies outside the file");
    }
    manifest.player = folder / "player.exe";
    writeFile(manifest.player, bytes);

    const fs::path manifestFile = folder / "tour.json";
    writeManifest(manifest, manifestFile);
    return manifestFile;
}

}  // namespace tourpack

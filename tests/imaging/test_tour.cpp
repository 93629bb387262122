#include "test_tour.h"

#include <windows.h>

#include <filesystem>
#include <stdexcept>

#include "package/payload.h"
#include "platform/files.h"
#include "package/tour_loader.h"
#include "module_image.h"
#include "package/package_writer.h"
#include "platform/scoped_handle.h"
#include "screen_capture.h"
#include "imaging_material.h"

namespace test_support {

namespace fs = std::filesystem;

// Packs the scenes with tourpack into a tour executable (the test language
// module stands in for the player image), then reads it back with the
// player's own reader, as the player does at start.
TestTour::TestTour(const std::vector<SceneSource>& scenes, Previews previews) {
    const fs::path& work = workFolder_.path();
    tourpack::Manifest manifest;
    manifest.file = work / "tour.json";
    manifest.title = "Imaging test tour";
    manifest.skinFolder = IMAGING_TEST_SKIN_FOLDER;
    manifest.languagePath = work / "language.dll";
    writeFile(manifest.languagePath, standInLanguageModule());
    manifest.backgroundSound = work / "background.wav";
    writeFile(manifest.backgroundSound, soundBytes(0x42));
    int n = 0;
    for (const SceneSource& source : scenes) {
        tourpack::SceneEntry entry;
        entry.name = "Scene " + std::to_string(++n);
        entry.image = source.image;
        if (!source.sound.empty()) {
            entry.sound = work / ("sound-" + std::to_string(n) + ".wav");
            writeFile(entry.sound, source.sound);
        }
        manifest.scenes.push_back(entry);
    }
    tourpack::BuildOptions options;
    options.player = besideThisProgram("imaging_test_strings.dll");
    exePath_ = (work / "tour.exe").string();
    std::vector<std::string> warnings;
    tourpack::buildPackage(manifest, exePath_, options, warnings);

    package::TourLoader loader;
    package::PackageError error;
    tour_ = loader.read(exePath_.c_str(), error);
    if (!tour_) {
        throw std::runtime_error("the packed tour does not read back: " + error.what);
    }
    if (previews == Previews::none) {
        tour_->setPreviews({});
    }
    // What the shell does with the rest: the skin images go once converted,
    // the language module at shutdown. The tour sound stays for its handles.
    // (Deleted here, at the moment the shell would, not by an owner: the
    // loader keeps their names. Through the file layer, which holds the files
    // it made until then.)
    for (int slot = 0; slot < package::SkinSet::imageCount; ++slot) {
        platform::deleteFile(loader.skinSet().imagePath(slot));
    }
    platform::deleteFile(loader.languageModulePath());
}

TestTour::~TestTour() {
    // The tour sound's file (gone already when a manager handed it out) goes
    // once the tour has let go of it; the work folder after that.
    const package::TempFile background(backgroundSoundPath().c_str());
    tour_.reset();
}

std::vector<std::uint8_t> soundBytes(std::uint8_t seed, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return bytes;
}

std::set<std::string> temporaryMediaFiles() {
    std::set<std::string> names;
    for (const char* pattern : {"QRX*.tmp", "QRZ*.tmp"}) {
        WIN32_FIND_DATAA found{};
        const platform::UniqueFileSearch search(
            FindFirstFileA((fs::temp_directory_path() / pattern).string().c_str(), &found));
        if (!search) {
            continue;
        }
        do {
            names.insert(found.cFileName);
        } while (FindNextFileA(search.get(), &found));
    }
    return names;
}

}  // namespace test_support

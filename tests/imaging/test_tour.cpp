#include "test_tour.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>

#include "package/platform_files.h"
#include "package/tour_loader.h"
#include "package_writer.h"
#include "test_support.h"

namespace imaging_test {

namespace fs = std::filesystem;

namespace {

std::string temporaryFolder() {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return folder;
}

}  // namespace

// Packs the scenes with tourpack into a tour executable (the test language
// module stands in for the player image), then reads it back with the
// player's own reader, as the player does at start.
TestTour::TestTour(const std::vector<SceneSource>& scenes) {
    static std::atomic<int> tours{0};
    const std::string stem =
        "imaging-tour-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++tours);
    workFolder_ = temporaryFolder() + stem;
    fs::create_directories(workFolder_);

    tourpack::Manifest manifest;
    manifest.file = fs::path(workFolder_) / "tour.json";
    manifest.title = "Imaging test tour";
    manifest.skinFolder = IMAGING_TEST_SKIN_FOLDER;
    manifest.languagePath = programFolder() + "imaging_test_strings.dll";
    manifest.backgroundSound = fs::path(workFolder_) / "background.wav";
    writeFile(manifest.backgroundSound.string(), soundBytes(0x42));
    int n = 0;
    for (const SceneSource& source : scenes) {
        tourpack::SceneEntry entry;
        entry.name = "Scene " + std::to_string(++n);
        entry.image = source.image;
        if (!source.sound.empty()) {
            entry.sound = fs::path(workFolder_) / ("sound-" + std::to_string(n) + ".wav");
            writeFile(entry.sound.string(), source.sound);
        }
        manifest.scenes.push_back(entry);
    }
    tourpack::BuildOptions options;
    options.player = programFolder() + "imaging_test_strings.dll";
    exePath_ = (fs::path(workFolder_) / "tour.exe").string();
    std::vector<std::string> warnings;
    tourpack::buildPackage(manifest, exePath_, options, warnings);

    TourLoader loader;
    PackageError error;
    tour_ = loader.read(exePath_.c_str(), error);
    if (!tour_) {
        throw std::runtime_error("the packed tour does not read back: " + error.what);
    }
    // What the shell does with the rest: the skin images go once converted,
    // the language module at shutdown. The tour sound stays for its handles.
    // Through the file layer, which holds the files it made until then.
    for (int slot = 0; slot < SkinSet::imageCount; ++slot) {
        platform::deleteFile(loader.skinSet().imagePath(slot));
    }
    platform::deleteFile(loader.languageModulePath());
}

TestTour::~TestTour() {
    const std::string background = backgroundSoundPath();
    tour_.reset();
    platform::deleteFile(background.c_str());  // gone already when a manager handed it out
    std::error_code error;
    fs::remove_all(workFolder_, error);
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
        HANDLE search = FindFirstFileA((temporaryFolder() + pattern).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            continue;
        }
        do {
            names.insert(found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return names;
}

}  // namespace imaging_test

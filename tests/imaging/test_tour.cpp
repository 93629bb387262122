#include "test_tour.h"

#include <windows.h>

#include "package/platform_files.h"
#include "package/tea.h"
#include "test_support.h"

namespace imaging_test {

TestTour::TestTour(const std::vector<SceneSource>& scenes) : tour_(std::make_unique<Tour>()) {
    // A stand-in for the tour executable: the payloads one after another.
    dataPath_ = platform::makeTempFile("IMT");
    std::vector<std::uint8_t> data(64, 0x90);
    for (const SceneSource& source : scenes) {
        auto scene = std::make_unique<Scene>();
        std::vector<std::uint8_t> image = readFile(source.image);
        teaEncryptBuffer(image.data(), image.data(), static_cast<std::int64_t>(image.size()),
                         playerKeyText);
        scene->setImage(std::make_unique<FileItem>(dataPath_.c_str(),
                                                   static_cast<std::int32_t>(data.size()),
                                                   static_cast<std::int32_t>(image.size())));
        data.insert(data.end(), image.begin(), image.end());
        if (!source.sound.empty()) {
            scene->setSound(std::make_unique<FileItem>(
                dataPath_.c_str(), static_cast<std::int32_t>(data.size()),
                static_cast<std::int32_t>(source.sound.size())));
            data.insert(data.end(), source.sound.begin(), source.sound.end());
        }
        tour_->addScene(std::move(scene), tour_->sceneCount() + 1);
    }
    writeFile(dataPath_, data);
    // The reader writes the tour sound to a "QRZ" file, whose path the tour keeps.
    const std::string background = platform::makeTempFile("QRZ");
    writeFile(background, soundBytes(0x42));
    tour_->setBackgroundSound(std::make_unique<FileItem>(background.c_str()));
}

TestTour::~TestTour() {
    const std::string background = backgroundSoundPath();
    tour_.reset();
    DeleteFileA(dataPath_.c_str());
    DeleteFileA(background.c_str());  // gone already when a manager handed it out
}

std::vector<std::uint8_t> soundBytes(std::uint8_t seed, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return bytes;
}

std::set<std::string> temporaryMediaFiles() {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    std::set<std::string> names;
    for (const char* pattern : {"QRX*.tmp", "QRZ*.tmp"}) {
        WIN32_FIND_DATAA found{};
        HANDLE search = FindFirstFileA((std::string(folder) + pattern).c_str(), &found);
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

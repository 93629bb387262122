#include "tour_source.h"

#include "bmp_file.h"
#include "module_image.h"

#include <cmath>
#include <cstdio>
#include <fstream>

namespace test_support {

Bytes bmpPicture(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const std::size_t stride = bmpStride(width);
    Bytes rows(stride * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * stride + 3 * x;
            const bool topLeft = (y == height - 1 && x == 0);
            rows[at] = topLeft ? 0 : blue;
            rows[at + 1] = topLeft ? 0 : green;
            rows[at + 2] = topLeft ? 255 : red;
        }
    }
    return bmpFile(width, height, rows.data());
}

Bytes waveSound(int samples, std::int16_t level) {
    const std::uint32_t data = static_cast<std::uint32_t>(samples) * 2;
    Bytes bytes(44 + data, 0);
    std::copy_n("RIFF", 4, bytes.begin());
    put32(bytes, 4, 36 + data);
    std::copy_n("WAVEfmt ", 8, bytes.begin() + 8);
    put32(bytes, 16, 16);
    put16(bytes, 20, 1);      // PCM
    put16(bytes, 22, 1);      // mono
    put32(bytes, 24, 22050);  // samples per second
    put32(bytes, 28, 44100);  // bytes per second
    put16(bytes, 32, 2);
    put16(bytes, 34, 16);
    std::copy_n("data", 4, bytes.begin() + 36);
    put32(bytes, 40, data);
    for (int i = 0; i < samples; ++i) {
        put16(bytes, 44 + 2 * static_cast<std::size_t>(i), static_cast<std::uint16_t>(level));
    }
    return bytes;
}

Bytes toneSound(double seconds, double frequency) {
    const int samples = static_cast<int>(seconds * 22050);
    Bytes bytes = waveSound(samples, 0);
    for (int i = 0; i < samples; ++i) {
        const double value = 12000.0 * std::sin(2.0 * 3.14159265358979 * frequency * i / 22050.0);
        put16(bytes, 44 + 2 * static_cast<std::size_t>(i),
              static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
    }
    return bytes;
}

Bytes fakeModule(std::size_t size, std::uint8_t fill) {
    Bytes bytes(size, fill);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    return bytes;
}

void TourSource::save() const {
    std::ofstream out(manifestPath(), std::ios::binary | std::ios::trunc);
    out << manifest.dump(2);
}

std::string skinImageName(int slot) {
    char name[16];
    std::snprintf(name, sizeof name, "%02d-slot.bmp", slot);
    return name;
}

TourSource makeTourSource(const fs::path& folder, int sceneCount, const fs::path& player) {
    TourSource source;
    source.folder = folder;
    fs::create_directories(folder);
    for (int slot = 0; slot < 26; ++slot) {
        writeFile(
            folder / "skin" / skinImageName(slot),
            bmpPicture(3 + slot % 4, 2 + slot % 3, static_cast<std::uint8_t>(slot * 9), 20, 200));
    }
    writeFile(folder / "language.dll", standInLanguageModule());
    writeFile(folder / "background.wav", waveSound(300, 1000));
    writeFile(folder / "author.bmp", bmpPicture(5, 6, 10, 200, 10));
    nlohmann::json scenes = nlohmann::json::array();
    for (int k = 1; k <= sceneCount; ++k) {
        const std::string stem = "scene" + std::to_string(k);
        // Odd widths give images whose length is no multiple of 8.
        writeFile(folder / (stem + ".bmp"),
                  bmpPicture(9 + k, 4 + k, static_cast<std::uint8_t>(40 * k), 90, 30));
        writeFile(folder / (stem + ".wav"), waveSound(100 + 17 * k, static_cast<std::int16_t>(k)));
        scenes.push_back({{"name", "Scene " + std::to_string(k)},
                          {"pan", 10.5 * k},
                          {"tilt", -3.0 * k},
                          {"fieldOfView", 60 + 5 * k},
                          {"image", stem + ".bmp"},
                          {"sound", stem + ".wav"}});
    }
    fs::path playerPath = player;
    if (playerPath.empty()) {
        playerPath = folder / "player.exe";
        writeFile(playerPath, fakeModule(1500, 0x90));
    }
    source.manifest = {{"title", "Caf\xC3\xA9 tour"},
                       {"viewSize", 2},
                       {"rotationSpeed", 3},
                       {"soundOn", false},
                       {"autoPlay", true},
                       {"fullScreenMode", 2},
                       {"backgroundSound", "background.wav"},
                       {"scenes", scenes},
                       {"info",
                        {{"text1", "First line"},
                         {"text2", "Second line"},
                         {"text3", "Third line"},
                         {"webAddress", "https://example.org/tour"},
                         {"emailAddress", "author@example.org"},
                         {"text4", "Sixth text"},
                         {"picture", "author.bmp"}}},
                       {"skin", "skin"},
                       {"language", "language.dll"},
                       {"player", fs::absolute(playerPath).string()}};
    source.save();
    return source;
}

std::vector<fs::path> filesWithPrefix(const fs::path& folder, const std::string& prefix) {
    std::vector<fs::path> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) {
            found.push_back(entry.path());
        }
    }
    return found;
}

}  // namespace test_support

// Test material: small pictures and sounds, and a complete tour source
// (manifest, skin, scenes, sounds, language module, player) ready for
// tourpack's builder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "scratch_files.h"

namespace test_support {

// A 24-bit bottom-up BMP file of one colour, with a red top-left pixel.
Bytes bmpPicture(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// A short PCM WAV file whose samples all hold `level`.
Bytes waveSound(int samples, std::int16_t level);
// A 16-bit mono PCM WAV tone (22050 samples a second).
Bytes toneSound(double seconds, double frequency);
// A file that starts like a Windows module (enough for the packer's checks).
Bytes fakeModule(std::size_t size, std::uint8_t fill);

struct TourSource {
    fs::path folder;
    nlohmann::json manifest;  // edit, then save()
    fs::path manifestPath() const { return folder / "tour.json"; }
    void save() const;
};

// Writes a tour source with `sceneCount` scenes into `folder`: every setting,
// info text and payload set to a distinct value; a fake player image unless
// `player` names a real one.
TourSource makeTourSource(const fs::path& folder, int sceneCount, const fs::path& player = {});
// The file name of skin image `slot` in a made tour source: "07-slot.bmp".
std::string skinImageName(int slot);

// The files in `folder` whose names start with `prefix` (for example "QRZ").
std::vector<fs::path> filesWithPrefix(const fs::path& folder, const std::string& prefix);

}  // namespace test_support

// Builds a tour executable: the player image, then the payload area (scene
// images TEA-encrypted with the player's key, every other payload plain), then
// the record stream and the 41-byte trailer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "process/output_guard.h"

namespace tourpack {

struct BuildOptions {
    std::filesystem::path player;          // overrides the manifest's player
    std::filesystem::path languageFolder;  // where language codes are looked up first
    std::filesystem::path toolFolder;      // tourpack's own folder: player.exe, lang/
    // Called now and then with the bytes written so far and the total.
    std::function<void(std::int64_t done, std::int64_t total)> progress;
};

struct BuildResult {
    std::int64_t size = 0;
    std::int32_t recordStreamOffset = 0;
    std::filesystem::path player;
    std::filesystem::path languageModule;
};

class Problems;

// How the build's checks take pictures: as the player takes them (JPEG, GIF,
// BMP), or also those the build converts first (PNG, TGA, TIFF).
enum class PictureRule { asThePlayerTakesThem, convertibleToo };

// Notes every problem a build would meet, before anything is converted: the
// output, the player and language module, each file's existence and kind, the
// skin, a code page for the texts. A sound the player cannot play is a
// warning: its scene stays silent.
void findBuildProblems(const Manifest& manifest, const std::filesystem::path& output,
                       const BuildOptions& options, PictureRule rule, Problems& problems,
                       std::vector<std::string>& warnings);

// Checks every input first (missing or unreadable files, pictures the player
// cannot decode, skin slots, a result over 2 GiB) and throws TourpackError
// naming the manifest field and the file (every problem found in one error);
// then writes `output` (through a
// temporary file beside it, so a failed build leaves nothing half written).
BuildResult buildPackage(const Manifest& manifest, const std::filesystem::path& output,
                         const BuildOptions& options, std::vector<std::string>& warnings);

// Every file a build reads: the manifest, the player and language module it
// would take, the sounds and pictures, the skin folder's files.
std::vector<NamedInput> buildInputFiles(const Manifest& manifest, const BuildOptions& options);

// Throws TourpackError when `output` is a folder, lies in a folder that does
// not exist, or is one of the build's inputs; buildPackage checks this first.
void checkBuildOutput(const Manifest& manifest, const std::filesystem::path& output,
                      const BuildOptions& options);

// The manifest's skin folder, or the default skin when it names none.
std::filesystem::path skinFolderOf(const Manifest& manifest);

// The 26 skin images of a folder, by slot: "NN.ext" or "NN-anything.ext".
std::vector<std::filesystem::path> findSkinSlots(const Manifest& manifest);

}  // namespace tourpack

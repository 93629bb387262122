// Builds a tour executable: the player image, then the payload area (scene
// images TEA-encrypted with the player's key, every other payload plain), then
// the record stream and the 41-byte trailer. The steps are units of their
// own: the inputs checked (build_inputs), the file planned and written
// (package_file), the warnings about angles and links.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "package/build_options.h"
#include "package/companion_files.h"
#include "package/input_requirements.h"
#include "process/output_guard.h"

namespace tourpack {

struct BuildResult {
    std::int64_t size = 0;
    std::int32_t recordStreamOffset = 0;
    std::filesystem::path player;
    std::filesystem::path languageModule;
};

class Problems;

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

}  // namespace tourpack

// The player image, the language module and the skin a build takes: named by
// the command line or the manifest, else found beside tourpack (or, for the
// Linux tourpack, in this checkout's Windows build).
#pragma once

#include <filesystem>
#include <vector>

#include "manifest/manifest.h"

namespace tourpack {

struct BuildOptions;

// The player named by --player or the manifest, else the first default found
// (empty when there is none).
std::filesystem::path chosenPlayer(const Manifest& manifest, const BuildOptions& options);

// The player a build takes; throws TourpackError when it is missing.
std::filesystem::path resolvePlayer(const Manifest& manifest, const BuildOptions& options);

// The language module the manifest names by path, else the first found for its
// code (empty when there is none).
std::filesystem::path chosenLanguage(const Manifest& manifest, const BuildOptions& options);

// The language module a build takes; throws TourpackError when it is missing.
std::filesystem::path resolveLanguage(const Manifest& manifest, const BuildOptions& options);

// The manifest's skin folder, or the default skin when it names none.
std::filesystem::path skinFolderOf(const Manifest& manifest);

// The 26 skin images of a folder, by slot: "NN.ext" or "NN-anything.ext".
std::vector<std::filesystem::path> findSkinSlots(const Manifest& manifest);

}  // namespace tourpack

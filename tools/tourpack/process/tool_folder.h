#pragma once

#include <filesystem>
#include <vector>

namespace tourpack {

// The folder tourpack itself runs from (where player.exe and lang/ ship).
std::filesystem::path toolFolder();

// The folders that may hold what tourpack uses when the manifest and the
// command line name nothing (player.exe, lang/, skin/), in order: tourpack's
// own folder (a build tree; every Windows install), then, beside the bin/
// folder of a Linux install, its share/lumivue/. None when `toolFolder` is
// empty.
std::vector<std::filesystem::path> companionFolders(const std::filesystem::path& toolFolder);

// Where the default skin is looked for: skin/ in the companion folders, then
// (for the native build) the skin folder of this checkout.
std::vector<std::filesystem::path> defaultSkinCandidates();

}  // namespace tourpack

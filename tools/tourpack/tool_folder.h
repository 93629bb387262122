#pragma once

#include <filesystem>
#include <vector>

namespace tourpack {

// The folder tourpack itself runs from (where player.exe and lang/ ship).
std::filesystem::path toolFolder();

// Where the default skin is looked for: skin/ beside tourpack, then (for the
// native build) the skin folder of this checkout.
std::vector<std::filesystem::path> defaultSkinCandidates();

}  // namespace tourpack

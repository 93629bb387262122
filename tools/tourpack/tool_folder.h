#pragma once

#include <filesystem>

namespace tourpack {

// The folder tourpack itself runs from (where player.exe and lang/ ship).
std::filesystem::path toolFolder();

}  // namespace tourpack

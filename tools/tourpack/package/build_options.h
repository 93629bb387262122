// What the command line gives a build beside its manifest.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

namespace tourpack {

struct BuildOptions {
    std::filesystem::path player;          // overrides the manifest's player
    std::filesystem::path languageFolder;  // where language codes are looked up first
    std::filesystem::path toolFolder;      // tourpack's own folder: player.exe, lang/
    // Called now and then with the bytes written so far and the total.
    std::function<void(std::int64_t done, std::int64_t total)> progress;
};

}  // namespace tourpack

// Where a command writes (-o) is checked before anything is converted or
// written: it names a file in a folder that exists, and never one of the
// command's own inputs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tourpack {

// An input file and what it is for the author ("the manifest",
// "field 'scenes[1].image'").
struct NamedInput {
    std::string what;
    std::filesystem::path file;
};

// The same file: equivalent when both exist, else the same absolute path
// once normalised.
bool sameFile(const std::filesystem::path& one, const std::filesystem::path& other);

// Throws TourpackError when `output` is a folder or ends in a separator
// (suggesting `output/example`), or when its folder does not exist.
void requireOutputFile(const std::filesystem::path& output, const std::string& example);

// Throws TourpackError naming the first input `output` would replace.
void refuseToReplace(const std::filesystem::path& output, const std::vector<NamedInput>& inputs);

}  // namespace tourpack

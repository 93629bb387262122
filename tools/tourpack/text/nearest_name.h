// The known name a mistyped one was most likely meant to be.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tourpack {

// The number of single-character insertions, deletions and replacements that
// turn `from` into `to`.
std::size_t editDistance(const std::string& from, const std::string& to);

struct NearestName {
    std::string name;  // empty when `known` is empty
    std::size_t distance = 0;
};

// The first of `known` nearest to `given`, letters compared without regard
// to case (so "fieldofview" is 0 away from "fieldOfView").
NearestName nearestName(const std::string& given, const std::vector<std::string>& known);

}  // namespace tourpack

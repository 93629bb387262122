// File names in the order people expect: runs of digits compare as numbers,
// so 2.jpg comes before 10.jpg; letters compare without regard to case.
#pragma once

#include <string>

namespace tourpack {

// A strict weak order: names that differ only in case or leading zeros are
// still ordered, by their plain bytes, so that sorting is repeatable.
bool naturalLess(const std::string& a, const std::string& b);

}  // namespace tourpack

#pragma once

#include <stdexcept>
#include <string>

namespace tourpack {

// An error for people: names the file and the field that is wrong and what was
// expected.
class TourpackError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace tourpack

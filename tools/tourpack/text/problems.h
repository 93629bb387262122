// The problems one run finds, all of them, so that an author fixes every
// mistake after one run instead of one run per mistake.
#pragma once

#include <string>
#include <vector>

#include "text/tourpack_error.h"

namespace tourpack {

class Problems {
  public:
    void add(const std::string& text) { list_.push_back(text); }

    // Runs `check`; a TourpackError it throws is noted and the run goes on.
    // True when the check passed.
    template <class Check>
    bool collect(Check&& check) {
        try {
            check();
            return true;
        } catch (const TourpackError& error) {
            add(error.what());
            return false;
        }
    }

    bool empty() const { return list_.empty(); }
    const std::vector<std::string>& list() const { return list_; }

    // Throws one TourpackError naming every problem, when there is any;
    // `consequence` says what was therefore not done ("nothing was converted").
    void throwIfAny(const std::string& consequence) const;

  private:
    std::vector<std::string> list_;
};

}  // namespace tourpack

#include "text/problems.h"

namespace tourpack {

void Problems::throwIfAny(const std::string& consequence) const {
    if (list_.empty()) {
        return;
    }
    if (list_.size() == 1) {
        throw TourpackError(list_.front());
    }
    std::string text = std::to_string(list_.size()) + " problems; " + consequence + ":";
    for (const std::string& problem : list_) {
        text += "\n  " + problem;
    }
    throw TourpackError(text);
}

}  // namespace tourpack

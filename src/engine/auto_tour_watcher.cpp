#include "engine/auto_tour_watcher.h"

#include "engine/angles.h"

namespace engine {

void AutoTourWatcher::advance() {
    if (owner_ != nullptr) {
        owner_->showNextScene(false);
    }
}

bool TurnCounter::observe(float pan, float referenceAngle, float panSpeed) {
    std::int32_t side = 0;
    bool counted = true;
    // Near +-pi one step could jump over the reference and the wrap in the same
    // tick, so there the sign of the pan replaces the comparison.
    if (referenceAngle > pi - panSpeed) {
        side = pan >= 0.0f ? 1 : -1;
        counted = !(lastSide_ == 0 && side == 1);
    } else if (referenceAngle < panSpeed - pi) {
        side = pan >= 0.0f ? 1 : -1;
    } else {
        side = pan >= referenceAngle ? 1 : -1;
    }
    if (side != lastSide_) {
        lastSide_ = side;
        if (counted) {
            ++crossingCount_;
        }
    }
    if (crossingCount_ >= 3) {
        reset();
        return true;
    }
    return false;
}

}  // namespace engine

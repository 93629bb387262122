// Moves a played tour on to the next scene once the automatic rotation has
// carried the view once around the current scene.
#pragma once

#include <cstdint>

namespace engine {

// The viewer side of the watcher: steps to the next scene.
class SceneStepper {
  public:
    virtual ~SceneStepper() = default;
    virtual void showNextScene(bool userAction) = 0;
};

class AutoTourWatcher {
  public:
    explicit AutoTourWatcher(SceneStepper* owner) : owner_(owner) {}
    virtual ~AutoTourWatcher() = default;

    // Shows the next scene as an automatic (not a user) action.
    virtual void advance();
    virtual bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled) { enabled_ = enabled; }
    virtual float referenceAngle() const { return referenceAngle_; }
    virtual void setReferenceAngle(float radians) { referenceAngle_ = radians; }

  private:
    SceneStepper* owner_;
    bool enabled_ = false;
    float referenceAngle_ = 0.0f;
};

// The auto-tour test: counts the times the pan changes sides of the reference
// angle; three changes make one full turn.
class TurnCounter {
  public:
    // Observes the new (wrapped) pan; returns true when a full turn is
    // complete, after which the count starts again.
    bool observe(float pan, float referenceAngle, float panSpeed);
    void reset() {
        crossingCount_ = 0;
        lastSide_ = 0;
    }
    std::int32_t crossingCount() const { return crossingCount_; }
    std::int32_t lastSide() const { return lastSide_; }

  private:
    std::int32_t crossingCount_ = 0;
    std::int32_t lastSide_ = 0;  // -1, +1, or 0 when not yet known
};

}  // namespace engine

// A ViewHost without a window: the view bitmap lives on the heap and timers
// are only recorded. Used where the engine renders off screen (tourpack's
// preview, tests).
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "engine/view_host.h"

namespace engine {

class MemoryViewHost : public ViewHost {
  public:
    void startTimer(ViewTimer timer) override { runningTimers_.insert(timer); }
    void stopTimer(ViewTimer timer) override { runningTimers_.erase(timer); }
    void captureMouse() override { mouseCaptured_ = true; }
    void releaseMouse() override { mouseCaptured_ = false; }
    ViewBuffer createViewBitmap(std::int32_t width, std::int32_t height,
                                std::int32_t stride) override;
    void deleteViewBitmap() override { pixels_.clear(); }
    void drawView() override { ++drawCount_; }
    // Throws std::bad_alloc.
    void outOfMemory() override;

    bool timerRunning(ViewTimer timer) const { return runningTimers_.count(timer) != 0; }
    bool mouseCaptured() const { return mouseCaptured_; }
    std::int32_t drawCount() const { return drawCount_; }

  private:
    std::vector<std::uint8_t> pixels_;
    std::set<ViewTimer> runningTimers_;
    bool mouseCaptured_ = false;
    std::int32_t drawCount_ = 0;
};

}  // namespace engine

// What the panorama view needs from the window it shows in. The Windows side
// implements it with window timers, mouse capture and a device-independent
// section; tests and tools implement it in memory. The engine core never calls
// the window manager itself.
#pragma once

#include <cstdint>

#include "engine/pixel_buffers.h"

namespace engine {

enum class ViewTimer : std::int32_t { render = 1, drag = 2, motion = 3 };

class ViewHost {
  public:
    virtual ~ViewHost() = default;

    // Starts (or stops) the view window's 40 ms timer with that id.
    virtual void startTimer(ViewTimer timer) = 0;
    virtual void stopTimer(ViewTimer timer) = 0;
    // A drag starts: the view window takes the keyboard focus and the mouse.
    virtual void captureMouse() = 0;
    virtual void releaseMouse() = 0;
    // Creates the view bitmap (24 bits, bottom-up) and returns its pixels, or
    // a buffer without pixels when that fails. Any earlier bitmap is gone.
    virtual ViewBuffer createViewBitmap(std::int32_t width, std::int32_t height,
                                        std::int32_t stride) = 0;
    virtual void deleteViewBitmap() = 0;
    // Shows the view bitmap (or the background when there is none).
    virtual void drawView() = 0;
    // Memory for the view ran out. The player shows its out-of-memory box and
    // ends; an implementation that returns leaves the view without a bitmap.
    virtual void outOfMemory() = 0;
};

}  // namespace engine

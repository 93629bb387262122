// The two pictures of a cross-fade on the view: the frame the old scene left
// on screen, and the new scene's frame as the warp wrote it, kept aside so
// that each step mixes from clean pixels rather than from the last mix.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/pixel_buffers.h"

namespace viewer {

class FadeFrames {
  public:
    // Keeps what `view` shows now as the picture to fade from; false (and no
    // fade) when the memory for it is not there.
    bool begin(const engine::ViewBuffer& view);
    bool active() const { return active_; }
    void setWeight(std::uint32_t weight) { weight_ = weight; }

    // Just before `view` goes to the screen: the new scene's frame (written
    // afresh when `pictureCount` moved on since the last mix) mixed with the
    // old. A view of another size than the old frame ends the fade.
    void mix(const engine::ViewBuffer& view, std::uint32_t pictureCount);
    // The fade is over: `view` gets the new scene's clean frame back and the
    // kept frames go.
    void end(const engine::ViewBuffer& view, std::uint32_t pictureCount);

  private:
    bool fits(const engine::ViewBuffer& view) const;
    static void copyRows(const std::uint8_t* from, std::uint8_t* to,
                         const engine::ViewBuffer& view);

    std::vector<std::uint8_t> older_;
    std::vector<std::uint8_t> clean_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t stride_ = 0;
    bool active_ = false;
    bool haveClean_ = false;
    std::uint32_t cleanPicture_ = 0;
    std::uint32_t weight_ = 0;
};

}  // namespace viewer

#include "viewer/fade_frames.h"

#include <cstring>
#include <new>

#include "engine/scene_transition.h"

namespace viewer {

bool FadeFrames::begin(const engine::ViewBuffer& view) {
    active_ = false;
    haveClean_ = false;
    if (!view.usable()) {
        return false;
    }
    const std::size_t bytes = static_cast<std::size_t>(view.stride) * view.height;
    try {
        older_.resize(bytes);
        clean_.resize(bytes);
    } catch (const std::bad_alloc&) {
        older_ = {};
        clean_ = {};
        return false;  // the scene changes as a cut
    }
    width_ = view.width;
    height_ = view.height;
    stride_ = view.stride;
    copyRows(view.pixels, older_.data(), view);
    weight_ = 0;
    active_ = true;
    return true;
}

bool FadeFrames::fits(const engine::ViewBuffer& view) const {
    return view.usable() && view.width == width_ && view.height == height_ &&
           view.stride == stride_;
}

void FadeFrames::copyRows(const std::uint8_t* from, std::uint8_t* to,
                          const engine::ViewBuffer& view) {
    std::memcpy(to, from, static_cast<std::size_t>(view.stride) * view.height);
}

void FadeFrames::mix(const engine::ViewBuffer& view, std::uint32_t pictureCount) {
    if (!active_) {
        return;
    }
    if (!fits(view)) {
        active_ = false;  // resized: the new scene shows as it is
        older_ = {};
        clean_ = {};
        return;
    }
    if (!haveClean_ || pictureCount != cleanPicture_) {
        copyRows(view.pixels, clean_.data(), view);
        haveClean_ = true;
        cleanPicture_ = pictureCount;
    } else {
        copyRows(clean_.data(), view.pixels, view);
    }
    engine::blendOver({older_.data(), width_, height_, stride_}, view, weight_);
}

void FadeFrames::end(const engine::ViewBuffer& view, std::uint32_t pictureCount) {
    if (active_ && haveClean_ && pictureCount == cleanPicture_ && fits(view)) {
        copyRows(clean_.data(), view.pixels, view);
    }
    active_ = false;
    haveClean_ = false;
    older_ = {};
    clean_ = {};
}

}  // namespace viewer

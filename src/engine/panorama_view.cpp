#include "engine/panorama_view.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>
#include <cstring>

#include "engine/angles.h"

namespace engine {

namespace {

// Raises a pending counter by one (it cannot wrap around while ticks are off).
void raiseCounter(std::int32_t& counter) {
    if (counter < INT_MAX) {
        ++counter;
    }
}

constexpr std::int32_t maximumDragStep = 6;

std::int32_t limitedDragStep(std::int32_t distance, std::int32_t divisor) {
    const std::int32_t step = distance / divisor;
    if (step > maximumDragStep) {
        return maximumDragStep;
    }
    return step < -maximumDragStep ? -maximumDragStep : step;
}

// Motion rates below this size count as no motion.
constexpr double restingRate = 0.005;

}  // namespace

PanoramaView::PanoramaView(ViewHost& host)
    : host_(host), table_(ArctangentTable::create()), viewFov_(100.0f * degree) {
    if (!table_) {
        host_.outOfMemory();
    }
}

// The host owns the view bitmap and deletes it itself (see releaseViewBitmap);
// only the maps and the table, owned here, go with this object.
PanoramaView::~PanoramaView() = default;

// ---- image and size

void PanoramaView::setImage(const SourceImage* image) {
    if (image != nullptr && image->usable()) {
        if (!hasViewBitmap()) {
            createViewBitmap();
        }
        source_ = *image;
        // Entries made for another panorama may lie outside this one.
        warper_.clearMaps();
    } else {
        releaseViewBitmap();
        source_ = SourceImage{};
    }
    pyramid_ = nullptr;
    turns_.reset();
    markRecompute();
}

void PanoramaView::setPyramid(const SourcePyramid* pyramid) {
    if (pyramid == pyramid_) {
        return;
    }
    pyramid_ = pyramid;
    // Only smooth sampling reads the levels.
    if (sampling() == Sampling::smooth) {
        markRecompute();
    }
}

bool PanoramaView::setSampling(Sampling sampling) {
    if (sampling == warper_.sampling()) {
        return true;
    }
    if (!warper_.setSampling(sampling)) {
        return false;
    }
    markRecompute();
    return true;
}

void PanoramaView::resize(std::int32_t width, std::int32_t height) {
    viewWidth_ = width > 0 ? width : 0;
    viewHeight_ = height > 0 ? height : 0;
    viewStride_ = platform::dibStride(viewWidth_);
    dragDivisorX_ = std::max(viewWidth_ / 15, 2);
    dragDivisorY_ = std::max(viewHeight_ / 5, 50);
    if (hasImage()) {
        createViewBitmap();
    }
    markRecompute();
}

void PanoramaView::createViewBitmap() {
    releaseViewBitmap();
    // An empty view (a window without client area) has nothing to show.
    if (viewWidth_ <= 0 || viewHeight_ <= 0) {
        return;
    }
    const ViewBuffer bitmap = host_.createViewBitmap(viewWidth_, viewHeight_, viewStride_);
    const bool mapsAllocated = warper_.allocateMaps(viewWidth_, viewHeight_);
    if (bitmap.pixels == nullptr || !mapsAllocated) {
        host_.outOfMemory();
        releaseViewBitmap();
        return;
    }
    std::memset(bitmap.pixels, 0, static_cast<std::size_t>(viewStride_) * viewHeight_);
    view_ = ViewBuffer{bitmap.pixels, viewWidth_, viewHeight_, viewStride_};
}

void PanoramaView::releaseViewBitmap() {
    host_.deleteViewBitmap();
    view_ = ViewBuffer{};
    warper_.freeMaps();
}

// ---- rendering

Projection PanoramaView::projection() const {
    return Projection::compute(source_.width, source_.height, viewWidth_, viewHeight_, viewFov_,
                               viewPan_, viewTilt_);
}

void PanoramaView::warp() {
    if (table_) {
        warper_.warp(*table_, source_, view_, projection(), viewPan_, pyramid_);
    }
}

void PanoramaView::shiftColumns(float delta) {
    if (delta == 0.0f || !hasViewBitmap()) {
        return;
    }
    warper_.shiftColumns(source_, view_, delta, pyramid_);
    raiseCounter(redrawPending_);
}

void PanoramaView::renderTick() {
    if (!renderingEnabled_ || !hasImage()) {
        return;
    }
    if (insideMotionTick_) {
        renderAfterMotionTick_ = true;
        return;
    }
    if (recomputePending_ != 0) {
        // The rebuild uses the current pan, so a queued shift is absorbed.
        recomputePending_ = 0;
        shiftPending_ = 0;
        pendingPanDelta_ = 0.0f;
        raiseCounter(redrawPending_);
        warp();
    }
    if (shiftPending_ != 0) {
        shiftPending_ = 0;
        shiftColumns(pendingPanDelta_);
        pendingPanDelta_ = 0.0f;
    }
    if (redrawPending_ != 0) {
        redrawPending_ = 0;
        host_.drawView();
    }
}

void PanoramaView::markRecompute() {
    raiseCounter(recomputePending_);
    raiseCounter(redrawPending_);
}

void PanoramaView::queuePanShift(float delta) {
    pendingPanDelta_ += delta;
    raiseCounter(shiftPending_);
}

// ---- navigation

void PanoramaView::setFov(float fov) {
    viewFov_ = fov;
    if (fov > fovMax) {
        viewFov_ = fovMax;
        fovSpeed_ = 0.0f;
    } else if (fov < fovMin) {
        viewFov_ = fovMin;
        fovSpeed_ = 0.0f;
    }
}

void PanoramaView::setFovAndRecompute(float fov) {
    setFov(fov);
    raiseCounter(recomputePending_);
}

float PanoramaView::setPan(float pan) {
    const float change = pan - viewPan_;
    lastPanDelta_ = change;
    viewPan_ = pan;
    if (pan > pi) {
        viewPan_ = pan - twoPi;
    } else if (pan < -pi) {
        viewPan_ = pan + twoPi;
    }
    if (watcher_ && watcher_->isEnabled() &&
        turns_.observe(viewPan_, watcher_->referenceAngle(), panSpeed_)) {
        watcher_->advance();
    }
    return change;
}

void PanoramaView::panBy(float newPan) {
    queuePanShift(setPan(newPan));
}

void PanoramaView::setTilt(float tilt) {
    viewTilt_ = tilt;
    if (tilt > tiltMax) {
        viewTilt_ = tiltMax;
        tiltSpeed_ = 0.0f;
    } else if (tilt < tiltMin) {
        viewTilt_ = tiltMin;
        tiltSpeed_ = 0.0f;
    }
}

void PanoramaView::setTiltAndRecompute(float tilt) {
    setTilt(tilt);
    raiseCounter(recomputePending_);
}

void PanoramaView::setView(float pan, float tilt, float fov) {
    setPan(pan);
    setTilt(tilt);
    setFov(fov);
    raiseCounter(recomputePending_);
}

void PanoramaView::startMotion(float panRate, float tiltRate, float fovRate) {
    panSpeed_ = panRate;
    tiltSpeed_ = tiltRate;
    fovSpeed_ = fovRate;
    motionPaused_ = false;
    if (!motionTimerRunning_) {
        motionTimerRunning_ = true;
        host_.startTimer(ViewTimer::motion);
    }
}

void PanoramaView::stopMotion() {
    host_.stopTimer(ViewTimer::motion);
    motionTimerRunning_ = false;
    motionPaused_ = false;
    turns_.reset();
}

void PanoramaView::pauseMotion() {
    if (!motionTimerRunning_) {
        return;
    }
    host_.stopTimer(ViewTimer::motion);
    motionTimerRunning_ = false;
    motionPaused_ = true;
}

void PanoramaView::resumeMotion() {
    if (std::exchange(motionPaused_, false)) {
        startMotion(panSpeed_, tiltSpeed_, fovSpeed_);
    }
}

void PanoramaView::keyDown(std::int32_t keyCode) {
    switch (keyCode) {
        case view_keys::shift:
        case view_keys::letterA:
        case view_keys::numpad1:
            setFovAndRecompute(viewFov_ - degree);
            break;
        case view_keys::control:
        case view_keys::letterZ:
        case view_keys::f11:
            setFovAndRecompute(viewFov_ + degree);
            break;
        case view_keys::left:
            panBy(viewPan_ - degree);
            break;
        case view_keys::right:
            panBy(viewPan_ + degree);
            break;
        case view_keys::up:
            setTiltAndRecompute(viewTilt_ - degree);
            break;
        case view_keys::down:
            setTiltAndRecompute(viewTilt_ + degree);
            break;
        default:
            break;
    }
}

void PanoramaView::dragBegin(std::int32_t /*buttonFlags*/, std::int32_t x, std::int32_t y) {
    dragStartX_ = dragX_ = x;
    dragStartY_ = dragY_ = y;
    dragging_ = true;
    stopMotion();
    host_.startTimer(ViewTimer::drag);
    host_.captureMouse();
}

void PanoramaView::dragMove(std::int32_t buttonFlags, std::int32_t x, std::int32_t y) {
    // With another button, Shift or Ctrl held the drag keeps its last rate.
    if (buttonFlags == leftButtonOnly) {
        dragX_ = x;
        dragY_ = y;
    }
}

void PanoramaView::dragEnd() {
    // Cleared first: letting the mouse go tells the window it lost it.
    dragging_ = false;
    host_.stopTimer(ViewTimer::drag);
    host_.releaseMouse();
}

void PanoramaView::dragLost() {
    if (!dragging_) {
        return;
    }
    dragging_ = false;
    host_.stopTimer(ViewTimer::drag);
}

void PanoramaView::wheelTurned(std::int16_t delta) {
    // A turn the other way starts afresh: the part kept belongs to the old one.
    if ((delta > 0 && wheelRemainder_ < 0) || (delta < 0 && wheelRemainder_ > 0)) {
        wheelRemainder_ = 0;
    }
    wheelRemainder_ += delta;
    const std::int32_t notches = wheelRemainder_ / wheelNotch;
    wheelRemainder_ -= notches * wheelNotch;
    // Step by step, so that n notches land where n presses of A or Z do.
    for (std::int32_t n = 0; n < notches; ++n) {
        setFovAndRecompute(viewFov_ - degree);
    }
    for (std::int32_t n = 0; n > notches; --n) {
        setFovAndRecompute(viewFov_ + degree);
    }
}

void PanoramaView::dragTick() {
    dragStepX_ = limitedDragStep(dragX_ - dragStartX_, dragDivisorX_);
    dragStepY_ = limitedDragStep(dragY_ - dragStartY_, dragDivisorY_);
    if (dragStepX_ != 0) {
        setPan(viewPan_ + static_cast<float>(dragStepX_) * degree);
    }
    if (dragStepY_ != 0) {
        setTilt(viewTilt_ + static_cast<float>(dragStepY_) * degree);
    }
    if (dragStepY_ != 0) {
        markRecompute();
    } else if (dragStepX_ != 0) {
        queuePanShift(lastPanDelta_);
    }
}

void PanoramaView::motionTick() {
    // The pan setter may move the automatic tour on to a scene whose picture
    // is installed at once, from inside it: that scene's first frame is drawn
    // once, when the tick is over, at the pan the tick leaves, its rebuild
    // absorbing the shift the tick queued.
    struct RenderAfterwards {
        PanoramaView& view;
        explicit RenderAfterwards(PanoramaView& v) : view(v) { view.insideMotionTick_ = true; }
        ~RenderAfterwards() { view.insideMotionTick_ = false; }
    };
    {
        const RenderAfterwards deferring(*this);
        moveByMotion();
    }
    if (std::exchange(renderAfterMotionTick_, false)) {
        renderTick();
    }
}

void PanoramaView::moveByMotion() {
    if (std::fabs(static_cast<double>(fovSpeed_)) < restingRate &&
        std::fabs(static_cast<double>(tiltSpeed_)) < restingRate) {
        if (std::fabs(static_cast<double>(panSpeed_)) < restingRate) {
            stopMotion();
        }
        panBy(viewPan_ + panSpeed_);
    } else {
        setView(viewPan_ + panSpeed_, viewTilt_ + tiltSpeed_, viewFov_ + fovSpeed_);
    }
}

void PanoramaView::timerTick(std::int32_t timerId) {
    if (!renderingEnabled_) {
        return;
    }
    switch (static_cast<ViewTimer>(timerId)) {
        case ViewTimer::render:
            renderTick();
            break;
        case ViewTimer::drag:
            dragTick();
            break;
        case ViewTimer::motion:
            motionTick();
            break;
    }
}

void PanoramaView::setAutoTourWatcher(std::unique_ptr<AutoTourWatcher> watcher) {
    watcher_ = std::move(watcher);
}

}  // namespace engine

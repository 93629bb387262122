// The panorama view without its window: the panorama and view bitmaps, the
// source maps, the view angles and how they change (setters with limits and
// wrap, keys, rate dragging, timed motion, the auto-tour test), and the render
// tick that coalesces every change into at most one rebuild or column shift
// and one draw. The window side reaches it through ViewHost.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/arctangent_table.h"
#include "engine/auto_tour_watcher.h"
#include "engine/panorama_warper.h"
#include "engine/pixel_buffers.h"
#include "engine/projection.h"
#include "engine/view_host.h"

namespace engine {

// Virtual-key codes the view reacts to.
namespace view_keys {
inline constexpr std::int32_t shift = 0x10;
inline constexpr std::int32_t control = 0x11;
inline constexpr std::int32_t left = 0x25;
inline constexpr std::int32_t up = 0x26;
inline constexpr std::int32_t right = 0x27;
inline constexpr std::int32_t down = 0x28;
inline constexpr std::int32_t letterA = 0x41;
inline constexpr std::int32_t letterZ = 0x5A;
inline constexpr std::int32_t numpad1 = 0x61;
inline constexpr std::int32_t f11 = 0x7A;
}  // namespace view_keys

// Mouse button flag of a move message: the left button and nothing else.
inline constexpr std::int32_t leftButtonOnly = 0x0001;

// What a mouse wheel reports for one notch; finer wheels report parts of it.
inline constexpr std::int32_t wheelNotch = 120;

class PanoramaView {
  public:
    // Builds the arctangent table; reports a failure through the host.
    explicit PanoramaView(ViewHost& host);
    ~PanoramaView();
    PanoramaView(const PanoramaView&) = delete;
    PanoramaView& operator=(const PanoramaView&) = delete;

    // ---- image and size
    // Null, or an image without pixels or size, means no image: the bitmap and
    // maps are freed and the window shows its background. A pyramid given for
    // the image before is dropped.
    void setImage(const SourceImage* image);
    // The half-size levels of the current image, once built (null: none).
    // Until then smooth sampling reads the image alone; a pyramid made from a
    // picture of another size is ignored. It must stay valid until the next
    // setImage or setPyramid.
    void setPyramid(const SourcePyramid* pyramid);
    const SourcePyramid* pyramid() const { return pyramid_; }
    // How view pixels read the panorama; nearest unless set. Returns false,
    // keeping the sampling, when memory for smooth sampling's maps runs out.
    bool setSampling(Sampling sampling);
    Sampling sampling() const { return warper_.sampling(); }
    bool hasImage() const { return source_.pixels != nullptr; }
    const SourceImage& source() const { return source_; }
    // The view's new size in pixels (the window's client rectangle).
    void resize(std::int32_t width, std::int32_t height);
    std::int32_t viewWidth() const { return viewWidth_; }
    std::int32_t viewHeight() const { return viewHeight_; }
    std::int32_t viewStride() const { return viewStride_; }
    bool hasViewBitmap() const { return view_.pixels != nullptr; }
    const ViewBuffer& viewBuffer() const { return view_; }
    // Frees the view bitmap and maps (the window is going away).
    void releaseViewBitmap();

    // ---- rendering
    void warp();
    void shiftColumns(float delta);
    void renderTick();
    void markRecompute();
    void queuePanShift(float delta);
    Projection projection() const;
    const PanoramaWarper& warper() const { return warper_; }
    // The threads that build the bands of a rebuild or shift (see
    // PanoramaWarper): the drawing waits for all of them.
    void setThreads(std::int32_t threads) { warper_.setThreads(threads); }
    void setSmallestBand(std::size_t pixels) { warper_.setSmallestBand(pixels); }
    const ArctangentTable* arctangentTable() const { return table_.get(); }
    std::int32_t recomputePending() const { return recomputePending_; }
    std::int32_t shiftPending() const { return shiftPending_; }
    std::int32_t redrawPending() const { return redrawPending_; }
    float pendingPanDelta() const { return pendingPanDelta_; }
    bool renderingEnabled() const { return renderingEnabled_; }
    void setRenderingEnabled(bool enabled) { renderingEnabled_ = enabled; }

    // ---- navigation (radians)
    void setFov(float fov);
    void setFovAndRecompute(float fov);
    // Returns the change, from the unwrapped value: the real rotation.
    float setPan(float pan);
    void panBy(float newPan);
    void setTilt(float tilt);
    void setTiltAndRecompute(float tilt);
    void setView(float pan, float tilt, float fov);
    void startMotion(float panRate, float tiltRate, float fovRate);
    void stopMotion();
    // The motion stops without being forgotten (a card covers the view): its
    // rates and the turns an automatic tour has counted stay, and
    // resumeMotion goes on with them. Nothing happens without a motion.
    void pauseMotion();
    void resumeMotion();
    bool motionPaused() const { return motionPaused_; }
    void keyDown(std::int32_t keyCode);
    void dragBegin(std::int32_t buttonFlags, std::int32_t x, std::int32_t y);
    void dragMove(std::int32_t buttonFlags, std::int32_t x, std::int32_t y);
    // The left button went up: the drag ends and the mouse is let go.
    void dragEnd();
    // The mouse was taken away during a drag (another window, a box, a menu):
    // the drag ends as on the button's release, but the capture, no longer
    // the view's, is left alone.
    void dragLost();
    bool dragging() const { return dragging_; }
    // The wheel turned by `delta`, as its message reports it (positive:
    // forward, away from the user): each whole notch is one zoom key's step,
    // forward in and backward out. Parts of a notch add up while the wheel
    // keeps its direction.
    void wheelTurned(std::int16_t delta);
    void timerTick(std::int32_t timerId);

    float viewPan() const { return viewPan_; }
    float viewFov() const { return viewFov_; }
    float viewTilt() const { return viewTilt_; }
    float panSpeed() const { return panSpeed_; }
    float tiltSpeed() const { return tiltSpeed_; }
    float fovSpeed() const { return fovSpeed_; }
    float lastPanDelta() const { return lastPanDelta_; }
    bool motionTimerRunning() const { return motionTimerRunning_; }
    std::int32_t dragStepX() const { return dragStepX_; }
    std::int32_t dragStepY() const { return dragStepY_; }
    std::int32_t dragDivisorX() const { return dragDivisorX_; }
    std::int32_t dragDivisorY() const { return dragDivisorY_; }

    void setAutoTourWatcher(std::unique_ptr<AutoTourWatcher> watcher);
    AutoTourWatcher* autoTourWatcher() const { return watcher_.get(); }
    const TurnCounter& turnCounter() const { return turns_; }

  private:
    void createViewBitmap();
    void dragTick();
    void motionTick();
    void moveByMotion();

    ViewHost& host_;
    std::unique_ptr<ArctangentTable> table_;
    std::unique_ptr<AutoTourWatcher> watcher_;
    PanoramaWarper warper_;
    SourceImage source_;
    const SourcePyramid* pyramid_ = nullptr;
    ViewBuffer view_;

    std::int32_t viewWidth_ = 0;
    std::int32_t viewHeight_ = 0;
    std::int32_t viewStride_ = 0;

    std::int32_t recomputePending_ = 0;
    std::int32_t shiftPending_ = 0;
    std::int32_t redrawPending_ = 0;
    float pendingPanDelta_ = 0.0f;
    bool renderingEnabled_ = true;
    // Render ticks asked for during a motion tick wait for its end.
    bool insideMotionTick_ = false;
    bool renderAfterMotionTick_ = false;

    float viewFov_;
    float viewPan_ = 0.0f;
    float viewTilt_ = 0.0f;
    float fovSpeed_ = 0.0f;
    float panSpeed_ = 0.0f;
    float tiltSpeed_ = 0.0f;
    float lastPanDelta_ = 0.0f;
    bool motionTimerRunning_ = false;
    bool motionPaused_ = false;
    TurnCounter turns_;

    std::int32_t dragStartX_ = 0;
    std::int32_t dragStartY_ = 0;
    std::int32_t dragX_ = 0;
    std::int32_t dragY_ = 0;
    std::int32_t dragStepX_ = 0;
    std::int32_t dragStepY_ = 0;
    std::int32_t dragDivisorX_ = 2;
    std::int32_t dragDivisorY_ = 50;
    bool dragging_ = false;
    std::int32_t wheelRemainder_ = 0;
};

}  // namespace engine

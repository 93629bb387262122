// The panorama view's renderer on Windows: owns the view's device-independent
// section, the display-dib handle, the window's device context and the
// background brush, and lets the engine core fill the section's pixels.
#pragma once

#include <windows.h>
#include <vfw.h>

#include <memory>

#include "engine/panorama_view.h"
#include "engine/view_host.h"
#include "platform/display_dib.h"
#include "platform/scoped_handle.h"
#include "viewer/fade_frames.h"
#include "viewer/link_overlay.h"

namespace viewer {

class ViewRenderer : private engine::ViewHost {
  public:
    // Builds the engine core (with its arctangent table) unattached.
    ViewRenderer();
    virtual ~ViewRenderer();
    ViewRenderer(const ViewRenderer&) = delete;
    ViewRenderer& operator=(const ViewRenderer&) = delete;

    // Re-reads the window's client rectangle; nothing while unattached.
    virtual void resize();
    // Takes the window's device context and a display-dib handle (none for no
    // window), then resizes.
    virtual void attachWindow(HWND window);
    // Shows the view bitmap 1:1 at the client origin with the scene's links
    // over it, or paints the background while there is no bitmap.
    virtual void draw();

    // Releases the device context if the window still exists, deletes the
    // background brush and forgets the window. Returns whether a device context
    // was released.
    bool detachWindow();
    HDC deviceContext() const { return deviceContext_.get(); }
    HWND window() const { return window_; }
    // The panorama: 24-bit bottom-up rows, valid until the next setImage; null
    // (or an image without pixels) for none.
    void setImage(const engine::SourceImage* image) { core_->setImage(image); }
    void setAutoTourWatcher(std::unique_ptr<engine::AutoTourWatcher> watcher) {
        core_->setAutoTourWatcher(std::move(watcher));
    }
    // The sibling window whose region is cut out of the view window's region.
    void setOverlapWindow(HWND window) { overlapWindow_ = window; }
    HWND overlapWindow() const { return overlapWindow_; }
    void timerTick(std::int32_t timerId) { core_->timerTick(timerId); }

    // The links drawn over the view.
    LinkOverlay& links() { return links_; }
    const LinkOverlay& links() const { return links_; }

    // A cross-fade's frames, mixed into each drawing while it runs.
    FadeFrames& fade() { return fade_; }
    // The fade is over: the view gets the new scene's own frame back.
    void endFade();

    // Navigation and rendering of the view.
    engine::PanoramaView& view() { return *core_; }
    const engine::PanoramaView& view() const { return *core_; }

  private:
    // ViewHost
    void startTimer(engine::ViewTimer timer) override;
    void stopTimer(engine::ViewTimer timer) override;
    void captureMouse() override;
    void releaseMouse() override;
    engine::ViewBuffer createViewBitmap(std::int32_t width, std::int32_t height,
                                        std::int32_t stride) override;
    void deleteViewBitmap() override;
    void drawView() override { draw(); }
    [[noreturn]] void outOfMemory() override;

    void releaseDeviceContext();

    HWND window_ = nullptr;
    HWND overlapWindow_ = nullptr;
    platform::WindowDC deviceContext_;
    platform::UniqueBrush backgroundBrush_;
    platform::UniqueDisplayDib displayDib_;
    platform::UniqueBitmap viewBitmap_;
    void* viewPixels_ = nullptr;
    BITMAPINFOHEADER viewHeader_{};
    RECT clientRect_{};
    LinkOverlay links_;
    FadeFrames fade_;
    std::unique_ptr<engine::PanoramaView> core_;
};

}  // namespace viewer

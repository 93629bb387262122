#include "viewer/view_renderer.h"

#include "platform/process_end.h"

namespace viewer {

namespace {

constexpr COLORREF backgroundColour = RGB(198, 195, 198);
constexpr UINT renderPeriodMs = 40;
// Drawn with the background palette, as the view is never the foreground
// palette's owner.
constexpr UINT drawFlags = DDF_BACKGROUNDPAL;

}  // namespace

ViewRenderer::ViewRenderer() : backgroundBrush_(CreateSolidBrush(backgroundColour)) {
    engine::ViewHost& host = *this;
    core_ = std::make_unique<engine::PanoramaView>(host);
    attachWindow(nullptr);
}

ViewRenderer::~ViewRenderer() {
    displayDib_.reset();
    releaseDeviceContext();
    core_->releaseViewBitmap();
}

void ViewRenderer::resize() {
    if (window_ == nullptr) {
        return;
    }
    GetClientRect(window_, &clientRect_);
    core_->resize(clientRect_.right - clientRect_.left, clientRect_.bottom - clientRect_.top);
}

void ViewRenderer::attachWindow(HWND window) {
    // A handle from an earlier window is given back rather than lost.
    displayDib_.reset();
    releaseDeviceContext();
    window_ = window;
    if (window == nullptr) {
        return;
    }
    deviceContext_ = platform::WindowDC(window);
    displayDib_.reset(DrawDibOpen());
    resize();
}

void ViewRenderer::draw() {
    if (!deviceContext_) {
        return;
    }
    const std::int32_t width = core_->viewWidth();
    const std::int32_t height = core_->viewHeight();
    if (viewBitmap_ && core_->hasViewBitmap()) {
        const engine::PanoramaWarper& warper = core_->warper();
        if (fade_.active()) {
            fade_.mix(core_->viewBuffer(), warper.pictureCount());
            links_.viewReplaced();  // what the markers covered was mixed
        }
        links_.drawOver(core_->viewBuffer(), warper.shownView(), warper.pictureCount(),
                        viewBitmap_.get());
        if (displayDib_) {
            DrawDibBegin(displayDib_.get(), deviceContext_.get(), width, height, &viewHeader_,
                         width, height, drawFlags);
            DrawDibDraw(displayDib_.get(), deviceContext_.get(), 0, 0, width, height, &viewHeader_,
                        viewPixels_, 0, 0, width, height, drawFlags);
        }
    } else if (backgroundBrush_) {
        FillRect(deviceContext_.get(), &clientRect_, backgroundBrush_.get());
    }
}

void ViewRenderer::endFade() {
    if (fade_.active()) {
        fade_.end(core_->viewBuffer(), core_->warper().pictureCount());
        links_.viewReplaced();
    }
}

bool ViewRenderer::detachWindow() {
    const bool released = deviceContext_ && window_ != nullptr && IsWindow(window_);
    releaseDeviceContext();
    backgroundBrush_.reset();
    window_ = nullptr;
    return released;
}

void ViewRenderer::releaseDeviceContext() {
    if (window_ != nullptr && IsWindow(window_)) {
        deviceContext_.reset();
    } else {
        deviceContext_.release();  // went with its window
    }
}

void ViewRenderer::startTimer(engine::ViewTimer timer) {
    if (window_ != nullptr) {
        SetTimer(window_, static_cast<UINT_PTR>(timer), renderPeriodMs, nullptr);
    }
}

void ViewRenderer::stopTimer(engine::ViewTimer timer) {
    if (window_ != nullptr) {
        KillTimer(window_, static_cast<UINT_PTR>(timer));
    }
}

void ViewRenderer::captureMouse() {
    if (window_ != nullptr) {
        SetFocus(window_);
        SetCapture(window_);
    }
}

void ViewRenderer::releaseMouse() {
    ReleaseCapture();
}

engine::ViewBuffer ViewRenderer::createViewBitmap(std::int32_t width, std::int32_t height,
                                                  std::int32_t stride) {
    deleteViewBitmap();
    viewHeader_ = BITMAPINFOHEADER{};
    viewHeader_.biSize = sizeof(BITMAPINFOHEADER);
    viewHeader_.biWidth = width;
    viewHeader_.biHeight = height;  // positive: bottom-up
    viewHeader_.biPlanes = 1;
    viewHeader_.biBitCount = 24;
    viewHeader_.biCompression = BI_RGB;
    BITMAPINFO info{};
    info.bmiHeader = viewHeader_;
    void* pixels = nullptr;
    viewBitmap_.reset(
        CreateDIBSection(deviceContext_.get(), &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!viewBitmap_) {
        return engine::ViewBuffer{};
    }
    viewPixels_ = pixels;
    return engine::ViewBuffer{static_cast<std::uint8_t*>(pixels), width, height, stride};
}

void ViewRenderer::deleteViewBitmap() {
    links_.viewReplaced();
    viewBitmap_.reset();
    viewPixels_ = nullptr;
}

void ViewRenderer::outOfMemory() {
    platform::reportOutOfMemoryAndExit();
}

}  // namespace viewer

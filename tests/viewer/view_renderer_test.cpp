// The Windows renderer on a real window: what reaches the screen is, pixel for
// pixel, what `tourpack render` makes of the same panorama and view.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bmp_file.h"
#include "engine/angles.h"
#include "viewer/view_renderer.h"
#include "platform/scoped_handle.h"
#include "scratch_files.h"
#include "screen_capture.h"
#include "test_window.h"

namespace {

constexpr int viewWidth = 480;
constexpr int viewHeight = 360;

using test_support::besideThisProgram;
using test_support::Bitmap24;
using test_support::differingPixels;
using test_support::readBmp;
using test_support::runProgram;
using test_support::writeBmp;

// A visible top-level window without frame whose client area is the view.
class ViewWindow {
  public:
    ViewWindow() {
        test_support::TestWindowOptions options;
        options.className = "EngineTestView";
        options.title = "view";
        options.style = WS_POPUP | WS_VISIBLE;
        options.extendedStyle = WS_EX_TOPMOST;
        options.width = viewWidth;
        options.height = viewHeight;
        window_ = test_support::createTestWindow(options);
        pumpMessages();
    }
    HWND handle() const { return window_.get(); }

    static void pumpMessages() { test_support::pumpMessages(200); }

    Bitmap24 screenshot() const { return test_support::screenshotOf(window_.get()); }

  private:
    platform::UniqueWindow window_;
};

Bitmap24 noisePanorama(int width, int height) {
    Bitmap24 panorama;
    panorama.width = width;
    panorama.height = height;
    panorama.stride = static_cast<int>(test_support::bmpStride(width));
    panorama.pixels.assign(static_cast<std::size_t>(panorama.stride) * height, 0);
    std::mt19937 random(42);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width * 3; ++x) {
            panorama.pixels[static_cast<std::size_t>(y) * panorama.stride + x] =
                static_cast<std::uint8_t>(random());
        }
    }
    return panorama;
}

struct View {
    float pan;
    float tilt;
    float fov;
};

class WindowView : public ::testing::TestWithParam<View> {};

// The engine as it starts, with the exact warp, against render of the same.
TEST_P(WindowView, ScreenEqualsTourpackRender) {
    const View view = GetParam();
    const Bitmap24 panorama = noisePanorama(1001, 500);
    const test_support::TempFolder folder;
    const std::string panoramaFile = (folder.path() / "engine-test-panorama.bmp").string();
    const std::string renderedFile = (folder.path() / "engine-test-render.bmp").string();
    writeBmp(panoramaFile, panorama);
    char arguments[256];
    std::snprintf(arguments, sizeof arguments,
                  " render \"%s\" --sampling nearest --pan %g --tilt %g --fov %g -o \"%s\"",
                  panoramaFile.c_str(), static_cast<double>(view.pan),
                  static_cast<double>(view.tilt), static_cast<double>(view.fov),
                  renderedFile.c_str());
    ASSERT_EQ(runProgram("\"" + besideThisProgram("tourpack.exe") + "\"" + arguments), 0);
    Bitmap24 expected;
    ASSERT_TRUE(readBmp(renderedFile, expected));
    ASSERT_EQ(expected.width, viewWidth);
    ASSERT_EQ(expected.height, viewHeight);

    ViewWindow window;
    ASSERT_NE(window.handle(), nullptr);
    viewer::ViewRenderer renderer;
    renderer.attachWindow(window.handle());
    EXPECT_NE(renderer.deviceContext(), nullptr);
    EXPECT_EQ(renderer.view().viewWidth(), viewWidth);
    EXPECT_EQ(renderer.view().viewHeight(), viewHeight);
    const engine::SourceImage image{panorama.pixels.data(), panorama.width, panorama.height,
                                    panorama.stride};
    renderer.setImage(&image);
    const engine::ViewRadians radians =
        engine::viewRadiansFromDegrees(view.pan, view.tilt, view.fov);
    renderer.view().setView(radians.pan, radians.tilt, radians.fov);
    renderer.timerTick(1);
    ViewWindow::pumpMessages();
    renderer.draw();
    GdiFlush();
    ViewWindow::pumpMessages();
    const Bitmap24 shot = window.screenshot();
    EXPECT_EQ(differingPixels(shot, expected), 0);
    EXPECT_TRUE(renderer.detachWindow());
}

INSTANTIATE_TEST_SUITE_P(Views, WindowView,
                         ::testing::Values(View{30.0f, 10.0f, 90.0f}, View{-120.0f, -35.0f, 60.0f},
                                           View{179.0f, 0.0f, 150.0f}));

// Without an image the renderer paints its background colour.
TEST(WindowBackground, NoImageShowsTheBackgroundBrush) {
    ViewWindow window;
    viewer::ViewRenderer renderer;
    renderer.attachWindow(window.handle());
    renderer.setImage(nullptr);
    renderer.timerTick(1);
    renderer.draw();
    GdiFlush();
    ViewWindow::pumpMessages();
    const Bitmap24 shot = window.screenshot();
    const std::size_t middle = static_cast<std::size_t>(viewHeight / 2) * shot.stride + 3 * 240;
    EXPECT_EQ(shot.pixels[middle], 198);      // blue
    EXPECT_EQ(shot.pixels[middle + 1], 195);  // green
    EXPECT_EQ(shot.pixels[middle + 2], 198);  // red
    EXPECT_FALSE(renderer.view().hasViewBitmap());
}

}  // namespace

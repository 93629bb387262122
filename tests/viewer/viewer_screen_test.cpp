// What the view window puts on the screen is what the engine renders: at the
// start view, as `tourpack render` makes it, and after the view has moved.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "bmp_file.h"
#include "engine/angles.h"
#include "screen_capture.h"
#include "viewer_fixture.h"

namespace {

using namespace test_support;
using std::chrono::milliseconds;
using test_support::Bitmap24;

// A panorama with detail everywhere: every pixel its own colour.
test_support::Bytes patternedPanorama(int width, int height) {
    const std::size_t stride = test_support::bmpStride(width);
    test_support::Bytes rows(stride * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = rows.data() + y * stride + 3 * x;
            pixel[0] = static_cast<std::uint8_t>(x * 7 + y);
            pixel[1] = static_cast<std::uint8_t>(y * 5);
            pixel[2] = static_cast<std::uint8_t>(x ^ y);
        }
    }
    return test_support::bmpFile(width, height, rows.data());
}

class ViewerScreenTest : public ViewerTest {
  protected:
    void openPatternedTour(const char* sampling = "smooth") {
        makeTour(2, [&](nlohmann::json& m) {
            m["sampling"] = sampling;
            test_support::writeFile(folder_.path() / "source" / "scene1.bmp",
                                    patternedPanorama(720, 300));
            m["scenes"][0]["pan"] = 30;
            m["scenes"][0]["tilt"] = 10;
            m["scenes"][0]["fieldOfView"] = 80;
        });
        openViewer();
        SetWindowPos(parent_->window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        settle();
    }

    // Pumps until the screen shows what the engine says the view shows: the
    // render ticks and paints have run.
    void settle() const {
        Bitmap24 shot;
        differingOnceShown([&] { return engineView(); }, shot);
    }

    Bitmap24 screen() const { return test_support::screenshotOf(viewer_->viewWindow()); }

    // Pixels by which the screen differs from `expected` once it has caught
    // up (half a minute at most): a busy machine puts the last frame on the
    // screen late. `shot` is the last screenshot taken.
    int differingOnceShown(const std::function<Bitmap24()>& expected, Bitmap24& shot) const {
        // A screenshot costs the processor the renderer needs: one every 100 ms.
        auto next = std::chrono::steady_clock::now();
        int differing = -1;
        pumpUntil(
            [&] {
                if (std::chrono::steady_clock::now() < next) {
                    return false;
                }
                next += milliseconds(100);
                shot = screen();
                differing = test_support::differingPixels(shot, expected());
                return differing == 0;
            },
            std::chrono::seconds(30));
        return differing;
    }

    // The player's view of the start view against tourpack's render of it,
    // smoothly once the pyramid is there; the render is kept.
    void expectStartViewAsRendered(const char* sampling) {
        openPatternedTour(sampling);
        const std::string rendered = (folder_.path() / "rendered.bmp").string();
        const std::string command = "\"" + test_support::besideThisProgram("tourpack.exe") +
                                    "\" render \"" + (folder_.path() / "tour.exe").string() +
                                    "\" --scene 1 --size 480x360 -o \"" + rendered + "\"";
        ASSERT_EQ(test_support::runProgram(command), 0) << command;
        ASSERT_TRUE(test_support::readBmp(rendered, rendered_));
        Bitmap24 shot;
        EXPECT_EQ(differingOnceShown([&] { return rendered_; }, shot), 0);
    }
    Bitmap24 rendered_;

    // The engine's own view bitmap: what it says the view shows now.
    Bitmap24 engineView() const {
        const engine::ViewBuffer& buffer = viewer_->renderer()->view().viewBuffer();
        Bitmap24 out{buffer.width, buffer.height, buffer.stride, {}};
        out.pixels.assign(buffer.pixels,
                          buffer.pixels + static_cast<std::size_t>(buffer.stride) * buffer.height);
        return out;
    }
};

TEST_F(ViewerScreenTest, TheStartViewOnScreenEqualsTourpackRender) {
    expectStartViewAsRendered("smooth");
}

TEST_F(ViewerScreenTest, TheExactWarpOnScreenEqualsTourpackRenderToo) {
    expectStartViewAsRendered("nearest");
    const Bitmap24 nearest = rendered_;
    const std::string smooth = (folder_.path() / "smooth.bmp").string();
    ASSERT_EQ(test_support::runProgram("\"" + test_support::besideThisProgram("tourpack.exe") +
                                       "\" render \"" + (folder_.path() / "tour.exe").string() +
                                       "\" --scene 1 --size 480x360 --sampling smooth -o \"" +
                                       smooth + "\""),
              0);
    Bitmap24 smoothRender;
    ASSERT_TRUE(test_support::readBmp(smooth, smoothRender));
    EXPECT_GT(test_support::differingPixels(nearest, smoothRender), 1000);  // two looks indeed
}

TEST_F(ViewerScreenTest, AfterAKeyAndADragTheScreenShowsTheEnginesView) {
    openPatternedTour();
    const Bitmap24 before = screen();
    SendMessageA(viewer_->viewWindow(), WM_KEYDOWN, VK_RIGHT, 1);
    pumpFor(milliseconds(300));
    viewer_->stopTurning();
    settle();
    Bitmap24 turned;
    EXPECT_EQ(differingOnceShown([&] { return engineView(); }, turned), 0);
    EXPECT_GT(test_support::differingPixels(turned, before), 1000);

    // A drag to the left and down, then release.
    SendMessageA(viewer_->viewWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(240, 180));
    SendMessageA(viewer_->viewWindow(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(140, 230));
    pumpFor(milliseconds(300));
    SendMessageA(viewer_->viewWindow(), WM_LBUTTONUP, 0, MAKELPARAM(140, 230));
    settle();
    Bitmap24 dragged;
    EXPECT_EQ(differingOnceShown([&] { return engineView(); }, dragged), 0);
    EXPECT_GT(test_support::differingPixels(dragged, turned), 1000);
}

}  // namespace

// A Viewer with a real view window inside a real parent window, showing tours
// made by the packer and read by the player's own reader.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/link_projection.h"
#include "viewer/viewer.h"
#include "manifest/manifest.h"
#include "package/tour_loader.h"
#include "package/package_writer.h"
#include "platform/scoped_handle.h"
#include "scoped_temp_directory.h"
#include "test_window.h"
#include "tour_source.h"

namespace test_support {

namespace fs = std::filesystem;

// The main window's stand-in: records what the view window forwards.
struct ParentWindow {
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (auto* self =
                reinterpret_cast<ParentWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
            if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_COMMAND ||
                message == WM_RBUTTONUP) {
                self->forwarded.push_back({message, wParam, lParam});
            }
            if (message == WM_TIMER && self->onTimer) {
                KillTimer(window, wParam);
                auto action = std::move(self->onTimer);
                action();
                return 0;
            }
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    ParentWindow() {
        TestWindowOptions options;
        options.className = "ViewerTestParent";
        options.procedure = procedure;
        options.title = "viewer test";
        options.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
        options.width = 600;
        options.height = 500;
        options.userData = this;
        owner = createTestWindow(options);
        window = owner.get();
        ShowWindow(window, SW_SHOW);
    }

    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    HWND window = nullptr;
    std::vector<Message> forwarded;
    std::function<void()> onTimer;
    // Last: the window goes first, while what its procedure records is there.
    platform::UniqueWindow owner;
};

// A link to scene `target` (by position) at (pan, tilt) in degrees.
inline package::SceneLink linkTo(std::int32_t target, float pan, float tilt) {
    package::SceneLink link;
    link.target = target;
    link.pan = pan;
    link.tilt = tilt;
    return link;
}

struct SceneRecorder : viewer::SceneChangeListener {
    void sceneChanged(std::int32_t sceneNumber) override { shown.push_back(sceneNumber); }
    std::vector<std::int32_t> shown;
};

class ViewerTest : public ::testing::Test {
  protected:
    ViewerTest() : temp_((fs::create_directories(scratch_), scratch_)) {}
    ~ViewerTest() override {
        viewer_.reset();
        parent_.reset();
        if (tour_) {
            loader_.deleteExtractedFiles(*tour_);
        }
    }

    // A tour of `scenes` BMP scenes, changed by `edit` before it is packed.
    void makeTour(int scenes, const std::function<void(nlohmann::json&)>& edit = {}) {
        auto source = makeTourSource(folder_.path() / "source", scenes);
        for (int k = 1; k <= scenes; ++k) {
            // Panoramas big enough to turn in: 360 x 120, one colour each.
            writeFile(source.folder / ("scene" + std::to_string(k) + ".bmp"),
                      bmpPicture(360, 120, static_cast<std::uint8_t>(60 * k), 100, 200));
        }
        source.manifest["autoPlay"] = false;  // tests start the tour themselves
        // Scene changes cut in, as the viewer's own tests expect; the tests of
        // walks and fades ask for theirs.
        source.manifest["transition"] = "none";
        if (edit) {
            edit(source.manifest);
        }
        source.save();
        std::vector<std::string> warnings;
        const auto manifest = tourpack::readManifest(source.manifestPath(), warnings);
        const fs::path exe = folder_.path() / "tour.exe";
        tourpack::buildPackage(manifest, exe, {}, warnings);
        package::PackageError error;
        tour_ = loader_.read(exe.string().c_str(), error);
        ASSERT_TRUE(tour_) << error.what;
    }

    // The shell's order: tour, mode, window, listener, start.
    void openViewer(bool startIt = true) {
        parent_ = std::make_unique<ParentWindow>();
        viewer_ = std::make_unique<viewer::Viewer>();
        viewer_->setTour(tour_.get());
        viewer_->setMode(0);
        viewer_->createViewWindow(parent_->window, RECT{0, 36, 480, 396});
        viewer_->setSceneListener(&recorder_);
        if (startIt) {
            viewer_->start();
            waitForScene();
        }
    }

    // Runs the thread's messages until the image of the scene asked for last
    // (decoded on a worker) is on the view.
    void waitForScene() {
        ASSERT_TRUE(pumpUntil([&] { return !viewer_->mediaManager().imageDue(); },
                              std::chrono::seconds(20)));
    }

    std::size_t soundFilesLeft() { return filesWithPrefix(scratch_, "QRX").size(); }

    engine::PanoramaView& view() { return viewer_->renderer()->view(); }
    // Renders what is pending and draws it, as the render timer does.
    void settle() {
        view().renderTick();
        viewer_->renderer()->draw();
    }
    // The view pixel where the direction (pan, tilt) in degrees lies now.
    std::optional<engine::ViewPoint> projected(float pan, float tilt) {
        return engine::viewPointOfDegrees(view().warper().shownView(), pan, tilt);
    }

    TempFolder folder_;
    fs::path scratch_ = folder_.path() / "tmp";
    ScopedTempDirectory temp_;
    package::TourLoader loader_;
    std::unique_ptr<package::Tour> tour_;
    std::unique_ptr<ParentWindow> parent_;
    std::unique_ptr<viewer::Viewer> viewer_;
    SceneRecorder recorder_;
};

}  // namespace test_support

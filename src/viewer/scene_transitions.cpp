#include "viewer/scene_transitions.h"

#include <chrono>
#include <utility>

#include "viewer/view_renderer.h"

namespace viewer {

SceneTransitions::SceneTransitions()
    : nowMs_([] {
          return std::chrono::duration<double, std::milli>(
                     std::chrono::steady_clock::now().time_since_epoch())
              .count();
      }) {}

void SceneTransitions::attach(ViewRenderer* renderer, HWND window) {
    renderer_ = renderer;
    window_ = window;
}

double SceneTransitions::elapsedMs() const {
    return nowMs_() - startedMs_;
}

void SceneTransitions::startFrames() {
    startedMs_ = nowMs_();
    if (!framesRunning_ && window_ != nullptr) {
        framesRunning_ = SetTimer(window_, timerId, frameMilliseconds, nullptr) != 0;
    }
}

void SceneTransitions::stopFrames() {
    if (framesRunning_ && window_ != nullptr && IsWindow(window_)) {
        KillTimer(window_, timerId);
    }
    framesRunning_ = false;
}

void SceneTransitions::followLink(float linkPan, float linkTilt, std::function<void()> arrive) {
    linkFadeNext_ = true;
    if (kind_ != package::SceneTransition::walk || renderer_ == nullptr ||
        !renderer_->view().hasViewBitmap()) {
        arrive();
        return;
    }
    if (stage_ == Stage::fading) {
        endFade();
    }
    engine::PanoramaView& view = renderer_->view();
    view.stopMotion();
    turn_.emplace(engine::ViewAngles{view.viewPan(), view.viewTilt(), view.viewFov()}, linkPan,
                  linkTilt);
    arrive_ = std::move(arrive);
    cutNext_ = false;
    stage_ = Stage::turning;
    startFrames();
}

void SceneTransitions::sceneAsked(bool sceneOnShow) {
    if (stage_ == Stage::turning) {
        turn_.reset();
        arrive_ = nullptr;  // overtaken: its scene is never asked for
    } else if (stage_ == Stage::fading) {
        endFade();
    }
    stopFrames();
    const bool fades = kind_ != package::SceneTransition::none && sceneOnShow && !cutNext_;
    fadeMs_ = linkFadeNext_ ? engine::CrossFade::afterWalkMs : engine::CrossFade::aloneMs;
    linkFadeNext_ = false;
    cutNext_ = false;
    stage_ = fades ? Stage::waiting : Stage::idle;
}

void SceneTransitions::sceneArriving() {
    if (stage_ != Stage::waiting) {
        return;
    }
    stage_ = Stage::idle;
    if (renderer_ != nullptr && renderer_->view().hasViewBitmap() &&
        renderer_->fade().begin(renderer_->view().viewBuffer())) {
        stage_ = Stage::fading;
        startFrames();
        // The fade's time runs from its first frame: installing a scene
        // (its sound starts too) may hold this thread longer than a fade.
        fadeStarted_ = false;
    }
}

void SceneTransitions::cancel() {
    if (stage_ == Stage::fading) {
        endFade();
    }
    turn_.reset();
    arrive_ = nullptr;
    linkFadeNext_ = false;
    cutNext_ = false;
    stage_ = Stage::idle;
    stopFrames();
}

void SceneTransitions::finish() {
    switch (stage_) {
        case Stage::turning:
            cutNext_ = true;
            askForScene();
            break;
        case Stage::waiting:
            stage_ = Stage::idle;
            break;
        case Stage::fading:
            endFade();
            break;
        case Stage::idle:
            break;
    }
}

void SceneTransitions::tick() {
    switch (stage_) {
        case Stage::turning:
            turnStep();
            break;
        case Stage::fading:
            fadeStep();
            break;
        default:
            stopFrames();
            break;
    }
}

void SceneTransitions::turnStep() {
    const double elapsed = elapsedMs();
    const engine::ViewAngles angles = turn_->at(elapsed);
    renderer_->view().setView(angles.pan, angles.tilt, angles.fov);
    renderer_->timerTick(static_cast<std::int32_t>(engine::ViewTimer::render));
    if (engine::WalkTurn::finished(elapsed)) {
        askForScene();
    }
}

void SceneTransitions::askForScene() {
    turn_.reset();
    stage_ = Stage::idle;
    stopFrames();
    // Asking may install a scene decoded ahead at once, which starts its fade.
    if (auto arrive = std::exchange(arrive_, nullptr)) {
        linkFadeNext_ = true;
        arrive();
    }
}

void SceneTransitions::fadeStep() {
    if (!fadeStarted_) {
        fadeStarted_ = true;
        startedMs_ = nowMs_();
    }
    const double elapsed = elapsedMs();
    const engine::CrossFade fade(fadeMs_);
    if (fade.finished(elapsed)) {
        endFade();
        return;
    }
    renderer_->fade().setWeight(fade.weightAt(elapsed));
    renderer_->draw();
}

void SceneTransitions::endFade() {
    stage_ = Stage::idle;
    stopFrames();
    if (renderer_ != nullptr) {
        renderer_->endFade();
        renderer_->draw();
    }
}

}  // namespace viewer

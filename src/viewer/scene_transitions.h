// How the view goes from one scene to the next, as the tour chooses: walking
// through a link (the view turns toward it and narrows, then the link's scene
// fades in), a cross-fade alone, or a cut. It runs on the view window's own
// frame timer, faster than navigation's tick because its frames are few;
// while it waits for a scene's picture the window answers as ever.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>

#include "engine/scene_transition.h"
#include "package/tour.h"

namespace viewer {

class ViewRenderer;

class SceneTransitions {
  public:
    static constexpr UINT_PTR timerId = 4;  // beside the render, drag and motion timers
    static constexpr UINT frameMilliseconds = 15;

    enum class Stage { idle, turning, waiting, fading };

    SceneTransitions();

    // The renderer whose view turns and fades, and the window whose timer
    // drives the frames.
    void attach(ViewRenderer* renderer, HWND window);
    void setKind(package::SceneTransition kind) { kind_ = kind; }
    package::SceneTransition kind() const { return kind_; }
    Stage stage() const { return stage_; }

    // A link at (linkPan, linkTilt) (radians) is followed: with a walk the
    // view turns toward it first; `arrive` then asks for its scene, which
    // fades in. Otherwise `arrive` is called at once.
    void followLink(float linkPan, float linkTilt, std::function<void()> arrive);
    // A scene was asked for. While another scene is on show its picture will
    // fade in when it comes; a walk still turning is given up, so that the
    // newest scene is the one shown.
    void sceneAsked(bool sceneOnShow);
    // The scene asked for is about to replace the view's picture: the fade
    // starts from what the screen shows now.
    void sceneArriving();
    // Nothing fades: a picture file, the end of the run.
    void cancel();
    // Input during a walk or a fade ends it at once: a turning walk asks for
    // its scene now, which then cuts in, and a fade shows its scene whole.
    void finish();
    // The frame timer's tick.
    void tick();
    // Where the frames read the time, in milliseconds (a steady clock; tests
    // step their own).
    void setClock(std::function<double()> nowMs) { nowMs_ = std::move(nowMs); }

  private:
    double elapsedMs() const;
    void startFrames();
    void stopFrames();
    void turnStep();
    void fadeStep();
    void endFade();
    void askForScene();

    ViewRenderer* renderer_ = nullptr;
    HWND window_ = nullptr;
    package::SceneTransition kind_ = package::SceneTransition::none;
    Stage stage_ = Stage::idle;
    std::function<double()> nowMs_;
    double startedMs_ = 0.0;
    std::optional<engine::WalkTurn> turn_;
    std::function<void()> arrive_;
    // How long the next fade takes; a link's follows its turn.
    double fadeMs_ = engine::CrossFade::aloneMs;
    bool linkFadeNext_ = false;
    // The next scene cuts in (input finished its walk).
    bool cutNext_ = false;
    bool framesRunning_ = false;
    bool fadeStarted_ = false;
};

}  // namespace viewer

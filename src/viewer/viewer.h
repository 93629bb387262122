// The one object through which the player shows a tour: it makes the view
// window (class "OrbiViewer", a child of the main window, which destroys it)
// and owns the renderer, the scene media manager and the two sound players,
// turns the shell's commands into calls on them and routes the view window's
// messages to the renderer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/auto_tour_watcher.h"
#include "viewer/panorama_levels.h"
#include "viewer/scene_transitions.h"
#include "viewer/note_card.h"
#include "viewer/view_renderer.h"
#include "imaging/scene_listeners.h"
#include "imaging/scene_media_manager.h"
#include "platform/base_window.h"
#include "sound/sound_player.h"

namespace package {
class Scene;
class Tour;
}  // namespace package

namespace viewer {

// Told which scene is shown once its image is on screen (the shell's status
// text and scene menu).
class SceneChangeListener {
  public:
    virtual ~SceneChangeListener() = default;
    virtual void sceneChanged(std::int32_t sceneNumber) = 0;
};

// What the shell and the toolbar call. Angles are degrees; scene numbers are
// 1-based positions.
class TourViewer {
  public:
    virtual ~TourViewer() = default;
    virtual void setMode(std::int32_t mode) = 0;
    virtual void previousScene() = 0;
    virtual void nextScene() = 0;
    virtual void toggleMute() = 0;
    virtual void volumeUp() = 0;
    virtual void volumeDown() = 0;
    virtual void turnLeft() = 0;
    virtual void turnRight() = 0;
    virtual void turnUp() = 0;
    virtual void turnDown() = 0;
    virtual void stopTurning() = 0;
    virtual void autoRotate() = 0;
    virtual void playTour() = 0;
    virtual void setViewDegrees(float pan, float tilt, float fov) = 0;
    virtual void goToScene(std::int32_t sceneNumber) = 0;
    virtual void showSceneAt(std::int32_t sceneNumber, float pan, float tilt, float fov) = 0;
    virtual float fovDegrees() const = 0;
    virtual float panDegrees() const = 0;
    virtual float tiltDegrees() const = 0;
    virtual void createViewWindow(HWND parent, const RECT& rectangle) = 0;
    virtual HWND viewWindow() const = 0;
    virtual void setFullToolbarWindow(HWND toolbar) = 0;
    virtual void setTour(package::Tour* tour) = 0;
    virtual void moveViewWindow(const RECT& rectangle) = 0;
    virtual void refresh() = 0;
    virtual void start() = 0;
    virtual void setSceneListener(SceneChangeListener* listener) = 0;
    virtual std::int32_t currentSceneNumber() const = 0;
    virtual void purgeSceneImages() = 0;
    virtual void resetView() = 0;
    virtual void zoomIn() = 0;
    virtual void zoomOut() = 0;
};

class Viewer;

// Installs each scene image the media manager hands over, tells the shell,
// and applies the scene's start view. The manager owns it.
class ViewerImageListener : public imaging::SceneImageListener {
  public:
    ViewerImageListener(ViewRenderer* renderer, Viewer* viewer)
        : renderer_(renderer), viewer_(viewer) {}
    void imageReady(const imaging::DibImage* image) override;
    bool showsPreviews() const override { return true; }
    // The preview is shown as the scene: the shell hears of the scene now and
    // the start view is applied; the full image then only takes its place.
    void previewReady(const imaging::DibImage* image) override;
    // The image on show has its pyramid now: the view reads it from the next
    // frame on.
    void levelsReady(const imaging::DibImage* image) override;
    virtual void setRenderingEnabled(bool enabled);
    // Radians, stored as given.
    virtual void setStartView(float pan, float tilt, float fov);
    virtual void setSceneNumber(std::int32_t sceneNumber) { sceneNumber_ = sceneNumber; }
    virtual void setListener(SceneChangeListener* listener) { listener_ = listener; }
    // The scene whose links the next image shows (0: none, a picture file).
    void setLinkScene(std::int32_t sceneNumber) { linkScene_ = sceneNumber; }

    std::int32_t sceneNumber() const { return sceneNumber_; }

  private:
    // Puts the image on the view as the scene's: links, the shell told, the
    // start view.
    void showScene(const imaging::DibImage* image, bool full);
    // The image's pixels, and its pyramid when it has one, on the view.
    void setImage(const imaging::DibImage* image);
    void drawNow();

    ViewRenderer* renderer_;
    Viewer* viewer_;
    // The image on the view (valid until the manager hands over the next).
    const imaging::DibImage* shown_ = nullptr;
    std::int32_t sceneNumber_ = 0;
    std::int32_t linkScene_ = 0;
    // A preview of the scene is on the view; its full image is due.
    bool previewShown_ = false;
    float startPan_ = 0.0f;
    float startTilt_ = 0.0f;
    float startFov_ = 0.0f;
    SceneChangeListener* listener_ = nullptr;
};

// Plays each scene's sound once on the scene player, muted when the tour's
// sound is off. The manager owns it.
class ViewerSoundListener : public imaging::SceneSoundListener {
  public:
    ViewerSoundListener(SoundPlayer* player, package::Tour* tour) : player_(player), tour_(tour) {}
    void soundReady(package::TempFile* file) override;

  private:
    SoundPlayer* player_;
    package::Tour* tour_;
};

class Viewer : public TourViewer, public engine::SceneStepper, private platform::BaseWindow {
  public:
    // The view window's class.
    static constexpr const char* className = "OrbiViewer";
    static constexpr UINT_PTR renderTimerId = 1;
    static constexpr UINT renderTimerMilliseconds = 40;

    Viewer();
    ~Viewer() override;
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    void setMode(std::int32_t mode) override;
    void previousScene() override { showPreviousScene(true); }
    void nextScene() override { showNextScene(true); }
    void toggleMute() override;
    void volumeUp() override;
    void volumeDown() override;
    void turnLeft() override;
    void turnRight() override;
    void turnUp() override;
    void turnDown() override;
    void stopTurning() override;
    void autoRotate() override;
    void playTour() override;
    void setViewDegrees(float pan, float tilt, float fov) override;
    void goToScene(std::int32_t sceneNumber) override;
    void showSceneAt(std::int32_t sceneNumber, float pan, float tilt, float fov) override;
    float fovDegrees() const override;
    float panDegrees() const override;
    float tiltDegrees() const override;
    void createViewWindow(HWND parent, const RECT& rectangle) override;
    HWND viewWindow() const override { return window(); }
    void setFullToolbarWindow(HWND toolbar) override;
    void setTour(package::Tour* tour) override;
    void moveViewWindow(const RECT& rectangle) override;
    void refresh() override;
    void start() override;
    void setSceneListener(SceneChangeListener* listener) override;
    std::int32_t currentSceneNumber() const override;
    void purgeSceneImages() override { mediaManager_.purgeImages(); }
    void resetView() override;
    void zoomIn() override;
    void zoomOut() override;

    // Cancels scene loading and deletes the manager's listeners.
    virtual void releaseSceneMedia();
    // Lets go of everything the viewer holds of the platform's components and
    // of the run's files: stops the timer, stops and releases both sound
    // players' media graphs, and releases the scene media (pictures, cached
    // images, extracted sound files). For the end of the run, before the COM
    // apartment is left; what is destroyed later finds nothing to release.
    void releaseMedia();
    // Records scene `sceneNumber` as the one on screen.
    virtual void sceneShown(std::int32_t sceneNumber);
    // A scene's image (or a picture file's) is on the view now: the scene
    // the viewer was going to has arrived, and once the first frame of its
    // full image is drawn the next scene is decoded ahead.
    void imageInstalled(bool full);
    // The scene the viewer is going to (its image still decoding), else the
    // one on screen; -1 for none. Next and previous step from it.
    std::int32_t sceneSteppedFrom() const;
    virtual void showPreviousScene(bool userAction);
    void showNextScene(bool userAction) override;
    // Shows a picture file with the start view given in radians, unchecked.
    virtual void showPictureFile(const char* path, float pan, float tilt, float fov);

    // ---- links and notes in the panorama
    // The marker pictures, the hand cursor and the note card's texts of the
    // language module (the player's own where it has none), the factor the
    // markers are enlarged by, the skin's, and the screen's dpi, which a
    // note's card grows with.
    void setLinkLook(HMODULE languageModule, std::int32_t scale, int dpi = 96);
    // Puts the links and notes of scene `sceneNumber` (none for 0) over the
    // view.
    void showLinksOf(std::int32_t sceneNumber);
    // Goes where link `index` of the scene on screen leads, as the scene
    // menu goes to a scene, at the link's view when it has one.
    void followLink(std::size_t index);
    // Opens the card of note `index` of the scene on screen and returns once
    // it is closed: the view keeps its state, a turning view (turning by
    // itself, a played tour) stands still meanwhile and goes on after, and
    // the view has the keyboard again.
    void openNote(std::size_t index);
    // The card open now; null when none is.
    const NoteCard* noteCard() const { return card_.get(); }
    // The scene asked for is about to replace the view's picture (its fade,
    // if any, starts from the screen as it is).
    void sceneArriving() { transitions_.sceneArriving(); }
    SceneTransitions& transitions() { return transitions_; }
    // Scene `sceneNumber` at the given view (degrees), as the scene menu
    // shows a scene at its start view.
    void goToSceneAt(std::int32_t sceneNumber, float pan, float tilt, float fov);
    // The view centre to the clipboard as a fragment of a tour manifest.
    bool copyViewFragment();

    // For the shell and tests.
    ViewRenderer* renderer() const { return renderer_.get(); }
    imaging::SceneMediaManager& mediaManager() { return mediaManager_; }
    // The next scene is to be decoded ahead at the next render tick.
    bool prefetchDue() const { return prefetchDue_; }
    SoundPlayer& tourSound() { return tourSound_; }
    SoundPlayer& sceneSound() { return sceneSound_; }
    engine::AutoTourWatcher* autoTourWatcher() const { return autoTourWatcher_; }
    float rotationStep() const { return rotationStep_; }
    std::int32_t mode() const { return mode_; }
    std::int32_t currentSceneId() const { return currentSceneId_; }
    HWND parentWindow() const { return parentWindow_; }

  private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Validates the update region and draws the view.
    void paint();
    // A key the links do not take turns the view and goes on to the parent.
    void keyDown(WPARAM key, LPARAM lParam);
    // The mouse's messages: drags, the wheel, the links' hover and clicks.
    LRESULT handlePointerMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The mouse was taken by `newOwner`: a drag on the view ends.
    void captureLost(HWND newOwner);
    // The keys of the links and notes (Tab, Shift+Tab, Enter, Esc) and the
    // authors' C; true when the key was taken.
    bool linkKey(WPARAM key);
    // Follows a link's mark or opens a note's.
    void activateMark(std::size_t mark);
    void pointerMoved(std::int32_t x, std::int32_t y);
    // A timer's tick; a view that turned under a resting pointer may have
    // brought a marker under it or taken one away, and the cursor follows.
    void timerTicked(std::int32_t timerId);
    // The hand over a hovered marker, the arrow elsewhere.
    void showPointerCursor();
    void pressed(std::int32_t x, std::int32_t y);
    void released(std::int32_t x, std::int32_t y);
    // A link hovered or highlighted: its scene is decoded ahead, so that it
    // is ready by the time the link is followed. False when none is.
    bool prefetchMarkedLink();
    // Draws the view again when the links' look changed.
    void redrawIf(bool changed);
    void watcherOff();
    void startMotion(float panRate, float tiltRate, float fovRate);
    const package::Scene* sceneAt(std::int32_t sceneNumber) const;

    // How the view reads the tour's panoramas, and what it derives for that.
    void applySampling();

    std::unique_ptr<ViewRenderer> renderer_;
    // Outlives the media manager, whose workers build with it.
    PanoramaLevelBuilder levelBuilder_;
    imaging::SceneMediaManager mediaManager_;
    std::int32_t currentSceneId_ = 0;
    // The scene last asked for until its image arrives; 0 when none is due.
    std::int32_t goingTo_ = 0;
    // The next scene is decoded ahead after the next render tick.
    bool prefetchDue_ = false;
    float rotationStep_;
    std::int32_t mode_ = 0;
    package::Tour* tour_ = nullptr;
    ViewerImageListener* imageListener_ = nullptr;  // owned by the media manager
    SoundPlayer tourSound_;
    SoundPlayer sceneSound_;
    SceneChangeListener* sceneListener_ = nullptr;
    engine::AutoTourWatcher* autoTourWatcher_ = nullptr;  // owned by the renderer's view
    HWND parentWindow_ = nullptr;
    UINT_PTR renderTimer_ = 0;
    HCURSOR linkCursor_ = nullptr;
    NoteCardLook noteLook_;
    int dpi_ = 96;
    // The tour's file, where the notes' pictures lie.
    std::string notesFile_;
    std::unique_ptr<NoteCard> card_;
    // Walks through links and fades between scenes, on the view's frames.
    SceneTransitions transitions_;
    // The mark a left press went down on, where, and whether it has moved
    // off since by the click's slop.
    std::optional<std::size_t> pressedMark_;
    POINT pressPoint_{};
    bool pressMoved_ = false;
    // The press went down on a note's marker and is not yet a drag: the
    // view's motion is paused rather than stopped, and the mouse is ours.
    bool noteHeld_ = false;
    bool trackingLeave_ = false;
};

// Cuts the region of `overlap` (the full-screen toolbar) out of the view
// window's region, or gives the view its whole rectangle when the toolbar has
// no region or no height. The view window owns the region it is given.
void cutOverlapFromViewRegion(HWND view, HWND overlap, std::int32_t width, std::int32_t height);

}  // namespace viewer

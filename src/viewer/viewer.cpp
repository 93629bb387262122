#include "viewer/viewer.h"

#include <cstdlib>
#include <utility>

#include "engine/angles.h"
#include "lang_ids.h"
#include "package/tour.h"
#include "platform/clipboard.h"
#include "platform/scoped_handle.h"
#include "viewer/panorama_levels.h"

namespace viewer {

namespace {

// The view's own rate of turning: 0.8 degrees a tick.
constexpr float normalRotationStep = engine::degree * 0.8f;

}  // namespace

// ---- listeners

void ViewerImageListener::imageReady(const imaging::DibImage* image) {
    if (renderer_ == nullptr) {
        return;
    }
    shown_ = image;
    if (std::exchange(previewShown_, false)) {
        // The scene is on screen already, at the view the user has turned
        // it to since: only its pixels change.
        setImage(image);
        if (viewer_ != nullptr) {
            viewer_->imageInstalled(true);
        }
        drawNow();
        return;
    }
    showScene(image, true);
}

void ViewerImageListener::previewReady(const imaging::DibImage* image) {
    if (renderer_ == nullptr) {
        return;
    }
    shown_ = image;
    showScene(image, false);
    previewShown_ = true;
}

void ViewerImageListener::levelsReady(const imaging::DibImage* image) {
    if (renderer_ != nullptr && image != nullptr && image == shown_) {
        renderer_->view().setPyramid(pyramidOf(image));
    }
}

void ViewerImageListener::setImage(const imaging::DibImage* image) {
    const engine::SourceImage source = sourceOf(image);
    renderer_->setImage(&source);
    // A picture decoded ahead may have its pyramid already.
    renderer_->view().setPyramid(pyramidOf(image));
}

void ViewerImageListener::showScene(const imaging::DibImage* image, bool full) {
    if (viewer_ != nullptr) {
        viewer_->sceneArriving();
    }
    setImage(image);
    if (viewer_ != nullptr) {
        viewer_->showLinksOf(linkScene_);
        viewer_->imageInstalled(full);
    }
    if (listener_ != nullptr) {
        listener_->sceneChanged(sceneNumber_);
        viewer_->sceneShown(sceneNumber_);
    }
    renderer_->view().setView(startPan_, startTilt_, startFov_);
    drawNow();
}

void ViewerImageListener::drawNow() {
    // A new picture is worth a frame at once rather than at the next tick,
    // which may be most of a tick away.
    renderer_->timerTick(static_cast<std::int32_t>(engine::ViewTimer::render));
}

void ViewerImageListener::setRenderingEnabled(bool enabled) {
    if (renderer_ != nullptr) {
        renderer_->view().setRenderingEnabled(enabled);
    }
}

void ViewerImageListener::setStartView(float pan, float tilt, float fov) {
    previewShown_ = false;  // a new scene or picture is on its way
    startPan_ = pan;
    startTilt_ = tilt;
    startFov_ = fov;
}

void ViewerSoundListener::soundReady(package::TempFile* file) {
    player_->Stop();
    player_->Close();
    player_->SetFile(file);
    player_->Play(nullptr);
    if (tour_ != nullptr && !tour_->soundOn()) {
        player_->ToggleMute();
    }
}

// ---- the viewer

Viewer::Viewer() : rotationStep_(normalRotationStep) {
    setMode(0);
}

Viewer::~Viewer() {
    // The members go while the window is still there (the renderer gives its
    // context back to it); none of its messages may reach them meanwhile.
    stopMessages();
    transitions_.cancel();
    transitions_.attach(nullptr, nullptr);
    renderer_.reset();
    if (mode_ == 0) {
        tourSound_.Stop();
        tourSound_.Close();
    }
    if (renderTimer_ != 0 && window() != nullptr && IsWindow(window())) {
        KillTimer(window(), renderTimerId);
    }
    // The scene player, the tour player and the media manager follow, in that
    // order, as members. The window outlives this object while its parent
    // lives; its messages no longer reach it.
}

void Viewer::setMode(std::int32_t mode) {
    mode_ = mode;
    mediaManager_.setMode(mode == 0 ? imaging::SceneMediaManager::Mode::full
                                    : imaging::SceneMediaManager::Mode::reduced);
}

void Viewer::toggleMute() {
    tourSound_.ToggleMute();
    sceneSound_.ToggleMute();
}

void Viewer::volumeUp() {
    tourSound_.VolumeUp();
    sceneSound_.VolumeUp();
}

void Viewer::volumeDown() {
    tourSound_.VolumeDown();
    sceneSound_.VolumeDown();
}

void Viewer::watcherOff() {
    if (autoTourWatcher_ != nullptr) {
        autoTourWatcher_->setEnabled(false);
    }
}

void Viewer::startMotion(float panRate, float tiltRate, float fovRate) {
    if (renderer_ != nullptr) {
        renderer_->view().startMotion(panRate, tiltRate, fovRate);
    }
}

void Viewer::turnLeft() {
    watcherOff();
    startMotion(-rotationStep_, 0.0f, 0.0f);
}

void Viewer::turnRight() {
    watcherOff();
    startMotion(rotationStep_, 0.0f, 0.0f);
}

void Viewer::turnUp() {
    watcherOff();
    startMotion(0.0f, -rotationStep_, 0.0f);
}

void Viewer::turnDown() {
    watcherOff();
    startMotion(0.0f, rotationStep_, 0.0f);
}

void Viewer::stopTurning() {
    watcherOff();
    if (renderer_ != nullptr) {
        renderer_->view().stopMotion();
    }
}

void Viewer::autoRotate() {
    watcherOff();
    turnRight();
}

void Viewer::playTour() {
    resetView();
    autoRotate();
    if (autoTourWatcher_ != nullptr) {
        autoTourWatcher_->setEnabled(tour_ != nullptr && tour_->sceneCount() > 1);
    }
}

void Viewer::zoomIn() {
    watcherOff();
    startMotion(0.0f, 0.0f, -rotationStep_);
}

void Viewer::zoomOut() {
    watcherOff();
    startMotion(0.0f, 0.0f, rotationStep_);
}

void Viewer::setViewDegrees(float pan, float tilt, float fov) {
    if (renderer_ == nullptr) {
        return;
    }
    const engine::ViewRadians view = engine::viewRadiansFromDegrees(pan, tilt, fov);
    renderer_->view().setView(view.pan, view.tilt, view.fov);
}

const package::Scene* Viewer::sceneAt(std::int32_t sceneNumber) const {
    return tour_ != nullptr ? tour_->scene(sceneNumber) : nullptr;
}

void Viewer::goToScene(std::int32_t sceneNumber) {
    const package::Scene* scene = sceneAt(sceneNumber);
    if (scene == nullptr) {
        return;  // positions come from the tour; nothing to show past its end
    }
    goToSceneAt(sceneNumber, scene->pan(), scene->tilt(), scene->fieldOfView());
}

void Viewer::goToSceneAt(std::int32_t sceneNumber, float pan, float tilt, float fov) {
    const package::Scene* scene = sceneAt(sceneNumber);
    if (scene == nullptr) {
        return;
    }
    if (autoTourWatcher_ != nullptr) {
        autoTourWatcher_->setReferenceAngle(scene->pan() * engine::degree);
        autoTourWatcher_->setEnabled(false);
    }
    showSceneAt(sceneNumber, pan, tilt, fov);
}

void Viewer::showSceneAt(std::int32_t sceneNumber, float pan, float tilt, float fov) {
    mediaManager_.cancelAll();
    transitions_.sceneAsked(currentSceneId_ != 0);
    const engine::ViewRadians start = engine::viewRadiansFromDegrees(pan, tilt, fov);
    if (imageListener_ != nullptr) {
        imageListener_->setStartView(start.pan, start.tilt, start.fov);
        imageListener_->setSceneNumber(sceneNumber);
        imageListener_->setLinkScene(sceneNumber);
    }
    goingTo_ = sceneNumber;
    prefetchDue_ = false;
    mediaManager_.showScene(sceneNumber);
}

float Viewer::fovDegrees() const {
    return renderer_ != nullptr ? engine::degreesFromRadians(renderer_->view().viewFov()) : -1.0f;
}

float Viewer::panDegrees() const {
    return renderer_ != nullptr ? engine::degreesFromRadians(renderer_->view().viewPan()) : -1.0f;
}

float Viewer::tiltDegrees() const {
    return renderer_ != nullptr ? engine::degreesFromRadians(renderer_->view().viewTilt()) : -1.0f;
}

void Viewer::createViewWindow(HWND parent, const RECT& rectangle) {
    if (renderer_ != nullptr) {
        return;
    }
    parentWindow_ = parent;
    renderer_ = std::make_unique<ViewRenderer>();

    platform::WindowClass windowClass;
    windowClass.name = className;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.cursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_APPWORKSPACE + 1));
    platform::WindowPlacing placing;
    placing.extendedStyle = WS_EX_ACCEPTFILES;
    placing.title = "Orbi Viewer";
    placing.style = WS_CHILD;
    placing.rectangle = rectangle;
    placing.parent = parent;
    if (!create(windowClass, placing)) {
        return;
    }
    renderer_->attachWindow(window());
    transitions_.attach(renderer_.get(), window());
    renderer_->resize();
    applySampling();

    auto watcher = std::make_unique<engine::AutoTourWatcher>(this);
    watcher->setEnabled(false);
    watcher->setReferenceAngle(0.0f);
    autoTourWatcher_ = watcher.get();
    renderer_->setAutoTourWatcher(std::move(watcher));

    auto imageListener = std::make_unique<ViewerImageListener>(renderer_.get(), this);
    imageListener_ = imageListener.get();
    mediaManager_.setDC(renderer_->deviceContext());
    mediaManager_.setImageListener(std::move(imageListener));

    if (tour_ != nullptr) {
        if (tour_->rotationSpeed() == 1) {
            rotationStep_ *= 0.5f;
        } else if (tour_->rotationSpeed() == 3) {
            rotationStep_ *= 2.0f;
        }
    }
    if (mode_ == 0) {
        mediaManager_.setSoundListener(std::make_unique<ViewerSoundListener>(&sceneSound_, tour_));
        tourSound_.SetFile(mediaManager_.tourSoundFile());
    }
    renderTimer_ = SetTimer(window(), renderTimerId, renderTimerMilliseconds, nullptr);
    ShowWindow(window(), SW_SHOW);
}

void Viewer::setFullToolbarWindow(HWND toolbar) {
    if (renderer_ != nullptr) {
        renderer_->setOverlapWindow(toolbar);
    }
}

void Viewer::setTour(package::Tour* tour) {
    tour_ = tour;
    transitions_.setKind(tour != nullptr ? tour->transition() : package::SceneTransition::none);
    mediaManager_.setTour(tour);
    applySampling();
}

void Viewer::applySampling() {
    const bool smooth = tour_ == nullptr || tour_->sampling() == package::ViewSampling::smooth;
    // Without the memory for smooth sampling's maps the view stays exact.
    const bool taken =
        renderer_ == nullptr || renderer_->view().setSampling(smooth ? engine::Sampling::smooth
                                                                     : engine::Sampling::nearest);
    mediaManager_.setLevelBuilder(smooth && taken ? &levelBuilder_ : nullptr);
}

void Viewer::moveViewWindow(const RECT& rectangle) {
    if (window() == nullptr) {
        return;
    }
    MoveWindow(window(), rectangle.left, rectangle.top, rectangle.right - rectangle.left,
               rectangle.bottom - rectangle.top, TRUE);
    if (renderer_ != nullptr) {
        renderer_->resize();
    }
}

void Viewer::refresh() {
    if (renderer_ == nullptr || window() == nullptr) {
        return;
    }
    cutOverlapFromViewRegion(window(), renderer_->overlapWindow(), renderer_->view().viewWidth(),
                             renderer_->view().viewHeight());
}

void Viewer::start() {
    if (mode_ != 0) {
        return;
    }
    if (tour_ != nullptr && tour_->sceneCount() > 0) {
        goToScene(1);
        if (tour_->autoPlay()) {
            playTour();
        }
    }
    tourSound_.Play(window());
    if (tour_ != nullptr && !tour_->soundOn()) {
        tourSound_.ToggleMute();
    }
    if (window() != nullptr) {
        SetFocus(window());
    }
}

void Viewer::setSceneListener(SceneChangeListener* listener) {
    sceneListener_ = listener;
    if (imageListener_ != nullptr) {
        imageListener_->setListener(listener);
    }
}

std::int32_t Viewer::currentSceneNumber() const {
    return tour_ != nullptr ? tour_->positionOfScene(currentSceneId_) : -1;
}

void Viewer::resetView() {
    watcherOff();
    std::int32_t position = currentSceneNumber();
    if (position == -1) {
        position = 1;
    }
    if (tour_ != nullptr && tour_->sceneCount() > 0) {
        if (const package::Scene* scene = sceneAt(position)) {
            setViewDegrees(scene->pan(), scene->tilt(), scene->fieldOfView());
        }
    }
}

void Viewer::releaseSceneMedia() {
    mediaManager_.cancelAll();
    mediaManager_.deleteImageListener();
    mediaManager_.deleteSoundListener();
    // The manager owned the listener: nothing may reach it any more.
    imageListener_ = nullptr;
}

void Viewer::releaseMedia() {
    transitions_.cancel();
    if (renderTimer_ != 0 && window() != nullptr && IsWindow(window())) {
        KillTimer(window(), renderTimerId);
    }
    renderTimer_ = 0;
    for (SoundPlayer* player : {&tourSound_, &sceneSound_}) {
        player->Stop();
        player->Close();
        player->SetFile(nullptr);  // the file goes with the media manager's list
    }
    releaseSceneMedia();
    if (renderer_ != nullptr) {
        const engine::SourceImage none;
        renderer_->setImage(&none);  // the shown image's pixels go next
    }
    mediaManager_.releaseAll();
}

void Viewer::sceneShown(std::int32_t sceneNumber) {
    if (const package::Scene* scene = sceneAt(sceneNumber)) {
        currentSceneId_ = scene->id();
    }
}

void Viewer::imageInstalled(bool full) {
    goingTo_ = 0;
    prefetchDue_ = full && mode_ == 0;
}

std::int32_t Viewer::sceneSteppedFrom() const {
    return goingTo_ != 0 ? goingTo_ : currentSceneNumber();
}

void Viewer::showPreviousScene(bool userAction) {
    if (userAction) {
        watcherOff();
    }
    if (tour_ == nullptr || tour_->sceneCount() < 1) {
        return;
    }
    const std::int32_t position = sceneSteppedFrom();
    if (position == -1) {
        goToScene(1);
    } else if (position > 1) {
        goToScene(position - 1);
    } else {
        goToScene(tour_->sceneCount());
    }
}

void Viewer::showNextScene(bool userAction) {
    if (tour_ != nullptr && tour_->sceneCount() > 0) {
        const std::int32_t position = sceneSteppedFrom();
        std::int32_t next = 1;
        if (position != -1 && position < tour_->sceneCount()) {
            next = position + 1;
        }
        goToScene(next);
        if (autoTourWatcher_ != nullptr) {
            autoTourWatcher_->setReferenceAngle(tour_->scene(next)->pan() * engine::degree);
        }
    }
    if (autoTourWatcher_ != nullptr) {
        autoTourWatcher_->setEnabled(!userAction);
    }
}

void Viewer::showPictureFile(const char* path, float pan, float tilt, float fov) {
    mediaManager_.cancelAll();
    transitions_.cancel();
    goingTo_ = 0;
    if (imageListener_ != nullptr) {
        imageListener_->setStartView(pan, tilt, fov);
        imageListener_->setLinkScene(0);
    }
    mediaManager_.showPictureFile(path);
}

// ---- links in the panorama

void Viewer::setLinkLook(HMODULE languageModule, std::int32_t scale, int dpi) {
    dpi_ = dpi;
    linkCursor_ = languageModule != nullptr
                      ? LoadCursorA(languageModule, MAKEINTRESOURCEA(IDC_LINK_HAND))
                      : nullptr;
    if (linkCursor_ == nullptr) {
        linkCursor_ = LoadCursorA(nullptr, IDC_HAND);
    }
    noteLook_ = NoteCardLook::fromModule(languageModule);
    if (renderer_ == nullptr) {
        return;
    }
    LinkOverlay& links = renderer_->links();
    links.setPictures(MarkerBitmap::fromModule(languageModule, IDB_LINK_MARKER),
                      MarkerBitmap::fromModule(languageModule, IDB_LINK_MARKER_HIGHLIGHTED));
    links.setNotePictures(MarkerBitmap::fromModule(languageModule, IDB_NOTE_MARKER),
                          MarkerBitmap::fromModule(languageModule, IDB_NOTE_MARKER_HIGHLIGHTED));
    links.setScale(scale);
}

void Viewer::showLinksOf(std::int32_t sceneNumber) {
    if (renderer_ == nullptr) {
        return;
    }
    std::vector<package::SceneLink> links;
    std::vector<std::string> labels;
    std::vector<package::SceneNote> notes;
    if (const package::Scene* scene = sceneNumber > 0 ? sceneAt(sceneNumber) : nullptr) {
        notes = scene->notes();
        // The scene's picture lies in the tour's file, as the notes' do.
        notesFile_ = scene->image() != nullptr ? scene->image()->path() : "";
        links = scene->links();
        for (const package::SceneLink& link : links) {
            const package::Scene* target = sceneAt(link.target);
            labels.push_back(!link.label.empty()                   ? link.label
                             : target != nullptr && target->name() ? target->name()
                                                                   : "");
        }
    }
    renderer_->links().setTextCodePage(tour_ != nullptr ? tour_->textCodePage() : 0);
    renderer_->links().setLinks(std::move(links), std::move(labels));
    renderer_->links().setNotes(std::move(notes));
    pressedMark_.reset();
}

void Viewer::followLink(std::size_t index) {
    if (renderer_ == nullptr || index >= renderer_->links().linkCount()) {
        return;
    }
    const package::SceneLink link = renderer_->links().link(index);
    renderer_->links().clearHighlight();
    // Decoded ahead unless hovering did so already: ready by the turn's end.
    mediaManager_.prefetch(link.target);
    const engine::ViewRadians toward =
        engine::viewRadiansFromDegrees(link.pan, link.tilt, fovDegrees());
    transitions_.followLink(toward.pan, toward.tilt, [this, link] {
        if (link.hasView) {
            goToSceneAt(link.target, link.viewPan, link.viewTilt, link.viewFieldOfView);
        } else {
            goToScene(link.target);
        }
    });
}

bool Viewer::prefetchMarkedLink() {
    if (renderer_ == nullptr || mode_ != 0) {
        return false;
    }
    const LinkOverlay& links = renderer_->links();
    const std::optional<std::size_t> marked =
        links.hovered() ? links.hovered() : links.highlighted();
    if (!marked || *marked >= links.linkCount() ||
        links.link(*marked).target == currentSceneNumber()) {
        return false;
    }
    mediaManager_.prefetch(links.link(*marked).target);
    return true;
}

void Viewer::openNote(std::size_t index) {
    if (card_ != nullptr || renderer_ == nullptr || index >= renderer_->links().noteCount()) {
        return;
    }
    const package::SceneNote note = renderer_->links().note(index);
    pressedMark_.reset();
    renderer_->view().pauseMotion();
    card_ =
        std::make_unique<NoteCard>(GetAncestor(window(), GA_ROOT),
                                   NoteCardContent::of(note, notesFile_.c_str()), noteLook_, dpi_);
    card_->runUntilClosed();
    card_.reset();
    // The card's loop may have seen the view go with its main window.
    if (renderer_ != nullptr && window() != nullptr && IsWindow(window())) {
        renderer_->view().resumeMotion();
        SetFocus(window());
    }
}

void Viewer::activateMark(std::size_t mark) {
    if (renderer_ == nullptr || mark >= renderer_->links().markCount()) {
        return;
    }
    const LinkOverlay& marks = renderer_->links();
    if (marks.kindOf(mark) == MarkKind::note) {
        openNote(marks.noteOf(mark));
    } else {
        followLink(mark);
    }
}

bool Viewer::copyViewFragment() {
    if (renderer_ == nullptr) {
        return false;
    }
    return platform::copyTextToClipboard(window(),
                                         viewFragment(panDegrees(), tiltDegrees(), fovDegrees()));
}

void Viewer::redrawIf(bool changed) {
    if (changed && renderer_ != nullptr) {
        renderer_->draw();
    }
}

bool Viewer::linkKey(WPARAM key) {
    if (renderer_ == nullptr) {
        return false;
    }
    LinkOverlay& links = renderer_->links();
    switch (key) {
        case VK_TAB:
            redrawIf(links.highlightNext(GetKeyState(VK_SHIFT) < 0));
            prefetchMarkedLink();
            return true;
        case VK_RETURN:
            if (const auto highlighted = links.highlighted()) {
                activateMark(*highlighted);
                return true;
            }
            return false;
        case VK_ESCAPE:
            // The first Esc takes the highlight away; the next one goes on to
            // the main window (which leaves full screen).
            if (links.clearHighlight()) {
                redrawIf(true);
                return true;
            }
            return false;
        case 'C':
            copyViewFragment();
            return true;
        default:
            return false;
    }
}

void Viewer::pointerMoved(std::int32_t x, std::int32_t y) {
    if (pressedMark_ &&
        (std::abs(x - pressPoint_.x) >= clickSlop || std::abs(y - pressPoint_.y) >= clickSlop)) {
        pressMoved_ = true;
    }
    if (pressMoved_ && std::exchange(noteHeld_, false) && renderer_ != nullptr) {
        // No click after all: the press drags the view as any other does,
        // from where it went down.
        watcherOff();
        renderer_->view().dragBegin(MK_LBUTTON, pressPoint_.x, pressPoint_.y);
        renderer_->view().dragMove(MK_LBUTTON, x, y);
    }
    if (renderer_ == nullptr || renderer_->view().dragging()) {
        return;
    }
    if (!trackingLeave_) {
        TRACKMOUSEEVENT leave{sizeof leave, TME_LEAVE, window(), 0};
        trackingLeave_ = TrackMouseEvent(&leave) != FALSE;
    }
    const bool changed = renderer_->links().setPointer(POINT{x, y});
    if (changed) {
        showPointerCursor();
        prefetchMarkedLink();
    }
    redrawIf(changed);
}

void Viewer::showPointerCursor() {
    SetCursor(renderer_->links().hovered() && linkCursor_ != nullptr
                  ? linkCursor_
                  : LoadCursorA(nullptr, IDC_ARROW));
}

void Viewer::timerTicked(std::int32_t timerId) {
    if (renderer_ == nullptr) {
        return;
    }
    if (timerId == static_cast<std::int32_t>(SceneTransitions::timerId)) {
        transitions_.tick();
        return;
    }
    const std::optional<std::size_t> hoveredBefore = renderer_->links().hovered();
    renderer_->timerTick(timerId);
    if (timerId == static_cast<std::int32_t>(renderTimerId) && prefetchDue_) {
        // The new scene's first frame is on screen: the next one in tour
        // order (where the playing tour goes too) is decoded meanwhile.
        prefetchDue_ = false;
        const std::int32_t position = currentSceneNumber();
        if (prefetchMarkedLink()) {
            // A link under the pointer or the keyboard's highlight goes first.
        } else if (tour_ != nullptr && position != -1 && tour_->sceneCount() > 1) {
            mediaManager_.prefetch(position < tour_->sceneCount() ? position + 1 : 1);
        }
    }
    // Only while the pointer rests over the view (a leave is being tracked),
    // and not in a drag, which keeps its own cursor.
    if (renderer_ != nullptr && trackingLeave_ && !renderer_->view().dragging() &&
        renderer_->links().hovered() != hoveredBefore) {
        showPointerCursor();
    }
    // Last: installing may show a box, and nothing here comes after it.
    if (timerId == static_cast<std::int32_t>(renderTimerId)) {
        mediaManager_.collectFinishedDecodes();
    }
}

void Viewer::pressed(std::int32_t x, std::int32_t y) {
    pressedMark_.reset();
    noteHeld_ = false;
    if (renderer_ != nullptr) {
        pressedMark_ = renderer_->links().markAt(x, y);
        // A press on a note keeps a turning view's motion (it only pauses)
        // so that the turn goes on once the note's card is closed.
        noteHeld_ = pressedMark_ && renderer_->links().kindOf(*pressedMark_) == MarkKind::note;
        if (noteHeld_) {
            renderer_->view().pauseMotion();
            SetCapture(window());
        }
    }
    pressPoint_ = POINT{x, y};
    pressMoved_ = false;
}

void Viewer::released(std::int32_t x, std::int32_t y) {
    const std::optional<std::size_t> mark = pressedMark_;
    pressedMark_.reset();
    const bool heldNote = std::exchange(noteHeld_, false);
    if (!mark || pressMoved_ || renderer_ == nullptr || renderer_->links().markAt(x, y) != mark) {
        if (heldNote && renderer_ != nullptr) {
            renderer_->view().resumeMotion();
        }
        return;
    }
    activateMark(*mark);
    if (heldNote && renderer_ != nullptr) {
        renderer_->view().resumeMotion();  // a card that did not open
    }
}

// ---- the view window

// Memory that runs out in the engine during a tick, or anything else that
// fails behind the view's messages, ends the run in the window base rather
// than unwinding into the system's message dispatch.
LRESULT Viewer::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            if (renderer_ != nullptr) {
                renderer_->detachWindow();
            }
            return 0;
        case WM_PAINT:
            paint();
            return 0;
        case WM_ERASEBKGND:
        case WM_QUERYNEWPALETTE:
        case WM_PALETTECHANGED:
            return 0;
        case WM_KEYDOWN:
            transitions_.finish();  // any key ends a walk or a fade at once
            keyDown(wParam, lParam);
            return 0;
        case WM_KEYUP:
        case WM_COMMAND:
        case WM_RBUTTONUP:
            SendMessageA(parentWindow_, message, wParam, lParam);
            return 0;
        case WM_TIMER:
            timerTicked(static_cast<std::int32_t>(wParam));
            return 0;
        case SoundPlayer::graphNotifyMessage:
            if (tour_ != nullptr) {
                tourSound_.HandleGraphEvent(0);
            }
            return 0;
        case WM_MOUSEMOVE:
        case WM_MOUSELEAVE:
        case WM_SETCURSOR:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
        case WM_CANCELMODE:
            return handlePointerMessage(message, wParam, lParam);
        case WM_MOUSEWHEEL:
        case WM_RBUTTONDOWN:
            transitions_.finish();  // as a click or a key does
            return message == WM_MOUSEWHEEL ? handlePointerMessage(message, wParam, lParam)
                                            : defaultHandling(message, wParam, lParam);
        default:
            return defaultHandling(message, wParam, lParam);
    }
}

void Viewer::paint() {
    {
        // Only validates the update region: the renderer draws through a
        // context of its own.
        const platform::PaintScope painting(window());
    }
    if (renderer_ != nullptr) {
        renderer_->draw();
    }
}

void Viewer::keyDown(WPARAM key, LPARAM lParam) {
    if (linkKey(key)) {
        return;
    }
    if (renderer_ != nullptr) {
        renderer_->view().keyDown(static_cast<std::int32_t>(key));
    }
    SendMessageA(parentWindow_, WM_KEYDOWN, key, lParam);
}

LRESULT Viewer::handlePointerMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    ViewRenderer* renderer = renderer_.get();
    const std::int16_t x = static_cast<std::int16_t>(LOWORD(lParam));
    const std::int16_t y = static_cast<std::int16_t>(HIWORD(lParam));
    switch (message) {
        case WM_MOUSEMOVE:
            if (renderer != nullptr) {
                renderer->view().dragMove(static_cast<std::int32_t>(wParam), x, y);
            }
            pointerMoved(x, y);
            return 0;
        case WM_MOUSELEAVE:
            trackingLeave_ = false;
            if (renderer != nullptr) {
                redrawIf(renderer->links().setPointer(std::nullopt));
            }
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && renderer != nullptr && renderer->links().hovered() &&
                linkCursor_ != nullptr) {
                SetCursor(linkCursor_);
                return TRUE;
            }
            return defaultHandling(message, wParam, lParam);
        case WM_LBUTTONDOWN:
            transitions_.finish();  // a click ends a walk or a fade at once
            pressed(x, y);
            if (noteHeld_) {
                return 0;  // a click opens the note; the drag waits for the slop
            }
            watcherOff();
            if (renderer != nullptr) {
                renderer->view().dragBegin(static_cast<std::int32_t>(wParam), LOWORD(lParam),
                                           HIWORD(lParam));
            }
            return 0;
        case WM_LBUTTONUP:
            if (renderer != nullptr) {
                renderer->view().dragEnd();
            }
            released(x, y);
            return 0;
        case WM_CAPTURECHANGED:
            captureLost(reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_CANCELMODE:
            if (renderer != nullptr && renderer->view().dragging()) {
                renderer->view().dragEnd();
            }
            return defaultHandling(message, wParam, lParam);
        case WM_MOUSEWHEEL:
            if (renderer != nullptr) {
                renderer->view().wheelTurned(GET_WHEEL_DELTA_WPARAM(wParam));
            }
            return 0;
        default:
            return defaultHandling(message, wParam, lParam);
    }
}

void Viewer::captureLost(HWND newOwner) {
    // Another window took the mouse (a box, a menu, another program): the
    // release will not come here, so the drag ends now.
    if (renderer_ == nullptr || newOwner == window()) {
        return;
    }
    // Taken by another window (not let go of at the release): a press held
    // on a note will not become a click, and the view turns on.
    if (newOwner != nullptr && std::exchange(noteHeld_, false)) {
        pressedMark_.reset();
        renderer_->view().resumeMotion();
    }
    if (renderer_->view().dragging()) {
        pressedMark_.reset();  // the release will not come
    }
    renderer_->view().dragLost();
}

// ---- the region under the full-screen toolbar

namespace {

bool isArea(int regionType) {
    return regionType == SIMPLEREGION || regionType == COMPLEXREGION;
}

}  // namespace

void cutOverlapFromViewRegion(HWND view, HWND overlap, std::int32_t width, std::int32_t height) {
    if (view == nullptr || overlap == nullptr) {
        return;
    }
    platform::UniqueRegion full(CreateRectRgn(0, 0, width, height));
    platform::UniqueRegion result(CreateRectRgn(0, 0, width, height));
    platform::UniqueRegion other(CreateRectRgn(0, 0, width, height));
    if (isArea(GetWindowRgn(overlap, other.get()))) {
        RECT overlapRect{};
        RECT viewRect{};
        GetWindowRect(overlap, &overlapRect);
        GetWindowRect(view, &viewRect);
        if (overlapRect.top != overlapRect.bottom &&
            isArea(OffsetRgn(other.get(), overlapRect.left - viewRect.left,
                             overlapRect.top - viewRect.top))) {
            CombineRgn(result.get(), full.get(), other.get(), RGN_DIFF);
        }
    }
    SetWindowRgn(view, result.release(), TRUE);  // the window owns it now
}

}  // namespace viewer

#include "imaging/scene_decodes.h"

#include <utility>

#include "imaging/image_cache.h"
#include "platform/base_window.h"

namespace imaging {

namespace {

constexpr const char* noticeClassName = "LumivueSceneDecodes";

}  // namespace

// The message-only window the workers tell; its messages come on the window's
// thread, inside the process-end policy.
class SceneDecodes::NoticeWindow : public platform::BaseWindow {
  public:
    explicit NoticeWindow(SceneDecodes& decodes) : decodes_(decodes) {}

    bool open() {
        platform::WindowPlacing placing;
        placing.rectangle = RECT{0, 0, 0, 0};
        placing.parent = HWND_MESSAGE;
        return create(platform::WindowClass{noticeClassName}, placing);
    }

  private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_TIMER && wParam == previewTimerId) {
            decodes_.previewDue();
            return 0;
        }
        if (message == doneMessage) {
            decodes_.collect();
            return 0;
        }
        return defaultHandling(message, wParam, lParam);
    }

    SceneDecodes& decodes_;
};

SceneDecodes::SceneDecodes(ImageCache& cache, SceneDecodeSink& sink) : cache_(cache), sink_(sink) {}

SceneDecodes::~SceneDecodes() {
    stop();
}

HWND SceneDecodes::noticeWindow() const {
    return noticeWindow_ != nullptr ? noticeWindow_->window() : nullptr;
}

void SceneDecodes::Slot::drop() {
    if (decode != nullptr) {
        decode->cancel();
    }
    decode.reset();
    stage = Stage::none;
}

void SceneDecodes::decodeScene(std::int32_t id, SharedBlock block, std::int32_t size,
                               bool lookShown) {
    dropScene();
    if (!lookShown && sink_.wantsPreviews() && previewable(block->get(), size) &&
        makeNoticeWindow() != nullptr) {
        previewBlock_ = block;
        previewSize_ = size;
        preview_.stage = Stage::timing;
        SetTimer(noticeWindow(), previewTimerId, previewDelay_, nullptr);
    }
    scene_.decode = std::make_shared<SceneDecode>(id, std::move(block), size, &cache_,
                                                  SceneDecode::Kind::full, levelBuilder_);
    scene_.stage = Stage::waiting;
    startWaiting();
}

void SceneDecodes::decodeScene(std::int32_t id, PicturePlace place) {
    dropScene();
    scene_.decode = std::make_shared<SceneDecode>(id, std::move(place), &cache_, levelBuilder_);
    scene_.stage = Stage::waiting;
    startWaiting();
}

void SceneDecodes::dropScene() {
    dropPreview();
    scene_.drop();
}

void SceneDecodes::dropPreview() {
    if (noticeWindow_) {
        KillTimer(noticeWindow(), previewTimerId);
    }
    previewBlock_.reset();
    preview_.drop();
}

void SceneDecodes::prefetch(std::int32_t id, PicturePlace place) {
    dropPrefetch();
    prefetch_.decode = std::make_shared<SceneDecode>(id, std::move(place), &cache_, levelBuilder_);
    prefetch_.stage = Stage::waiting;
    startWaiting();
}

bool SceneDecodes::adoptPrefetch(std::int32_t id) {
    if (prefetch_.decode == nullptr || prefetch_.decode->id() != id) {
        return false;
    }
    dropScene();
    scene_ = std::exchange(prefetch_, Slot{});
    startWaiting();  // it may have been waiting for a worker
    return true;
}

std::shared_ptr<DibImage> SceneDecodes::dropPrefetch() {
    prefetch_.drop();
    return cache_.dropPrefetched();
}

void SceneDecodes::buildLevels(std::shared_ptr<DibImage> image) {
    if (levelBuilder_ == nullptr || makeNoticeWindow() == nullptr) {
        return;
    }
    levels_.drop();
    levels_.decode = SceneDecode::levelsOf(std::move(image), &cache_, levelBuilder_);
    // Not held back by decodes: the levels are a matter of milliseconds.
    startOn(levels_);
}

void SceneDecodes::keepLevelsOnlyFor(const DibImage* image) {
    if (levels_.decode != nullptr && levels_.decode->result().image.get() != image) {
        levels_.drop();
    }
}

std::int32_t SceneDecodes::prefetchingId() const {
    return prefetch_.decode != nullptr ? prefetch_.decode->id() : DibImage::nullId;
}

std::int32_t SceneDecodes::sceneId() const {
    return scene_.decode != nullptr ? scene_.decode->id() : DibImage::nullId;
}

bool SceneDecodes::idle() const {
    return running() == 0 && scene_.stage != Stage::waiting && prefetch_.stage != Stage::waiting;
}

void SceneDecodes::startOn(Slot& slot) {
    slot.stage = Stage::running;
    threads_.start(slot.decode, makeNoticeWindow(), doneMessage);
}

void SceneDecodes::startWaiting() {
    threads_.joinFinished();
    for (Slot* slot : {&scene_, &prefetch_}) {
        if (slot->stage == Stage::waiting && threads_.running() < maxWorkers) {
            startOn(*slot);
        }
    }
}

void SceneDecodes::collect() {
    threads_.joinFinished();
    if (preview_.stage == Stage::running && preview_.finished()) {
        const std::shared_ptr<SceneDecode> preview = std::exchange(preview_, Slot{}).decode;
        // Only while the full picture is still on its way.
        if (scene_.decode != nullptr && !scene_.finished() &&
            scene_.decode->id() == preview->id() && preview->result().image != nullptr) {
            sink_.previewDecoded(preview->id(), std::move(preview->result().image));
        }
    }
    if (prefetch_.finished()) {
        const std::shared_ptr<SceneDecode> decode = std::exchange(prefetch_, Slot{}).decode;
        DecodedScene& result = decode->result();
        // Only a clean picture is kept; a scene whose decode failed or owes
        // a box decodes again when it is asked for, and asks then.
        if (result.failure == DecodedScene::Failure::none && result.owedBoxes.empty() &&
            result.image != nullptr && !result.image->isNull()) {
            cache_.holdPrefetched(std::move(result.image));
        }
    }
    std::shared_ptr<SceneDecode> finished;
    if (scene_.finished()) {
        finished = std::exchange(scene_, Slot{}).decode;
        dropPreview();  // the full picture came first: a preview is of no more use
    }
    startWaiting();
    if (finished != nullptr) {
        sink_.sceneDecoded(finished->id(), finished->result());
    }
    if (levels_.decode != nullptr && levels_.decode->done()) {
        levels_ = Slot{};
    }
    sink_.decodesMoved();
}

void SceneDecodes::collectLate() {
    if (scene_.finished() || prefetch_.finished() || preview_.finished()) {
        collect();
        return;
    }
    // The workers that finished may have been overtaken ones, which nothing
    // here waits for: a decode queued behind them starts now.
    startWaiting();
    sink_.decodesMoved();
}

void SceneDecodes::previewDue() {
    if (noticeWindow_) {
        KillTimer(noticeWindow(), previewTimerId);
    }
    if (!previewBlock_ || scene_.decode == nullptr || scene_.finished() ||
        scene_.decode->progress() >= noPreviewPast || !sink_.wantsPreviews()) {
        dropPreview();
        return;
    }
    preview_.decode =
        std::make_shared<SceneDecode>(scene_.decode->id(), std::move(previewBlock_), previewSize_,
                                      nullptr, SceneDecode::Kind::preview);
    // Not held back by other workers: it is of use only now.
    startOn(preview_);
}

void SceneDecodes::stop() {
    levels_.drop();
    dropScene();
    dropPrefetch();
    threads_.joinAll();
    cache_.dropPrefetched();
}

void SceneDecodes::release() {
    stop();
    noticeWindow_.reset();
}

HWND SceneDecodes::makeNoticeWindow() {
    if (noticeWindow_ == nullptr) {
        auto window = std::make_unique<NoticeWindow>(*this);
        if (!window->open()) {
            return nullptr;
        }
        noticeWindow_ = std::move(window);
    }
    return noticeWindow_->window();
}

}  // namespace imaging

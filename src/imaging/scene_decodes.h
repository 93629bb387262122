// The scene pictures on their way to the view, decoded on worker threads so
// that the window's thread keeps turning the view and answering: the scene
// asked for last, the next scene decoded ahead, a first look at a slow
// scene, and the levels of a cached picture shown again. Each has a slot in
// one stage at a time. Workers tell a message-only window of the window's
// thread when their result is there; the results then go to the owner
// (SceneDecodeSink) on that thread.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/dib_image.h"
#include "imaging/image_levels.h"
#include "imaging/scene_decode.h"

namespace imaging {

class ImageCache;

// What the decodes hand to their owner, on the window's thread.
class SceneDecodeSink {
  public:
    virtual ~SceneDecodeSink() = default;
    // The full picture of the scene asked for last, or its failure.
    virtual void sceneDecoded(std::int32_t id, DecodedScene& result) = 0;
    // A first look at the scene asked for last, while its full picture is
    // still on its way.
    virtual void previewDecoded(std::int32_t id, std::shared_ptr<DibImage> preview) = 0;
    // Whether a first look would be shown now.
    virtual bool wantsPreviews() const = 0;
    // A worker's work has ended: levels may have come.
    virtual void decodesMoved() = 0;
};

class SceneDecodes {
  public:
    // Where a slot's work stands.
    enum class Stage {
        none,     // nothing to do
        timing,   // a preview whose time has not come
        waiting,  // for a free worker
        running,  // on a worker (its result may be there already)
    };

    // At most this many decodes run at once; later ones wait.
    static constexpr std::size_t maxWorkers = 2;
    // The message a worker posts to the notice window when it is done.
    static constexpr UINT doneMessage = WM_APP + 40;
    static constexpr UINT_PTR previewTimerId = 1;
    // A full decode this far through its rows when the preview's time comes
    // gets no preview: an eighth-size decode reads every coefficient of the
    // picture too, so it would end no sooner than the rest of the full one,
    // and slow it down by sharing the cores.
    static constexpr double noPreviewPast = 0.5;

    // `cache` is the memory guard's, and keeps the image decoded ahead.
    SceneDecodes(ImageCache& cache, SceneDecodeSink& sink);
    ~SceneDecodes();
    SceneDecodes(const SceneDecodes&) = delete;
    SceneDecodes& operator=(const SceneDecodes&) = delete;

    // Full pictures get their levels from `builder` (none when null), which
    // must outlive the workers.
    void setLevelBuilder(const LevelBuilder* builder) { levelBuilder_ = builder; }
    const LevelBuilder* levelBuilder() const { return levelBuilder_; }
    // A scene's JPEG whose full decode has not ended this long after it began
    // gets a first look decoded at an eighth of its size.
    void setPreviewDelay(UINT milliseconds) { previewDelay_ = milliseconds; }

    // Decodes the scene asked for last, in place of any other. Unless a first
    // look is on screen already (`lookShown`, a preview stored with the
    // scene), one follows after the delay when the sink wants one and the
    // picture has a quick eighth-size decode.
    void decodeScene(std::int32_t id, SharedBlock block, std::int32_t size, bool lookShown);
    // The same for a scene whose first look is its stored preview: the worker
    // extracts the picture too, while the window's thread shows the preview.
    void decodeScene(std::int32_t id, PicturePlace place);
    // The scene's decode, and its preview, are given up.
    void dropScene();
    // Extracts and decodes the next scene ahead, in place of any other, to be
    // kept as the cache's prefetched image.
    void prefetch(std::int32_t id, PicturePlace place);
    // A decode ahead for `id` becomes the scene's decode: true when there was one.
    bool adoptPrefetch(std::int32_t id);
    // The decode ahead and the prefetched image are given up; the image's
    // hold comes back (null without one), for the caller to let go of.
    std::shared_ptr<DibImage> dropPrefetch();
    // Builds the levels of a picture decoded before, in place of any such job.
    void buildLevels(std::shared_ptr<DibImage> image);
    // A levels job for another image than `image` is given up.
    void keepLevelsOnlyFor(const DibImage* image);

    // The scene asked for last is still being decoded.
    bool sceneDue() const { return scene_.stage != Stage::none; }
    Stage sceneStage() const { return scene_.stage; }
    Stage prefetchStage() const { return prefetch_.stage; }
    Stage previewStage() const { return preview_.stage; }
    // The id of the scene decoded ahead, or DibImage::nullId.
    std::int32_t prefetchingId() const;
    std::int32_t sceneId() const;
    std::size_t running() const { return threads_.running(); }
    // No worker runs and none waits to start.
    bool idle() const;
    // The window the workers tell (made with the first decode).
    HWND noticeWindow() const;

    // A worker is done: hands over what is due.
    void collect();
    // The same when a worker is done whose notice has not come: a modal loop
    // that ends while it fetches a message drops the message it fetched.
    void collectLate();
    // The preview's time has come.
    void previewDue();
    // Every slot given up and every worker waited for.
    void stop();
    // stop(), and the notice window goes too.
    void release();

  private:
    struct Slot {
        std::shared_ptr<SceneDecode> decode;
        Stage stage = Stage::none;
        bool finished() const { return decode != nullptr && decode->finished(); }
        // Cancels the work; its worker stops soon and is dropped.
        void drop();
    };

    class NoticeWindow;

    HWND makeNoticeWindow();
    void startWaiting();
    void startOn(Slot& slot);
    void dropPreview();

    ImageCache& cache_;
    SceneDecodeSink& sink_;
    const LevelBuilder* levelBuilder_ = nullptr;
    DecodeThreads threads_;
    std::unique_ptr<NoticeWindow> noticeWindow_;
    Slot scene_;
    Slot prefetch_;
    Slot preview_;
    Slot levels_;
    // The scene's JPEG, shared with its full decode until the preview's time.
    SharedBlock previewBlock_;
    std::int32_t previewSize_ = 0;
    UINT previewDelay_ = 100;
};

}  // namespace imaging

// Supplies the image and the sound of the scene about to be shown: the
// tour's media. Decoded images are kept in a small cache and every extracted
// sound file in a list, so that revisiting a scene costs nothing; for what it
// lacks, the manager registers its callbacks on the scene and has the scene
// load its payloads, which are delivered before `load` returns. With
// full-size images the delivered picture goes to the decodes on workers
// (scene_decodes.h); the old scene stays on screen until the window's thread
// installs the new image, and the scene's sound is handed over with it. The
// next scene can be decoded ahead (`prefetch`) and is then shown at once.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/image_cache.h"
#include "imaging/picture_loader.h"
#include "imaging/scene_decode.h"
#include "imaging/scene_decodes.h"
#include "imaging/scene_listeners.h"
#include "package/sound_file_list.h"
#include "package/media_callback.h"
#include "platform/release_thread.h"

namespace package {
class FileItem;
class Scene;
class Tour;
}  // namespace package

namespace imaging {

class SceneMediaManager;

// The image request of one showScene: decodes the delivered block and hands
// the image to the listener that was current when the request was made.
class SceneImageCallback : public package::MediaCallback {
  public:
    SceneImageCallback(SceneImageListener* target, SceneMediaManager* manager, std::int32_t id)
        : target_(target), manager_(manager), id_(id) {}
    void deliver(std::unique_ptr<package::Payload> payload) override;
    virtual void setCancelled(bool cancelled) { cancelled_ = cancelled; }
    // The delivered block goes to a worker thread instead of being decoded
    // inside `deliver`; `install` ends the request.
    void setDecodeOnWorker(bool onWorker) { decodeOnWorker_ = onWorker; }
    // Hands a worker's result over as `deliver` would have: first the boxes
    // the decode owes, then the image, unless the request was overtaken
    // meanwhile.
    void install(imaging::DecodedScene& decoded);
    // Hands a reduced first look at the scene over (its sound with it); the
    // full image follows with `install`.
    void installPreview(std::shared_ptr<DibImage> preview);
    // A first look was handed over: no other is wanted.
    bool previewShown() const { return previewShown_; }

    bool cancelled() const { return cancelled_; }
    // True while `deliver` or `install` runs; a message box inside it lets window
    // procedures run, and they may start the next scene meanwhile.
    bool delivering() const { return delivering_; }
    std::int32_t id() const { return id_; }

  private:
    void handOver(std::shared_ptr<DibImage> image, bool preview = false);

    SceneImageListener* target_;
    bool cancelled_ = false;
    SceneMediaManager* manager_;
    std::int32_t id_;
    bool delivering_ = false;
    bool decodeOnWorker_ = false;
    bool previewShown_ = false;
};

// Stands between the sound callback and the viewer's sound listener: while a
// scene's image decodes on a worker its sound is held, and handed over with
// the image, so that the old scene's sound plays on until its picture goes.
class HeldSceneSound : public SceneSoundListener {
  public:
    void soundReady(package::TempFile* file) override;
    void setListener(SceneSoundListener* listener) { listener_ = listener; }
    // Sounds from now on are held (the image comes later) or handed on.
    void hold(bool holding);
    // A held sound is handed on now; none is held afterwards.
    void release();
    // A held sound is forgotten (its file stays in the list).
    void drop();
    bool holds() const { return held_; }
    // The held sound came from the sound list, before the image was asked
    // for: it is handed on before the image.
    void markHeardFirst() { heardFirst_ = held_; }
    bool heardFirst() const { return held_ && heardFirst_; }

  private:
    SceneSoundListener* listener_ = nullptr;
    bool holding_ = false;
    bool heardFirst_ = false;
    bool held_ = false;
    package::TempFile* file_ = nullptr;
};

// The one sound request, reused for every scene: records the delivered file
// under the scene's position and hands it to the listener.
class SceneSoundCallback : public package::MediaCallback {
  public:
    SceneSoundCallback(SceneSoundListener* target, package::SoundFileList* soundFiles)
        : target_(target), soundFiles_(soundFiles) {}
    void deliver(std::unique_ptr<package::Payload> payload) override;
    virtual void setCancelled(bool cancelled) { cancelled_ = cancelled; }
    virtual void setSceneIndex(std::int32_t position) { sceneIndex_ = position; }

    bool cancelled() const { return cancelled_; }

  private:
    SceneSoundListener* target_;
    package::SoundFileList* soundFiles_;
    bool cancelled_ = false;
    std::int32_t sceneIndex_ = 0;
};

// Told of every scene picture the manager has decoded (tests count them).
class SceneDecodeWatch {
  public:
    virtual ~SceneDecodeWatch() = default;
    // On the window's thread, just before the decode: what it throws acts
    // as the decode's own failure.
    virtual void decodingHere(std::int32_t id) = 0;
    // Handed to a worker.
    virtual void decodingOnWorker(std::int32_t id) = 0;
};

class SceneMediaManager : private imaging::SceneDecodeSink {
  public:
    // Full-size images and scene sounds (what the player uses), or images
    // reduced to at most 1000 pixels wide or 500 high and no scene sounds.
    using Mode = imaging::ImageMode;

    SceneMediaManager() : decodes_(imageCache_, *this) {}
    // Deletes the listeners and the pending request, drops the cached images
    // and deletes every sound file handed out (scene sounds and tour sound).
    ~SceneMediaManager() override;
    SceneMediaManager(const SceneMediaManager&) = delete;
    SceneMediaManager& operator=(const SceneMediaManager&) = delete;

    // Operations in the order the viewer relies on.
    void setDC(HDC dc) { loader_.setDC(dc); }
    void setTour(package::Tour* tour) {
        tour_ = tour;
        tourFile_.reset();
    }
    // Drops cached images whose scene is no longer in the tour.
    void purgeImages();
    void setImageListener(std::unique_ptr<SceneImageListener> listener);
    void deleteImageListener() { imageListener_.reset(); }
    // The first listener given stays; a later one is destroyed unused.
    void setSoundListener(std::unique_ptr<SceneSoundListener> listener);
    void deleteSoundListener();
    // A request whose delivery is still running (a prompt is open inside it)
    // is cancelled and kept until that delivery has returned.
    void deletePendingImageCallback();
    // Decodes a picture file and hands it to the image listener.
    void showPictureFile(const char* path);
    // Hands over the scene's cached image and recorded sound at once, and
    // loads what is missing. Positions run from 1 to the tour's scene count.
    void showScene(std::int32_t position);
    // A new handle on the tour's background sound, kept in the sound list
    // (which deletes the file with the manager); the caller only borrows it.
    package::TempFile* tourSoundFile();
    void setMode(Mode mode) { mode_ = mode; }
    // Later deliveries of the outstanding requests are dropped until the next
    // showScene; every scene's loading is cancelled.
    void cancelAll();
    // Factory operations: never null; a picture that did not decode gives the
    // null image. The image is shared with the cache when the cache took it;
    // otherwise the caller's hold is the only one.
    std::shared_ptr<DibImage> loadImageFromFile(const char* path);
    std::shared_ptr<DibImage> loadImageFromGlobal(platform::UniqueGlobal block, std::int32_t size,
                                                  std::int32_t id);
    std::shared_ptr<DibImage> loadImageFromGlobalWithNextId(platform::UniqueGlobal block,
                                                            std::int32_t size);

    // What the destructor does, for an owner that must let go of the pictures
    // and the files before it goes: the listeners and requests, the decoder's
    // picture, the cached images and every sound file handed out.
    void releaseAll();
    // The images replaced on the view are freed on a thread of their own:
    // waits until it has freed what it was given.
    void waitForReleases() { releaser_.waitUntilIdle(); }

    // Decodes the next scene's image on a worker, to be shown at once when the
    // scene is asked for; one at a time (a newer one replaces it). Nothing in
    // the reduced mode, or when the image is cached or on its way already.
    void prefetch(std::int32_t position);
    // Starts a worker on a delivered scene image (the scene-image callback's
    // part when it decodes on a worker).
    void decodeOnWorker(SceneImageCallback* request, platform::UniqueGlobal block,
                        std::int32_t size);
    // The image of the scene asked for last is still being decoded.
    bool imageDue() const { return decodes_.sceneDue(); }
    // A worker is done whose notice has not come (a modal loop that ends
    // while it fetches a message drops the message it fetched): the view's
    // timer looks as well.
    void collectFinishedDecodes() { decodes_.collectLate(); }
    // Waits for every worker; nothing decoded so far is shown.
    void stopDecoding();
    // Full scene pictures decoded on workers get their levels from `builder`
    // (none when null), which must outlive the manager's workers.
    void setLevelBuilder(const imaging::LevelBuilder* builder) {
        decodes_.setLevelBuilder(builder);
    }
    void setPreviewDelay(UINT milliseconds) { decodes_.setPreviewDelay(milliseconds); }
    void setDecodeWatch(SceneDecodeWatch* watch) { decodeWatch_ = watch; }

    // Hands the image to the listener and keeps it alive (whatever the cache
    // does) until the listener has been handed its successor.
    void handOverImage(SceneImageListener* listener, std::shared_ptr<DibImage> image);
    // The same for a preview, which is held only when the listener shows it.
    void handOverPreview(SceneImageListener* listener, std::shared_ptr<DibImage> image);
    bool isCurrentImageListener(const SceneImageListener* listener) const {
        return listener != nullptr && listener == imageListener_.get();
    }

    Mode mode() const { return mode_; }
    ImageCache& imageCache() { return imageCache_; }
    const package::SoundFileList& soundFiles() const { return soundFiles_; }
    PictureLoader& loader() { return loader_; }
    const DibImage* shownImage() const { return shownImage_.get(); }
    SceneImageCallback* pendingImageCallback() const { return pendingImageCallback_.get(); }
    SceneSoundCallback* soundCallback() const { return soundCallback_.get(); }
    HeldSceneSound& heldSound() { return heldSound_; }
    imaging::SceneDecodes& sceneDecodes() { return decodes_; }
    const imaging::SceneDecodes& sceneDecodes() const { return decodes_; }
    // No worker runs and none waits to start.
    bool decodesIdle() const { return decodes_.idle(); }
    std::int32_t prefetchedId() const { return imageCache_.prefetchedId(); }

  private:
    // What the decodes hand over.
    void sceneDecoded(std::int32_t id, imaging::DecodedScene& result) override;
    void previewDecoded(std::int32_t id, std::shared_ptr<DibImage> preview) override;
    bool wantsPreviews() const override;
    void decodesMoved() override { offerLevels(); }

    // Tells the image listener once when the image on show has its levels.
    void offerLevels();
    // The image on show becomes `image`; the one it replaces gives its levels
    // up, and a cached image shown again has its levels built anew.
    void replaceShownImage(std::shared_ptr<DibImage> image);
    // Takes a prefetched image or adopts a running prefetch for scene `id`;
    // true when the image was handed over at once.
    bool usePrefetch(std::int32_t id, bool& adopted);
    // Hands the preview the tour stores for the scene at `position` to the
    // pending request, decoded here in a few milliseconds while a worker
    // extracts the scene's picture.
    void showStoredPreview(std::int32_t position, const package::Scene& scene);
    // Where the scene's picture lies, in the tour's file mapped once.
    PicturePlace placeOf(const package::FileItem& item);
    // The file at `path` mapped, kept while the tour plays: mapping it again
    // for every scene costs milliseconds while the window's thread draws.
    // Null when it does not map.
    std::shared_ptr<const platform::MappedFile> mappedTourFile(const std::string& path);
    // Starts a worker that extracts and decodes the request's picture.
    void extractOnWorker(SceneImageCallback& request, const package::FileItem& item);
    // Gives up the decode ahead; its picture goes on the release thread.
    void dropPrefetch();
    // Empties the cache, on the release thread, before a worker decodes a
    // large picture.
    void emptyCacheBeforeLargeDecode(std::int32_t compressedSize);

    Mode mode_ = Mode::full;
    PictureLoader loader_;
    ImageCache imageCache_;
    package::SoundFileList soundFiles_;
    package::Tour* tour_ = nullptr;
    // The file the tour's pictures lie in, and its path; decodes hold it too.
    std::shared_ptr<const platform::MappedFile> tourFile_;
    std::string tourFilePath_;
    std::unique_ptr<SceneImageListener> imageListener_;
    std::unique_ptr<SceneSoundListener> soundListener_;
    std::unique_ptr<SceneImageCallback> pendingImageCallback_;
    std::unique_ptr<SceneSoundCallback> soundCallback_;
    // Requests replaced while their delivery was still running.
    std::vector<std::unique_ptr<SceneImageCallback>> retiredImageCallbacks_;
    // The image the listener was handed last: the view reads its pixels until
    // it gets the next one, so it must outlive its place in the cache.
    std::shared_ptr<DibImage> shownImage_;
    std::uint64_t handOvers_ = 0;
    // The hand-over whose image the listener was last told has its levels.
    std::uint64_t levelsOffered_ = 0;
    HeldSceneSound heldSound_;
    SceneDecodeWatch* decodeWatch_ = nullptr;
    // Lets go of the pictures no longer on show.
    platform::ReleaseThread releaser_;
    // Declared last: its workers use the cache and end first.
    imaging::SceneDecodes decodes_;
};

}  // namespace imaging

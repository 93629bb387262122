// Supplies the image and the sound of the scene about to be shown. Decoded
// images are kept in a small cache and every extracted sound file in a list,
// so that revisiting a scene costs nothing; for what it lacks, the manager
// registers its callbacks on the scene and has the scene load its payloads,
// which are delivered before `load` returns.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/image_cache.h"
#include "imaging/picture_loader.h"
#include "imaging/scene_listeners.h"
#include "package/sound_file_list.h"
#include "package/media_callback.h"

namespace package {
class Tour;
}  // namespace package

class SceneMediaManager;

// The image request of one ShowScene: decodes the delivered block and hands
// the image to the listener that was current when the request was made.
class SceneImageCallback : public package::MediaCallback {
  public:
    SceneImageCallback(SceneImageListener* target, SceneMediaManager* manager, std::int32_t id)
        : target_(target), manager_(manager), id_(id) {}
    void deliver(std::unique_ptr<package::Payload> payload) override;
    virtual void setCancelled(bool cancelled) { cancelled_ = cancelled; }

    bool cancelled() const { return cancelled_; }
    // True while `deliver` runs; a message box inside it lets window
    // procedures run, and they may start the next scene meanwhile.
    bool delivering() const { return delivering_; }
    std::int32_t id() const { return id_; }

  private:
    SceneImageListener* target_;
    bool cancelled_ = false;
    SceneMediaManager* manager_;
    std::int32_t id_;
    bool delivering_ = false;
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

class SceneMediaManager {
  public:
    // Full-size images and scene sounds (what the player uses).
    static constexpr std::int32_t fullMode = 0;
    // Images reduced to at most 1000 pixels wide or 500 high; no scene sounds.
    static constexpr std::int32_t reducedMode = 1;

    SceneMediaManager() = default;
    // Deletes the listeners and the pending request, drops the cached images
    // and deletes every sound file handed out (scene sounds and tour sound).
    ~SceneMediaManager();
    SceneMediaManager(const SceneMediaManager&) = delete;
    SceneMediaManager& operator=(const SceneMediaManager&) = delete;

    // Virtual operations, in the order the viewer relies on.
    virtual void SetDC(HDC dc) { loader_.SetDC(dc); }
    virtual void SetTour(package::Tour* tour) { tour_ = tour; }
    // Drops cached images whose scene is no longer in the tour.
    virtual void PurgeImages();
    virtual void SetImageListener(std::unique_ptr<SceneImageListener> listener);
    virtual void DeleteImageListener() { imageListener_.reset(); }
    // The first listener given stays; a later one is destroyed unused.
    virtual void SetSoundListener(std::unique_ptr<SceneSoundListener> listener);
    virtual void DeleteSoundListener();
    // A request whose delivery is still running (a prompt is open inside it)
    // is cancelled and kept until that delivery has returned.
    virtual void DeletePendingImageCallback();
    // Decodes a picture file and hands it to the image listener.
    virtual void ShowPictureFile(const char* path);
    // Hands over the scene's cached image and recorded sound at once, and
    // loads what is missing. Positions run from 1 to the tour's scene count.
    virtual void ShowScene(std::int32_t position);
    // A new handle on the tour's background sound, kept in the sound list
    // (which deletes the file with the manager); the caller only borrows it.
    virtual package::TempFile* TourSoundFile();
    virtual void SetMode(std::int32_t mode) { mode_ = mode; }
    // Later deliveries of the outstanding requests are dropped until the next
    // ShowScene; every scene's loading is cancelled.
    virtual void CancelAll();
    // Factory operations: never null; a picture that did not decode gives the
    // null image. The image is shared with the cache when the cache took it;
    // otherwise the caller's hold is the only one.
    virtual std::shared_ptr<DibImage> LoadImgFromFile(const char* path);
    virtual std::shared_ptr<DibImage> LoadImgFromHGlobal(HGLOBAL block, std::int32_t size,
                                                         std::int32_t id);
    virtual std::shared_ptr<DibImage> LoadImgFromHGlobalNextId(HGLOBAL block, std::int32_t size);

    // What the destructor does, for an owner that must let go of the pictures
    // and the files before it goes: the listeners and requests, the decoder's
    // picture, the cached images and every sound file handed out.
    void ReleaseAll();

    // Hands the image to the listener and keeps it alive (whatever the cache
    // does) until the listener has been handed its successor.
    void handOverImage(SceneImageListener* listener, std::shared_ptr<DibImage> image);
    bool isCurrentImageListener(const SceneImageListener* listener) const {
        return listener != nullptr && listener == imageListener_.get();
    }

    std::int32_t mode() const { return mode_; }
    ImageCache& imageCache() { return imageCache_; }
    const package::SoundFileList& soundFiles() const { return soundFiles_; }
    PictureLoader& loader() { return loader_; }
    const DibImage* shownImage() const { return shownImage_.get(); }
    SceneImageCallback* pendingImageCallback() const { return pendingImageCallback_.get(); }
    SceneSoundCallback* soundCallback() const { return soundCallback_.get(); }

  private:
    std::int32_t mode_ = fullMode;
    PictureLoader loader_;
    ImageCache imageCache_;
    package::SoundFileList soundFiles_;
    package::Tour* tour_ = nullptr;
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
};

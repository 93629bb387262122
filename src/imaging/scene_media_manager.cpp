#include "imaging/scene_media_manager.h"

#include <new>
#include <utility>

#include "imaging/image_exceptions.h"
#include "imaging/image_geometry.h"
#include "imaging/image_prompts.h"
#include "package/tour.h"
#include "platform/scoped_handle.h"

namespace {

// Sets a flag for the lifetime of the object.
class DeliveryMark {
  public:
    explicit DeliveryMark(bool& flag) : flag_(flag) { flag_ = true; }
    ~DeliveryMark() { flag_ = false; }
    DeliveryMark(const DeliveryMark&) = delete;
    DeliveryMark& operator=(const DeliveryMark&) = delete;

  private:
    bool& flag_;
};

template <typename Record, typename... Arguments>
std::unique_ptr<Record> makeRecord(const char* outOfMemoryMessage, Arguments&&... arguments) {
    try {
        return std::make_unique<Record>(std::forward<Arguments>(arguments)...);
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryException(outOfMemoryMessage);
    }
}

}  // namespace

void SceneImageCallback::deliver(std::unique_ptr<package::Payload> payload) {
    if (cancelled_) {
        return;
    }
    const DeliveryMark mark(delivering_);
    std::shared_ptr<DibImage> image;
    try {
        if (auto* buffer = dynamic_cast<package::PayloadBuffer*>(payload.get())) {
            const std::int32_t size = buffer->size();
            image =
                manager_->LoadImgFromHGlobal(static_cast<HGLOBAL>(buffer->takeBlock()), size, id_);
        } else {
            image = std::make_shared<DibImage>();
        }
    } catch (const OutOfMemoryException&) {
        imaging::reportOutOfMemoryAndExit();
    } catch (const DecodeException&) {
        imaging::askToContinueAfterDecodeFailure();
        image = nullptr;
    } catch (const std::bad_alloc&) {
        imaging::reportOutOfMemoryAndExit();
    }
    payload.reset();
    // A prompt during the decode may have let the viewer move on to another
    // scene (cancelling this request) or replace its listener.
    if (cancelled_ || !manager_->isCurrentImageListener(target_)) {
        return;
    }
    manager_->handOverImage(target_, std::move(image));
}

void SceneSoundCallback::deliver(std::unique_ptr<package::Payload> payload) {
    if (cancelled_) {
        return;  // the dropped payload deletes its file
    }
    std::unique_ptr<package::TempFile> file(dynamic_cast<package::TempFile*>(payload.get()));
    if (file != nullptr) {
        payload.release();
    }
    package::TempFile* handedOut = file.get();
    std::unique_ptr<package::SoundFileEntry> entry;
    try {
        entry = std::make_unique<package::SoundFileEntry>(sceneIndex_, std::move(file));
    } catch (const std::bad_alloc&) {
        entry = nullptr;
    }
    soundFiles_->add(std::move(entry));
    if (target_ != nullptr) {
        target_->soundReady(handedOut);
    }
}

SceneMediaManager::~SceneMediaManager() {
    ReleaseAll();
}

void SceneMediaManager::ReleaseAll() {
    DeleteImageListener();
    DeletePendingImageCallback();
    DeleteSoundListener();
    tour_ = nullptr;
    loader_.ReleasePicture();
    imageCache_.clear();
    shownImage_.reset();
    soundFiles_.clear();
}

void SceneMediaManager::PurgeImages() {
    if (tour_ == nullptr) {
        return;
    }
    for (std::int32_t index = imageCache_.count() - 1; index >= 0; --index) {
        if (tour_->positionOfScene(imageCache_.at(index)->id()) == -1) {
            imageCache_.removeAt(index);
        }
    }
}

void SceneMediaManager::SetImageListener(std::unique_ptr<SceneImageListener> listener) {
    imageListener_ = std::move(listener);
}

void SceneMediaManager::SetSoundListener(std::unique_ptr<SceneSoundListener> listener) {
    if (soundCallback_ != nullptr) {
        return;  // the first listener stays; this one is destroyed unused
    }
    try {
        soundCallback_ = std::make_unique<SceneSoundCallback>(listener.get(), &soundFiles_);
    } catch (const std::bad_alloc&) {
        soundCallback_ = nullptr;
    }
    soundListener_ = std::move(listener);
}

void SceneMediaManager::DeleteSoundListener() {
    if (soundCallback_ == nullptr) {
        return;
    }
    soundCallback_.reset();
    soundListener_.reset();
}

void SceneMediaManager::DeletePendingImageCallback() {
    if (pendingImageCallback_ != nullptr && pendingImageCallback_->delivering()) {
        pendingImageCallback_->setCancelled(true);
        retiredImageCallbacks_.push_back(std::move(pendingImageCallback_));
    }
    pendingImageCallback_.reset();
    std::erase_if(retiredImageCallbacks_,
                  [](const auto& callback) { return !callback->delivering(); });
}

void SceneMediaManager::ShowPictureFile(const char* path) {
    std::shared_ptr<DibImage> image = LoadImgFromFile(path);
    if (imageListener_ != nullptr) {
        handOverImage(imageListener_.get(), std::move(image));
    }
}

void SceneMediaManager::ShowScene(std::int32_t position) {
    DeletePendingImageCallback();
    package::Scene* scene = tour_ != nullptr ? tour_->scene(position) : nullptr;
    if (scene == nullptr) {
        return;
    }
    const std::int32_t id = scene->id();

    bool foundImage = false;
    if (std::shared_ptr<DibImage> cached = imageCache_.find(id)) {
        foundImage = true;
        if (imageListener_ != nullptr) {
            handOverImage(imageListener_.get(), std::move(cached));
        }
    }
    bool foundSound = false;
    if (package::SoundFileEntry* entry = soundFiles_.find(position)) {
        foundSound = true;
        if (soundListener_ != nullptr) {
            soundListener_->soundReady(entry->file.get());
        }
    }

    scene->dropImageReceiver();
    if (!foundImage) {
        try {
            pendingImageCallback_ =
                std::make_unique<SceneImageCallback>(imageListener_.get(), this, id);
            scene->setImageReceiver(pendingImageCallback_.get());
        } catch (const std::bad_alloc&) {
            pendingImageCallback_ = nullptr;
        }
    }
    scene->dropSoundReceiver();
    if (mode_ == fullMode && !foundSound && soundCallback_ != nullptr) {
        soundCallback_->setSceneIndex(position);
        soundCallback_->setCancelled(false);
        scene->setSoundReceiver(soundCallback_.get());
    }
    if (!foundImage || !foundSound) {
        scene->load();
    }
}

package::TempFile* SceneMediaManager::TourSoundFile() {
    if (tour_ == nullptr) {
        return nullptr;
    }
    std::unique_ptr<package::TempFile> file = tour_->openBackgroundSound();
    package::TempFile* handedOut = file.get();
    soundFiles_.add(std::make_unique<package::SoundFileEntry>(package::SoundFileEntry::tourSoundKey,
                                                              std::move(file)));
    return handedOut;
}

void SceneMediaManager::CancelAll() {
    if (pendingImageCallback_ != nullptr) {
        pendingImageCallback_->setCancelled(true);
    }
    if (soundCallback_ != nullptr) {
        soundCallback_->setCancelled(true);
    }
    if (tour_ == nullptr) {
        return;
    }
    try {
        for (std::int32_t position = 1; position <= tour_->sceneCount(); ++position) {
            package::Scene* scene = tour_->scene(position);
            if (scene == nullptr) {
                break;
            }
            scene->cancel();
            scene->dropImageReceiver();
            if (mode_ == fullMode) {
                scene->dropSoundReceiver();
            }
        }
    } catch (...) {
        // a scene that throws ends the loop; the rest stays as it is
    }
}

std::shared_ptr<DibImage> SceneMediaManager::LoadImgFromFile(const char* path) {
    auto header = makeRecord<BITMAPINFOHEADER>(imaging::oom::imageFromFile);
    loader_.LoadFromFile(path);
    void* bits = nullptr;
    platform::UniqueBitmap bitmap(loader_.GetBitmap(&bits, header.get()));
    loader_.ReleasePicture();
    std::shared_ptr<DibImage> image;
    try {
        // The record is allocated before its id is taken, so the counter
        // advances only for a record that exists.
        std::unique_ptr<DibImage> record(
            new DibImage(bitmap.get(), bits, std::move(header), imageCache_.nextId()));
        bitmap.release();
        image = std::move(record);
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryException(imaging::oom::imageFromFile);
    }
    imageCache_.add(image);
    return image;
}

std::shared_ptr<DibImage> SceneMediaManager::LoadImgFromHGlobal(HGLOBAL block, std::int32_t size,
                                                                std::int32_t id) {
    if (imaging::emptiesCacheBeforeDecode(size)) {
        imageCache_.clear();
    }
    auto header = makeRecord<BITMAPINFOHEADER>(imaging::oom::imageFromBlock);
    loader_.LoadFromHGlobal(block, size);
    const imaging::PixelSize natural = loader_.GetPixelSize();
    void* bits = nullptr;
    HBITMAP rawBitmap = nullptr;
    if (mode_ == reducedMode) {
        if (const auto request = imaging::reducedModeRequest(natural)) {
            rawBitmap =
                loader_.GetScaledBitmap(&bits, header.get(), request->width, request->height);
        } else {
            rawBitmap = loader_.GetBitmap(&bits, header.get());
        }
    } else {
        loader_.SetCache(&imageCache_);
        rawBitmap = loader_.GetBitmap(&bits, header.get());
    }
    platform::UniqueBitmap bitmap(rawBitmap);
    loader_.ReleasePicture();
    std::shared_ptr<DibImage> image;
    try {
        std::unique_ptr<DibImage> record(new DibImage(bitmap.get(), bits, std::move(header), id));
        bitmap.release();
        image = std::move(record);
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryException(imaging::oom::imageFromBlock);
    }
    if (!image->isNull()) {
        imageCache_.add(image);
    }
    return image;
}

std::shared_ptr<DibImage> SceneMediaManager::LoadImgFromHGlobalNextId(HGLOBAL block,
                                                                      std::int32_t size) {
    return LoadImgFromHGlobal(block, size, imageCache_.nextId());
}

void SceneMediaManager::handOverImage(SceneImageListener* listener,
                                      std::shared_ptr<DibImage> image) {
    const std::uint64_t handOver = ++handOvers_;
    listener->imageReady(image.get());
    // Only now may the previous image go: the listener has its successor. When
    // the listener was handed yet another image meanwhile (from inside
    // imageReady), that one is on screen and is already held.
    if (handOver == handOvers_) {
        shownImage_ = std::move(image);
    }
}

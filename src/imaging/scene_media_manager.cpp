#include "imaging/scene_media_manager.h"

#include <cstdio>
#include <new>
#include <optional>
#include <utility>

#include "imaging/image_exceptions.h"
#include "imaging/image_geometry.h"
#include "imaging/image_prompts.h"
#include "package/extraction.h"
#include "package/payload.h"
#include "package/tour.h"
#include "platform/picture_decoding.h"
#include "platform/process_end.h"
#include "platform/scoped_handle.h"

namespace imaging {

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

}  // namespace

void HeldSceneSound::soundReady(package::TempFile* file) {
    if (holding_) {
        held_ = true;
        file_ = file;
        return;
    }
    if (listener_ != nullptr) {
        listener_->soundReady(file);
    }
}

void HeldSceneSound::hold(bool holding) {
    drop();
    holding_ = holding;
}

void HeldSceneSound::release() {
    const bool held = std::exchange(held_, false);
    holding_ = false;
    heardFirst_ = false;
    if (held && listener_ != nullptr) {
        listener_->soundReady(std::exchange(file_, nullptr));
    }
}

void HeldSceneSound::drop() {
    holding_ = false;
    held_ = false;
    heardFirst_ = false;
    file_ = nullptr;
}

void SceneImageCallback::deliver(std::unique_ptr<package::Payload> payload) {
    if (cancelled_) {
        return;
    }
    const DeliveryMark mark(delivering_);
    std::shared_ptr<DibImage> image;
    auto* buffer = dynamic_cast<package::PayloadBuffer*>(payload.get());
    if (decodeOnWorker_ && buffer != nullptr) {
        const std::int32_t size = buffer->size();
        manager_->decodeOnWorker(
            this, platform::UniqueGlobal(static_cast<HGLOBAL>(buffer->takeBlock())), size);
        return;
    }
    try {
        if (buffer != nullptr) {
            const std::int32_t size = buffer->size();
            image = manager_->loadImageFromGlobal(
                platform::UniqueGlobal(static_cast<HGLOBAL>(buffer->takeBlock())), size, id_);
        } else {
            image = std::make_shared<DibImage>();
        }
    } catch (const OutOfMemoryException&) {
        platform::reportOutOfMemoryAndExit();
    } catch (const DecodeException&) {
        imaging::askToContinueAfterDecodeFailure();
        image = nullptr;
    } catch (const std::bad_alloc&) {
        platform::reportOutOfMemoryAndExit();
    }
    payload.reset();
    handOver(std::move(image));
}

void SceneImageCallback::install(imaging::DecodedScene& decoded) {
    if (cancelled_) {
        return;
    }
    const DeliveryMark mark(delivering_);
    using Failure = imaging::DecodedScene::Failure;
    if (decoded.failure == Failure::outOfMemory) {
        platform::reportOutOfMemoryAndExit();
    }
    if (decoded.failure == Failure::other) {
        platform::endOnException(decoded.exception);
    }
    if (decoded.failure == Failure::decode) {
        imaging::askToContinueAfterDecodeFailure();
    }
    imaging::showOwedBoxes(decoded.owedBoxes);
    std::shared_ptr<DibImage> image = std::move(decoded.image);
    if (image != nullptr && !image->isNull() && !cancelled_) {
        manager_->imageCache().add(image);
    }
    handOver(std::move(image));
}

void SceneImageCallback::installPreview(std::shared_ptr<DibImage> preview) {
    if (!cancelled_ && !delivering_ && target_ != nullptr && target_->showsPreviews()) {
        previewShown_ = true;
        handOver(std::move(preview), true);
    }
}

void SceneImageCallback::handOver(std::shared_ptr<DibImage> image, bool preview) {
    // A prompt during the decode may have let the viewer move on to another
    // scene (cancelling this request) or replace its listener.
    if (cancelled_ || !manager_->isCurrentImageListener(target_)) {
        return;
    }
    if (manager_->heldSound().heardFirst()) {
        manager_->heldSound().release();
    }
    if (preview) {
        manager_->handOverPreview(target_, std::move(image));
    } else {
        manager_->handOverImage(target_, std::move(image));
    }
    manager_->heldSound().release();
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
    releaseAll();
}

void SceneMediaManager::releaseAll() {
    decodes_.release();
    heldSound_.drop();
    deleteImageListener();
    deletePendingImageCallback();
    deleteSoundListener();
    tour_ = nullptr;
    tourFile_.reset();
    loader_.releasePicture();
    imageCache_.clear();
    shownImage_.reset();
    releaser_.waitUntilIdle();
    soundFiles_.clear();
}

void SceneMediaManager::purgeImages() {
    if (tour_ == nullptr) {
        return;
    }
    imageCache_.removeIf(
        [this](const DibImage& image) { return tour_->positionOfScene(image.id()) == -1; });
    if (imageCache_.prefetchedId() != DibImage::nullId &&
        tour_->positionOfScene(imageCache_.prefetchedId()) == -1) {
        imageCache_.dropPrefetched();
    }
}

void SceneMediaManager::setImageListener(std::unique_ptr<SceneImageListener> listener) {
    imageListener_ = std::move(listener);
}

void SceneMediaManager::setSoundListener(std::unique_ptr<SceneSoundListener> listener) {
    if (soundCallback_ != nullptr) {
        return;  // the first listener stays; this one is destroyed unused
    }
    try {
        soundCallback_ = std::make_unique<SceneSoundCallback>(&heldSound_, &soundFiles_);
    } catch (const std::bad_alloc&) {
        soundCallback_ = nullptr;
    }
    heldSound_.setListener(listener.get());
    soundListener_ = std::move(listener);
}

void SceneMediaManager::deleteSoundListener() {
    if (soundCallback_ == nullptr) {
        return;
    }
    soundCallback_.reset();
    heldSound_.drop();
    heldSound_.setListener(nullptr);
    soundListener_.reset();
}

void SceneMediaManager::deletePendingImageCallback() {
    if (pendingImageCallback_ != nullptr && pendingImageCallback_->delivering()) {
        pendingImageCallback_->setCancelled(true);
        retiredImageCallbacks_.push_back(std::move(pendingImageCallback_));
    }
    pendingImageCallback_.reset();
    std::erase_if(retiredImageCallbacks_,
                  [](const auto& callback) { return !callback->delivering(); });
}

void SceneMediaManager::showPictureFile(const char* path) {
    std::shared_ptr<DibImage> image = loadImageFromFile(path);
    if (imageListener_ != nullptr) {
        handOverImage(imageListener_.get(), std::move(image));
    }
}

void SceneMediaManager::showScene(std::int32_t position) {
    deletePendingImageCallback();
    heldSound_.drop();
    decodes_.dropScene();
    package::Scene* scene = tour_ != nullptr ? tour_->scene(position) : nullptr;
    if (scene == nullptr) {
        return;
    }
    const std::int32_t id = scene->id();

    bool foundImage = false;
    bool adopted = false;
    if (std::shared_ptr<DibImage> cached = imageCache_.find(id)) {
        foundImage = true;
        if (imageListener_ != nullptr) {
            handOverImage(imageListener_.get(), std::move(cached));
        }
    }
    if (mode_ == Mode::full && !foundImage) {
        foundImage = usePrefetch(id, adopted);
    } else if (imageCache_.prefetchedId() != id) {
        dropPrefetch();
    }
    const bool imageLater = !foundImage && mode_ == Mode::full;
    heldSound_.hold(imageLater);
    bool foundSound = false;
    if (package::SoundFileEntry* entry = soundFiles_.find(position)) {
        foundSound = true;
        if (soundListener_ != nullptr) {
            heldSound_.soundReady(entry->file.get());
            heldSound_.markHeardFirst();
        }
    }

    // A scene with a stored preview is extracted on the worker that decodes
    // it, while this thread shows the preview.
    const bool storedLook = imageLater && scene->image() != nullptr && wantsPreviews() &&
                            tour_->preview(position).has_value();
    bool extractedOnWorker = false;
    scene->dropImageReceiver();
    if (!foundImage) {
        try {
            pendingImageCallback_ =
                std::make_unique<SceneImageCallback>(imageListener_.get(), this, id);
            pendingImageCallback_->setDecodeOnWorker(imageLater);
            if (storedLook && !adopted) {
                extractOnWorker(*pendingImageCallback_, *scene->image());
                extractedOnWorker = true;
            } else if (!adopted) {
                scene->setImageReceiver(pendingImageCallback_.get());
            }
        } catch (const std::bad_alloc&) {
            pendingImageCallback_ = nullptr;
        }
    }
    if (storedLook && pendingImageCallback_ != nullptr) {
        showStoredPreview(position, *scene);
    }
    scene->dropSoundReceiver();
    if (mode_ == Mode::full && !foundSound && soundCallback_ != nullptr) {
        soundCallback_->setSceneIndex(position);
        soundCallback_->setCancelled(false);
        scene->setSoundReceiver(soundCallback_.get());
    }
    if ((!foundImage && !adopted && !extractedOnWorker) || !foundSound) {
        scene->load();
    }
}

bool SceneMediaManager::usePrefetch(std::int32_t id, bool& adopted) {
    adopted = false;
    if (std::shared_ptr<DibImage> prefetched = imageCache_.takePrefetched(id)) {
        imageCache_.add(prefetched);
        if (imageListener_ != nullptr) {
            handOverImage(imageListener_.get(), std::move(prefetched));
        }
        return true;
    }
    adopted = decodes_.adoptPrefetch(id);
    if (!adopted) {
        dropPrefetch();
    }
    return false;
}

PicturePlace SceneMediaManager::placeOf(const package::FileItem& item) {
    return PicturePlace{item.path(), item.offset(), item.length(), mappedTourFile(item.path())};
}

std::shared_ptr<const platform::MappedFile> SceneMediaManager::mappedTourFile(
    const std::string& path) {
    if (tourFile_ && tourFilePath_ == path) {
        return tourFile_;
    }
    tourFile_.reset();
    try {
        auto file = std::make_shared<const platform::MappedFile>(path.c_str());
        if (file->opened()) {
            tourFilePath_ = path;
            tourFile_ = std::move(file);
        }
    } catch (const std::bad_alloc&) {
        // Each extraction maps the file for itself instead.
    }
    return tourFile_;
}

void SceneMediaManager::showStoredPreview(std::int32_t position, const package::Scene& scene) {
    const std::optional<package::StoredPreview> stored = tour_->preview(position);
    if (!stored) {
        return;
    }
    // A first look is worth no second try: the full picture follows.
    const std::shared_ptr<const platform::MappedFile> file = mappedTourFile(scene.image()->path());
    if (!file) {
        return;
    }
    std::unique_ptr<package::PayloadBuffer> bytes =
        package::extractPlainBytes(*file, stored->offset, stored->length);
    if (bytes == nullptr) {
        return;
    }
    std::shared_ptr<DibImage> preview;
    try {
        auto block =
            std::make_shared<platform::UniqueGlobal>(static_cast<HGLOBAL>(bytes->takeBlock()));
        PictureLoader loader;  // the manager's may hold a picture
        preview = decodePreviewImage(loader, std::move(block), stored->length, scene.id(),
                                     jpeg::wholeSize);
    } catch (const OutOfMemoryException&) {
        return;  // a first look is worth no prompt: the full picture follows
    } catch (const std::bad_alloc&) {
        return;
    }
    if (preview != nullptr && !preview->isNull()) {
        pendingImageCallback_->installPreview(std::move(preview));
    }
}

void SceneMediaManager::prefetch(std::int32_t position) {
    package::Scene* scene = tour_ != nullptr ? tour_->scene(position) : nullptr;
    if (mode_ != Mode::full || scene == nullptr) {
        return;
    }
    const std::int32_t id = scene->id();
    if (imageCache_.find(id) != nullptr || imageCache_.prefetchedId() == id ||
        decodes_.prefetchingId() == id || decodes_.sceneId() == id) {
        return;
    }
    if (scene->image() == nullptr) {
        return;
    }
    // The cache is not emptied for a large picture here, as it is for a scene
    // being shown: the memory guard drops the prefetched image first when
    // memory runs short. A picture that cannot be extracted is not kept: the
    // scene, when shown, extracts again and reports what went wrong then.
    decodes_.prefetch(id, placeOf(*scene->image()));
}

void SceneMediaManager::extractOnWorker(SceneImageCallback& request,
                                        const package::FileItem& item) {
    if (decodeWatch_ != nullptr) {
        decodeWatch_->decodingOnWorker(request.id());
    }
    emptyCacheBeforeLargeDecode(item.length());
    decodes_.decodeScene(request.id(), placeOf(item));
}

// Pictures let go of here (a hundred megabytes and more each, with their
// levels) are given back on the release thread, so that the window's thread
// goes on at once with the scene asked for.

void SceneMediaManager::dropPrefetch() {
    releaser_.release(decodes_.dropPrefetch());
}

void SceneMediaManager::emptyCacheBeforeLargeDecode(std::int32_t compressedSize) {
    if (!imaging::emptiesCacheBeforeDecode(compressedSize)) {
        return;
    }
    // Their memory comes back while the worker extracts the picture, and its
    // memory guard still looks before the picture is made.
    for (std::shared_ptr<DibImage>& image : imageCache_.takeEntries()) {
        releaser_.release(std::move(image));
    }
}

void SceneMediaManager::decodeOnWorker(SceneImageCallback* request, platform::UniqueGlobal block,
                                       std::int32_t size) {
    if (decodeWatch_ != nullptr) {
        decodeWatch_->decodingOnWorker(request->id());
    }
    emptyCacheBeforeLargeDecode(size);
    decodes_.decodeScene(request->id(), std::make_shared<platform::UniqueGlobal>(std::move(block)),
                         size, request->previewShown());
}
void SceneMediaManager::previewDecoded(std::int32_t id, std::shared_ptr<DibImage> preview) {
    if (pendingImageCallback_ != nullptr && pendingImageCallback_->id() == id) {
        pendingImageCallback_->installPreview(std::move(preview));
    }
}

void SceneMediaManager::sceneDecoded(std::int32_t id, imaging::DecodedScene& result) {
    if (pendingImageCallback_ != nullptr && pendingImageCallback_->id() == id) {
        pendingImageCallback_->install(result);
    }
}

bool SceneMediaManager::wantsPreviews() const {
    return imageListener_ != nullptr && imageListener_->showsPreviews();
}
void SceneMediaManager::offerLevels() {
    if (shownImage_ == nullptr || imageListener_ == nullptr || levelsOffered_ == handOvers_ ||
        shownImage_->levels() == nullptr) {
        return;
    }
    levelsOffered_ = handOvers_;
    imageListener_->levelsReady(shownImage_.get());
}

void SceneMediaManager::stopDecoding() {
    decodes_.stop();
    heldSound_.drop();
}
package::TempFile* SceneMediaManager::tourSoundFile() {
    if (tour_ == nullptr) {
        return nullptr;
    }
    std::unique_ptr<package::TempFile> file = tour_->openBackgroundSound();
    package::TempFile* handedOut = file.get();
    soundFiles_.add(std::make_unique<package::SoundFileEntry>(package::SoundFileEntry::tourSoundKey,
                                                              std::move(file)));
    return handedOut;
}

void SceneMediaManager::cancelAll() {
    heldSound_.drop();
    decodes_.dropScene();
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
            if (mode_ == Mode::full) {
                scene->dropSoundReceiver();
            }
        }
    } catch (...) {
        // a scene that throws ends the loop; the rest stays as it is
    }
}

std::shared_ptr<DibImage> SceneMediaManager::loadImageFromFile(const char* path) {
    loader_.loadFromFile(path);
    LoadedBitmap loaded = loader_.bitmap();
    loader_.releasePicture();
    std::shared_ptr<DibImage> image;
    try {
        // The record is allocated before its id is taken, so the counter
        // advances only for a record that exists.
        std::unique_ptr<DibImage> record(new DibImage(std::move(loaded), imageCache_.nextId()));
        image = std::move(record);
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryException(imaging::oom::imageFromFile);
    }
    imageCache_.add(image);
    return image;
}

std::shared_ptr<DibImage> SceneMediaManager::loadImageFromGlobal(platform::UniqueGlobal block,
                                                                 std::int32_t size,
                                                                 std::int32_t id) {
    if (decodeWatch_ != nullptr) {
        decodeWatch_->decodingHere(id);
    }
    if (imaging::emptiesCacheBeforeDecode(size)) {
        imageCache_.clear();
    }
    std::shared_ptr<DibImage> image =
        imaging::decodeImage(loader_, mode_, &imageCache_, std::move(block), size, id);
    if (!image->isNull()) {
        imageCache_.add(image);
    }
    return image;
}

std::shared_ptr<DibImage> SceneMediaManager::loadImageFromGlobalWithNextId(
    platform::UniqueGlobal block, std::int32_t size) {
    return loadImageFromGlobal(std::move(block), size, imageCache_.nextId());
}

void SceneMediaManager::handOverPreview(SceneImageListener* listener,
                                        std::shared_ptr<DibImage> image) {
    const std::uint64_t handOver = ++handOvers_;
    listener->previewReady(image.get());
    if (handOver == handOvers_) {
        replaceShownImage(std::move(image));
    }
}

void SceneMediaManager::handOverImage(SceneImageListener* listener,
                                      std::shared_ptr<DibImage> image) {
    const std::uint64_t handOver = ++handOvers_;
    listener->imageReady(image.get());
    // Only now may the previous image go: the listener has its successor. When
    // the listener was handed yet another image meanwhile (from inside
    // imageReady), that one is on screen and is already held.
    if (handOver == handOvers_) {
        replaceShownImage(std::move(image));
    }
}

void SceneMediaManager::replaceShownImage(std::shared_ptr<DibImage> image) {
    std::shared_ptr<DibImage> replaced = std::exchange(shownImage_, std::move(image));
    if (replaced != nullptr && replaced != shownImage_) {
        // The listener reads the new image's levels by now. The old picture,
        // when nothing else holds it, and its levels go on the release
        // thread: the new scene is on screen sooner.
        releaser_.release(replaced->dropLevels());
        releaser_.release(std::move(replaced));
    }
    decodes_.keepLevelsOnlyFor(shownImage_.get());
    if (shownImage_ != nullptr && !shownImage_->isNull() && decodes_.levelBuilder() != nullptr &&
        mode_ == Mode::full && shownImage_->wantLevels()) {
        decodes_.buildLevels(shownImage_);
    }
}

}  // namespace imaging

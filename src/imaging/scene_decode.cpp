#include "imaging/scene_decode.h"

#include <objbase.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <span>
#include <system_error>

#include "imaging/image_cache.h"
#include "imaging/image_exceptions.h"
#include "imaging/image_geometry.h"
#include "imaging/jpeg_decoding.h"
#include "imaging/picture_loader.h"
#include "package/extraction.h"
#include "package/media_callback.h"
#include "package/payload.h"

namespace imaging {

namespace {

// The worker's membership of a COM apartment of its own.
class WorkerApartment {
  public:
    WorkerApartment() : entered_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~WorkerApartment() {
        if (entered_) {
            CoUninitialize();
        }
    }
    WorkerApartment(const WorkerApartment&) = delete;
    WorkerApartment& operator=(const WorkerApartment&) = delete;

  private:
    bool entered_;
};

std::atomic<DecodeObserver> decodeObserver{nullptr};
std::atomic<void*> decodeObserverContext{nullptr};

// Keeps the image payload an extraction delivers.
class PayloadCatcher : public package::MediaCallback {
  public:
    void deliver(std::unique_ptr<package::Payload> payload) override {
        if (auto* buffer = dynamic_cast<package::PayloadBuffer*>(payload.get())) {
            block =
                std::make_shared<platform::UniqueGlobal>(static_cast<HGLOBAL>(buffer->takeBlock()));
        }
    }
    SharedBlock block;
};

}  // namespace

SharedBlock extractPicture(const PicturePlace& place) {
    PayloadCatcher catcher;
    package::LoadRequest request;
    request.imagePath = place.path;
    request.imageFile = place.file.get();
    request.imageReceiver = &catcher;
    request.imageOffset = place.offset;
    request.imageLength = place.length;
    request.mode = package::LoadRequest::imageOnly;
    const std::int32_t notCancelled = 0;
    request.cancelFlag = &notCancelled;
    package::extractPayloads(request);
    return std::move(catcher.block);
}

namespace {

// The picture the loader holds, made into an image.
std::shared_ptr<DibImage> imageOfLoaded(PictureLoader& loader, ImageMode mode,
                                        ImageCache* guardCache, std::int32_t id) {
    LoadedBitmap loaded;
    if (mode == ImageMode::reduced) {
        if (const auto request = reducedModeRequest(loader.pixelSize())) {
            loaded = loader.scaledBitmap(request->width, request->height);
        } else {
            loaded = loader.bitmap();
        }
    } else {
        loader.setCache(guardCache);
        loaded = loader.bitmap();
    }
    loader.releasePicture();
    try {
        return std::make_shared<DibImage>(std::move(loaded), id);
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryException(oom::imageFromBlock);
    }
}

}  // namespace

std::shared_ptr<DibImage> decodeImage(PictureLoader& loader, ImageMode mode, ImageCache* guardCache,
                                      platform::UniqueGlobal block, std::int32_t size,
                                      std::int32_t id) {
    loader.loadFromGlobal(std::move(block), size);
    return imageOfLoaded(loader, mode, guardCache, id);
}

std::shared_ptr<DibImage> decodePreviewImage(PictureLoader& loader, SharedBlock block,
                                             std::int32_t size, std::int32_t id, int eighths) {
    // Only JPEGs the player decodes itself: none goes through the platform
    // for a first look.
    const std::optional<jpeg::Facts> facts = ownJpegFacts(block->get(), size);
    if (!facts) {
        return nullptr;
    }
    const PixelSize look = jpeg::scaledSize(facts->size, eighths);
    if (look.width > largestFirstLook.width || look.height > largestFirstLook.height) {
        return nullptr;  // damage or a foreign writer's: not worth the memory, nor a warning
    }
    loader.loadFromSharedBlock(std::move(block), size);
    LoadedBitmap loaded = loader.previewBitmap(eighths);
    loader.releasePicture();
    if (!loaded) {
        return nullptr;
    }
    auto image = std::make_shared<DibImage>(std::move(loaded), id);
    return image;
}

std::optional<jpeg::Facts> ownJpegFacts(HGLOBAL block, std::int32_t size) {
    if (size <= 0) {
        return std::nullopt;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(block));
    if (bytes == nullptr) {
        return std::nullopt;
    }
    auto facts = jpeg::probe(std::span<const std::uint8_t>(bytes, static_cast<std::size_t>(size)));
    GlobalUnlock(block);
    if (!facts || !jpeg::takes(*facts)) {
        return std::nullopt;
    }
    return facts;
}

bool previewable(HGLOBAL block, std::int32_t size) {
    return ownJpegFacts(block, size).has_value();
}

void setDecodeObserver(DecodeObserver observer, void* context) {
    decodeObserverContext = context;
    decodeObserver = observer;
}

void SceneDecode::decode() {
    if (const DecodeObserver observer = decodeObserver.load()) {
        observer(kind_, id_, decodeObserverContext.load());
    }
    {
        const WorkerApartment apartment;
        DeferredBoxes boxes;
        try {
            PictureLoader loader;
            loader.setCancelFlag(&cancelled_);
            loader.setProgress(&progress_);
            if (place_) {
                block_ = extractPicture(*place_);
            }
            if (place_ && block_ == nullptr) {
                result_.image = std::make_shared<DibImage>();
            } else if (kind_ == Kind::preview) {
                result_.image = decodePreviewImage(loader, std::move(block_), size_, id_);
            } else {
                loader.loadFromSharedBlock(std::move(block_), size_);
                result_.image = imageOfLoaded(loader, ImageMode::full, guardCache_, id_);
            }
        } catch (const OutOfMemoryException&) {
            result_.failure = DecodedScene::Failure::outOfMemory;
        } catch (const std::bad_alloc&) {
            result_.failure = DecodedScene::Failure::outOfMemory;
        } catch (const DecodeException&) {
            result_.failure = DecodedScene::Failure::decode;
        } catch (...) {
            result_.failure = DecodedScene::Failure::other;
            result_.exception = std::current_exception();
        }
        if (result_.failure != DecodedScene::Failure::none) {
            result_.image = nullptr;
        }
        result_.owedBoxes = boxes.takeOwed();
    }
}

std::shared_ptr<SceneDecode> SceneDecode::levelsOf(std::shared_ptr<DibImage> image,
                                                   ImageCache* guardCache,
                                                   const LevelBuilder* levels) {
    auto job = std::make_shared<SceneDecode>(image->id(), nullptr, 0, guardCache, Kind::levels);
    job->levelBuilder_ = levels;
    job->result_.image = std::move(image);
    return job;
}

void SceneDecode::run(const std::function<void()>& tell) {
    if (kind_ != Kind::levels) {
        decode();
    }
    // The window's thread takes the result as soon as it is told: the image
    // the levels are built from is held apart from it.
    const std::shared_ptr<DibImage> image =
        levelBuilder_ != nullptr && result_.image != nullptr && !result_.image->isNull()
            ? result_.image
            : nullptr;
    finished_.store(true, std::memory_order_release);
    const bool levelsFollow = image != nullptr && !cancelled_.load();
    if (levelsFollow) {
        if (kind_ != Kind::levels) {
            tell();  // the picture is ready; its levels follow
        }
        buildLevels(*image);
    }
    // Done before the last word: told earlier, the window's thread could
    // still count this worker as running, leave a decode waiting for it and
    // hear nothing more.
    done_.store(true, std::memory_order_release);
    if (levelsFollow || kind_ != Kind::levels) {
        tell();
    }
}

void SceneDecode::buildLevels(DibImage& image) {
    try {
        const PixelSize size{image.header()->biWidth, std::abs(image.header()->biHeight)};
        if (guardCache_ != nullptr) {
            makeRoomFor(*guardCache_, levelBuilder_->bytesFor(size));
        }
        image.setLevels(levelBuilder_->build(image));
    } catch (const std::bad_alloc&) {
        // without levels the view reads the picture alone
    }
}

DecodeThreads::~DecodeThreads() {
    for (const std::unique_ptr<Worker>& worker : workers_) {
        {
            const std::lock_guard<std::mutex> lock(worker->mutex);
            worker->stopping = true;
        }
        worker->changed.notify_all();
    }
    for (const std::unique_ptr<Worker>& worker : workers_) {
        worker->thread.join();
    }
}

void DecodeThreads::serve(Worker& worker) {
    std::unique_lock<std::mutex> lock(worker.mutex);
    for (;;) {
        worker.changed.wait(lock, [&] { return worker.stopping || worker.work; });
        if (!worker.work) {
            return;  // stopping, with nothing left to run
        }
        lock.unlock();
        worker.work();
        lock.lock();
        // Let go under the lock: the decode it held goes with it.
        worker.work = nullptr;
        worker.changed.notify_all();
    }
}

DecodeThreads::Worker* DecodeThreads::idleWorker() {
    for (const std::unique_ptr<Worker>& worker : workers_) {
        const std::lock_guard<std::mutex> lock(worker->mutex);
        if (!worker->work) {
            return worker.get();
        }
    }
    return nullptr;
}

void DecodeThreads::start(std::shared_ptr<SceneDecode> decode, HWND notify, UINT message) {
    std::function<void()> work = [decode, notify, message] {
        decode->run([notify, message] { PostMessageA(notify, message, 0, 0); });
    };
    // The decode's and a new worker's places are made before any thread
    // runs it, so that running out of memory never leaves a running thread
    // without an owner, nor counts a decode that never started as running.
    decodes_.push_back(decode);
    Worker* worker = idleWorker();
    if (worker == nullptr) {
        bool started = false;
        try {
            workers_.reserve(workers_.size() + 1);
            workers_.push_back(std::make_unique<Worker>());  // no reallocation: cannot throw
        } catch (...) {
            decodes_.pop_back();
            throw;
        }
        Worker& added = *workers_.back();
        try {
            started = added.thread.start([&added] { serve(added); });
        } catch (...) {
            workers_.pop_back();
            decodes_.pop_back();
            throw;
        }
        if (!started) {
            workers_.pop_back();
            decodes_.pop_back();
            work();  // no thread to be had: the decode runs here, the boxes still owed
            return;
        }
        worker = &added;
    }
    {
        const std::lock_guard<std::mutex> lock(worker->mutex);
        worker->work = std::move(work);
    }
    worker->changed.notify_all();
}

void DecodeThreads::joinFinished() {
    std::erase_if(decodes_,
                  [](const std::shared_ptr<SceneDecode>& decode) { return decode->done(); });
}

void DecodeThreads::joinAll() {
    for (const std::unique_ptr<Worker>& worker : workers_) {
        std::unique_lock<std::mutex> lock(worker->mutex);
        worker->changed.wait(lock, [&] { return !worker->work; });
    }
    decodes_.clear();
}

std::size_t DecodeThreads::running() const {
    return static_cast<std::size_t>(
        std::count_if(decodes_.begin(), decodes_.end(),
                      [](const std::shared_ptr<SceneDecode>& decode) { return !decode->done(); }));
}

}  // namespace imaging

// Scene images decoded on worker threads, so that the window's thread keeps
// turning the view and answering while a large picture decodes. A worker
// enters a COM apartment of its own, decodes with a picture loader of its own
// (which creates the DIB section on a memory context of its own) and shows no
// box: what it owes the user, and a failure, go back with the result to the
// window's thread, which shows the boxes and installs the image.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/image_levels.h"
#include "imaging/image_prompts.h"
#include "imaging/jpeg_decoding.h"
#include "platform/files.h"
#include "platform/scoped_handle.h"
#include "platform/worker_thread.h"

namespace imaging {

class ImageCache;
class PictureLoader;

// How large decoded images are: the picture's own size (what the player
// shows), or at most 1000 x 500 (what the reduced mode of a preview host asks).
enum class ImageMode { full, reduced };

// Decodes a whole compressed picture held in `block` with `loader`: at natural size, the memory
// guard shrinking `guardCache` (none when null); in the reduced mode at most 1000 x 500. Never
// null; a picture that did not decode gives the null image.
std::shared_ptr<DibImage> decodeImage(PictureLoader& loader, ImageMode mode, ImageCache* guardCache,
                                      platform::UniqueGlobal block, std::int32_t size,
                                      std::int32_t id);

// A scene's compressed picture, read by its full decode and its preview.
using SharedBlock = std::shared_ptr<platform::UniqueGlobal>;

// Where a scene's picture lies, encrypted, in the tour's file: a worker that
// is given the place extracts the picture itself, so that the window's
// thread is free meanwhile.
struct PicturePlace {
    std::string path;
    std::int32_t offset = 0;
    std::int32_t length = 0;
    // The file at `path`, mapped while the tour plays (null: mapped for the
    // extraction alone).
    std::shared_ptr<const platform::MappedFile> file;
};

// The picture at `place`, decrypted into a block; null when it cannot be
// had (the file does not open, the range does not lie inside it).
SharedBlock extractPicture(const PicturePlace& place);

// The largest first look: an eighth of the widest panorama the player shows.
inline constexpr PixelSize largestFirstLook{2048, 1024};

// Decodes the block at `eighths` / 8 of its size for a first look: an eighth
// of a scene's picture, or the whole of its stored preview (JPEGs the player
// decodes itself only, at most largestFirstLook). Null for any other picture
// or when it fails; never prompts.
std::shared_ptr<DibImage> decodePreviewImage(PictureLoader& loader, SharedBlock block,
                                             std::int32_t size, std::int32_t id, int eighths = 1);
// What the block's JPEG says of itself when the player decodes it itself;
// nothing for any other picture.
std::optional<jpeg::Facts> ownJpegFacts(HGLOBAL block, std::int32_t size);
// Whether the block holds a JPEG of a kind the player decodes itself, which
// alone has a quick eighth-size decode.
bool previewable(HGLOBAL block, std::int32_t size);

// What a worker's decode yields for the window's thread.
struct DecodedScene {
    // `other`: anything else the decode threw, kept in `exception` for the
    // window's thread to end the run with.
    enum class Failure { none, outOfMemory, decode, other };
    // Null after a failure.
    std::shared_ptr<DibImage> image;
    // The boxes the decode would have shown, in order.
    std::vector<OwedBox> owedBoxes;
    Failure failure = Failure::none;
    std::exception_ptr exception;
};

// One scene image to decode on a worker.
class SceneDecode {
  public:
    // The full picture, or an eighth of it for a first look; or no decode,
    // only the levels of a picture decoded before (`levelsOf`).
    enum class Kind { full, preview, levels };
    // A full picture gets its levels from `levels` (none when null) after it
    // has been handed over.
    SceneDecode(std::int32_t id, SharedBlock block, std::int32_t size, ImageCache* guardCache,
                Kind kind = Kind::full, const LevelBuilder* levels = nullptr)
        : id_(id),
          block_(std::move(block)),
          size_(size),
          guardCache_(guardCache),
          kind_(kind),
          levelBuilder_(kind == Kind::full ? levels : nullptr) {}
    // A full picture that the worker extracts from `place` first. One that
    // cannot be extracted gives the null image, as a payload that never came.
    SceneDecode(std::int32_t id, PicturePlace place, ImageCache* guardCache,
                const LevelBuilder* levels)
        : SceneDecode(id, nullptr, place.length, guardCache, Kind::full, levels) {
        place_ = std::move(place);
    }
    // Builds the levels of `image` anew, for a cached scene shown again after
    // it gave its levels up; its result is `image` itself.
    static std::shared_ptr<SceneDecode> levelsOf(std::shared_ptr<DibImage> image,
                                                 ImageCache* guardCache,
                                                 const LevelBuilder* levels);
    SceneDecode(const SceneDecode&) = delete;
    SceneDecode& operator=(const SceneDecode&) = delete;

    std::int32_t id() const { return id_; }
    // The worker's part: decodes, catching everything it throws, and calls
    // `tell` once the result may be read; then builds the picture's levels,
    // when it has a builder, and calls `tell` again.
    void run(const std::function<void()>& tell);
    // Nobody wants the result any more: a JPEG the player decodes itself
    // stops between rows (its result is then no picture).
    void cancel() { cancelled_.store(true); }
    // True once the result may be read.
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    // True once the worker has nothing more to do (the levels are built too).
    bool done() const { return done_.load(std::memory_order_acquire); }
    // The share of the picture's rows decoded so far (JPEGs the player
    // decodes itself; 0 for any other picture until it is done).
    double progress() const { return progress_.fraction(); }
    DecodedScene& result() { return result_; }

  private:
    void decode();
    void buildLevels(DibImage& image);

    std::int32_t id_;
    SharedBlock block_;
    std::optional<PicturePlace> place_;
    std::int32_t size_;
    ImageCache* guardCache_;
    Kind kind_;
    const LevelBuilder* levelBuilder_;
    std::atomic<bool> cancelled_{false};
    jpeg::Progress progress_;
    DecodedScene result_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> done_{false};
};

// Lets tests act on a worker just before it decodes (for example hold a full
// decode back until its preview is on screen), as a slow decode would. Null
// removes the observer. Called on the worker thread.
using DecodeObserver = void (*)(SceneDecode::Kind kind, std::int32_t id, void* context);
void setDecodeObserver(DecodeObserver observer, void* context);

// The worker threads: each decode runs on a thread of its own, which posts
// `message` to `notify` when its result is there and again when it is done.
// A thread whose decode is done waits for the next one, as starting a thread
// costs milliseconds while the window's thread draws a scene's first look;
// all of them are joined when this goes, so that no worker outlives what it
// uses.
class DecodeThreads {
  public:
    DecodeThreads() = default;
    ~DecodeThreads();
    DecodeThreads(const DecodeThreads&) = delete;
    DecodeThreads& operator=(const DecodeThreads&) = delete;

    void start(std::shared_ptr<SceneDecode> decode, HWND notify, UINT message);
    // Forgets the decodes that are done.
    void joinFinished();
    // Waits for every decode still running.
    void joinAll();
    std::size_t running() const;

  private:
    // A thread and the decode it runs, if any.
    struct Worker {
        std::mutex mutex;
        std::condition_variable changed;
        std::function<void()> work;  // guarded by mutex; empty while the thread waits
        bool stopping = false;       // guarded by mutex
        platform::WorkerThread thread;
    };
    static void serve(Worker& worker);
    // A waiting worker, or null.
    Worker* idleWorker();

    std::vector<std::unique_ptr<Worker>> workers_;
    std::vector<std::shared_ptr<SceneDecode>> decodes_;
};

}  // namespace imaging

// The few most recently decoded images, oldest first, keyed by id. The cache
// never holds more than four; adding a fifth drops the oldest.
//
// Entries are shared: the cache drops its hold on eviction, removal and
// clearing, and an image is destroyed once nobody else holds it either. The
// scene media manager holds the image on screen, so the cache can never
// destroy pixels the view is still reading.
//
// Beside the entries the cache may hold one prefetched image: the next scene,
// decoded before it is asked for. It is not an entry (no limit, not found by
// `find`), but it counts in `count` and `removeOldest` drops it first, so the
// memory guard of a decode gives it up before any cached scene.
//
// Scene decodes run on worker threads and shrink the cache from there, so
// every operation takes the cache's lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "imaging/dib_image.h"

namespace imaging {

class ImageCache {
  public:
    static constexpr std::int32_t limit = 4;
    static constexpr std::int32_t firstId = 10000;

    // The images held: the entries and the prefetched image, if any.
    std::int32_t count() const;
    // The entries alone.
    std::int32_t entryCount() const;
    // The entry at a 0-based index (0 is the oldest), or null out of range: a
    // shared hold, so that a worker's eviction never takes it from the caller.
    std::shared_ptr<DibImage> at(std::int32_t index) const;
    // The first entry with this id, or null.
    std::shared_ptr<DibImage> find(std::int32_t id) const;

    // Appends the image as the newest unless an entry has the same id (then
    // the image is not taken and false comes back); at the limit the oldest
    // entry is dropped first.
    bool add(std::shared_ptr<DibImage> image);
    // Drops the prefetched image if there is one, else the oldest entry.
    void removeOldest();
    void removeAt(std::int32_t index);
    // Drops every entry for which `drop` holds.
    void removeIf(const std::function<bool(const DibImage&)>& drop);
    // Drops every entry; the prefetched image stays.
    void clear();
    // Takes every entry out, as clear() does, and hands the holds over, for
    // the caller to let go of where it likes; the prefetched image stays.
    std::vector<std::shared_ptr<DibImage>> takeEntries();
    // Ids for images that are not scenes: 10001, 10002, ...
    std::int32_t nextId();

    // Holds `image` as the prefetched one, in place of any other.
    void holdPrefetched(std::shared_ptr<DibImage> image);
    // The prefetched image when it has this id, handed over (the cache no
    // longer holds it); null otherwise.
    std::shared_ptr<DibImage> takePrefetched(std::int32_t id);
    // The prefetched image's id, or DibImage::nullId without one.
    std::int32_t prefetchedId() const;
    // Drops the prefetched image and hands its hold back (null without one):
    // a caller that keeps it lets go of it where it likes.
    std::shared_ptr<DibImage> dropPrefetched();

  private:
    void removeAtLocked(std::int32_t index);

    mutable std::mutex lock_;
    std::vector<std::shared_ptr<DibImage>> images_;
    std::shared_ptr<DibImage> prefetched_;
    std::int32_t idCounter_ = firstId;
};

// The memory guard: gives up the cache's oldest images (the prefetched one
// first) while the physical memory reported free does not cover `bytes`.
void makeRoomFor(ImageCache& cache, std::uint64_t bytes);

}  // namespace imaging

// The few most recently decoded images, oldest first, keyed by id. The cache
// never holds more than four; adding a fifth drops the oldest.
//
// Entries are shared: the cache drops its hold on eviction, removal and
// clearing, and an image is destroyed once nobody else holds it either. The
// scene media manager holds the image on screen, so the cache can never
// destroy pixels the view is still reading.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/dib_image.h"

class ImageCache {
  public:
    static constexpr std::int32_t limit = 4;
    static constexpr std::int32_t firstId = 10000;

    std::int32_t count() const { return static_cast<std::int32_t>(images_.size()); }
    // The image at a 0-based index (0 is the oldest), or null out of range.
    DibImage* at(std::int32_t index) const;
    // The same entry as a shared hold, or null out of range.
    std::shared_ptr<DibImage> share(std::int32_t index) const;
    // The first entry with this id, or null.
    std::shared_ptr<DibImage> find(std::int32_t id) const;

    // Appends the image as the newest unless an entry has the same id (then
    // the image is not taken and false comes back); at the limit the oldest
    // entry is dropped first.
    bool add(std::shared_ptr<DibImage> image);
    void removeOldest();
    void removeAt(std::int32_t index);
    void clear();
    // Ids for images that are not scenes: 10001, 10002, ...
    std::int32_t nextId() { return ++idCounter_; }

  private:
    std::vector<std::shared_ptr<DibImage>> images_;
    std::int32_t idCounter_ = firstId;
};

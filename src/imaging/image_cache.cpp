#include "imaging/image_cache.h"

#include <algorithm>
#include <utility>

namespace imaging {

namespace {

using Guard = std::lock_guard<std::mutex>;

}  // namespace

std::int32_t ImageCache::count() const {
    const Guard guard(lock_);
    return static_cast<std::int32_t>(images_.size()) + (prefetched_ != nullptr ? 1 : 0);
}

std::int32_t ImageCache::entryCount() const {
    const Guard guard(lock_);
    return static_cast<std::int32_t>(images_.size());
}

std::shared_ptr<DibImage> ImageCache::at(std::int32_t index) const {
    const Guard guard(lock_);
    if (index < 0 || static_cast<std::size_t>(index) >= images_.size()) {
        return nullptr;
    }
    return images_[static_cast<std::size_t>(index)];
}

std::shared_ptr<DibImage> ImageCache::find(std::int32_t id) const {
    const Guard guard(lock_);
    const auto found = std::find_if(images_.begin(), images_.end(),
                                    [id](const auto& image) { return image->id() == id; });
    return found != images_.end() ? *found : nullptr;
}

bool ImageCache::add(std::shared_ptr<DibImage> image) {
    std::shared_ptr<DibImage> evicted;  // destroyed outside the lock
    const Guard guard(lock_);
    if (image == nullptr || std::any_of(images_.begin(), images_.end(), [&](const auto& entry) {
            return entry->id() == image->id();
        })) {
        return false;
    }
    if (static_cast<std::int32_t>(images_.size()) >= limit) {
        evicted = std::move(images_.front());
        images_.erase(images_.begin());
    }
    images_.push_back(std::move(image));
    return true;
}

void ImageCache::removeOldest() {
    std::shared_ptr<DibImage> dropped;
    const Guard guard(lock_);
    if (prefetched_ != nullptr) {
        dropped = std::move(prefetched_);
        return;
    }
    if (!images_.empty()) {
        dropped = std::move(images_.front());
        images_.erase(images_.begin());
    }
}

void ImageCache::removeAt(std::int32_t index) {
    const Guard guard(lock_);
    removeAtLocked(index);
}

void ImageCache::removeAtLocked(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= images_.size()) {
        return;
    }
    images_.erase(images_.begin() + index);
}

void ImageCache::removeIf(const std::function<bool(const DibImage&)>& drop) {
    const Guard guard(lock_);
    for (auto index = static_cast<std::int32_t>(images_.size()) - 1; index >= 0; --index) {
        if (drop(*images_[static_cast<std::size_t>(index)])) {
            removeAtLocked(index);
        }
    }
}

void ImageCache::clear() {
    const Guard guard(lock_);
    images_.clear();
}

std::vector<std::shared_ptr<DibImage>> ImageCache::takeEntries() {
    const Guard guard(lock_);
    return std::exchange(images_, {});
}

std::int32_t ImageCache::nextId() {
    const Guard guard(lock_);
    return ++idCounter_;
}

void ImageCache::holdPrefetched(std::shared_ptr<DibImage> image) {
    const Guard guard(lock_);
    prefetched_ = std::move(image);
}

std::shared_ptr<DibImage> ImageCache::takePrefetched(std::int32_t id) {
    const Guard guard(lock_);
    if (prefetched_ == nullptr || prefetched_->id() != id) {
        return nullptr;
    }
    return std::move(prefetched_);
}

std::int32_t ImageCache::prefetchedId() const {
    const Guard guard(lock_);
    return prefetched_ != nullptr ? prefetched_->id() : DibImage::nullId;
}

std::shared_ptr<DibImage> ImageCache::dropPrefetched() {
    const Guard guard(lock_);
    return std::move(prefetched_);
}

void makeRoomFor(ImageCache& cache, std::uint64_t bytes) {
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    while (static_cast<std::uint64_t>(status.dwAvailPhys) < bytes && cache.count() > 0) {
        cache.removeOldest();
        GlobalMemoryStatus(&status);
    }
}

}  // namespace imaging

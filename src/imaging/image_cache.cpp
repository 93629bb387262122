#include "imaging/image_cache.h"

#include <algorithm>

DibImage* ImageCache::at(std::int32_t index) const {
    return share(index).get();
}

std::shared_ptr<DibImage> ImageCache::share(std::int32_t index) const {
    if (index < 0 || index >= count()) {
        return nullptr;
    }
    return images_[static_cast<std::size_t>(index)];
}

std::shared_ptr<DibImage> ImageCache::find(std::int32_t id) const {
    const auto found = std::find_if(images_.begin(), images_.end(),
                                    [id](const auto& image) { return image->id() == id; });
    return found != images_.end() ? *found : nullptr;
}

bool ImageCache::add(std::shared_ptr<DibImage> image) {
    if (image == nullptr || find(image->id()) != nullptr) {
        return false;
    }
    if (count() >= limit) {
        removeOldest();
    }
    images_.push_back(std::move(image));
    return true;
}

void ImageCache::removeOldest() {
    removeAt(0);
}

void ImageCache::removeAt(std::int32_t index) {
    if (index < 0 || index >= count()) {
        return;
    }
    images_.erase(images_.begin() + index);
}

void ImageCache::clear() {
    images_.clear();
}

#include "package/tour.h"

#include <algorithm>

namespace package {

std::int32_t SceneList::addScene(std::unique_ptr<Scene> scene, std::int32_t position) {
    std::size_t index = 0;
    if (!scenes_.empty() && position != 1) {
        // Walking from the head inserts after the (position - 1)-th node, and
        // never before the second place.
        const std::int64_t wanted = static_cast<std::int64_t>(position) - 1;
        index = static_cast<std::size_t>(
            std::clamp<std::int64_t>(wanted, 1, static_cast<std::int64_t>(scenes_.size())));
    }
    scenes_.insert(scenes_.begin() + static_cast<std::ptrdiff_t>(index), std::move(scene));
    return 1;
}

Scene* SceneList::scene(std::int32_t position) const {
    if (scenes_.empty()) {
        return nullptr;
    }
    if (position <= 1) {
        return scenes_.front().get();
    }
    if (position > count()) {
        return nullptr;
    }
    return scenes_[static_cast<std::size_t>(position - 1)].get();
}

std::int32_t SceneList::positionOfScene(std::int32_t id) const {
    if (id < 1 || count() < 1) {
        return -1;
    }
    for (std::size_t i = 0; i < scenes_.size(); ++i) {
        if (scenes_[i]->id() == id) {
            return static_cast<std::int32_t>(i + 1);
        }
    }
    return -1;
}

Tour::Tour()
    : info_(std::make_unique<TourInfo>()), backgroundSound_(std::make_unique<FileItem>("")) {}

std::optional<StoredPreview> Tour::preview(std::int32_t position) const {
    if (position < 1 || position > static_cast<std::int32_t>(previews_.size())) {
        return std::nullopt;
    }
    const StoredPreview& preview = previews_[static_cast<std::size_t>(position - 1)];
    if (preview.length <= 0) {
        return std::nullopt;
    }
    return preview;
}

std::unique_ptr<TempFile> Tour::openBackgroundSound() const {
    return std::make_unique<TempFile>(backgroundSound_->path());
}

}  // namespace package

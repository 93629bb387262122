#include "package/scene.h"

namespace package {

namespace {

// Process-wide: scenes are numbered in creation order for the whole run.
std::int32_t sceneIdCounter = 1;

}  // namespace

Scene::Scene()
    : id_(sceneIdCounter++),
      sound_(std::make_unique<FileItem>("")),
      image_(std::make_unique<FileItem>("")) {}

Scene::~Scene() {
    release();
}

std::int32_t Scene::nextId() {
    return sceneIdCounter;
}

void Scene::setSoundReceiver(MediaCallback* receiver) {
    soundReceiver_ = receiver;
    soundWanted_ = 1;
}

void Scene::setImageReceiver(MediaCallback* receiver) {
    imageReceiver_ = receiver;
    imageWanted_ = 1;
}

void Scene::load() {
    request_.mode = LoadRequest::nothing;
    const auto fillSound = [this] {
        request_.soundPath = sound_ ? sound_->path() : "";
        request_.soundReceiver = soundReceiver_;
        request_.soundOffset = sound_ ? sound_->offset() : 0;
        request_.soundLength = sound_ ? sound_->length() : -1;
    };
    if (imageWanted_) {
        request_.imagePath = image_ ? image_->path() : "";
        request_.imageReceiver = imageReceiver_;
        request_.imageOffset = image_ ? image_->offset() : 0;
        request_.imageLength = image_ ? image_->length() : -1;
        if (soundWanted_) {
            fillSound();
            request_.mode = LoadRequest::imageAndSound;
        } else {
            request_.mode = LoadRequest::imageOnly;
        }
    } else if (soundWanted_) {
        fillSound();
        request_.mode = LoadRequest::soundOnly;
    }
    request_.cancelFlag = &cancelled_;
    cancelled_ = 0;
    extractPayloads(request_);
}

void Scene::release() {
    sound_.reset();
    image_.reset();
    name_.clear();
}

}  // namespace package

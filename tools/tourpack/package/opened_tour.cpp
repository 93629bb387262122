#include "package/opened_tour.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "package/field_reader.h"
#include "package/media_callback.h"
#include "platform/files.h"
#include "text/text_encoding.h"
#include "text/utf8_path.h"

namespace tourpack {
namespace {

// Keeps whatever the extraction delivers.
class Capture : public package::MediaCallback {
  public:
    void deliver(std::unique_ptr<package::Payload> payload) override {
        delivered = true;
        this->payload = std::move(payload);
    }
    bool delivered = false;
    std::unique_ptr<package::Payload> payload;
};

}  // namespace

std::unique_ptr<OpenedTour> OpenedTour::open(const std::string& exePath, std::string& error) {
    std::unique_ptr<OpenedTour> opened(new OpenedTour());
    opened->path_ = exePath;
    std::ifstream in(pathFromUtf8(exePath), std::ios::binary);
    if (!in) {
        error = exePath + ": cannot open the file";
        return nullptr;
    }
    in.seekg(0, std::ios::end);
    opened->fileSize_ = static_cast<std::int64_t>(in.tellg());
    if (opened->fileSize_ >= 41) {
        in.seekg(opened->fileSize_ - 41);
        opened->recordStreamOffset_ = package::FieldReader(in).readLong();
    }
    package::PackageError packageError;
    opened->tour_ = opened->loader_.read(exePath.c_str(), packageError);
    if (!opened->tour_) {
        error = exePath + ": " +
                (packageError.kind == package::PackageError::badTrailer
                     ? std::string("not a tour executable: ") + packageError.what
                     : "corrupt tour package at byte " + std::to_string(packageError.offset) +
                           ": " + packageError.what);
        return nullptr;
    }
    // The reader records the code page of the tour's texts when the
    // extension block names one; without it they are Windows-1252.
    if (opened->tour_->textCodePage() != 0) {
        opened->textCodePage_ = static_cast<int>(opened->tour_->textCodePage());
    }
    return opened;
}

std::string OpenedTour::text(const std::string& stored) const {
    return codePageToUtf8(textCodePage_, stored);
}

OpenedTour::~OpenedTour() {
    if (tour_) {
        loader_.deleteExtractedFiles(*tour_);
    }
}

namespace {

// Extracts one payload of the scene at `position` through the scene's own load.
std::unique_ptr<package::Payload> extractOne(const package::Tour& tour, std::int32_t position,
                                             bool image, std::string& error) {
    package::Scene* scene = tour.scene(position);
    if (scene == nullptr) {
        error = "no scene " + std::to_string(position);
        return nullptr;
    }
    Capture capture;
    if (image) {
        scene->setImageReceiver(&capture);
    } else {
        scene->setSoundReceiver(&capture);
    }
    scene->load();
    scene->dropImageReceiver();
    scene->dropSoundReceiver();
    if (!capture.payload) {
        const package::FileItem& item = image ? *scene->image() : *scene->sound();
        error = "scene " + std::to_string(position) + ": the " + (image ? "image" : "sound") +
                " range (offset " + std::to_string(item.offset()) + ", length " +
                std::to_string(item.length()) + ") does not lie inside the file";
    }
    return std::move(capture.payload);
}

}  // namespace

bool OpenedTour::sceneImage(std::int32_t position, std::vector<std::uint8_t>& bytes,
                            std::string& error) const {
    const auto payload = extractOne(*tour_, position, true, error);
    auto* buffer = dynamic_cast<package::PayloadBuffer*>(payload.get());
    if (buffer == nullptr) {
        return false;
    }
    bytes.assign(static_cast<std::size_t>(buffer->size()), 0);
    if (buffer->size() > 0) {
        const void* data = platform::lockMemory(buffer->block());
        std::copy_n(static_cast<const std::uint8_t*>(data), bytes.size(), bytes.begin());
        platform::unlockMemory(buffer->block());
    }
    return true;
}

bool OpenedTour::sceneSound(std::int32_t position, std::vector<std::uint8_t>& bytes,
                            std::string& error) const {
    const auto payload = extractOne(*tour_, position, false, error);
    auto* file = dynamic_cast<package::TempFile*>(payload.get());
    return file != nullptr && readFile(file->path(), bytes);
}

bool OpenedTour::readRange(std::int64_t offset, std::int64_t length,
                           std::vector<std::uint8_t>& bytes) const {
    if (offset < 0 || length < 0 || offset + length > fileSize_) {
        return false;
    }
    std::ifstream in(pathFromUtf8(path_), std::ios::binary);
    in.seekg(offset);
    bytes.assign(static_cast<std::size_t>(length), 0);
    in.read(reinterpret_cast<char*>(bytes.data()), length);
    return static_cast<bool>(in) || length == 0;
}

bool OpenedTour::readFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace tourpack

#include "package/extraction.h"

#include <cstring>
#include <limits>
#include <memory>
#include <optional>

#include "package/media_callback.h"
#include "package/payload.h"
#include "platform/files.h"
#include "package/tea.h"

namespace package {

namespace {

ExtractionObserver observer = nullptr;
void* observerContext = nullptr;

bool isCancelled(const LoadRequest& request, ExtractionCheckpoint checkpoint) {
    if (observer != nullptr) {
        observer(checkpoint, observerContext);
    }
    return request.cancelFlag != nullptr && *request.cancelFlag != 0;
}

void deliverNothing(MediaCallback* receiver) {
    if (receiver != nullptr) {
        receiver->deliver(nullptr);
    }
}

// Returns false when the extraction has ended (delivered nothing or was cancelled).
bool extractImage(const LoadRequest& request) {
    std::optional<platform::MappedFile> ownMapping;
    if (request.imageFile == nullptr) {
        ownMapping.emplace(request.imagePath.c_str());
    }
    const platform::MappedFile& file =
        request.imageFile != nullptr ? *request.imageFile : *ownMapping;
    if (!file.opened()) {
        deliverNothing(request.imageReceiver);
        return false;
    }
    if (isCancelled(request, ExtractionCheckpoint::imageMapped)) {
        return false;
    }
    if (!file.contains(request.imageOffset, request.imageLength)) {
        deliverNothing(request.imageReceiver);
        return false;
    }

    const auto length = static_cast<std::size_t>(request.imageLength);
    platform::MemoryHandle block = platform::allocateMovable(length);
    if (block == nullptr) {
        deliverNothing(request.imageReceiver);
        return false;
    }
    // From here on the buffer owns the block, so every early return frees it.
    auto buffer = std::make_unique<PayloadBuffer>(block, request.imageLength);
    auto* bytes = static_cast<std::uint8_t*>(platform::lockMemory(block));
    if (isCancelled(request, ExtractionCheckpoint::imageLocked)) {
        if (bytes != nullptr) {
            platform::unlockMemory(block);
        }
        return false;
    }
    if (bytes != nullptr && length > 0) {
        // Decrypted on the way from the mapped file into the block: the same
        // bytes as a copy decrypted in place, in one pass over them.
        teaDecryptBuffer(file.data() + request.imageOffset, bytes, request.imageLength,
                         playerKeyText);
    }
    if (bytes != nullptr) {
        platform::unlockMemory(block);
    }

    if (isCancelled(request, ExtractionCheckpoint::imageReady)) {
        return false;
    }
    if (request.imageReceiver != nullptr) {
        request.imageReceiver->deliver(std::move(buffer));
    }
    return true;
}

void extractSound(const LoadRequest& request) {
    platform::MappedFile file(request.soundPath.c_str());
    if (!file.opened()) {
        deliverNothing(request.soundReceiver);
        return;
    }
    if (isCancelled(request, ExtractionCheckpoint::soundMapped)) {
        return;
    }
    if (!file.contains(request.soundOffset, request.soundLength)) {
        deliverNothing(request.soundReceiver);
        return;
    }

    auto soundFile = std::make_unique<TempFile>(platform::makeTempFile("QRX").c_str());
    if (isCancelled(request, ExtractionCheckpoint::soundNamed)) {
        return;  // the TempFile deletes the empty file it named
    }
    platform::writeFile(soundFile->path(), file.data() + request.soundOffset,
                        static_cast<std::size_t>(request.soundLength),
                        platform::WriteMode::intoExisting);
    if (request.soundReceiver != nullptr) {
        request.soundReceiver->deliver(std::move(soundFile));
    }
}

}  // namespace

void setExtractionObserver(ExtractionObserver newObserver, void* context) {
    observer = newObserver;
    observerContext = context;
}

void extractPayloads(LoadRequest& request) {
    const bool doImage =
        request.mode == LoadRequest::imageOnly || request.mode == LoadRequest::imageAndSound;
    const bool doSound =
        request.mode == LoadRequest::soundOnly || request.mode == LoadRequest::imageAndSound;
    if (isCancelled(request, ExtractionCheckpoint::start)) {
        return;
    }
    if (doImage && !extractImage(request)) {
        return;
    }
    if (doSound) {
        extractSound(request);
    }
}

std::unique_ptr<PayloadBuffer> extractPlainBytes(const platform::MappedFile& file,
                                                 std::int64_t offset, std::int32_t length) {
    if (length <= 0 || offset < 0 || offset > std::numeric_limits<std::int32_t>::max()) {
        return nullptr;
    }
    if (!file.opened() || !file.contains(static_cast<std::int32_t>(offset), length)) {
        return nullptr;
    }
    const platform::MemoryHandle block =
        platform::allocateMovable(static_cast<std::size_t>(length));
    if (block == nullptr) {
        return nullptr;
    }
    auto buffer = std::make_unique<PayloadBuffer>(block, length);
    void* bytes = platform::lockMemory(block);
    if (bytes == nullptr) {
        return nullptr;
    }
    std::memcpy(bytes, file.data() + offset, static_cast<std::size_t>(length));
    platform::unlockMemory(block);
    return buffer;
}

}  // namespace package

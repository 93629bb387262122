// On-demand extraction of a scene's payloads from the executable: the image is
// TEA-decrypted from a mapped view straight into a movable memory block; the
// sound is copied into a new "QRX" temporary file. Both are delivered
// synchronously to the request's receivers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class MappedFile;
}

namespace package {

class MediaCallback;
class PayloadBuffer;

struct LoadRequest {
    enum Mode : std::int32_t { imageOnly = 1, soundOnly = 2, imageAndSound = 3, nothing = 4 };

    std::string imagePath;  // UTF-8, of any length
    // The image's file mapped already by the caller, who keeps it for the
    // request; null: imagePath is mapped for this request alone.
    const platform::MappedFile* imageFile = nullptr;
    MediaCallback* imageReceiver = nullptr;
    std::int32_t imageOffset = 0;
    std::int32_t imageLength = 0;
    std::string soundPath;
    MediaCallback* soundReceiver = nullptr;
    std::int32_t soundOffset = 0;
    std::int32_t soundLength = 0;
    std::int32_t mode = nothing;
    // The scene's cancelled flag, checked at fixed points during extraction.
    const std::int32_t* cancelFlag = nullptr;
};

// The points at which a running extraction looks at the cancel flag.
enum class ExtractionCheckpoint {
    start,        // before anything is opened
    imageMapped,  // the executable is mapped for the image
    imageLocked,  // the image's memory block is allocated and locked
    imageReady,   // the image is decrypted, just before it is delivered
    soundMapped,  // the executable is mapped for the sound
    soundNamed,   // the sound's temporary file has been named (and created)
};

// Lets tests act at each checkpoint (for example cancel there), as code that
// runs during an extraction could. Null removes the observer.
using ExtractionObserver = void (*)(ExtractionCheckpoint checkpoint, void* context);
void setExtractionObserver(ExtractionObserver observer, void* context);

// Delivers zero, one or two payloads before it returns. A range that does not
// lie inside the file (negative offset or length, or past its end) is delivered
// as no payload, like a file that does not open; nothing outside the file is read.
void extractPayloads(LoadRequest& request);

// Bytes the file keeps as they are (a scene's stored preview): `length` bytes
// at `offset` of a file the caller has mapped, copied into a movable memory
// block. Null when the range does not lie inside the file, is empty, or no
// memory is left.
std::unique_ptr<PayloadBuffer> extractPlainBytes(const platform::MappedFile& file,
                                                 std::int64_t offset, std::int32_t length);

}  // namespace package

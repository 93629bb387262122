// The exceptions of image loading, thrown by value. Memory exhaustion while
// handling image data is fatal for the player: the scene-image callback turns
// an OutOfMemoryException into the out-of-memory box and ends the process.
#pragma once

#include "platform/process_end.h"

namespace imaging {

class IException {
  public:
    virtual ~IException() = default;
};

// Memory ran out: the process-end policy treats it as it treats std::bad_alloc.
class OutOfMemoryException : public IException, public platform::MemoryExhausted {
  public:
    explicit OutOfMemoryException(const char* message) : message_(message) {}
    // A static text naming the operation that ran out of memory.
    const char* message() const { return message_; }

  private:
    const char* message_;
};

// A picture that cannot be decoded, as a distinct type the scene-image
// callback catches (it then asks the user whether to go on).
class DecodeException : public IException {};

namespace oom {
// The texts of OutOfMemoryException, one per place that allocates image data.
inline constexpr const char* loadFromFile = "out of memory, LoadFrom File!";
inline constexpr const char* bufferAllocate = "Out of memory, LoadFromBufferNoRelease1";
inline constexpr const char* bufferLock = "Out of memory, LoadFromBufferNoRelease2";
inline constexpr const char* pictureService = "Out of memorym, LoadFromHGlobalNoRelease";
inline constexpr const char* scaledBitmap = "Out of memory, get scaled bitmap";
inline constexpr const char* bitmap = "Out of memory, get bitmap";
inline constexpr const char* imageFromFile = "Out of memory, Load img from file";
inline constexpr const char* imageFromBlock = "Out of memory, LoadImgFromHGlobal";
}  // namespace oom

}  // namespace imaging

// What an extraction delivers: a temporary file (scene sound, tour sound) or a
// decrypted image in a movable memory block. The receiver owns the payload.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace package {

class Payload {
  public:
    virtual ~Payload() = default;
};

// Owns a temporary file: destroying it deletes the file (a failure is ignored).
class TempFile : public Payload {
  public:
    explicit TempFile(const char* path) : path_(path != nullptr ? path : "") {}
    ~TempFile() override;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const char* path() const { return path_.c_str(); }

  private:
    std::string path_;
};

// A decrypted image: a movable global memory block (unlocked) and its size.
// The image decoder takes the block over with `takeBlock` and hands it to a
// stream that frees it on release; a buffer whose block nobody took frees it
// itself, so a dropped or cancelled image never leaks.
class PayloadBuffer : public Payload {
  public:
    PayloadBuffer(platform::MemoryHandle block, std::int32_t size) : block_(block), size_(size) {}
    ~PayloadBuffer() override;
    PayloadBuffer(const PayloadBuffer&) = delete;
    PayloadBuffer& operator=(const PayloadBuffer&) = delete;

    platform::MemoryHandle block() const { return block_; }
    std::int32_t size() const { return size_; }

    // Hands the block to the caller, who frees it from now on.
    platform::MemoryHandle takeBlock();

  private:
    platform::MemoryHandle block_;
    std::int32_t size_;
};

}  // namespace package

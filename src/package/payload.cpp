#include "package/payload.h"

namespace package {

TempFile::~TempFile() {
    if (!path_.empty()) {
        platform::deleteFile(path_.c_str());
    }
}

PayloadBuffer::~PayloadBuffer() {
    if (block_ != nullptr) {
        platform::freeMemory(block_);
    }
}

platform::MemoryHandle PayloadBuffer::takeBlock() {
    platform::MemoryHandle block = block_;
    block_ = nullptr;
    return block;
}

}  // namespace package

// Movable memory blocks outside Windows: plain heap blocks, for the POSIX and
// the in-memory file layers.
#include <cstdlib>

#include "platform/files.h"

namespace platform {

// A movable block is a plain heap block of at least one byte, so that an
// empty payload still has a handle, as on Windows.
MemoryHandle allocateMovable(std::size_t size) {
    return std::malloc(size == 0 ? 1 : size);
}
void* lockMemory(MemoryHandle block) {
    return block;
}
void unlockMemory(MemoryHandle) {}
void freeMemory(MemoryHandle block) {
    std::free(block);
}

}  // namespace platform

#include "engine/memory_view_host.h"

#include <new>

namespace engine {

ViewBuffer MemoryViewHost::createViewBitmap(std::int32_t width, std::int32_t height,
                                            std::int32_t stride) {
    pixels_.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), 0);
    return ViewBuffer{pixels_.data(), width, height, stride};
}

void MemoryViewHost::outOfMemory() {
    throw std::bad_alloc();
}

}  // namespace engine

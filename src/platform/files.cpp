#include "platform/files.h"

namespace platform {

bool MappedFile::contains(std::int32_t offset, std::int32_t length) const {
    if (offset < 0 || length < 0) {
        return false;
    }
    if (length == 0) {
        return static_cast<std::uint64_t>(offset) <= size_;
    }
    return data_ != nullptr &&
           static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(length) <= size_;
}

}  // namespace platform

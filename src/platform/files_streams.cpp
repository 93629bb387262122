// Reading and writing whole files through the runtime's file streams, shared
// by the Win32 and POSIX sides of the file layer.
#include <fstream>

#include "platform/files.h"

namespace platform {

std::filesystem::path nativePath(const char* path) {
    const char* text = path != nullptr ? path : "";
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(text)));
}

std::string textPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::unique_ptr<std::istream> openForReading(const char* path) {
    return std::make_unique<std::ifstream>(systemPath(path), std::ios::in | std::ios::binary);
}

bool writeFile(const char* path, const std::uint8_t* bytes, std::size_t length, WriteMode mode) {
    const auto openMode = mode == WriteMode::replace
                              ? std::ios::out | std::ios::binary | std::ios::trunc
                              : std::ios::in | std::ios::out | std::ios::binary;
    std::fstream out(systemPath(path), openMode);
    if (!out) {
        return false;
    }
    if (length > 0) {
        out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(length));
    }
    return true;
}

}  // namespace platform

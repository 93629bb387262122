#include "package/platform_files.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::string makeTempFile(const char* prefix) {
    const char* directory = std::getenv("TMPDIR");
    std::string pattern = (directory != nullptr && *directory != '\0') ? directory : "/tmp";
    pattern += '/';
    pattern += prefix;
    pattern += "XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        return {};
    }
    close(fd);
    return pattern;
}

std::int32_t fileSize(const char* path) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) {
        return -1;
    }
    struct stat info {};
    const int result = fstat(fd, &info);
    close(fd);
    if (result != 0) {
        return -1;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(info.st_size));
}

void deleteFile(const char* path) {
    unlink(path);
}

MappedFile::MappedFile(const char* path) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) {
        return;
    }
    opened_ = true;
    file_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_size <= 0) {
        return;
    }
    void* view =
        mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (view == MAP_FAILED) {
        return;
    }
    data_ = static_cast<const std::uint8_t*>(view);
    size_ = static_cast<std::uint64_t>(info.st_size);
}

MappedFile::~MappedFile() {
    if (data_ != nullptr) {
        munmap(const_cast<std::uint8_t*>(data_), size_);
    }
    if (file_ != nullptr) {
        close(static_cast<int>(reinterpret_cast<std::intptr_t>(file_) - 1));
    }
}

}  // namespace platform

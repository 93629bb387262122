#include "platform/files.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::filesystem::path systemPath(const char* path) {
    return nativePath(path);  // no limit to lift
}

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

struct MappedFile::Held {
    int file = -1;
    void* view = nullptr;
    std::size_t size = 0;

    ~Held() {
        if (view != nullptr) {
            munmap(view, size);
        }
        if (file >= 0) {
            close(file);
        }
    }
};

MappedFile::MappedFile(const char* path) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) {
        return;
    }
    opened_ = true;
    held_ = std::make_unique<Held>();
    held_->file = fd;
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_size <= 0) {
        return;
    }
    void* view =
        mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (view == MAP_FAILED) {
        return;
    }
    held_->view = view;
    held_->size = static_cast<std::size_t>(info.st_size);
    data_ = static_cast<const std::uint8_t*>(view);
    size_ = static_cast<std::uint64_t>(info.st_size);
}

MappedFile::~MappedFile() = default;

}  // namespace platform

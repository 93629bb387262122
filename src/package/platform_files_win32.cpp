#include "package/platform_files.h"

#include <windows.h>

#include "platform/scoped_handle.h"

namespace platform {

std::string makeTempFile(const char* prefix) {
    char directory[MAX_PATH] = {};
    char name[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, directory);
    if (GetTempFileNameA(directory, prefix, 0, name) == 0) {
        return {};
    }
    return name;
}

namespace {

UniqueFile openFile(const char* path) {
    return UniqueFile(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

std::int32_t fileSize(const char* path) {
    const UniqueFile file = openFile(path);
    if (!file) {
        return -1;
    }
    return static_cast<std::int32_t>(GetFileSize(file.get(), nullptr));
}

void deleteFile(const char* path) {
    // The package's one way to delete a file; its owners (TempFile, the
    // skin set) call it.
    DeleteFileA(path);
}

// Declared in this order so that the view goes first, then the mapping, then
// the file.
struct MappedFile::Held {
    UniqueFile file;
    UniqueHandle mapping;
    UniqueMappedView view;
};

MappedFile::MappedFile(const char* path) {
    UniqueFile file = openFile(path);
    if (!file) {
        return;
    }
    opened_ = true;
    held_ = std::make_unique<Held>();
    DWORD high = 0;
    const DWORD low = GetFileSize(file.get(), &high);
    held_->mapping.reset(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    held_->file = std::move(file);
    if (!held_->mapping) {
        return;  // an empty file has no mapping; every range but (0, 0) is rejected
    }
    held_->view.reset(MapViewOfFile(held_->mapping.get(), FILE_MAP_READ, 0, 0, 0));
    data_ = static_cast<const std::uint8_t*>(held_->view.get());
    if (data_ != nullptr) {
        size_ = (static_cast<std::uint64_t>(high) << 32) | low;
    }
}

MappedFile::~MappedFile() = default;

MemoryHandle allocateMovable(std::size_t size) {
    return GlobalAlloc(GMEM_MOVEABLE, size);
}
void* lockMemory(MemoryHandle block) {
    return GlobalLock(block);
}
void unlockMemory(MemoryHandle block) {
    GlobalUnlock(block);
}
void freeMemory(MemoryHandle block) {
    UniqueGlobal(static_cast<HGLOBAL>(block)).reset();
}

}  // namespace platform

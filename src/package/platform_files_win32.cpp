#include "package/platform_files.h"

#include <windows.h>

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

std::int32_t fileSize(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return -1;
    }
    const DWORD size = GetFileSize(file, nullptr);
    CloseHandle(file);
    return static_cast<std::int32_t>(size);
}

void deleteFile(const char* path) {
    DeleteFileA(path);
}

MappedFile::MappedFile(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    opened_ = true;
    file_ = file;
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) {
        return;  // an empty file has no mapping; every range but (0, 0) is rejected
    }
    mapping_ = mapping;
    data_ = static_cast<const std::uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (data_ != nullptr) {
        size_ = (static_cast<std::uint64_t>(high) << 32) | low;
    }
}

MappedFile::~MappedFile() {
    if (file_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(file_));
    }
    if (mapping_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(mapping_));
    }
    if (data_ != nullptr) {
        UnmapViewOfFile(data_);
    }
}

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
    GlobalFree(block);
}

}  // namespace platform

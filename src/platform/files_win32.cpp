#include "platform/files.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <map>
#include <string_view>

#include "platform/extended_paths.h"
#include "platform/scoped_handle.h"

namespace platform {

namespace {

// The files this run made and still holds, by path. Made on first use and
// never destroyed: owners of temporary files (the process-wide viewer's
// among them) delete theirs during static destruction, and the system closes
// whatever handles are left when the process ends.
std::map<std::string, UniqueFile>& heldFiles() {
    static auto* files = new std::map<std::string, UniqueFile>;
    return *files;
}

// The current folder as long as the system names it.
std::wstring currentFolder() {
    std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
    const DWORD length =
        folder.empty() ? 0 : GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    folder.resize(length < folder.size() ? length : 0);
    return folder;
}

// A path as the file calls take it at any length.
std::wstring callablePath(const std::wstring& path) {
    return extendedLengthPath(path, currentFolder());
}

// The folder as long as the system names it: asked once for its length.
std::wstring temporaryFolder() {
    std::wstring folder(GetTempPathW(0, nullptr), L'\0');
    const DWORD length =
        folder.empty() ? 0 : GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
    if (length == 0 || length >= folder.size()) {
        return {};
    }
    folder.resize(length);
    return folder;
}

// "<folder><prefix><unique in hex>.tmp", the name GetTempFileName gives a
// nonzero unique number, but for a folder of any length.
std::wstring temporaryName(const std::wstring& folder, const std::wstring& prefix, UINT unique) {
    wchar_t number[8] = {};
    swprintf(number, 8, L"%X", unique);
    return folder + prefix.substr(0, 3) + number + L".tmp";
}

// Other runs may delete a file no one holds; this run's files are held with
// reading and writing shared (the reader writes them, the media graph and the
// loader read them), deleting not.
UniqueFile holdNewFile(const wchar_t* path) {
    return UniqueFile(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}

UniqueFile openFile(const char* path) {
    return UniqueFile(CreateFileW(systemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Whether `name` is "<prefix><1 to 4 hex digits>.tmp", as makeTempFile names.
bool isTempFileName(std::wstring_view name, std::wstring_view prefix) {
    if (name.size() < prefix.size() + 5 || name.size() > prefix.size() + 8 ||
        _wcsnicmp(name.data(), prefix.data(), prefix.size()) != 0 ||
        _wcsicmp(name.data() + name.size() - 4, L".tmp") != 0) {
        return false;
    }
    for (std::size_t k = prefix.size(); k < name.size() - 4; ++k) {
        if (!std::iswxdigit(name[k])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::filesystem::path systemPath(const char* path) {
    return callablePath(nativePath(path).wstring());
}

std::string makeTempFile(const char* prefix) {
    const std::wstring folder = temporaryFolder();
    if (folder.empty()) {
        return {};
    }
    const std::wstring widePrefix = nativePath(prefix).wstring();
    // As GetTempFileName does with a unique number of 0: tried from the
    // clock on, but the file is made and held in one call, so that no other
    // run's clean-up can take it in between.
    const UINT start = GetTickCount();
    for (UINT attempt = 0; attempt <= 0xFFFF; ++attempt) {
        const UINT unique = (start + attempt) & 0xFFFF;
        if (unique == 0) {
            continue;
        }
        const std::wstring name = temporaryName(folder, widePrefix, unique);
        UniqueFile held = holdNewFile(callablePath(name).c_str());
        if (held) {
            std::string path = textPath(name);
            heldFiles()[path] = std::move(held);
            return path;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return {};
        }
    }
    return {};
}

std::int32_t fileSize(const char* path) {
    const UniqueFile file = openFile(path);
    if (!file) {
        return -1;
    }
    return static_cast<std::int32_t>(GetFileSize(file.get(), nullptr));
}

void deleteFile(const char* path) {
    // The package's one way to delete a file; its owners (TempFile, the
    // skin set, the shell) call it.
    heldFiles().erase(path);
    DeleteFileW(systemPath(path).c_str());
}

void deleteFilesOfThisRun() {
    auto& files = heldFiles();
    while (!files.empty()) {
        deleteFile(std::string(files.begin()->first).c_str());
    }
}

int removeFilesOfEndedRuns(const char* prefix) {
    const std::wstring folder = temporaryFolder();
    if (folder.empty()) {
        return 0;
    }
    const std::wstring widePrefix = nativePath(prefix).wstring();
    WIN32_FIND_DATAW found{};
    const UniqueFileSearch search(
        FindFirstFileW(callablePath(folder + widePrefix + L"*.tmp").c_str(), &found));
    if (!search) {
        return 0;
    }
    int removed = 0;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            isTempFileName(found.cFileName, widePrefix)) {
            // A running player holds its files: deleting them fails.
            if (DeleteFileW(callablePath(folder + found.cFileName).c_str())) {
                ++removed;
            }
        }
    } while (FindNextFileW(search.get(), &found));
    return removed;
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
    held_->mapping.reset(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
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

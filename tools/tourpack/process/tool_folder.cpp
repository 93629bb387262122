#include "process/tool_folder.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#endif

#ifndef TOURPACK_SOURCE_SKIN
#define TOURPACK_SOURCE_SKIN ""
#endif
#ifndef TOURPACK_INSTALLED_COMPANIONS
#define TOURPACK_INSTALLED_COMPANIONS ""
#endif

namespace tourpack {

std::filesystem::path toolFolder() {
#ifdef _WIN32
    // Wide, so that a folder named outside the ANSI code page is found too.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path).parent_path();
        }
        path.resize(path.size() * 2);
    }
#else
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
#endif
}

std::vector<std::filesystem::path> companionFolders(const std::filesystem::path& toolFolder) {
    if (toolFolder.empty()) {
        return {};
    }
    std::vector<std::filesystem::path> folders = {toolFolder};
    const std::filesystem::path installed = TOURPACK_INSTALLED_COMPANIONS;
    if (!installed.empty()) {
        folders.push_back((toolFolder / installed).lexically_normal());
    }
    return folders;
}

std::vector<std::filesystem::path> defaultSkinCandidates() {
    std::vector<std::filesystem::path> candidates;
    for (const std::filesystem::path& folder : companionFolders(toolFolder())) {
        candidates.push_back(folder / "skin");
    }
    const std::filesystem::path checkout = TOURPACK_SOURCE_SKIN;
    if (!checkout.empty()) {
        candidates.push_back(checkout);
    }
    return candidates;
}

}  // namespace tourpack

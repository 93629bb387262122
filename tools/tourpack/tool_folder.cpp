#include "tool_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tourpack {

std::filesystem::path toolFolder() {
#ifdef _WIN32
    char path[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, path, MAX_PATH) == 0) {
        return {};
    }
    return std::filesystem::path(path).parent_path();
#else
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
#endif
}

}  // namespace tourpack

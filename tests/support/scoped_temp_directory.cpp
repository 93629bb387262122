#include "scoped_temp_directory.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace test_support {
namespace {

const char* const variables[3] = {"TMPDIR", "TMP", "TEMP"};

void setVariable(const char* name, const char* value) {
#ifdef _WIN32
    SetEnvironmentVariableA(name, value);
    _putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
#endif
}

}  // namespace

ScopedTempDirectory::ScopedTempDirectory(const std::filesystem::path& folder) {
    std::string path = folder.string();
#ifdef _WIN32
    path += '\\';
#endif
    for (int i = 0; i < 3; ++i) {
        const char* old = std::getenv(variables[i]);
        had_[i] = old != nullptr;
        saved_[i] = old != nullptr ? old : "";
        setVariable(variables[i], path.c_str());
    }
}

ScopedTempDirectory::~ScopedTempDirectory() {
    for (int i = 0; i < 3; ++i) {
        setVariable(variables[i], had_[i] ? saved_[i].c_str() : nullptr);
    }
}

}  // namespace test_support

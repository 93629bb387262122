#pragma once

#include <filesystem>
#include <string>

namespace test_support {

// Points the process's temporary folder (where the package reader and the
// extraction make their "QRZ" and "QRX" files) at `folder` while it lives.
class ScopedTempDirectory {
  public:
    explicit ScopedTempDirectory(const std::filesystem::path& folder);
    ~ScopedTempDirectory();
    ScopedTempDirectory(const ScopedTempDirectory&) = delete;
    ScopedTempDirectory& operator=(const ScopedTempDirectory&) = delete;

  private:
    std::string saved_[3];
    bool had_[3] = {};
};

}  // namespace test_support

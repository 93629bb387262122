// Files the tests make and read back: private temporary folders removed with
// their contents, and whole files as bytes. Windows-free: the native tests
// use them as the Windows tests do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace test_support {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A new folder under the system's temporary folder, removed with its contents.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// Writes the bytes as the whole file, making its folder first when missing.
void writeFile(const fs::path& file, const Bytes& bytes);
// The whole file; empty when it cannot be read.
Bytes readFile(const fs::path& file);

// Little-endian values written over the bytes at `at`, as file headers hold them.
inline void put16(Bytes& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
inline void put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    put16(bytes, at, value & 0xFFFF);
    put16(bytes, at + 2, value >> 16);
}

}  // namespace test_support

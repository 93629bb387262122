// A byte range of a file: where a payload lies. It names the bytes; it never
// reads or deletes them.
#pragma once

#include <cstdint>
#include <string>

namespace package {

class FileItem {
  public:
    FileItem(const char* path, std::int32_t offset, std::int32_t length);
    // The whole file at `path`: offset 0 and the file's size, or length -1 when
    // the file does not open.
    explicit FileItem(const char* path);
    virtual ~FileItem() = default;

    const char* path() const { return path_.c_str(); }
    std::int32_t offset() const { return offset_; }
    std::int32_t length() const { return length_; }

  private:
    std::string path_;
    std::int32_t offset_;
    std::int32_t length_;
};

}  // namespace package

#include "package/file_item.h"

#include "platform/files.h"

namespace package {

FileItem::FileItem(const char* path, std::int32_t offset, std::int32_t length)
    : path_(path != nullptr ? path : ""), offset_(offset), length_(length) {}

FileItem::FileItem(const char* path)
    : FileItem(path, 0, platform::fileSize(path != nullptr ? path : "")) {}

}  // namespace package

#include "platform/files_memory.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <streambuf>

#include "platform/files.h"

namespace platform {

namespace {

using Bytes = std::vector<std::uint8_t>;

std::unordered_map<std::string, Bytes>& table() {
    static std::unordered_map<std::string, Bytes> files;
    return files;
}

// A read-only stream over bytes that stay where they are (no copy per read).
class ByteStreamBuffer : public std::streambuf {
  public:
    explicit ByteStreamBuffer(const Bytes& bytes) {
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
        setg(begin, begin, begin + bytes.size());
    }

  protected:
    pos_type seekoff(off_type offset, std::ios::seekdir direction,
                     std::ios::openmode which) override {
        const off_type base = direction == std::ios::beg   ? 0
                              : direction == std::ios::cur ? gptr() - eback()
                                                           : egptr() - eback();
        return seekpos(pos_type(base + offset), which);
    }
    pos_type seekpos(pos_type position, std::ios::openmode which) override {
        const off_type at = position;
        if ((which & std::ios::in) == 0 || at < 0 || at > egptr() - eback()) {
            return pos_type(off_type(-1));
        }
        setg(eback(), eback() + at, egptr());
        return position;
    }
};

class ByteStream : public std::istream {
  public:
    explicit ByteStream(const Bytes& bytes) : std::istream(nullptr), buffer_(bytes) {
        rdbuf(&buffer_);
    }

  private:
    ByteStreamBuffer buffer_;
};

const Bytes* find(const char* path) {
    const auto found = table().find(path);
    return found == table().end() ? nullptr : &found->second;
}

}  // namespace

void memory::putFile(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
    table()[path].assign(bytes, bytes + size);
}

std::vector<std::string> memory::filePaths() {
    std::vector<std::string> paths;
    for (const auto& [path, bytes] : table()) {
        paths.push_back(path);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string makeTempFile(const char* prefix) {
    static unsigned long counter = 0;
    std::string path;
    do {
        path = memory::tempFolder;
        path += prefix;
        path += std::to_string(++counter % 10000000);
    } while (find(path.c_str()) != nullptr);
    table()[path];
    return path;
}

std::int32_t fileSize(const char* path) {
    const Bytes* file = find(path);
    if (file == nullptr) {
        return -1;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(file->size()));
}

void deleteFile(const char* path) {
    table().erase(path);
}

std::unique_ptr<std::istream> openForReading(const char* path) {
    static const Bytes nothing;
    const Bytes* file = find(path);
    auto stream = std::make_unique<ByteStream>(file != nullptr ? *file : nothing);
    if (file == nullptr) {
        stream->setstate(std::ios::failbit);
    }
    return stream;
}

bool writeFile(const char* path, const std::uint8_t* bytes, std::size_t length, WriteMode mode) {
    if (mode == WriteMode::intoExisting && find(path) == nullptr) {
        return false;
    }
    Bytes& file = table()[path];
    if (mode == WriteMode::replace) {
        file.clear();
    }
    // Written at the start: the bytes replace what lay there, the rest stays.
    if (file.size() < length) {
        file.resize(length);
    }
    std::copy(bytes, bytes + length, file.begin());
    return true;
}

// Nothing is held: the view points into the table's entry; the reader never changes or
// deletes a file while it holds a view of it.
struct MappedFile::Held {};

MappedFile::MappedFile(const char* path) {
    const Bytes* file = find(path);
    if (file == nullptr) {
        return;
    }
    opened_ = true;
    if (!file->empty()) {
        data_ = file->data();
        size_ = file->size();
    }
}

MappedFile::~MappedFile() = default;

}  // namespace platform

// The package reader's one door to the file system. The Win32 side makes
// the wide-character calls (GetTempPathW, CreateFileW, file mapping,
// movable global memory, the runtime's file streams over wide paths); the POSIX
// side serves the native build and tourpack on Linux, so that all of them run
// the same reader. A third side keeps every file in memory, for the fuzzer
// (files_memory.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <string>

namespace platform {

// Paths are UTF-8 text throughout the player, so that a file in any folder can
// be named whatever the system's ANSI code page; they are held in strings, as
// long as the system makes them.

// The path as the system's file calls take it (UTF-16 on Windows).
std::filesystem::path nativePath(const char* path);
// nativePath at any length: on Windows a path too long for the plain form is
// handed over extended-length (extended_paths.h), so that a file in a deep
// folder opens without the system's long-path setting. Every file call of
// this layer, and the player's loading of its language module, goes through it.
std::filesystem::path systemPath(const char* path);
// The path of a file the system named, as UTF-8 text.
std::string textPath(const std::filesystem::path& path);

// Creates a new, empty, uniquely named file in the user's temporary folder
// whose name starts with `prefix` ("QRZ", "QRX"). Returns its path, or the
// empty text when no file could be made.
std::string makeTempFile(const char* prefix);

// Size of the file in bytes (its low 32 bits: the package's offsets and
// lengths are 32-bit), or -1 when the file does not open for reading.
std::int32_t fileSize(const char* path);

// Deletes the file; a failure is ignored.
void deleteFile(const char* path);

#ifdef _WIN32
// Every file makeTempFile made stays held open, without delete sharing, until
// deleteFile deletes it: while its run lives, no other run can delete it, and
// when the run ends, however it ends, the system lets go of it.

// Deletes what this run made and has not deleted yet: the last step of every
// way out of the player.
void deleteFilesOfThisRun();

// Deletes the files with this prefix ("QRZ", "QRX", named as makeTempFile
// names them) in the user's temporary folder that no running player holds:
// what runs that were killed or crashed left. Returns how many went.
int removeFilesOfEndedRuns(const char* prefix);
#endif

// A stream over the whole file, read from its start; it is failed when the
// file does not open.
std::unique_ptr<std::istream> openForReading(const char* path);

// How writeFile treats the file it writes to.
enum class WriteMode {
    intoExisting,  // the file must exist (a temporary file named before)
    replace,       // the file is made anew, or emptied first
};

// Writes `length` bytes at the start of the file. Returns false when the file
// did not open; a short write is not reported (the player does not check it).
bool writeFile(const char* path, const std::uint8_t* bytes, std::size_t length, WriteMode mode);

// A read-only view of a whole file, open for the object's lifetime.
class MappedFile {
  public:
    explicit MappedFile(const char* path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // The file opened; the view may still be missing (an empty file has none).
    bool opened() const { return opened_; }
    const std::uint8_t* data() const { return data_; }
    std::uint64_t size() const { return size_; }

    // True when [offset, offset + length) is a valid range of the mapped view.
    bool contains(std::int32_t offset, std::int32_t length) const;

  private:
    // What the file layer holds open for the view (the file, the mapping);
    // each side defines its own, released with the object, the view first.
    struct Held;

    bool opened_ = false;
    const std::uint8_t* data_ = nullptr;
    std::uint64_t size_ = 0;
    std::unique_ptr<Held> held_;
};

// A movable global memory block (HGLOBAL on Windows). The image decoder's
// stream takes such a block over and frees it.
using MemoryHandle = void*;
MemoryHandle allocateMovable(std::size_t size);
void* lockMemory(MemoryHandle block);
void unlockMemory(MemoryHandle block);
void freeMemory(MemoryHandle block);

}  // namespace platform

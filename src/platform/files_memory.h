// The file layer kept in memory: every file the reader opens, maps, writes or
// deletes is an entry of one table in this process. The fuzzer runs the
// player's reader over it, so that an input costs no file-system calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::memory {

// Puts a file into the table, replacing one of the same path.
void putFile(const std::string& path, const std::uint8_t* bytes, std::size_t size);

// The paths in the table, in name order.
std::vector<std::string> filePaths();

// The folder that temporary files are named in ("QRZ1", "QRX2", ... follow
// it). Short, so that a name fits in a string without a heap block.
inline constexpr char tempFolder[] = "mem/";

}  // namespace platform::memory

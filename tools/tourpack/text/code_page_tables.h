// The single-byte Windows code pages a tour's texts may be stored in.
#pragma once

#include <cstdint>
#include <span>

namespace tourpack {

struct CodePageTable {
    int codePage;
    const char* script;          // for people: "Cyrillic"
    const std::uint16_t* upper;  // code points of bytes 0x80 to 0xFF; 0: unassigned
};

// Windows-1252 first (the player's own), then the others in the order they
// are tried.
std::span<const CodePageTable> codePageTables();

// Null for a code page that is not among them.
const CodePageTable* findCodePageTable(int codePage);

}  // namespace tourpack

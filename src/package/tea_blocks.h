// The block loop of TEA decryption. ECB blocks are independent of each other,
// so several are decrypted at once, one per 32-bit vector lane (SSE2: four,
// AVX2: eight, chosen at run time); each lane does exactly the scalar
// block's arithmetic, so the output is the same.
#pragma once

#include <cstddef>
#include <cstdint>

#include "package/tea.h"

namespace package {

// Blocks decrypted side by side: 1 is the plain block function.
enum class TeaLanes { one = 1, four = 4, eight = 8 };

// Whether this build and processor have those lanes.
bool teaLanesAvailable(TeaLanes lanes);
// The widest available.
TeaLanes widestTeaLanes();

// Decrypts `blocks` 8-byte blocks from `source` to `target`, which is either
// `source` itself or memory apart from it. The lanes must be available.
void teaDecryptBlocks(const std::uint8_t* source, std::uint8_t* target, std::size_t blocks,
                      const TeaKey& key, TeaLanes lanes);

// The AVX2 loop (tea_wide.cpp): decrypts the largest multiple of 16 blocks
// and returns how many it did.
std::size_t teaDecryptBlocksWide(const std::uint8_t* source, std::uint8_t* target,
                                 std::size_t blocks, const TeaKey& key);

}  // namespace package

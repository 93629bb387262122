// The round loop of TEA decryption over blocks side by side, one block per
// 32-bit lane of a vector: the same loop for each vector width, given the
// width's operations as `Lanes` (tea.cpp: SSE2, tea_wide.cpp: AVX2):
//   Vector                      the vector type
//   blocks                      blocks per vector
//   all(word)                   the word in every lane
//   split(bytes) -> {y, z}      the y and z words of `blocks` blocks
//   interleave({y, z}, bytes)   the blocks back in their order
//   halfRound(v, w, sum, a, b)  v - (((w << 4) + a) ^ (w + sum) ^ ((w >> 5) + b))
#pragma once

#include <cstddef>
#include <cstdint>

#include "package/tea.h"

namespace package {

inline constexpr std::uint32_t teaDelta = 0x9E3779B9u;
inline constexpr std::uint32_t teaDecryptStart = 0xC6EF3720u;  // 32 * teaDelta

// Decrypts the largest multiple of 2 * Lanes::blocks blocks, two vectors at a
// time (each round's steps depend on the one before, so the second vector
// fills the wait), and returns how many it did.
template <typename Lanes>
std::size_t teaDecryptSideBySide(const std::uint8_t* source, std::uint8_t* target,
                                 std::size_t blocks, const TeaKey& key) {
    using Vector = typename Lanes::Vector;
    const Vector k0 = Lanes::all(key.words[0]);
    const Vector k1 = Lanes::all(key.words[1]);
    const Vector k2 = Lanes::all(key.words[2]);
    const Vector k3 = Lanes::all(key.words[3]);
    constexpr std::size_t step = 2 * Lanes::blocks;
    constexpr std::size_t second = 8 * Lanes::blocks;  // bytes to the second vector's blocks
    const std::size_t done = blocks / step * step;
    for (std::size_t block = 0; block < done; block += step) {
        auto a = Lanes::split(source + 8 * block);
        auto b = Lanes::split(source + 8 * block + second);
        std::uint32_t sum = teaDecryptStart;
        for (int round = 0; round < 32; ++round) {
            const Vector sums = Lanes::all(sum);
            a.z = Lanes::halfRound(a.z, a.y, sums, k2, k3);
            b.z = Lanes::halfRound(b.z, b.y, sums, k2, k3);
            a.y = Lanes::halfRound(a.y, a.z, sums, k0, k1);
            b.y = Lanes::halfRound(b.y, b.z, sums, k0, k1);
            sum -= teaDelta;
        }
        Lanes::interleave(a, target + 8 * block);
        Lanes::interleave(b, target + 8 * block + second);
    }
    return done;
}

}  // namespace package

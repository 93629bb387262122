// Built with AVX2 (see tea_blocks.h); called only where the processor has it.
#include <immintrin.h>

#include "package/tea_blocks.h"

namespace {

constexpr std::uint32_t delta = 0x9E3779B9u;
constexpr std::uint32_t decryptStart = 0xC6EF3720u;  // 32 * delta

struct Words {
    __m256i y;
    __m256i z;
};

// Eight blocks y0 z0 y1 z1 ... as the y and z words of each; the lanes come
// out in the order 0 1 4 5 2 3 6 7, which interleave() puts back.
Words split(const std::uint8_t* at) {
    const __m256 a = _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)));
    const __m256 b =
        _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32)));
    return {_mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
            _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)))};
}

void interleave(const Words& w, std::uint8_t* at) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), _mm256_unpacklo_epi32(w.y, w.z));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + 32), _mm256_unpackhi_epi32(w.y, w.z));
}

// One half round: v - (((w << 4) + ka) ^ (w + sum) ^ ((w >> 5) + kb)).
__m256i halfRound(__m256i v, __m256i w, __m256i sum, __m256i ka, __m256i kb) {
    const __m256i mixed = _mm256_xor_si256(
        _mm256_xor_si256(_mm256_add_epi32(_mm256_slli_epi32(w, 4), ka), _mm256_add_epi32(w, sum)),
        _mm256_add_epi32(_mm256_srli_epi32(w, 5), kb));
    return _mm256_sub_epi32(v, mixed);
}

}  // namespace

std::size_t teaDecryptBlocksWide(const std::uint8_t* source, std::uint8_t* target,
                                 std::size_t blocks, const TeaKey& key) {
    const __m256i k0 = _mm256_set1_epi32(static_cast<int>(key.words[0]));
    const __m256i k1 = _mm256_set1_epi32(static_cast<int>(key.words[1]));
    const __m256i k2 = _mm256_set1_epi32(static_cast<int>(key.words[2]));
    const __m256i k3 = _mm256_set1_epi32(static_cast<int>(key.words[3]));
    const std::size_t done = blocks / 16 * 16;
    // Two groups of eight at a time: each round's steps depend on the one
    // before, so the second group fills the wait.
    for (std::size_t block = 0; block < done; block += 16) {
        Words a = split(source + 8 * block);
        Words b = split(source + 8 * block + 64);
        std::uint32_t sum = decryptStart;
        for (int round = 0; round < 32; ++round) {
            const __m256i sums = _mm256_set1_epi32(static_cast<int>(sum));
            a.z = halfRound(a.z, a.y, sums, k2, k3);
            b.z = halfRound(b.z, b.y, sums, k2, k3);
            a.y = halfRound(a.y, a.z, sums, k0, k1);
            b.y = halfRound(b.y, b.z, sums, k0, k1);
            sum -= delta;
        }
        interleave(a, target + 8 * block);
        interleave(b, target + 8 * block + 64);
    }
    return done;
}

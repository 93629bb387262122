// Built with AVX2 (see tea_blocks.h); called only where the processor has it.
#include <immintrin.h>

#include "package/tea_blocks.h"
#include "package/tea_rounds.h"

namespace package {

namespace {

struct EightLanes {
    using Vector = __m256i;
    struct Words {
        __m256i y;
        __m256i z;
    };
    static constexpr std::size_t blocks = 8;

    static __m256i all(std::uint32_t word) { return _mm256_set1_epi32(static_cast<int>(word)); }

    // The lanes come out in the block order 0 1 4 5 2 3 6 7 (shuffles stay
    // within 128-bit halves), which interleave() puts back.
    static Words split(const std::uint8_t* at) {
        const __m256 a =
            _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)));
        const __m256 b =
            _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32)));
        return {_mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
                _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)))};
    }

    static void interleave(const Words& w, std::uint8_t* at) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), _mm256_unpacklo_epi32(w.y, w.z));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + 32), _mm256_unpackhi_epi32(w.y, w.z));
    }

    static __m256i halfRound(__m256i v, __m256i w, __m256i sum, __m256i ka, __m256i kb) {
        const __m256i mixed =
            _mm256_xor_si256(_mm256_xor_si256(_mm256_add_epi32(_mm256_slli_epi32(w, 4), ka),
                                              _mm256_add_epi32(w, sum)),
                             _mm256_add_epi32(_mm256_srli_epi32(w, 5), kb));
        return _mm256_sub_epi32(v, mixed);
    }
};

}  // namespace

std::size_t teaDecryptBlocksWide(const std::uint8_t* source, std::uint8_t* target,
                                 std::size_t blocks, const TeaKey& key) {
    return teaDecryptSideBySide<EightLanes>(source, target, blocks, key);
}

}  // namespace package

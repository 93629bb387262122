#include "package/tea.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "package/tea_blocks.h"
#include "package/tea_rounds.h"
#include "platform/band_pool.h"
#include "platform/processor_features.h"

namespace package {

namespace {

std::uint32_t loadLittleEndian(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void storeLittleEndian(std::uint32_t value, std::uint8_t* bytes) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
    bytes[2] = static_cast<std::uint8_t>(value >> 16);
    bytes[3] = static_cast<std::uint8_t>(value >> 24);
}

#if defined(__SSE2__)

struct FourLanes {
    using Vector = __m128i;
    struct Words {
        __m128i y;
        __m128i z;
    };
    static constexpr std::size_t blocks = 4;

    static __m128i all(std::uint32_t word) { return _mm_set1_epi32(static_cast<int>(word)); }

    // y0 z0 y1 z1 y2 z2 y3 z3 (the processor is little-endian, as the block's
    // words are).
    static Words split(const std::uint8_t* at) {
        const __m128 a = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
        const __m128 b =
            _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16)));
        return {_mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
                _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)))};
    }

    static void interleave(const Words& w, std::uint8_t* at) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_unpacklo_epi32(w.y, w.z));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 16), _mm_unpackhi_epi32(w.y, w.z));
    }

    static __m128i halfRound(__m128i v, __m128i w, __m128i sum, __m128i ka, __m128i kb) {
        const __m128i mixed = _mm_xor_si128(
            _mm_xor_si128(_mm_add_epi32(_mm_slli_epi32(w, 4), ka), _mm_add_epi32(w, sum)),
            _mm_add_epi32(_mm_srli_epi32(w, 5), kb));
        return _mm_sub_epi32(v, mixed);
    }
};

#endif  // __SSE2__

// Transforms every whole block with transformBlocks(source, target, blocks,
// key) and copies the rest unchanged.
template <typename BlocksFunction>
void transformBuffer(const std::uint8_t* source, std::uint8_t* target, std::int64_t length,
                     const char* keyText, BlocksFunction transformBlocks) {
    if (length <= 0) {
        return;
    }
    const TeaKey key = teaKeyFromText(keyText);
    const auto blocks = static_cast<std::size_t>(length / 8);
    transformBlocks(source, target, blocks, key);
    const std::size_t tail = 8 * blocks;
    if (source != target && tail < static_cast<std::size_t>(length)) {
        std::memmove(target + tail, source + tail, static_cast<std::size_t>(length) - tail);
    }
}

}  // namespace

TeaKey teaKeyFromText(const char* keyText) {
    std::uint8_t bytes[16] = {};
    const std::size_t available = keyText == nullptr ? 0 : std::strlen(keyText);
    const std::size_t used = available < 16 ? available : 16;
    if (used > 0) {
        for (std::size_t i = 0; i < 16; ++i) {
            bytes[i] = static_cast<std::uint8_t>(keyText[i % used]);
        }
    }
    TeaKey key{};
    for (int i = 0; i < 4; ++i) {
        key.words[i] = loadLittleEndian(bytes + 4 * i);
    }
    return key;
}

void teaDecryptBlock(const std::uint8_t* source, std::uint8_t* target, const TeaKey& key) {
    std::uint32_t y = loadLittleEndian(source);
    std::uint32_t z = loadLittleEndian(source + 4);
    std::uint32_t sum = teaDecryptStart;
    const std::uint32_t* k = key.words;
    for (int round = 0; round < 32; ++round) {
        z -= ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
        y -= ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
        sum -= teaDelta;
    }
    storeLittleEndian(y, target);
    storeLittleEndian(z, target + 4);
}

void teaEncryptBlock(const std::uint8_t* source, std::uint8_t* target, const TeaKey& key) {
    std::uint32_t y = loadLittleEndian(source);
    std::uint32_t z = loadLittleEndian(source + 4);
    std::uint32_t sum = 0;
    const std::uint32_t* k = key.words;
    for (int round = 0; round < 32; ++round) {
        sum += teaDelta;
        y += ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
        z += ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
    }
    storeLittleEndian(y, target);
    storeLittleEndian(z, target + 4);
}

bool teaLanesAvailable(TeaLanes lanes) {
    switch (lanes) {
        case TeaLanes::one:
            return true;
        case TeaLanes::four:
#if defined(__SSE2__)
            return true;
#else
            return false;
#endif
        case TeaLanes::eight:
#if defined(LUMIVUE_WIDE_TEA)
            return processorHasAvx2();
#else
            return false;
#endif
    }
    return false;
}

TeaLanes widestTeaLanes() {
    for (const TeaLanes lanes : {TeaLanes::eight, TeaLanes::four}) {
        if (teaLanesAvailable(lanes)) {
            return lanes;
        }
    }
    return TeaLanes::one;
}

void teaDecryptBlocks(const std::uint8_t* source, std::uint8_t* target, std::size_t blocks,
                      const TeaKey& key, TeaLanes lanes) {
    std::size_t done = 0;
#if defined(LUMIVUE_WIDE_TEA)
    if (lanes == TeaLanes::eight) {
        done = teaDecryptBlocksWide(source, target, blocks, key);
    }
#endif
#if defined(__SSE2__)
    if (lanes != TeaLanes::one) {
        done += teaDecryptSideBySide<FourLanes>(source + 8 * done, target + 8 * done, blocks - done,
                                                key);
    }
#else
    (void)lanes;
#endif
    for (; done < blocks; ++done) {
        teaDecryptBlock(source + 8 * done, target + 8 * done, key);
    }
}

namespace {

// From this many blocks on (1 MB: a scene image) the blocks are decrypted on
// every core; starting a thread costs far less than a share of that.
constexpr std::size_t blocksForEveryCore = std::size_t{1} << 17;

// Parts per thread: a thread slowed by other work (the window's thread
// drawing the scene's first look) leaves its share to the others.
constexpr std::size_t partsPerThread = 8;

void decryptOnEveryCore(const std::uint8_t* source, std::uint8_t* target, std::size_t blocks,
                        const TeaKey& key, TeaLanes lanes) {
    const std::int32_t threads =
        blocks >= blocksForEveryCore ? platform::BandPool::threadsForThisProcessor() : 1;
    const std::size_t parts = threads > 1 ? static_cast<std::size_t>(threads) * partsPerThread : 1;
    auto decryptPart = [&](std::int32_t band, std::int32_t) {
        const auto part = static_cast<std::size_t>(band);
        const std::size_t first = blocks * part / parts;
        const std::size_t last = blocks * (part + 1) / parts;
        teaDecryptBlocks(source + 8 * first, target + 8 * first, last - first, key, lanes);
    };
    if (threads == 1) {
        decryptPart(0, 0);
        return;
    }
    platform::PooledBands bands(threads);
    bands.pool().run(static_cast<std::int32_t>(parts), decryptPart);
}

}  // namespace

void teaDecryptBuffer(const std::uint8_t* source, std::uint8_t* target, std::int64_t length,
                      const char* keyText) {
    const TeaLanes lanes = widestTeaLanes();
    transformBuffer(
        source, target, length, keyText,
        [lanes](const std::uint8_t* from, std::uint8_t* to, std::size_t blocks, const TeaKey& key) {
            decryptOnEveryCore(from, to, blocks, key, lanes);
        });
}

void teaEncryptBuffer(const std::uint8_t* source, std::uint8_t* target, std::int64_t length,
                      const char* keyText) {
    transformBuffer(
        source, target, length, keyText,
        [](const std::uint8_t* from, std::uint8_t* to, std::size_t blocks, const TeaKey& key) {
            for (std::size_t block = 0; block < blocks; ++block) {
                teaEncryptBlock(from + 8 * block, to + 8 * block, key);
            }
        });
}

}  // namespace package

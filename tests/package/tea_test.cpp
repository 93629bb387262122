#include "package/tea.h"
#include "package/tea_blocks.h"

#include <gtest/gtest.h>
#include <array>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

namespace {

// Reference encryption written from the published algorithm, independent of
// the player's code: v[0], v[1] with key k[0..3], 32 cycles.
void referenceEncrypt(std::uint32_t v[2], const std::uint32_t k[4]) {
    std::uint32_t v0 = v[0], v1 = v[1], sum = 0;
    for (int i = 0; i < 32; i++) {
        sum += 0x9e3779b9;
        v0 += ((v1 << 4) + k[0]) ^ (v1 + sum) ^ ((v1 >> 5) + k[1]);
        v1 += ((v0 << 4) + k[2]) ^ (v0 + sum) ^ ((v0 >> 5) + k[3]);
    }
    v[0] = v0;
    v[1] = v1;
}

std::array<std::uint32_t, 4> keyWords(const char* sixteenBytes) {
    std::array<std::uint32_t, 4> k{};
    for (int i = 0; i < 4; ++i) {
        const auto* b = reinterpret_cast<const unsigned char*>(sixteenBytes) + 4 * i;
        k[i] = b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    }
    return k;
}

std::vector<std::uint8_t> referenceEncryptBuffer(std::vector<std::uint8_t> bytes,
                                                 const char* sixteenBytes) {
    const auto k = keyWords(sixteenBytes);
    for (std::size_t o = 0; o + 8 <= bytes.size(); o += 8) {
        std::uint32_t v[2];
        std::memcpy(v, bytes.data() + o, 8);  // little-endian host
        referenceEncrypt(v, k.data());
        std::memcpy(bytes.data() + o, v, 8);
    }
    return bytes;
}

TEST(Tea, KnownVectorOfTheAlgorithm) {
    // All-zero key and block: the published first test vector.
    std::uint8_t block[8] = {};
    const package::TeaKey zero{};
    package::teaEncryptBlock(block, block, zero);
    const std::uint8_t expected[8] = {0x0A, 0x3A, 0xEA, 0x41, 0x40, 0xA9, 0xBA, 0x94};
    EXPECT_EQ(0, std::memcmp(block, expected, 8));
    package::teaDecryptBlock(block, block, zero);
    EXPECT_EQ(std::vector<std::uint8_t>(block, block + 8), std::vector<std::uint8_t>(8, 0));
}

TEST(Tea, DecryptsAnIndependentEncryptionUnderThePlayersKey) {
    const std::vector<std::uint8_t> plain = {0, 1, 2, 3, 4, 5, 6, 7};
    auto cipher = referenceEncryptBuffer(plain, package::playerKeyText);
    ASSERT_NE(cipher, plain);
    package::teaDecryptBuffer(cipher.data(), cipher.data(), 8, package::playerKeyText);
    EXPECT_EQ(cipher, plain);
}

TEST(Tea, ThirteenBytesDecryptOneBlockAndPassTheLastFive) {
    std::vector<std::uint8_t> plain(13);
    std::iota(plain.begin(), plain.end(), 100);
    auto cipher = referenceEncryptBuffer(plain, package::playerKeyText);
    EXPECT_TRUE(std::equal(plain.begin() + 8, plain.end(), cipher.begin() + 8));
    std::vector<std::uint8_t> out(13, 0xEE);
    package::teaDecryptBuffer(cipher.data(), out.data(), 13,
                              package::playerKeyText);  // out of place
    EXPECT_EQ(out, plain);
    package::teaDecryptBuffer(cipher.data(), cipher.data(), 13,
                              package::playerKeyText);  // in place
    EXPECT_EQ(cipher, plain);
}

TEST(Tea, BuffersShorterThanABlockStayUnchanged) {
    std::vector<std::uint8_t> bytes = {9, 8, 7, 6, 5, 4, 3};
    const auto before = bytes;
    package::teaDecryptBuffer(bytes.data(), bytes.data(), 7, package::playerKeyText);
    EXPECT_EQ(bytes, before);
    package::teaDecryptBuffer(bytes.data(), bytes.data(), 0, package::playerKeyText);
    EXPECT_EQ(bytes, before);
}

TEST(Tea, ShortKeyTextsRepeatToSixteenBytes) {
    const package::TeaKey five = package::teaKeyFromText("abcde");
    const auto expected = keyWords("abcdeabcdeabcdea");
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(five.words[i], expected[static_cast<std::size_t>(i)]);
    }
    const package::TeaKey player = package::teaKeyFromText(package::playerKeyText);
    const auto playerWords = keyWords("Qm7#Lx2=Rb9Tpw4Z");
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(player.words[i], playerWords[static_cast<std::size_t>(i)]);
    }
    // Only the first sixteen characters count.
    const package::TeaKey longer = package::teaKeyFromText("Qm7#Lx2=Rb9Tpw4ZEXTRA");
    EXPECT_EQ(0, std::memcmp(longer.words, player.words, sizeof player.words));
}

TEST(Tea, EncryptAndDecryptAreInverseOnLongBuffers) {
    std::vector<std::uint8_t> plain(4099);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        plain[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    auto bytes = plain;
    package::teaEncryptBuffer(bytes.data(), bytes.data(), static_cast<std::int64_t>(bytes.size()),
                              "key");
    EXPECT_EQ(bytes, referenceEncryptBuffer(plain, "keykeykeykeykeyk"));
    package::teaDecryptBuffer(bytes.data(), bytes.data(), static_cast<std::int64_t>(bytes.size()),
                              "key");
    EXPECT_EQ(bytes, plain);
}

// The block loops with several blocks at once against the block function,
// for every lane count this build and processor have: random buffers of every
// length up to 64 bytes and a large one, with random keys, in place and into
// another buffer, at every alignment of a 16-byte word.
TEST(Tea, SideBySideBlocksEqualTheBlockFunction) {
    std::mt19937 random(1703);
    auto bytesOf = [&](std::size_t length) {
        std::vector<std::uint8_t> bytes(length);
        for (auto& byte : bytes) {
            byte = static_cast<std::uint8_t>(random());
        }
        return bytes;
    };
    std::vector<std::size_t> lengths(65);
    std::iota(lengths.begin(), lengths.end(), std::size_t{0});
    lengths.push_back((std::size_t{1} << 20) + 13);
    int lanesTried = 0;
    for (const package::TeaLanes lanes : {package::TeaLanes::four, package::TeaLanes::eight}) {
        if (!package::teaLanesAvailable(lanes)) {
            continue;
        }
        ++lanesTried;
        for (const std::size_t length : lengths) {
            const package::TeaKey key{
                {static_cast<std::uint32_t>(random()), static_cast<std::uint32_t>(random()),
                 static_cast<std::uint32_t>(random()), static_cast<std::uint32_t>(random())}};
            const std::size_t shift = length % 16;
            const std::vector<std::uint8_t> cipher = bytesOf(length + shift);
            const std::size_t blocks = length / 8;
            std::vector<std::uint8_t> expected = cipher;
            for (std::size_t block = 0; block < blocks; ++block) {
                package::teaDecryptBlock(&cipher[shift + 8 * block], &expected[shift + 8 * block],
                                         key);
            }
            std::vector<std::uint8_t> inPlace = cipher;
            package::teaDecryptBlocks(inPlace.data() + shift, inPlace.data() + shift, blocks, key,
                                      lanes);
            ASSERT_EQ(inPlace, expected) << static_cast<int>(lanes) << " lanes, " << length;
            std::vector<std::uint8_t> apart(cipher.size(), 0);
            std::copy(cipher.begin(), cipher.begin() + static_cast<std::ptrdiff_t>(shift),
                      apart.begin());
            std::copy(cipher.begin() + static_cast<std::ptrdiff_t>(shift + 8 * blocks),
                      cipher.end(),
                      apart.begin() + static_cast<std::ptrdiff_t>(shift + 8 * blocks));
            package::teaDecryptBlocks(cipher.data() + shift, apart.data() + shift, blocks, key,
                                      lanes);
            ASSERT_EQ(apart, expected) << static_cast<int>(lanes) << " lanes, apart, " << length;
        }
    }
    // An x86-64 build always has the SSE2 lanes.
#if defined(__x86_64__)
    EXPECT_GE(lanesTried, 1);
#endif
}

// The buffer function (widest lanes) against an independent encryption, with
// the tail shorter than a block passed through: every length up to 64, and
// scene-image sizes, which are decrypted in parts on every core (parts of
// uneven length, whose edges must decrypt as in one pass).
TEST(Tea, BufferOfEveryShortAndOfImageLengthsDecryptsAnIndependentEncryption) {
    std::mt19937 random(99);
    std::vector<std::size_t> lengths(65);
    std::iota(lengths.begin(), lengths.end(), std::size_t{0});
    lengths.push_back(std::size_t{1} << 20);
    lengths.push_back((std::size_t{3} << 20) + 8 * 7 + 5);
    for (const std::size_t length : lengths) {
        std::vector<std::uint8_t> plain(length);
        for (auto& byte : plain) {
            byte = static_cast<std::uint8_t>(random());
        }
        const std::vector<std::uint8_t> cipher =
            referenceEncryptBuffer(plain, package::playerKeyText);
        std::vector<std::uint8_t> out(length, 0xA5);
        package::teaDecryptBuffer(cipher.data(), out.data(), static_cast<std::int64_t>(length),
                                  package::playerKeyText);
        ASSERT_EQ(out, plain) << length;
        std::vector<std::uint8_t> inPlace = cipher;
        package::teaDecryptBuffer(inPlace.data(), inPlace.data(), static_cast<std::int64_t>(length),
                                  package::playerKeyText);
        ASSERT_EQ(inPlace, plain) << length;
    }
}

}  // namespace

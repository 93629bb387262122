#include "package/tea.h"

#include <cstring>

namespace {

constexpr std::uint32_t delta = 0x9E3779B9u;

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

template <typename BlockFunction>
void transformBuffer(const std::uint8_t* source, std::uint8_t* target, std::int64_t length,
                     const char* keyText, BlockFunction transformBlock) {
    if (length <= 0) {
        return;
    }
    const TeaKey key = teaKeyFromText(keyText);
    std::int64_t offset = 0;
    for (; offset + 8 <= length; offset += 8) {
        transformBlock(source + offset, target + offset, key);
    }
    if (source != target && offset < length) {
        std::memmove(target + offset, source + offset, static_cast<std::size_t>(length - offset));
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
    std::uint32_t sum = 0xC6EF3720u;
    const std::uint32_t* k = key.words;
    for (int round = 0; round < 32; ++round) {
        z -= ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
        y -= ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
        sum -= delta;
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
        sum += delta;
        y += ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
        z += ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
    }
    storeLittleEndian(y, target);
    storeLittleEndian(z, target + 4);
}

void teaDecryptBuffer(const std::uint8_t* source, std::uint8_t* target, std::int64_t length,
                      const char* keyText) {
    transformBuffer(source, target, length, keyText, teaDecryptBlock);
}

void teaEncryptBuffer(const std::uint8_t* source, std::uint8_t* target, std::int64_t length,
                      const char* keyText) {
    transformBuffer(source, target, length, keyText, teaEncryptBlock);
}

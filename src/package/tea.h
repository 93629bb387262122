// TEA (the Tiny Encryption Algorithm: 32 rounds, 128-bit key) in ECB mode over
// 8-byte blocks. Scene images are stored encrypted with the player's key text;
// a trailing part shorter than a block is stored plain.
#pragma once

#include <cstdint>

namespace package {

// The key text every tour for this player is encrypted with.
inline constexpr const char* playerKeyText = "Qm7#Lx2=Rb9Tpw4Z";

struct TeaKey {
    std::uint32_t words[4];
};

// Builds the key by repeating the first min(length, 16) bytes of `keyText`
// until 16 bytes are filled; read as four little-endian words. An empty key
// text gives the all-zero key.
TeaKey teaKeyFromText(const char* keyText);

void teaDecryptBlock(const std::uint8_t* source, std::uint8_t* target, const TeaKey& key);
void teaEncryptBlock(const std::uint8_t* source, std::uint8_t* target, const TeaKey& key);

// Every full 8-byte block is transformed; the last (length mod 8) bytes are
// copied unchanged. `source` may equal `target`.
void teaDecryptBuffer(const std::uint8_t* source, std::uint8_t* target, std::int64_t length,
                      const char* keyText);
void teaEncryptBuffer(const std::uint8_t* source, std::uint8_t* target, std::int64_t length,
                      const char* keyText);

}  // namespace package

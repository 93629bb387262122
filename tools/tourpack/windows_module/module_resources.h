// Reads resources out of a Windows module's bytes (a language module carried
// in a tour) without Windows: the resource directory found through the
// module's headers, each offset checked against the bytes, so that a damaged
// or hostile module gives nothing instead of a read outside them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pictures/picture_conversion.h"
#include "required_resources.h"

namespace tourpack {

struct ResourceBytes {
    std::size_t offset = 0;  // into the module's bytes
    std::size_t size = 0;
};

// The resource of integer `type` and integer `id` (its first language), or
// nothing, with `error` saying why.
std::optional<ResourceBytes> findModuleResource(const std::vector<std::uint8_t>& module,
                                                std::uint32_t type, std::uint32_t id,
                                                std::string& error);

// The resource of `type`, numbered or named, and integer `id`.
std::optional<ResourceBytes> findModuleResource(const std::vector<std::uint8_t>& module,
                                                const lang::ResourceType& type, std::uint32_t id,
                                                std::string& error);

// Whether the module's string tables hold a non-empty string `id`.
bool moduleHoldsString(const std::vector<std::uint8_t>& module, std::uint32_t id);

// What a language module lacks of the resources the player needs, each named
// ("picture IDP_LOGO (155)", "string 32780"); empty when it holds them all.
std::vector<std::string> missingLanguageResources(const std::vector<std::uint8_t>& module);

constexpr std::uint32_t bitmapResourceType = lang::bitmapType.number;

// A bitmap resource (an uncompressed device-independent bitmap of 1, 4, 8, 24
// or 32 bits a pixel) as 24-bit pixels: blue, green, red, rows bottom-up,
// each padded to 4 bytes.

std::optional<BitmapPixels> decodeBitmapResource(const std::uint8_t* bytes, std::size_t size,
                                                 std::string& error);

// The bitmap resource `id` of a module, decoded; nothing, with `error`, when
// the module holds none or it cannot be decoded.
std::optional<BitmapPixels> loadBitmapResource(const std::vector<std::uint8_t>& module,
                                               std::uint32_t id, std::string& error);

}  // namespace tourpack

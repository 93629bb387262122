#include "module_image.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "required_resources.h"

namespace test_support {
namespace {

constexpr std::size_t peAt = 64;
constexpr std::size_t optionalAt = peAt + 24;
constexpr std::size_t sectionAt = optionalAt + 240;
constexpr std::size_t resourcesAt = 0x200;
constexpr std::uint32_t resourcesRva = 0x1000;
constexpr std::uint32_t subdirectoryBit = 0x80000000u;

struct TypeKey {
    std::string name;
    std::uint32_t number;
    bool operator<(const TypeKey& other) const {
        // named entries first, as the directory lists them
        return std::make_tuple(name.empty(), name, number) <
               std::make_tuple(other.name.empty(), other.name, other.number);
    }
};

// The resource section's bytes, from offset 0 of the section.
class SectionWriter {
  public:
    Bytes bytes;

    std::size_t directory(std::size_t named, std::size_t numbered) {
        const std::size_t at = grow(16 + 8 * (named + numbered));
        put16(bytes, at + 12, static_cast<std::uint32_t>(named));
        put16(bytes, at + 14, static_cast<std::uint32_t>(numbered));
        return at;
    }
    std::size_t grow(std::size_t size) {
        const std::size_t at = bytes.size();
        bytes.resize(at + size, 0);
        return at;
    }
};

}  // namespace

Bytes moduleWithResources(const std::vector<ModuleResource>& resources) {
    std::map<TypeKey, std::map<std::uint32_t, const Bytes*>> types;
    for (const ModuleResource& resource : resources) {
        types[{resource.typeName, resource.type}][resource.id] = &resource.data;
    }
    SectionWriter section;
    const std::size_t named = std::count_if(
        types.begin(), types.end(), [](const auto& type) { return !type.first.name.empty(); });
    const std::size_t root = section.directory(named, types.size() - named);
    std::vector<std::pair<std::size_t, const Bytes*>> dataEntries;
    std::size_t typeSlot = root + 16;
    for (const auto& [key, ids] : types) {
        const std::size_t names = section.directory(0, ids.size());
        if (key.name.empty()) {
            put32(section.bytes, typeSlot, key.number);
        } else {
            const std::size_t nameAt = section.grow(2 + 2 * key.name.size() + 2);
            put16(section.bytes, nameAt, static_cast<std::uint32_t>(key.name.size()));
            for (std::size_t k = 0; k < key.name.size(); ++k) {
                put16(section.bytes, nameAt + 2 + 2 * k, static_cast<unsigned char>(key.name[k]));
            }
            put32(section.bytes, typeSlot, subdirectoryBit | static_cast<std::uint32_t>(nameAt));
        }
        put32(section.bytes, typeSlot + 4, subdirectoryBit | static_cast<std::uint32_t>(names));
        typeSlot += 8;
        std::size_t idSlot = names + 16;
        for (const auto& [id, data] : ids) {
            const std::size_t languages = section.directory(0, 1);
            const std::size_t dataEntry = section.grow(16);
            put32(section.bytes, languages + 16, 0x409);
            put32(section.bytes, languages + 20, static_cast<std::uint32_t>(dataEntry));
            put32(section.bytes, idSlot, id);
            put32(section.bytes, idSlot + 4,
                  subdirectoryBit | static_cast<std::uint32_t>(languages));
            idSlot += 8;
            dataEntries.emplace_back(dataEntry, data);
        }
    }
    for (const auto& [entry, data] : dataEntries) {
        const std::size_t at = section.grow((data->size() + 3) / 4 * 4);
        std::copy(data->begin(), data->end(), section.bytes.begin() + at);
        put32(section.bytes, entry, resourcesRva + static_cast<std::uint32_t>(at));
        put32(section.bytes, entry + 4, static_cast<std::uint32_t>(data->size()));
    }

    Bytes bytes(resourcesAt, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    put32(bytes, 0x3C, peAt);
    bytes[peAt] = 'P';
    bytes[peAt + 1] = 'E';
    put16(bytes, peAt + 4, 0x8664);
    put16(bytes, peAt + 6, 1);     // one section
    put16(bytes, peAt + 20, 240);  // optional header with 16 directories
    put16(bytes, optionalAt, 0x20B);
    put32(bytes, optionalAt + 108, 16);
    const auto size = static_cast<std::uint32_t>(section.bytes.size());
    put32(bytes, optionalAt + 112 + 16, resourcesRva);
    put32(bytes, optionalAt + 112 + 20, size);
    std::copy_n(".rsrc", 5, bytes.begin() + sectionAt);
    put32(bytes, sectionAt + 8, size);
    put32(bytes, sectionAt + 12, resourcesRva);
    put32(bytes, sectionAt + 16, size);
    put32(bytes, sectionAt + 20, resourcesAt);
    bytes.insert(bytes.end(), section.bytes.begin(), section.bytes.end());
    return bytes;
}

Bytes standInLanguageModule(const std::vector<int>& leftOut) {
    const auto kept = [&leftOut](int id) {
        return std::find(leftOut.begin(), leftOut.end(), id) == leftOut.end();
    };
    std::vector<ModuleResource> resources;
    for (const lang::RequiredResource& required : lang::requiredResources) {
        if (kept(required.id)) {
            std::string name = required.type.name != nullptr ? required.type.name : "";
            std::transform(name.begin(), name.end(), name.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
            resources.push_back({required.type.number, name,
                                 static_cast<std::uint32_t>(required.id),
                                 Bytes(8, static_cast<std::uint8_t>(required.id))});
        }
    }
    // String blocks of sixteen: "s" for each kept id, empty for the rest.
    std::map<std::uint32_t, Bytes> blocks;
    for (int id = lang::firstRequiredString; id <= lang::lastRequiredString; ++id) {
        Bytes& block = blocks[static_cast<std::uint32_t>(id) / 16 + 1];
        if (block.empty()) {
            block.resize(32, 0);  // sixteen empty strings
        }
        if (kept(id)) {
            const std::size_t slot = static_cast<std::size_t>(id % 16);
            std::size_t at = 0;
            for (std::size_t k = 0; k < slot; ++k) {
                at += 2 + 2 * static_cast<std::size_t>(block[at] | block[at + 1] << 8);
            }
            block[at] = 1;
            block.insert(block.begin() + static_cast<std::ptrdiff_t>(at) + 2, {'s', 0});
        }
    }
    for (auto& [number, block] : blocks) {
        resources.push_back({lang::stringTableType.number, "", number, block});
    }
    return moduleWithResources(resources);
}

}  // namespace test_support

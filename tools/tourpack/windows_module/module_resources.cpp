#include "windows_module/module_resources.h"

#include <algorithm>
#include <cstring>

namespace tourpack {
namespace {

// Little-endian reads that refuse to reach past the bytes.
class ModuleBytes {
  public:
    ModuleBytes(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    bool has(std::size_t offset, std::size_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    std::optional<std::uint32_t> u16(std::size_t offset) const {
        if (!has(offset, 2)) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }
    std::optional<std::uint32_t> u32(std::size_t offset) const {
        if (!has(offset, 4)) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(bytes_[offset]) |
               static_cast<std::uint32_t>(bytes_[offset + 1]) << 8 |
               static_cast<std::uint32_t>(bytes_[offset + 2]) << 16 |
               static_cast<std::uint32_t>(bytes_[offset + 3]) << 24;
    }
    const std::uint8_t* at(std::size_t offset) const { return bytes_ + offset; }
    std::size_t size() const { return size_; }

  private:
    const std::uint8_t* bytes_;
    std::size_t size_;
};

struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

constexpr std::uint32_t subdirectoryBit = 0x80000000u;
constexpr std::uint32_t namedEntryBit = 0x80000000u;
constexpr std::size_t directoryHeaderSize = 16;
constexpr std::size_t directoryEntrySize = 8;
constexpr std::size_t sectionHeaderSize = 40;
constexpr std::uint32_t resourceDirectoryIndex = 2;

class ResourceFinder {
  public:
    explicit ResourceFinder(const std::vector<std::uint8_t>& module)
        : bytes_(module.data(), module.size()) {}

    std::optional<ResourceBytes> find(const lang::ResourceType& type, std::uint32_t id,
                                      std::string& error) {
        if (!readHeaders(error)) {
            return std::nullopt;
        }
        // Type, then name, then language: three levels, no deeper.
        const auto typeDirectory = type.name != nullptr
                                       ? namedEntry(resourceBase_, type.name, error)
                                       : entry(resourceBase_, type.number, true, error);
        if (!typeDirectory) {
            return std::nullopt;
        }
        const auto nameDirectory = entry(*typeDirectory, id, true, error);
        if (!nameDirectory) {
            return std::nullopt;
        }
        const auto dataEntry = entry(*nameDirectory, std::nullopt, false, error);
        if (!dataEntry) {
            return std::nullopt;
        }
        const auto dataRva = bytes_.u32(*dataEntry);
        const auto dataSize = bytes_.u32(*dataEntry + 4);
        if (!dataRva || !dataSize) {
            error = "a resource entry lies outside the module";
            return std::nullopt;
        }
        const auto offset = fileOffset(*dataRva);
        if (!offset || !bytes_.has(*offset, *dataSize)) {
            error = "a resource's bytes lie outside the module";
            return std::nullopt;
        }
        return ResourceBytes{*offset, *dataSize};
    }

  private:
    bool readHeaders(std::string& error) {
        if (!bytes_.has(0, 64) || std::memcmp(bytes_.at(0), "MZ", 2) != 0) {
            error = "not a Windows module";
            return false;
        }
        const std::uint32_t pe = *bytes_.u32(0x3C);
        if (!bytes_.has(pe, 24) || std::memcmp(bytes_.at(pe), "PE\0\0", 4) != 0) {
            error = "not a Windows module (no PE header)";
            return false;
        }
        const std::uint32_t sections = *bytes_.u16(pe + 6);
        const std::uint32_t optionalSize = *bytes_.u16(pe + 20);
        const std::size_t optional = pe + 24;
        const auto magic = bytes_.u16(optional);
        if (!magic || (*magic != 0x10B && *magic != 0x20B)) {
            error = "the module's optional header is of no known kind";
            return false;
        }
        const bool wide = *magic == 0x20B;
        const std::size_t countAt = optional + (wide ? 108 : 92);
        const std::size_t directories = optional + (wide ? 112 : 96);
        const auto count = bytes_.u32(countAt);
        const std::size_t resourceAt = directories + 8 * resourceDirectoryIndex;
        if (!count || *count <= resourceDirectoryIndex ||
            resourceAt + 8 > optional + optionalSize || !bytes_.has(resourceAt, 8)) {
            error = "the module has no resources";
            return false;
        }
        const std::size_t table = optional + optionalSize;
        for (std::uint32_t k = 0; k < sections; ++k) {
            const std::size_t header = table + k * sectionHeaderSize;
            if (!bytes_.has(header, sectionHeaderSize)) {
                error = "the module's section table is cut off";
                return false;
            }
            sections_.push_back({*bytes_.u32(header + 12), *bytes_.u32(header + 8),
                                 *bytes_.u32(header + 16), *bytes_.u32(header + 20)});
        }
        const auto base = fileOffset(*bytes_.u32(resourceAt));
        if (*bytes_.u32(resourceAt) == 0 || !base) {
            error = "the module has no resources";
            return false;
        }
        resourceBase_ = *base;
        return true;
    }

    // The file offset of a relative virtual address, inside a section's
    // bytes in the file.
    std::optional<std::size_t> fileOffset(std::uint32_t rva) const {
        for (const Section& section : sections_) {
            const std::uint64_t extent = std::max(section.virtualSize, section.rawSize);
            if (rva >= section.virtualAddress && rva - section.virtualAddress < extent) {
                const std::uint64_t into = rva - section.virtualAddress;
                if (into >= section.rawSize) {
                    return std::nullopt;
                }
                const std::uint64_t offset = section.rawOffset + into;
                if (offset >= bytes_.size()) {
                    return std::nullopt;
                }
                return static_cast<std::size_t>(offset);
            }
        }
        return std::nullopt;
    }

    // In the directory at `directory`, the entry with integer id `id` (or the
    // first entry when no id is asked for); a subdirectory or a data entry,
    // as `subdirectory` says, as a file offset.
    std::optional<std::size_t> entry(std::size_t directory, std::optional<std::uint32_t> id,
                                     bool subdirectory, std::string& error) const {
        const auto named = bytes_.u16(directory + 12);
        const auto numbered = bytes_.u16(directory + 14);
        if (!named || !numbered) {
            error = "the module's resource directory is cut off";
            return std::nullopt;
        }
        const std::uint32_t entries = *named + *numbered;
        for (std::uint32_t k = 0; k < entries; ++k) {
            const std::size_t at = directory + directoryHeaderSize + k * directoryEntrySize;
            const auto name = bytes_.u32(at);
            const auto target = bytes_.u32(at + 4);
            if (!name || !target) {
                error = "the module's resource directory is cut off";
                return std::nullopt;
            }
            if (id && ((*name & namedEntryBit) != 0 || *name != *id)) {
                continue;
            }
            if (((*target & subdirectoryBit) != 0) != subdirectory) {
                error = "the module's resource directory is malformed";
                return std::nullopt;
            }
            const std::uint64_t offset =
                static_cast<std::uint64_t>(resourceBase_) + (*target & ~subdirectoryBit);
            if (!bytes_.has(static_cast<std::size_t>(std::min<std::uint64_t>(offset, SIZE_MAX)),
                            subdirectory ? directoryHeaderSize : 16)) {
                error = "the module's resource directory points outside the module";
                return std::nullopt;
            }
            return static_cast<std::size_t>(offset);
        }
        error = id ? "the module holds no resource " + std::to_string(*id) + " of that kind"
                   : "the module's resource has no language";
        return std::nullopt;
    }

    // True when the name at `at` (a length, then UTF-16 letters) is `name`,
    // letters compared without case as the platform compares them.
    bool nameIs(std::size_t at, const char* name) const {
        const auto length = bytes_.u16(at);
        if (!length || *length != std::strlen(name)) {
            return false;
        }
        for (std::uint32_t k = 0; k < *length; ++k) {
            const auto letter = bytes_.u16(at + 2 + 2 * k);
            const auto folded = [](std::uint32_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
            if (!letter || folded(*letter) != folded(static_cast<unsigned char>(name[k]))) {
                return false;
            }
        }
        return true;
    }

    // In the directory at `directory`, the subdirectory of the entry named
    // `name`, as a file offset.
    std::optional<std::size_t> namedEntry(std::size_t directory, const char* name,
                                          std::string& error) const {
        const auto named = bytes_.u16(directory + 12);
        if (!named) {
            error = "the module's resource directory is cut off";
            return std::nullopt;
        }
        for (std::uint32_t k = 0; k < *named; ++k) {
            const std::size_t at = directory + directoryHeaderSize + k * directoryEntrySize;
            const auto entryName = bytes_.u32(at);
            const auto target = bytes_.u32(at + 4);
            if (!entryName || !target) {
                error = "the module's resource directory is cut off";
                return std::nullopt;
            }
            if ((*entryName & namedEntryBit) == 0 || (*target & subdirectoryBit) == 0 ||
                !nameIs(resourceBase_ + (*entryName & ~namedEntryBit), name)) {
                continue;
            }
            const std::size_t offset = resourceBase_ + (*target & ~subdirectoryBit);
            if (!bytes_.has(offset, directoryHeaderSize)) {
                error = "the module's resource directory points outside the module";
                return std::nullopt;
            }
            return offset;
        }
        error = std::string("the module holds no resources of type \"") + name + "\"";
        return std::nullopt;
    }

    ModuleBytes bytes_;
    std::vector<Section> sections_;
    std::size_t resourceBase_ = 0;
};

}  // namespace

std::optional<ResourceBytes> findModuleResource(const std::vector<std::uint8_t>& module,
                                                std::uint32_t type, std::uint32_t id,
                                                std::string& error) {
    return ResourceFinder(module).find(
        lang::ResourceType{static_cast<std::uint16_t>(type), nullptr}, id, error);
}

std::optional<ResourceBytes> findModuleResource(const std::vector<std::uint8_t>& module,
                                                const lang::ResourceType& type, std::uint32_t id,
                                                std::string& error) {
    return ResourceFinder(module).find(type, id, error);
}

bool moduleHoldsString(const std::vector<std::uint8_t>& module, std::uint32_t id) {
    // Strings lie in blocks of sixteen, block n holding ids 16(n-1) to
    // 16(n-1)+15, each a length and that many UTF-16 letters.
    std::string error;
    const auto block = findModuleResource(module, lang::stringTableType, id / 16 + 1, error);
    if (!block) {
        return false;
    }
    const ModuleBytes bytes(module.data() + block->offset, block->size);
    std::size_t at = 0;
    for (std::uint32_t k = 0; k < id % 16; ++k) {
        const auto length = bytes.u16(at);
        if (!length) {
            return false;
        }
        at += 2 + 2 * static_cast<std::size_t>(*length);
    }
    const auto length = bytes.u16(at);
    return length && *length > 0 && bytes.has(at + 2, 2 * static_cast<std::size_t>(*length));
}

std::vector<std::string> missingLanguageResources(const std::vector<std::uint8_t>& module) {
    std::vector<std::string> missing;
    std::string error;
    for (const lang::RequiredResource& resource : lang::requiredResources) {
        if (!findModuleResource(module, resource.type, static_cast<std::uint32_t>(resource.id),
                                error)) {
            missing.push_back(std::string(resource.kind) + " " + resource.name + " (" +
                              std::to_string(resource.id) + ")");
        }
    }
    for (int id = lang::firstRequiredString; id <= lang::lastRequiredString; ++id) {
        if (!moduleHoldsString(module, static_cast<std::uint32_t>(id))) {
            missing.push_back("string " + std::to_string(id));
        }
    }
    return missing;
}

std::optional<BitmapPixels> decodeBitmapResource(const std::uint8_t* bytes, std::size_t size,
                                                 std::string& error) {
    const ModuleBytes dib(bytes, size);
    const auto headerSize = dib.u32(0);
    if (!headerSize || *headerSize < 40 || !dib.has(0, *headerSize)) {
        error = "the bitmap's header is cut off or of no known kind";
        return std::nullopt;
    }
    const auto width = static_cast<std::int32_t>(*dib.u32(4));
    const auto rawHeight = static_cast<std::int32_t>(*dib.u32(8));
    const std::uint32_t bits = *dib.u16(14);
    const std::uint32_t compression = *dib.u32(16);
    std::uint32_t colours = *dib.u32(32);
    constexpr std::int32_t largestSide = 4096;
    const bool topDown = rawHeight < 0;
    const std::int32_t height = topDown ? -rawHeight : rawHeight;
    if (width <= 0 || height <= 0 || width > largestSide || height > largestSide ||
        rawHeight == INT32_MIN) {
        error = "the bitmap's size is not plausible";
        return std::nullopt;
    }
    const bool bitFields = compression == 3 && bits == 32;
    if ((compression != 0 && !bitFields) ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)) {
        error = "the bitmap is compressed or of " + std::to_string(bits) + " bits a pixel";
        return std::nullopt;
    }
    if (bits <= 8 && (colours == 0 || colours > (1u << bits))) {
        colours = 1u << bits;
    }
    if (bits > 8) {
        colours = 0;
    }
    const std::size_t palette = *headerSize + (bitFields && *headerSize == 40 ? 12 : 0);
    const std::size_t pixels = palette + 4u * colours;
    const std::size_t rowBytes = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    if (!dib.has(pixels, rowBytes * static_cast<std::size_t>(height))) {
        error = "the bitmap's pixels are cut off";
        return std::nullopt;
    }
    // A resource is a bitmap file without its file header: with one put in
    // front, the picture decoder that reads every other picture reads it.
    constexpr std::size_t fileHeaderSize = 14;
    std::vector<std::uint8_t> file(fileHeaderSize + size);
    file[0] = 'B';
    file[1] = 'M';
    const auto put32 = [&file](std::size_t at, std::size_t value) {
        for (int n = 0; n < 4; ++n) {
            file[at + n] = static_cast<std::uint8_t>(value >> (8 * n));
        }
    };
    put32(2, file.size());
    put32(10, fileHeaderSize + pixels);
    std::copy(bytes, bytes + size, file.begin() + fileHeaderSize);
    return decodeBitmapPixels(file.data(), file.size(), error);
}

std::optional<BitmapPixels> loadBitmapResource(const std::vector<std::uint8_t>& module,
                                               std::uint32_t id, std::string& error) {
    const auto found = findModuleResource(module, bitmapResourceType, id, error);
    if (!found) {
        return std::nullopt;
    }
    return decodeBitmapResource(module.data() + found->offset, found->size, error);
}

}  // namespace tourpack

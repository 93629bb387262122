// A helper for the end-to-end scripts: changes a packed tour in place, with
// the test package writer's own fields (raw_package.h), not the packer's.
//   tour_patch text-code-page TOUR CODE_PAGE TITLE
//       gives the tour the title TITLE stored in Windows code page CODE_PAGE
//       and a "text-code-page" section naming that code page in its
//       extension block (one is added before the trailer when it has none)
//   tour_patch spoil-scene TOUR N
//       overwrites scene N's stored picture so that it decodes to nothing
// Exit code 1 when the tour cannot be read or changed, 2 for bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "package/extension_block.h"
#include "package/field_reader.h"
#include "package/tour_loader.h"
#include "raw_package.h"
#include "scratch_files.h"
#include "wide_arguments.h"

namespace {

constexpr std::size_t trailerSize = 41;
constexpr std::size_t intWidth = package::FieldReader::intWidth;
constexpr std::size_t longWidth = package::FieldReader::longWidth;

std::string inCodePage(const std::wstring& text, UINT codePage) {
    BOOL lossy = FALSE;
    const int bytes =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.c_str(),
                            static_cast<int>(text.size()), nullptr, 0, nullptr, &lossy);
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()),
                        narrow.data(), bytes, nullptr, &lossy);
    if (lossy) {
        std::fprintf(stderr, "the title does not fit code page %u\n", codePage);
        std::exit(1);
    }
    return narrow;
}

std::string readBytes(const char* path) {
    const test_support::Bytes bytes = test_support::readFile(path);
    return {bytes.begin(), bytes.end()};
}

void writeBytes(const char* path, const std::string& bytes) {
    test_support::writeFile(path, test_support::Bytes(bytes.begin(), bytes.end()));
}

std::int64_t numberAt(const std::string& bytes, std::size_t offset, std::size_t width) {
    return std::strtoll(bytes.substr(offset, width).c_str(), nullptr, 10);
}

// The block's section count goes one up and the section goes at its end,
// right before the trailer; a tour without a block gets one.
void addCodePageSection(std::string& bytes, std::int64_t recordStream, std::int64_t codePage) {
    RawPackage section("");
    section.text(package::extension_block::textCodePageTag)
        .longValue(static_cast<std::int64_t>(intWidth))
        .integer(codePage);
    const std::size_t trailer = bytes.size() - trailerSize;
    const std::string marker = package::extension_block::marker;
    const std::size_t found = bytes.find(marker, static_cast<std::size_t>(recordStream));
    if (found == std::string::npos || found > trailer) {
        RawPackage block("");
        block.text(marker).integer(package::extension_block::version).integer(1);
        bytes.insert(trailer, block.bytes() + section.bytes());
        return;
    }
    // A block that names a code page already (tourpack records Windows-1252
    // beside links) gets the new one in place: a second section would make
    // the reader ignore the whole block.
    const std::string tag = package::extension_block::textCodePageTag;
    const std::size_t named = bytes.find(tag, found);
    if (named != std::string::npos && named < trailer) {
        RawPackage value("");
        value.integer(codePage);
        bytes.replace(named + tag.size() + longWidth, intWidth, value.bytes());
        return;
    }
    const std::size_t countField = found + marker.size() + intWidth;
    RawPackage count("");
    count.integer(numberAt(bytes, countField, intWidth) + 1);
    bytes.replace(countField, intWidth, count.bytes());
    bytes.insert(trailer, section.bytes());
}

int textCodePage(const char* tour, UINT codePage, const std::wstring& title) {
    std::string bytes = readBytes(tour);
    if (bytes.size() < trailerSize) {
        return 1;
    }
    const std::int64_t recordStream = numberAt(bytes, bytes.size() - trailerSize, longWidth);
    const auto titleField = static_cast<std::size_t>(recordStream);
    const auto oldLength = static_cast<std::size_t>(numberAt(bytes, titleField, longWidth));
    addCodePageSection(bytes, recordStream, codePage);
    // The title is the stream's first field; the payloads before the stream
    // keep their offsets, what follows it moves with it.
    RawPackage field("");
    field.text(inCodePage(title, codePage));
    bytes.replace(titleField, longWidth + oldLength, field.bytes());
    writeBytes(tour, bytes);
    return 0;
}

int spoilScene(const char* tour, std::int32_t position) {
    package::TourLoader loader;
    package::PackageError error;
    const auto read = loader.read(tour, error);
    const package::Scene* scene = read ? read->scene(position) : nullptr;
    if (scene == nullptr || scene->image() == nullptr) {
        return 1;
    }
    const auto offset = static_cast<std::size_t>(scene->image()->offset());
    const auto length = static_cast<std::size_t>(scene->image()->length());
    loader.deleteExtractedFiles(*read);
    std::string bytes = readBytes(tour);
    bytes.replace(offset, length, length, '\x5A');
    writeBytes(tour, bytes);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "text-code-page") == 0) {
        return textCodePage(argv[2], static_cast<UINT>(std::atoi(argv[3])),
                            test_support::wideArgument(4));
    }
    if (argc == 4 && std::strcmp(argv[1], "spoil-scene") == 0) {
        return spoilScene(argv[2], std::atoi(argv[3]));
    }
    std::fprintf(stderr,
                 "usage: tour_patch text-code-page TOUR CODE_PAGE TITLE | spoil-scene TOUR N\n");
    return 2;
}

// A helper for the end-to-end scripts: changes a packed tour in place.
//   tour_patch spoil-scene TOUR N
//       overwrites scene N's stored picture so that it decodes to nothing
//   tour_patch cut-scene TOUR N
//       ends scene N's JPEG a few hundred bytes into its coded data (the
//       headers stay whole; fill bytes follow the cut, no marker)
// Exit code 1 when the tour cannot be read or changed, 2 for bad arguments.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "package/tea.h"
#include "package/tour_loader.h"
#include "scratch_files.h"

namespace {

std::string readBytes(const char* path) {
    const test_support::Bytes bytes = test_support::readFile(path);
    return {bytes.begin(), bytes.end()};
}

void writeBytes(const char* path, const std::string& bytes) {
    test_support::writeFile(path, test_support::Bytes(bytes.begin(), bytes.end()));
}

// Where scene N's stored picture lies in the tour; false when it cannot be read.
bool scenePicture(const char* tour, std::int32_t position, std::size_t& offset,
                  std::size_t& length) {
    package::TourLoader loader;
    package::PackageError error;
    const auto read = loader.read(tour, error);
    const package::Scene* scene = read ? read->scene(position) : nullptr;
    if (scene == nullptr || scene->image() == nullptr) {
        return false;
    }
    offset = static_cast<std::size_t>(scene->image()->offset());
    length = static_cast<std::size_t>(scene->image()->length());
    loader.deleteExtractedFiles(*read);
    return true;
}

int spoilScene(const char* tour, std::int32_t position) {
    std::size_t offset = 0;
    std::size_t length = 0;
    if (!scenePicture(tour, position, offset, length)) {
        return 1;
    }
    std::string bytes = readBytes(tour);
    bytes.replace(offset, length, length, '\x5A');
    writeBytes(tour, bytes);
    return 0;
}

int cutScene(const char* tour, std::int32_t position) {
    std::size_t offset = 0;
    std::size_t length = 0;
    if (!scenePicture(tour, position, offset, length)) {
        return 1;
    }
    std::string bytes = readBytes(tour);
    auto* picture = reinterpret_cast<std::uint8_t*>(bytes.data() + offset);
    package::teaDecryptBuffer(picture, picture, static_cast<std::int64_t>(length),
                              package::playerKeyText);
    const std::string plain(bytes, offset, length);
    const std::size_t scan = plain.find("\xFF\xDA");
    const std::size_t cut = scan + 400;
    if (scan == std::string::npos || cut > length) {
        return 1;
    }
    // Fill bytes (0xFF, which may pad before a marker) up to the stored
    // length: the coded data runs out there, as a file cut short does.
    std::string damaged = plain.substr(0, cut);
    damaged.resize(length, '\xFF');
    bytes.replace(offset, length, damaged);
    picture = reinterpret_cast<std::uint8_t*>(bytes.data() + offset);
    package::teaEncryptBuffer(picture, picture, static_cast<std::int64_t>(length),
                              package::playerKeyText);
    writeBytes(tour, bytes);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "spoil-scene") == 0) {
        return spoilScene(argv[2], std::atoi(argv[3]));
    }
    if (argc == 4 && std::strcmp(argv[1], "cut-scene") == 0) {
        return cutScene(argv[2], std::atoi(argv[3]));
    }
    std::fprintf(stderr, "usage: tour_patch spoil-scene|cut-scene TOUR N\n");
    return 2;
}

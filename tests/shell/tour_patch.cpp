// A helper for the end-to-end scripts: changes a packed tour in place.
//   tour_patch spoil-scene TOUR N
//       overwrites scene N's stored picture so that it decodes to nothing
//   tour_patch cut-scene TOUR N
//       ends scene N's JPEG a few hundred bytes into its coded data (the
//       headers stay whole; fill bytes follow the cut, no marker)
// Exit code 1 when the tour cannot be read or changed, 2 for bad arguments.
#include <algorithm>
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

// Replaces scene N's stored picture by what `change` makes of it (the stored,
// encrypted bytes), at the same length. Exit code 1 when the tour cannot be
// read or `change` refuses.
template <typename Change>
int changeScenePicture(const char* tour, std::int32_t position, Change change) {
    std::size_t offset = 0;
    std::size_t length = 0;
    {
        package::TourLoader loader;
        package::PackageError error;
        const auto read = loader.read(tour, error);
        const package::Scene* scene = read ? read->scene(position) : nullptr;
        if (scene == nullptr || scene->image() == nullptr) {
            return 1;
        }
        offset = static_cast<std::size_t>(scene->image()->offset());
        length = static_cast<std::size_t>(scene->image()->length());
        loader.deleteExtractedFiles(*read);
    }
    std::string bytes = readBytes(tour);
    std::string picture = bytes.substr(offset, length);
    if (!change(picture)) {
        return 1;
    }
    bytes.replace(offset, length, picture);
    writeBytes(tour, bytes);
    return 0;
}

int spoilScene(const char* tour, std::int32_t position) {
    return changeScenePicture(tour, position, [](std::string& picture) {
        picture.assign(picture.size(), '\x5A');
        return true;
    });
}

int cutScene(const char* tour, std::int32_t position) {
    return changeScenePicture(tour, position, [](std::string& picture) {
        auto* bytes = reinterpret_cast<std::uint8_t*>(picture.data());
        const auto length = static_cast<std::int64_t>(picture.size());
        package::teaDecryptBuffer(bytes, bytes, length, package::playerKeyText);
        const std::size_t scan = picture.find("\xFF\xDA");
        if (scan == std::string::npos || scan + 400 > picture.size()) {
            return false;
        }
        // Fill bytes (0xFF, which may pad before a marker) up to the stored
        // length: the coded data runs out there, as a file cut short does.
        std::fill(picture.begin() + static_cast<std::ptrdiff_t>(scan + 400), picture.end(), '\xFF');
        package::teaEncryptBuffer(bytes, bytes, length, package::playerKeyText);
        return true;
    });
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

// A helper for the end-to-end scripts: changes a packed tour in place.
//   tour_patch spoil-scene TOUR N
//       overwrites scene N's stored picture so that it decodes to nothing
// Exit code 1 when the tour cannot be read or changed, 2 for bad arguments.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
    if (argc == 4 && std::strcmp(argv[1], "spoil-scene") == 0) {
        return spoilScene(argv[2], std::atoi(argv[3]));
    }
    std::fprintf(stderr, "usage: tour_patch spoil-scene TOUR N\n");
    return 2;
}

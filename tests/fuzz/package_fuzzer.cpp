// Feeds arbitrary files to the player's package reader and extracts every
// scene's payloads from them, as the player would. The reader runs over the
// file layer kept in memory, so an input costs no file-system calls. Besides
// the sanitizers' findings, a temporary file left behind and a stored preview
// placed outside the file are findings too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "package/media_callback.h"
#include "platform/files_memory.h"
#include "package/tour_loader.h"

namespace {

const std::string tourPath = "memory:/tour.exe";

class Sink : public package::MediaCallback {
  public:
    void deliver(std::unique_ptr<package::Payload> payload) override { payload.reset(); }
};

bool anyTempFileLeft() {
    bool left = false;
    for (const std::string& path : platform::memory::filePaths()) {
        if (path != tourPath) {
            std::fprintf(stderr, "temporary file left behind: %s\n", path.c_str());
            left = true;
        }
    }
    return left;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::memory::putFile(tourPath, data, size);
    package::TourLoader loader;
    package::PackageError error;
    std::unique_ptr<package::Tour> tour = loader.read(tourPath.c_str(), error);
    if (tour) {
        Sink image;
        Sink sound;
        const std::int32_t scenes = tour->sceneCount() < 64 ? tour->sceneCount() : 64;
        for (std::int32_t position = 1; position <= scenes; ++position) {
            // A preview the reader hands out lies inside the file, before the trailer.
            if (const auto preview = tour->preview(position)) {
                const auto end = static_cast<std::int64_t>(size) - 41;
                if (preview->offset < 0 || preview->length <= 0 || preview->offset > end ||
                    preview->length > end - preview->offset) {
                    std::fprintf(stderr, "preview of scene %d outside the file\n", position);
                    std::abort();
                }
            }
            package::Scene* scene = tour->scene(position);
            scene->setImageReceiver(&image);
            scene->setSoundReceiver(&sound);
            scene->load();
        }
        loader.deleteExtractedFiles(*tour);
    }
    if (anyTempFileLeft()) {
        std::abort();
    }
    return 0;
}

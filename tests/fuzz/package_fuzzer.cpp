// Feeds arbitrary files to the player's package reader and extracts every
// scene's payloads from them, as the player would. The reader runs over the
// file layer kept in memory, so an input costs no file-system calls. Besides
// the sanitizers' findings, a temporary file left behind and a stored preview
// or a note's picture placed outside the file are findings too, and so is a
// note whose texts break the rules the reader promises.
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

// Whether [offset, offset + length) lies inside the file, before the trailer.
bool insideTheFile(std::int64_t offset, std::int64_t length, std::size_t size) {
    const auto end = static_cast<std::int64_t>(size) - 41;
    return offset >= 0 && length > 0 && offset <= end && length <= end - offset;
}

void checkNotes(const package::Scene& scene, std::int32_t position, std::size_t size) {
    namespace rules = package::note_rules;
    for (const package::SceneNote& note : scene.notes()) {
        if (note.picture && !insideTheFile(note.picture->offset, note.picture->length, size)) {
            std::fprintf(stderr, "a note's picture of scene %d outside the file\n", position);
            std::abort();
        }
        if (!rules::titleFault(note.title).empty() || !rules::textFault(note.text).empty() ||
            !rules::linkFault(note.link).empty()) {
            std::fprintf(stderr, "a note of scene %d breaks the note rules\n", position);
            std::abort();
        }
    }
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
                if (!insideTheFile(preview->offset, preview->length, size)) {
                    std::fprintf(stderr, "preview of scene %d outside the file\n", position);
                    std::abort();
                }
            }
            package::Scene* scene = tour->scene(position);
            checkNotes(*scene, position, size);
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

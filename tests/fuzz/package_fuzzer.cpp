// Feeds arbitrary files to the player's package reader and extracts every
// scene's payloads from them, as the player would. Besides the sanitizers'
// findings, a temporary file left behind is a finding too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "package/media_callback.h"
#include "package/tour_loader.h"

namespace {

namespace fs = std::filesystem;

fs::path workFolder;

class Sink : public MediaCallback {
public:
    void deliver(std::unique_ptr<Payload> payload) override { payload.reset(); }
};

bool anyTempFileLeft() {
    for (const auto& entry : fs::directory_iterator(workFolder / "tmp")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("QRZ", 0) == 0 || name.rfind("QRX", 0) == 0) {
            std::fprintf(stderr, "temporary file left behind: %s\n", name.c_str());
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    workFolder = fs::temp_directory_path() / ("package-fuzzer-" + std::to_string(getpid()));
    fs::create_directories(workFolder / "tmp");
    setenv("TMPDIR", (workFolder / "tmp").c_str(), 1);
    std::atexit([] {
        std::error_code error;
        fs::remove_all(workFolder, error);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path exe = workFolder / "tour.exe";
    {
        std::ofstream out(exe, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TourLoader loader;
    PackageError error;
    std::unique_ptr<Tour> tour = loader.read(exe.c_str(), error);
    if (tour) {
        Sink image;
        Sink sound;
        const std::int32_t scenes = tour->sceneCount() < 64 ? tour->sceneCount() : 64;
        for (std::int32_t position = 1; position <= scenes; ++position) {
            Scene* scene = tour->scene(position);
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

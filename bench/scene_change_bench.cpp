// How long showing a scene takes, phase by phase, as the player shows one,
// all on one thread: the image is extracted from a file (mapped, decrypted
// into a movable memory block), loaded (a JPEG the player decodes itself has
// only its header read; any other picture is decoded by the platform's
// picture service), decoded or rendered into a 24-bit DIB section, kept in
// the image cache, and the view's maps and first frame are built and drawn in
// a window of the sample skin's view size.
//
//   scene_change_bench.exe [--repetitions N] PICTURE.jpg...
//
// Each picture is encrypted with the player's key into a payload file first
// (not timed). Prints the median of each phase over the repetitions, and a
// summary line per picture with the phases.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/angles.h"
#include "viewer/view_renderer.h"
#include "imaging/dib_image.h"
#include "imaging/image_cache.h"
#include "imaging/picture_loader.h"
#include "platform/band_pool.h"
#include "platform/files.h"
#include "platform/com_apartment.h"
#include "platform/scoped_handle.h"
#include "package/extraction.h"
#include "package/media_callback.h"
#include "package/payload.h"
#include "package/tea.h"
#include "package/tea_blocks.h"

namespace {

// The view of the sample tour's window (view size 3).
constexpr int viewWidth = 480;
constexpr int viewHeight = 360;
// Bytes before the image in the payload file, as the player image lies
// before the payloads in a tour executable.
constexpr std::size_t payloadOffset = 4096;

class Clock {
  public:
    Clock() {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        perSecond_ = static_cast<double>(frequency.QuadPart);
        restart();
    }
    void restart() { QueryPerformanceCounter(&start_); }
    // Milliseconds since the last restart; restarts.
    double lap() {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const double ms = static_cast<double>(now.QuadPart - start_.QuadPart) * 1000.0 / perSecond_;
        start_ = now;
        return ms;
    }

  private:
    double perSecond_ = 1.0;
    LARGE_INTEGER start_{};
};

// Keeps the image block an extraction delivers.
class BlockReceiver : public package::MediaCallback {
  public:
    void deliver(std::unique_ptr<package::Payload> payload) override {
        buffer_.reset(dynamic_cast<package::PayloadBuffer*>(payload.release()));
    }
    std::unique_ptr<package::PayloadBuffer> take() { return std::move(buffer_); }

  private:
    std::unique_ptr<package::PayloadBuffer> buffer_;
};

std::vector<std::uint8_t> readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The picture encrypted as a tour carries it, after `payloadOffset` bytes.
std::string writePayloadFile(const std::vector<std::uint8_t>& picture, int index) {
    char directory[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, directory);
    const std::string path = std::string(directory) + "scene_bench_" + std::to_string(index);
    std::vector<std::uint8_t> bytes(payloadOffset + picture.size(), 0x5A);
    std::copy(picture.begin(), picture.end(), bytes.begin() + payloadOffset);
    package::teaEncryptBuffer(bytes.data() + payloadOffset, bytes.data() + payloadOffset,
                              static_cast<std::int64_t>(picture.size()), package::playerKeyText);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

HWND createViewWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SceneChangeBench";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, windowClass.lpszClassName, "scene change", WS_POPUP | WS_VISIBLE, 0,
                           0, viewWidth, viewHeight, nullptr, nullptr, windowClass.hInstance,
                           nullptr);
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
    }
}

struct Phases {
    std::vector<double> extract, decode, render, view;
};

// One scene change of the picture in the payload file, phase by phase.
void showScene(const std::string& payloadPath, std::int32_t length, viewer::ViewRenderer& renderer,
               imaging::ImageCache& cache, std::int32_t id, Phases& phases) {
    Clock clock;
    BlockReceiver receiver;
    package::LoadRequest request;
    request.imagePath = payloadPath;
    request.imageReceiver = &receiver;
    request.imageOffset = static_cast<std::int32_t>(payloadOffset);
    request.imageLength = length;
    request.mode = package::LoadRequest::imageOnly;
    package::extractPayloads(request);
    std::unique_ptr<package::PayloadBuffer> buffer = receiver.take();
    phases.extract.push_back(clock.lap());

    imaging::PictureLoader loader;
    loader.setDC(renderer.deviceContext());
    loader.setCache(&cache);
    const bool decoded =
        buffer && loader.loadFromGlobal(
                      platform::UniqueGlobal(static_cast<HGLOBAL>(buffer->takeBlock())), length);
    phases.decode.push_back(clock.lap());
    if (!decoded) {
        std::fprintf(stderr, "%s: the picture did not decode\n", payloadPath.c_str());
        std::exit(1);
    }

    imaging::LoadedBitmap loaded = loader.bitmap();
    loader.releasePicture();
    phases.render.push_back(clock.lap());

    auto image = std::make_shared<imaging::DibImage>(std::move(loaded), id);
    cache.add(image);
    const engine::SourceImage source{image->bits(), image->header()->biWidth,
                                     std::abs(image->header()->biHeight), image->stride()};
    renderer.setImage(&source);
    renderer.view().setView(0.0f, 0.0f, 100 * engine::degree);
    renderer.timerTick(static_cast<std::int32_t>(engine::ViewTimer::render));
    GdiFlush();
    phases.view.push_back(clock.lap());

    renderer.setImage(nullptr);
    cache.clear();
    pumpMessages();
}

// TEA alone over the payload, one block at a time and side by side.
void reportTea(const std::vector<std::uint8_t>& picture) {
    std::vector<std::uint8_t> bytes = picture;
    const package::TeaKey key = package::teaKeyFromText(package::playerKeyText);
    const std::size_t blocks = bytes.size() / 8;
    Clock clock;
    package::teaDecryptBlocks(bytes.data(), bytes.data(), blocks, key, package::TeaLanes::one);
    const double one = clock.lap();
    const package::TeaLanes widest = package::widestTeaLanes();
    package::teaDecryptBlocks(bytes.data(), bytes.data(), blocks, key, widest);
    const double wide = clock.lap();
    std::printf("  TEA alone: one block at a time %.1f ms, %d at a time %.1f ms\n", one,
                static_cast<int>(widest), wide);
}

}  // namespace

int main(int argc, char** argv) {
    int repetitions = 5;
    std::vector<const char*> pictures;
    for (int k = 1; k < argc; ++k) {
        if (std::string(argv[k]) == "--repetitions" && k + 1 < argc) {
            repetitions = std::max(1, std::atoi(argv[++k]));
        } else {
            pictures.push_back(argv[k]);
        }
    }
    if (pictures.empty()) {
        std::fprintf(stderr, "usage: scene_change_bench [--repetitions N] PICTURE.jpg...\n");
        return 2;
    }
    const platform::ComApartment apartment;
    const platform::UniqueWindow window(createViewWindow());
    if (!window) {
        std::fprintf(stderr, "no window\n");
        return 1;
    }
    auto renderer = std::make_unique<viewer::ViewRenderer>();
    renderer->attachWindow(window.get());
    pumpMessages();
    imaging::ImageCache cache;
    std::printf("Scene changes into a %dx%d view, median of %d (ms):\n", viewWidth, viewHeight,
                repetitions);
    for (std::size_t index = 0; index < pictures.size(); ++index) {
        const std::vector<std::uint8_t> picture = readFile(pictures[index]);
        const std::string payload = writePayloadFile(picture, static_cast<int>(index));
        const auto length = static_cast<std::int32_t>(picture.size());
        Phases phases;
        for (int repetition = 0; repetition < repetitions; ++repetition) {
            showScene(payload, length, *renderer, cache, cache.nextId(), phases);
        }
        platform::deleteFile(payload.c_str());
        const double extract = median(phases.extract);
        const double decode = median(phases.decode);
        const double render = median(phases.render);
        const double view = median(phases.view);
        std::printf("%s (%zu bytes):\n", pictures[index], picture.size());
        std::printf("  extraction (map, decrypting copy into the block) %8.1f\n", extract);
        std::printf("  load (header; other pictures: platform decode)   %8.1f\n", decode);
        std::printf("  decode into the DIB section                      %8.1f\n", render);
        std::printf("  cache, maps and first frame                       %8.1f\n", view);
        reportTea(picture);
        // The picture's size, from the name the bench script gives it.
        std::string name = pictures[index];
        name = name.substr(name.find_last_of("/\\") + 1);
        name = name.substr(0, name.find('.'));
        std::printf(
            "summary: scene phases %s: extraction %.0f ms, decode %.0f ms on %d threads, "
            "first frame %.0f ms\n",
            name.c_str(), extract, decode + render, platform::BandPool::threadsForThisProcessor(),
            view);
    }
    renderer.reset();
    return 0;
}

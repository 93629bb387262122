// Smooth sampling against the nearest-pixel view in the same run: a tilted
// rebuild at 1080p and 4K and a pan shift at 1080p on all the engine's
// threads (timed by the clock), the pyramid of an 8000 x 4000 panorama, and
// the quality of both views as PSNR against the ideal view: the mean of the
// panorama over each view pixel's footprint, 5 x 5 rays a pixel in the
// engine's geometry, each read bilinearly.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/angles.h"
#include "platform/band_pool.h"
#include "engine/memory_view_host.h"
#include "engine/panorama_view.h"
#include "engine/source_pyramid.h"
#include "reference_warp.h"

namespace {

using engine::degree;

engine::SourceImage imageOf(const ReferencePanorama& panorama) {
    return engine::SourceImage{panorama.pixels.data(), panorama.width, panorama.height,
                               panorama.stride};
}

// A deterministic hash of a lattice point, as a value in [-1, 1].
double latticeValue(std::int64_t x, std::int64_t y, std::uint32_t salt) {
    std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^
                      static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^ salt * 0x165667B1ull;
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 29;
    return static_cast<double>(h >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

// Smoothly interpolated lattice noise of one period (in pixels).
double valueNoise(double x, double y, double period, std::uint32_t salt) {
    const double u = x / period;
    const double v = y / period;
    const double fu = std::floor(u);
    const double fv = std::floor(v);
    const double a = u - fu;
    const double b = v - fv;
    const double su = a * a * (3 - 2 * a);
    const double sv = b * b * (3 - 2 * b);
    const auto i = static_cast<std::int64_t>(fu);
    const auto j = static_cast<std::int64_t>(fv);
    const double top = latticeValue(i, j, salt) * (1 - su) + latticeValue(i + 1, j, salt) * su;
    const double bottom =
        latticeValue(i, j + 1, salt) * (1 - su) + latticeValue(i + 1, j + 1, salt) * su;
    return top * (1 - sv) + bottom * sv;
}

// Detailed the way photographs are: noise whose amplitude falls as 1 / f^0.8
// over ten octaves (periods of 1024 down to 2 pixels), regions of fine
// texture (tiles, weave), flat-coloured blocks with sharp edges, one-pixel
// lines, and a little grain, all in the picture's own pixels whatever its
// size (as a photograph's detail is). A nearest-pixel view of it shrunk aliases as a
// view of a tiled photograph does.
ReferencePanorama detailedPanorama(std::int32_t width, std::int32_t height) {
    ReferencePanorama panorama;
    panorama.width = width;
    panorama.height = height;
    panorama.stride = platform::dibStride(width);
    panorama.pixels.resize(static_cast<std::size_t>(panorama.stride) * height);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> grain(-3.0, 3.0);
    constexpr std::int32_t cell = 160;
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = &panorama.pixels[static_cast<std::size_t>(y) * panorama.stride];
        for (std::int32_t x = 0; x < width; ++x) {
            const double px = x;
            const double py = y;
            double luma = 120.0;
            double period = 1024.0;
            for (std::uint32_t octave = 0; octave < 10; ++octave, period /= 2) {
                luma += 70.0 * std::pow(period / 1024.0, 0.8) * valueNoise(px, py, period, octave);
            }
            const double warmth = 30.0 * valueNoise(px, py, 700.0, 20);
            const double green = 25.0 * valueNoise(px, py, 400.0, 21);
            // Each cell of the grid: plain, a textured region or a flat block.
            const auto cx = static_cast<std::int64_t>(px / cell);
            const auto cy = static_cast<std::int64_t>(py / cell);
            const double kind = latticeValue(cx, cy, 30);
            const double inCellX = px - cx * cell;
            const double inCellY = py - cy * cell;
            if (kind > 0.55) {
                // Roof tiles: rows of 6 pixels, joints every 9, shaded.
                const bool joint =
                    std::fmod(inCellY, 6.0) < 1.0 ||
                    std::fmod(inCellX + 4.5 * (static_cast<int>(inCellY / 6) % 2), 9.0) < 1.0;
                luma += joint ? -35.0 : 12.0 * std::sin(inCellY * 1.05);
            } else if (kind > 0.2) {
                // Weave: a diagonal pattern of a few pixels.
                luma += 22.0 * std::sin((inCellX + inCellY) * 1.9) *
                        std::sin((inCellX - inCellY) * 1.3);
            } else if (kind < -0.6) {
                // A flat block with sharp edges and a frame line.
                const double left = 20 + 30 * (latticeValue(cx, cy, 31) + 1);
                const double topEdge = 20 + 30 * (latticeValue(cx, cy, 32) + 1);
                if (inCellX >= left && inCellX < cell - 10 && inCellY >= topEdge &&
                    inCellY < cell - 10) {
                    const bool frame = inCellX < left + 1 || inCellY < topEdge + 1;
                    luma = frame ? 30.0 : 60.0 + 60.0 * (latticeValue(cx, cy, 33) + 1);
                }
            }
            // Cables and edges: one-pixel dark lines across the picture.
            if (static_cast<std::int64_t>(py + 0.13 * px) % 211 == 0 ||
                static_cast<std::int64_t>(px) % 331 == 0) {
                luma = 25.0;
            }
            luma += grain(random);
            const double values[3] = {luma - warmth, luma + green, luma + warmth};
            for (int c = 0; c < 3; ++c) {
                row[3 * x + c] = static_cast<std::uint8_t>(std::clamp(values[c], 0.0, 255.0));
            }
        }
    }
    return panorama;
}

// A view of one panorama drawn with all the engine's threads.
struct BenchView {
    engine::MemoryViewHost host;
    engine::PanoramaView view{host};

    BenchView(const ReferencePanorama& panorama, const engine::SourcePyramid* pyramid,
              engine::Sampling sampling, int width, int height, float pan, float tilt, float fov) {
        view.setSampling(sampling);
        view.resize(width, height);
        const engine::SourceImage image = imageOf(panorama);
        view.setImage(&image);
        view.setPyramid(pyramid);
        view.setView(pan, tilt, fov);
        view.renderTick();
    }
};

// A panorama about 1:1 with a view of that width at 100 degrees (as the
// engine's own benchmarks use), and its pyramid; the latest one is kept.
struct Scene {
    ReferencePanorama panorama;
    std::unique_ptr<engine::SourcePyramid> pyramid;
};
const Scene& sceneFor(int viewWidth) {
    static int cachedFor = -1;
    static Scene scene;
    if (cachedFor != viewWidth) {
        const int width = std::min(8000, (viewWidth * 360 / 100 + 99) / 100 * 100 + 200);
        scene.pyramid.reset();
        scene.panorama = randomPanorama(width, width / 2, 1);
        scene.pyramid = engine::SourcePyramid::build(imageOf(scene.panorama),
                                                     platform::BandPool::threadsForThisProcessor());
        cachedFor = viewWidth;
    }
    return scene;
}

engine::Sampling samplingOf(const benchmark::State& state) {
    return state.range(2) != 0 ? engine::Sampling::smooth : engine::Sampling::nearest;
}

void tiltedRebuild(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const Scene& scene = sceneFor(width);
    BenchView b(scene.panorama, scene.pyramid.get(), samplingOf(state), width,
                static_cast<int>(state.range(1)), 0.4f, 0.35f, 100 * degree);
    for (auto _ : state) {
        b.view.warp();
        benchmark::ClobberMemory();
    }
}

void panShift(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const Scene& scene = sceneFor(width);
    BenchView b(scene.panorama, scene.pyramid.get(), samplingOf(state), width,
                static_cast<int>(state.range(1)), 0.4f, 0.0f, 100 * degree);
    float delta = degree;
    for (auto _ : state) {
        b.view.shiftColumns(delta);
        delta = -delta;
        benchmark::ClobberMemory();
    }
}

void pyramidBuild(benchmark::State& state) {
    static const ReferencePanorama panorama = randomPanorama(8000, 4000, 3);
    platform::BandPool pool(platform::BandPool::threadsForThisProcessor());
    for (auto _ : state) {
        auto pyramid = engine::SourcePyramid::build(imageOf(panorama), pool);
        benchmark::DoNotOptimize(pyramid.get());
    }
}

// ---- quality

double bilinear(const ReferencePanorama& p, double u, double v, int channel) {
    const double fu = std::floor(u);
    const double fv = std::floor(v);
    const double au = u - fu;
    const double av = v - fv;
    auto at = [&](long column, long row) -> double {
        column = ((column % p.width) + p.width) % p.width;
        row = std::clamp<long>(row, 0, p.height - 1);
        return p.pixels[static_cast<std::size_t>(row) * p.stride + 3 * column + channel];
    };
    const long c = static_cast<long>(fu);
    const long r = static_cast<long>(fv);
    return (1 - av) * ((1 - au) * at(c, r) + au * at(c + 1, r)) +
           av * ((1 - au) * at(c, r + 1) + au * at(c + 1, r + 1));
}

// The PSNR of a view against the ideal footprint means of the same view.
double psnrOf(const ReferencePanorama& p, const engine::PanoramaView& view) {
    const engine::Projection c = view.projection();
    const engine::ViewBuffer& buffer = view.viewBuffer();
    const double pan = view.viewPan();
    double squared = 0.0;
    for (int j = 0; j < buffer.height; ++j) {
        for (int k = 0; k < buffer.width; ++k) {
            // The engine's right half is the reflection of its left half about
            // the pan (column M - U), the middle column of an odd width too.
            const bool mirrored = k >= buffer.width - c.halfColumns;
            const int i = mirrored ? buffer.width - 1 - k : k;
            double ideal[3] = {0, 0, 0};
            for (int s = 0; s < 5; ++s) {
                for (int t = 0; t < 5; ++t) {
                    const double rise = c.halfHeight - (j + (t + 0.5) / 5 - 0.5);
                    const double x = i + (s + 0.5) / 5 - 0.5 - c.halfWidth;
                    const double depth = c.cosTilt * c.focalLength - rise * c.sinTilt;
                    const double up = rise * c.cosTilt + c.sinTilt * c.focalLength;
                    const double lon = std::atan(x / depth) + pan + (depth <= 0 ? engine::pi : 0.0);
                    const double lat = std::atan(up / std::sqrt(depth * depth + x * x));
                    double u = c.columnsPerRadian * lon + c.centreColumn;
                    if (mirrored) {
                        u = static_cast<double>(c.mirrorSum) - u;
                    }
                    const double v = c.rowsPerRadian * lat + c.centreRow;
                    for (int k = 0; k < 3; ++k) {
                        ideal[k] += bilinear(p, u, v, k) / 25.0;
                    }
                }
            }
            const std::uint8_t* shown =
                buffer.pixels + static_cast<std::size_t>(j) * buffer.stride + 3 * k;
            for (int k = 0; k < 3; ++k) {
                squared += (shown[k] - ideal[k]) * (shown[k] - ideal[k]);
            }
        }
    }
    const double mean = squared / (3.0 * buffer.width * buffer.height);
    return 10.0 * std::log10(255.0 * 255.0 / mean);
}

struct Quality {
    double smooth;
    double nearest;
};

Quality qualityOf(const ReferencePanorama& panorama, const engine::SourcePyramid* pyramid,
                  int width, int height, float pan, float tilt, float fov) {
    const BenchView smooth(panorama, pyramid, engine::Sampling::smooth, width, height, pan, tilt,
                           fov);
    const BenchView nearest(panorama, pyramid, engine::Sampling::nearest, width, height, pan, tilt,
                            fov);
    return {psnrOf(panorama, smooth.view), psnrOf(panorama, nearest.view)};
}

class TimeReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times[name] = run.GetAdjustedRealTime();
                medians[name] = true;
            } else if (run.run_type == Run::RT_Iteration && !medians[name]) {
                times[name] = run.GetAdjustedRealTime();
            }
        }
    }
    std::map<std::string, double> times;
    std::map<std::string, bool> medians;
};

void printPair(const TimeReporter& r, const std::string& title, const std::string& smooth,
               const std::string& nearest) {
    const auto a = r.times.find(smooth);
    const auto b = r.times.find(nearest);
    if (a == r.times.end() || b == r.times.end()) {
        return;
    }
    std::printf("summary: %s: smooth %.2f ms, nearest %.2f ms, ratio %.2f\n", title.c_str(),
                a->second, b->second, a->second / b->second);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (const int smooth : {1, 0}) {
        const std::string mode = smooth != 0 ? "smooth" : "nearest";
        for (const auto& size : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
            const std::string name = "view/" + mode + "/" + std::to_string(size.first) + "x" +
                                     std::to_string(size.second) + "/tilted";
            benchmark::RegisterBenchmark(name.c_str(), tiltedRebuild)
                ->Args({size.first, size.second, smooth})
                ->UseRealTime()
                ->Unit(benchmark::kMillisecond);
        }
        benchmark::RegisterBenchmark(("pan/" + mode + "/1920x1080").c_str(), panShift)
            ->Args({1920, 1080, smooth})
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("pyramid/8000x4000", pyramidBuild)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n");
    for (const char* size : {"1920x1080", "3840x2160"}) {
        printPair(reporter, std::string("view ") + size + " tilted",
                  std::string("view/smooth/") + size + "/tilted",
                  std::string("view/nearest/") + size + "/tilted");
    }
    printPair(reporter, "pan shift 1920x1080", "pan/smooth/1920x1080", "pan/nearest/1920x1080");
    const auto pyramid = reporter.times.find("pyramid/8000x4000");
    if (pyramid != reporter.times.end()) {
        std::printf("summary: pyramid 8000x4000: %.2f ms on %d threads\n", pyramid->second,
                    platform::BandPool::threadsForThisProcessor());
    }

    const ReferencePanorama detailed = detailedPanorama(8000, 4000);
    const auto levels = engine::SourcePyramid::build(imageOf(detailed),
                                                     platform::BandPool::threadsForThisProcessor());
    const float pan = 90 * degree;
    const float tilt = -30 * degree;
    for (const auto& size : {std::pair{480, 360}, std::pair{960, 720}}) {
        const Quality q =
            qualityOf(detailed, levels.get(), size.first, size.second, pan, tilt, 90 * degree);
        std::printf("summary: view quality %dx%d of 8000x4000: smooth %.1f dB, nearest %.1f dB\n",
                    size.first, size.second, q.smooth, q.nearest);
    }
    const ReferencePanorama small = detailedPanorama(2000, 1000);
    const auto smallLevels = engine::SourcePyramid::build(imageOf(small), 1);
    const Quality enlarged =
        qualityOf(small, smallLevels.get(), 480, 360, 20 * degree, 10 * degree, 40 * degree);
    std::printf(
        "summary: view quality 480x360 of 2000x1000 enlarged: smooth %.1f dB, nearest %.1f dB\n",
        enlarged.smooth, enlarged.nearest);
    benchmark::Shutdown();
    return 0;
}

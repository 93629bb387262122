// Speed of the panorama engine against baselines measured in the same run:
// the scalar reference warp, a warp with per-pixel trigonometry instead of the
// table and mirror, a plain copy of the view through the maps, and (when
// OpenCV is installed) cv::remap with nearest-neighbour maps, all on one
// thread; and the rebuild and shift on one thread against all the engine's
// threads ("threads/" benchmarks, timed by the clock, to be run unpinned).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/angles.h"
#include "engine/memory_view_host.h"
#include "engine/panorama_view.h"
#include "reference_warp.h"

#if ENGINE_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

// A noise panorama sampled about 1:1 by a view of that width at the benchmark's
// field of view (a 480-pixel view gets a 2000-pixel panorama; the largest views
// are capped at 8000 pixels). Only the latest one is kept.
const ReferencePanorama& panoramaFor(int viewWidth) {
    static int cachedFor = -1;
    static ReferencePanorama picture;
    if (cachedFor != viewWidth) {
        const int width = std::min(8000, (viewWidth * 360 / 100 + 99) / 100 * 100 + 200);
        picture = ReferencePanorama{};
        picture = randomPanorama(width, width / 2, 1);
        cachedFor = viewWidth;
    }
    return picture;
}

struct Size {
    int width;
    int height;
};
constexpr Size sizes[] = {{480, 360}, {1920, 1080}, {3840, 2160}};
constexpr float benchFov = 100 * engine::degree;

// A view of the given size showing the panorama, rendered once; on one
// thread unless `threads` says otherwise (0: the engine's own choice).
struct BenchView {
    engine::MemoryViewHost host;
    engine::PanoramaView view{host};

    BenchView(int width, int height, float tilt, int threads = 1) {
        if (threads > 0) {
            view.setThreads(threads);
        }
        view.resize(width, height);
        const ReferencePanorama& source = panoramaFor(width);
        const engine::SourceImage image{source.pixels.data(), source.width, source.height,
                                        source.stride};
        view.setImage(&image);
        view.setView(0.4f, tilt, benchFov);
        view.renderTick();
    }
};

float tiltOf(const benchmark::State& state) {
    return state.range(2) == 0 ? 0.0f : 0.35f;
}

void fullRebuild(benchmark::State& state) {
    BenchView b(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), tiltOf(state));
    for (auto _ : state) {
        b.view.warp();
        benchmark::ClobberMemory();
    }
}

// range(3): 1 for one thread, 0 for all the engine's threads.
void threadedRebuild(benchmark::State& state) {
    BenchView b(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), tiltOf(state),
                static_cast<int>(state.range(3)));
    for (auto _ : state) {
        b.view.warp();
        benchmark::ClobberMemory();
    }
}

void threadedShift(benchmark::State& state) {
    BenchView b(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 0.0f,
                static_cast<int>(state.range(3)));
    float delta = engine::degree;
    for (auto _ : state) {
        b.view.shiftColumns(delta);
        delta = -delta;
        benchmark::ClobberMemory();
    }
}

void referenceRebuild(benchmark::State& state) {
    ReferenceView view(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        ReferenceWarp::shared().warp(panoramaFor(view.width), view, benchFov, 0.4f, tiltOf(state));
        benchmark::ClobberMemory();
    }
}

// Every view pixel solved with the library's arctangent, no table, no mirror.
void trigonometryRebuild(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    ReferenceView view(width, height);
    const ReferencePanorama& source = panoramaFor(width);
    const double tilt = tiltOf(state);
    const double focal = width * 0.5 / std::tan(benchFov * 0.5);
    const double cx = (source.width - 1) / 2;
    const double kx = cx / engine::pi;
    const double cy = (source.height - 1) / 2;
    const double ky = (1 - source.height) / engine::pi;
    for (auto _ : state) {
        for (int j = 0; j < height; ++j) {
            const double rise = height * 0.5 - j;
            const double depth = std::cos(tilt) * focal - rise * std::sin(tilt);
            const double up = rise * std::cos(tilt) + std::sin(tilt) * focal;
            for (int i = 0; i < width; ++i) {
                const double x = i - width * 0.5;
                double lon = std::atan2(x, depth) + 0.4;
                const double lat = std::atan2(up, std::sqrt(depth * depth + x * x));
                int column = static_cast<int>(kx * lon + cx);
                column = ((column % source.width) + source.width) % source.width;
                int row = static_cast<int>(ky * lat + cy);
                row = row < 0 ? 0 : (row >= source.height ? source.height - 1 : row);
                const std::size_t k = static_cast<std::size_t>(j) * width + i;
                view.columns[k] = column;
                view.rows[k] = row;
                const std::uint8_t* from =
                    &source.pixels[static_cast<std::size_t>(row) * source.stride + column * 3];
                std::uint8_t* to = &view.pixels[static_cast<std::size_t>(j) * view.stride + i * 3];
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
            }
        }
        benchmark::ClobberMemory();
    }
}

void panShift(benchmark::State& state) {
    BenchView b(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 0.0f);
    float delta = engine::degree;
    for (auto _ : state) {
        b.view.shiftColumns(delta);
        delta = -delta;
        benchmark::ClobberMemory();
    }
}

// The same pixels copied through the existing maps, nothing else.
void mapCopy(benchmark::State& state) {
    BenchView b(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 0.0f);
    const engine::ViewBuffer& out = b.view.viewBuffer();
    const std::int32_t* columns = b.view.warper().columnMap();
    const std::int32_t* rows = b.view.warper().rowMap();
    const ReferencePanorama& source = panoramaFor(out.width);
    for (auto _ : state) {
        for (int j = 0; j < out.height; ++j) {
            std::uint8_t* to = out.pixels + static_cast<std::size_t>(j) * out.stride;
            const std::size_t base = static_cast<std::size_t>(j) * out.width;
            for (int i = 0; i < out.width; ++i) {
                const std::uint8_t* from =
                    &source.pixels[static_cast<std::size_t>(rows[base + i]) * source.stride +
                                   static_cast<std::size_t>(columns[base + i]) * 3];
                to[i * 3] = from[0];
                to[i * 3 + 1] = from[1];
                to[i * 3 + 2] = from[2];
            }
        }
        benchmark::ClobberMemory();
    }
}

#if ENGINE_BENCH_OPENCV
void cvRemap(benchmark::State& state) {
    cv::setNumThreads(1);
    BenchView b(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 0.0f);
    const int width = b.view.viewWidth();
    const int height = b.view.viewHeight();
    cv::Mat mapXY(height, width, CV_16SC2);
    for (int j = 0; j < height; ++j) {
        for (int i = 0; i < width; ++i) {
            const std::size_t k = static_cast<std::size_t>(j) * width + i;
            mapXY.at<cv::Vec2s>(j, i) =
                cv::Vec2s(static_cast<short>(b.view.warper().columnMap()[k]),
                          static_cast<short>(b.view.warper().rowMap()[k]));
        }
    }
    const ReferencePanorama& source = panoramaFor(width);
    const cv::Mat src(source.height, source.width, CV_8UC3,
                      const_cast<std::uint8_t*>(source.pixels.data()), source.stride);
    cv::Mat dst(height, width, CV_8UC3, b.view.viewBuffer().pixels, b.view.viewStride());
    for (auto _ : state) {
        cv::remap(src, dst, mapXY, cv::Mat(), cv::INTER_NEAREST);
        benchmark::ClobberMemory();
    }
}
#endif

void registerAll() {
    for (const Size s : sizes) {
        const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
        for (const int tilted : {0, 1}) {
            const std::string suffix = size + (tilted ? "/tilted" : "/level");
            benchmark::RegisterBenchmark(("rebuild/engine/" + suffix).c_str(), fullRebuild)
                ->Args({s.width, s.height, tilted})
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("rebuild/reference/" + suffix).c_str(), referenceRebuild)
                ->Args({s.width, s.height, tilted})
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("rebuild/trigonometry/" + suffix).c_str(),
                                         trigonometryRebuild)
                ->Args({s.width, s.height, tilted})
                ->Unit(benchmark::kMillisecond);
        }
        benchmark::RegisterBenchmark(("pan/engine-shift/" + size).c_str(), panShift)
            ->Args({s.width, s.height, 0})
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("pan/map-copy/" + size).c_str(), mapCopy)
            ->Args({s.width, s.height, 0})
            ->Unit(benchmark::kMillisecond);
#if ENGINE_BENCH_OPENCV
        benchmark::RegisterBenchmark(("pan/cv-remap/" + size).c_str(), cvRemap)
            ->Args({s.width, s.height, 0})
            ->Unit(benchmark::kMillisecond);
#endif
        for (const int oneThread : {1, 0}) {
            const std::string threads = oneThread != 0 ? "one/" : "all/";
            for (const int tilted : {0, 1}) {
                const std::string name =
                    "threads/rebuild/" + threads + size + (tilted ? "/tilted" : "/level");
                benchmark::RegisterBenchmark(name.c_str(), threadedRebuild)
                    ->Args({s.width, s.height, tilted, oneThread})
                    ->UseRealTime()
                    ->Unit(benchmark::kMillisecond);
            }
            benchmark::RegisterBenchmark(("threads/pan/" + threads + size).c_str(), threadedShift)
                ->Args({s.width, s.height, 0, oneThread})
                ->UseRealTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
}

// Keeps each benchmark's time per iteration for the ratio table: the median
// of the repetitions when there are several; the clock's time for the
// benchmarks timed by it, else the thread's processor time.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            const bool byClock = name.rfind("threads/", 0) == 0;
            const double time = byClock ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times[name] = time;
                medians.insert(name);
            } else if (run.run_type == Run::RT_Iteration && run.iterations > 0 &&
                       medians.count(name) == 0) {
                times[name] = time;
            }
        }
    }
    const double* time(const std::string& name) const {
        const auto found = times.find(name);
        return found == times.end() ? nullptr : &found->second;
    }

  private:
    std::map<std::string, double> times;
    std::set<std::string> medians;
};

void printRatio(const RatioReporter& r, const std::string& subject, const std::string& baseline) {
    const double* a = r.time(subject);
    const double* b = r.time(baseline);
    if (a == nullptr || b == nullptr) {
        return;
    }
    std::printf("  %-40s %9.3f ms  vs %-40s %9.3f ms  ratio %.3f\n", subject.c_str(), *a,
                baseline.c_str(), *b, *a / *b);
}

// One line of the summary table scripts/bench.sh ends with: the two times as
// named, then the ratio of the goal (the first over the second, or the second
// over the first).
void printSummary(const RatioReporter& r, const std::string& title, const char* firstLabel,
                  const std::string& first, const char* secondLabel, const std::string& second,
                  bool secondOverFirst) {
    const double* a = r.time(first);
    const double* b = r.time(second);
    if (a == nullptr || b == nullptr) {
        return;
    }
    std::printf("summary: %s: %s %.2f ms, %s %.2f ms, ratio %.2f\n", title.c_str(), firstLabel, *a,
                secondLabel, *b, secondOverFirst ? *b / *a : *a / *b);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    registerAll();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatios of CPU time per run (first over second; below 1 is faster):\n");
    for (const Size s : sizes) {
        const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
        for (const char* tilt : {"/level", "/tilted"}) {
            const std::string engine = "rebuild/engine/" + size + tilt;
            printRatio(reporter, engine, "rebuild/reference/" + size + tilt);
            printRatio(reporter, engine, "rebuild/trigonometry/" + size + tilt);
        }
        printRatio(reporter, "pan/engine-shift/" + size, "pan/map-copy/" + size);
        printRatio(reporter, "pan/engine-shift/" + size, "pan/cv-remap/" + size);
        for (const char* tilt : {"/level", "/tilted"}) {
            printRatio(reporter, "threads/rebuild/all/" + size + tilt,
                       "threads/rebuild/one/" + size + tilt);
        }
        printRatio(reporter, "threads/pan/all/" + size, "threads/pan/one/" + size);
    }
    std::printf("\n");
    for (const char* size : {"1920x1080", "3840x2160"}) {
        const std::string tilted = std::string(size) + "/tilted";
        printSummary(reporter, std::string("rebuild ") + size + " tilted", "1 thread",
                     "threads/rebuild/one/" + tilted, "all threads",
                     "threads/rebuild/all/" + tilted, true);
    }
    printSummary(reporter, "pan shift 1920x1080", "engine", "pan/engine-shift/1920x1080",
                 "cv::remap", "pan/cv-remap/1920x1080", false);
    benchmark::Shutdown();
    return 0;
}

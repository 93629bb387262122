// The rebuild and the column shift built in bands on several threads: every
// band runs once, and the maps and pixels come out as on one thread and as
// the reference has them, whatever the number of threads and bands.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/angles.h"
#include "platform/band_pool.h"
#include "engine_fixture.h"

namespace {

TEST(BandPool, RunsEveryBandOnceWithTheIndexOfAThreadOfThePool) {
    for (const std::int32_t threads : {1, 2, 3, 8}) {
        platform::BandPool pool(threads);
        ASSERT_EQ(pool.threads(), threads);
        for (const std::int32_t bands : {0, 1, 2, 7, 64}) {
            for (int repeat = 0; repeat < 3; ++repeat) {
                std::vector<std::atomic<int>> runs(static_cast<std::size_t>(bands));
                std::atomic<int> strayThreads = 0;
                auto work = [&](std::int32_t band, std::int32_t thread) {
                    ++runs[static_cast<std::size_t>(band)];
                    if (thread < 0 || thread >= threads) {
                        ++strayThreads;
                    }
                };
                pool.run(bands, work);
                for (std::int32_t band = 0; band < bands; ++band) {
                    ASSERT_EQ(runs[static_cast<std::size_t>(band)], 1)
                        << threads << " threads, band " << band << " of " << bands;
                }
                EXPECT_EQ(strayThreads, 0);
            }
        }
    }
}

// A band that throws, on a worker or on the caller, stops no other band; the
// first exception comes back to the caller only after every band is done, so
// no worker is left on work whose stack has unwound; the pool works on after.
TEST(BandPool, ThrowingBandsRunTheRestAndRethrowTheFirstOnTheCaller) {
    for (const std::int32_t threads : {1, 2, 4}) {
        platform::BandPool pool(threads);
        for (int repeat = 0; repeat < 10; ++repeat) {
            constexpr std::int32_t bands = 16;
            std::vector<std::atomic<int>> runs(bands);
            std::atomic<int> finished = 0;
            auto work = [&](std::int32_t band, std::int32_t) {
                ++runs[static_cast<std::size_t>(band)];
                if (band % 5 == 2) {
                    throw std::length_error("band " + std::to_string(band));
                }
                std::this_thread::yield();
                ++finished;
            };
            try {
                pool.run(bands, work);
                ADD_FAILURE() << "no exception came back";
            } catch (const std::length_error& error) {
                EXPECT_EQ(std::string(error.what()).rfind("band ", 0), 0u) << error.what();
            }
            EXPECT_EQ(finished, bands - 3) << threads << " threads";
            for (std::int32_t band = 0; band < bands; ++band) {
                ASSERT_EQ(runs[static_cast<std::size_t>(band)], 1) << "band " << band;
            }
            std::atomic<int> after = 0;
            auto quiet = [&](std::int32_t, std::int32_t) { ++after; };
            pool.run(bands, quiet);  // nothing left over from the failure
            EXPECT_EQ(after, bands);
        }
    }
}

// Two bands are worked on at the same time: the first waits until the second
// has started, which only another thread can do. (The wait is bounded so that
// a pool that runs bands one after the other fails instead of hanging.)
// Waits until `flag` is raised, for ten seconds at most.
void waitAtMostTenSeconds(const std::atomic<bool>& flag) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!flag && std::chrono::steady_clock::now() < until) {
        std::this_thread::yield();
    }
}

TEST(BandPool, BandsRunOnSeveralThreadsAtOnce) {
    platform::BandPool pool(2);
    for (int repeat = 0; repeat < 20; ++repeat) {
        std::atomic<bool> secondStarted = false;
        std::atomic<bool> overlapped = false;
        std::atomic<int> threadsSeen = 0;
        auto work = [&](std::int32_t band, std::int32_t thread) {
            threadsSeen |= 1 << thread;
            if (band == 1) {
                secondStarted = true;
                return;
            }
            waitAtMostTenSeconds(secondStarted);
            overlapped = secondStarted.load();
        };
        pool.run(2, work);
        ASSERT_TRUE(overlapped) << "repeat " << repeat;
        EXPECT_EQ(threadsSeen, 3);
    }
}

// The id of a worker of the pool: it takes one of two bands while the
// other waits for it.
std::thread::id workerOf(platform::BandPool& pool) {
    std::atomic<bool> secondStarted = false;
    std::thread::id worker;
    auto work = [&](std::int32_t band, std::int32_t thread) {
        if (thread != 0) {
            worker = std::this_thread::get_id();
        }
        if (band == 1) {
            secondStarted = true;
            return;
        }
        waitAtMostTenSeconds(secondStarted);
    };
    pool.run(2, work);
    return worker;
}

TEST(PooledBands, APoolGivenBackServesTheNextHolderAndHoldersAtOnceHaveTheirOwn) {
    // Two threads: the one worker is the pool's.
    std::optional<platform::PooledBands> held(std::in_place, 2);
    const std::thread::id first = workerOf(held->pool());
    ASSERT_NE(first, std::thread::id());
    {
        platform::PooledBands meanwhile(2);
        EXPECT_NE(workerOf(meanwhile.pool()), first);
    }
    held.reset();
    {
        // Given back after it, as many as may wait besides it.
        platform::PooledBands other(3);
        platform::PooledBands another(4);
    }
    platform::PooledBands again(2);
    EXPECT_EQ(workerOf(again.pool()), first);
}

// The maps, pixels and carry of two views are the same.
::testing::AssertionResult sameView(const MemoryView& a, const MemoryView& b) {
    const engine::ViewBuffer& x = a.view->viewBuffer();
    const engine::ViewBuffer& y = b.view->viewBuffer();
    if (x.width != y.width || x.height != y.height) {
        return ::testing::AssertionFailure() << "sizes differ";
    }
    const std::size_t count = static_cast<std::size_t>(x.width) * x.height;
    for (std::size_t k = 0; k < count; ++k) {
        if (a.view->warper().columnMap()[k] != b.view->warper().columnMap()[k] ||
            a.view->warper().rowMap()[k] != b.view->warper().rowMap()[k]) {
            return ::testing::AssertionFailure() << "map entry " << k << " (row " << k / x.width
                                                 << ", column " << k % x.width << ") differs";
        }
    }
    for (std::int32_t j = 0; j < x.height; ++j) {
        if (std::memcmp(x.pixels + static_cast<std::size_t>(j) * x.stride,
                        y.pixels + static_cast<std::size_t>(j) * y.stride,
                        static_cast<std::size_t>(x.width) * 3) != 0) {
            return ::testing::AssertionFailure() << "pixels of row " << j << " differ";
        }
    }
    if (a.view->warper().columnCarry() != b.view->warper().columnCarry()) {
        return ::testing::AssertionFailure() << "carry differs";
    }
    return ::testing::AssertionSuccess();
}

// Random panoramas, view sizes (down to fewer rows than threads), thread
// counts and views, level, tilted and facing away, through rebuilds and the
// shifts that follow them; every view split as finely as it goes.
TEST(BandedWarp, EqualsOneThreadAndTheReferenceOnRandomViews) {
    std::mt19937 random(417);
    auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    auto integer = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    const std::int32_t threadCounts[] = {2, 3, 5, 8, 13};
    for (int round = 0; round < 60; ++round) {
        const ReferencePanorama panorama =
            randomPanorama(integer(1, 900), integer(1, 450), random(), integer(0, 1) * 4);
        const std::int32_t threads = threadCounts[round % 5];
        const std::int32_t width = integer(1, 130);
        const std::int32_t height = round % 3 == 0 ? integer(1, threads) : integer(1, 90);
        MemoryView one;
        MemoryView many;
        one.view->setThreads(1);
        many.view->setThreads(threads);
        many.view->setSmallestBand(0);
        ASSERT_EQ(many.view->warper().bandsFor(width, height, 0), std::min(height, 8 * threads));
        for (MemoryView* m : {&one, &many}) {
            m->view->resize(width, height);
            m->show(panorama);
        }
        ReferenceView expected(width, height);
        for (int view = 0; view < 3; ++view) {
            const int kind = integer(0, 2);
            const float tilt = kind == 0   ? 0.0f
                               : kind == 1 ? static_cast<float>(uniform(-1.6, 1.6))
                                           : static_cast<float>(uniform(-0.6, 0.6));
            const float pan = static_cast<float>(uniform(-3.3, 3.3));
            const float fov = static_cast<float>(uniform(0.15, 3.0));
            for (MemoryView* m : {&one, &many}) {
                m->view->setView(pan, tilt, fov);
                m->view->renderTick();
            }
            ReferenceWarp::shared().warp(panorama, expected, one.view->viewFov(),
                                         one.view->viewPan(), one.view->viewTilt());
            const auto where = [&] {
                return ::testing::Message()
                       << "round " << round << ", " << threads << " threads, view " << width << "x"
                       << height << ", panorama " << panorama.width << "x" << panorama.height
                       << ", pan " << pan << " tilt " << tilt << " fov " << fov;
            };
            ASSERT_TRUE(sameView(one, many)) << where();
            ASSERT_TRUE(many.matches(expected)) << where();
            for (int step = 0; step < 2; ++step) {
                const float newPan = one.view->viewPan() + static_cast<float>(uniform(-0.4, 0.4));
                for (MemoryView* m : {&one, &many}) {
                    m->view->panBy(newPan);
                }
                const float delta = one.view->pendingPanDelta();
                one.view->renderTick();
                many.view->renderTick();
                ReferenceWarp::shared().shift(panorama, expected, delta);
                ASSERT_TRUE(sameView(one, many)) << where() << ", shift " << step;
                ASSERT_TRUE(many.matches(expected)) << where() << ", shift " << step;
            }
        }
    }
}

// Every code's coded column (and mirror) of the last rebuild is the same in
// both views.
::testing::AssertionResult sameCodedColumns(const MemoryView& a, const MemoryView& b) {
    const engine::RowSolver& x = a.view->warper().rowSolver();
    const engine::RowSolver& y = b.view->warper().rowSolver();
    for (std::int32_t place = 0; place < 2 * engine::ArctangentTable::entryCount; ++place) {
        for (const bool mirrored : {false, true}) {
            if (x.codedColumn(place, mirrored) != y.codedColumn(place, mirrored)) {
                return ::testing::AssertionFailure()
                       << "coded column " << place << (mirrored ? " (mirrored)" : "") << " differs";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// A large view split the way the player splits it, on as many threads as a
// processor may give and more than the view has bands: the coded columns of
// tilted views (made on several threads before the rows that read them) and
// the mirrored rows of level ones crossing band edges.
TEST(BandedWarp, LargeViewsAsThePlayerSplitsThem) {
    const ReferencePanorama panorama = randomPanorama(4000, 2000, 21);
    MemoryView one;
    one.view->setThreads(1);
    one.view->resize(800, 600);
    one.show(panorama);
    const std::size_t smallest = engine::PanoramaWarper::defaultSmallestBand;
    for (const std::int32_t threads : {2, 3, 4, 8}) {
        MemoryView many;
        many.view->setThreads(threads);
        EXPECT_GT(many.view->warper().bandsFor(800, 600, smallest), threads == 8 ? 8 : 4);
        EXPECT_EQ(many.view->warper().bandsFor(200, 150, smallest), 1);
        many.view->resize(800, 600);
        many.show(panorama);
        float delta = 0.0f;
        for (const float tilt : {0.0f, 0.35f, -1.4f}) {
            for (const float pan : {0.7f, 3.1f}) {
                for (MemoryView* m : {&one, &many}) {
                    m->view->setView(pan, tilt, 100 * engine::degree);
                    m->view->renderTick();
                }
                ASSERT_TRUE(sameView(one, many)) << threads << " threads, " << tilt << " " << pan;
                if (tilt != 0.0f) {
                    ASSERT_TRUE(sameCodedColumns(one, many)) << threads << " threads, " << tilt;
                }
            }
            for (MemoryView* m : {&one, &many}) {
                m->view->panBy(0.713f);
                delta = m->view->pendingPanDelta();
                m->view->renderTick();
            }
            ASSERT_TRUE(sameView(one, many)) << threads << " threads, " << tilt << " shifted";
        }
        ReferenceView expected(800, 600);
        ReferenceWarp::shared().warp(panorama, expected, many.view->viewFov(), 3.1f,
                                     many.view->viewTilt());
        ReferenceWarp::shared().shift(panorama, expected, delta);
        EXPECT_TRUE(many.matches(expected)) << threads << " threads";
    }
}

}  // namespace

#include "engine/band_pool.h"

#include <algorithm>
#include <system_error>

BandPool::BandPool(std::int32_t threads) {
    workers_.reserve(static_cast<std::size_t>(std::max(threads - 1, 0)));
    for (std::int32_t thread = 1; thread < threads; ++thread) {
        try {
            workers_.emplace_back([this, thread] { workerLoop(thread); });
        } catch (const std::system_error&) {
            break;  // the system gives no more threads: work with those it gave
        }
    }
}

BandPool::~BandPool() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    started_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

std::int32_t BandPool::threadsForThisProcessor() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<std::int32_t>(std::clamp(cores, 1u, 8u));
}

void BandPool::runBands(std::int32_t bands, BandFunction function, void* context) {
    if (bands <= 0) {
        return;
    }
    if (workers_.empty() || bands == 1) {
        for (std::int32_t band = 0; band < bands; ++band) {
            function(context, band, 0);
        }
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        function_ = function;
        context_ = context;
        bands_ = bands;
        nextBand_ = 0;
        open_ = true;
        ++generation_;
    }
    started_.notify_all();
    takeBands(0);
    // Every worker that joined has to have let go of the work, not only every
    // band to be taken: the work lives on the caller's stack.
    std::unique_lock<std::mutex> lock(mutex_);
    open_ = false;
    finished_.wait(lock, [this] { return busyWorkers_ == 0; });
}

void BandPool::workerLoop(std::int32_t thread) {
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            started_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) {
                return;
            }
            seen = generation_;
            if (!open_) {
                continue;  // woke too late: the caller has taken every band
            }
            ++busyWorkers_;
        }
        takeBands(thread);
        bool last = false;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            last = --busyWorkers_ == 0;
        }
        if (last) {
            finished_.notify_one();
        }
    }
}

void BandPool::takeBands(std::int32_t thread) {
    for (;;) {
        const std::int32_t band = nextBand_.fetch_add(1);
        if (band >= bands_) {
            return;
        }
        function_(context_, band, thread);
    }
}

#include "platform/band_pool.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

namespace platform {

namespace {

constexpr int yieldsBeforeSleeping = 64;

std::atomic<BandObserver> bandObserver = nullptr;

// Pools given back, for PooledBands.
struct WaitingPools {
    // Enough for the decodes and pyramid builds that overlap.
    static constexpr std::size_t most = 3;
    std::mutex mutex;
    std::vector<std::pair<std::int32_t, std::unique_ptr<BandPool>>> pools;
};

WaitingPools& waitingPools() {
    static WaitingPools waiting;
    return waiting;
}

}  // namespace

void setBandObserver(BandObserver observer) {
    bandObserver = observer;
}

BandPool::BandPool(std::int32_t threads) {
    workers_.reserve(static_cast<std::size_t>(std::max(threads - 1, 0)));
    for (std::int32_t thread = 1; thread < threads; ++thread) {
        if (!workers_.emplace_back().start([this, thread] { workerLoop(thread); })) {
            workers_.pop_back();
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
    for (WorkerThread& worker : workers_) {
        worker.join();
    }
}

// The one place that decides how many threads share out work.
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
            runBand(function, context, band, 0);
        }
        rethrowFailure();
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
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        open_ = false;
    }
    // Every worker that joined has to have let go of the work, not only every
    // band to be taken: the work lives on the caller's stack. What is left is
    // a band at most: the caller first yields a few times (a thread put to
    // sleep waits long to be woken on a busy machine), then sleeps, leaving
    // its core to a worker that waits for one.
    bool done = false;
    for (int spin = 0; spin < yieldsBeforeSleeping && !done; ++spin) {
        done = busyWorkers_.load(std::memory_order_acquire) == 0;
        if (!done) {
            std::this_thread::yield();
        }
    }
    if (!done) {
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [this] { return busyWorkers_.load(std::memory_order_acquire) == 0; });
    }
    rethrowFailure();
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
        if (busyWorkers_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            // Under the lock, so that a caller about to sleep cannot miss it.
            const std::lock_guard<std::mutex> lock(mutex_);
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
        runBand(function_, context_, band, thread);
    }
}

void BandPool::runBand(BandFunction function, void* context, std::int32_t band,
                       std::int32_t thread) {
    try {
        function(context, band, thread);
        if (const BandObserver observer = bandObserver.load()) {
            observer(band, thread);
        }
    } catch (...) {
        recordFailure(std::current_exception());
    }
}

void BandPool::recordFailure(std::exception_ptr failure) {
    const std::lock_guard<std::mutex> lock(failureMutex_);
    if (!firstFailure_) {
        firstFailure_ = std::move(failure);
    }
}

void BandPool::rethrowFailure() {
    std::exception_ptr failure;
    {
        const std::lock_guard<std::mutex> lock(failureMutex_);
        failure = std::exchange(firstFailure_, nullptr);
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

PooledBands::PooledBands(std::int32_t threads) : threads_(threads) {
    WaitingPools& waiting = waitingPools();
    {
        const std::lock_guard<std::mutex> lock(waiting.mutex);
        // The one given back last, of those of this size.
        const auto found =
            std::find_if(waiting.pools.rbegin(), waiting.pools.rend(),
                         [threads](const auto& entry) { return entry.first == threads; });
        if (found != waiting.pools.rend()) {
            pool_ = std::move(found->second);
            waiting.pools.erase(std::next(found).base());
            return;
        }
    }
    pool_ = std::make_unique<BandPool>(threads);
}

PooledBands::~PooledBands() {
    WaitingPools& waiting = waitingPools();
    // The pool that makes room, or this one when there is no room to be had;
    // either is joined outside the lock.
    std::unique_ptr<BandPool> letGo;
    const std::lock_guard<std::mutex> lock(waiting.mutex);
    try {
        if (waiting.pools.size() == WaitingPools::most) {
            letGo = std::move(waiting.pools.front().second);
            waiting.pools.erase(waiting.pools.begin());
        }
        waiting.pools.emplace_back(threads_, std::move(pool_));
    } catch (const std::bad_alloc&) {
        // Out of memory for its place: this pool is let go instead.
    }
}

}  // namespace platform

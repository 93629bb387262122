// A small set of threads that share out the bands of one piece of work (the
// rows of a view): the calling thread hands out the bands, takes bands itself
// and returns only when every band is done, so nothing of the work outlives
// the call. The workers are started once and sleep between calls; they are
// joined when the pool is destroyed. A band that throws does not stop the
// others: every band is still run, and the first exception any band threw is
// thrown again on the calling thread once every worker has let go of the work. A worker that wakes
// only after the caller has taken the last band stays out of that work, so a machine busy with
// other programs costs the caller no wait for a worker it does not need.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/worker_thread.h"

namespace platform {

// Lets tests act as each band's work returns, on the band's thread (for
// example throw there, as band work can); process-wide. Null removes the
// observer.
using BandObserver = void (*)(std::int32_t band, std::int32_t thread);
void setBandObserver(BandObserver observer);

class BandPool {
  public:
    // Threads that take bands, the calling thread included: `threads` - 1
    // workers are started (none for 1).
    explicit BandPool(std::int32_t threads);
    ~BandPool();
    BandPool(const BandPool&) = delete;
    BandPool& operator=(const BandPool&) = delete;

    // One per core the processor has, at most 8: what every piece of work
    // shared out to threads is cut for.
    static std::int32_t threadsForThisProcessor();

    std::int32_t threads() const { return static_cast<std::int32_t>(workers_.size()) + 1; }

    // Calls work(band, thread) once for every band 0 .. bands - 1, each on one
    // of the threads (`thread` 0 is the caller, 1 .. threads() - 1 the
    // workers: an index for the thread's own scratch memory). Bands are taken
    // in increasing order by whichever thread is free. When bands throw, the
    // first exception caught is rethrown here after all bands are done.
    template <typename Work>
    void run(std::int32_t bands, Work& work) {
        runBands(
            bands,
            [](void* context, std::int32_t band, std::int32_t thread) {
                (*static_cast<Work*>(context))(band, thread);
            },
            &work);
    }

  private:
    using BandFunction = void (*)(void* context, std::int32_t band, std::int32_t thread);

    void runBands(std::int32_t bands, BandFunction function, void* context);
    void workerLoop(std::int32_t thread);
    // Runs one band, keeping what it throws.
    void runBand(BandFunction function, void* context, std::int32_t band, std::int32_t thread);
    // Runs bands until none is left.
    void takeBands(std::int32_t thread);
    // Keeps the first exception of the current work.
    void recordFailure(std::exception_ptr failure);
    // Rethrows what recordFailure kept, and forgets it.
    void rethrowFailure();

    std::vector<WorkerThread> workers_;
    std::mutex mutex_;
    std::condition_variable started_;
    std::condition_variable finished_;
    // Guarded by mutex_.
    std::uint64_t generation_ = 0;
    // Workers may join the current work while it is open; the caller waits
    // for those that joined.
    bool open_ = false;
    bool stopping_ = false;
    // Raised under mutex_ by a worker that joins, lowered without it when the
    // worker is done.
    std::atomic<std::int32_t> busyWorkers_ = 0;
    // The current work, set while no worker is busy.
    BandFunction function_ = nullptr;
    void* context_ = nullptr;
    std::int32_t bands_ = 0;
    std::atomic<std::int32_t> nextBand_ = 0;
    std::mutex failureMutex_;
    std::exception_ptr firstFailure_;  // guarded by failureMutex_
};

// A band pool for work that comes now and then on threads of its own (a
// scene's decryption, its decode, its pyramid): starting threads costs
// milliseconds each under load, so a pool given back waits, its workers
// asleep, for the next such work. Each holder has its pool to itself and
// gets the pool of its size given back last; a few pools wait at most (the
// one given back longest ago makes room), and the last are joined when the
// process ends.
class PooledBands {
  public:
    // A waiting pool of `threads` threads, or a new one.
    explicit PooledBands(std::int32_t threads);
    ~PooledBands();
    PooledBands(const PooledBands&) = delete;
    PooledBands& operator=(const PooledBands&) = delete;

    BandPool& pool() { return *pool_; }

  private:
    std::unique_ptr<BandPool> pool_;
    std::int32_t threads_;
};

}  // namespace platform

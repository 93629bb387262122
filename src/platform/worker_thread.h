// A thread of the player's own work, joined when its owner lets it go: the
// one way the player and its tools start threads, so that no thread outlives
// what it uses and a system out of threads is an answer, not an exception.
#pragma once

#include <functional>
#include <thread>
#include <utility>

namespace platform {

class WorkerThread {
  public:
    WorkerThread() = default;
    ~WorkerThread() { join(); }
    WorkerThread(WorkerThread&&) noexcept = default;
    WorkerThread& operator=(WorkerThread&& other) noexcept {
        join();
        thread_ = std::move(other.thread_);
        return *this;
    }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs `work` on a new thread; false when the system gives no more
    // threads (the caller then does the work itself or goes without).
    bool start(std::function<void()> work) {
        try {
            thread_ = std::thread(std::move(work));
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }
    // Started and not joined yet.
    bool joinable() const { return thread_.joinable(); }
    // Waits for the work to end; nothing when there is none.
    void join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

  private:
    std::thread thread_;
};

}  // namespace platform

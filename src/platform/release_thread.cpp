#include "platform/release_thread.h"

#include <new>
#include <utility>

namespace platform {

ReleaseThread::~ReleaseThread() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void ReleaseThread::release(std::shared_ptr<const void> object) {
    if (object == nullptr) {
        return;
    }
    std::unique_lock<std::mutex> guard(lock_);
    if (!started_) {
        started_ = true;
        if (!thread_.start([this] { run(); })) {
            started_ = false;
            return;  // `object` is let go of here, as the call returns
        }
    }
    try {
        queue_.push_back(std::move(object));
    } catch (const std::bad_alloc&) {
        guard.unlock();
        object.reset();
        return;
    }
    guard.unlock();
    wake_.notify_one();
}

void ReleaseThread::waitUntilIdle() {
    std::unique_lock<std::mutex> guard(lock_);
    idle_.wait(guard, [this] { return queue_.empty() && !releasing_; });
}

void ReleaseThread::run() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        wake_.wait(guard, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) {
            return;  // stopping, with nothing left
        }
        std::vector<std::shared_ptr<const void>> batch = std::exchange(queue_, {});
        releasing_ = true;
        guard.unlock();
        batch.clear();
        guard.lock();
        releasing_ = false;
        if (queue_.empty()) {
            idle_.notify_all();
        }
    }
}

}  // namespace platform

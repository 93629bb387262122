// Lets go of large objects on a thread of its own. Giving a scene's picture
// and its levels back to the system (a hundred megabytes and more) takes tens
// of milliseconds that the window's thread had better spend showing the next
// scene.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/worker_thread.h"

namespace platform {

class ReleaseThread {
  public:
    ReleaseThread() = default;
    // Lets go of whatever is still queued, then ends the thread.
    ~ReleaseThread();
    ReleaseThread(const ReleaseThread&) = delete;
    ReleaseThread& operator=(const ReleaseThread&) = delete;

    // Drops this hold on `object` on the thread (started with the first
    // call): an object whose last hold it was is destroyed there. Without a
    // thread to be had, or while the queue cannot grow, here.
    void release(std::shared_ptr<const void> object);
    // Returns once everything handed over so far has been let go of.
    void waitUntilIdle();

  private:
    void run();

    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::vector<std::shared_ptr<const void>> queue_;
    bool releasing_ = false;
    bool stopping_ = false;
    bool started_ = false;
    WorkerThread thread_;  // last: ends before what it uses
};

}  // namespace platform

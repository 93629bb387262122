#include "platform/release_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

// Counts its destructions and notes one on the thread that made it.
struct Marked {
    Marked(std::atomic<int>& destroyed, std::atomic<bool>& onMaker)
        : destroyed(destroyed), onMaker(onMaker) {}
    ~Marked() {
        if (std::this_thread::get_id() == maker) {
            onMaker = true;
        }
        ++destroyed;
    }
    std::atomic<int>& destroyed;
    std::atomic<bool>& onMaker;
    std::thread::id maker = std::this_thread::get_id();
};

TEST(ReleaseThread, LastHoldsGoOnItsOwnThreadAndNothingOutlivesIt) {
    std::atomic<int> destroyed{0};
    std::atomic<bool> onMaker{false};
    {
        platform::ReleaseThread releaser;
        auto kept = std::make_shared<Marked>(destroyed, onMaker);
        releaser.release(kept);  // not the last hold
        for (int k = 0; k < 100; ++k) {
            releaser.release(std::make_shared<Marked>(destroyed, onMaker));
        }
        releaser.waitUntilIdle();
        EXPECT_EQ(destroyed.load(), 100);
        EXPECT_FALSE(onMaker.load());
        EXPECT_EQ(kept.use_count(), 1);
        releaser.release(std::move(kept));
        releaser.release(std::make_shared<Marked>(destroyed, onMaker));
    }
    EXPECT_EQ(destroyed.load(), 102);
    EXPECT_FALSE(onMaker.load());
}

}  // namespace

// The scene decoders' workers when memory runs out: on the window's thread
// while a worker starts, and on the worker while it decodes. Whatever
// allocation fails, no thread is left without an owner and no exception leaves
// a worker (either would end the process), and every decode ends.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imaging/scene_decode.h"
#include "platform/scoped_handle.h"

namespace {

// How many more allocations through operator new this thread may make: -1
// for no limit.
thread_local int allocationsLeft = -1;

void* limitedAllocate(std::size_t size) {
    if (allocationsLeft == 0) {
        throw std::bad_alloc();
    }
    if (allocationsLeft > 0) {
        --allocationsLeft;
    }
    void* block = std::malloc(size > 0 ? size : 1);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

}  // namespace

void* operator new(std::size_t size) {
    return limitedAllocate(size);
}
void* operator new[](std::size_t size) {
    return limitedAllocate(size);
}
void operator delete(void* pointer) noexcept {
    std::free(pointer);
}
void operator delete[](void* pointer) noexcept {
    std::free(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    std::free(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    std::free(pointer);
}

namespace {

// A scene picture that is no picture: its decode fails at once and owes the
// decode prompt.
std::shared_ptr<imaging::SceneDecode> brokenSceneDecode() {
    const char text[] = "not a picture, only a few words of text";
    platform::UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, sizeof text));
    std::memcpy(GlobalLock(block.get()), text, sizeof text);
    GlobalUnlock(block.get());
    return std::make_shared<imaging::SceneDecode>(
        7, std::make_shared<platform::UniqueGlobal>(std::move(block)),
        static_cast<std::int32_t>(sizeof text), nullptr);
}

TEST(DecodeThreads, RunningOutOfMemoryWhileAWorkerStartsLeavesNoThreadUnowned) {
    bool started = false;
    for (int allowed = 0; allowed < 50 && !started; ++allowed) {
        imaging::DecodeThreads threads;
        const auto decode = brokenSceneDecode();
        allocationsLeft = allowed;
        try {
            threads.start(decode, nullptr, 0);
            started = true;
        } catch (const std::bad_alloc&) {
        }
        allocationsLeft = -1;
        threads.joinAll();
        EXPECT_EQ(threads.running(), 0u) << allowed << " allocations allowed";
        EXPECT_EQ(decode->finished(), started) << allowed << " allocations allowed";
    }
    EXPECT_TRUE(started);
}

// The worker itself runs short: its allocations are limited from the moment
// it begins, one more each round, until the decode gets through.
void limitTheWorker(imaging::SceneDecode::Kind, std::int32_t, void* context) {
    allocationsLeft = *static_cast<int*>(context);
}

TEST(DecodeThreads, RunningOutOfMemoryOnAWorkerEndsItsDecodeAsAFailure) {
    const auto decodeOnce = [] {
        imaging::DecodeThreads threads;
        const auto decode = brokenSceneDecode();
        threads.start(decode, nullptr, 0);
        threads.joinAll();
        EXPECT_TRUE(decode->finished());
        return decode;
    };
    const auto unlimited = decodeOnce();
    ASSERT_EQ(unlimited->result().owedBoxes,
              std::vector<imaging::OwedBox>{imaging::OwedBox::decodePrompt});
    int allowed = 0;
    imaging::setDecodeObserver(&limitTheWorker, &allowed);
    bool through = false;
    for (; allowed < 400 && !through; ++allowed) {
        const auto decode = decodeOnce();
        const imaging::DecodedScene& result = decode->result();
        through = result.failure == unlimited->result().failure &&
                  result.owedBoxes == unlimited->result().owedBoxes;
        if (!through) {
            EXPECT_EQ(result.failure, imaging::DecodedScene::Failure::outOfMemory) << allowed;
        }
    }
    imaging::setDecodeObserver(nullptr, nullptr);
    EXPECT_TRUE(through);
}

void noteTheThread(imaging::SceneDecode::Kind, std::int32_t, void* context) {
    static_cast<std::vector<DWORD>*>(context)->push_back(GetCurrentThreadId());
}

// Starting a thread costs milliseconds while the window's thread is busy: a
// worker whose decode is done takes the next one.
TEST(DecodeThreads, AWorkerWhoseDecodeIsDoneTakesTheNext) {
    std::vector<DWORD> workers;
    imaging::setDecodeObserver(&noteTheThread, &workers);
    {
        imaging::DecodeThreads threads;
        for (int round = 0; round < 3; ++round) {
            const auto decode = brokenSceneDecode();
            threads.start(decode, nullptr, 0);
            threads.joinAll();
            EXPECT_TRUE(decode->done()) << round;
            EXPECT_EQ(threads.running(), 0u) << round;
        }
    }
    imaging::setDecodeObserver(nullptr, nullptr);
    ASSERT_EQ(workers.size(), 3u);
    EXPECT_NE(workers[0], GetCurrentThreadId());
    EXPECT_EQ(workers[1], workers[0]);
    EXPECT_EQ(workers[2], workers[0]);
}

}  // namespace

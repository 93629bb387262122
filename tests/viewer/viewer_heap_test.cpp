// The viewer's own heap across many scene changes with sounds: after a warm-up
// every object it makes for a scene (images and their pyramids, sound files,
// players, callbacks) is given back. The process's memory as a whole also
// holds what the platform keeps (its sound graphs keep a few kilobytes each);
// this counts only what the program allocates itself.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "viewer_fixture.h"

namespace {

std::atomic<long long> liveBytes{0};
std::atomic<long long> liveBlocks{0};

// Every block carries its size in front of it.
constexpr std::size_t sizeSlot = 16;

void* countedAllocate(std::size_t size) {
    void* block = std::malloc(size + sizeSlot);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t*>(block) = size;
    liveBytes += static_cast<long long>(size);
    ++liveBlocks;
    return static_cast<char*>(block) + sizeSlot;
}

void countedFree(void* pointer) noexcept {
    if (pointer == nullptr) {
        return;
    }
    char* block = static_cast<char*>(pointer) - sizeSlot;
    liveBytes -= static_cast<long long>(*reinterpret_cast<std::size_t*>(block));
    --liveBlocks;
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
    return countedAllocate(size);
}
void* operator new[](std::size_t size) {
    return countedAllocate(size);
}
void operator delete(void* pointer) noexcept {
    countedFree(pointer);
}
void operator delete[](void* pointer) noexcept {
    countedFree(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    countedFree(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    countedFree(pointer);
}

namespace {

using namespace test_support;

class ViewerHeapTest : public ViewerTest {
  protected:
    // Each scene until its pyramid, built on a worker for the smooth view,
    // is on the view too, and the next scene is decoded ahead with its own:
    // what the heap holds between scenes is then the same every time.
    void cycle(int scenes) {
        const engine::PanoramaView& view = viewer_->renderer()->view();
        for (int n = 1; n <= scenes; ++n) {
            viewer_->goToScene(n);
            waitForScene();
            ASSERT_TRUE(pumpUntil(
                [&] {
                    return view.pyramid() != nullptr && !viewer_->prefetchDue() &&
                           viewer_->mediaManager().decodesIdle();
                },
                std::chrono::seconds(20)))
                << "scene " << n << " got no pyramid, or the next one was not decoded ahead";
        }
    }
};

TEST_F(ViewerHeapTest, SceneChangesWithSoundGiveBackWhatTheyTake) {
    constexpr int scenes = 6;
    makeTour(scenes, [](nlohmann::json& manifest) { manifest["soundOn"] = true; });
    recorder_.shown.reserve(1000);
    openViewer();
    for (int round = 0; round < 5; ++round) {
        cycle(scenes);  // every image and sound file made once, the cache full
    }
    const long long bytesBefore = liveBytes;
    const long long blocksBefore = liveBlocks;
    // A block kept by every 20th scene change shows several times over.
    for (int round = 0; round < 10; ++round) {
        cycle(scenes);
    }
    EXPECT_LE(liveBytes - bytesBefore, 256) << "bytes kept by 60 scene changes";
    EXPECT_LE(liveBlocks - blocksBefore, 2) << "blocks kept by 60 scene changes";
    EXPECT_GE(recorder_.shown.size(), 15u * scenes);
}

}  // namespace

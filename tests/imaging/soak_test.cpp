// Long runs of scene switching: memory and bitmap handles must come back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "imaging/scene_media_manager.h"
#include "platform/com_apartment.h"
#include "scratch_files.h"
#include "message_box_watcher.h"
#include "imaging_material.h"
#include "test_tour.h"
#include "test_window.h"

namespace {

using namespace test_support;

// Reads every row of each image it is handed, as the warp does.
class ReadingListener : public imaging::SceneImageListener {
  public:
    explicit ReadingListener(int& nullImages) : nullImages_(nullImages) {}
    void imageReady(const imaging::DibImage* image) override {
        if (image == nullptr || image->bits() == nullptr) {
            ++nullImages_;
            return;
        }
        volatile std::uint8_t sum = 0;
        for (std::int32_t row = 0; row < image->header()->biHeight; ++row) {
            sum = sum + image->bits()[row * image->stride()];
        }
    }

  private:
    int& nullImages_;
};

class IgnoringSoundListener : public imaging::SceneSoundListener {
  public:
    void soundReady(package::TempFile*) override {}
};

TEST(SceneSwitchingSoak, MemoryComesBackAfterTheFirstRound) {
    platform::ComApartment apartment;
    useTestLanguageModule();
    MessageBoxWatcher warnings(warningCaption, IDOK);
    std::vector<SceneSource> scenes;
    for (int n = 1; n <= 6; ++n) {
        const bool large = n == 2 || n == 5;
        scenes.push_back(
            {picturePath(large ? "scene-large-" + std::to_string(n == 2 ? 1 : 2) + ".jpg"
                               : "scene-small-" + std::to_string(n) + ".jpg"),
             soundBytes(static_cast<std::uint8_t>(n))});
    }
    TestTour tour(scenes);
    int nullImages = 0;
    imaging::SceneMediaManager manager;
    manager.setTour(&tour.tour());
    manager.setImageListener(std::make_unique<ReadingListener>(nullImages));
    manager.setSoundListener(std::make_unique<IgnoringSoundListener>());

    // Forward through all six (every one decoded again: the cache holds four),
    // then back and forth among neighbours (cache hits and large payloads).
    const auto positionAt = [](int step) {
        const int round = step / 6;
        const int inRound = step % 6;
        return round % 2 == 0 ? inRound + 1 : 6 - (inRound % 3);
    };
    constexpr int switches = 2000;
    std::uint64_t afterFirstRound = 0;
    std::uint64_t highest = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int step = 0; step < switches; ++step) {
        manager.cancelAll();
        manager.showScene(positionAt(step));
        ASSERT_TRUE(pumpUntil([&] { return !manager.imageDue(); }, std::chrono::seconds(20)));
        if (step == 11) {
            afterFirstRound = privateBytes();
        }
        highest = std::max(highest, privateBytes());
    }
    const std::uint64_t atEnd = privateBytes();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "%d switches in %.1f s; private bytes after the first round %llu, at the end "
        "%llu, highest %llu\n",
        switches, seconds, static_cast<unsigned long long>(afterFirstRound),
        static_cast<unsigned long long>(atEnd), static_cast<unsigned long long>(highest));
    ASSERT_GT(afterFirstRound, 0u);
    EXPECT_EQ(nullImages, 0);
    EXPECT_EQ(warnings.answered(), 0);
    EXPECT_EQ(manager.soundFiles().count(), 6);  // each scene's sound extracted once
    // Four cached images of at most 600 x 300 plus the one on screen are a few
    // megabytes; a leak of one DIB section per switch would be hundreds.
    EXPECT_LT(atEnd, afterFirstRound + 4u * 1024 * 1024);
}

TEST(SceneSwitchingSoak, OvertakenDecodesGiveTheirMemoryBack) {
    platform::ComApartment apartment;
    useTestLanguageModule();
    MessageBoxWatcher warnings(warningCaption, IDOK);
    TestTour tour({{picturePath("scene-large-1.jpg"), soundBytes(1)},
                   {picturePath("scene-small-2.jpg"), soundBytes(2)},
                   {picturePath("scene-small-3.jpg"), soundBytes(3)}});
    int nullImages = 0;
    imaging::SceneMediaManager manager;
    manager.setTour(&tour.tour());
    manager.setImageListener(std::make_unique<ReadingListener>(nullImages));
    manager.setSoundListener(std::make_unique<IgnoringSoundListener>());
    // Each round asks for the large scene and, before its decode can be
    // installed, for a small one: the large picture is decoded every time
    // (nothing caches it) and never shown.
    constexpr int rounds = 300;
    std::uint64_t afterFirstRounds = 0;
    for (int round = 0; round < rounds; ++round) {
        manager.cancelAll();
        manager.showScene(1);
        manager.cancelAll();
        manager.showScene(2 + round % 2);
        ASSERT_TRUE(pumpUntil([&] { return !manager.imageDue(); }, std::chrono::seconds(20)));
        if (round == 9) {
            ASSERT_TRUE(pumpUntil([&] { return manager.sceneDecodes().running() == 0; },
                                  std::chrono::seconds(20)));
            afterFirstRounds = privateBytes();
        }
        ASSERT_EQ(manager.imageCache().find(tour.scene(1).id()), nullptr);
    }
    ASSERT_TRUE(
        pumpUntil([&] { return manager.sceneDecodes().running() == 0; }, std::chrono::seconds(20)));
    const std::uint64_t atEnd = privateBytes();
    std::printf("%d overtaken decodes; private bytes after ten %llu, at the end %llu\n", rounds,
                static_cast<unsigned long long>(afterFirstRounds),
                static_cast<unsigned long long>(atEnd));
    EXPECT_EQ(nullImages, 0);
    EXPECT_EQ(warnings.answered(), 0);
    // A 600 x 300 section left behind per overtaken decode would be 150 MB.
    EXPECT_LT(atEnd, afterFirstRounds + 8u * 1024 * 1024);
}

// Takes GDI handles until the system's table refuses more, then gives
// `spare` of them back: what remains free is known, whatever the table's size.
class FullHandleTable {
  public:
    explicit FullHandleTable(std::size_t spare) {
        constexpr std::size_t most = 200000;
        while (held_.size() < most) {
            const HBITMAP bitmap = CreateBitmap(1, 1, 1, 1, nullptr);
            if (bitmap == nullptr) {
                break;
            }
            held_.push_back(bitmap);
        }
        filled_ = held_.size() < most;
        for (std::size_t n = 0; n < spare && !held_.empty(); ++n) {
            DeleteObject(held_.back());
            held_.pop_back();
        }
    }
    ~FullHandleTable() {
        for (const HBITMAP bitmap : held_) {
            DeleteObject(bitmap);
        }
    }
    FullHandleTable(const FullHandleTable&) = delete;
    FullHandleTable& operator=(const FullHandleTable&) = delete;
    bool filled() const { return filled_; }

  private:
    std::vector<HBITMAP> held_;
    bool filled_ = false;
};

TEST(BitmapHandleSoak, MoreBitmapsThanTheHandleTableHoldsAllComeBack) {
    platform::ComApartment apartment;
    useTestLanguageModule();
    MessageBoxWatcher warnings(warningCaption, IDOK);
    const auto bytes = readFile(picturePath("corner-24bit.bmp"));
    const auto size = static_cast<std::int32_t>(bytes.size());
    imaging::SceneMediaManager manager;
    int nullImages = 0;
    auto listener = std::make_unique<ReadingListener>(nullImages);
    imaging::SceneImageListener* shown = listener.get();
    manager.setImageListener(std::move(listener));
    // The table is filled but for 4000 handles: had one bitmap per decode
    // stayed behind, creation would fail long before the end.
    constexpr int spare = 4000;
    const FullHandleTable table(spare);
    ASSERT_TRUE(table.filled());
    constexpr int decodes = 3 * spare;
    for (int n = 0; n < decodes; ++n) {
        imaging::SceneImageCallback request(shown, &manager, 1 + n % 9);
        request.deliver(std::make_unique<package::PayloadBuffer>(makeBlock(bytes).release(), size));
        if (nullImages != 0 || warnings.answered() != 0) {
            FAIL() << "no bitmap after " << n << " decodes";
        }
    }
    EXPECT_EQ(manager.imageCache().count(), imaging::ImageCache::limit);
}

}  // namespace

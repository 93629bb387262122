#include "imaging/image_cache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "imaging/scene_media_manager.h"
#include "platform/com_apartment.h"
#include "scratch_files.h"
#include "imaging_material.h"

namespace {

using namespace test_support;

// A real 4 x 2 section, as the decoder makes them.
std::shared_ptr<imaging::DibImage> makeImage(std::int32_t id) {
    auto header = std::make_unique<BITMAPINFOHEADER>();
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = 4;
    header->biHeight = 2;
    header->biPlanes = 1;
    header->biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(header.get()),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    return std::make_shared<imaging::DibImage>(bitmap, bits, std::move(header), id);
}

bool isBitmap(HBITMAP bitmap) {
    return GetObjectType(bitmap) == OBJ_BITMAP;
}

TEST(DibImageRecord, OwnsItsSectionAndTheNullImageOwnsNothing) {
    HBITMAP bitmap = nullptr;
    {
        const auto image = makeImage(7);
        bitmap = image->bitmap();
        EXPECT_TRUE(isBitmap(bitmap));
        EXPECT_EQ(image->id(), 7);
        EXPECT_EQ(image->stride(), 12);
    }
    EXPECT_FALSE(isBitmap(bitmap));

    const imaging::DibImage nullImage(nullptr, reinterpret_cast<void*>(1),
                                      std::make_unique<BITMAPINFOHEADER>(), 42);
    EXPECT_TRUE(nullImage.isNull());
    EXPECT_EQ(nullImage.id(), imaging::DibImage::nullId);
    EXPECT_EQ(nullImage.bits(), nullptr);
    EXPECT_EQ(nullImage.header(), nullptr);
    EXPECT_EQ(nullImage.stride(), 0);
}

TEST(ImageCacheRules, FifthImageDropsTheOldest) {
    imaging::ImageCache cache;
    std::vector<std::weak_ptr<imaging::DibImage>> added;
    HBITMAP firstBitmap = nullptr;
    for (std::int32_t id = 1; id <= 5; ++id) {
        auto image = makeImage(id);
        if (id == 1) {
            firstBitmap = image->bitmap();
        }
        added.push_back(image);
        EXPECT_TRUE(cache.add(std::move(image)));
    }
    ASSERT_EQ(cache.count(), 4);
    for (std::int32_t index = 0; index < 4; ++index) {
        EXPECT_EQ(cache.at(index)->id(), index + 2);  // oldest first
    }
    EXPECT_TRUE(added[0].expired());  // nobody else held it: destroyed
    EXPECT_FALSE(isBitmap(firstBitmap));
}

TEST(ImageCacheRules, DuplicateIdIsNotTakenAndStaysWithTheCaller) {
    imaging::ImageCache cache;
    cache.add(makeImage(3));
    auto duplicate = makeImage(3);
    std::weak_ptr<imaging::DibImage> watch = duplicate;
    EXPECT_FALSE(cache.add(duplicate));
    EXPECT_EQ(cache.count(), 1);
    EXPECT_NE(cache.at(0).get(), duplicate.get());
    EXPECT_EQ(duplicate.use_count(), 1);
    duplicate.reset();
    EXPECT_TRUE(watch.expired());  // the receiver's drop frees it: no leak
}

TEST(ImageCacheRules, RemovalAndIndexing) {
    imaging::ImageCache cache;
    for (std::int32_t id = 1; id <= 3; ++id) {
        cache.add(makeImage(id));
    }
    EXPECT_EQ(cache.at(-1).get(), nullptr);
    EXPECT_EQ(cache.at(cache.count()).get(), nullptr);
    cache.removeAt(3);  // out of range: nothing
    cache.removeAt(-1);
    EXPECT_EQ(cache.count(), 3);
    cache.removeAt(0);
    ASSERT_EQ(cache.count(), 2);
    EXPECT_EQ(cache.at(0)->id(), 2);
    cache.removeAt(1);
    ASSERT_EQ(cache.count(), 1);
    EXPECT_EQ(cache.at(0)->id(), 2);
    cache.removeOldest();
    EXPECT_EQ(cache.count(), 0);
    cache.removeOldest();  // empty: nothing
    cache.add(makeImage(9));
    cache.clear();
    EXPECT_EQ(cache.count(), 0);
}

TEST(ImageCacheRules, IdsStartAfter10000) {
    imaging::ImageCache cache;
    EXPECT_EQ(cache.nextId(), 10001);
    EXPECT_EQ(cache.nextId(), 10002);
}

TEST(ImageCacheRules, AnImageHeldElsewhereOutlivesItsEntry) {
    imaging::ImageCache cache;
    auto shown = makeImage(1);
    cache.add(shown);
    cache.clear();
    EXPECT_EQ(cache.count(), 0);
    EXPECT_TRUE(isBitmap(shown->bitmap()));
    shown->bits()[0] = 0x5A;  // still the section's memory
    EXPECT_EQ(shown->bits()[0], 0x5A);
}

// What the window's thread takes from the cache to draw stays its own while
// a decode worker evicts entry after entry.
TEST(ImageCacheRules, AnEntryTakenToDrawOutlivesAWorkersEvictions) {
    imaging::ImageCache cache;
    for (std::int32_t id = 1; id <= imaging::ImageCache::limit; ++id) {
        cache.add(makeImage(id));
    }
    std::atomic<bool> evicting{true};
    std::atomic<int> evicted{0};
    std::thread worker([&] {
        for (std::int32_t id = 100; evicting.load(); ++id) {
            cache.add(makeImage(id));
            ++evicted;
        }
    });
    for (int draw = 0; draw < 400 || evicted.load() < 2 * imaging::ImageCache::limit; ++draw) {
        const std::shared_ptr<imaging::DibImage> drawn =
            cache.at(draw % imaging::ImageCache::limit);
        ASSERT_NE(drawn, nullptr);
        std::this_thread::yield();  // the worker evicts meanwhile
        ASSERT_TRUE(isBitmap(drawn->bitmap()));
        drawn->bits()[0] = static_cast<std::uint8_t>(draw);
        EXPECT_EQ(drawn->bits()[0], static_cast<std::uint8_t>(draw));
    }
    evicting = false;
    worker.join();
}

class LargePayloadRule : public ::testing::Test {
  protected:
    void SetUp() override {
        useTestLanguageModule();
        bytes = readFile(picturePath("corner-baseline.jpg"));
        ASSERT_FALSE(bytes.empty());
        manager.imageCache().add(makeImage(1));
        manager.imageCache().add(makeImage(2));
    }

    platform::ComApartment apartment;
    imaging::SceneMediaManager manager;
    std::vector<std::uint8_t> bytes;
};

TEST_F(LargePayloadRule, Below307200BytesTheCacheStays) {
    // The picture padded with zeros after its end to the compressed size.
    const auto image = manager.loadImageFromGlobal(makeBlock(bytes, 307199), 307199, 50);
    ASSERT_FALSE(image->isNull());
    ASSERT_EQ(manager.imageCache().count(), 3);
    EXPECT_EQ(manager.imageCache().at(0)->id(), 1);
    EXPECT_EQ(manager.imageCache().at(2).get(), image.get());
}

TEST_F(LargePayloadRule, From307200BytesTheCacheIsEmptiedFirst) {
    const auto image = manager.loadImageFromGlobal(makeBlock(bytes, 307200), 307200, 50);
    ASSERT_FALSE(image->isNull());
    ASSERT_EQ(manager.imageCache().count(), 1);
    EXPECT_EQ(manager.imageCache().at(0).get(), image.get());
}

TEST_F(LargePayloadRule, DecodedImagesEnterTheCacheAndNullOnesDoNot) {
    const auto first = manager.loadImageFromGlobalWithNextId(
        makeBlock(bytes), static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(first->id(), 10001);
    EXPECT_EQ(manager.imageCache().count(), 3);
    // Same id again: the cache keeps its entry and the new record is the caller's.
    const auto again = manager.loadImageFromGlobal(makeBlock(bytes),
                                                   static_cast<std::int32_t>(bytes.size()), 10001);
    EXPECT_EQ(manager.imageCache().count(), 3);
    EXPECT_EQ(manager.imageCache().at(2).get(), first.get());
    EXPECT_EQ(again.use_count(), 1);
}

TEST(ImageCacheRules, ThePrefetchedImageIsNoEntryButTheGuardDropsItFirst) {
    imaging::ImageCache cache;
    auto prefetched = makeImage(99);
    const std::weak_ptr<imaging::DibImage> watched = prefetched;
    cache.holdPrefetched(std::move(prefetched));
    for (std::int32_t id = 1; id <= 4; ++id) {
        cache.add(makeImage(id));
    }
    EXPECT_EQ(cache.entryCount(), 4);  // the limit is the entries'
    EXPECT_EQ(cache.count(), 5);       // what the memory guard sees
    EXPECT_EQ(cache.find(99), nullptr);
    EXPECT_EQ(cache.prefetchedId(), 99);
    cache.clear();  // a large payload's rule empties the entries only
    EXPECT_EQ(cache.prefetchedId(), 99);
    cache.add(makeImage(1));
    cache.removeOldest();
    EXPECT_TRUE(watched.expired());
    EXPECT_EQ(cache.prefetchedId(), imaging::DibImage::nullId);
    EXPECT_EQ(cache.entryCount(), 1);
    cache.removeOldest();
    EXPECT_EQ(cache.count(), 0);
}

TEST(ImageCacheRules, ThePrefetchedImageIsHandedOverOnlyForItsId) {
    imaging::ImageCache cache;
    cache.holdPrefetched(makeImage(7));
    EXPECT_EQ(cache.takePrefetched(8), nullptr);
    const auto taken = cache.takePrefetched(7);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->id(), 7);
    EXPECT_EQ(taken.use_count(), 1);  // the cache let go of it
    EXPECT_EQ(cache.count(), 0);
}

}  // namespace

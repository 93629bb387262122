// The reader over the file layer kept in memory (the fuzzer's) reads what it
// reads from disk: a tourpack-made tour from the seed corpus, its scenes'
// payloads, and every temporary file it made gone again afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/media_callback.h"
#include "platform/files_memory.h"
#include "package/tour_loader.h"
#include "scratch_files.h"

namespace {

std::vector<std::uint8_t> seed(const char* name) {
    return test_support::readFile(std::string(SEED_CORPUS) + "/" + name);
}

struct Keeper : package::MediaCallback {
    void deliver(std::unique_ptr<package::Payload> payload) override { kept = std::move(payload); }
    std::unique_ptr<package::Payload> kept;
};

TEST(MemoryFiles, TheReaderReadsATourAndExtractsItsScenesFromMemory) {
    const std::vector<std::uint8_t> bytes = seed("tour-3-scenes.exe");
    ASSERT_GT(bytes.size(), 1000u);
    platform::memory::putFile("memory:/tour.exe", bytes.data(), bytes.size());

    package::TourLoader loader;
    package::PackageError error;
    std::unique_ptr<package::Tour> tour = loader.read("memory:/tour.exe", error);
    ASSERT_TRUE(tour) << error.what;
    EXPECT_EQ(tour->sceneCount(), 3);
    // The tour sound, 26 skin images and the language module were written.
    EXPECT_EQ(platform::memory::filePaths().size(), 1u + 1u + 26u + 1u);

    for (std::int32_t position = 1; position <= 3; ++position) {
        package::Scene* scene = tour->scene(position);
        Keeper image;
        Keeper sound;
        scene->setImageReceiver(&image);
        scene->setSoundReceiver(&sound);
        scene->load();
        auto* buffer = dynamic_cast<package::PayloadBuffer*>(image.kept.get());
        ASSERT_NE(buffer, nullptr) << "scene " << position;
        EXPECT_EQ(buffer->size(), scene->image()->length());
        auto* soundFile = dynamic_cast<package::TempFile*>(sound.kept.get());
        ASSERT_NE(soundFile, nullptr) << "scene " << position;
        // The sound's bytes are those of its range of the tour, unchanged.
        const std::int32_t offset = scene->sound()->offset();
        const std::int32_t length = scene->sound()->length();
        ASSERT_EQ(platform::fileSize(soundFile->path()), length);
        platform::MappedFile written(soundFile->path());
        ASSERT_TRUE(written.contains(0, length));
        EXPECT_TRUE(std::equal(written.data(), written.data() + length, bytes.data() + offset));
    }
    loader.deleteExtractedFiles(*tour);
    tour.reset();
    EXPECT_EQ(platform::memory::filePaths(), std::vector<std::string>{"memory:/tour.exe"});
    platform::deleteFile("memory:/tour.exe");
}

TEST(MemoryFiles, AFileNotInTheTableIsNoTour) {
    package::TourLoader loader;
    package::PackageError error;
    EXPECT_EQ(loader.read("memory:/missing.exe", error), nullptr);
    EXPECT_EQ(error.kind, package::PackageError::badTrailer);
    EXPECT_EQ(platform::fileSize("memory:/missing.exe"), -1);
    EXPECT_FALSE(platform::MappedFile("memory:/missing.exe").opened());
    EXPECT_TRUE(platform::memory::filePaths().empty());
}

}  // namespace

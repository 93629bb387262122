#include "package/extraction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include "package/media_callback.h"
#include "package/payload.h"
#include "platform/files.h"
#include "package/scene.h"
#include "package/tea.h"
#include "scoped_temp_directory.h"
#include "tour_source.h"

namespace {

namespace fs = std::filesystem;
using test_support::Bytes;

class Receiver : public package::MediaCallback {
  public:
    void deliver(std::unique_ptr<package::Payload> payload) override {
        ++calls;
        this->payload = std::move(payload);
        if (onDeliver) {
            onDeliver();
        }
    }
    Bytes imageBytes() const {
        auto* buffer = dynamic_cast<package::PayloadBuffer*>(payload.get());
        if (buffer == nullptr) {
            return {};
        }
        Bytes bytes(static_cast<std::size_t>(buffer->size()));
        if (!bytes.empty()) {
            std::memcpy(bytes.data(), platform::lockMemory(buffer->block()), bytes.size());
            platform::unlockMemory(buffer->block());
        }
        return bytes;
    }
    int calls = 0;
    std::unique_ptr<package::Payload> payload;
    std::function<void()> onDeliver;
};

// Records the checkpoints an extraction passes and cancels the scene at one.
struct CheckpointLog {
    std::vector<package::ExtractionCheckpoint> seen;
    package::ExtractionCheckpoint cancelAt = package::ExtractionCheckpoint::start;
    package::Scene* cancelScene = nullptr;

    static void observe(package::ExtractionCheckpoint checkpoint, void* context) {
        auto* log = static_cast<CheckpointLog*>(context);
        log->seen.push_back(checkpoint);
        if (log->cancelScene != nullptr && checkpoint == log->cancelAt) {
            log->cancelScene->cancel();
        }
    }
};

class ExtractionTest : public ::testing::Test {
  protected:
    ExtractionTest()
        : scratch_(folder_.path() / "tmp"), temp_((fs::create_directories(scratch_), scratch_)) {
        // The "executable": some leading bytes, an encrypted image, a sound.
        plainImage_ = test_support::bmpPicture(5, 3, 1, 2, 3);  // 102 bytes: not a multiple of 8
        Bytes encrypted = plainImage_;
        package::teaEncryptBuffer(encrypted.data(), encrypted.data(),
                                  static_cast<std::int64_t>(encrypted.size()),
                                  package::playerKeyText);
        sound_ = test_support::waveSound(40, 7);
        Bytes file(300, 0x55);
        imageOffset_ = static_cast<std::int32_t>(file.size());
        std::copy(encrypted.begin(), encrypted.end(), std::back_inserter(file));
        soundOffset_ = static_cast<std::int32_t>(file.size());
        std::copy(sound_.begin(), sound_.end(), std::back_inserter(file));
        file.resize(file.size() + 41, 0);
        exe_ = folder_.path() / "tour.exe";
        test_support::writeFile(exe_, file);
        fileSize_ = static_cast<std::int32_t>(file.size());
        package::setExtractionObserver(&CheckpointLog::observe, &log_);
    }
    ~ExtractionTest() override { package::setExtractionObserver(nullptr, nullptr); }

    void pointScene(package::Scene& scene, std::int32_t imageOffset, std::int32_t imageLength,
                    std::int32_t soundOffset, std::int32_t soundLength) {
        scene.setImage(
            std::make_unique<package::FileItem>(exe_.string().c_str(), imageOffset, imageLength));
        scene.setSound(
            std::make_unique<package::FileItem>(exe_.string().c_str(), soundOffset, soundLength));
    }
    void pointScene(package::Scene& scene) {
        pointScene(scene, imageOffset_, static_cast<std::int32_t>(plainImage_.size()), soundOffset_,
                   static_cast<std::int32_t>(sound_.size()));
    }
    std::size_t soundFiles() { return test_support::filesWithPrefix(scratch_, "QRX").size(); }

    test_support::TempFolder folder_;
    fs::path scratch_;
    test_support::ScopedTempDirectory temp_;
    fs::path exe_;
    Bytes plainImage_;
    Bytes sound_;
    std::int32_t imageOffset_ = 0;
    std::int32_t soundOffset_ = 0;
    std::int32_t fileSize_ = 0;
    CheckpointLog log_;
};

TEST_F(ExtractionTest, DeliversTheDecryptedImageThenTheSound) {
    package::Scene scene;
    pointScene(scene);
    Receiver image;
    Receiver sound;
    std::vector<std::string> order;
    image.onDeliver = [&] { order.push_back("image"); };
    sound.onDeliver = [&] { order.push_back("sound"); };
    scene.setImageReceiver(&image);
    scene.setSoundReceiver(&sound);
    scene.load();
    EXPECT_EQ(scene.request().mode, package::LoadRequest::imageAndSound);
    EXPECT_EQ(order, (std::vector<std::string>{"image", "sound"}));
    EXPECT_EQ(image.imageBytes(), plainImage_);
    auto* file = dynamic_cast<package::TempFile*>(sound.payload.get());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(test_support::readFile(file->path()), sound_);
    EXPECT_EQ(fs::path(file->path()).filename().string().substr(0, 3), "QRX");
    sound.payload.reset();
    EXPECT_EQ(soundFiles(), 0u);
}

TEST_F(ExtractionTest, ModesFollowWhatIsWanted) {
    package::Scene scene;
    pointScene(scene);
    Receiver image;
    Receiver sound;
    scene.load();
    EXPECT_EQ(scene.request().mode, package::LoadRequest::nothing);
    EXPECT_EQ(image.calls + sound.calls, 0);

    scene.setImageReceiver(&image);
    scene.load();
    EXPECT_EQ(scene.request().mode, package::LoadRequest::imageOnly);
    EXPECT_EQ(image.calls, 1);
    EXPECT_EQ(sound.calls, 0);

    scene.dropImageReceiver();
    scene.setSoundReceiver(&sound);
    log_.seen.clear();
    scene.load();
    EXPECT_EQ(scene.request().mode, package::LoadRequest::soundOnly);
    EXPECT_EQ(image.calls, 1);
    EXPECT_EQ(sound.calls, 1);
    // Sound only: no memory block, no decryption.
    EXPECT_EQ(log_.seen,
              (std::vector<package::ExtractionCheckpoint>{
                  package::ExtractionCheckpoint::start, package::ExtractionCheckpoint::soundMapped,
                  package::ExtractionCheckpoint::soundNamed}));
}

TEST_F(ExtractionTest, ImagesOfLengthZeroAndThirteen) {
    package::Scene scene;
    Receiver image;
    scene.setImageReceiver(&image);
    pointScene(scene, imageOffset_, 0, 0, 0);
    scene.load();
    auto* empty = dynamic_cast<package::PayloadBuffer*>(image.payload.get());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->size(), 0);

    // Thirteen bytes of the encrypted image: the first block decrypts, the last five
    // are passed as they are stored.
    pointScene(scene, imageOffset_, 13, 0, 0);
    scene.load();
    const Bytes thirteen = image.imageBytes();
    ASSERT_EQ(thirteen.size(), 13u);
    EXPECT_TRUE(std::equal(thirteen.begin(), thirteen.begin() + 8, plainImage_.begin()));
    const Bytes stored = test_support::readFile(exe_);
    EXPECT_TRUE(
        std::equal(thirteen.begin() + 8, thirteen.end(), stored.begin() + imageOffset_ + 8));
}

TEST_F(ExtractionTest, RangesOutsideTheFileDeliverNothing) {
    const std::pair<std::int32_t, std::int32_t> ranges[] = {
        {-1, 10}, {0, -1}, {fileSize_ - 4, 5}, {fileSize_ + 1, 0}, {INT32_MAX, INT32_MAX}};
    for (const auto& [offset, length] : ranges) {
        package::Scene scene;
        Receiver image;
        Receiver sound;
        scene.setImageReceiver(&image);
        pointScene(scene, offset, length, soundOffset_, 4);
        scene.load();
        EXPECT_EQ(image.calls, 1) << offset << "," << length;
        EXPECT_EQ(image.payload, nullptr);

        scene.dropImageReceiver();
        scene.setSoundReceiver(&sound);
        pointScene(scene, 0, 0, offset, length);
        scene.load();
        EXPECT_EQ(sound.calls, 1);
        EXPECT_EQ(sound.payload, nullptr);
    }
    EXPECT_EQ(soundFiles(), 0u);
}

TEST_F(ExtractionTest, AFileThatDoesNotOpenEndsTheExtraction) {
    package::Scene scene;
    scene.setImage(std::make_unique<package::FileItem>(
        (folder_.path() / "missing.exe").string().c_str(), 0, 4));
    scene.setSound(std::make_unique<package::FileItem>(exe_.string().c_str(), soundOffset_, 4));
    Receiver image;
    Receiver sound;
    scene.setImageReceiver(&image);
    scene.setSoundReceiver(&sound);
    scene.load();
    EXPECT_EQ(image.calls, 1);
    EXPECT_EQ(image.payload, nullptr);
    EXPECT_EQ(sound.calls, 0);  // an image failure ends it before the sound
}

// The player keeps the tour's file mapped while it plays: every extraction
// reads that mapping, with the same range checks.
TEST_F(ExtractionTest, AFileTheCallerMappedIsReadWithItsRangesChecked) {
    const platform::MappedFile mapped(exe_.string().c_str());
    ASSERT_TRUE(mapped.opened());
    Receiver image;
    package::LoadRequest request;
    request.imagePath =
        (folder_.path() / "missing.exe").string();  // not opened: the mapping is read
    request.imageFile = &mapped;
    request.imageReceiver = &image;
    request.imageOffset = imageOffset_;
    request.imageLength = static_cast<std::int32_t>(plainImage_.size());
    request.mode = package::LoadRequest::imageOnly;
    package::extractPayloads(request);
    EXPECT_EQ(image.imageBytes(), plainImage_);

    request.imageOffset = fileSize_ - 4;
    request.imageLength = 5;
    package::extractPayloads(request);
    EXPECT_EQ(image.calls, 2);
    EXPECT_EQ(image.payload, nullptr);

    const std::unique_ptr<package::PayloadBuffer> plain =
        package::extractPlainBytes(mapped, imageOffset_ - 8, 8);
    ASSERT_NE(plain, nullptr);
    const auto* bytes = static_cast<const std::uint8_t*>(platform::lockMemory(plain->block()));
    EXPECT_EQ(Bytes(bytes, bytes + 8), Bytes(8, 0x55));
    platform::unlockMemory(plain->block());
    EXPECT_EQ(package::extractPlainBytes(mapped, fileSize_ - 4, 5), nullptr);
}

TEST_F(ExtractionTest, CancellingAtEachCheckpointDeliversNothingMoreAndLeavesNoFile) {
    const package::ExtractionCheckpoint points[] = {
        package::ExtractionCheckpoint::start,       package::ExtractionCheckpoint::imageMapped,
        package::ExtractionCheckpoint::imageLocked, package::ExtractionCheckpoint::imageReady,
        package::ExtractionCheckpoint::soundMapped, package::ExtractionCheckpoint::soundNamed};
    for (const package::ExtractionCheckpoint point : points) {
        package::Scene scene;
        pointScene(scene);
        Receiver image;
        Receiver sound;
        scene.setImageReceiver(&image);
        scene.setSoundReceiver(&sound);
        log_.cancelScene = &scene;
        log_.cancelAt = point;
        scene.load();
        const bool imageDone = point == package::ExtractionCheckpoint::soundMapped ||
                               point == package::ExtractionCheckpoint::soundNamed;
        EXPECT_EQ(image.calls, imageDone ? 1 : 0) << static_cast<int>(point);
        EXPECT_EQ(sound.calls, 0) << static_cast<int>(point);
        EXPECT_TRUE(scene.cancelled());
        EXPECT_EQ(soundFiles(), 0u) << static_cast<int>(point);
    }
    log_.cancelScene = nullptr;
}

TEST_F(ExtractionTest, CancellingBeforeLoadHasNoEffect) {
    package::Scene scene;
    pointScene(scene);
    Receiver image;
    scene.setImageReceiver(&image);
    scene.cancel();
    scene.load();
    EXPECT_FALSE(scene.cancelled());
    EXPECT_EQ(image.imageBytes(), plainImage_);
}

TEST_F(ExtractionTest, AnImageReceiverThatCancelsStopsTheSound) {
    package::Scene scene;
    pointScene(scene);
    Receiver image;
    Receiver sound;
    image.onDeliver = [&] { scene.cancel(); };
    scene.setImageReceiver(&image);
    scene.setSoundReceiver(&sound);
    scene.load();
    EXPECT_EQ(image.calls, 1);
    EXPECT_EQ(sound.calls, 0);
    EXPECT_EQ(soundFiles(), 0u);
}

}  // namespace

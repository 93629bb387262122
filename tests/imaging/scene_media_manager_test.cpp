#include "imaging/scene_media_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "imaging/image_exceptions.h"
#include "platform/com_apartment.h"
#include "scoped_temp_directory.h"
#include "full_decode_gate.h"
#include "message_box_watcher.h"
#include "imaging_material.h"
#include "test_tour.h"
#include "test_window.h"
#include "tour_source.h"

namespace {

using namespace test_support;

bool isBitmap(HBITMAP bitmap) {
    return bitmap != nullptr && GetObjectType(bitmap) == OBJ_BITMAP;
}

// Stands in for the view: like the renderer it copies the pixel pointer, the
// stride and the height of the image it is handed, and reads the pixels again
// whenever asked, as the render ticks do.
struct ViewProbe {
    const imaging::DibImage* shown = nullptr;
    HBITMAP shownBitmap = nullptr;
    const std::uint8_t* pixels = nullptr;
    std::int32_t stride = 0;
    std::int32_t height = 0;
    std::vector<std::int32_t> deliveredIds;  // id per delivery; 0 for null
    int deliveries = 0;
    int stalePixels = 0;  // reads of pixels whose section was already deleted

    void show(const imaging::DibImage* image) {
        shown = image;
        const bool hasPixels = image != nullptr && image->bits() != nullptr;
        shownBitmap = hasPixels ? image->bitmap() : nullptr;
        pixels = hasPixels ? image->bits() : nullptr;
        stride = hasPixels ? image->stride() : 0;
        height = hasPixels ? image->header()->biHeight : 0;
    }
    void read() {
        if (pixels == nullptr) {
            return;
        }
        if (!isBitmap(shownBitmap)) {
            ++stalePixels;
            return;
        }
        volatile std::uint8_t sum = 0;
        for (std::int32_t row = 0; row < height; ++row) {
            sum = sum + pixels[row * stride];
        }
    }
};

class ProbeImageListener : public imaging::SceneImageListener {
  public:
    explicit ProbeImageListener(ViewProbe& probe) : probe_(probe) {}
    void imageReady(const imaging::DibImage* image) override {
        probe_.read();  // the old image is read up to the moment it is replaced
        probe_.show(image);
        probe_.deliveredIds.push_back(image != nullptr ? image->id() : 0);
        ++probe_.deliveries;
        probe_.read();
    }

  private:
    ViewProbe& probe_;
};

struct SoundProbe {
    std::vector<package::TempFile*> files;
    std::vector<std::string> paths;
    bool destroyed = false;
};

class ProbeSoundListener : public imaging::SceneSoundListener {
  public:
    explicit ProbeSoundListener(SoundProbe& probe) : probe_(probe) {}
    ~ProbeSoundListener() override { probe_.destroyed = true; }
    void soundReady(package::TempFile* file) override {
        probe_.files.push_back(file);
        probe_.paths.push_back(file != nullptr ? file->path() : "");
    }

  private:
    SoundProbe& probe_;
};

// Counts the decodes the scene-image callback asks for.
class CountingManager : public imaging::SceneMediaManager, private imaging::SceneDecodeWatch {
  public:
    CountingManager() { setDecodeWatch(this); }
    int decodes = 0;
    // Runs before each decode on the window's thread; may throw as it would.
    std::function<void()> beforeDecode;

  private:
    void decodingHere(std::int32_t) override {
        ++decodes;
        if (beforeDecode) {
            beforeDecode();
        }
    }
    void decodingOnWorker(std::int32_t) override { ++decodes; }
};

// Runs the thread's messages until the manager has installed the image of
// the scene asked for last (decoded on a worker).
bool waitForInstallation(imaging::SceneMediaManager& manager) {
    return pumpUntil([&] { return !manager.imageDue(); }, std::chrono::seconds(20));
}

std::vector<SceneSource> smallScenes(int count) {
    std::vector<SceneSource> scenes;
    for (int n = 1; n <= count; ++n) {
        scenes.push_back({picturePath("scene-small-" + std::to_string(n) + ".jpg"),
                          soundBytes(static_cast<std::uint8_t>(n))});
    }
    return scenes;
}

class SceneMedia : public ::testing::Test {
  protected:
    void SetUp() override { useTestLanguageModule(); }

    // What the viewer does: its listeners, then the tour sound.
    void attach(TestTour& tour) {
        manager.setTour(&tour.tour());
        manager.setImageListener(std::make_unique<ProbeImageListener>(view));
        manager.setSoundListener(std::make_unique<ProbeSoundListener>(sounds));
    }

  public:
    // What the viewer does to go to a scene.
    void goTo(std::int32_t position) {
        manager.cancelAll();
        manager.showScene(position);
        ASSERT_TRUE(waitForInstallation(manager));
    }

  protected:
    platform::ComApartment apartment;
    ViewProbe view;
    SoundProbe sounds;
    CountingManager manager;
};

TEST_F(SceneMedia, RevisitedSceneComesFromTheCacheAndTheSoundListWithoutLoading) {
    TestTour tour(smallScenes(3));
    attach(tour);
    goTo(2);
    goTo(3);
    ASSERT_EQ(manager.decodes, 2);
    ASSERT_EQ(sounds.files.size(), 2u);
    const std::int32_t recorded = manager.soundFiles().count();
    const imaging::DibImage* firstShown = manager.imageCache().at(0).get();

    goTo(2);
    EXPECT_EQ(manager.decodes, 2);
    EXPECT_TRUE(tour.scene(2).cancelled());  // load would have cleared the flag
    EXPECT_EQ(manager.soundFiles().count(), recorded);
    EXPECT_EQ(view.shown, firstShown);
    EXPECT_EQ(view.deliveredIds, (std::vector<std::int32_t>{tour.scene(2).id(), tour.scene(3).id(),
                                                            tour.scene(2).id()}));
    ASSERT_EQ(sounds.files.size(), 3u);
    EXPECT_EQ(sounds.files[2], sounds.files[0]);
    EXPECT_TRUE(fileExists(sounds.paths[0]));
    EXPECT_EQ(readFile(sounds.paths[0]), soundBytes(2));
    EXPECT_EQ(view.stalePixels, 0);
}

TEST_F(SceneMedia, LargePayloadEmptiesTheCacheButSoundsStayRecorded) {
    std::vector<SceneSource> scenes = smallScenes(3);
    scenes[2].image = picturePath("scene-large-1.jpg");  // over 307200 bytes
    TestTour tour(scenes);
    attach(tour);
    goTo(2);
    goTo(3);
    EXPECT_EQ(manager.imageCache().count(), 1);
    const std::int32_t recorded = manager.soundFiles().count();

    goTo(2);
    EXPECT_EQ(manager.decodes, 3);                      // decoded again
    EXPECT_EQ(manager.soundFiles().count(), recorded);  // not extracted again
    ASSERT_EQ(sounds.files.size(), 3u);
    EXPECT_EQ(sounds.files[2], sounds.files[0]);
    EXPECT_EQ(view.deliveredIds.back(), tour.scene(2).id());
    EXPECT_EQ(view.stalePixels, 0);
}

TEST_F(SceneMedia, FiveScenesEvictTheFirstWhoseSoundStaysRecorded) {
    TestTour tour(smallScenes(5));
    attach(tour);
    for (std::int32_t position = 1; position <= 5; ++position) {
        goTo(position);
    }
    ASSERT_EQ(manager.imageCache().count(), 4);
    EXPECT_EQ(manager.imageCache().at(0)->id(), tour.scene(2).id());
    const std::int32_t recorded = manager.soundFiles().count();
    EXPECT_EQ(recorded, 5);

    goTo(1);
    EXPECT_EQ(manager.decodes, 6);
    EXPECT_EQ(manager.soundFiles().count(), recorded);
    EXPECT_EQ(sounds.files.back(), sounds.files.front());
    EXPECT_EQ(manager.imageCache().at(3)->id(), tour.scene(1).id());
}

TEST_F(SceneMedia, CancelledRequestsIgnoreDeliveriesUntilTheNextShowScene) {
    TestTour tour(smallScenes(3));
    attach(tour);
    manager.showScene(1);
    ASSERT_TRUE(waitForInstallation(manager));
    ASSERT_EQ(view.deliveries, 1);
    manager.cancelAll();
    EXPECT_TRUE(tour.scene(1).cancelled());
    EXPECT_FALSE(tour.scene(2).imageWanted());

    // A late extraction for scene 2 reaches the cancelled requests.
    imaging::SceneImageCallback* imageRequest = nullptr;
    manager.showScene(3);  // makes a fresh request...
    imageRequest = manager.pendingImageCallback();
    ASSERT_NE(imageRequest, nullptr);
    manager.cancelAll();  // ...that is cancelled again
    const int deliveries = view.deliveries;
    const std::size_t soundCount = sounds.files.size();
    const std::int32_t recorded = manager.soundFiles().count();
    tour.scene(2).setImageReceiver(imageRequest);
    tour.scene(2).setSoundReceiver(manager.soundCallback());
    tour.scene(2).load();
    EXPECT_EQ(view.deliveries, deliveries);
    EXPECT_EQ(sounds.files.size(), soundCount);
    EXPECT_EQ(manager.soundFiles().count(), recorded);
    EXPECT_EQ(manager.decodes, 2);

    manager.showScene(2);  // a new image request, the sound request re-armed
    ASSERT_TRUE(waitForInstallation(manager));
    EXPECT_EQ(view.deliveries, deliveries + 1);
    EXPECT_EQ(view.deliveredIds.back(), tour.scene(2).id());
    EXPECT_EQ(sounds.files.size(), soundCount + 1);
}

TEST_F(SceneMedia, SecondSoundListenerIsIgnored) {
    TestTour tour(smallScenes(1));
    attach(tour);
    SoundProbe second;
    manager.setSoundListener(std::make_unique<ProbeSoundListener>(second));
    EXPECT_TRUE(second.destroyed);  // not kept, not leaked
    EXPECT_FALSE(sounds.destroyed);
    goTo(1);
    EXPECT_EQ(sounds.files.size(), 1u);
    EXPECT_TRUE(second.files.empty());

    manager.deleteSoundListener();
    EXPECT_TRUE(sounds.destroyed);
    EXPECT_EQ(manager.soundCallback(), nullptr);
}

TEST_F(SceneMedia, PurgeDropsImagesWhoseScenesAreNotInTheTour) {
    TestTour first(smallScenes(2));
    TestTour second(smallScenes(1));
    attach(first);
    goTo(1);
    goTo(2);
    manager.showPictureFile(picturePath("corner.gif").c_str());
    ASSERT_EQ(manager.imageCache().count(), 3);
    EXPECT_EQ(manager.imageCache().at(2)->id(), 10001);
    EXPECT_EQ(view.shown, manager.imageCache().at(2).get());

    manager.purgeImages();  // the picture file's id is no scene's
    ASSERT_EQ(manager.imageCache().count(), 2);
    EXPECT_EQ(manager.imageCache().at(0)->id(), first.scene(1).id());

    manager.setTour(&second.tour());  // the first tour's scenes are gone
    manager.purgeImages();
    EXPECT_EQ(manager.imageCache().count(), 0);
    // The picture on screen outlives its purge until the view gets another.
    ASSERT_NE(view.shown, nullptr);
    EXPECT_TRUE(isBitmap(view.shownBitmap));
    view.read();
    EXPECT_EQ(view.stalePixels, 0);
}

TEST_F(SceneMedia, TourSoundFileTwiceGivesTwoOwnedHandles) {
    TestTour tour(smallScenes(1));
    attach(tour);
    package::TempFile* first = manager.tourSoundFile();
    package::TempFile* second = manager.tourSoundFile();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_STREQ(first->path(), tour.backgroundSoundPath().c_str());
    EXPECT_STREQ(second->path(), first->path());
    ASSERT_EQ(manager.soundFiles().count(), 2);
    EXPECT_EQ(manager.soundFiles().get(0)->key, package::SoundFileEntry::tourSoundKey);
    EXPECT_EQ(manager.soundFiles().get(1)->key, package::SoundFileEntry::tourSoundKey);
}

TEST_F(SceneMedia, SceneWithoutSoundIsRecordedOnceLikeAnyOther) {
    std::vector<SceneSource> scenes = smallScenes(2);
    scenes[1].sound.clear();
    TestTour tour(scenes);
    attach(tour);
    goTo(2);
    goTo(1);
    goTo(2);
    ASSERT_EQ(sounds.files.size(), 3u);
    // The package names an empty range for a scene without sound: an empty
    // file (or none, when nothing could be extracted), handed again from the list.
    if (sounds.files[0] != nullptr) {
        EXPECT_TRUE(readFile(sounds.paths[0]).empty());
    }
    EXPECT_EQ(sounds.files[2], sounds.files[0]);
    EXPECT_EQ(manager.soundFiles().count(), 2);
}

TEST_F(SceneMedia, ReducedModeLoadsImagesOnlyAndEveryTime) {
    manager.setMode(imaging::SceneMediaManager::Mode::reduced);
    TestTour tour(smallScenes(2));
    attach(tour);
    goTo(1);
    goTo(2);
    goTo(1);
    EXPECT_EQ(manager.decodes, 2);            // the image came from the cache
    EXPECT_FALSE(tour.scene(1).cancelled());  // but the scene was loaded, for nothing
    EXPECT_TRUE(sounds.files.empty());
    EXPECT_EQ(manager.soundFiles().count(), 0);
}

TEST(SceneMediaLifetime, DestroyingTheManagerDeletesEverySoundFileItHandedOut) {
    platform::ComApartment apartment;
    // A temporary folder of this test's own: other tests running beside it
    // make and delete their own files in the shared one.
    const test_support::TempFolder privateFolder;
    const test_support::ScopedTempDirectory privateTemp(privateFolder.path());
    const std::set<std::string> before = temporaryMediaFiles();
    std::vector<std::string> handedOut;
    {
        TestTour tour(smallScenes(3));
        ViewProbe view;
        SoundProbe sounds;
        {
            imaging::SceneMediaManager manager;
            manager.setTour(&tour.tour());
            manager.setImageListener(std::make_unique<ProbeImageListener>(view));
            manager.setSoundListener(std::make_unique<ProbeSoundListener>(sounds));
            handedOut.push_back(manager.tourSoundFile()->path());
            for (std::int32_t position : {1, 2, 3, 1}) {
                manager.cancelAll();
                manager.showScene(position);
                ASSERT_TRUE(waitForInstallation(manager));
            }
            handedOut.insert(handedOut.end(), sounds.paths.begin(), sounds.paths.end());
            for (const std::string& path : handedOut) {
                EXPECT_TRUE(fileExists(path)) << path;
            }
            EXPECT_NE(temporaryMediaFiles(), before);
        }
        for (const std::string& path : handedOut) {
            EXPECT_FALSE(fileExists(path)) << path;
        }
        EXPECT_EQ(temporaryMediaFiles(), before);
    }
    EXPECT_EQ(handedOut.size(), 5u);
}

// --- The image on screen and images the cache did not take --------------

std::shared_ptr<imaging::DibImage> decodePicture(imaging::SceneMediaManager& manager,
                                                 const std::string& file, std::int32_t id,
                                                 std::size_t size = 0) {
    const auto bytes = readFile(picturePath(file));
    const auto length = static_cast<std::int32_t>(std::max(size, bytes.size()));
    return manager.loadImageFromGlobal(makeBlock(bytes, size), length, id);
}

void deliverPicture(imaging::SceneMediaManager& manager, imaging::SceneImageListener* listener,
                    const std::string& file, std::int32_t id, std::size_t size = 0) {
    const auto bytes = readFile(picturePath(file));
    const auto length = static_cast<std::int32_t>(std::max(size, bytes.size()));
    imaging::SceneImageCallback request(listener, &manager, id);
    request.deliver(
        std::make_unique<package::PayloadBuffer>(makeBlock(bytes, size).release(), length));
}

// Runs render ticks on this thread while a message box is open.
class RenderTicks {
  public:
    explicit RenderTicks(ViewProbe& probe) {
        current = &probe;
        ticks = 0;
        timer_ = SetTimer(nullptr, 0, 10, tick);
    }
    ~RenderTicks() {
        KillTimer(nullptr, timer_);
        current = nullptr;
    }
    RenderTicks(const RenderTicks&) = delete;
    RenderTicks& operator=(const RenderTicks&) = delete;

    static inline ViewProbe* current = nullptr;
    static inline int ticks = 0;

  private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        if (current != nullptr) {
            current->read();
            ++ticks;
        }
    }
    UINT_PTR timer_;
};

TEST_F(SceneMedia, ShownImageSurvivesALargePayloadThatEmptiesTheCacheDuringAPrompt) {
    auto listenerOwned = std::make_unique<ProbeImageListener>(view);
    imaging::SceneImageListener* listener = listenerOwned.get();
    manager.setImageListener(std::move(listenerOwned));
    deliverPicture(manager, listener, "corner-24bit.bmp", 1);
    ASSERT_EQ(manager.imageCache().count(), 1);
    const imaging::DibImage* first = view.shown;
    const HBITMAP firstBitmap = first->bitmap();

    // A corrupt payload of 307200 bytes: the cache is emptied, then the decode
    // prompt runs render ticks until it is answered.
    {
        RenderTicks ticks(view);
        MessageBoxWatcher answerer(decodeCaption, IDYES, std::chrono::milliseconds(300));
        deliverPicture(manager, listener, "not-a-picture.jpg", 2, 307200);
        EXPECT_EQ(answerer.answered(), 1);
        EXPECT_GT(RenderTicks::ticks, 3);
    }
    EXPECT_EQ(manager.imageCache().count(), 0);
    EXPECT_EQ(view.stalePixels, 0);  // the ticks read live pixels
    ASSERT_EQ(view.deliveries, 2);
    ASSERT_NE(view.shown, nullptr);
    EXPECT_TRUE(view.shown->isNull());
    // Now that the view has its successor, the first image is gone (freed
    // on the manager's release thread).
    manager.waitForReleases();
    EXPECT_FALSE(isBitmap(firstBitmap));
}

TEST_F(SceneMedia, ShownImageSurvivesEvictionUntilItsSuccessorIsHandedOver) {
    auto listenerOwned = std::make_unique<ProbeImageListener>(view);
    imaging::SceneImageListener* listener = listenerOwned.get();
    manager.setImageListener(std::move(listenerOwned));
    TestTour tour(smallScenes(1));
    for (std::int32_t id = 1; id <= 4; ++id) {
        decodePicture(manager, "corner.gif", id);
    }
    // Show the oldest entry from the cache, then decode a fifth image: the
    // cache drops the one on screen before the view has the new one.
    manager.handOverImage(listener, manager.imageCache().at(0));
    const HBITMAP shownBitmap = view.shownBitmap;
    manager.beforeDecode = [&] { view.read(); };
    deliverPicture(manager, listener, "corner.gif", 5);
    EXPECT_EQ(view.stalePixels, 0);
    EXPECT_EQ(manager.imageCache().at(0)->id(), 2);
    EXPECT_EQ(view.deliveredIds.back(), 5);
    // Freed once replaced, on the manager's release thread.
    EXPECT_TRUE(pumpUntil([&] { return !isBitmap(shownBitmap); }, std::chrono::seconds(20)));
}

TEST_F(SceneMedia, ImagesTheCacheDidNotTakeAreFreedOnceReplaced) {
    auto listenerOwned = std::make_unique<ProbeImageListener>(view);
    imaging::SceneImageListener* listener = listenerOwned.get();
    manager.setImageListener(std::move(listenerOwned));
    deliverPicture(manager, listener, "corner.gif", 7);
    const HBITMAP cachedBitmap = view.shown->bitmap();
    // The same id again: decoded, not taken by the cache, handed to the view.
    deliverPicture(manager, listener, "corner.gif", 7);
    ASSERT_EQ(manager.imageCache().count(), 1);
    const imaging::DibImage* duplicate = view.shown;
    EXPECT_NE(duplicate, manager.imageCache().at(0).get());
    const HBITMAP duplicateBitmap = duplicate->bitmap();
    EXPECT_TRUE(isBitmap(duplicateBitmap));

    // A scene whose payload is missing: the null image.
    imaging::SceneImageCallback missing(listener, &manager, 8);
    missing.deliver(nullptr);
    EXPECT_TRUE(view.shown->isNull());
    EXPECT_EQ(view.deliveredIds.back(), imaging::DibImage::nullId);
    // The rejected duplicate is freed (on the release thread).
    EXPECT_TRUE(pumpUntil([&] { return !isBitmap(duplicateBitmap); }, std::chrono::seconds(20)));
    EXPECT_TRUE(isBitmap(cachedBitmap));  // the cached one stays

    manager.showPictureFile(picturePath("corner.gif").c_str());
    EXPECT_EQ(manager.shownImage(), view.shown);  // the null image went with its successor
    EXPECT_EQ(view.stalePixels, 0);
}

TEST_F(SceneMedia, ShowingAnotherSceneDuringAPromptDropsTheStaleDelivery) {
    std::vector<SceneSource> scenes = smallScenes(2);
    scenes[0].image = picturePath("truncated.jpg");
    TestTour tour(scenes);
    attach(tour);
    // While the prompt for scene 1's broken picture is open, a timer moves the
    // view on to scene 2, as the automatic tour does from its ticks.
    static SceneMedia* fixture = nullptr;
    fixture = this;
    SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
        if (FindWindowA(dialogClassName, decodeCaption) == nullptr) {
            return;  // the prompt is not open yet
        }
        KillTimer(nullptr, id);
        fixture->goTo(2);
    });
    {
        MessageBoxWatcher answerer(decodeCaption, IDYES, std::chrono::milliseconds(400));
        goTo(1);
        EXPECT_EQ(answerer.answered(), 1);
    }
    // Scene 2 arrived during the prompt; scene 1's late null image did not
    // replace it, and scene 1's sound (extracted with its image) was never
    // played.
    EXPECT_EQ(view.deliveredIds, (std::vector<std::int32_t>{tour.scene(2).id()}));
    EXPECT_EQ(view.shown, manager.imageCache().at(0).get());
    ASSERT_EQ(sounds.files.size(), 1u);
    ASSERT_NE(manager.soundFiles().find(2), nullptr);
    EXPECT_EQ(sounds.files[0], manager.soundFiles().find(2)->file.get());
    goTo(2);  // the replaced request is freed now that its delivery is over
    EXPECT_EQ(view.deliveries, 2);
}

TEST_F(SceneMedia, OutOfMemoryAtTheSceneImageCallbackEndsTheProcess) {
    EXPECT_EXIT(
        {
            MessageBoxWatcher answerer("Out of Memory", IDOK);
            manager.beforeDecode = [] {
                throw imaging::OutOfMemoryException(imaging::oom::bitmap);
            };
            deliverPicture(manager, nullptr, "corner.gif", 1);
        },
        ::testing::ExitedWithCode(1), "");
}

TEST_F(SceneMedia, DecodeExceptionAsksAndYesHandsOverNoImage) {
    auto listenerOwned = std::make_unique<ProbeImageListener>(view);
    imaging::SceneImageListener* listener = listenerOwned.get();
    manager.setImageListener(std::move(listenerOwned));
    manager.beforeDecode = [] { throw imaging::DecodeException(); };
    MessageBoxWatcher answerer(decodeCaption, IDYES);
    deliverPicture(manager, listener, "corner.gif", 1);
    EXPECT_EQ(answerer.answered(), 1);
    ASSERT_EQ(view.deliveries, 1);
    EXPECT_EQ(view.shown, nullptr);
}

TEST_F(SceneMedia, DecodeExceptionAndNoEndsTheProcess) {
    EXPECT_EXIT(
        {
            MessageBoxWatcher answerer(decodeCaption, IDNO);
            manager.beforeDecode = [] { throw imaging::DecodeException(); };
            deliverPicture(manager, nullptr, "corner.gif", 1);
        },
        ::testing::ExitedWithCode(1), "");
}

}  // namespace

namespace {

using namespace test_support;

// --- Decoding on a worker ---------------------------------------------------

// What the listeners heard, in order: "image N" (the id) and "sound".
class OrderedImageListener : public imaging::SceneImageListener {
  public:
    explicit OrderedImageListener(std::vector<std::string>& heard) : heard_(heard) {}
    void imageReady(const imaging::DibImage* image) override {
        heard_.push_back("image " + std::to_string(image != nullptr ? image->id() : 0));
        shown = image;
        widths.push_back(image != nullptr && !image->isNull() ? image->header()->biWidth : 0);
    }
    bool showsPreviews() const override { return previews; }
    void previewReady(const imaging::DibImage* image) override {
        heard_.push_back("preview " + std::to_string(image->id()));
        shown = image;
        widths.push_back(image->header()->biWidth);
    }
    const imaging::DibImage* shown = nullptr;
    bool previews = false;
    std::vector<std::int32_t> widths;

  private:
    std::vector<std::string>& heard_;
};

class OrderedSoundListener : public imaging::SceneSoundListener {
  public:
    explicit OrderedSoundListener(std::vector<std::string>& heard) : heard_(heard) {}
    void soundReady(package::TempFile*) override { heard_.push_back("sound"); }

  private:
    std::vector<std::string>& heard_;
};

using test_support::FullDecodeGate;

class SceneMediaOnWorkers : public ::testing::Test {
  protected:
    void SetUp() override { useTestLanguageModule(); }
    void attach(TestTour& tour) {
        manager.setTour(&tour.tour());
        auto images = std::make_unique<OrderedImageListener>(heard);
        images_ = images.get();
        manager.setImageListener(std::move(images));
        manager.setSoundListener(std::make_unique<OrderedSoundListener>(heard));
    }
    void ask(std::int32_t position) {
        manager.cancelAll();
        manager.showScene(position);
    }
    // Scene 1 on show, then scene 2 decoded ahead and held beside the cache.
    bool showFirstAndPrefetchSecond(TestTour& tour) {
        ask(1);
        if (!waitForInstallation(manager)) {
            return false;
        }
        manager.prefetch(2);
        return pumpUntil([&] { return manager.prefetchedId() == tour.scene(2).id(); },
                         std::chrono::seconds(20));
    }
    // The listener takes previews, which come after 10 ms of a full decode.
    void takePreviews() {
        images().previews = true;
        manager.setPreviewDelay(10);
    }
    std::string image(TestTour& tour, std::int32_t position) {
        return "image " + std::to_string(tour.scene(position).id());
    }
    const imaging::DibImage* shown() const { return images_->shown; }
    OrderedImageListener& images() { return *images_; }

    platform::ComApartment apartment;
    std::vector<std::string> heard;
    CountingManager manager;

  private:
    OrderedImageListener* images_ = nullptr;
};

TEST_F(SceneMediaOnWorkers, TheOldSceneStaysUntilTheNewImageArrivesWithItsSound) {
    std::vector<SceneSource> scenes = smallScenes(2);
    scenes[1].image = picturePath("scene-large-1.jpg");
    TestTour tour(scenes);
    attach(tour);
    ask(1);
    EXPECT_TRUE(heard.empty());  // decoding: nothing has changed yet
    EXPECT_TRUE(manager.imageDue());
    ASSERT_TRUE(waitForInstallation(manager));
    EXPECT_EQ(heard, (std::vector<std::string>{image(tour, 1), "sound"}));

    // Revisited after the large payload emptied the cache: the sound comes
    // from the list and was always heard before the image; it still is, with
    // the image.
    ask(2);
    ASSERT_TRUE(waitForInstallation(manager));
    heard.clear();
    ask(1);
    EXPECT_TRUE(heard.empty());
    ASSERT_TRUE(waitForInstallation(manager));
    EXPECT_EQ(heard, (std::vector<std::string>{"sound", image(tour, 1)}));
}

TEST_F(SceneMediaOnWorkers, AnOvertakenDecodeIsNeverShownNorKept) {
    std::vector<SceneSource> scenes = smallScenes(3);
    scenes[0].image = picturePath("scene-large-1.jpg");
    TestTour tour(scenes);
    attach(tour);
    ask(1);  // decodes on a worker; the window's thread goes on at once
    ask(2);
    ASSERT_TRUE(waitForInstallation(manager));
    ASSERT_TRUE(
        pumpUntil([&] { return manager.sceneDecodes().running() == 0; }, std::chrono::seconds(20)));
    pumpMessages(50);  // whatever the first worker posted has been handled
    EXPECT_EQ(heard, (std::vector<std::string>{image(tour, 2), "sound"}));
    EXPECT_EQ(shown()->id(), tour.scene(2).id());
    EXPECT_EQ(manager.imageCache().find(tour.scene(1).id()), nullptr);
    EXPECT_EQ(manager.prefetchedId(), imaging::DibImage::nullId);
    // Scene 1's sound was extracted with its image, but never played.
    EXPECT_NE(manager.soundFiles().find(1), nullptr);
}

TEST_F(SceneMediaOnWorkers, APrefetchedSceneIsShownAtOnceWithoutAnotherDecode) {
    TestTour tour(smallScenes(3));
    attach(tour);
    ASSERT_TRUE(showFirstAndPrefetchSecond(tour));
    EXPECT_EQ(manager.imageCache().find(tour.scene(2).id()), nullptr);  // beside the cache
    heard.clear();
    ask(2);
    // Handed over inside showScene, its sound extracted and heard after it.
    EXPECT_EQ(heard, (std::vector<std::string>{image(tour, 2), "sound"}));
    EXPECT_FALSE(manager.imageDue());
    EXPECT_EQ(manager.decodes, 1);
    EXPECT_NE(manager.imageCache().find(tour.scene(2).id()), nullptr);
    EXPECT_EQ(manager.prefetchedId(), imaging::DibImage::nullId);

    // Asked for while its prefetch still runs: that decode is the scene's.
    manager.prefetch(3);
    ask(3);
    ASSERT_TRUE(waitForInstallation(manager));
    EXPECT_EQ(heard.back(), "sound");
    EXPECT_EQ(shown()->id(), tour.scene(3).id());
    EXPECT_EQ(manager.decodes, 1);
}

TEST_F(SceneMediaOnWorkers, GoingElsewhereDropsThePrefetchedImage) {
    TestTour tour(smallScenes(3));
    attach(tour);
    ASSERT_TRUE(showFirstAndPrefetchSecond(tour));
    ask(3);
    EXPECT_EQ(manager.prefetchedId(), imaging::DibImage::nullId);
    ASSERT_TRUE(waitForInstallation(manager));
    EXPECT_EQ(shown()->id(), tour.scene(3).id());
}

TEST_F(SceneMediaOnWorkers, ABrokenPictureAsksOnTheWindowsThreadAndYesShowsTheNullImage) {
    std::vector<SceneSource> scenes = smallScenes(2);
    scenes[1].image = picturePath("truncated.jpg");
    TestTour tour(scenes);
    attach(tour);
    ask(1);
    ASSERT_TRUE(waitForInstallation(manager));
    heard.clear();
    MessageBoxWatcher answerer(decodeCaption, IDYES);
    ask(2);
    EXPECT_EQ(answerer.answered(), 0);  // no box comes from the worker
    ASSERT_TRUE(waitForInstallation(manager));
    EXPECT_EQ(answerer.answered(), 1);
    EXPECT_EQ(answerer.lastText(), decodeText);
    ASSERT_NE(shown(), nullptr);
    EXPECT_TRUE(shown()->isNull());
    EXPECT_EQ(heard, (std::vector<std::string>{"image " + std::to_string(imaging::DibImage::nullId),
                                               "sound"}));
}

TEST_F(SceneMediaOnWorkers, ABrokenPictureAndNoEndsTheProcess) {
    std::vector<SceneSource> scenes = smallScenes(1);
    scenes[0].image = picturePath("truncated.jpg");
    TestTour tour(scenes);
    attach(tour);
    EXPECT_EXIT(
        {
            MessageBoxWatcher answerer(decodeCaption, IDNO);
            ask(1);
            waitForInstallation(manager);
        },
        ::testing::ExitedWithCode(1), "");
}

// A JPEG whose headers read but whose coded data ends early: the player's own
// decoder refuses it as the platform's does, so the prompt comes, and only
// once the scene is shown, never from its prefetch.
TEST_F(SceneMediaOnWorkers, ACutShortJpegAsksWhenShownAndNeverWhenDecodedAhead) {
    std::vector<SceneSource> scenes = smallScenes(2);
    scenes[1].image = picturePath("cut-short.jpg");
    TestTour tour(scenes);
    attach(tour);
    MessageBoxWatcher answerer(decodeCaption, IDYES);
    ask(1);
    ASSERT_TRUE(waitForInstallation(manager));
    manager.prefetch(2);
    ASSERT_TRUE(
        pumpUntil([&] { return manager.sceneDecodes().running() == 0; }, std::chrono::seconds(20)));
    pumpMessages(50);  // the prefetch's notice has been handled
    EXPECT_EQ(answerer.answered(), 0);
    EXPECT_EQ(manager.prefetchedId(),
              imaging::DibImage::nullId);  // a picture that owes a box is not kept
    heard.clear();
    ask(2);
    ASSERT_TRUE(waitForInstallation(manager));
    EXPECT_EQ(answerer.answered(), 1);
    EXPECT_EQ(answerer.lastText(), decodeText);
    ASSERT_NE(shown(), nullptr);
    EXPECT_TRUE(shown()->isNull());
}

TEST_F(SceneMediaOnWorkers, APrefetchOfALargePictureLeavesTheCacheAsItIs) {
    std::vector<SceneSource> scenes = smallScenes(3);
    scenes[2].image = picturePath("scene-large-1.jpg");  // over 307200 bytes
    TestTour tour(scenes);
    attach(tour);
    ask(1);
    ASSERT_TRUE(waitForInstallation(manager));
    ask(2);
    ASSERT_TRUE(waitForInstallation(manager));
    ASSERT_EQ(manager.imageCache().count(), 2);
    manager.prefetch(3);
    ASSERT_TRUE(pumpUntil([&] { return manager.prefetchedId() == tour.scene(3).id(); },
                          std::chrono::seconds(20)));
    EXPECT_NE(manager.imageCache().find(tour.scene(1).id()), nullptr);
    EXPECT_NE(manager.imageCache().find(tour.scene(2).id()), nullptr);
}

// Holds every full decode on its worker until released.
class HoldEveryFullDecode {
  public:
    HoldEveryFullDecode() : released_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        imaging::setDecodeObserver(&HoldEveryFullDecode::observe, this);
    }
    ~HoldEveryFullDecode() { release(); }
    void release() {
        imaging::setDecodeObserver(nullptr, nullptr);
        SetEvent(released_.get());
    }

  private:
    static void observe(imaging::SceneDecode::Kind kind, std::int32_t, void* context) {
        if (kind == imaging::SceneDecode::Kind::full) {
            WaitForSingleObject(static_cast<HoldEveryFullDecode*>(context)->released_.get(), 20000);
        }
    }
    platform::UniqueHandle released_;
};

TEST_F(SceneMediaOnWorkers, ADecodeQueuedBehindWorkersWhoseNoticesWereLostStartsWhenLookedFor) {
    TestTour tour(smallScenes(3));
    attach(tour);
    {
        HoldEveryFullDecode hold;
        ask(1);
        manager.prefetch(2);
        ASSERT_EQ(manager.sceneDecodes().running(), imaging::SceneDecodes::maxWorkers);
        ask(3);  // both workers are overtaken; scene 3 waits for one of them
        hold.release();
        // Both notices are taken from the queue unhandled, as a modal loop
        // that ends while it fetches a message drops it.
        int noticesTaken = 0;
        MSG notice{};
        for (int wait = 0; wait < 4000 && noticesTaken < 2; ++wait) {
            while (noticesTaken < 2 &&
                   PeekMessageA(&notice, manager.sceneDecodes().noticeWindow(),
                                imaging::SceneDecodes::doneMessage,
                                imaging::SceneDecodes::doneMessage, PM_REMOVE)) {
                ++noticesTaken;
            }
            Sleep(5);
        }
        ASSERT_EQ(noticesTaken, 2);
    }
    EXPECT_TRUE(manager.imageDue());
    manager.collectFinishedDecodes();  // what the view's render tick does
    ASSERT_TRUE(waitForInstallation(manager));
    EXPECT_EQ(heard, (std::vector<std::string>{image(tour, 3), "sound"}));
}

TEST_F(SceneMediaOnWorkers, ASlowSceneShowsItsPreviewThenItsFullImageAndItsSoundOnce) {
    std::vector<SceneSource> scenes = smallScenes(2);
    scenes[1].image = picturePath("scene-wide.jpg");
    TestTour tour(scenes, TestTour::Previews::none);
    attach(tour);
    ask(1);
    ASSERT_TRUE(waitForInstallation(manager));
    EXPECT_EQ(heard, (std::vector<std::string>{image(tour, 1), "sound"}));
    heard.clear();
    images().widths.clear();

    // The order is the gate's, not the machine's: the full decode waits
    // until the preview is on screen.
    takePreviews();
    FullDecodeGate::instance().hold(tour.scene(2).id());
    ask(2);
    const bool previewed = pumpUntil([&] { return !heard.empty(); }, std::chrono::seconds(20));
    FullDecodeGate::instance().release();
    ASSERT_TRUE(previewed);
    ASSERT_TRUE(waitForInstallation(manager));
    const std::string id = std::to_string(tour.scene(2).id());
    EXPECT_EQ(heard, (std::vector<std::string>{"preview " + id, "sound", "image " + id}));
    EXPECT_EQ(images().widths, (std::vector<std::int32_t>{750, 6000}));
    EXPECT_EQ(manager.shownImage(), shown());
    // Only the full image is cached.
    ASSERT_NE(manager.imageCache().find(tour.scene(2).id()), nullptr);
    EXPECT_EQ(manager.imageCache().find(tour.scene(2).id())->header()->biWidth, 6000);
}

// Lets a scene's full decode start only once its preview has started, and
// holds the preview back until released: the full picture surely comes first.
class PreviewAfterFullGate {
  public:
    PreviewAfterFullGate()
        : previewStarted_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          previewReleased_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        imaging::setDecodeObserver(&PreviewAfterFullGate::observe, this);
    }
    ~PreviewAfterFullGate() {
        release();
        imaging::setDecodeObserver(nullptr, nullptr);
    }
    void release() { SetEvent(previewReleased_.get()); }

  private:
    static void observe(imaging::SceneDecode::Kind kind, std::int32_t, void* context) {
        auto* gate = static_cast<PreviewAfterFullGate*>(context);
        if (kind == imaging::SceneDecode::Kind::full) {
            WaitForSingleObject(gate->previewStarted_.get(), 20000);
        } else {
            SetEvent(gate->previewStarted_.get());
            WaitForSingleObject(gate->previewReleased_.get(), 20000);
        }
    }
    platform::UniqueHandle previewStarted_;
    platform::UniqueHandle previewReleased_;
};

TEST_F(SceneMediaOnWorkers, APreviewThatEndsAfterTheFullImageIsNeverShown) {
    std::vector<SceneSource> scenes = smallScenes(1);
    scenes[0].image = picturePath("scene-wide.jpg");
    TestTour tour(scenes, TestTour::Previews::none);
    attach(tour);
    takePreviews();
    {
        PreviewAfterFullGate gate;
        ask(1);
        ASSERT_TRUE(waitForInstallation(manager));
        gate.release();
        ASSERT_TRUE(pumpUntil([&] { return manager.sceneDecodes().running() == 0; },
                              std::chrono::seconds(20)));
        pumpMessages(50);  // whatever the preview's worker posted has been handled
    }
    EXPECT_EQ(heard, (std::vector<std::string>{image(tour, 1), "sound"}));
    EXPECT_EQ(images().widths, std::vector<std::int32_t>{6000});
    EXPECT_EQ(manager.shownImage(), shown());
}

// A tour built by tourpack stores a small preview of every scene: it is shown
// as the scene is asked for, before its picture is even extracted, and no
// eighth-size decode runs beside the full one.
TEST_F(SceneMediaOnWorkers, AStoredPreviewShowsAtOnceAndGivesWayOnlyToItsOwnScenesPicture) {
    std::vector<SceneSource> scenes = smallScenes(3);
    scenes[1].image = picturePath("scene-wide.jpg");
    scenes[2].image = picturePath("scene-wide.jpg");
    TestTour tour(scenes);
    attach(tour);
    ask(1);
    ASSERT_TRUE(waitForInstallation(manager));
    heard.clear();
    images().widths.clear();
    takePreviews();
    const std::string second = std::to_string(tour.scene(2).id());
    const std::string third = std::to_string(tour.scene(3).id());

    FullDecodeGate::instance().hold(tour.scene(2).id());
    ask(2);
    EXPECT_EQ(heard, (std::vector<std::string>{"preview " + second, "sound"}));
    EXPECT_EQ(manager.sceneDecodes().previewStage(), imaging::SceneDecodes::Stage::none);
    // Overtaken while its picture decodes: the next scene's first look
    // replaces it, and its picture is never shown nor kept.
    ask(3);
    FullDecodeGate::instance().release();
    ASSERT_TRUE(waitForInstallation(manager));
    ASSERT_TRUE(pumpUntil([&] { return manager.sceneDecodes().idle(); }, std::chrono::seconds(20)));
    pumpMessages(50);  // whatever the overtaken worker posted has been handled

    EXPECT_EQ(heard, (std::vector<std::string>{"preview " + second, "sound", "preview " + third,
                                               "sound", "image " + third}));
    ASSERT_EQ(images().widths.size(), 3u);
    EXPECT_EQ(images().widths[0], images().widths[1]);
    EXPECT_LE(images().widths[0], 1024);
    EXPECT_EQ(images().widths[2], 6000);
    EXPECT_EQ(manager.shownImage(), shown());
    EXPECT_EQ(manager.imageCache().find(tour.scene(2).id()), nullptr);
}

// Stored preview bytes that are no JPEG (a damaged or foreign tour) show
// nothing and ask nothing: the scene's picture comes as it would have.
TEST_F(SceneMediaOnWorkers, AStoredPreviewThatDoesNotDecodeShowsNothingBeforeThePicture) {
    std::vector<SceneSource> scenes = smallScenes(1);
    scenes[0].image = picturePath("scene-wide.jpg");
    TestTour tour(scenes);
    const std::optional<package::StoredPreview> stored = tour.tour().preview(1);
    ASSERT_TRUE(stored.has_value());
    tour.tour().setPreviews({package::StoredPreview{0, stored->length}});  // the file's start
    attach(tour);
    takePreviews();
    ask(1);
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(manager.sceneDecodes().previewStage(), imaging::SceneDecodes::Stage::none);
    ASSERT_TRUE(waitForInstallation(manager));
    EXPECT_EQ(heard, (std::vector<std::string>{image(tour, 1), "sound"}));
    EXPECT_EQ(images().widths, std::vector<std::int32_t>{6000});
}

TEST_F(SceneMediaOnWorkers, AFinishedDecodeWhoseNoticeWasLostIsInstalledWhenLookedFor) {
    TestTour tour(smallScenes(1));
    attach(tour);
    ask(1);
    // The worker's notice is taken from the queue unhandled, as a modal loop
    // that ends while it fetches the notice drops it.
    MSG notice{};
    const auto noticeTaken = [&] {
        return PeekMessageA(&notice, manager.sceneDecodes().noticeWindow(),
                            imaging::SceneDecodes::doneMessage, imaging::SceneDecodes::doneMessage,
                            PM_REMOVE) != FALSE;
    };
    for (int wait = 0; wait < 4000 && !noticeTaken(); ++wait) {
        Sleep(5);
    }
    ASSERT_EQ(notice.message, imaging::SceneDecodes::doneMessage);
    EXPECT_TRUE(manager.imageDue());
    EXPECT_TRUE(heard.empty());
    manager.collectFinishedDecodes();
    EXPECT_FALSE(manager.imageDue());
    EXPECT_EQ(heard, (std::vector<std::string>{image(tour, 1), "sound"}));
}

TEST_F(SceneMediaOnWorkers, AListenerWithoutPreviewsGetsTheFullImageAlone) {
    std::vector<SceneSource> scenes = smallScenes(1);
    scenes[0].image = picturePath("scene-wide.jpg");
    TestTour tour(scenes);
    attach(tour);
    manager.setPreviewDelay(10);
    ask(1);
    ASSERT_TRUE(waitForInstallation(manager));
    EXPECT_EQ(heard, (std::vector<std::string>{image(tour, 1), "sound"}));
    EXPECT_EQ(images().widths, std::vector<std::int32_t>{6000});
}

TEST_F(SceneMediaOnWorkers, ReleasingWhileAWorkerDecodesWaitsForItAndShowsNothing) {
    std::vector<SceneSource> scenes = smallScenes(1);
    scenes[0].image = picturePath("scene-large-2.jpg");
    TestTour tour(scenes);
    attach(tour);
    ask(1);
    manager.releaseAll();
    EXPECT_EQ(manager.sceneDecodes().running(), 0u);
    EXPECT_EQ(manager.sceneDecodes().noticeWindow(), nullptr);
    pumpMessages(50);
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(manager.soundFiles().count(), 0);  // scene 1's file is deleted
}

// Shows a picture file from inside its first imageReady, as a listener that
// reacts to a scene change by showing something else would.
class ReenteringListener : public imaging::SceneImageListener {
  public:
    ReenteringListener(imaging::SceneMediaManager& manager, ViewProbe& probe)
        : manager_(manager), probe_(probe) {}
    void imageReady(const imaging::DibImage* image) override {
        probe_.read();
        probe_.show(image);
        ++probe_.deliveries;
        if (probe_.deliveries == 1) {
            manager_.showPictureFile(picturePath("corner.gif").c_str());
        }
    }

  private:
    imaging::SceneMediaManager& manager_;
    ViewProbe& probe_;
};

TEST(SceneMediaHandOver, AnImageHandedOverFromInsideImageReadyStaysHeld) {
    platform::ComApartment apartment;
    useTestLanguageModule();
    ViewProbe view;
    imaging::SceneMediaManager manager;
    manager.setImageListener(std::make_unique<ReenteringListener>(manager, view));
    manager.showPictureFile(picturePath("corner-24bit.bmp").c_str());
    ASSERT_EQ(view.deliveries, 2);
    EXPECT_EQ(manager.shownImage(), view.shown);  // the inner one, on screen
    // Even once the cache has let it go, the view's image stays alive.
    manager.imageCache().clear();
    view.read();
    EXPECT_EQ(view.stalePixels, 0);
    EXPECT_TRUE(isBitmap(view.shownBitmap));
}

}  // namespace

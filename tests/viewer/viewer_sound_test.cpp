// The viewer's two sound players with real playback, heard through the file
// sink that with-sound-sink.sh gives each test process.
#include <gtest/gtest.h>

#include "sound_sink.h"
#include "viewer_fixture.h"

namespace {

using namespace test_support;
using std::chrono::milliseconds;

class ViewerSoundTest : public ViewerTest {
  protected:
    void SetUp() override {
        sink_ = SoundSink::fromEnvironment();
        ASSERT_TRUE(sink_) << "run through tests/sound/with-sound-sink.sh";
    }

    // Sound heard during `time`, after a moment for what was playing to
    // drain: a check that nothing is heard must listen for a while.
    double audibleSecondsDuring(milliseconds time) {
        pumpFor(milliseconds(700));
        const std::size_t mark = sink_->sampleCount();
        pumpFor(time);
        return sink_->levelSince(mark).audibleSeconds;
    }
    // Sound heard from now until more than `enough` seconds of it have been
    // (half a minute at most: a graph starts late on a busy machine).
    double audibleSecondsOnceMoreThan(double enough) {
        const std::size_t mark = sink_->sampleCount();
        const auto heard = [&] { return sink_->levelSince(mark).audibleSeconds; };
        pumpUntil([&] { return heard() > enough; }, std::chrono::seconds(30));
        return heard();
    }

    void writeTone(const char* name, double seconds) {
        test_support::writeFile(folder_.path() / "source" / name,
                                test_support::toneSound(seconds, 440));
    }

    std::optional<SoundSink> sink_;
};

TEST_F(ViewerSoundTest, SoundOffStartsBothPlayersMutedAndOneToggleMakesBothAudible) {
    makeTour(2, [&](nlohmann::json& m) {
        m["soundOn"] = false;
        writeTone("background.wav", 3);
        writeTone("scene1.wav", 6);
    });
    openViewer();
    EXPECT_TRUE(viewer_->tourSound().isMuted());
    EXPECT_TRUE(viewer_->sceneSound().isMuted());
    EXPECT_LT(audibleSecondsDuring(milliseconds(1500)), 0.05);

    viewer_->toggleMute();
    EXPECT_FALSE(viewer_->tourSound().isMuted());
    EXPECT_FALSE(viewer_->sceneSound().isMuted());
    EXPECT_GT(audibleSecondsOnceMoreThan(0.3), 0.3);
}

TEST_F(ViewerSoundTest, ASceneSoundStopsWhenTheSceneChanges) {
    makeTour(2, [&](nlohmann::json& m) {
        m["soundOn"] = true;
        m.erase("backgroundSound");
        m["scenes"][1].erase("sound");
        writeTone("scene1.wav", 8);
    });
    openViewer();
    EXPECT_FALSE(viewer_->tourSound().isActive());
    EXPECT_TRUE(viewer_->sceneSound().isActive());
    EXPECT_GT(audibleSecondsOnceMoreThan(0.3), 0.3);

    viewer_->nextScene();  // scene 2 has no sound
    waitForScene();
    EXPECT_EQ(viewer_->currentSceneNumber(), 2);
    EXPECT_LT(audibleSecondsDuring(milliseconds(1200)), 0.05);
}

}  // namespace

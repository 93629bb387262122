// The sound player with real playback through the platform's media graph,
// checked by what reaches the recording device (see sound_sink.h).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "platform/com_apartment.h"
#include "sound/sound_player.h"
#include "sound_sink.h"
#include "message_box_watcher.h"
#include "sound_test_support.h"
#include "test_window.h"

namespace {

using test_support::MessageBoxWatcher;
using test_support::pumpMessages;
using test_support::SoundLevel;
using test_support::SoundSink;
using test_support::temporaryCopy;

// Samples reach the recording device a little after the graph plays them; a
// check of what follows a change waits this long before taking its mark.
constexpr DWORD deviceLagMs = 500;
// How long a check that something is not heard listens for it.
constexpr DWORD silenceMs = 1000;
// The sink holds what the device was fed, not a timeline: it is fed faster
// than it plays and holds less sound than was played (two thirds of a tone
// here). So the end of a sound that sends no notices is waited out from the
// moment a part of it has been heard.
// A wait for what a test checks ends as soon as it holds; this bound, met
// by a loaded 2-core machine, is only spent when the check fails.
constexpr auto stateLimit = std::chrono::seconds(30);

class SoundPlayerTest : public testing::Test {
  protected:
    void SetUp() override {
        sink_ = SoundSink::fromEnvironment();
        ASSERT_TRUE(sink_.has_value()) << "run through tests/sound/with-sound-sink.sh";
    }

    std::size_t mark() const { return sink_->sampleCount(); }
    SoundLevel levelSince(std::size_t begin, std::optional<std::size_t> end = {}) const {
        return sink_->levelSince(begin, end);
    }
    double heardSince(std::size_t begin) const { return levelSince(begin).audibleSeconds; }
    // Pumps until `holds`, which may read the sink: it is asked every 20 ms
    // at most, for each asking reads the file back.
    static bool pumpUntil(const std::function<bool()>& holds) {
        using Clock = std::chrono::steady_clock;
        auto next = Clock::now();
        return test_support::pumpUntil(
                   [&] {
                       if (Clock::now() < next) {
                           return false;
                       }
                       next = Clock::now() + std::chrono::milliseconds(20);
                       return holds();
                   },
                   stateLimit) ||
               holds();
    }
    // Pumps until more than `seconds` of sound have been heard since `begin`.
    // On a busy machine a graph starts late, and a looping sound plays on late
    // after each end too, so no fixed window is sure to hold that much.
    bool pumpUntilHeard(std::size_t begin, double seconds) const {
        return pumpUntil([&] { return heardSince(begin) > seconds; });
    }
    long volumeOf(const SoundPlayer& player) const {
        long volume = 12345;
        EXPECT_TRUE(player.readVolume(volume));
        return volume;
    }

    platform::ComApartment apartment_;
    std::optional<SoundSink> sink_;
};

TEST_F(SoundPlayerTest, TourSoundStartsAgainAfterItsEnd) {
    test_support::NoticeWindow window;
    auto file = temporaryCopy("tone_2s.wav");
    ASSERT_NE(file, nullptr);
    SoundPlayer player;
    window.setPlayer(&player);
    player.SetFile(file.get());
    player.Play(window.handle());
    EXPECT_TRUE(player.isActive());

    pumpUntilHeard(0, 0.3);
    EXPECT_GT(levelSince(0).audibleSeconds, 0.3);
    // The first play ends at 2 s with a notice (the start brought one before
    // anything was heard); what is heard from then on is the sound played
    // again.
    const int whilePlaying = window.notices();
    pumpUntil([&] { return window.notices() > whilePlaying; });
    pumpMessages(deviceLagMs);  // the first play's last samples on their way
    const std::size_t secondPlay = mark();
    pumpUntilHeard(secondPlay, 0.5);
    EXPECT_GT(levelSince(secondPlay).audibleSeconds, 0.5);
    EXPECT_GT(window.notices(), 0);
    EXPECT_TRUE(player.isActive());
}

// A tour sound of a few milliseconds is started again hundreds of times in a
// row, each time just as the graph has delivered its end, where a restart
// that stopped the graph could hang; each start is as a freshly built graph
// would be: at full volume, or silent while muted.
TEST_F(SoundPlayerTest, VeryShortTourSoundKeepsLoopingManyTimes) {
    // Each end brings at least one notice; a loop that stopped brings none.
    constexpr int manyNotices = 200;
    const auto limit = std::chrono::minutes(1);
    test_support::NoticeWindow window;
    auto file = temporaryCopy("tone_10ms.wav");
    ASSERT_NE(file, nullptr);
    SoundPlayer player;
    window.setPlayer(&player);
    player.SetFile(file.get());
    player.Play(window.handle());
    ASSERT_TRUE(player.isActive());
    player.VolumeDown();
    ASSERT_EQ(volumeOf(player), -SoundPlayer::volumeStep);

    ASSERT_TRUE(test_support::pumpUntil([&] { return window.notices() >= manyNotices; }, limit))
        << "notices " << window.notices();
    EXPECT_TRUE(player.isActive());
    EXPECT_EQ(volumeOf(player), SoundPlayer::fullVolume);

    player.ToggleMute();
    const int whenMuted = window.notices();
    ASSERT_TRUE(test_support::pumpUntil(
        [&] { return window.notices() >= whenMuted + manyNotices / 4; }, limit))
        << "notices " << window.notices();
    EXPECT_TRUE(player.isActive());
    EXPECT_TRUE(player.isMuted());
    EXPECT_EQ(volumeOf(player), SoundPlayer::silentVolume);
    player.Close();
}

TEST_F(SoundPlayerTest, MutedTourSoundStaysSilentAcrossItsRestart) {
    test_support::NoticeWindow window;
    auto file = temporaryCopy("tone_2s.wav");
    SoundPlayer player;
    window.setPlayer(&player);
    player.SetFile(file.get());
    player.Play(window.handle());
    pumpUntilHeard(0, 0.2);
    EXPECT_GT(levelSince(0).audibleSeconds, 0.2);

    player.ToggleMute();
    EXPECT_TRUE(player.isMuted());
    EXPECT_EQ(volumeOf(player), SoundPlayer::silentVolume);
    const int whilePlaying = window.notices();
    pumpMessages(deviceLagMs);  // the samples played before the mute on their way
    const std::size_t muted = mark();
    // The sound ends at 2 s, with a notice, and starts again, still muted.
    pumpUntil([&] { return window.notices() > whilePlaying; });
    pumpMessages(silenceMs);  // the new play, which a restart that forgot the mute lets be heard
    EXPECT_GT(window.notices(), 0);
    EXPECT_TRUE(player.isActive());
    EXPECT_TRUE(player.isMuted());
    EXPECT_EQ(volumeOf(player), SoundPlayer::silentVolume);
    EXPECT_GT(mark(), muted);  // the device went on receiving (silence)
    EXPECT_EQ(levelSince(muted).audibleSeconds, 0.0);
}

TEST_F(SoundPlayerTest, UnmutingRestoresTheVolumeItHad) {
    test_support::NoticeWindow window;
    auto file = temporaryCopy("tone_4s.wav");
    SoundPlayer player;
    window.setPlayer(&player);
    player.SetFile(file.get());
    player.Play(window.handle());
    for (int step = 0; step < 6; ++step) {
        player.VolumeDown();
    }
    ASSERT_EQ(volumeOf(player), -600);
    pumpUntilHeard(0, 0.4);
    const std::size_t beforeMute = mark();
    const SoundLevel lowered = levelSince(0, beforeMute);

    player.ToggleMute();
    // The samples played before the mute on their way, then the muted sound
    // for as long again.
    pumpMessages(deviceLagMs + 300);
    const SoundLevel whileMuted = levelSince(mark() - (mark() - beforeMute) / 2);
    player.ToggleMute();
    EXPECT_FALSE(player.isMuted());
    EXPECT_EQ(volumeOf(player), -600);
    // What was muted is silence and counts for nothing: the mark needs no wait.
    const std::size_t unmuted = mark();
    pumpUntilHeard(unmuted, 0.4);
    const SoundLevel restored = levelSince(unmuted);

    EXPECT_GT(lowered.audibleSeconds, 0.3);
    EXPECT_EQ(whileMuted.audibleSeconds, 0.0);
    EXPECT_GT(restored.audibleSeconds, 0.3);
    EXPECT_NEAR(restored.rms / lowered.rms, 1.0, 0.1)
        << "lowered " << lowered.rms << ", restored " << restored.rms;
}

TEST_F(SoundPlayerTest, VolumeStepsAreAskedForAndHeard) {
    auto file = temporaryCopy("tone_4s.wav");
    SoundPlayer player;
    player.SetFile(file.get());
    player.Play(nullptr);
    ASSERT_EQ(volumeOf(player), SoundPlayer::fullVolume);
    // At full volume the step up is asked for and refused by the graph.
    player.VolumeUp();
    EXPECT_EQ(volumeOf(player), SoundPlayer::fullVolume);
    EXPECT_TRUE(player.isActive());

    pumpUntilHeard(0, 0.4);
    const std::size_t full = mark();
    const SoundLevel fullLevel = levelSince(0, full);
    player.VolumeDown();
    EXPECT_EQ(volumeOf(player), -100);
    player.VolumeDown();
    EXPECT_EQ(volumeOf(player), -200);
    player.VolumeDown();
    EXPECT_EQ(volumeOf(player), -300);
    pumpMessages(deviceLagMs);  // the samples played at full volume on their way
    const std::size_t lowered = mark();
    pumpUntilHeard(lowered, 0.4);
    const SoundLevel loweredLevel = levelSince(lowered);

    ASSERT_GT(fullLevel.audibleSeconds, 0.3);
    ASSERT_GT(loweredLevel.audibleSeconds, 0.3);
    // -3 dB is 0.71 of the amplitude.
    EXPECT_NEAR(loweredLevel.rms / fullLevel.rms, 0.708, 0.07)
        << "full " << fullLevel.rms << ", lowered " << loweredLevel.rms;
}

TEST_F(SoundPlayerTest, SceneSoundPlaysOnce) {
    for (const char* name : {"tone_1s.wav", "tone_1s.mp3"}) {
        SCOPED_TRACE(name);
        auto file = temporaryCopy(name);
        const std::size_t start = mark();
        SoundPlayer player;
        player.SetFile(file.get());
        player.Play(nullptr);
        EXPECT_TRUE(player.isActive());
        pumpUntilHeard(start, 0.2);
        EXPECT_GT(levelSince(start).audibleSeconds, 0.2);
        pumpMessages(800 +
                     deviceLagMs);  // the rest of the one second, and its samples on their way
        const std::size_t ended = mark();
        pumpMessages(silenceMs);  // a play that started again
        EXPECT_EQ(levelSince(ended).audibleSeconds, 0.0);
        EXPECT_TRUE(player.isActive());
    }
}

// What the scene sound listener does when a scene's sound arrives.
void playSceneSound(SoundPlayer& player, package::TempFile* file) {
    player.Stop();
    player.Close();
    player.SetFile(file);
    player.Play(nullptr);
}

TEST_F(SoundPlayerTest, SceneSoundStopsWhenAnotherIsPlayed) {
    auto first = temporaryCopy("tone_4s.wav");
    auto second = temporaryCopy("tone_1s.wav");
    SoundPlayer player;
    playSceneSound(player, first.get());
    pumpUntilHeard(0, 0.2);
    const std::size_t switched = mark();
    playSceneSound(player, second.get());
    EXPECT_TRUE(player.isActive());
    pumpUntilHeard(switched, 0.2);
    EXPECT_GT(levelSince(switched).audibleSeconds, 0.2);
    // The second sound has ended; the first one, had it gone on, would still
    // be heard for seconds.
    pumpMessages(800 + deviceLagMs);  // the rest of its one second, and its samples on their way
    const std::size_t bothEnded = mark();
    pumpMessages(silenceMs);  // the first sound going on
    EXPECT_EQ(levelSince(bothEnded).audibleSeconds, 0.0);
}

TEST_F(SoundPlayerTest, StopAndCloseSilenceTheSceneSound) {
    auto file = temporaryCopy("tone_4s.wav");
    for (bool close : {false, true}) {
        SCOPED_TRACE(close ? "Close" : "Stop");
        SoundPlayer player;
        player.SetFile(file.get());
        const std::size_t start = mark();
        player.Play(nullptr);
        pumpUntilHeard(start, 0.2);
        EXPECT_GT(levelSince(start).audibleSeconds, 0.2);
        if (close) {
            player.Close();
        } else {
            player.Stop();
        }
        pumpMessages(200 + deviceLagMs);  // the samples played before on their way
        const std::size_t stopped = mark();
        pumpMessages(silenceMs);  // the sound going on
        EXPECT_EQ(levelSince(stopped).audibleSeconds, 0.0);
    }
}

TEST_F(SoundPlayerTest, MissingEmptyOrUnrenderableFilesStaySilentWithoutAMessage) {
    MessageBoxWatcher boxes(MessageBoxWatcher::anyCaption, MessageBoxWatcher::close);
    test_support::NoticeWindow window;
    auto empty = test_support::temporaryFileWith("");
    auto notSound = temporaryCopy("not_a_sound.wav");
    package::TempFile missing(test_support::missingFilePath().c_str());
    for (package::TempFile* file :
         {&missing, empty.get(), notSound.get(), static_cast<package::TempFile*>(nullptr)}) {
        SCOPED_TRACE(file != nullptr ? file->path() : "no file");
        for (HWND notify : {window.handle(), static_cast<HWND>(nullptr)}) {
            SoundPlayer player;
            window.setPlayer(&player);
            player.SetFile(file);
            player.Play(notify);
            EXPECT_FALSE(player.isActive());
            // An inactive player ignores everything but the mute flag.
            player.VolumeDown();
            player.VolumeUp();
            player.Stop();
            player.ToggleMute();
            EXPECT_TRUE(player.isMuted());
            EXPECT_FALSE(player.isActive());
            player.HandleGraphEvent(0);
            EXPECT_FALSE(player.isActive());
            window.setPlayer(nullptr);
        }
    }
    pumpMessages(700);  // a sound or a message box that came late
    EXPECT_EQ(levelSince(0).audibleSeconds, 0.0);
    EXPECT_EQ(boxes.answered(), 0);
}

TEST_F(SoundPlayerTest, TourSoundWhoseFileVanishesStopsLoopingQuietly) {
    test_support::NoticeWindow window;
    auto file = temporaryCopy("tone_1s.wav");
    package::TempFile missing(test_support::missingFilePath().c_str());
    SoundPlayer player;
    window.setPlayer(&player);
    player.SetFile(file.get());
    player.Play(window.handle());
    ASSERT_TRUE(player.isActive());
    // The restart at the end finds no file: the player falls silent.
    player.SetFile(&missing);
    pumpUntil([&] { return !player.isActive() && heardSince(0) > 0.2; });
    EXPECT_GT(levelSince(0).audibleSeconds, 0.2);
    pumpMessages(deviceLagMs);  // the last samples of the play on their way
    const std::size_t ended = mark();
    pumpMessages(silenceMs);  // a play started again
    EXPECT_GT(window.notices(), 0);
    EXPECT_FALSE(player.isActive());
    EXPECT_EQ(player.HandleGraphEvent(0), S_OK);
    EXPECT_EQ(levelSince(ended).audibleSeconds, 0.0);
}

// A tour with sound off: the viewer mutes each player right after Play.
TEST_F(SoundPlayerTest, PlayerStartedMutedIsSilentUntilOneToggle) {
    test_support::NoticeWindow window;
    auto tourFile = temporaryCopy("tone_1s.wav");
    auto sceneFile = temporaryCopy("tone_2s.wav");
    SoundPlayer tour;
    SoundPlayer scene;
    window.setPlayer(&tour);
    tour.SetFile(tourFile.get());
    tour.Play(window.handle());
    tour.ToggleMute();
    playSceneSound(scene, sceneFile.get());
    scene.ToggleMute();
    // The one-second tour sound ends and starts again twice, muted each time
    // (the start brings a notice too); what the device received meanwhile is
    // checked below.
    pumpUntil([&] { return window.notices() >= 3; });
    EXPECT_GE(window.notices(), 2);
    EXPECT_TRUE(tour.isActive());
    EXPECT_TRUE(scene.isActive());
    EXPECT_EQ(levelSince(0).audibleSeconds, 0.0);

    tour.ToggleMute();
    scene.ToggleMute();
    EXPECT_EQ(volumeOf(tour), SoundPlayer::fullVolume);
    EXPECT_EQ(volumeOf(scene), SoundPlayer::fullVolume);
    // What was muted is silence and counts for nothing: the mark needs no wait.
    const std::size_t unmuted = mark();
    pumpUntilHeard(unmuted, 0.3);
    EXPECT_GT(levelSince(unmuted).audibleSeconds, 0.3);
}

TEST_F(SoundPlayerTest, SceneSoundForgetsItsMuteOnClose) {
    auto file = temporaryCopy("tone_1s.wav");
    SoundPlayer scene;
    playSceneSound(scene, file.get());
    scene.ToggleMute();
    ASSERT_TRUE(scene.isMuted());
    // The next scene's sound starts audible; its caller mutes it again.
    playSceneSound(scene, file.get());
    EXPECT_FALSE(scene.isMuted());
    EXPECT_EQ(volumeOf(scene), SoundPlayer::fullVolume);

    test_support::NoticeWindow window;
    SoundPlayer tour;
    window.setPlayer(&tour);
    tour.SetFile(file.get());
    tour.Play(window.handle());
    tour.ToggleMute();
    tour.Close();
    EXPECT_TRUE(tour.isMuted());  // the tour player keeps it across restarts
}

}  // namespace

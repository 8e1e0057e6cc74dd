// The studio as the desktop's media controls see it (ui::MediaPlayer): what they may do in
// each state, and that each request does what the studio's own button does.

#include "StudioTest.h"

#include "AudioPlayer.h"
#include "Recording.h"

#include "ui/Application.h"
#include "ui/MediaPlayer.h"

using namespace e2e;

namespace {

class MediaControlTest : public StudioTest {
protected:
    ui::MediaPlayer& controls()
    {
        auto player = ui::Application::sharedApplication().mediaPlayer();
        EXPECT_EQ(player.get(), static_cast<ui::MediaPlayer*>(&studio()));
        return studio();
    }
};

} // namespace

TEST_F(MediaControlTest, PlayPauseAndStopActOnTheRecordingJustMade)
{
    launch();
    int changes = 0;
    ui::Application::sharedApplication().setMediaPlayerChangeHandler([&] { ++changes; });
    // Nothing recorded yet: nothing to play, and asking does nothing.
    EXPECT_EQ(controls().nowPlaying(), nullptr);
    EXPECT_FALSE(controls().canPlay());
    controls().play();
    EXPECT_EQ(studio().state(), StudioStateReady);

    auto recording = makeRecording(2.0);
    auto metadata = controls().nowPlaying();
    ASSERT_TRUE(metadata);
    EXPECT_EQ(metadata->identifier, recording->key());
    EXPECT_EQ(metadata->title, recording->title());
    EXPECT_NEAR(metadata->lengthSeconds, 2.0, 0.2);
    EXPECT_EQ(metadata->category, recording->category());
    EXPECT_TRUE(controls().canPlay());
    EXPECT_FALSE(controls().canPause());
    EXPECT_EQ(controls().playbackStatus(), ui::PlaybackStatus::Stopped);

    changes = 0;
    controls().playPause();
    EXPECT_EQ(controls().playbackStatus(), ui::PlaybackStatus::Playing) << "asked for, while the carousel turns";
    ASSERT_TRUE(runUntil([&] { return studio().player()->isRunning(); }));
    EXPECT_GT(changes, 0);
    advance(0.5);
    EXPECT_TRUE(controls().canPause());
    controls().pause();
    EXPECT_EQ(controls().playbackStatus(), ui::PlaybackStatus::Paused);
    EXPECT_TRUE(studio().player()->paused());
    const double pausedAt = controls().position();
    EXPECT_GT(pausedAt, 0.2);
    advance(0.5);
    EXPECT_DOUBLE_EQ(controls().position(), pausedAt);
    // Pause again changes nothing; play resumes.
    controls().pause();
    EXPECT_TRUE(studio().player()->paused());
    controls().playPause();
    EXPECT_EQ(controls().playbackStatus(), ui::PlaybackStatus::Playing);
    advance(0.3);
    EXPECT_GT(controls().position(), pausedAt);

    controls().stop();
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    EXPECT_EQ(controls().playbackStatus(), ui::PlaybackStatus::Stopped);
    EXPECT_EQ(controls().position(), 0);
    EXPECT_FALSE(studio().player()->isRunning());
}

TEST_F(MediaControlTest, MediaKeysNeverTouchARecordingUnderWay)
{
    launch();
    record(1.0);
    EXPECT_EQ(controls().nowPlaying(), nullptr);
    controls().playPause();
    controls().stop();
    controls().next();
    EXPECT_EQ(studio().state(), StudioStateRecording);
    EXPECT_TRUE(studio().recorder()->isRunning());
}

TEST_F(MediaControlTest, KeysRecordAndPlayInTheStudio)
{
    launch();
    auto typed = [](const std::string& c) { return ui::KeyCommand { c, std::nullopt, false, false }; };
    // Nothing to play yet: Space does nothing.
    window().sendKeyCommand(typed(" "));
    EXPECT_EQ(studio().state(), StudioStateReady);

    EXPECT_TRUE(window().sendKeyCommand(typed("r")));
    EXPECT_EQ(studio().state(), StudioStateRecordRequested);
    ASSERT_TRUE(recordUntil(1.0));
    window().sendKeyCommand(typed("R"));
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    EXPECT_NEAR(studio().currentRecording()->length(), 1.0, 0.15);

    window().sendKeyCommand(typed(" "));
    ASSERT_TRUE(runUntil([&] { return studio().player()->isRunning(); }));
    advance(0.3);
    window().sendKeyCommand(typed(" "));
    EXPECT_TRUE(studio().player()->paused());
    window().sendKeyCommand(typed(" "));
    EXPECT_FALSE(studio().player()->paused());
    ASSERT_TRUE(runUntilState(StudioStateRecorded)) << "plays to the end";
}

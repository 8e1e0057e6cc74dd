#include "StudioTest.h"

#include "ControlPanelView.h"
#include "DecibelMeterView.h"
#include "HelperMethods.h"

using namespace e2e;

namespace {

class RecordAndPlayTest : public StudioTest { };

} // namespace

TEST_F(RecordAndPlayTest, RecordsTwoSecondsOfAToneAndPlaysThemBack)
{
    launch();
    auto& studio = this->studio();
    ASSERT_EQ(studio.state(), StudioStateReady);
    EXPECT_EQ(studio.promptLabel()->text(), text("PreRecord Prompt"));
    auto recording = studio.currentRecording();
    ASSERT_TRUE(recording);

    tap(*studio.recordButton());
    EXPECT_EQ(studio.state(), StudioStateRecordRequested);
    EXPECT_EQ(studio.promptLabel()->text(), text("Wait Prompt"));
    advance(0.65);
    // The turn has ended and the beep sounds: nothing is recorded until it has finished.
    EXPECT_EQ(studio.state(), StudioStateRecording);
    EXPECT_FALSE(studio.recorder()->isRunning());
    ASSERT_TRUE(recordUntil(2.0));
    EXPECT_EQ(studio.promptLabel()->text(), text("Recording Prompt"));
    // The meter shows the tone's level (its average power is about 0.35: 14 bars) and the
    // timer the time recorded.
    advance(0.05);
    EXPECT_NEAR(studio.decibelMeter()->averagePower(), 0.354, 0.01);
    EXPECT_EQ(studio.recordTimerLabel()->text(), "0:02");
    EXPECT_TRUE(studio.recordTimerRunning());

    tap(*studio.recordStopButton());
    const double stoppedAt = runLoop().clock().wallTime();
    EXPECT_EQ(studio.state(), StudioStateRecordStopped);
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    EXPECT_FALSE(studio.recordTimerRunning());
    EXPECT_FALSE(studio.decibelMeter()->isRunning());
    EXPECT_EQ(studio.promptLabel()->text(), text("PostRecord Prompt"));

    // Exactly what the microphone gave, in the bound format.
    auto contents = testsupport::readCAF(audioPath(recording->audioFileName()));
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->sampleRate, 22050);
    EXPECT_EQ(contents->formatID, "lpcm");
    EXPECT_EQ(contents->channelsPerFrame, 1u);
    EXPECT_EQ(contents->bitsPerChannel, 16u);
    EXPECT_EQ(contents->samples, tone(44100));
    EXPECT_FLOAT_EQ(recording->length(), 2.0f);
    EXPECT_EQ(recording->playCount(), 0);
    EXPECT_DOUBLE_EQ(recording->createdDate(), stoppedAt);
    // Not filed yet: the row is still the one the library inserted.
    ASSERT_TRUE(row(recording->key()));
    EXPECT_EQ(row(recording->key())->location, 0);

    device().clearSpeakerSamples();
    tap(*studio.smallPlayButton());
    EXPECT_EQ(studio.state(), StudioStatePlayRequested);
    ASSERT_TRUE(runUntilState(StudioStatePlaying));
    advance(0.55);
    EXPECT_TRUE(studio.playbackTimerRunning());
    EXPECT_EQ(studio.playbackSlider()->maximumValue(), 2.0f);
    const float shown = studio.playbackSlider()->value();
    EXPECT_NEAR(shown, 0.4, 0.11);
    EXPECT_EQ(studio.playTimeLabel()->text(), HelperMethods::formattedPlayTimeValueForPosition(shown, 2.0f, false));
    EXPECT_EQ(studio.remainingTimeLabel()->text(), HelperMethods::formattedPlayTimeValueForPosition(shown, 2.0f, true));
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    EXPECT_FALSE(studio.playbackTimerRunning());
    EXPECT_EQ(studio.remainingTimeLabel()->text(), "-0:00");
    EXPECT_EQ(device().speakerSamples(), contents->samples);
}

TEST_F(RecordAndPlayTest, PauseAndResumeMakeOneFileAndStopWhilePausedFinishesIt)
{
    launch();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();
    record(1.0);

    tap(*studio.recordPauseButton());
    EXPECT_TRUE(studio.recorder()->paused());
    EXPECT_FALSE(studio.recorder()->isRunning());
    EXPECT_EQ(studio.promptLabel()->text(), text("Recording Paused Prompt"));
    EXPECT_EQ(studio.recordPauseButton()->imageForState(ui::ControlStateNormal), ui::imageNamed("microphone_white.png"));
    // A pause ends nothing: the state stays, and the recording's length already tells the truth.
    EXPECT_EQ(studio.state(), StudioStateRecording);
    EXPECT_FLOAT_EQ(recording->length(), 1.0f);
    advance(1.0);
    EXPECT_DOUBLE_EQ(studio.recorder()->position(), 1.0);
    advance(0.2);
    EXPECT_EQ(studio.recordTimerLabel()->text(), "0:01");

    tap(*studio.recordPauseButton());
    EXPECT_FALSE(studio.recorder()->paused());
    EXPECT_EQ(studio.promptLabel()->text(), text("Recording Prompt"));
    EXPECT_EQ(studio.recordPauseButton()->imageForState(ui::ControlStateNormal), ui::imageNamed("pause.png"));
    ASSERT_TRUE(recordUntil(2.0));

    // Paused again, then stopped: the recording is finished with what was written.
    tap(*studio.recordPauseButton());
    ASSERT_TRUE(studio.recorder()->paused());
    advance(0.5);
    tap(*studio.recordStopButton());
    EXPECT_EQ(studio.state(), StudioStateRecordStopped);
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    EXPECT_FALSE(studio.recorder()->paused());
    EXPECT_EQ(samplesOf(recording->audioFileName()), tone(44100));
    EXPECT_FLOAT_EQ(recording->length(), 2.0f);
}

TEST_F(RecordAndPlayTest, RecordingAgainReplacesTheFileAndKeepsTheRow)
{
    launch();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();
    record(1.0);
    stopRecording();

    tap(*studio.smallRecordButton());
    EXPECT_EQ(studio.state(), StudioStateRecordRequested);
    ASSERT_TRUE(recordUntil(0.5));
    stopRecording();
    EXPECT_EQ(studio.currentRecording(), recording);
    // The new take starts where the microphone's tone went on, in a file of its own length.
    EXPECT_EQ(samplesOf(recording->audioFileName()), testsupport::toneSamples(440, 0.5, 22050, 11025, 22050));
    EXPECT_FLOAT_EQ(recording->length(), 0.5f);
    EXPECT_EQ(rows().size(), 1u);
}

TEST_F(RecordAndPlayTest, SeekingWhilePlayingAndWhilePaused)
{
    // A ramp, so every position in the file has samples of its own.
    const auto ramp = testsupport::rampSamples(22050 * 4);
    device().setMicrophoneSamples(ramp);
    launch();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();
    record(3.0);
    stopRecording();
    const auto recorded = samplesOf(recording->audioFileName());
    ASSERT_EQ(recorded.size(), 66150u);

    tap(*studio.smallPlayButton());
    ASSERT_TRUE(runUntilState(StudioStatePlaying));
    advance(0.5);
    auto& slider = *studio.playbackSlider();

    // Touching the thumb pauses; letting it go at 2 s plays from there.
    touch(ui::TouchPhase::Began, slider.convertPointToView(slider.thumbRectForBounds(slider.bounds(), slider.value()).center(), nullptr));
    EXPECT_TRUE(studio.player()->paused());
    const gfx::Point target = slider.convertPointToView(slider.thumbRectForBounds(slider.bounds(), 2.0f).center(), nullptr);
    touch(ui::TouchPhase::Moved, target);
    device().clearSpeakerSamples();
    touch(ui::TouchPhase::Ended, target);
    const float seekTo = slider.value();
    EXPECT_NEAR(seekTo, 2.0f, 0.05f);
    advance(0.3);
    EXPECT_FALSE(studio.player()->paused());
    const auto from = static_cast<size_t>(double(seekTo) * 22050);
    auto played = device().speakerSamples();
    ASSERT_GE(played.size(), 4410u);
    EXPECT_TRUE(std::equal(played.begin(), played.begin() + 4410, recorded.begin() + static_cast<long>(from)));

    // Paused, the slider only marks the new place; the play button then starts there.
    tap(*studio.playPauseButton());
    EXPECT_TRUE(studio.player()->paused());
    EXPECT_EQ(studio.promptLabel()->text(), text("Play Paused Prompt"));
    EXPECT_EQ(studio.playPauseButton()->imageForState(ui::ControlStateNormal), ui::imageNamed("play.png"));
    dragSlider(slider, 0.5f);
    const float markedAt = slider.value();
    EXPECT_NEAR(markedAt, 0.5f, 0.05f);
    device().clearSpeakerSamples();
    advance(0.5);
    EXPECT_TRUE(device().speakerSamples().empty());
    EXPECT_TRUE(studio.player()->paused());

    tap(*studio.playPauseButton());
    EXPECT_EQ(studio.playPauseButton()->imageForState(ui::ControlStateNormal), ui::imageNamed("pause.png"));
    advance(0.05);
    EXPECT_FALSE(studio.player()->paused());
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    const auto restart = static_cast<size_t>(double(markedAt) * 22050);
    EXPECT_EQ(device().speakerSamples(), std::vector<std::int16_t>(recorded.begin() + static_cast<long>(restart), recorded.end()));
}

TEST_F(RecordAndPlayTest, TheStopButtonEndsPlaybackAndPlayPauseDoesNothingWithoutIt)
{
    launch();
    auto& studio = this->studio();
    record(2.0);
    stopRecording();
    tap(*studio.smallPlayButton());
    ASSERT_TRUE(runUntilState(StudioStatePlaying));
    advance(0.5);
    tap(*studio.playStopButton());
    EXPECT_EQ(studio.state(), StudioStatePlaying);
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    EXPECT_FALSE(studio.player()->isRunning());

    // The play-pause button is out of sight now; pressed anyway, it does nothing.
    studio.playPauseButtonPressed();
    EXPECT_FALSE(studio.player()->isRunning());
    EXPECT_EQ(studio.state(), StudioStateRecorded);
}

TEST_F(RecordAndPlayTest, WithoutTheRecordTimerThePanelShowsOnlyTheMeter)
{
    setSetting("recordTimer", "NO");
    launch();
    auto& studio = this->studio();
    EXPECT_TRUE(studio.recordTimerLabel()->isHidden());
    const float restingY = studio.recordControlPanel()->transform().ty;
    EXPECT_EQ(restingY, 60.0f);
    record(1.0);
    EXPECT_FALSE(studio.recordTimerRunning());
    EXPECT_EQ(studio.recordControlPanel()->transform().ty, 0.0f);
    stopRecording();
    EXPECT_EQ(studio.recordControlPanel()->transform().ty, 60.0f);
}

TEST_F(RecordAndPlayTest, WithTheRecordTimerThePanelRisesByEighty)
{
    launch();
    auto& studio = this->studio();
    auto& panel = *studio.recordControlPanel();
    // Resting just below the visible area, between the navigation bar and the tab bar.
    const gfx::Rect visible = studio.view()->convertRectToView(studio.view()->bounds(), nullptr);
    EXPECT_EQ(visible, gfx::Rect(0, 64, 320, 367));
    EXPECT_EQ(panel.convertRectToView(panel.bounds(), nullptr).minY(), visible.maxY());
    EXPECT_EQ(studio.playbackControlPanel()->convertRectToView(studio.playbackControlPanel()->bounds(), nullptr).minY(), visible.maxY());
    EXPECT_EQ(studio.normalControlPanel()->convertRectToView(studio.normalControlPanel()->bounds(), nullptr).minY(), visible.maxY());
    record(0.5);
    EXPECT_EQ(panel.convertRectToView(panel.bounds(), nullptr).minY(), visible.maxY() - 80);
    EXPECT_FALSE(studio.recordTimerLabel()->isHidden());
}

TEST_F(RecordAndPlayTest, WithoutSoundEffectsRecordingStartsWhenTheTurnEnds)
{
    setSetting("soundEffects", "NO");
    launch();
    auto& studio = this->studio();
    tap(*studio.recordButton());
    EXPECT_EQ(studio.promptLabel()->text(), text("Record Starting Prompt"));
    advance(0.65);
    EXPECT_EQ(studio.state(), StudioStateRecording);
    EXPECT_TRUE(studio.recorder()->isRunning());
    EXPECT_EQ(studio.promptLabel()->text(), text("Recording Prompt"));
    device().clearSpeakerSamples();
    ASSERT_TRUE(recordUntil(1.0));
    stopRecording();
    EXPECT_EQ(samplesOf(studio.currentRecording()->audioFileName()), tone(22050));
    EXPECT_TRUE(device().speakerSamples().empty()) << "no beep";
}

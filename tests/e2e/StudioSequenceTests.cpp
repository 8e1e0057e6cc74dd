#include "StudioTest.h"

#include "ControlPanelView.h"
#include "DecibelMeterView.h"
#include "HelperMethods.h"
#include "foundation/FileManager.h"

// Taps, interruptions and alert answers that land while the carousel turns or the beep plays:
// each sequence here once left the studio stuck or wrote over a memo that had been filed.

using namespace e2e;

namespace {

class StudioSequenceTest : public StudioTest {
protected:
    /// No recorder runs, no studio timer ticks, and the record button is at the front.
    void expectAtRest()
    {
        auto& studio = this->studio();
        EXPECT_EQ(studio.state(), StudioStateReady);
        EXPECT_EQ(studio.promptLabel()->text(), text("PreRecord Prompt"));
        EXPECT_FALSE(studio.recorder() && studio.recorder()->isRunning());
        EXPECT_FALSE(studio.recordTimerRunning());
        EXPECT_FALSE(studio.playbackTimerRunning());
        EXPECT_FALSE(studio.decibelMeter()->isRunning());
        EXPECT_EQ(frontView(), studio.recordButton());
    }

    /// Plays the made recording and returns once playback runs.
    void startPlaying()
    {
        tap(*studio().smallPlayButton());
        ASSERT_TRUE(runUntilState(StudioStatePlaying));
        advance(0.2);
        ASSERT_TRUE(studio().player()->isRunning());
    }

    /// Drags the slider while playing and checks that playback goes on from the new place.
    void expectSeekWhilePlayingGoesOn(float to)
    {
        auto& studio = this->studio();
        ASSERT_TRUE(studio.player()->isRunning());
        ASSERT_FALSE(studio.player()->paused());
        dragSlider(*studio.playbackSlider(), to);
        advance(0.25);
        EXPECT_FALSE(studio.player()->paused()) << "a seek while playing plays on";
        EXPECT_NEAR(studio.player()->position(), to + 0.2, 0.15);
    }
};

} // namespace

TEST_F(StudioSequenceTest, AnInterruptionWhileTurningToPlaybackPlaysWhenItEndsAndStopStillWorks)
{
    launch();
    auto& studio = this->studio();
    makeRecording(2.0);
    tap(*studio.smallPlayButton());
    advance(0.3);
    ASSERT_EQ(studio.state(), StudioStatePlayRequested);

    interrupt(audio::kSessionBeginInterruption);
    advance(0.5);
    // The turn ended during the interruption: the studio plays as soon as it may.
    EXPECT_EQ(studio.state(), StudioStatePlaying);
    EXPECT_FALSE(studio.player() && studio.player()->isRunning());
    EXPECT_EQ(studio.promptLabel()->text(), text("Play Paused Prompt"));
    EXPECT_FALSE(studio.playPauseButton()->isEnabled());

    interrupt(audio::kSessionEndInterruption);
    advance(0.3);
    ASSERT_TRUE(studio.player());
    EXPECT_TRUE(studio.player()->isRunning());
    EXPECT_TRUE(studio.playPauseButton()->isEnabled());
    tap(*studio.playPauseButton());
    EXPECT_TRUE(studio.player()->paused());
    tap(*studio.playPauseButton());
    EXPECT_FALSE(studio.player()->paused());

    tap(*studio.playStopButton());
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    EXPECT_EQ(studio.promptLabel()->text(), text("PostRecord Prompt"));
    EXPECT_FALSE(studio.playbackTimerRunning());
}

TEST_F(StudioSequenceTest, AnInterruptionWhileASavedRecordingLeavesNeitherKeepsNorOverwritesIt)
{
    setSetting("saveOption", "autoSave");
    launch();
    auto& studio = this->studio();
    auto saved = makeRecording(1.0);
    tap(*studio.smallSaveButton());
    EXPECT_NE(studio.currentRecording(), saved) << "a saved recording leaves the studio at once";
    const auto savedRow = row(saved->key());
    ASSERT_TRUE(savedRow);

    // During the flip, then during the turn back to record.
    advance(0.3);
    interrupt(audio::kSessionBeginInterruption);
    advance(0.6);
    interrupt(audio::kSessionEndInterruption);
    interrupt(audio::kSessionBeginInterruption);
    waitUntilReady();
    interrupt(audio::kSessionEndInterruption);
    advance(0.7);
    expectAtRest();

    auto next = makeRecording(0.5);
    EXPECT_NE(next, saved);
    EXPECT_NE(next->audioFileName(), saved->audioFileName());
    EXPECT_EQ(samplesOf(saved->audioFileName()).size(), 22050u);
    EXPECT_DOUBLE_EQ(row(saved->key())->length, 1.0);
    EXPECT_EQ(row(saved->key())->size, savedRow->size);
    EXPECT_EQ(row(saved->key())->location, 1);
}

TEST_F(StudioSequenceTest, AnInterruptionWhileADeletedRecordingLeavesKeepsItInTheTrash)
{
    launch();
    auto& studio = this->studio();
    auto trashed = makeRecording(1.0);
    tap(*studio.smallDeleteButton());
    advance(0.8);
    ASSERT_EQ(studio.state(), StudioStateFinished);
    interrupt(audio::kSessionBeginInterruption);
    EXPECT_NE(setting("interruptedRecordingKey"), std::to_string(trashed->key())) << "no offer to continue a trashed memo";
    terminate();
    ASSERT_TRUE(row(trashed->key()));
    EXPECT_EQ(row(trashed->key())->location, 2);
    EXPECT_EQ(samplesOf(trashed->audioFileName()).size(), 22050u);
}

TEST_F(StudioSequenceTest, StopDuringTheBeepAfterAnEarlyPauseCallsTheRecordingOff)
{
    launch();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();
    tap(*studio.recordButton());
    advance(0.3);
    // Nothing to pause before the recorder has started, and the dimmed button says so.
    EXPECT_FALSE(studio.recordPauseButton()->isEnabled());
    tap(*studio.recordPauseButton());
    advance(0.4);
    ASSERT_EQ(studio.state(), StudioStateRecording);
    ASSERT_FALSE(studio.recorder()->isRunning()) << "the beep plays";

    tap(*studio.recordStopButton());
    EXPECT_EQ(studio.state(), StudioStateReady);
    advance(3.0);
    expectAtRest();
    EXPECT_FALSE(audioFileExists(recording->audioFileName()));
    EXPECT_EQ(studio.currentRecording(), recording);
    EXPECT_FLOAT_EQ(recording->length(), 0.0f);

    // The next recording starts as any other.
    record(0.5);
    stopRecording();
    EXPECT_EQ(samplesOf(recording->audioFileName()).size(), 11025u);
}

TEST_F(StudioSequenceTest, StopDuringTheBeepOfARecordingAgainKeepsTheEarlierTake)
{
    launch();
    auto& studio = this->studio();
    auto recording = makeRecording(1.0);
    tap(*studio.smallRecordButton());
    advance(0.7);
    ASSERT_EQ(studio.state(), StudioStateRecording);
    tap(*studio.recordStopButton());
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    advance(1.0);
    EXPECT_FALSE(studio.recorder()->isRunning());
    EXPECT_EQ(samplesOf(recording->audioFileName()), tone(22050));
    EXPECT_FLOAT_EQ(recording->length(), 1.0f);
}

TEST_F(StudioSequenceTest, AnInterruptionWhileTurningToTheSmallButtonsEndsWithThePostRecordPrompt)
{
    launch();
    auto& studio = this->studio();
    record(1.0);
    tap(*studio.recordStopButton());
    advance(0.3);
    ASSERT_EQ(studio.state(), StudioStateRecordStopped);
    interrupt(audio::kSessionBeginInterruption);
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    EXPECT_EQ(studio.promptLabel()->text(), text("PostRecord Prompt"));
    interrupt(audio::kSessionEndInterruption);

    startPlaying();
    tap(*studio.playStopButton());
    advance(0.3);
    ASSERT_EQ(studio.state(), StudioStatePlayStopped);
    interrupt(audio::kSessionBeginInterruption);
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    EXPECT_EQ(studio.promptLabel()->text(), text("PostRecord Prompt"));
    interrupt(audio::kSessionEndInterruption);
    advance(0.5);
    EXPECT_EQ(studio.state(), StudioStateRecorded);
    EXPECT_FALSE(studio.player() && studio.player()->isRunning());
}

TEST_F(StudioSequenceTest, YesOnTheLaunchAlertWhileTheCarouselFillsContinuesOnceItIsFilled)
{
    // A first run ends during an interruption that holds a second of recording.
    launch();
    record(1.0);
    const int key = studio().currentRecording()->key();
    interrupt(audio::kSessionBeginInterruption);
    terminate();

    relaunch(0.2);
    ASSERT_EQ(studio().state(), StudioStateInitial);
    ui::AlertView* alert = shownAlert();
    ASSERT_TRUE(alert);
    tap(*alert->buttons()[1]);
    EXPECT_EQ(studio().state(), StudioStateInitial) << "waits for the carousel";
    ASSERT_TRUE(runUntilState(StudioStateRecordRequested, 1.0));
    EXPECT_EQ(studio().currentRecording()->key(), key);
    ASSERT_TRUE(recordUntil(2.0));
    EXPECT_EQ(frontView(), studio().recordStopButton());
    stopRecording();
    EXPECT_FALSE(studio().recordTimerRunning());
    EXPECT_FALSE(studio().decibelMeter()->isRunning());
    EXPECT_EQ(samplesOf(studio().currentRecording()->audioFileName()), tone(44100));
    EXPECT_DOUBLE_EQ(row(key)->length, 2.0);
}

TEST_F(StudioSequenceTest, ARecorderThatDoesNotStartTakesTheStudioBackToReadyWithAnAlert)
{
    launch();
    auto& studio = this->studio();
    // A folder where the recording's audio file belongs: the file cannot be made, and the
    // recorder does not run.
    const std::string blocked = *HelperMethods::getFullAudioFilePath(studio.currentRecording()->audioFileName());
    ASSERT_TRUE(foundation::createDirectory(blocked));
    tap(*studio.recordButton());
    ASSERT_TRUE(runUntilState(StudioStateReady, 2.0));
    ui::AlertView* alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), text("Recording Failed Prompt Title"));
    EXPECT_EQ(alert->message(), text("Recording Failed Prompt"));
    ASSERT_EQ(alert->numberOfButtons(), 1);
    advance(1.0);
    expectAtRest();
    EXPECT_EQ(studio.recordControlPanel()->transform().ty, 60.0f) << "the record panel went down";

    tap(*alert->buttons()[0]);
    advance(0.5);
    EXPECT_EQ(shownAlert(), nullptr);
    ASSERT_TRUE(foundation::removeItem(blocked));
    auto recording = makeRecording(0.5);
    EXPECT_EQ(samplesOf(recording->audioFileName()).size(), 11025u);
}

TEST_F(StudioSequenceTest, StopDuringAnInterruptionFinishesTheHeldRecording)
{
    launch();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();
    record(1.0);
    interrupt(audio::kSessionBeginInterruption);
    tap(*studio.recordStopButton());
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    EXPECT_FLOAT_EQ(recording->length(), 1.0f);
    interrupt(audio::kSessionEndInterruption);
    advance(1.0);
    EXPECT_FALSE(studio.recorder() && studio.recorder()->isRunning()) << "a finished recording does not go on";
    EXPECT_EQ(samplesOf(recording->audioFileName()).size(), 22050u);
    // And the next take records as ever.
    tap(*studio.smallRecordButton());
    ASSERT_TRUE(recordUntil(0.5));
    stopRecording();
    EXPECT_EQ(samplesOf(recording->audioFileName()).size(), 11025u);
}

TEST_F(StudioSequenceTest, APlaceMarkedWhilePausedIsUsedOnceWhateverEndsThePause)
{
    device().setMicrophoneSamples(testsupport::rampSamples(22050 * 5));
    launch();
    auto& studio = this->studio();
    makeRecording(4.0);
    auto& slider = *studio.playbackSlider();

    // Pause, seek, play: playback starts at the mark, and a later seek plays on.
    startPlaying();
    tap(*studio.playPauseButton());
    dragSlider(slider, 2.0f);
    EXPECT_TRUE(studio.playbackPositionAdjustedWhilePaused());
    tap(*studio.playPauseButton());
    EXPECT_FALSE(studio.playbackPositionAdjustedWhilePaused());
    advance(0.2);
    expectSeekWhilePlayingGoesOn(1.0f);

    // Pause, seek, interruption: playback goes on where the player was, and seeks play on.
    tap(*studio.playPauseButton());
    dragSlider(slider, 3.0f);
    interrupt(audio::kSessionBeginInterruption);
    EXPECT_FALSE(studio.playbackPositionAdjustedWhilePaused());
    interrupt(audio::kSessionEndInterruption);
    advance(0.2);
    expectSeekWhilePlayingGoesOn(0.5f);

    // Pause, seek, stop: the next playback's seeks play on.
    tap(*studio.playPauseButton());
    dragSlider(slider, 3.0f);
    tap(*studio.playStopButton());
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    EXPECT_FALSE(studio.playbackPositionAdjustedWhilePaused());
    startPlaying();
    expectSeekWhilePlayingGoesOn(2.0f);
}

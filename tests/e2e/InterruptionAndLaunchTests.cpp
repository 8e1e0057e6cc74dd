#include "StudioTest.h"

#include "DecibelMeterView.h"
#include "HelperMethods.h"

#include "foundation/Log.h"

using namespace e2e;

namespace {

class InterruptionTest : public StudioTest {
protected:
    /// Taps record, lets an interruption begin after the given time (before the recorder has
    /// started) and checks that nothing records until it ends, and then the recording does.
    void interruptBeforeRecordingBegan(double after)
    {
        launch();
        auto& studio = this->studio();
        auto recording = studio.currentRecording();
        tap(*studio.recordButton());
        advance(after);
        ASSERT_FALSE(studio.recorder() && studio.recorder()->isRunning());
        const auto before = studio.state();
        interrupt(audio::kSessionBeginInterruption);
        EXPECT_EQ(studio.state(), before) << "the interruption holds the audio, not the state";

        advance(2.0);
        EXPECT_EQ(studio.state(), StudioStateRecording);
        EXPECT_FALSE(studio.recorder() && studio.recorder()->isRunning());
        EXPECT_FALSE(audioFileExists(recording->audioFileName()));

        interrupt(audio::kSessionEndInterruption);
        ASSERT_TRUE(recordUntil(1.0));
        stopRecording();
        EXPECT_EQ(samplesOf(recording->audioFileName()).size(), 22050u);
        EXPECT_FLOAT_EQ(recording->length(), 1.0f);
    }
};

class LaunchTest : public StudioTest {
protected:
    /// A first run that records seconds of the tone and ends while an interruption holds the
    /// recording; answers the recording's key.
    int runEndedDuringAnInterruption(double seconds)
    {
        launch();
        record(seconds);
        const int key = studio().currentRecording()->key();
        interrupt(audio::kSessionBeginInterruption);
        terminate();
        return key;
    }
};

} // namespace

TEST_F(InterruptionTest, ARecordingIsHeldDuringAnInterruptionAndContinuesInItsFile)
{
    setSetting("saveOption", "autoSave");
    launch();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();
    record(1.0);

    interrupt(audio::kSessionBeginInterruption);
    EXPECT_EQ(setting("interruptedRecordingKey"), std::to_string(recording->key()));
    EXPECT_EQ(studio.state(), StudioStateRecording);
    EXPECT_EQ(studio.recorder(), nullptr);
    EXPECT_FLOAT_EQ(recording->length(), 1.0f);
    EXPECT_EQ(studio.promptLabel()->text(), text("Recording Held Prompt"));
    // Held, not ended: the stop button stays at the front with the record panel up.
    advance(1.0);
    EXPECT_EQ(studio.state(), StudioStateRecording);
    EXPECT_EQ(frontView(), studio.recordStopButton());
    EXPECT_EQ(samplesOf(recording->audioFileName()).size(), 22050u);

    interrupt(audio::kSessionEndInterruption);
    EXPECT_EQ(setting("interruptedRecordingKey"), "-1");
    ASSERT_TRUE(studio.recorder());
    EXPECT_EQ(studio.promptLabel()->text(), text("Recording Prompt"));
    advance(0.05);
    EXPECT_TRUE(studio.recorder()->isRunning());
    ASSERT_TRUE(recordUntil(2.0));
    advance(0.05);
    EXPECT_GT(studio.decibelMeter()->averagePower(), 0.3f) << "the meter follows the new recorder";
    stopRecording();

    // One file, the second part right after the first, and its length known.
    EXPECT_EQ(samplesOf(recording->audioFileName()), tone(44100));
    tap(*studio.smallSaveButton());
    auto saved = row(recording->key());
    ASSERT_TRUE(saved);
    EXPECT_DOUBLE_EQ(saved->length, 2.0);
    EXPECT_EQ(saved->size, HelperMethods::getAudioFileSizeFormattedString(recording->audioFileName()));
}

TEST_F(InterruptionTest, APausedRecordingGoesOnWhenTheInterruptionEnds)
{
    launch();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();
    record(0.5);
    tap(*studio.recordPauseButton());
    interrupt(audio::kSessionBeginInterruption);
    EXPECT_EQ(studio.recorder(), nullptr);
    // The pause button has no recorder to address meanwhile, and shows it.
    EXPECT_FALSE(studio.recordPauseButton()->isEnabled());
    tap(*studio.recordPauseButton());
    EXPECT_EQ(studio.state(), StudioStateRecording);

    interrupt(audio::kSessionEndInterruption);
    advance(0.05);
    ASSERT_TRUE(studio.recorder());
    EXPECT_TRUE(studio.recorder()->isRunning());
    EXPECT_FALSE(studio.recorder()->paused());
    EXPECT_EQ(studio.recordPauseButton()->imageForState(ui::ControlStateNormal), ui::imageNamed("pause.png"));
    ASSERT_TRUE(recordUntil(1.0));
    stopRecording();
    EXPECT_EQ(samplesOf(recording->audioFileName()), tone(22050));
    EXPECT_FLOAT_EQ(recording->length(), 1.0f);
}

TEST_F(InterruptionTest, AnInterruptionWhileTheCarouselTurnsStartsTheRecordingWhenItEnds)
{
    interruptBeforeRecordingBegan(0.3);
}

TEST_F(InterruptionTest, AnInterruptionDuringTheBeepStartsTheRecordingWhenItEnds)
{
    interruptBeforeRecordingBegan(0.8);
}

TEST_F(InterruptionTest, PlaybackContinuesWhereItWasInANewPlayer)
{
    const auto ramp = testsupport::rampSamples(22050 * 3);
    device().setMicrophoneSamples(ramp);
    launch();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();
    record(2.0);
    stopRecording();
    const auto recorded = samplesOf(recording->audioFileName());

    tap(*studio.smallPlayButton());
    ASSERT_TRUE(runUntilState(StudioStatePlaying));
    advance(0.55);
    const auto oldPlayer = studio.player();
    const double position = oldPlayer->position();
    EXPECT_GT(position, 0.3);
    interrupt(audio::kSessionBeginInterruption);
    EXPECT_EQ(studio.player(), nullptr);
    EXPECT_FALSE(oldPlayer->isRunning());
    device().clearSpeakerSamples();
    advance(1.0);
    EXPECT_TRUE(device().speakerSamples().empty());

    interrupt(audio::kSessionEndInterruption);
    ASSERT_TRUE(studio.player());
    EXPECT_NE(studio.player(), oldPlayer);
    // Played out to the end from where the old player was, and its stop is heard again.
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    const auto from = static_cast<long>(position * 22050);
    EXPECT_EQ(device().speakerSamples(), std::vector<std::int16_t>(recorded.begin() + from, recorded.end()));
    EXPECT_FALSE(studio.playbackTimerRunning());
}

TEST_F(InterruptionTest, OtherInterruptionStatesAreIgnored)
{
    launch();
    record(0.5);
    interrupt(7);
    EXPECT_TRUE(studio().recorder());
    EXPECT_EQ(setting("interruptedRecordingKey"), "-1");
}

TEST_F(LaunchTest, InstantRecordStartsRecordingWithoutATouch)
{
    setSetting("instantRecord", "Yes");
    launch(0.3);
    EXPECT_EQ(studio().state(), StudioStateInitial);
    ASSERT_TRUE(recordUntil(1.0));
    EXPECT_EQ(studio().state(), StudioStateRecording);
    stopRecording();
    EXPECT_EQ(samplesOf(studio().currentRecording()->audioFileName()), tone(22050));
}

TEST_F(LaunchTest, YesContinuesTheInterruptedRecordingInItsOwnFile)
{
    const int key = runEndedDuringAnInterruption(1.0);
    // The run ended during the interruption: the recording was kept, and its key remembered.
    EXPECT_EQ(row(key)->location, 1);
    EXPECT_DOUBLE_EQ(row(key)->length, 1.0);
    EXPECT_EQ(setting("interruptedRecordingKey"), std::to_string(key));

    setSetting("instantRecord", "Yes");
    foundation::LogCapture log;
    relaunch();
    EXPECT_TRUE(log.contains("interruptedRecordingKey: " + std::to_string(key)));
    EXPECT_EQ(setting("interruptedRecordingKey"), "-1");
    auto fresh = studio().currentRecording();
    ui::AlertView* alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), text("Recording Interrupted Prompt Title"));
    EXPECT_EQ(alert->message(), text("Recording Interrupted Prompt"));
    ASSERT_EQ(alert->numberOfButtons(), 2);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), text("No"));
    EXPECT_EQ(alert->buttonTitleAtIndex(1), text("Yes"));
    EXPECT_EQ(studio().state(), StudioStateReady) << "no instant recording while an interrupted one is offered";

    tap(*alert->buttons()[1]);
    EXPECT_FALSE(row(fresh->key())) << "the fresh recording is deleted";
    ASSERT_EQ(studio().currentRecording()->key(), key);
    EXPECT_EQ(studio().state(), StudioStateRecordRequested);
    ASSERT_TRUE(recordUntil(2.0));
    stopRecording();
    // The first run's second of the tone, then the second run's, after it in the same file.
    EXPECT_EQ(samplesOf(studio().currentRecording()->audioFileName()), tone(44100));
    EXPECT_DOUBLE_EQ(row(key)->length, 2.0) << "filed, so the stop wrote it";
}

TEST_F(LaunchTest, NoLeavesTheFreshRecordingInPlace)
{
    const int key = runEndedDuringAnInterruption(1.0);
    relaunch();
    auto fresh = studio().currentRecording();
    ui::AlertView* alert = shownAlert();
    ASSERT_TRUE(alert);
    tap(*alert->buttons()[0]);
    advance(0.5);
    EXPECT_EQ(shownAlert(), nullptr);
    EXPECT_EQ(studio().currentRecording(), fresh);
    EXPECT_EQ(studio().state(), StudioStateReady);
    EXPECT_TRUE(row(fresh->key()));
    EXPECT_EQ(samplesOf(row(key)->audioFileName).size(), 22050u);

    // The next recording is the fresh one's own, in a file of its own.
    record(0.5);
    stopRecording();
    EXPECT_EQ(samplesOf(fresh->audioFileName()), tone(11025));
    EXPECT_EQ(samplesOf(row(key)->audioFileName).size(), 22050u);
}

TEST_F(LaunchTest, AKeyThatNoRecordingHasIsForgotten)
{
    setSetting("interruptedRecordingKey", "4711");
    setSetting("instantRecord", "Yes");
    launch();
    EXPECT_EQ(shownAlert(), nullptr);
    EXPECT_EQ(studio().state(), StudioStateReady) << "no instant recording either";
    EXPECT_EQ(setting("interruptedRecordingKey"), "-1");
}

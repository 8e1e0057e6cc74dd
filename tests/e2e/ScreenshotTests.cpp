#include "StudioTest.h"

#include "ControlPanelView.h"
#include "DecibelMeterView.h"
#include "FileSizeLimit.h"

#include "HelperMethods.h"
#include "foundation/FileManager.h"

using namespace e2e;

namespace {

class StudioScreenshotTest : public StudioTest {
protected:
    /// The whole screen as the window shows it now, at 2x, written for people to look at.
    std::shared_ptr<gfx::Image> shoot(const std::string& name)
    {
        return writeScreenshot("studio_" + name);
    }

    /// A pixel of a shot at a point of the screen.
    static gfx::Pixel at(const gfx::Image& shot, gfx::Point point) { return pixelAt(shot, point); }
    static gfx::Point offset(gfx::Point p, float dx, float dy) { return { p.x + dx, p.y + dy }; }
    static bool reddish(gfx::Pixel p) { return p.red > 150 && p.green < 90 && p.blue < 90; }
    static int brightness(gfx::Pixel p) { return (p.red + p.green + p.blue) / 3; }
    /// The mean and the highest brightness of a view's area on a shot.
    struct Brightness {
        double mean { 0 };
        int highest { 0 };
    };
    static Brightness brightnessOf(const gfx::Image& shot, const ui::View& view)
    {
        const gfx::Rect area = view.convertRectToView(view.bounds(), nullptr);
        Brightness result;
        int count = 0;
        for (float y = area.minY(); y < area.maxY(); y += 1)
            for (float x = area.minX(); x < area.maxX(); x += 1, ++count) {
                const int value = brightness(at(shot, { x, y }));
                result.mean += value;
                result.highest = std::max(result.highest, value);
            }
        result.mean = count ? result.mean / count : 0;
        return result;
    }
};

} // namespace

TEST_F(StudioScreenshotTest, AtRestRecordingRecordedPlayingAndNaming)
{
    launch();
    auto& studio = this->studio();

    auto rest = shoot("rest");
    EXPECT_EQ(rest->pixelWidth(), 640);
    EXPECT_EQ(rest->pixelHeight(), 960);
    // The red record button in the middle of the carousel, the prompt above it in light grey,
    // the black navigation bar and the tab bar with the studio's tab.
    EXPECT_TRUE(reddish(at(*rest, offset(centreOf(*studio.recordButton()), 0, 40))));
    EXPECT_GT(brightness(at(*rest, { 160, 42 })), 20);
    EXPECT_LT(brightness(at(*rest, { 160, 42 })), 120);
    EXPECT_EQ(at(*rest, { 160, 425 }), (gfx::Pixel { 0, 0, 0, 255 }));

    tap(*studio.recordButton());
    ASSERT_TRUE(recordUntil(1.5));
    advance(0.3);
    auto recording = shoot("recording");
    // The meter's first bars lit red, its last one dark; the timer shows the time recorded.
    auto& meter = *studio.decibelMeter();
    const gfx::Point firstBar = meter.convertPointToView({ 3.9f, 16 }, nullptr);
    const gfx::Point lastBar = meter.convertPointToView({ 217, 16 }, nullptr);
    EXPECT_TRUE(reddish(at(*recording, firstBar)));
    EXPECT_FALSE(reddish(at(*recording, lastBar)));
    EXPECT_EQ(studio.recordTimerLabel()->text(), "0:02");
    EXPECT_GT(brightness(at(*recording, centreOf(*studio.recordTimerLabel()))), 0);

    stopRecording();
    advance(0.7);
    auto recorded = shoot("recorded");
    // The four small buttons at the front, the record panel gone below the visible area.
    EXPECT_NE(at(*recorded, centreOf(*studio.smallPlayButton())), at(*rest, centreOf(*studio.smallPlayButton())));
    EXPECT_EQ(studio.recordControlPanel()->convertRectToView(studio.recordControlPanel()->bounds(), nullptr).minY(), 431);

    tap(*studio.smallPlayButton());
    ASSERT_TRUE(runUntilState(StudioStatePlaying));
    advance(0.7);
    auto playing = shoot("playing");
    // The playback panel up, with its times in white.
    const gfx::Rect panel = studio.playbackControlPanel()->convertRectToView(studio.playbackControlPanel()->bounds(), nullptr);
    EXPECT_EQ(panel.minY(), 371);
    EXPECT_GT(brightness(at(*playing, { 160, panel.minY() + 3 })), 60) << "the panel's grey top";
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    advance(0.7);

    tap(*studio.smallSaveButton());
    advance(0.4);
    window().sendText("Lake memo");
    auto naming = shoot("title");
    // The title field, white, right above the keyboard.
    const gfx::Point field = centreOf(*studio.titleTextField());
    EXPECT_LT(field.y, 264);
    EXPECT_GT(brightness(at(*naming, offset(field, 100, 0))), 200);
}

TEST_F(StudioScreenshotTest, HeldByAnInterruptionAndRecordingFailed)
{
    launch();
    auto& studio = this->studio();
    tap(*studio.recordButton());
    ASSERT_TRUE(recordUntil(1.0));
    interrupt(audio::kSessionBeginInterruption);
    advance(0.3);
    auto held = shoot("held");
    // The stop button stays at the front; the pause button is dimmed, having nothing to pause.
    EXPECT_EQ(studio.promptLabel()->text(), text("Recording Held Prompt"));
    EXPECT_FALSE(studio.recordPauseButton()->isEnabled());
    interrupt(audio::kSessionEndInterruption);
    advance(0.3);
    auto going = shoot("going_on");
    EXPECT_LT(brightnessOf(*held, *studio.recordPauseButton()).highest + 40, brightnessOf(*going, *studio.recordPauseButton()).highest);
    stopRecording();
    tap(*studio.smallDeleteButton());
    waitUntilReady();

    auto rest = shoot("ready_again");
    // A folder where the audio file belongs: the recorder cannot start.
    ASSERT_TRUE(foundation::createDirectory(*HelperMethods::getFullAudioFilePath(studio.currentRecording()->audioFileName())));
    tap(*studio.recordButton());
    ASSERT_TRUE(runUntilState(StudioStateReady));
    advance(1.0);
    auto failed = shoot("failed");
    // The alert over the dimmed studio, which shows ready again, and its one button light.
    ASSERT_TRUE(shownAlert());
    EXPECT_EQ(studio.promptLabel()->text(), text("PreRecord Prompt"));
    EXPECT_LT(brightnessOf(*failed, *studio.promptLabel()).highest + 40, brightnessOf(*rest, *studio.promptLabel()).highest);
    EXPECT_GT(brightnessOf(*failed, *shownAlert()->buttons()[0]).highest, 200);
}

TEST_F(StudioScreenshotTest, StorageFailureAlerts)
{
    // A full disk while recording, then a titled save the database refuses.
    setSetting("saveOption", "titleEditor");
    launch();
    auto& studio = this->studio();
    {
        testsupport::FileSizeLimit limit(50000);
        tap(*studio.recordButton());
        ASSERT_TRUE(runUntil([&] { return shownAlert() != nullptr; }, 6.0));
        advance(1.0);
    }
    ASSERT_EQ(shownAlert()->title(), text("Recording Stopped Prompt Title"));
    shoot("alert_recording_stopped");
    tap(*shownAlert()->buttons()[0]);
    advance(0.5);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((documentsPath() + "/parlivodb.sql").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TRIGGER refuse BEFORE UPDATE ON recordings BEGIN SELECT RAISE(ABORT, 'disk full'); END", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    tap(*studio.smallSaveButton());
    advance(0.4);
    window().sendText("Shopping");
    tapAt(returnKey());
    advance(0.5);
    ASSERT_TRUE(shownAlert());
    ASSERT_EQ(shownAlert()->title(), text("Save Failed Prompt Title"));
    shoot("alert_save_failed");
}

TEST_F(StudioScreenshotTest, NothingCanBeStoredAlert)
{
    ASSERT_TRUE(foundation::createDirectory(documentsPath() + "/parlivodb.sql"));
    launch();
    tap(*studio().recordButton());
    advance(0.5);
    ASSERT_TRUE(shownAlert());
    shoot("alert_storage_unavailable");
}

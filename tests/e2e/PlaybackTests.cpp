// The playback screen end to end: opened from a list in its tab, played on the virtual
// speaker under the manual clock, the play counts read back from the database.
#include "PlaybackTest.h"

#include "ControlPanelView.h"

#include "foundation/Log.h"
#include "ui/Application.h"
#include "ui/BarButtonItem.h"
#include "ui/NavigationItem.h"
#include "ui/ViewAnimator.h"

using namespace e2e;

namespace {

size_t packetAt(double seconds)
{
    return static_cast<size_t>(seconds * PlaybackTest::kRate);
}

std::vector<std::int16_t> from(const std::vector<std::int16_t>& samples, size_t first)
{
    return { samples.begin() + static_cast<long>(std::min(first, samples.size())), samples.end() };
}

} // namespace

TEST_F(PlaybackTest, ChoosingARowShowsTheDetailsAndPlayingToTheEndCountsOnce)
{
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 2.0);
    makeFiledRecording("Other", 1.0);
    EXPECT_EQ(badge(), 2);

    open(memo);
    EXPECT_EQ(navigationOf(*m_recordings).topViewController().get(), &screen());
    EXPECT_TRUE(delegate().tabBarController()->isTabBarHidden());
    EXPECT_EQ(screen().title(), "Memo");
    EXPECT_EQ(screen().titleLabel()->text(), "Memo");
    EXPECT_EQ(screen().categoryLabel()->text(), "Category: " + memo->category());
    EXPECT_EQ(screen().dateLabel()->text(), "Recorded: December 8, 2026 12:00\u202FPM");
    EXPECT_EQ(screen().lengthLabel()->text(), "Duration: 0:02 (" + memo->size() + ")");
    EXPECT_EQ(screen().commentsHeaderLabel()->text(), "Comments:");
    EXPECT_EQ(screen().commentsLabel()->text(), "Comments on Memo");
    EXPECT_EQ(screen().playTimeLabel()->text(), "0:00");
    EXPECT_EQ(screen().remainingTimeLabel()->text(), "-0:02");
    EXPECT_EQ(screen().playbackSlider()->maximumValue(), 2.0f);
    EXPECT_FALSE(screen().deleteButton()->isHidden());
    EXPECT_TRUE(screen().restoreButton()->isHidden());
    auto edit = screen().navigationItem()->rightBarButtonItem();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->systemItem(), ui::BarButtonSystemItem::Edit);

    device().clearSpeakerSamples();
    tap(*screen().playPauseButton());
    EXPECT_EQ(playPauseImage(), image("pause.png"));
    advance(1.05);
    EXPECT_EQ(screen().playTimeLabel()->text(), "0:01") << "the timer follows the sound";
    EXPECT_NEAR(screen().playbackSlider()->value(), 1.0f, 0.11f);
    advance(2);
    EXPECT_EQ(device().speakerSamples(), soundOf(memo, 2.0)) << "the whole sound, once, in order";
    EXPECT_FALSE(player().isRunning());
    EXPECT_EQ(screen().playbackSlider()->value(), 0.0f);
    EXPECT_EQ(screen().playTimeLabel()->text(), "0:00");
    EXPECT_EQ(screen().remainingTimeLabel()->text(), "-0:02");
    EXPECT_EQ(playPauseImage(), image("play.png"));
    EXPECT_EQ(screen().timer(), nullptr);
    EXPECT_EQ(memo->playCount(), 1);
    EXPECT_EQ(row(memo->key())->playCount, 1);
    EXPECT_EQ(badge(), 1) << "the played one is no longer new";
}

TEST_F(PlaybackTest, PauseHoldsTheSoundAndResumeGoesOnWhereItStopped)
{
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 1.5);
    open(memo);
    device().clearSpeakerSamples();
    playFor(0.5);
    tap(*screen().playPauseButton());
    EXPECT_TRUE(player().paused());
    EXPECT_EQ(playPauseImage(), image("play.png"));
    const size_t heard = device().speakerSamples().size();
    const std::string shown = screen().playTimeLabel()->text();
    advance(1);
    EXPECT_EQ(device().speakerSamples().size(), heard);
    EXPECT_EQ(screen().playTimeLabel()->text(), shown);

    tap(*screen().playPauseButton());
    EXPECT_EQ(playPauseImage(), image("pause.png"));
    advance(2);
    EXPECT_EQ(device().speakerSamples(), soundOf(memo, 1.5));
    EXPECT_EQ(memo->playCount(), 1) << "a resume is the same playback";
}

TEST_F(PlaybackTest, ADragWhilePlayingRestartsAtTheSliderAndCountsAgain)
{
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 3.0);
    open(memo);
    device().clearSpeakerSamples();
    playFor(0.5);
    auto& slider = *screen().playbackSlider();
    dragSlider(slider, 2.0f);
    const float value = slider.value();
    EXPECT_NEAR(value, 2.0f, 0.1f);
    const size_t beforeSeek = device().speakerSamples().size();
    EXPECT_EQ(playPauseImage(), image("pause.png"));
    advance(2);
    const auto sound = soundOf(memo, 3.0);
    EXPECT_EQ(from(device().speakerSamples(), beforeSeek), from(sound, packetAt(value)));
    EXPECT_EQ(memo->playCount(), 2);
    EXPECT_EQ(row(memo->key())->playCount, 2);
}

TEST_F(PlaybackTest, APositionChosenWhilePausedOrStoppedIsWherePlayStarts)
{
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 3.0);
    const auto sound = soundOf(memo, 3.0);
    open(memo);
    device().clearSpeakerSamples();
    playFor(0.5);
    tap(*screen().playPauseButton());
    auto& slider = *screen().playbackSlider();
    dragSlider(slider, 2.0f);
    EXPECT_TRUE(player().paused()) << "a drag while paused only moves the slider";
    EXPECT_TRUE(screen().playbackPositionAdjustedWhilePaused());
    const size_t heard = device().speakerSamples().size();
    advance(0.5);
    EXPECT_EQ(device().speakerSamples().size(), heard);

    const float value = slider.value();
    tap(*screen().playPauseButton());
    EXPECT_FALSE(screen().playbackPositionAdjustedWhilePaused());
    advance(2);
    EXPECT_EQ(from(device().speakerSamples(), heard), from(sound, packetAt(value)));
    EXPECT_FALSE(player().isRunning());

    // Stopped: letting go of the slider plays from there, and the button says so.
    device().clearSpeakerSamples();
    dragSlider(slider, 1.0f);
    const float stoppedValue = slider.value();
    EXPECT_TRUE(player().isRunning());
    EXPECT_EQ(playPauseImage(), image("pause.png"));
    advance(3);
    EXPECT_EQ(device().speakerSamples(), from(sound, packetAt(stoppedValue)));
    EXPECT_EQ(memo->playCount(), 3);
}

TEST_F(PlaybackTest, APositionMarkedWhilePausedDoesNotOutliveThePlayback)
{
    launchWithLists();
    auto first = makeFiledRecording("First", 3.0);
    auto second = makeFiledRecording("Second", 3.0, 1, 60);
    open(first);
    playFor(0.5);
    tap(*screen().playPauseButton());
    dragSlider(*screen().playbackSlider(), 2.0f);
    ASSERT_TRUE(screen().playbackPositionAdjustedWhilePaused());

    tap(*screen().skipForwardButton());
    advance(1);
    ASSERT_EQ(screen().currentRecording(), second);
    EXPECT_FALSE(player().isRunning());
    device().clearSpeakerSamples();
    dragSlider(*screen().playbackSlider(), 1.0f);
    const float value = screen().playbackSlider()->value();
    EXPECT_TRUE(player().isRunning()) << "the next recording plays from where its slider was let go";
    advance(3);
    EXPECT_EQ(device().speakerSamples(), from(soundOf(second, 3.0), packetAt(value)));
    EXPECT_EQ(second->playCount(), 1);
}

TEST_F(PlaybackTest, TheRouteSwitchRestartsWhereTheSoundWasAndIsKept)
{
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 3.0);
    const auto sound = soundOf(memo, 3.0);
    open(memo);
    EXPECT_EQ(screen().speakerButton()->titleForState(ui::ControlStateNormal), "Speaker On");

    // No earpiece on this machine: both routes sound the same, so the button only shows the
    // setting, dimmed, and says why to a screen reader.
    EXPECT_FALSE(screen().speakerButton()->isEnabled());
    EXPECT_EQ(screen().speakerButton()->accessibilityDescription(), text("No Earpiece Description"));
    device().clearSpeakerSamples();
    playFor(1.0);
    tap(*screen().speakerButton());
    EXPECT_EQ(setting("playMode"), "speaker");
    EXPECT_EQ(playPauseImage(), image("pause.png"));
    advance(3);
    EXPECT_EQ(device().speakerSamples(), sound) << "played on, uninterrupted";
    EXPECT_EQ(memo->playCount(), 1);

    // A handset: shown again, the button works, and the earpiece plays from the switch on.
    device().setHasEarpiece(true);
    navigationOf(*m_recordings).popViewControllerAnimated(false);
    open(memo);
    ASSERT_TRUE(screen().speakerButton()->isEnabled());
    EXPECT_TRUE(screen().speakerButton()->accessibilityDescription().empty());
    device().clearSpeakerSamples();
    playFor(1.0);
    const double atSwitch = player().position();
    const size_t onSpeaker = device().speakerSamples().size();
    tap(*screen().speakerButton());
    EXPECT_EQ(setting("playMode"), "earpiece");
    EXPECT_EQ(screen().speakerButton()->titleForState(ui::ControlStateNormal), "Speaker Off");
    EXPECT_EQ(playPauseImage(), image("pause.png"));
    advance(3);
    EXPECT_EQ(device().speakerSamples().size(), onSpeaker);
    EXPECT_EQ(device().earpieceSamples(), from(sound, packetAt(atSwitch)));
    EXPECT_EQ(memo->playCount(), 3) << "the restart counts";

    // Paused, a switch marks the place: the next play starts there on the new route.
    device().clearSpeakerSamples();
    playFor(1.0);
    tap(*screen().playPauseButton());
    const float paused = screen().playbackSlider()->value();
    tap(*screen().speakerButton());
    EXPECT_TRUE(screen().playbackPositionAdjustedWhilePaused());
    EXPECT_EQ(setting("playMode"), "speaker");
    device().clearEarpieceSamples();
    tap(*screen().playPauseButton());
    advance(3);
    EXPECT_EQ(device().speakerSamples(), from(sound, packetAt(paused))) << "restarted at the place, on the speaker";
    EXPECT_TRUE(device().earpieceSamples().empty());

    // Shown again, the screen reads the kept mode, dimmed or not.
    tap(*screen().speakerButton());
    device().setHasEarpiece(false);
    navigationOf(*m_recordings).popViewControllerAnimated(false);
    open(memo);
    EXPECT_EQ(screen().speakerButton()->titleForState(ui::ControlStateNormal), "Speaker Off");
    EXPECT_FALSE(screen().speakerButton()->isEnabled());
}

TEST_F(PlaybackTest, SkipStepsThroughTheListAcrossSectionsAndStopsThePlayer)
{
    launchWithLists();
    auto a = makeFiledRecording("A", 2.0);
    auto b = makeFiledRecording("B", 2.0, 1, 60);
    auto c = makeFiledRecording("C", 2.0, 1, 3 * 86400.0);
    open(b);
    ASSERT_EQ(m_recordings->sortedDataGroups().size(), 2u) << "A and B today, C in a section of its own";
    auto content = screen().recordingContentView();

    playFor(0.5);
    tap(*screen().skipForwardButton());
    EXPECT_EQ(screen().currentRecording(), c) << "the next section's first row";
    ASSERT_NE(ui::ViewAnimator::shared().transition(*content), nullptr);
    EXPECT_EQ(ui::ViewAnimator::shared().transition(*content)->type, ui::ViewAnimationTransition::CurlUp);
    advance(0.7);
    EXPECT_FALSE(player().isRunning());
    EXPECT_EQ(playPauseImage(), image("play.png"));
    EXPECT_EQ(screen().titleLabel()->text(), "C");
    EXPECT_EQ(screen().playbackSlider()->value(), 0.0f);

    // At the end: nothing moves, and the player keeps playing.
    playFor(0.3);
    tap(*screen().skipForwardButton());
    EXPECT_EQ(screen().currentRecording(), c);
    EXPECT_EQ(ui::ViewAnimator::shared().transition(*content), nullptr);
    EXPECT_TRUE(player().isRunning());
    EXPECT_FALSE(player().paused());

    tap(*screen().skipBackButton());
    EXPECT_EQ(ui::ViewAnimator::shared().transition(*content)->type, ui::ViewAnimationTransition::CurlDown);
    advance(0.7);
    EXPECT_EQ(screen().currentRecording(), b);
    EXPECT_FALSE(player().isRunning());
    tap(*screen().skipBackButton());
    advance(0.7);
    EXPECT_EQ(screen().currentRecording(), a);
    tap(*screen().skipBackButton());
    EXPECT_EQ(screen().currentRecording(), a);
    EXPECT_EQ(ui::ViewAnimator::shared().transition(*content), nullptr);

    screen().setDataSource(nullptr);
    EXPECT_FALSE(screen().goToNextRecording());
    EXPECT_FALSE(screen().goToPreviousRecording());
    screen().setDataSource(m_recordings.get());
}

TEST_F(PlaybackTest, DeleteMovesToTheTrashAndRestoreMovesBack)
{
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 2.0);
    auto older = makeFiledRecording("Older", 2.0, 1, 60);
    auto noneSelected = [&](RecordingsTableViewController& list) {
        window().layoutIfNeeded();
        EXPECT_FALSE(list.tableView()->indexPathForSelectedRow());
        for (const auto& cell : list.tableView()->visibleCells()) {
            EXPECT_FALSE(cell->isSelected()) << "highlighted: " << cell->textLabel().text();
            if (auto row = std::dynamic_pointer_cast<RecordingTableViewCell>(cell)) {
                EXPECT_FALSE(row->titleLabel()->isHighlighted());
            }
        }
    };

    // The chosen row shows the selection's look, white text included, while its screen slides in.
    choose(*m_recordings, memo);
    advance(0.2);
    ASSERT_TRUE(cellOf(*m_recordings, memo));
    EXPECT_TRUE(cellOf(*m_recordings, memo)->isSelected());
    for (const auto& label : { cellOf(*m_recordings, memo)->titleLabel(), cellOf(*m_recordings, memo)->dateLabel() })
        EXPECT_TRUE(label->isHighlighted());
    advance(0.4);
    // Back: the chosen row is no longer chosen.
    navigationOf(*m_recordings).popViewControllerAnimated(true);
    advance(0.6);
    noneSelected(*m_recordings);

    open(memo);
    playFor(0.5);
    tap(*screen().deleteButton());
    EXPECT_EQ(memo->location(), 2);
    EXPECT_EQ(row(memo->key())->location, 2);
    EXPECT_FALSE(player().isRunning());
    advance(0.6);
    EXPECT_EQ(navigationOf(*m_recordings).topViewController(), m_recordings);
    EXPECT_EQ(badge(), 1) << "the trash is not counted";
    // The memo that moved up into the row is not shown as chosen.
    ASSERT_EQ(m_recordings->recordingForIndexPath({ 0, 0 }), older);
    noneSelected(*m_recordings);

    choose(*m_trash, memo);
    advance(0.6);
    auto& trashScreen = *m_trash->player();
    EXPECT_FALSE(trashScreen.restoreButton()->isHidden());
    EXPECT_TRUE(trashScreen.deleteButton()->isHidden());
    // Restored while it plays: the sound ends with the screen.
    tap(*trashScreen.playPauseButton());
    advance(0.3);
    ASSERT_TRUE(trashScreen.audioPlayer()->isRunning());
    tap(*trashScreen.restoreButton());
    EXPECT_FALSE(trashScreen.audioPlayer()->isRunning());
    EXPECT_EQ(memo->location(), 1);
    EXPECT_EQ(row(memo->key())->location, 1);
    advance(0.6);
    EXPECT_EQ(navigationOf(*m_trash).topViewController(), m_trash);
    noneSelected(*m_trash);
}

TEST_F(PlaybackTest, BackLeavesTheSoundPlayingAndOnlyAnotherRecordingStopsIt)
{
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 3.0);
    auto other = makeFiledRecording("Other", 2.0);
    const auto sound = soundOf(memo, 3.0);
    open(memo);
    device().clearSpeakerSamples();
    playFor(0.5);

    navigationOf(*m_recordings).popViewControllerAnimated(true);
    advance(0.6);
    EXPECT_FALSE(delegate().tabBarController()->isTabBarHidden());
    EXPECT_TRUE(player().isRunning());
    // The list shows the playing memo as played, the other one still new.
    ASSERT_TRUE(cellOf(*m_recordings, memo));
    EXPECT_FALSE(cellOf(*m_recordings, memo)->image());
    EXPECT_EQ(cellOf(*m_recordings, other)->image(), image("new.png"));
    EXPECT_EQ(badge(), 1);
    choose(*m_recordings, memo);
    EXPECT_TRUE(player().isRunning()) << "the same recording chosen again plays on";
    EXPECT_NEAR(screen().playbackSlider()->value(), player().position(), 1e-4) << "the slider shows where the sound is, not 0";
    advance(0.6);
    EXPECT_EQ(playPauseImage(), image("pause.png"));
    advance(2.5);
    EXPECT_EQ(device().speakerSamples(), sound) << "one playback, never restarted";
    EXPECT_EQ(memo->playCount(), 1);

    playFor(0.5);
    navigationOf(*m_recordings).popViewControllerAnimated(true);
    advance(0.6);
    open(other);
    EXPECT_FALSE(player().isRunning());
    EXPECT_EQ(screen().playbackSlider()->value(), 0.0f);
    EXPECT_EQ(screen().titleLabel()->text(), "Other");
}

TEST_F(PlaybackTest, ThePhotoZoomsUnzoomsAndIsUnzoomedAfterLeaving)
{
    launchWithLists();
    auto plain = makeFiledRecording("Plain", 1.0);
    auto pictured = makeFiledRecording("Pictured", 1.0);
    auto picture = gfx::BitmapContext::create(40, 40, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    picture->fillRect(gfx::Rect(0, 0, 40, 40), gfx::Color::rgba(0.9f, 0.5f, 0.1f));
    pictured->setImage(std::make_shared<const std::vector<std::uint8_t>>(picture->makeImage()->pngData()));
    pictured->save();

    open(plain);
    auto& button = *screen().recordingImageButton();
    EXPECT_EQ(button.backgroundImageForState(ui::ControlStateNormal), image("recording_symbol_normal.png"));
    EXPECT_FALSE(button.showsTouchWhenHighlighted());
    tap(button);
    EXPECT_EQ(button.transform(), screen().scaledImageTransform());
    EXPECT_FALSE(button.isUserInteractionEnabled()) << "no second tap while it moves";
    advance(0.7);
    EXPECT_TRUE(button.isUserInteractionEnabled());
    const gfx::Rect zoomed = button.convertRectToView(button.bounds(), screen().recordingContentView().get());
    EXPECT_NEAR(zoomed.width(), 320, 0.01);
    EXPECT_NEAR(zoomed.height(), 297.6, 0.01);
    EXPECT_NEAR(zoomed.midX(), 160, 0.01);
    EXPECT_NEAR(zoomed.midY(), 149, 0.01);
    tap(button);
    advance(0.7);
    EXPECT_TRUE(button.transform().isIdentity());

    navigationOf(*m_recordings).popViewControllerAnimated(true);
    advance(0.6);
    open(pictured);
    EXPECT_NE(button.backgroundImageForState(ui::ControlStateNormal), image("recording_symbol_normal.png"));
    EXPECT_TRUE(button.showsTouchWhenHighlighted());
    tap(button);
    advance(0.7);
    navigationOf(*m_recordings).popViewControllerAnimated(true);
    advance(0.6);
    EXPECT_TRUE(button.transform().isIdentity()) << "unzoomed once it has left";
}

TEST_F(PlaybackTest, AFileThatCannotPlayLeavesThePlayButton)
{
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 1.0);
    foundation::removeItem(audioPath(memo->audioFileName()));
    open(memo);
    tap(*screen().playPauseButton());
    advance(0.5);
    EXPECT_FALSE(player().isRunning());
    EXPECT_EQ(playPauseImage(), image("play.png"));
    EXPECT_EQ(memo->playCount(), 0);
}

TEST_F(PlaybackTest, TheTransportPanelSlidesAwayAndBackAndAMemoryWarningIsLogged)
{
    launchWithLists();
    auto memo = makeFiledRecording("Memo", 1.0);
    open(memo);
    auto& panel = *screen().playbackControlPanel();
    auto& restore = *screen().restoreButton();
    screen().hidePlaybackControls();
    EXPECT_FALSE(panel.isUserInteractionEnabled());
    EXPECT_EQ(panel.transform(), gfx::AffineTransform::makeTranslation(0, 120));
    EXPECT_EQ(restore.transform(), gfx::AffineTransform::makeTranslation(0, 120));
    advance(0.7);
    screen().showPlaybackControls();
    EXPECT_TRUE(panel.isUserInteractionEnabled());
    EXPECT_TRUE(panel.transform().isIdentity());
    EXPECT_TRUE(restore.transform().isIdentity());

    foundation::LogCapture log;
    ui::Application::sharedApplication().raiseMemoryWarning();
    runLoop().runPending();
    EXPECT_TRUE(log.contains("MEMORY WARNING!  Playback"));
}

TEST_F(PlaybackTest, MediaControlsAndKeysActOnTheShownScreen)
{
    launchWithLists();
    auto a = makeFiledRecording("A", 2.0);
    auto b = makeFiledRecording("B", 2.0, 1, 60);
    open(a);
    auto controls = ui::Application::sharedApplication().mediaPlayer();
    ASSERT_EQ(controls.get(), static_cast<ui::MediaPlayer*>(&screen()));
    ASSERT_TRUE(controls->nowPlaying());
    EXPECT_EQ(controls->nowPlaying()->title, "A");
    EXPECT_EQ(controls->nowPlaying()->lengthSeconds, 2.0);
    EXPECT_TRUE(controls->canPlay());
    EXPECT_FALSE(controls->canPause());
    EXPECT_TRUE(controls->canGoNext());
    EXPECT_FALSE(controls->canGoPrevious()) << "A is the first row";

    int changes = 0;
    ui::Application::sharedApplication().setMediaPlayerChangeHandler([&] { ++changes; });
    controls->playPause();
    EXPECT_EQ(controls->playbackStatus(), ui::PlaybackStatus::Playing);
    EXPECT_EQ(playPauseImage(), image("pause.png"));
    EXPECT_GT(changes, 0);
    advance(0.5);
    controls->pause();
    EXPECT_EQ(controls->playbackStatus(), ui::PlaybackStatus::Paused);
    EXPECT_EQ(playPauseImage(), image("play.png"));
    controls->play();
    EXPECT_EQ(controls->playbackStatus(), ui::PlaybackStatus::Playing);
    advance(0.3);
    controls->stop();
    EXPECT_EQ(controls->playbackStatus(), ui::PlaybackStatus::Stopped);
    EXPECT_EQ(screen().playbackSlider()->value(), 0.0f);
    EXPECT_EQ(controls->position(), 0);

    // Seeking: while it plays the sound moves there; paused, the place waits for the play;
    // stopped there is nothing to seek in.
    EXPECT_FALSE(controls->canSeek());
    device().clearSpeakerSamples();
    controls->play();
    advance(0.3);
    ASSERT_TRUE(controls->canSeek());
    controls->seekTo(1.5);
    EXPECT_EQ(screen().playbackSlider()->value(), 1.5f);
    advance(0.2);
    EXPECT_EQ(controls->playbackStatus(), ui::PlaybackStatus::Playing);
    EXPECT_NEAR(controls->position(), 1.7, 0.11);
    controls->pause();
    controls->seekTo(0.5);
    EXPECT_EQ(controls->playbackStatus(), ui::PlaybackStatus::Paused);
    EXPECT_TRUE(screen().playbackPositionAdjustedWhilePaused());
    controls->play();
    advance(0.2);
    EXPECT_NEAR(controls->position(), 0.7, 0.11);
    controls->stop();
    controls->seekTo(1.0);
    EXPECT_EQ(screen().playbackSlider()->value(), 0.0f);

    // Next steps down the list as the skip button does; there is nothing after B.
    controls->next();
    advance(0.7);
    EXPECT_EQ(screen().currentRecording(), b);
    EXPECT_EQ(controls->nowPlaying()->title, "B");
    EXPECT_FALSE(controls->canGoNext());
    EXPECT_TRUE(controls->canGoPrevious());

    // Space plays and pauses; Delete moves the shown memo to the Trash and leaves.
    auto typed = [](const std::string& c) { return ui::KeyCommand { c, std::nullopt, false, false }; };
    EXPECT_TRUE(window().sendKeyCommand(typed(" ")));
    EXPECT_TRUE(player().isRunning());
    window().sendKeyCommand(typed(" "));
    EXPECT_TRUE(player().paused());
    window().sendKey(ui::Key::Delete);
    EXPECT_EQ(b->location(), 2);
    advance(0.6);
    EXPECT_EQ(navigationOf(*m_recordings).topViewController(), m_recordings);

    // In the Trash the screen offers no Delete, and the key does nothing.
    choose(*m_trash, b);
    advance(0.6);
    window().sendKey(ui::Key::Delete);
    EXPECT_EQ(b->location(), 2);
    EXPECT_EQ(navigationOf(*m_trash).topViewController(), m_trash->player());

    // The studio shown again takes the controls back.
    delegate().tabBarController()->setSelectedIndex(0);
    advance(0.5);
    EXPECT_EQ(ui::Application::sharedApplication().mediaPlayer().get(), static_cast<ui::MediaPlayer*>(&studio()));
}

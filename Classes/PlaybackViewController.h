#pragma once

#include "graphics/AffineTransform.h"
#include "ui/MediaPlayer.h"
#include "ui/ViewController.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AudioPlayer;
class ControlPanelView;
class Recording;
class RecordingDataSource;

namespace gfx {
class Image;
}

namespace foundation {
class Notification;
class Timer;
}

namespace ui {
class AlertView;
class Button;
class Label;
class Slider;
class View;
}

/// The screen a list pushes for the chosen recording: its details, playback with pause and
/// seeking, the audio route, trash and restore, stepping to the list's neighbours with a page
/// curl, and the photo zoom.
///
/// The transport state is read from the player each time: stopped (not running), playing
/// (running, not paused) or paused (running and paused). The screen owns its player and hears
/// only that player's start and stop notifications, which arrive on the main run loop; leaving
/// with Back does not stop it. Main thread only.
class PlaybackViewController : public ui::ViewController, public ui::MediaPlayer {
public:
    PlaybackViewController();
    ~PlaybackViewController() override;

    /// The list whose neighbours the screen steps through; not owned (the list owns the screen
    /// and clears this before it goes). Null makes both skip buttons do nothing.
    RecordingDataSource* dataSource() const { return m_dataSource; }
    void setDataSource(RecordingDataSource* dataSource) { m_dataSource = dataSource; }

    const std::shared_ptr<Recording>& currentRecording() const { return m_currentRecording; }
    /// The recording already shown changes nothing (its playback goes on); another one stops
    /// the player and is shown from 0. It never starts playing by itself.
    void setCurrentRecording(std::shared_ptr<Recording> recording);
    const std::shared_ptr<AudioPlayer>& audioPlayer() const { return m_audioPlayer; }

    void refreshDisplayedRecording();
    void playCurrentRecordingFromBeginning();
    void togglePlayback();
    /// Steps to the neighbour with a page curl; false (and nothing changes) at the list's end
    /// or without a data source.
    bool goToNextRecording();
    bool goToPreviousRecording();
    void startTimer();
    void stopTimer();
    void onTimer();
    /// Slide the transport panel and the restore button 120 points down and back.
    void hidePlaybackControls();
    void showPlaybackControls();

    // Actions of the controls.
    void editButtonPressed();
    void recordingImageButtonPressed();
    void deleteButtonPressed();
    void restoreButtonPressed();
    void speakerButtonPressed();
    void playbackSliderSlideStart();
    void playbackSliderSlideStop();
    void playPauseButtonPressed() { togglePlayback(); }
    void skipForwardButtonPressed();
    void skipBackButtonPressed();

    void loadView() override;
    /// The zoomed photo stays in the middle of a wider screen.
    void viewDidLayoutSubviews() override;
    void viewWillAppear(bool animated) override;
    /// Makes this screen the one the desktop's media keys and controls act on.
    void viewDidAppear(bool animated) override;
    /// Space plays or pauses.
    bool performKeyCommand(const ui::KeyCommand& command) override;
    /// Delete does what the Delete button does, where the screen offers it; while the memo
    /// plays or is paused, Left and Right seek 5 s back and on, Home and End to its ends.
    void keyPressed(ui::Key key) override;

    // The media player: each request does what the screen's own control would.
    ui::PlaybackStatus playbackStatus() const override;
    std::shared_ptr<const ui::MediaMetadata> nowPlaying() const override;
    double position() const override;
    bool canPlay() const override;
    bool canPause() const override;
    bool canGoNext() const override;
    bool canGoPrevious() const override;
    bool canSeek() const override;
    void play() override;
    void pause() override;
    /// Stops the sound and puts the slider back to the start.
    void stop() override;
    void next() override { skipForwardButtonPressed(); }
    void previous() override { skipBackButtonPressed(); }
    void seekTo(double seconds) override;
    void viewDidDisappear(bool animated) override;
    void didReceiveMemoryWarning() override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const override;

    bool playbackPositionAdjustedWhilePaused() const { return m_playbackPositionAdjustedWhilePaused; }
    const gfx::AffineTransform& scaledImageTransform() const { return m_scaledImageTransform; }
    const std::shared_ptr<foundation::Timer>& timer() const { return m_timer; }

    // The views, for the lists and tests; null before the view loads.
    const std::shared_ptr<ui::View>& recordingContentView() const { return m_recordingContentView; }
    const std::shared_ptr<ui::Button>& recordingImageButton() const { return m_recordingImageButton; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return m_titleLabel; }
    const std::shared_ptr<ui::Label>& categoryLabel() const { return m_categoryLabel; }
    const std::shared_ptr<ui::Label>& dateLabel() const { return m_dateLabel; }
    const std::shared_ptr<ui::Label>& lengthLabel() const { return m_lengthLabel; }
    const std::shared_ptr<ui::Label>& commentsHeaderLabel() const { return m_commentsHeaderLabel; }
    const std::shared_ptr<ui::Label>& commentsLabel() const { return m_commentsLabel; }
    const std::shared_ptr<ui::Button>& deleteButton() const { return m_deleteButton; }
    const std::shared_ptr<ui::Button>& speakerButton() const { return m_speakerButton; }
    const std::shared_ptr<ui::Button>& restoreButton() const { return m_restoreButton; }
    const std::shared_ptr<ControlPanelView>& playbackControlPanel() const { return m_playbackControlPanel; }
    const std::shared_ptr<ui::Slider>& playbackSlider() const { return m_playbackSlider; }
    const std::shared_ptr<ui::Label>& playTimeLabel() const { return m_playTimeLabel; }
    const std::shared_ptr<ui::Label>& remainingTimeLabel() const { return m_remainingTimeLabel; }
    const std::shared_ptr<ui::Button>& playPauseButton() const { return m_playPauseButton; }
    const std::shared_ptr<ui::Button>& skipForwardButton() const { return m_skipForwardButton; }
    const std::shared_ptr<ui::Button>& skipBackButton() const { return m_skipBackButton; }

private:
    void playerDidStart(const foundation::Notification&);
    void playerDidStop(const foundation::Notification&);
    void transitionDidStop(const std::string& animationID, bool finished, void* context);
    /// Starts the player at seconds and shows what the button now does; a memo that does not
    /// play says so in an alert.
    void playFrom(double seconds);
    void showCannotPlayAlert();
    bool stepTo(const std::shared_ptr<Recording>& recording, ui::ViewAnimationTransition transition);
    void showSpeakerMode(bool speaker);
    void showPlayPauseImage(const char* image);
    void refreshTimeLabels();
    void slidePlaybackControls(float dy);

    RecordingDataSource* m_dataSource { nullptr };
    std::shared_ptr<Recording> m_currentRecording;
    std::shared_ptr<ui::View> m_recordingContentView;
    std::shared_ptr<AudioPlayer> m_audioPlayer;
    std::shared_ptr<ui::Button> m_recordingImageButton;
    std::shared_ptr<ui::Label> m_titleLabel;
    std::shared_ptr<ui::Label> m_categoryLabel;
    std::shared_ptr<ui::Label> m_dateLabel;
    std::shared_ptr<ui::Label> m_lengthLabel;
    std::shared_ptr<ui::Label> m_commentsHeaderLabel;
    std::shared_ptr<ui::Label> m_commentsLabel;
    std::shared_ptr<ui::Button> m_deleteButton;
    std::shared_ptr<ui::Button> m_speakerButton;
    std::shared_ptr<ui::Button> m_restoreButton;
    std::shared_ptr<ControlPanelView> m_playbackControlPanel;
    std::shared_ptr<ui::Slider> m_playbackSlider;
    std::shared_ptr<ui::Label> m_playTimeLabel;
    std::shared_ptr<ui::Label> m_remainingTimeLabel;
    std::shared_ptr<ui::Button> m_playPauseButton;
    std::shared_ptr<ui::Button> m_skipForwardButton;
    std::shared_ptr<ui::Button> m_skipBackButton;
    /// The photo last shown and its decoded picture.
    std::shared_ptr<const std::vector<std::uint8_t>> m_photoBytes;
    std::shared_ptr<gfx::Image> m_photo;
    bool m_playbackPositionAdjustedWhilePaused { false };
    std::shared_ptr<foundation::Timer> m_timer;
    gfx::AffineTransform m_scaledImageTransform;
    std::weak_ptr<ui::AlertView> m_alert;
};

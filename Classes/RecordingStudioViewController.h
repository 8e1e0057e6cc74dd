#pragma once

#include "CarouselView.h"
#include "SoundEffect.h"

#include "ui/AlertView.h"
#include "ui/TextField.h"
#include "ui/ViewController.h"

#include <cstdint>
#include <memory>
#include <string>

class AudioPlayer;
class AudioRecorder;
class ControlPanelView;
class DecibelMeterView;
class Recording;

namespace foundation {
class Timer;
}

namespace ui {
class Button;
class ImageView;
class Label;
class Slider;
}

/// Posted by the default-category chooser after it wrote the "defaultCategory" setting; the
/// studio gives the new default to a recording not yet filed.
extern const char* const PRLVNotificationDefualtCategoryChanged;

/// The studio's states. The application delegate compares the numbers: at termination it
/// keeps the current recording in states 3 to 8, and an interruption sets state 3.
enum StudioState : std::int32_t {
    /// Made; the carousel is being filled.
    StudioStateInitial = 0,
    /// Ready to record.
    StudioStateReady = 1,
    /// Record pressed; the carousel turns to the stop button.
    StudioStateRecordRequested = 2,
    /// The beep, then recording (running or paused).
    StudioStateRecording = 3,
    /// Recording ended; the carousel turns to the small buttons.
    StudioStateRecordStopped = 4,
    /// A recording was made; the small buttons are offered.
    StudioStateRecorded = 5,
    /// Play pressed; the carousel turns to the playback stop button.
    StudioStatePlayRequested = 6,
    /// Playback running or paused.
    StudioStatePlaying = 7,
    /// Playback ended; the carousel turns back to the small buttons.
    StudioStatePlayStopped = 8,
    /// Saved or deleted; the recording symbol leaves and the carousel returns to record.
    StudioStateFinished = 9,
};

/// The Studio tab: the screen on which recordings are made. It holds one current Recording
/// at a time and takes it through ready, record (after a beep), pause and resume, stop, listen
/// back with pause and seeking, then save into My Recordings (asking for a title when the
/// "saveOption" setting says so) or delete into the Trash, after which a fresh recording is
/// begun. Most steps advance when a turn of the four-view carousel ends.
///
/// The studio owns its recorder, its player and three sound effects, and is the delegate of
/// its carousel, of the beep, of the title field and of the interrupted-recording alert. It
/// observes its recorder's and player's queue notifications, the audio-session interruption
/// notifications and the default-category change for its whole life. Made with create();
/// main thread only.
class RecordingStudioViewController : public ui::ViewController,
                                      public CarouselViewDelegate,
                                      public SoundEffect::Delegate,
                                      public ui::TextFieldDelegate,
                                      public ui::AlertViewDelegate {
public:
    /// A studio with a new current recording from the shared library (none when the library
    /// could not make one: the studio then records nothing), its sounds, its recorder and its
    /// player. The settings "soundEffects", "saveOption" and "recordTimer" are read here.
    static std::shared_ptr<RecordingStudioViewController> create();
    ~RecordingStudioViewController() override;

    const std::shared_ptr<Recording>& currentRecording() const { return m_currentRecording; }
    void setCurrentRecording(std::shared_ptr<Recording> recording) { m_currentRecording = std::move(recording); }
    std::int32_t state() const { return m_state; }
    void setState(std::int32_t state) { m_state = state; }
    bool instantStart() const { return m_instantStart; }
    /// When set before the carousel has been filled, recording starts as soon as it has.
    void setInstantStart(bool instantStart) { m_instantStart = instantStart; }

    /// Builds the whole screen: prompt, carousel, and the title, record and playback panels.
    void loadView() override;
    /// Observes the keyboard while the studio is on screen.
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void didReceiveMemoryWarning() override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const override;

    // Actions of the controls.
    void recordButtonPressed();
    void recordStopButtonPressed();
    void recordPauseButtonPressed();
    void playButtonPressed();
    void playStopButtonPressed();
    void playPauseButtonPressed();
    void playbackSliderSlideStart();
    void playbackSliderSlideStop();
    void deleteButtonPressed();
    void saveButtonPressed();

    // Notification handlers.
    /// The recorder is about to stop. A stop ends the recording (state 4, then 5) and stores
    /// its play count, date, length and size; a pause or an interruption only brings the
    /// length and size up to date, so that whatever saves the recording next writes the
    /// truth about its file.
    void recorderWillStop();
    void playerDidStart();
    /// Playback ended (the user's stop or the end of the file): back to the small buttons.
    void playerDidStop();
    /// An audio interruption began: a running or paused recording stops and is held in state 3
    /// (its length and size brought up to date); playback stops and its position is kept. The
    /// interrupted recorder or player is released.
    void audioSessionInterruptionStarting();
    /// The interruption ended: the held recording continues in append mode in a new recorder
    /// (also when it had been paused), or playback continues in a new player where it stopped.
    void audioSessionInterruptionStopping();
    /// A recording not yet filed follows the new default category.
    void defaultCategoryChanged();
    /// The keyboard rises: the title panel rises with it, above the keyboard.
    void keyboardWillShow();
    /// The keyboard has gone after the title entry: the typed title (if any) is taken and the
    /// save completes.
    void keyboardDidHide();

    // Delegate calls.
    void carouselViewDidFinishAnimation(CarouselView* carouselView, int identifier) override;
    /// The beep has ended: recording starts. Other sounds are ignored.
    void soundEffectDidFinishPlaying(SoundEffect* soundEffect) override;
    /// The title field's return key ends the title entry; other fields are only answered.
    bool textFieldShouldReturn(ui::TextField& textField) override;
    /// "Yes" (index 1) on the interrupted-recording alert continues that recording.
    void alertViewClickedButtonAtIndex(ui::AlertView& alertView, int buttonIndex) override;

    /// Offers to continue recording, in append mode, a recording that an interruption cut
    /// off in an earlier run: an alert asks "No" or "Yes".
    void resolveInterruptedRecording(std::shared_ptr<Recording> recording);
    /// Continues recording into recording's own file at once, without asking: the fresh
    /// current recording is deleted and recording becomes the current one.
    void appendToRecording(std::shared_ptr<Recording> recording);

    void loadSounds();
    void onRecordTimer();
    void onPlaybackTimer();
    /// The record panel rises (by 80 with the timer, else 60) and the level meter follows the
    /// recorder.
    void showRecordControlPanel();
    void hideRecordControlPanel();
    /// The playback panel rises by 60, its slider set to the recording's length.
    void showPlaybackControlPanel();
    void hidePlaybackControlPanel();
    void startRecordTimer();
    void stopRecordTimer();
    void startPlaybackTimer();
    void stopPlaybackTimer();

    // The screen's elements (null before the view is loaded).
    const std::shared_ptr<ui::Label>& promptLabel() const { return m_promptLabel; }
    const std::shared_ptr<ui::Button>& recordButton() const { return m_recordButton; }
    const std::shared_ptr<ui::Button>& recordStopButton() const { return m_recordStopButton; }
    const std::shared_ptr<ui::Button>& playStopButton() const { return m_playStopButton; }
    const std::shared_ptr<ui::View>& multiFunctionButton() const { return m_multiFunctionButton; }
    const std::shared_ptr<ui::Button>& smallRecordButton() const { return m_smallRecordButton; }
    const std::shared_ptr<ui::Button>& smallPlayButton() const { return m_smallPlayButton; }
    const std::shared_ptr<ui::Button>& smallDeleteButton() const { return m_smallDeleteButton; }
    const std::shared_ptr<ui::Button>& smallSaveButton() const { return m_smallSaveButton; }
    const std::shared_ptr<ui::ImageView>& recordingSymbolImageView() const { return m_recordingSymbolImageView; }
    const std::shared_ptr<CarouselView>& carousel() const { return m_carousel; }
    const std::shared_ptr<ControlPanelView>& normalControlPanel() const { return m_normalControlPanel; }
    const std::shared_ptr<ControlPanelView>& recordControlPanel() const { return m_recordControlPanel; }
    const std::shared_ptr<ControlPanelView>& playbackControlPanel() const { return m_playbackControlPanel; }
    const std::shared_ptr<ui::TextField>& titleTextField() const { return m_titleTextField; }
    const std::shared_ptr<DecibelMeterView>& decibelMeter() const { return m_decibelMeter; }
    const std::shared_ptr<ui::Label>& recordTimerLabel() const { return m_recordTimerLabel; }
    const std::shared_ptr<ui::Button>& recordPauseButton() const { return m_recordPauseButton; }
    const std::shared_ptr<ui::Button>& playPauseButton() const { return m_playPauseButton; }
    const std::shared_ptr<ui::Slider>& playbackSlider() const { return m_playbackSlider; }
    const std::shared_ptr<ui::Label>& playTimeLabel() const { return m_playTimeLabel; }
    const std::shared_ptr<ui::Label>& remainingTimeLabel() const { return m_remainingTimeLabel; }

    /// Null between the start and the end of an interruption that released it.
    const std::shared_ptr<AudioRecorder>& recorder() const { return m_recorder; }
    const std::shared_ptr<AudioPlayer>& player() const { return m_player; }
    const std::shared_ptr<SoundEffect>& beepSound() const { return m_beepSound; }
    const std::string& saveOption() const { return m_saveOption; }
    bool showRecordTimer() const { return m_showRecordTimer; }
    bool recordTimerRunning() const { return m_recordTimer != nullptr; }
    bool playbackTimerRunning() const { return m_playbackTimer != nullptr; }

private:
    RecordingStudioViewController();

    void setPrompt(const char* key);
    void setPlayingPrompt();
    /// "Wait Prompt" when a beep will sound first, else "Record Starting Prompt".
    void setRecordRequestedPrompt();
    /// Whether a beep will report its end (sound effects on and the beep loaded).
    bool beepWillReport() const;
    /// Starts the recorder on the current recording's file: appending when a continuation
    /// was asked for, else replacing the file.
    void startRecording();
    /// Takes the length and size of the current recording from what the recorder has
    /// written so far.
    void takeLengthAndSizeFromRecorder();
    void makeRecorder();
    void makePlayer();
    void releaseRecorder();
    void releasePlayer();
    /// The studio's reaction to a save or a delete that has been written: the small buttons
    /// flip into the recording symbol (transition 1 after a save, 2 after a delete).
    void finishSaveOrDelete(ui::ViewAnimationTransition transition);
    void beginTitleEntry();
    /// A 0.3- or 0.6-s slide of panel by dy (a translation added to its transform).
    void slidePanel(ui::View& panel, float dy, double duration);

    std::shared_ptr<Recording> m_currentRecording;
    std::int32_t m_state { StudioStateInitial };
    bool m_instantStart { false };

    std::shared_ptr<ui::Label> m_promptLabel;
    std::shared_ptr<ui::Button> m_recordButton;
    std::shared_ptr<ui::Button> m_recordStopButton;
    std::shared_ptr<ui::Button> m_playStopButton;
    std::shared_ptr<ui::View> m_multiFunctionButton;
    std::shared_ptr<ui::Button> m_smallRecordButton;
    std::shared_ptr<ui::Button> m_smallPlayButton;
    std::shared_ptr<ui::Button> m_smallDeleteButton;
    std::shared_ptr<ui::Button> m_smallSaveButton;
    std::shared_ptr<ui::ImageView> m_recordingSymbolImageView;
    std::shared_ptr<CarouselView> m_carousel;
    std::shared_ptr<ControlPanelView> m_normalControlPanel;
    std::shared_ptr<ControlPanelView> m_recordControlPanel;
    std::shared_ptr<ControlPanelView> m_playbackControlPanel;
    std::shared_ptr<ui::TextField> m_titleTextField;
    std::shared_ptr<DecibelMeterView> m_decibelMeter;
    std::shared_ptr<ui::Label> m_recordTimerLabel;
    std::shared_ptr<ui::Button> m_recordPauseButton;
    std::shared_ptr<ui::Button> m_playPauseButton;
    std::shared_ptr<ui::Slider> m_playbackSlider;
    std::shared_ptr<ui::Label> m_playTimeLabel;
    std::shared_ptr<ui::Label> m_remainingTimeLabel;
    /// The interrupted-recording alert while it is shown (it keeps itself alive).
    std::weak_ptr<ui::AlertView> m_alert;

    std::shared_ptr<SoundEffect> m_beepSound;
    std::shared_ptr<SoundEffect> m_crumpleSound;
    std::shared_ptr<SoundEffect> m_saveSound;
    bool m_soundEffectsOn { false };
    std::shared_ptr<AudioRecorder> m_recorder;
    std::shared_ptr<AudioPlayer> m_player;

    bool m_editorShown { false };
    bool m_playbackPositionAdjustedWhilePaused { false };
    bool m_recorderInterrupted { false };
    // Record was pressed and the recorder has not been started yet (the carousel is turning
    // or the beep is playing). An interruption in that span starts the recording when it ends.
    bool m_recordingPending { false };
    bool m_playerInterrupted { false };
    float m_playerInterruptedPosition { 0 };
    /// The recording to continue at the next start of recording; not owned.
    std::weak_ptr<Recording> m_appendingToRecording;

    std::shared_ptr<foundation::Timer> m_playbackTimer;
    std::shared_ptr<foundation::Timer> m_recordTimer;
    std::string m_saveOption;
    bool m_showRecordTimer { true };
};

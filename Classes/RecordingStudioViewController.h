#pragma once

#include "CarouselView.h"
#include "SoundEffect.h"

#include "ui/AlertView.h"
#include "ui/MediaPlayer.h"
#include "ui/TextField.h"
#include "ui/ViewController.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AudioPlayer;
class AudioRecorder;
class ControlPanelView;
class DecibelMeterView;
class Recording;

namespace foundation {
class Notification;
class Timer;
}

namespace ui {
class Button;
class ImageView;
class Label;
class Slider;
}

/// The studio's states. The application delegate compares the numbers: at termination it
/// keeps the current recording with sound in states 2 to 8.
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

/// Everything that can happen to the studio: the user's taps, the carousel's reports, the
/// beep's end, the audio queues' notifications, the audio session's interruptions and the
/// launch alert's answer. Each is looked up in the studio's one transition table.
enum class StudioEvent {
    CarouselFilled,
    TurnEnded,
    SymbolFlipped,
    SymbolPopped,
    RecordTapped,
    RecordStopTapped,
    RecordPauseTapped,
    PlayTapped,
    PlayStopTapped,
    PlayPauseTapped,
    SlideStarted,
    SlideEnded,
    SaveTapped,
    DeleteTapped,
    TitleEntered,
    EditTapped,
    EditorClosed,
    BeepEnded,
    RecorderWillStop,
    RecorderDidNotStart,
    PlayerDidStart,
    PlayerDidStop,
    InterruptionBegan,
    InterruptionEnded,
    ContinueInterruptedRecording,
};

/// The Studio tab: the screen on which recordings are made. It holds one current Recording
/// at a time and takes it through ready, record (after a beep), pause and resume, stop, listen
/// back with pause and seeking, then save into My Recordings (asking for a title, or handing
/// the recording to the details editor, when the "saveOption" setting says so) or delete into
/// the Trash, after which a fresh recording is begun. Most steps advance when a turn of the four-view carousel ends.
///
/// Every action, notification and delegate call becomes a StudioEvent and goes through one
/// table of transitions (see the .cpp): in a given state, and under an optional condition, an
/// event takes effect or waits for the carousel's turn to end; an event that the table does
/// not list for the state is ignored, and the controls that would send it are disabled. An
/// audio interruption holds the audio (the recorder or the player is released and taken up
/// again when it ends) but never the state: taps still work during it, so the studio can
/// always be brought back to ready.
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
                                      public ui::AlertViewDelegate,
                                      public ui::MediaPlayer {
public:
    /// A studio with a new current recording from the shared library (none when the library
    /// could not make one: the studio then records nothing), its sounds, its recorder and its
    /// player. The settings "soundEffects", "saveOption" and "recordTimer" are read here.
    static std::shared_ptr<RecordingStudioViewController> create();
    ~RecordingStudioViewController() override;

    const std::shared_ptr<Recording>& currentRecording() const { return m_currentRecording; }
    /// The state is the studio's own: only its events move it.
    std::int32_t state() const { return m_state; }
    bool instantStart() const { return m_instantStart; }
    /// When set before the carousel has been filled, recording starts as soon as it has.
    void setInstantStart(bool instantStart) { m_instantStart = instantStart; }

    /// Builds the whole screen: prompt, carousel, and the title, record and playback panels.
    void loadView() override;
    void viewDidLayoutSubviews() override;
    /// Observes the keyboard while the studio is on screen. Back from the details editor that
    /// Save opened, the save completes.
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void didReceiveMemoryWarning() override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const override;

    /// Applies event as the transition table says for the current state: it takes effect,
    /// waits for the carousel's turn to end, or is ignored.
    void handleEvent(StudioEvent event);

    // Actions of the controls.
    void recordButtonPressed() { handleEvent(StudioEvent::RecordTapped); }
    /// Stops the recording; before the recorder has started (the turn or the beep) the
    /// recording is called off and nothing is written.
    void recordStopButtonPressed() { handleEvent(StudioEvent::RecordStopTapped); }
    void recordPauseButtonPressed() { handleEvent(StudioEvent::RecordPauseTapped); }
    void playButtonPressed() { handleEvent(StudioEvent::PlayTapped); }
    void playStopButtonPressed() { handleEvent(StudioEvent::PlayStopTapped); }
    void playPauseButtonPressed() { handleEvent(StudioEvent::PlayPauseTapped); }
    void playbackSliderSlideStart() { handleEvent(StudioEvent::SlideStarted); }
    void playbackSliderSlideStop() { handleEvent(StudioEvent::SlideEnded); }
    void deleteButtonPressed() { handleEvent(StudioEvent::DeleteTapped); }
    /// With "autoSave", or after Edit, saves at once; with "titleEditor" asks for the title;
    /// with any other "saveOption" files the recording and hands it to the details editor,
    /// whose Done saves it.
    void saveButtonPressed() { handleEvent(StudioEvent::SaveTapped); }
    /// The navigation bar's Edit item: the details editor edits the current recording, and
    /// until the next recording a save saves at once and a new default category leaves the
    /// recording alone.
    void editButtonPressed() { handleEvent(StudioEvent::EditTapped); }

    // Notification handlers.
    /// The recorder is about to stop. A stop ends the recording (state 4, then 5) and stores
    /// its play count, date, length and size; a pause or an interruption only brings the
    /// length and size up to date, so that whatever saves the recording next writes the
    /// truth about its file.
    void recorderWillStop() { handleEvent(StudioEvent::RecorderWillStop); }
    /// The recorder's file is complete: what a sound card handed over after the will-stop is
    /// in it, so the recording takes the file's length and size (and is saved when filed).
    void recorderDidStop();
    void playerDidStart() { handleEvent(StudioEvent::PlayerDidStart); }
    /// Playback ended (the user's stop or the end of the file): back to the small buttons.
    void playerDidStop() { handleEvent(StudioEvent::PlayerDidStop); }
    /// An audio interruption began: a running or paused recording stops and is held in state 3
    /// (its length and size brought up to date); playback stops and its position is kept. The
    /// interrupted recorder or player is released. Audio asked for during the interruption
    /// (a turn ending, a beep ending) waits for its end.
    void audioSessionInterruptionStarting() { handleEvent(StudioEvent::InterruptionBegan); }
    /// The interruption ended: the held recording continues in append mode in a new recorder
    /// (also when it had been paused), a recording that had not started yet starts, and
    /// playback continues in a new player where it stopped.
    void audioSessionInterruptionStopping() { handleEvent(StudioEvent::InterruptionEnded); }
    /// A recording not yet filed follows the new default category.
    void defaultCategoryChanged();
    /// The keyboard rises while the title is entered: the title panel rises as far as the keys
    /// need (the notification's keyboard frame), so that it stands on them, or on the screen's
    /// bottom edge where no keys are drawn. A new height (the system's keys) moves it again.
    void keyboardWillShow(const foundation::Notification& notification);
    /// The keyboard has gone: after a title entry the typed title (if any) is taken and the
    /// save completes.
    void keyboardDidHide() { handleEvent(StudioEvent::TitleEntered); }

    // Delegate calls.
    void carouselViewDidFinishAnimation(CarouselView* carouselView, int identifier) override;
    /// The beep has ended: recording starts. Other sounds are ignored.
    void soundEffectDidFinishPlaying(SoundEffect* soundEffect) override;
    /// The title field's return key ends the title entry; other fields are only answered.
    bool textFieldShouldReturn(ui::TextField& textField) override;
    /// "Yes" (index 1) on the interrupted-recording alert continues that recording; while the
    /// carousel is still being filled, once it has been.
    void alertViewClickedButtonAtIndex(ui::AlertView& alertView, int buttonIndex) override;

    /// Space plays or pauses the recording just made; R starts or stops recording. Each does
    /// what the button on the screen does, and nothing where that button is not offered.
    bool performKeyCommand(const ui::KeyCommand& command) override;
    /// While the recording just made plays or is paused: Left and Right seek 5 s back and on,
    /// Home and End to the start and the end.
    void keyPressed(ui::Key key) override;

    // The desktop's media controls: the recording just made, as the small buttons play it.
    ui::PlaybackStatus playbackStatus() const override;
    std::shared_ptr<const ui::MediaMetadata> nowPlaying() const override;
    double position() const override;
    bool canPlay() const override;
    bool canPause() const override;
    bool canSeek() const override;
    void seekTo(double seconds) override;
    void play() override;
    void pause() override;
    void stop() override;

    /// Offers to continue recording, in append mode, a recording that an interruption cut
    /// off in an earlier run: an alert asks "No" or "Yes".
    void resolveInterruptedRecording(std::shared_ptr<Recording> recording);
    /// Continues recording into recording's own file, without asking: the fresh current
    /// recording is deleted and recording becomes the current one. Only a ready studio does
    /// this (at once, or when the carousel has been filled); in any other state the studio's
    /// recording is not given up and the call is ignored.
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
    /// An audio interruption has begun and not ended yet.
    bool interrupted() const { return m_interrupted; }
    /// The slider was moved while playback was paused: the next play press starts there.
    bool playbackPositionAdjustedWhilePaused() const { return m_playbackPositionAdjustedWhilePaused; }
    /// The title field is being edited for a save.
    bool enteringTitle() const { return m_enteringTitle; }
    /// The details editor was opened with Edit for the current recording.
    bool editorShown() const { return m_editorShown; }
    /// The details editor was opened by Save; its closing completes the save.
    bool finalEditActive() const { return m_finalEditActive; }
    /// Record was pressed and the recorder has not started yet.
    bool recordingRequested() const { return m_recordingPending; }
    /// A turn of the carousel asked for by the studio has not ended yet.
    bool turning() const { return m_turning; }

private:
    RecordingStudioViewController();

    using Condition = bool (RecordingStudioViewController::*)() const;
    using Effect = void (RecordingStudioViewController::*)();
    /// One row of the transition table: in the states of the mask (bit n for state n), when
    /// the condition holds (none: always), the event has the effect; a row without an effect
    /// makes the event wait for the carousel's turn to end.
    struct Transition {
        StudioEvent event;
        std::uint32_t states;
        Condition condition;
        Effect effect;
    };
    static const std::vector<Transition>& transitions();
    /// Runs the events that waited for a turn, now that it has ended.
    void runWaitingEvents();
    /// Enables exactly the controls whose events take effect now.
    void updateControls();

    // Conditions of the table.
    /// Record was pressed and the recorder has not started yet.
    bool recorderStarting() const;
    /// The recorder may start now: it has not yet, and no interruption holds it.
    bool recordingMayStart() const;
    /// The recorder runs or is paused.
    bool recorderActive() const;
    /// A stop of the recorder that does not end the recording (a pause or an interruption).
    bool recorderOnlyHalts() const;
    /// An interruption released the recorder of a recording under way.
    bool recordingHeld() const;
    bool playerActive() const;
    bool notInterrupted() const { return !m_interrupted; }
    bool notEnteringTitle() const { return !m_enteringTitle; }
    float titlePanelRise(const foundation::Notification& notification);
    /// A save needs no title entry ("autoSave", or the details editor was shown).
    bool savesAtOnce() const;
    /// A save asks for the title in the studio ("titleEditor").
    bool savesWithTitleEntry() const;
    /// The Edit item may open the details editor now.
    bool editorMayOpen() const;
    /// The recorder stopped itself because its file could not be written.
    bool recorderWriteFailed() const;

    // Effects of the table.
    void becomeReady();
    void requestRecording();
    void turnedToRecordStop();
    void holdRecordingRequest();
    void startRecording();
    void cancelRecording();
    void pauseOrResumeRecording();
    void stopRecorder();
    /// Takes the length and size of the current recording from what the recorder has
    /// written so far.
    void takeLengthAndSizeFromRecorder();
    void finishRecording();
    /// The recorder did not start a fresh recording: back to ready, and the user is told.
    void abandonRecording();
    /// The recorder did not go on with a recording: it ends with what it has, and the user is told.
    void finishRecordingAfterFailure();
    /// A write into the file failed (a full disk): the recording ends with what was written,
    /// is filed in My Recordings, and the user is told.
    void finishRecordingAfterWriteFailure();
    void turnedToSmallButtons();
    void requestPlayback();
    void turnedToPlayStop();
    void holdPlaybackRequest();
    void pauseOrResumePlayback();
    void beginSeek();
    void endSeek();
    void stopPlayer();
    void finishPlayback();
    void saveNow();
    void beginTitleEntry();
    void completeTitledSave();
    void showEditor();
    void beginFinalEdit();
    void completeFinalEdit();
    void trashRecording();
    void popSymbol();
    void turnBackToRecord();
    void becomeReadyAfterFinish();
    void holdRecording();
    void holdPlayback();
    void markInterrupted();
    void startHeldRecording();
    void continueRecording();
    void continuePlayback();
    void markInterruptionEnded();
    void continueInterruptedRecording();
    void ignore() { }

    /// Turns the carousel to view; a turn that has to move marks the carousel turning until
    /// its end is reported.
    void turnTo(const std::shared_ptr<ui::View>& view, CarouselRotationStyle style);
    /// Plays the current recording from seconds in the studio's player (made when needed); a
    /// recording whose file does not play says so in an alert naming it.
    void playFrom(double seconds);
    /// The recorder that the studio starts or continues; made when an interruption released it.
    AudioRecorder& ensureRecorder();
    /// Whether the recorder runs after a start; if not, the failure is handled as an event.
    bool recorderStarted();
    /// "Recording Failed Prompt Title": the recording could not start or go on.
    void showRecordingFailedAlert();
    /// An alert with the texts of the two keys and an OK button.
    void showAlert(const char* titleKey, const char* messageKey);
    /// Writes recording again after a few seconds, and less often the longer it takes, until
    /// its row is written (a full disk refused it), so that it reaches the lists without a Save
    /// or a restart.
    void fileWhenPossible(const std::shared_ptr<Recording>& recording);
    void scheduleFileRetry();
    void retryFiling();
    /// An alert with the title key's text and the message key's text as a format filled with
    /// the current recording's title.
    void showAlertNamingRecording(const char* titleKey, const char* messageKey);
    /// Writes the current recording after its location was set; when the write failed the
    /// recording gets its previous location back (and keeps its title), the user is told, and
    /// the answer is false.
    bool saveCurrentRecording(std::int32_t previousLocation);
    void setPrompt(const char* key);
    void setPlayingPrompt();
    /// "Wait Prompt" when a beep will sound first, else "Record Starting Prompt".
    void setRecordRequestedPrompt();
    /// Whether a beep will report its end (sound effects on and the beep loaded).
    bool beepWillReport() const;
    void makeRecorder();
    void makePlayer();
    void releaseRecorder();
    void releasePlayer();
    /// The studio's reaction to a save or a delete that has been written: the recording leaves
    /// the studio at once (a fresh one becomes current, so nothing the studio does later can
    /// reach the filed one) and the small buttons flip into the recording symbol (transition 1
    /// after a save, 2 after a delete).
    void finishSaveOrDelete(ui::ViewAnimationTransition transition);
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
    std::shared_ptr<foundation::Timer> m_fileRetryTimer;
    std::weak_ptr<Recording> m_unfiledRecording;
    double m_fileRetryDelay { 0 };

    std::shared_ptr<SoundEffect> m_beepSound;
    std::shared_ptr<SoundEffect> m_crumpleSound;
    std::shared_ptr<SoundEffect> m_saveSound;
    bool m_soundEffectsOn { false };
    std::shared_ptr<AudioRecorder> m_recorder;
    std::shared_ptr<AudioPlayer> m_player;

    bool m_editorShown { false };
    bool m_finalEditActive { false };
    bool m_enteringTitle { false };
    /// How far the title panel has risen above its place at rest.
    float m_titlePanelRise { 0 };
    bool m_playbackPositionAdjustedWhilePaused { false };
    /// Between an interruption's start and its end.
    bool m_interrupted { false };
    /// Record was pressed and the recorder has not been started yet (the carousel is turning,
    /// the beep is playing, or an interruption holds the start).
    bool m_recordingPending { false };
    float m_playerInterruptedPosition { 0 };
    /// Where the recording that just left went (1 My Recordings, 2 Trash): the symbol's way out.
    std::int32_t m_finishedLocation { 0 };
    // Where the recording was before Save asked for its title or opened the editor; it goes
    // back there when the save fails.
    std::int32_t m_locationBeforeSave { 0 };
    /// A turn asked for by the studio has not reported its end yet.
    bool m_turning { false };
    /// The recording that the launch alert's "Yes" continues; not owned.
    std::weak_ptr<Recording> m_recordingToContinue;
    /// Events that wait for the carousel's turn to end.
    std::vector<StudioEvent> m_waitingEvents;
    /// The recording to continue at the next start of recording; not owned.
    std::weak_ptr<Recording> m_appendingToRecording;
    /// The recording whose file the recorder writes or last wrote.
    std::weak_ptr<Recording> m_recordedRecording;

    std::shared_ptr<foundation::Timer> m_playbackTimer;
    std::shared_ptr<foundation::Timer> m_recordTimer;
    std::string m_saveOption;
    bool m_showRecordTimer { true };
};

#include "RecordingStudioViewController.h"

#include "AudioPlayer.h"
#include "AudioRecorder.h"
#include "ControlPanelView.h"
#include "DecibelMeterView.h"
#include "DefaultCategorySelectionTableViewController.h"
#include "DetailsEditorViewController.h"
#include "HelperMethods.h"
#include "ParlivoAppDelegate.h"
#include "Recording.h"
#include "RecordingLibrary.h"

#include "foundation/Bundle.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/StringFormat.h"
#include "foundation/UserDefaults.h"
#include "ui/Application.h"
#include "ui/BarButtonItem.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Keyboard.h"
#include "ui/Label.h"
#include "ui/Slider.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <utility>

namespace {

// Panel slides: the record panel shows its meter and timer (80) or only its meter (60); the
// playback panel shows whole (60); the title panel rises until it stands on the keyboard, or
// on the bottom edge where no keys cover the screen (titlePanelRise).
constexpr float kRecordPanelRiseWithTimer = 80;
constexpr float kRecordPanelRise = 60;
constexpr float kPlaybackPanelRise = 60;
constexpr double kPanelSlideDuration = 0.6;
// The carousel's place on the screen as designed, whose studio shows 367 points tall.
const gfx::Rect kCarouselFrame { 0, 40, 320, 310 };
constexpr float kShownHeight = 367;
constexpr double kTitlePanelSlideDuration = 0.3;
// When a recording whose row a full disk refused is written again: after 2 s, then after
// twice as long each time, at most every 30 s.
constexpr double kFirstFileRetryDelay = 2.0;
constexpr double kLastFileRetryDelay = 30.0;

// Alert button indices.
constexpr int kAlertYes = 1;

// Recording locations.
constexpr std::int32_t kLocationMyRecordings = 1;
constexpr std::int32_t kLocationTrash = 2;

const gfx::Color kPromptColor = gfx::Color::grey(0.8f, 0.9f);

std::string text(const char* key)
{
    return foundation::localizedString(key);
}

foundation::UserDefaults& defaults()
{
    return foundation::UserDefaults::standardUserDefaults();
}

const void* queueObject(const std::shared_ptr<AudioRecorder>& recorder)
{
    return static_cast<const AudioQueueObject*>(recorder.get());
}

const void* queueObject(const std::shared_ptr<AudioPlayer>& player)
{
    return static_cast<const AudioQueueObject*>(player.get());
}

// The panel buttons show only a picture; a screen reader says what it does.
const char* buttonNameForImage(std::string_view image)
{
    if (image == "pause.png")
        return "Pause Button Name";
    if (image == "play.png")
        return "Play Button Name";
    return "Resume Recording Button Name";
}

void setImage(ui::Button& button, const char* image)
{
    button.setImageForState(ui::imageNamed(image), ui::ControlStateNormal);
    button.setAccessibilityName(text(buttonNameForImage(image)));
}

std::shared_ptr<ui::Button> largeButton(const char* image)
{
    auto button = std::make_shared<ui::Button>(gfx::Rect(0, 0, 164, 164));
    button->setBackgroundImageForState(ui::imageNamed(image), ui::ControlStateNormal);
    return button;
}

std::shared_ptr<ui::Button> smallButton(const gfx::Rect& frame, const char* normal, const char* highlighted, const char* title,
    ui::EdgeInsets insets)
{
    auto button = std::make_shared<ui::Button>(frame);
    button->setBackgroundImageForState(ui::imageNamed(normal), ui::ControlStateNormal);
    button->setBackgroundImageForState(ui::imageNamed(highlighted), ui::ControlStateHighlighted);
    button->setTitleForState(text(title), ui::ControlStateNormal);
    button->setFont(gfx::Font::systemFont(12));
    button->setTitleEdgeInsets(insets);
    return button;
}

// The record-pause and play-pause buttons: a white picture that glows when touched.
std::shared_ptr<ui::Button> panelButton(const gfx::Rect& frame)
{
    auto button = std::make_shared<ui::Button>(frame);
    setImage(*button, "pause.png");
    button->setShowsTouchWhenHighlighted(true);
    button->setBackgroundColor(gfx::Color::clear());
    return button;
}

std::shared_ptr<ui::Label> timeLabel(const gfx::Rect& frame, const std::string& value)
{
    auto label = std::make_shared<ui::Label>(frame);
    label->setText(value);
    label->setTextColor(gfx::Color::white());
    label->setBackgroundColor(gfx::Color::clear());
    label->setFont(gfx::Font::boldSystemFont(12));
    label->setTextAlignment(gfx::TextAlignment::Center);
    return label;
}

} // namespace

// Creation

std::shared_ptr<RecordingStudioViewController> RecordingStudioViewController::create()
{
    std::shared_ptr<RecordingStudioViewController> studio(new RecordingStudioViewController());
    // The beep reports to the studio, which needs a shared owner to be named as its delegate.
    studio->loadSounds();
    return studio;
}

RecordingStudioViewController::RecordingStudioViewController()
{
    m_currentRecording = RecordingLibrary::sharedLibrary().newRecording();
    setTitle(text("Studio"));
    tabBarItem()->setImage(ui::imageNamed("microphone.png"));

    m_soundEffectsOn = defaults().boolForKey("soundEffects");
    m_saveOption = defaults().stringForKey("saveOption").value_or("");
    m_showRecordTimer = defaults().boolForKey("recordTimer");

    makeRecorder();
    makePlayer();
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, PRLVNotificationAudioSessionInterruptionStarting, nullptr,
        [this](const foundation::Notification&) { audioSessionInterruptionStarting(); });
    center.addObserver(this, PRLVNotificationAudioSessionInterruptionStopping, nullptr,
        [this](const foundation::Notification&) { audioSessionInterruptionStopping(); });
    center.addObserver(this, PRLVNotificationDefualtCategoryChanged, nullptr,
        [this](const foundation::Notification&) { defaultCategoryChanged(); });
}

RecordingStudioViewController::~RecordingStudioViewController()
{
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
    stopRecordTimer();
    stopPlaybackTimer();
    if (m_fileRetryTimer)
        m_fileRetryTimer->invalidate();
    if (m_titleTextField)
        m_titleTextField->setDelegate(nullptr);
    if (auto alert = m_alert.lock())
        alert->setDelegate(nullptr);
    if (m_decibelMeter)
        m_decibelMeter->stop();
}

void RecordingStudioViewController::loadSounds()
{
    auto& bundle = foundation::Bundle::main();
    m_beepSound = SoundEffect::soundEffectWithContentsOfFile(bundle.pathForResource("beep", "caf"));
    if (m_beepSound)
        m_beepSound->setDelegate(std::static_pointer_cast<RecordingStudioViewController>(sharedController()));
    m_crumpleSound = SoundEffect::soundEffectWithContentsOfFile(bundle.pathForResource("crumple", "caf"));
    m_saveSound = SoundEffect::soundEffectWithContentsOfFile(bundle.pathForResource("save", "caf"));
}

void RecordingStudioViewController::makeRecorder()
{
    m_recorder = std::make_shared<AudioRecorder>();
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, PRLVNotificationAudioQueueWillStop, queueObject(m_recorder),
        [this](const foundation::Notification&) { recorderWillStop(); });
    center.addObserver(this, PRLVNotificationAudioQueueDidStop, queueObject(m_recorder),
        [this](const foundation::Notification&) { recorderDidStop(); });
}

void RecordingStudioViewController::makePlayer()
{
    m_player = std::make_shared<AudioPlayer>();
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, PRLVNotificationAudioQueueDidStart, queueObject(m_player),
        [this](const foundation::Notification&) { playerDidStart(); });
    center.addObserver(this, PRLVNotificationAudioQueueDidStop, queueObject(m_player),
        [this](const foundation::Notification&) { playerDidStop(); });
}

void RecordingStudioViewController::releaseRecorder()
{
    auto& center = foundation::NotificationCenter::defaultCenter();
    for (const char* name : { PRLVNotificationAudioQueueDidStart, PRLVNotificationAudioQueueWillStop, PRLVNotificationAudioQueueDidStop })
        center.removeObserver(this, name, queueObject(m_recorder));
    m_recorder.reset();
}

void RecordingStudioViewController::releasePlayer()
{
    auto& center = foundation::NotificationCenter::defaultCenter();
    for (const char* name : { PRLVNotificationAudioQueueDidStart, PRLVNotificationAudioQueueDidStop })
        center.removeObserver(this, name, queueObject(m_player));
    m_player.reset();
}

// The screen

void RecordingStudioViewController::loadView()
{
    ViewController::loadView();
    auto view = this->view();
    navigationItem()->setRightBarButtonItem(
        ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Edit, [this](ui::BarButtonItem&) { editButtonPressed(); }), false);

    m_promptLabel = std::make_shared<ui::Label>(gfx::Rect(5, 0, 310, 50));
    m_promptLabel->setText(text("Initial Prompt"));
    m_promptLabel->setLineBreakMode(gfx::LineBreakMode::WordWrap);
    m_promptLabel->setNumberOfLines(2);
    m_promptLabel->setBackgroundColor(gfx::Color::clear());
    m_promptLabel->setTextColor(kPromptColor);
    m_promptLabel->setFont(gfx::Font::boldSystemFont(16));
    m_promptLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_promptLabel->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);

    m_recordButton = largeButton("record_mic_normal.png");
    m_recordButton->setAccessibilityName(text("Record Button Name"));
    m_recordButton->addTargetActionForControlEvents(this, [this](ui::Control&) { recordButtonPressed(); }, ui::ControlEventTouchUpInside);
    m_recordStopButton = largeButton("record_stop_normal.png");
    m_recordStopButton->setAccessibilityName(text("Stop Recording Button Name"));
    m_recordStopButton->setFont(gfx::Font::boldSystemFont(28));
    m_recordStopButton->setTitleEdgeInsets({ 110, 0, 0, 0 });
    m_recordStopButton->addTargetActionForControlEvents(this, [this](ui::Control&) { recordStopButtonPressed(); }, ui::ControlEventTouchUpInside);
    m_playStopButton = largeButton("play_stop_normal.png");
    m_playStopButton->setAccessibilityName(text("Stop Playback Button Name"));
    m_playStopButton->addTargetActionForControlEvents(this, [this](ui::Control&) { playStopButtonPressed(); }, ui::ControlEventTouchUpInside);

    m_smallRecordButton = smallButton(gfx::Rect(0, 0, 82, 82), "control_panel_mic_normal.png", "control_panel_mic_highlight.png",
        "Redo Control Panel", { 58, 2, 0, -2 });
    m_smallRecordButton->addTargetActionForControlEvents(this, [this](ui::Control&) { recordButtonPressed(); }, ui::ControlEventTouchUpInside);
    m_smallPlayButton = smallButton(gfx::Rect(82, 0, 82, 82), "control_panel_play_normal.png", "control_panel_play_highlight.png",
        "Play Control Panel", { 58, -2, 0, 0 });
    m_smallPlayButton->addTargetActionForControlEvents(this, [this](ui::Control&) { playButtonPressed(); }, ui::ControlEventTouchUpInside);
    m_smallDeleteButton = smallButton(gfx::Rect(0, 82, 82, 82), "control_panel_trash_normal.png", "control_panel_trash_highlight.png",
        "Delete Control Panel", { 44, 2, 0, -4 });
    m_smallDeleteButton->addTargetActionForControlEvents(this, [this](ui::Control&) { deleteButtonPressed(); }, ui::ControlEventTouchUpInside);
    m_smallSaveButton = smallButton(gfx::Rect(82, 82, 82, 82), "control_panel_save_normal.png", "control_panel_save_highlight.png",
        "Save Control Panel", { 44, -2, 0, 0 });
    m_smallSaveButton->addTargetActionForControlEvents(this, [this](ui::Control&) { saveButtonPressed(); }, ui::ControlEventTouchUpInside);

    m_multiFunctionButton = std::make_shared<ui::View>(gfx::Rect(0, 0, 164, 164));
    m_multiFunctionButton->setBackgroundColor(gfx::Color::clear());
    for (const auto& button : { m_smallRecordButton, m_smallPlayButton, m_smallDeleteButton, m_smallSaveButton })
        m_multiFunctionButton->addSubview(button);
    m_recordingSymbolImageView = std::make_shared<ui::ImageView>(gfx::Rect(0, 0, 164, 164));
    m_recordingSymbolImageView->setImage(ui::imageNamed("recording_symbol_normal.png"));
    m_recordingSymbolImageView->setBackgroundColor(gfx::Color::clear());

    m_carousel = std::make_shared<CarouselView>(kCarouselFrame);
    m_carousel->populateCarouselWithViewAViewBViewCAndViewDAnimated(m_recordButton, m_recordStopButton, m_multiFunctionButton,
        m_playStopButton, true);
    m_carousel->setUserInteractionEnabled(false);
    m_carousel->setDelegate(std::static_pointer_cast<RecordingStudioViewController>(sharedController()));

    m_titleTextField = std::make_shared<ui::TextField>(gfx::Rect(20, 16, 280, 26));
    m_titleTextField->setBorderStyle(ui::TextBorderStyle::RoundedRect);
    m_titleTextField->setTextColor(gfx::Color::black());
    m_titleTextField->setFont(gfx::Font::systemFont(16));
    m_titleTextField->setPlaceholder(text("<title>"));
    m_titleTextField->setBackgroundColor(gfx::Color::clear());
    m_titleTextField->setKeyboardType(ui::KeyboardType::Default);
    m_titleTextField->setReturnKeyType(ui::ReturnKeyType::Done);
    m_titleTextField->setClearButtonMode(ui::TextFieldViewMode::WhileEditing);
    m_titleTextField->setDelegate(this);
    m_titleTextField->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    m_normalControlPanel = std::make_shared<ControlPanelView>(gfx::Rect(0, 460, 320, 60));
    m_normalControlPanel->setAutoresizingMask(ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleWidth);
    // Seen only above the keyboard: the gradient's dark end fills the rest of the panel, so the
    // carousel does not show between the title field and the keys.
    m_normalControlPanel->setBackgroundColor(gfx::Color::grey(0.06f));
    m_normalControlPanel->addSubview(m_titleTextField);

    m_decibelMeter = std::make_shared<DecibelMeterView>(gfx::Rect(80, 14, 220, 32));
    m_recordPauseButton = panelButton(gfx::Rect(0, 0, 80, 60));
    m_recordPauseButton->addTargetActionForControlEvents(this, [this](ui::Control&) { recordPauseButtonPressed(); }, ui::ControlEventTouchUpInside);
    m_recordTimerLabel = std::make_shared<ui::Label>(gfx::Rect(0, 50, 320, 26));
    m_recordTimerLabel->setBackgroundColor(gfx::Color::clear());
    m_recordTimerLabel->setTextColor(kPromptColor);
    m_recordTimerLabel->setFont(gfx::Font::boldSystemFont(28));
    m_recordTimerLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_recordTimerLabel->setHidden(!m_showRecordTimer);
    m_recordTimerLabel->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    m_decibelMeter->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    m_recordControlPanel = std::make_shared<ControlPanelView>(gfx::Rect(0, 400, 320, 90));
    m_recordControlPanel->setAutoresizingMask(ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleWidth);
    m_recordControlPanel->setTransform(m_recordControlPanel->transform().translated(0, kRecordPanelRise));
    for (const auto& subview : std::initializer_list<std::shared_ptr<ui::View>> { m_decibelMeter, m_recordTimerLabel, m_recordPauseButton })
        m_recordControlPanel->addSubview(subview);

    m_playbackSlider = ControlPanelView::makePlaybackSlider(gfx::Rect(106, 19, 150, 20));
    m_playbackSlider->setAccessibilityName(text("Playback Position Name"));
    m_playbackSlider->addTargetActionForControlEvents(this, [this](ui::Control&) { playbackSliderSlideStart(); }, ui::ControlEventTouchDown);
    m_playbackSlider->addTargetActionForControlEvents(this, [this](ui::Control&) { playbackSliderSlideStop(); }, ui::ControlEventValueChanged);
    m_playTimeLabel = timeLabel(gfx::Rect(44, 20, 68, 20), "0:00");
    m_remainingTimeLabel = timeLabel(gfx::Rect(251, 20, 68, 20), "-0:00");
    m_playbackSlider->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    m_remainingTimeLabel->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
    m_playPauseButton = panelButton(gfx::Rect(0, 0, 60, 60));
    m_playPauseButton->addTargetActionForControlEvents(this, [this](ui::Control&) { playPauseButtonPressed(); }, ui::ControlEventTouchUpInside);
    m_playbackControlPanel = std::make_shared<ControlPanelView>(gfx::Rect(0, 400, 320, 60));
    m_playbackControlPanel->setAutoresizingMask(ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleWidth);
    m_playbackControlPanel->setTransform(m_playbackControlPanel->transform().translated(0, kPlaybackPanelRise));
    for (const auto& subview : std::initializer_list<std::shared_ptr<ui::View>> { m_playPauseButton, m_playTimeLabel, m_remainingTimeLabel, m_playbackSlider })
        m_playbackControlPanel->addSubview(subview);

    for (const auto& subview : std::initializer_list<std::shared_ptr<ui::View>> {
             m_promptLabel, m_carousel, m_normalControlPanel, m_recordControlPanel, m_playbackControlPanel })
        view->addSubview(subview);
}

void RecordingStudioViewController::viewDidLayoutSubviews()
{
    // The carousel stays in the middle of a wider screen, and of the room a taller one adds
    // between the prompt and the panels.
    const gfx::Rect b = view()->bounds();
    const float extra = std::max(0.0f, std::round((b.height() - kShownHeight) * 0.5f));
    m_carousel->setCenter({ std::round(b.width() * 0.5f), kCarouselFrame.midY() + extra });
}

void RecordingStudioViewController::viewDidAppear(bool animated)
{
    if (m_finalEditActive)
        handleEvent(StudioEvent::EditorClosed);
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, ui::KeyboardWillShowNotification, nullptr,
        [this](const foundation::Notification& notification) { keyboardWillShow(notification); });
    center.addObserver(this, ui::KeyboardDidHideNotification, nullptr, [this](const foundation::Notification&) { keyboardDidHide(); });
    ui::Application::sharedApplication().setMediaPlayer(std::static_pointer_cast<RecordingStudioViewController>(sharedController()));
    ViewController::viewDidAppear(animated);
}

void RecordingStudioViewController::viewWillDisappear(bool animated)
{
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.removeObserver(this, ui::KeyboardWillShowNotification, nullptr);
    center.removeObserver(this, ui::KeyboardDidHideNotification, nullptr);
    ViewController::viewWillDisappear(animated);
}

void RecordingStudioViewController::didReceiveMemoryWarning()
{
    foundation::log("MEMORY WARNING!  Studio");
    ViewController::didReceiveMemoryWarning();
}

bool RecordingStudioViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const
{
    return orientation == ui::InterfaceOrientation::Portrait || orientation == ui::InterfaceOrientation::PortraitUpsideDown;
}

void RecordingStudioViewController::setPrompt(const char* key)
{
    if (m_promptLabel)
        m_promptLabel->setText(text(key));
}

void RecordingStudioViewController::setPlayingPrompt()
{
    if (m_promptLabel && m_currentRecording)
        m_promptLabel->setText(foundation::formatWithString(text("Playing Prompt"), m_currentRecording->title()));
}

void RecordingStudioViewController::setRecordRequestedPrompt()
{
    setPrompt(m_soundEffectsOn ? "Wait Prompt" : "Record Starting Prompt");
}


// The transition table

namespace {

constexpr std::uint32_t in(std::initializer_list<std::int32_t> states)
{
    std::uint32_t mask = 0;
    for (auto state : states)
        mask |= 1u << state;
    return mask;
}

constexpr std::uint32_t kAnyState = (1u << (StudioStateFinished + 1)) - 1;

} // namespace

const std::vector<RecordingStudioViewController::Transition>& RecordingStudioViewController::transitions()
{
    using S = RecordingStudioViewController;
    using E = StudioEvent;
    constexpr Effect waitsForTurn = nullptr;
    constexpr Condition always = nullptr;
    constexpr auto initial = StudioStateInitial, ready = StudioStateReady, requested = StudioStateRecordRequested,
                   recording = StudioStateRecording, stopped = StudioStateRecordStopped, recorded = StudioStateRecorded,
                   playRequested = StudioStatePlayRequested, playing = StudioStatePlaying, playStopped = StudioStatePlayStopped,
                   finished = StudioStateFinished;

    // The first row that matches the event, the state and the condition applies. An event that
    // matches no row is ignored; the controls that send it are disabled meanwhile.
    static const std::vector<Transition> table {
        // Filling and turning.
        { E::CarouselFilled, in({ initial }), always, &S::becomeReady },
        { E::TurnEnded, in({ requested }), &S::interrupted, &S::holdRecordingRequest },
        { E::TurnEnded, in({ requested }), always, &S::turnedToRecordStop },
        { E::TurnEnded, in({ stopped, playStopped }), always, &S::turnedToSmallButtons },
        { E::TurnEnded, in({ playRequested }), &S::interrupted, &S::holdPlaybackRequest },
        { E::TurnEnded, in({ playRequested }), always, &S::turnedToPlayStop },
        { E::TurnEnded, in({ finished }), always, &S::becomeReadyAfterFinish },

        // Recording.
        { E::RecordTapped, in({ ready }), &S::turning, waitsForTurn },
        { E::RecordTapped, in({ ready, recorded }), &S::notEnteringTitle, &S::requestRecording },
        { E::BeepEnded, in({ recording }), &S::recordingMayStart, &S::startRecording },
        { E::RecordPauseTapped, in({ recording }), &S::recorderActive, &S::pauseOrResumeRecording },
        { E::RecordStopTapped, in({ recording }), &S::recorderStarting, &S::cancelRecording },
        { E::RecordStopTapped, in({ recording }), &S::recordingHeld, &S::finishRecording },
        { E::RecordStopTapped, in({ recording }), &S::recorderActive, &S::stopRecorder },
        { E::RecorderWillStop, in({ recording }), &S::recorderWriteFailed, &S::finishRecordingAfterWriteFailure },
        { E::RecorderWillStop, in({ recording }), &S::recorderOnlyHalts, &S::takeLengthAndSizeFromRecorder },
        { E::RecorderWillStop, in({ recording }), always, &S::finishRecording },
        { E::RecorderDidNotStart, in({ recording }), &S::recorderStarting, &S::abandonRecording },
        { E::RecorderDidNotStart, in({ recording }), always, &S::finishRecordingAfterFailure },

        // Playback.
        { E::PlayTapped, in({ recorded }), &S::notEnteringTitle, &S::requestPlayback },
        { E::PlayerDidStart, in({ playing }), &S::playerActive, &S::startPlaybackTimer },
        { E::PlayPauseTapped, in({ playing }), &S::playerActive, &S::pauseOrResumePlayback },
        { E::SlideStarted, in({ playing }), &S::playerActive, &S::beginSeek },
        { E::SlideEnded, in({ playing }), &S::playerActive, &S::endSeek },
        { E::PlayStopTapped, in({ playing }), &S::playerActive, &S::stopPlayer },
        { E::PlayStopTapped, in({ playing }), always, &S::finishPlayback },
        { E::PlayerDidStop, in({ playing }), always, &S::finishPlayback },

        // Saving and deleting.
        { E::SaveTapped, in({ recorded }), &S::savesAtOnce, &S::saveNow },
        { E::SaveTapped, in({ recorded }), &S::savesWithTitleEntry, &S::beginTitleEntry },
        { E::SaveTapped, in({ recorded }), &S::editorMayOpen, &S::beginFinalEdit },
        { E::TitleEntered, in({ recorded }), &S::enteringTitle, &S::completeTitledSave },
        { E::EditorClosed, in({ recorded }), always, &S::completeFinalEdit },
        { E::EditTapped, kAnyState & ~in({ finished }), &S::editorMayOpen, &S::showEditor },
        { E::DeleteTapped, in({ recorded }), &S::notEnteringTitle, &S::trashRecording },
        { E::SymbolFlipped, in({ finished }), always, &S::popSymbol },
        { E::SymbolPopped, in({ finished }), always, &S::turnBackToRecord },

        // Interruptions hold the audio, never the state.
        { E::InterruptionBegan, kAnyState, &S::interrupted, &S::ignore },
        { E::InterruptionBegan, in({ recording }), &S::recorderStarting, &S::holdRecordingRequest },
        { E::InterruptionBegan, in({ recording }), &S::recorderActive, &S::holdRecording },
        { E::InterruptionBegan, in({ playing }), &S::playerActive, &S::holdPlayback },
        { E::InterruptionBegan, kAnyState, always, &S::markInterrupted },
        { E::InterruptionEnded, kAnyState, &S::notInterrupted, &S::ignore },
        { E::InterruptionEnded, in({ recording }), &S::recorderStarting, &S::startHeldRecording },
        { E::InterruptionEnded, in({ recording }), &S::recordingHeld, &S::continueRecording },
        { E::InterruptionEnded, in({ playing }), always, &S::continuePlayback },
        { E::InterruptionEnded, kAnyState, always, &S::markInterruptionEnded },

        // The launch alert's "Yes".
        { E::ContinueInterruptedRecording, in({ initial }), always, waitsForTurn },
        { E::ContinueInterruptedRecording, in({ ready }), &S::turning, waitsForTurn },
        { E::ContinueInterruptedRecording, in({ ready }), always, &S::continueInterruptedRecording },
    };
    return table;
}

void RecordingStudioViewController::handleEvent(StudioEvent event)
{
    // An effect may end this screen's last outside reference (the carousel's report); stay alive.
    auto keep = sharedController();
    const std::uint32_t state = 1u << m_state;
    for (const auto& transition : transitions()) {
        if (transition.event != event || !(transition.states & state) || (transition.condition && !(this->*transition.condition)()))
            continue;
        if (transition.effect)
            (this->*transition.effect)();
        else
            m_waitingEvents.push_back(event);
        break;
    }
    updateControls();
    if (event == StudioEvent::CarouselFilled || event == StudioEvent::TurnEnded)
        runWaitingEvents();
    ui::Application::sharedApplication().mediaPlayerDidChange();
}

void RecordingStudioViewController::runWaitingEvents()
{
    for (auto event : std::exchange(m_waitingEvents, {}))
        handleEvent(event);
}

void RecordingStudioViewController::updateControls()
{
    if (!m_carousel)
        return;
    m_carousel->setUserInteractionEnabled(m_state != StudioStateInitial && !m_enteringTitle);
    m_recordPauseButton->setEnabled(recorderActive());
    m_playPauseButton->setEnabled(playerActive());
    m_playbackSlider->setEnabled(playerActive());
    if (auto item = navigationItem()->rightBarButtonItem())
        item->setEnabled(m_state != StudioStateFinished && editorMayOpen());
}

void RecordingStudioViewController::carouselViewDidFinishAnimation(CarouselView*, int identifier)
{
    switch (identifier) {
    case CarouselAnimationPopulate:
        handleEvent(StudioEvent::CarouselFilled);
        return;
    case CarouselAnimationShift:
        m_turning = false;
        handleEvent(StudioEvent::TurnEnded);
        return;
    case CarouselAnimationPopLeft:
    case CarouselAnimationPopRight:
        handleEvent(StudioEvent::SymbolPopped);
        return;
    case CarouselAnimationReplace:
        handleEvent(StudioEvent::SymbolFlipped);
        return;
    default:
        return;
    }
}

void RecordingStudioViewController::turnTo(const std::shared_ptr<ui::View>& view, CarouselRotationStyle style)
{
    if (m_carousel->getViewWithTransform(m_carousel->transformA()) != view)
        m_turning = true;
    m_carousel->makeViewActiveWithRotationStyle(view.get(), style);
}

// Conditions

bool RecordingStudioViewController::recorderStarting() const
{
    return m_recordingPending;
}

bool RecordingStudioViewController::recordingMayStart() const
{
    return m_recordingPending && !m_interrupted;
}

bool RecordingStudioViewController::recorderActive() const
{
    return m_recorder && (m_recorder->isRunning() || m_recorder->paused());
}

bool RecordingStudioViewController::recorderOnlyHalts() const
{
    return m_interrupted || (m_recorder && m_recorder->paused());
}

bool RecordingStudioViewController::recordingHeld() const
{
    return m_interrupted && !m_recordingPending && !m_recorder;
}

bool RecordingStudioViewController::playerActive() const
{
    return m_player && m_player->isRunning();
}

bool RecordingStudioViewController::recorderWriteFailed() const
{
    return m_recorder && m_recorder->writeFailed();
}

bool RecordingStudioViewController::savesAtOnce() const
{
    return !m_enteringTitle && (m_saveOption == "autoSave" || m_editorShown);
}

bool RecordingStudioViewController::savesWithTitleEntry() const
{
    return !m_enteringTitle && m_saveOption == "titleEditor";
}

bool RecordingStudioViewController::editorMayOpen() const
{
    return m_currentRecording && !m_enteringTitle && !m_finalEditActive;
}

// Ready

void RecordingStudioViewController::becomeReady()
{
    m_state = StudioStateReady;
    setPrompt("PreRecord Prompt");
    if (m_instantStart)
        handleEvent(StudioEvent::RecordTapped);
}

// Recording

void RecordingStudioViewController::requestRecording()
{
    // Without a row to file it in, a recording would be lost: the database could not take one
    // when this recording was made, so try again, and say so when it still cannot.
    if (!m_currentRecording)
        m_currentRecording = RecordingLibrary::sharedLibrary().newRecording();
    if (!m_currentRecording) {
        showAlert("Storage Unavailable Prompt Title", "Storage Unavailable Prompt");
        return;
    }
    ensureRecorder();
    m_recordingPending = true;
    m_state = StudioStateRecordRequested;
    setRecordRequestedPrompt();
    turnTo(m_recordStopButton, CarouselRotationShortestWay);
    showRecordControlPanel();
}

void RecordingStudioViewController::turnedToRecordStop()
{
    m_state = StudioStateRecording;
    // Without a beep that reports its end nothing would ever start the recorder.
    if (beepWillReport())
        m_beepSound->play();
    else
        startRecording();
}

void RecordingStudioViewController::holdRecordingRequest()
{
    m_interrupted = true;
    m_state = StudioStateRecording;
    setPrompt("Recording Held Prompt");
}

bool RecordingStudioViewController::beepWillReport() const
{
    return m_beepSound && m_beepSound->soundEffectsOn();
}

void RecordingStudioViewController::soundEffectDidFinishPlaying(SoundEffect* soundEffect)
{
    if (soundEffect == m_beepSound.get())
        handleEvent(StudioEvent::BeepEnded);
}

AudioRecorder& RecordingStudioViewController::ensureRecorder()
{
    if (!m_recorder)
        makeRecorder();
    return *m_recorder;
}

bool RecordingStudioViewController::recorderStarted()
{
    if (m_recorder && m_recorder->isRunning())
        return true;
    handleEvent(StudioEvent::RecorderDidNotStart);
    return false;
}

void RecordingStudioViewController::startRecording()
{
    if (!m_currentRecording)
        return;
    setPrompt("Recording Prompt");
    setImage(*m_recordPauseButton, "pause.png");
    RecordMode mode = RecordModeNew;
    if (!m_appendingToRecording.expired()) {
        mode = RecordModeAppend;
        m_appendingToRecording.reset();
    }
    m_recordedRecording = m_currentRecording;
    ensureRecorder().recordToFileWithRecordMode(m_currentRecording->audioFileName(), mode);
    if (recorderStarted())
        m_recordingPending = false;
}

void RecordingStudioViewController::cancelRecording()
{
    // Nothing was written: a recording made before (recorded again, or continued from an
    // earlier run) keeps its sound and goes back to the small buttons, a fresh one to ready.
    m_recordingPending = false;
    hideRecordControlPanel();
    if (m_currentRecording && m_currentRecording->length() > 0) {
        m_state = StudioStateRecordStopped;
        setPrompt("Default Prompt");
        turnTo(m_multiFunctionButton, CarouselRotationShortestWay);
    } else {
        m_state = StudioStateReady;
        setPrompt("PreRecord Prompt");
        turnTo(m_recordButton, CarouselRotationShortestWay);
    }
}

void RecordingStudioViewController::pauseOrResumeRecording()
{
    if (!m_recorder->paused()) {
        m_recorder->pause();
        setPrompt("Recording Paused Prompt");
        setImage(*m_recordPauseButton, "microphone_white.png");
        return;
    }
    m_recorder->resume();
    if (!recorderStarted())
        return;
    setPrompt("Recording Prompt");
    setImage(*m_recordPauseButton, "pause.png");
}

void RecordingStudioViewController::stopRecorder()
{
    auto recorder = m_recorder;
    if (recorder->isRunning())
        recorder->stop();
    // A pause already ended the queue, so that stop did nothing: resume and stop at once, so
    // the stop is handled as for a running recording.
    if (recorder->paused()) {
        recorder->resume();
        if (!recorderStarted())
            return;
        setPrompt("Recording Prompt");
        setImage(*m_recordPauseButton, "pause.png");
        recorder->stop();
    }
}

void RecordingStudioViewController::takeLengthAndSizeFromRecorder()
{
    if (!m_recorder || !m_currentRecording)
        return;
    m_currentRecording->setLength(static_cast<float>(m_recorder->position()));
    m_currentRecording->setSize(HelperMethods::getAudioFileSizeFormattedString(m_currentRecording->audioFileName()));
}

void RecordingStudioViewController::recorderDidStop()
{
    auto recording = m_recordedRecording.lock();
    if (!recording)
        return;
    auto duration = HelperMethods::audioFileDuration(recording->audioFileName());
    if (!duration || static_cast<float>(*duration) == recording->length())
        return;
    recording->setLength(static_cast<float>(*duration));
    recording->setSize(HelperMethods::getAudioFileSizeFormattedString(recording->audioFileName()));
    if (recording->location() != 0)
        recording->save();
}

void RecordingStudioViewController::finishRecording()
{
    m_recordingPending = false;
    m_state = StudioStateRecordStopped;
    setPrompt("Default Prompt");
    setImage(*m_recordPauseButton, "pause.png");
    turnTo(m_multiFunctionButton, CarouselRotationShortestWay);
    hideRecordControlPanel();
    if (!m_currentRecording)
        return;
    m_currentRecording->setPlayCount(0);
    m_currentRecording->setCreatedDate(foundation::currentDate());
    // Without an open file (an interruption released the recorder) the length taken when the
    // recorder halted is the file's.
    if (m_recorder && m_recorder->audioFileID())
        m_currentRecording->setLength(static_cast<float>(m_recorder->audioFileDuration()));
    m_currentRecording->setSize(HelperMethods::getAudioFileSizeFormattedString(m_currentRecording->audioFileName()));
    m_currentRecording->save();
}

void RecordingStudioViewController::abandonRecording()
{
    m_recordingPending = false;
    hideRecordControlPanel();
    m_state = StudioStateReady;
    setPrompt("PreRecord Prompt");
    turnTo(m_recordButton, CarouselRotationShortestWay);
    showRecordingFailedAlert();
}

void RecordingStudioViewController::finishRecordingAfterFailure()
{
    finishRecording();
    showRecordingFailedAlert();
}

void RecordingStudioViewController::finishRecordingAfterWriteFailure()
{
    finishRecording();
    if (m_currentRecording && m_currentRecording->location() == 0) {
        m_currentRecording->setLocation(kLocationMyRecordings);
        m_currentRecording->save();
    }
    const bool diskFull = m_recorder && m_recorder->writeFailure() == audio::kFileDiskFullError;
    // The alert says the memo is in My Recordings only once its row says so; a full disk may
    // refuse the row too, and then the memo is filed as soon as the database takes it.
    if (m_currentRecording && m_currentRecording->isDirty()) {
        fileWhenPossible(m_currentRecording);
        showAlert("Recording Stopped Prompt Title", diskFull ? "Recording Not Filed Disk Full Prompt" : "Recording Not Filed Prompt");
    } else {
        showAlert("Recording Stopped Prompt Title", diskFull ? "Recording Stopped Disk Full Prompt" : "Recording Stopped Prompt");
    }
}

void RecordingStudioViewController::fileWhenPossible(const std::shared_ptr<Recording>& recording)
{
    m_unfiledRecording = recording;
    m_fileRetryDelay = kFirstFileRetryDelay;
    scheduleFileRetry();
}

void RecordingStudioViewController::scheduleFileRetry()
{
    if (m_fileRetryTimer)
        m_fileRetryTimer->invalidate();
    m_fileRetryTimer = foundation::RunLoop::main().scheduleTimer(m_fileRetryDelay, false, [this](foundation::Timer&) { retryFiling(); });
}

void RecordingStudioViewController::retryFiling()
{
    m_fileRetryTimer.reset();
    // Written meanwhile (a save, a delete) or gone: nothing left to do.
    auto unfiled = m_unfiledRecording.lock();
    if (unfiled && unfiled->isDirty() && unfiled->location() != 0)
        unfiled->save();
    if (!unfiled || !unfiled->isDirty() || unfiled->location() == 0) {
        m_unfiledRecording.reset();
        return;
    }
    // Each refused write is logged: a disk that stays full is asked less and less often.
    m_fileRetryDelay = std::min(m_fileRetryDelay * 2, kLastFileRetryDelay);
    scheduleFileRetry();
}

void RecordingStudioViewController::showRecordingFailedAlert()
{
    // Without a microphone there is nothing the user can retry until one is there: say so.
    if (m_recorder && m_recorder->noMicrophone())
        showAlert("No Microphone Prompt Title", "No Microphone Prompt");
    else
        showAlert("Recording Failed Prompt Title", "Recording Failed Prompt");
}

void RecordingStudioViewController::showAlert(const char* titleKey, const char* messageKey)
{
    // Storage prompts say why the library refused (a lock, a folder that cannot be written).
    auto alert = std::make_shared<ui::AlertView>(text(titleKey), RecordingLibrary::sharedLibrary().storageProblemText(messageKey), nullptr, text("OK"));
    alert->show();
}

void RecordingStudioViewController::showAlertNamingRecording(const char* titleKey, const char* messageKey)
{
    const std::string title = m_currentRecording ? m_currentRecording->title() : std::string();
    auto alert = std::make_shared<ui::AlertView>(text(titleKey), foundation::formatWithString(text(messageKey), title), nullptr, text("OK"));
    alert->show();
}

bool RecordingStudioViewController::saveCurrentRecording(std::int32_t previousLocation)
{
    m_currentRecording->save();
    if (!m_currentRecording->isDirty())
        return true;
    // Not written: the studio keeps the recording as it was, title included, for another try.
    m_currentRecording->setLocation(previousLocation);
    showAlert("Save Failed Prompt Title", "Save Failed Prompt");
    return false;
}

void RecordingStudioViewController::turnedToSmallButtons()
{
    m_state = StudioStateRecorded;
    setPrompt("PostRecord Prompt");
}

// Playback

void RecordingStudioViewController::requestPlayback()
{
    m_state = StudioStatePlayRequested;
    setPrompt("Default Prompt");
    turnTo(m_playStopButton, CarouselRotationShortestWay);
    showPlaybackControlPanel();
}

void RecordingStudioViewController::turnedToPlayStop()
{
    m_state = StudioStatePlaying;
    playFrom(0.0);
    setPlayingPrompt();
    // A file that does not play gives no did-stop: go back at once.
    if (!playerActive())
        finishPlayback();
}

void RecordingStudioViewController::holdPlaybackRequest()
{
    m_state = StudioStatePlaying;
    m_playerInterruptedPosition = 0;
    setPrompt("Play Paused Prompt");
}

void RecordingStudioViewController::playFrom(double seconds)
{
    if (!m_player)
        makePlayer();
    // Every start plays; a place marked while paused is used up by it.
    m_playbackPositionAdjustedWhilePaused = false;
    if (!m_currentRecording)
        return;
    m_player->playFromFileStartingAtPosition(m_currentRecording->audioFileName(), seconds);
    // No queue: the file is gone or damaged (the player logged why), or the output refused it.
    if (!m_player->queueObject())
        showAlertNamingRecording("Playback Failed Prompt Title",
            m_player->playbackFailure() == audio::kQueueDeviceError ? "Playback Unavailable Prompt" : "Playback Failed Prompt");
}

void RecordingStudioViewController::pauseOrResumePlayback()
{
    if (m_player->paused()) {
        if (m_playbackPositionAdjustedWhilePaused)
            playFrom(double(m_playbackSlider->value()));
        else
            m_player->resume();
        // A restart that does not play gives no did-stop: go back at once.
        if (!playerActive()) {
            finishPlayback();
            return;
        }
        setPlayingPrompt();
        setImage(*m_playPauseButton, "pause.png");
    } else {
        m_player->pause();
        setPrompt("Play Paused Prompt");
        setImage(*m_playPauseButton, "play.png");
    }
}

void RecordingStudioViewController::beginSeek()
{
    if (m_player->paused())
        m_playbackPositionAdjustedWhilePaused = true;
    else
        m_player->pause();
}

void RecordingStudioViewController::endSeek()
{
    // Paused, the new place waits for the next play press.
    if (m_playbackPositionAdjustedWhilePaused)
        return;
    playFrom(double(m_playbackSlider->value()));
    if (!playerActive())
        finishPlayback();
}

void RecordingStudioViewController::stopPlayer()
{
    m_player->stop();
}

void RecordingStudioViewController::finishPlayback()
{
    m_playbackPositionAdjustedWhilePaused = false;
    m_state = StudioStatePlayStopped;
    setPrompt("Default Prompt");
    setImage(*m_playPauseButton, "pause.png");
    turnTo(m_multiFunctionButton, CarouselRotationShortestWay);
    hidePlaybackControlPanel();
    stopPlaybackTimer();
}

// Saving and deleting

void RecordingStudioViewController::saveNow()
{
    if (!m_currentRecording)
        return;
    const auto previousLocation = m_currentRecording->location();
    m_currentRecording->setLocation(kLocationMyRecordings);
    if (saveCurrentRecording(previousLocation))
        finishSaveOrDelete(ui::ViewAnimationTransition::FlipFromLeft);
}

void RecordingStudioViewController::beginTitleEntry()
{
    if (!m_currentRecording)
        return;
    m_locationBeforeSave = m_currentRecording->location();
    m_currentRecording->setLocation(kLocationMyRecordings);
    m_enteringTitle = true;
    m_titleTextField->setText("");
    m_titleTextField->becomeFirstResponder();
}

float RecordingStudioViewController::titlePanelRise(const foundation::Notification& notification)
{
    // The keys' top edge, from their size and where their centre comes to rest.
    const auto& info = notification.userInfo();
    float x = 0, y = 0, width = 0, height = 0;
    const auto bounds = info.find(ui::KeyboardBoundsUserInfoKey);
    const auto centre = info.find(ui::KeyboardCenterEndUserInfoKey);
    if (bounds == info.end() || centre == info.end() || std::sscanf(bounds->second.c_str(), "{{%*g, %*g}, {%g, %g}}", &width, &height) != 2
        || std::sscanf(centre->second.c_str(), "{%g, %g}", &x, &y) != 2)
        return m_normalControlPanel->bounds().height();
    const auto& screen = *view();
    const float keysTop = screen.convertPointFromView({ x, y - height * 0.5f }, nullptr).y;
    // At rest the panel lies just below the screen; it rises until it stands on the keys, or
    // on the screen's bottom edge where they cover none of it (a physical keyboard).
    const gfx::Rect panel = m_normalControlPanel->frame().offsetBy(0, -m_normalControlPanel->transform().ty);
    return panel.maxY() - std::min(screen.bounds().height(), keysTop);
}

void RecordingStudioViewController::keyboardWillShow(const foundation::Notification& notification)
{
    // Only for the title: another screen's fields raise keys of their own.
    if (!m_titleTextField->isEditing())
        return;
    const float rise = titlePanelRise(notification);
    slidePanel(*m_normalControlPanel, m_titlePanelRise - rise, kTitlePanelSlideDuration);
    m_titlePanelRise = rise;
}

bool RecordingStudioViewController::textFieldShouldReturn(ui::TextField& textField)
{
    if (&textField != m_titleTextField.get())
        return true;
    textField.resignFirstResponder();
    slidePanel(*m_normalControlPanel, m_titlePanelRise, kTitlePanelSlideDuration);
    m_titlePanelRise = 0;
    // Saved now, not when the keyboard has gone: a title typed is kept even if the program
    // ends meanwhile.
    handleEvent(StudioEvent::TitleEntered);
    return true;
}

void RecordingStudioViewController::completeTitledSave()
{
    m_enteringTitle = false;
    if (!m_titleTextField->text().empty())
        m_currentRecording->setTitle(m_titleTextField->text());
    if (saveCurrentRecording(m_locationBeforeSave))
        finishSaveOrDelete(ui::ViewAnimationTransition::FlipFromLeft);
}

void RecordingStudioViewController::showEditor()
{
    m_editorShown = true;
    auto editor = DetailsEditorViewController::sharedDetailsEditor();
    editor->setCurrentRecording(m_currentRecording);
    presentModalViewController(editor, true);
}

void RecordingStudioViewController::beginFinalEdit()
{
    m_locationBeforeSave = m_currentRecording->location();
    // Filed before the editor opens, so that its Done writes the recording.
    m_currentRecording->setLocation(kLocationMyRecordings);
    m_finalEditActive = true;
    auto editor = DetailsEditorViewController::sharedDetailsEditor();
    editor->setCurrentRecording(m_currentRecording);
    presentModalViewController(editor, true);
}

void RecordingStudioViewController::completeFinalEdit()
{
    m_finalEditActive = false;
    // The editor's Done saved the recording; a save it could not write is tried once more
    // here and, failing again, said, with the recording kept as it was.
    if (saveCurrentRecording(m_locationBeforeSave))
        finishSaveOrDelete(ui::ViewAnimationTransition::FlipFromLeft);
}

void RecordingStudioViewController::trashRecording()
{
    if (!m_currentRecording)
        return;
    const auto previousLocation = m_currentRecording->location();
    m_currentRecording->setLocation(kLocationTrash);
    if (saveCurrentRecording(previousLocation))
        finishSaveOrDelete(ui::ViewAnimationTransition::FlipFromRight);
}

void RecordingStudioViewController::finishSaveOrDelete(ui::ViewAnimationTransition transition)
{
    m_finishedLocation = m_currentRecording->location();
    m_currentRecording = RecordingLibrary::sharedLibrary().newRecording();
    m_editorShown = false;
    m_finalEditActive = false;
    m_state = StudioStateFinished;
    setPrompt("Default Prompt");
    m_titleTextField->setText("");
    m_carousel->replaceViewWithViewWithTransitionStyle(m_multiFunctionButton.get(), m_recordingSymbolImageView, transition);
}

void RecordingStudioViewController::popSymbol()
{
    if (m_finishedLocation == kLocationTrash)
        m_carousel->popActiveViewLeft();
    else if (m_finishedLocation == kLocationMyRecordings)
        m_carousel->popActiveViewRight();
}

void RecordingStudioViewController::turnBackToRecord()
{
    const bool trashed = m_finishedLocation == kLocationTrash;
    if (const auto& sound = trashed ? m_crumpleSound : m_saveSound)
        sound->play();
    turnTo(m_recordButton, trashed ? CarouselRotationCounterClockwise : CarouselRotationClockwise);
    setPrompt("Default Prompt");
}

void RecordingStudioViewController::becomeReadyAfterFinish()
{
    m_editorShown = false;
    m_finalEditActive = false;
    m_state = StudioStateReady;
    setPrompt("PreRecord Prompt");
    m_carousel->replaceViewWithViewWithTransitionStyle(m_recordingSymbolImageView.get(), m_multiFunctionButton,
        ui::ViewAnimationTransition::None);
    m_carousel->restorePoppedView();
}

void RecordingStudioViewController::defaultCategoryChanged()
{
    if (m_editorShown || !m_currentRecording)
        return;
    m_currentRecording->setCategory(defaults().stringForKey("defaultCategory").value_or(""));
}

// Interruptions

void RecordingStudioViewController::holdRecording()
{
    // Held, not ended: the recorder's will-stop only brings the recording's length up to date.
    m_interrupted = true;
    m_recorder->stop();
    releaseRecorder();
    setPrompt("Recording Held Prompt");
}

void RecordingStudioViewController::holdPlayback()
{
    m_interrupted = true;
    m_playerInterruptedPosition = static_cast<float>(m_player->position());
    m_playbackPositionAdjustedWhilePaused = false;
    m_player->stop();
    releasePlayer();
    setPrompt("Play Paused Prompt");
}

void RecordingStudioViewController::markInterrupted()
{
    m_interrupted = true;
}

void RecordingStudioViewController::startHeldRecording()
{
    m_interrupted = false;
    startRecording();
}

void RecordingStudioViewController::continueRecording()
{
    m_interrupted = false;
    if (!m_currentRecording)
        return;
    m_recordedRecording = m_currentRecording;
    ensureRecorder().recordToFileWithRecordMode(m_currentRecording->audioFileName(), RecordModeAppend);
    if (!recorderStarted())
        return;
    // Recording goes on, also when it had been paused: show it, and meter the new recorder.
    setPrompt("Recording Prompt");
    setImage(*m_recordPauseButton, "pause.png");
    if (m_decibelMeter->isRunning())
        m_decibelMeter->startForAudioQueue(m_recorder);
}

void RecordingStudioViewController::continuePlayback()
{
    m_interrupted = false;
    playFrom(double(m_playerInterruptedPosition));
    setPlayingPrompt();
    setImage(*m_playPauseButton, "pause.png");
    if (!playerActive())
        finishPlayback();
}

void RecordingStudioViewController::markInterruptionEnded()
{
    m_interrupted = false;
}

// Continuing an interrupted recording

void RecordingStudioViewController::resolveInterruptedRecording(std::shared_ptr<Recording> recording)
{
    m_appendingToRecording = recording;
    m_recordingToContinue = recording;
    auto alert = std::make_shared<ui::AlertView>(text("Recording Interrupted Prompt Title"), text("Recording Interrupted Prompt"), this,
        text("No"), std::vector<std::string> {});
    alert->addButtonWithTitle(text("Yes"));
    m_alert = alert;
    alert->show();
}

void RecordingStudioViewController::alertViewClickedButtonAtIndex(ui::AlertView&, int buttonIndex)
{
    if (buttonIndex == kAlertYes)
        handleEvent(StudioEvent::ContinueInterruptedRecording);
}

void RecordingStudioViewController::appendToRecording(std::shared_ptr<Recording> recording)
{
    if (!recording)
        return;
    m_recordingToContinue = recording;
    handleEvent(StudioEvent::ContinueInterruptedRecording);
}

void RecordingStudioViewController::continueInterruptedRecording()
{
    auto recording = m_recordingToContinue.lock();
    if (!recording)
        return;
    if (!AudioRecorder::canAppendToFile(recording->audioFileName())) {
        // Appending would corrupt its sound: it stays as it is, and a new recording starts.
        foundation::logf("Recording %d cannot be continued: its audio file is not one to append to; a new recording starts.", recording->key());
        m_appendingToRecording.reset();
        requestRecording();
        return;
    }
    m_appendingToRecording = recording;
    if (m_currentRecording && m_currentRecording != recording)
        m_currentRecording->deleteRecording();
    m_currentRecording = recording;
    requestRecording();
}

// Timers

void RecordingStudioViewController::startRecordTimer()
{
    stopRecordTimer();
    m_recordTimer = foundation::RunLoop::main().scheduleTimer(0.2, true, [this](foundation::Timer&) { onRecordTimer(); });
}

void RecordingStudioViewController::stopRecordTimer()
{
    if (m_recordTimer)
        m_recordTimer->invalidate();
    m_recordTimer.reset();
}

void RecordingStudioViewController::onRecordTimer()
{
    // While an interruption holds no recorder, the time recorded so far stays on show.
    if (!m_recorder)
        return;
    const auto position = static_cast<float>(m_recorder->position());
    m_recordTimerLabel->setText(HelperMethods::formattedPlayTimeValueForPosition(position, position, false));
}

void RecordingStudioViewController::startPlaybackTimer()
{
    stopPlaybackTimer();
    m_playbackTimer = foundation::RunLoop::main().scheduleTimer(0.1, true, [this](foundation::Timer&) { onPlaybackTimer(); });
}

void RecordingStudioViewController::stopPlaybackTimer()
{
    if (m_playbackTimer)
        m_playbackTimer->invalidate();
    m_playbackTimer.reset();
}

void RecordingStudioViewController::onPlaybackTimer()
{
    if (m_player && m_player->isRunning() && !m_player->paused())
        m_playbackSlider->setValue(static_cast<float>(m_player->position()));
    const float length = m_currentRecording ? m_currentRecording->length() : 0;
    const float value = m_playbackSlider->value();
    m_playTimeLabel->setText(HelperMethods::formattedPlayTimeValueForPosition(value, length, false));
    m_remainingTimeLabel->setText(HelperMethods::formattedPlayTimeValueForPosition(value, length, true));
}

// Panels

void RecordingStudioViewController::slidePanel(ui::View& panel, float dy, double duration)
{
    ui::View::beginAnimations();
    ui::View::setAnimationDuration(duration);
    ui::View::setAnimationDelegate(weak_from_this());
    panel.setTransform(panel.transform().translated(0, dy));
    ui::View::commitAnimations();
}

void RecordingStudioViewController::showRecordControlPanel()
{
    if (m_showRecordTimer) {
        startRecordTimer();
        slidePanel(*m_recordControlPanel, -kRecordPanelRiseWithTimer, kPanelSlideDuration);
    } else
        slidePanel(*m_recordControlPanel, -kRecordPanelRise, kPanelSlideDuration);
    m_decibelMeter->startForAudioQueue(m_recorder);
    m_normalControlPanel->setUserInteractionEnabled(false);
    m_recordControlPanel->setUserInteractionEnabled(true);
}

void RecordingStudioViewController::hideRecordControlPanel()
{
    if (m_showRecordTimer) {
        stopRecordTimer();
        slidePanel(*m_recordControlPanel, kRecordPanelRiseWithTimer, kPanelSlideDuration);
    } else
        slidePanel(*m_recordControlPanel, kRecordPanelRise, kPanelSlideDuration);
    m_decibelMeter->stop();
    m_normalControlPanel->setUserInteractionEnabled(true);
    m_recordControlPanel->setUserInteractionEnabled(false);
}

void RecordingStudioViewController::showPlaybackControlPanel()
{
    m_normalControlPanel->setUserInteractionEnabled(false);
    m_playbackControlPanel->setUserInteractionEnabled(true);
    const float length = m_currentRecording ? m_currentRecording->length() : 0;
    m_playbackSlider->setMinimumValue(0);
    m_playbackSlider->setMaximumValue(length);
    m_playbackSlider->setValue(0);
    m_playTimeLabel->setText("0:00");
    m_remainingTimeLabel->setText(HelperMethods::formattedPlayTimeValueForPosition(0, length, true));
    slidePanel(*m_playbackControlPanel, -kPlaybackPanelRise, kPanelSlideDuration);
}

void RecordingStudioViewController::hidePlaybackControlPanel()
{
    m_normalControlPanel->setUserInteractionEnabled(true);
    m_playbackControlPanel->setUserInteractionEnabled(false);
    m_playbackSlider->setValue(0);
    m_playTimeLabel->setText("0:00");
    m_remainingTimeLabel->setText("-0:00");
    slidePanel(*m_playbackControlPanel, kPlaybackPanelRise, kPanelSlideDuration);
}


bool RecordingStudioViewController::performKeyCommand(const ui::KeyCommand& command)
{
    if (command.is(" ")) {
        playPause();
        return true;
    }
    if (command.is("r")) {
        if (m_state == StudioStateRecording)
            recordStopButtonPressed();
        else
            recordButtonPressed();
        return true;
    }
    return ViewController::performKeyCommand(command);
}

void RecordingStudioViewController::keyPressed(ui::Key key)
{
    if (canSeek()) {
        if (auto target = ControlPanelView::seekTargetForKey(*m_playbackSlider, key)) {
            seekTo(*target);
            return;
        }
    }
    ViewController::keyPressed(key);
}

ui::PlaybackStatus RecordingStudioViewController::playbackStatus() const
{
    if (m_state == StudioStatePlayRequested)
        return ui::PlaybackStatus::Playing;
    if (m_state != StudioStatePlaying)
        return ui::PlaybackStatus::Stopped;
    return m_player && m_player->paused() ? ui::PlaybackStatus::Paused : ui::PlaybackStatus::Playing;
}

std::shared_ptr<const ui::MediaMetadata> RecordingStudioViewController::nowPlaying() const
{
    if (!m_currentRecording || m_state < StudioStateRecorded || m_state > StudioStatePlayStopped)
        return nullptr;
    return std::make_shared<ui::MediaMetadata>(ui::MediaMetadata { m_currentRecording->key(), m_currentRecording->title(),
        double(m_currentRecording->length()), m_currentRecording->category(), m_currentRecording->image() });
}

double RecordingStudioViewController::position() const
{
    return m_state == StudioStatePlaying && m_player ? m_player->position() : 0;
}

bool RecordingStudioViewController::canPlay() const
{
    return m_state == StudioStateRecorded || (m_state == StudioStatePlaying && m_player && m_player->paused());
}

bool RecordingStudioViewController::canPause() const
{
    return m_state == StudioStatePlaying && playerActive() && !m_player->paused();
}

bool RecordingStudioViewController::canSeek() const
{
    return m_state == StudioStatePlaying && playerActive() && m_playbackSlider;
}

void RecordingStudioViewController::seekTo(double seconds)
{
    if (!canSeek())
        return;
    playbackSliderSlideStart();
    m_playbackSlider->setValue(float(seconds));
    playbackSliderSlideStop();
    ui::Application::sharedApplication().mediaPlayerDidChange();
}

void RecordingStudioViewController::play()
{
    if (m_state == StudioStateRecorded)
        playButtonPressed();
    else if (canPlay())
        playPauseButtonPressed();
}

void RecordingStudioViewController::pause()
{
    if (canPause())
        playPauseButtonPressed();
}

void RecordingStudioViewController::stop()
{
    if (m_state == StudioStatePlaying)
        playStopButtonPressed();
}

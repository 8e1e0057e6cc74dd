#include "PlaybackViewController.h"

#include "AudioPlayer.h"
#include "ControlPanelView.h"
#include "DetailsEditorViewController.h"
#include "HelperMethods.h"
#include "Recording.h"
#include "RecordingDataSource.h"

#include "audio/Device.h"
#include "foundation/Bundle.h"
#include "foundation/Calendar.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/StringFormat.h"
#include "graphics/Image.h"
#include "ui/AlertView.h"
#include "ui/Appearance.h"
#include "ui/Application.h"
#include "ui/BarButtonItem.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "ui/NavigationItem.h"
#include "ui/Screen.h"
#include "ui/Slider.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace {

constexpr std::int32_t kLocationMyRecordings = 1;
constexpr std::int32_t kLocationTrash = 2;

constexpr double kTimerInterval = 0.2;
constexpr double kAnimationDuration = 0.6;
constexpr float kControlsSlide = 120;
constexpr int kButtonLeftCap = 24;

std::string text(const char* key)
{
    return foundation::localizedString(key);
}

// "%@: %@" with the text for key and value.
std::string labelled(const char* key, const std::string& value)
{
    return foundation::formatWithString(text("Heading Format"), text(key)) + " " + value;
}

const void* queueObject(const std::shared_ptr<AudioPlayer>& player)
{
    return static_cast<const AudioQueueObject*>(player.get());
}

std::shared_ptr<ui::Label> detailLabel(const gfx::Rect& frame, const gfx::Font& font)
{
    auto label = std::make_shared<ui::Label>(frame);
    label->setBackgroundColor(gfx::Color::clear());
    label->setFont(font);
    return label;
}

std::shared_ptr<gfx::Image> stretchable(const char* image)
{
    auto picture = ui::imageNamed(image);
    return picture ? picture->stretchableImage(kButtonLeftCap, 0) : nullptr;
}

// The delete, restore and speaker buttons share one look.
std::shared_ptr<ui::Button> largeButton(const gfx::Rect& frame, const char* title, const char* background)
{
    auto button = std::make_shared<ui::Button>(frame);
    button->setTitleForState(text(title), ui::ControlStateNormal);
    button->setTitleColorForState(gfx::Color::grey(1.0f, 0.9f), ui::ControlStateNormal);
    button->setFont(gfx::Font::boldSystemFont(15));
    button->setMinimumFontSize(12);
    button->setBackgroundImageForState(stretchable(background), ui::ControlStateNormal);
    return button;
}

std::shared_ptr<ui::Button> transportButton(const gfx::Rect& frame, const char* image)
{
    auto button = std::make_shared<ui::Button>(frame);
    button->setImageForState(ui::imageNamed(image), ui::ControlStateNormal);
    button->setShowsTouchWhenHighlighted(true);
    button->setBackgroundColor(gfx::Color::clear());
    return button;
}

std::shared_ptr<ui::Label> timeLabel(const gfx::Rect& frame, const char* value)
{
    auto label = detailLabel(frame, gfx::Font::boldSystemFont(12));
    label->setText(value);
    label->setTextColor(gfx::Color::white());
    label->setTextAlignment(gfx::TextAlignment::Center);
    return label;
}

} // namespace

PlaybackViewController::PlaybackViewController()
    : m_audioPlayer(std::make_shared<AudioPlayer>())
    , m_scaledImageTransform(gfx::AffineTransform::make(5.0f, 0, 0, 4.65f, 116, 105))
{
    setHidesBottomBarWhenPushed(true);
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, PRLVNotificationAudioQueueDidStart, queueObject(m_audioPlayer),
        [this](const foundation::Notification& notification) { playerDidStart(notification); });
    center.addObserver(this, PRLVNotificationAudioQueueDidStop, queueObject(m_audioPlayer),
        [this](const foundation::Notification& notification) { playerDidStop(notification); });
}

PlaybackViewController::~PlaybackViewController()
{
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
    stopTimer();
}

bool PlaybackViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const
{
    return orientation == ui::InterfaceOrientation::Portrait;
}

// Views

void PlaybackViewController::loadView()
{
    ViewController::loadView();
    navigationItem()->setRightBarButtonItem(
        ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Edit, [this](ui::BarButtonItem&) { editButtonPressed(); }), false);

    auto view = std::make_shared<ui::View>(ui::Screen::mainScreen().designApplicationFrame());
    view->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    view->setBackgroundColor(ui::groupTableViewBackgroundColor());
    setView(view);

    m_recordingImageButton = std::make_shared<ui::Button>(gfx::Rect(12, 12, 64, 64));
    m_recordingImageButton->setAccessibilityName(text("Photo Button Name"));
    m_recordingImageButton->setBackgroundImageForState(ui::imageNamed("recording_symbol_normal.png"), ui::ControlStateNormal);
    m_recordingImageButton->setFont(gfx::Font::boldSystemFont(12));
    m_recordingImageButton->setTitleEdgeInsets({ 40, 0, 0, 0 });
    m_recordingImageButton->addTargetActionForControlEvents(this, [this](ui::Control&) { recordingImageButtonPressed(); },
        ui::ControlEventTouchUpInside);

    m_titleLabel = detailLabel(gfx::Rect(88, 12, 220, 32), gfx::Font::boldSystemFont(16));
    // An untitled memo's name in French or German is wider than the line at 16 points.
    m_titleLabel->setMinimumFontSize(12);
    m_categoryLabel = detailLabel(gfx::Rect(88, 40, 220, 24), gfx::Font::systemFont(15));
    m_dateLabel = detailLabel(gfx::Rect(12, 88, 296, 24), gfx::Font::systemFont(15));
    m_lengthLabel = detailLabel(gfx::Rect(12, 112, 296, 24), gfx::Font::systemFont(15));
    m_commentsHeaderLabel = detailLabel(gfx::Rect(12, 136, 296, 24), gfx::Font::systemFont(15));
    m_commentsHeaderLabel->setText(foundation::formatWithString(text("Heading Format"), text("Comments")));
    m_commentsLabel = detailLabel(gfx::Rect(12, 156, 296, 60), gfx::Font::systemFont(15));
    m_commentsLabel->setNumberOfLines(0);
    m_commentsLabel->setLineBreakMode(gfx::LineBreakMode::WordWrap);
    // The texts take the width a wider screen gives; the buttons keep their size at the sides.
    for (const auto& label : { m_titleLabel, m_categoryLabel, m_dateLabel, m_lengthLabel, m_commentsHeaderLabel, m_commentsLabel })
        label->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);

    m_deleteButton = largeButton(gfx::Rect(12, 226, 144, 48), "Delete Recording", "RedButton.png");
    m_deleteButton->addTargetActionForControlEvents(this, [this](ui::Control&) { deleteButtonPressed(); }, ui::ControlEventTouchUpInside);
    m_speakerButton = largeButton(gfx::Rect(164, 226, 144, 48), "Speaker ON", "BlueButton.png");
    m_speakerButton->addTargetActionForControlEvents(this, [this](ui::Control&) { speakerButtonPressed(); }, ui::ControlEventTouchUpInside);
    m_speakerButton->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
    m_restoreButton = largeButton(gfx::Rect(12, 226, 144, 48), "Undelete Recording", "GreenButton.png");
    m_restoreButton->addTargetActionForControlEvents(this, [this](ui::Control&) { restoreButtonPressed(); }, ui::ControlEventTouchUpInside);

    m_recordingContentView = std::make_shared<ui::View>(gfx::Rect(0, 0, 320, 340));
    m_recordingContentView->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    m_recordingContentView->setBackgroundColor(ui::groupTableViewBackgroundColor());
    // The photo button last, so that its zoomed picture lies over the rest.
    for (const auto& subview : std::initializer_list<std::shared_ptr<ui::View>> { m_titleLabel, m_categoryLabel, m_dateLabel, m_lengthLabel,
             m_commentsHeaderLabel, m_commentsLabel, m_deleteButton, m_speakerButton, m_restoreButton, m_recordingImageButton })
        m_recordingContentView->addSubview(subview);

    m_playbackSlider = ControlPanelView::makePlaybackSlider(gfx::Rect(60, 75, 200, 20));
    m_playbackSlider->setAccessibilityName(text("Playback Position Name"));
    m_playbackSlider->addTargetActionForControlEvents(this, [this](ui::Control&) { playbackSliderSlideStart(); }, ui::ControlEventTouchDown);
    m_playbackSlider->addTargetActionForControlEvents(this, [this](ui::Control&) { playbackSliderSlideStop(); }, ui::ControlEventValueChanged);
    m_playTimeLabel = timeLabel(gfx::Rect(0, 76, 58, 20), "0:00");
    m_remainingTimeLabel = timeLabel(gfx::Rect(260, 76, 60, 20), "-0:00");
    m_playPauseButton = transportButton(gfx::Rect(124, 0, 72, 60), "play.png");
    m_playPauseButton->setAccessibilityName(text("Play Button Name"));
    m_playPauseButton->addTargetActionForControlEvents(this, [this](ui::Control&) { playPauseButtonPressed(); }, ui::ControlEventTouchUpInside);
    m_skipForwardButton = transportButton(gfx::Rect(200, 0, 72, 60), "skip_forward.png");
    m_skipForwardButton->setAccessibilityName(text("Next Recording Button Name"));
    m_skipForwardButton->addTargetActionForControlEvents(this, [this](ui::Control&) { skipForwardButtonPressed(); },
        ui::ControlEventTouchUpInside);
    m_skipBackButton = transportButton(gfx::Rect(48, 0, 72, 60), "skip_back.png");
    m_skipBackButton->setAccessibilityName(text("Previous Recording Button Name"));
    m_skipBackButton->addTargetActionForControlEvents(this, [this](ui::Control&) { skipBackButtonPressed(); }, ui::ControlEventTouchUpInside);

    m_playbackControlPanel = std::make_shared<ControlPanelView>(gfx::Rect(0, 340, 320, 120));
    m_playbackControlPanel->setAutoresizingMask(ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleWidth);
    m_playbackSlider->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    m_remainingTimeLabel->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
    // The panel paints only its top 30 points; below them its white time labels need the dark
    // of the gradient's end rather than the light screen showing through.
    m_playbackControlPanel->setBackgroundColor(gfx::Color::grey(0.06f));
    // The three transport buttons stay together in the middle of a wider panel.
    auto transport = std::make_shared<ui::View>(gfx::Rect(48, 0, 224, 60));
    transport->setBackgroundColor(gfx::Color::clear());
    transport->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin);
    for (const auto& button : { m_playPauseButton, m_skipForwardButton, m_skipBackButton }) {
        button->setFrame(button->frame().offsetBy(-48, 0));
        transport->addSubview(button);
    }
    for (const auto& subview : std::initializer_list<std::shared_ptr<ui::View>> { m_playbackSlider, m_playTimeLabel, m_remainingTimeLabel, transport })
        m_playbackControlPanel->addSubview(subview);

    view->addSubview(m_recordingContentView);
    view->addSubview(m_playbackControlPanel);
}

void PlaybackViewController::viewDidLayoutSubviews()
{
    // The designed zoom at 320 points; a wider screen moves it across by half the difference.
    const float across = std::round((view()->bounds().width() - ui::Screen::kDesignSize.width) * 0.5f);
    const gfx::AffineTransform zoom = gfx::AffineTransform::make(5.0f, 0, 0, 4.65f, 116 + std::max(0.0f, across), 105);
    if (zoom == m_scaledImageTransform)
        return;
    const bool zoomed = m_recordingImageButton->transform() == m_scaledImageTransform;
    m_scaledImageTransform = zoom;
    if (zoomed)
        m_recordingImageButton->setTransform(zoom);
}

void PlaybackViewController::viewWillAppear(bool animated)
{
    showSpeakerMode(m_audioPlayer->speakerMode());
    refreshDisplayedRecording();
    ViewController::viewWillAppear(animated);
}

void PlaybackViewController::viewDidAppear(bool animated)
{
    ViewController::viewDidAppear(animated);
    ui::Application::sharedApplication().setMediaPlayer(std::static_pointer_cast<PlaybackViewController>(sharedController()));
}

void PlaybackViewController::viewDidDisappear(bool animated)
{
    if (m_recordingImageButton && m_recordingImageButton->transform() == m_scaledImageTransform)
        m_recordingImageButton->setTransform(gfx::AffineTransform::identity());
    ViewController::viewDidDisappear(animated);
}

void PlaybackViewController::didReceiveMemoryWarning()
{
    foundation::log("MEMORY WARNING!  Playback");
    ViewController::didReceiveMemoryWarning();
}

// The recording shown

void PlaybackViewController::setCurrentRecording(std::shared_ptr<Recording> recording)
{
    if (recording == m_currentRecording)
        return;
    m_currentRecording = std::move(recording);
    if (m_audioPlayer->isRunning())
        m_audioPlayer->stop();
    refreshDisplayedRecording();
    ui::Application::sharedApplication().mediaPlayerDidChange();
}

void PlaybackViewController::refreshDisplayedRecording()
{
    if (!isViewLoaded() || !m_currentRecording)
        return;
    Recording& recording = *m_currentRecording;

    // At most the zoomed photo's pixels, whatever size it was stored at; shown again, the
    // screen keeps the picture it decoded.
    RecordingImage bytes = recording.image();
    if (bytes != m_photoBytes) {
        m_photoBytes = bytes;
        m_photo = Recording::photoImage(bytes);
    }
    const std::shared_ptr<gfx::Image>& photo = m_photo;
    m_recordingImageButton->setBackgroundImageForState(photo ? photo : ui::imageNamed("recording_symbol_normal.png"), ui::ControlStateNormal);
    m_recordingImageButton->setShowsTouchWhenHighlighted(photo != nullptr);

    setTitle(recording.title());
    m_titleLabel->setText(recording.title());
    m_categoryLabel->setText(labelled("Category", recording.category()));
    // The long date and the short time without the joining word, which the line has no room
    // for; a long month name in some languages needs the shorter date form to fit at all.
    const double created = recording.createdDate();
    const std::string time = foundation::formatDateWithStyles(created, foundation::DateStyle::None, foundation::DateStyle::Short);
    std::string dateLine = labelled("Recorded", foundation::formatDateWithStyles(created, foundation::DateStyle::Long, foundation::DateStyle::None) + " " + time);
    if (m_dateLabel->font().widthOfText(dateLine) > m_dateLabel->bounds().width())
        dateLine = labelled("Recorded", foundation::formatDateWithStyles(created, foundation::DateStyle::Medium, foundation::DateStyle::None) + " " + time);
    m_dateLabel->setText(dateLine);
    const float length = recording.length();
    m_lengthLabel->setText(
        labelled("Duration", HelperMethods::formattedPlayTimeValueForPosition(length, length, false)) + " (" + recording.size() + ")");
    m_commentsLabel->setText(recording.comments());

    m_playbackSlider->setMinimumValue(0);
    m_playbackSlider->setMaximumValue(length);
    // Shown again while its playback goes on (back from the editor, or chosen again), the
    // slider stays where the sound is, or where the user left it for the next play.
    float value = 0;
    if (m_audioPlayer->isRunning())
        value = m_playbackPositionAdjustedWhilePaused ? m_playbackSlider->value() : static_cast<float>(m_audioPlayer->position());
    m_playbackSlider->setValue(value);
    refreshTimeLabels();

    const bool inTrash = recording.location() == kLocationTrash;
    m_restoreButton->setHidden(!inTrash);
    m_deleteButton->setHidden(inTrash);
    m_speakerButton->setHidden(false);
}

void PlaybackViewController::refreshTimeLabels()
{
    const float length = m_currentRecording ? m_currentRecording->length() : 0;
    const float value = m_playbackSlider->value();
    m_playTimeLabel->setText(HelperMethods::formattedPlayTimeValueForPosition(value, length, false));
    m_remainingTimeLabel->setText(HelperMethods::formattedPlayTimeValueForPosition(value, length, true));
}

// Transport

void PlaybackViewController::playFrom(double seconds)
{
    if (!m_currentRecording)
        return;
    m_audioPlayer->playFromFileStartingAtPosition(m_currentRecording->audioFileName(), seconds);
    m_playbackPositionAdjustedWhilePaused = false;
    // A file that cannot be played makes no queue: the button must not claim it plays.
    const bool plays = m_audioPlayer->queueObject() != nullptr;
    showPlayPauseImage(plays ? "pause.png" : "play.png");
    if (!plays)
        showCannotPlayAlert();
}

void PlaybackViewController::showCannotPlayAlert()
{
    // One alert at a time, however often play is pressed meanwhile.
    if (auto shown = m_alert.lock(); shown && shown->isVisible())
        return;
    // The sound output refusing it is no fault of the memo's file.
    const bool device = m_audioPlayer->playbackFailure() == audio::kQueueDeviceError;
    auto alert = std::make_shared<ui::AlertView>(text("Playback Failed Prompt Title"),
        foundation::formatWithString(text(device ? "Playback Unavailable Prompt" : "Playback Failed Prompt"), m_currentRecording->title()),
        nullptr, text("OK"));
    m_alert = alert;
    alert->show();
}

void PlaybackViewController::playCurrentRecordingFromBeginning()
{
    if (m_audioPlayer->isRunning())
        m_audioPlayer->stop();
    playFrom(0);
}

void PlaybackViewController::togglePlayback()
{
    if (!m_audioPlayer->isRunning()) {
        playCurrentRecordingFromBeginning();
    } else if (m_audioPlayer->paused()) {
        if (m_playbackPositionAdjustedWhilePaused) {
            playFrom(double(m_playbackSlider->value()));
        } else {
            m_audioPlayer->resume();
            showPlayPauseImage("pause.png");
        }
    } else {
        m_audioPlayer->pause();
        showPlayPauseImage("play.png");
    }
    ui::Application::sharedApplication().mediaPlayerDidChange();
}

void PlaybackViewController::playbackSliderSlideStart()
{
    if (!m_audioPlayer->isRunning())
        return;
    if (m_audioPlayer->paused())
        m_playbackPositionAdjustedWhilePaused = true;
    else
        m_audioPlayer->pause();
}

void PlaybackViewController::playbackSliderSlideStop()
{
    if (m_playbackPositionAdjustedWhilePaused)
        return;
    playFrom(double(m_playbackSlider->value()));
}

void PlaybackViewController::showPlayPauseImage(const char* image)
{
    if (!m_playPauseButton)
        return;
    m_playPauseButton->setImageForState(ui::imageNamed(image), ui::ControlStateNormal);
    m_playPauseButton->setAccessibilityName(text(std::string_view(image) == "pause.png" ? "Pause Button Name" : "Play Button Name"));
}

// Position display

void PlaybackViewController::playerDidStart(const foundation::Notification&)
{
    if (m_currentRecording) {
        m_currentRecording->setPlayCount(m_currentRecording->playCount() + 1);
        m_currentRecording->save();
    }
    startTimer();
    ui::Application::sharedApplication().mediaPlayerDidChange();
}

void PlaybackViewController::playerDidStop(const foundation::Notification&)
{
    stopTimer();
    // A position marked while paused belongs to the playback that ended; kept, it would make
    // the next slider release do nothing.
    m_playbackPositionAdjustedWhilePaused = false;
    showPlayPauseImage("play.png");
    if (m_audioPlayer->donePlayingFile() && m_playbackSlider) {
        m_playbackSlider->setValue(0);
        refreshTimeLabels();
    }
    ui::Application::sharedApplication().mediaPlayerDidChange();
}

void PlaybackViewController::startTimer()
{
    stopTimer();
    m_timer = foundation::RunLoop::main().scheduleTimer(kTimerInterval, true, [this](foundation::Timer&) { onTimer(); });
}

void PlaybackViewController::stopTimer()
{
    if (m_timer)
        m_timer->invalidate();
    m_timer.reset();
}

void PlaybackViewController::onTimer()
{
    if (!m_playbackSlider)
        return;
    if (m_audioPlayer->isRunning() && !m_audioPlayer->paused())
        m_playbackSlider->setValue(static_cast<float>(m_audioPlayer->position()));
    refreshTimeLabels();
}

// Route

void PlaybackViewController::showSpeakerMode(bool speaker)
{
    if (!m_speakerButton)
        return;
    // Without an earpiece both routes sound the same: the button shows the setting, dimmed.
    const bool hasEarpiece = audio::currentDevice()->hasEarpiece();
    m_speakerButton->setEnabled(hasEarpiece);
    m_speakerButton->setAccessibilityDescription(hasEarpiece ? "" : text("No Earpiece Description"));
    m_speakerButton->setBackgroundImageForState(stretchable(speaker ? "BlueButton.png" : "BlackButton.png"), ui::ControlStateNormal);
    m_speakerButton->setTitleForState(text(speaker ? "Speaker ON" : "Speaker OFF"), ui::ControlStateNormal);
}

void PlaybackViewController::speakerButtonPressed()
{
    view()->setUserInteractionEnabled(false);
    const bool speaker = !m_audioPlayer->speakerMode();
    showSpeakerMode(speaker);
    m_audioPlayer->setSpeakerMode(speaker);
    if (m_audioPlayer->isRunning()) {
        if (m_audioPlayer->paused()) {
            m_playbackPositionAdjustedWhilePaused = true;
        } else {
            const double position = m_audioPlayer->position();
            m_audioPlayer->pause();
            playFrom(position);
        }
    }
    view()->setUserInteractionEnabled(true);
}

// Trash bin

void PlaybackViewController::deleteButtonPressed()
{
    if (!m_currentRecording)
        return;
    m_currentRecording->setLocation(kLocationTrash);
    m_currentRecording->save();
    if (m_audioPlayer->isRunning())
        m_audioPlayer->stop();
    if (auto* navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

void PlaybackViewController::restoreButtonPressed()
{
    if (!m_currentRecording)
        return;
    m_currentRecording->setLocation(kLocationMyRecordings);
    m_currentRecording->save();
    if (m_audioPlayer->isRunning())
        m_audioPlayer->stop();
    if (auto* navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

// Previous and next

bool PlaybackViewController::stepTo(const std::shared_ptr<Recording>& recording, ui::ViewAnimationTransition transition)
{
    if (!recording)
        return false;
    ui::View::beginAnimations();
    ui::View::setAnimationDuration(kAnimationDuration);
    ui::View::setAnimationDelegate(weak_from_this());
    ui::View::setAnimationTransitionForView(transition, m_recordingContentView.get(), true);
    setCurrentRecording(recording);
    ui::View::commitAnimations();
    return true;
}

bool PlaybackViewController::goToNextRecording()
{
    if (!m_dataSource || !m_currentRecording)
        return false;
    return stepTo(m_dataSource->recordingAfter(m_currentRecording), ui::ViewAnimationTransition::CurlUp);
}

bool PlaybackViewController::goToPreviousRecording()
{
    if (!m_dataSource || !m_currentRecording)
        return false;
    return stepTo(m_dataSource->recordingBefore(m_currentRecording), ui::ViewAnimationTransition::CurlDown);
}

void PlaybackViewController::skipForwardButtonPressed()
{
    if (goToNextRecording() && m_audioPlayer->isRunning())
        m_audioPlayer->stop();
}

void PlaybackViewController::skipBackButtonPressed()
{
    if (goToPreviousRecording() && m_audioPlayer->isRunning())
        m_audioPlayer->stop();
}

// Photo zoom

void PlaybackViewController::recordingImageButtonPressed()
{
    m_recordingImageButton->setUserInteractionEnabled(false);
    ui::View::beginAnimations({}, m_recordingImageButton.get());
    ui::View::setAnimationDuration(kAnimationDuration);
    ui::View::setAnimationDelegate(weak_from_this());
    ui::View::setAnimationDidStopSelector(
        [this](const std::string& animationID, bool finished, void* context) { transitionDidStop(animationID, finished, context); });
    const bool zoomed = m_recordingImageButton->transform() == m_scaledImageTransform;
    m_recordingImageButton->setTransform(zoomed ? gfx::AffineTransform::identity() : m_scaledImageTransform);
    ui::View::commitAnimations();
}

void PlaybackViewController::transitionDidStop(const std::string&, bool, void* context)
{
    if (context == m_recordingImageButton.get())
        m_recordingImageButton->setUserInteractionEnabled(true);
}

// Editing and the transport panel

void PlaybackViewController::editButtonPressed()
{
    if (!m_currentRecording)
        return;
    // Shown again when the editor goes, the screen refreshes and so shows the edits.
    auto editor = DetailsEditorViewController::sharedDetailsEditor();
    editor->setCurrentRecording(m_currentRecording);
    presentModalViewController(editor, true);
}

void PlaybackViewController::slidePlaybackControls(float dy)
{
    ui::View::beginAnimations();
    ui::View::setAnimationDuration(kAnimationDuration);
    ui::View::setAnimationDelegate(weak_from_this());
    for (const auto& panel : std::initializer_list<std::shared_ptr<ui::View>> { m_playbackControlPanel, m_restoreButton })
        panel->setTransform(panel->transform().concatenated(gfx::AffineTransform::makeTranslation(0, dy)));
    ui::View::commitAnimations();
}

void PlaybackViewController::hidePlaybackControls()
{
    if (!m_playbackControlPanel)
        return;
    m_playbackControlPanel->setUserInteractionEnabled(false);
    slidePlaybackControls(kControlsSlide);
}

void PlaybackViewController::showPlaybackControls()
{
    if (!m_playbackControlPanel)
        return;
    m_playbackControlPanel->setUserInteractionEnabled(true);
    slidePlaybackControls(-kControlsSlide);
}

// Keys and the media player

bool PlaybackViewController::performKeyCommand(const ui::KeyCommand& command)
{
    if (command.is(" ") && m_currentRecording) {
        togglePlayback();
        return true;
    }
    return ViewController::performKeyCommand(command);
}

void PlaybackViewController::keyPressed(ui::Key key)
{
    if (key == ui::Key::Delete && m_deleteButton && !m_deleteButton->isHidden()) {
        deleteButtonPressed();
        return;
    }
    if (canSeek()) {
        if (auto target = ControlPanelView::seekTargetForKey(*m_playbackSlider, key)) {
            seekTo(*target);
            return;
        }
    }
    ViewController::keyPressed(key);
}

ui::PlaybackStatus PlaybackViewController::playbackStatus() const
{
    if (!m_audioPlayer->isRunning())
        return ui::PlaybackStatus::Stopped;
    return m_audioPlayer->paused() ? ui::PlaybackStatus::Paused : ui::PlaybackStatus::Playing;
}

std::shared_ptr<const ui::MediaMetadata> PlaybackViewController::nowPlaying() const
{
    if (!m_currentRecording)
        return nullptr;
    return std::make_shared<ui::MediaMetadata>(ui::MediaMetadata { m_currentRecording->key(), m_currentRecording->title(),
        double(m_currentRecording->length()), m_currentRecording->category(), m_currentRecording->image() });
}

double PlaybackViewController::position() const
{
    return m_audioPlayer->isRunning() ? m_audioPlayer->position() : 0;
}

bool PlaybackViewController::canPlay() const
{
    return m_currentRecording && isViewLoaded() && (!m_audioPlayer->isRunning() || m_audioPlayer->paused());
}

bool PlaybackViewController::canPause() const
{
    return m_audioPlayer->isRunning() && !m_audioPlayer->paused();
}

bool PlaybackViewController::canGoNext() const
{
    return m_dataSource && m_currentRecording && isViewLoaded() && m_dataSource->recordingAfter(m_currentRecording);
}

bool PlaybackViewController::canGoPrevious() const
{
    return m_dataSource && m_currentRecording && isViewLoaded() && m_dataSource->recordingBefore(m_currentRecording);
}

bool PlaybackViewController::canSeek() const
{
    return m_playbackSlider && m_audioPlayer->isRunning();
}

void PlaybackViewController::seekTo(double seconds)
{
    if (!canSeek())
        return;
    playbackSliderSlideStart();
    m_playbackSlider->setValue(float(seconds));
    refreshTimeLabels();
    playbackSliderSlideStop();
    ui::Application::sharedApplication().mediaPlayerDidChange();
}

void PlaybackViewController::play()
{
    if (canPlay())
        togglePlayback();
}

void PlaybackViewController::pause()
{
    if (canPause())
        togglePlayback();
}

void PlaybackViewController::stop()
{
    if (!m_audioPlayer->isRunning())
        return;
    m_audioPlayer->stop();
    if (m_playbackSlider) {
        m_playbackSlider->setValue(0);
        refreshTimeLabels();
    }
}

#include "ParlivoAppDelegate.h"

#include "AboutViewController.h"
#include "AudioQueueObject.h"
#include "CategoriesTableViewController.h"
#include "DetailsEditorViewController.h"
#include "HelperMethods.h"
#include "MyRecordingsViewController.h"
#include "PreferencesViewController.h"
#include "Recording.h"
#include "RecordingLibrary.h"
#include "RecordingStudioViewController.h"
#include "TrashBinViewController.h"

#include "audio/Session.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/StringFormat.h"
#include "foundation/UnicodeText.h"
#include "foundation/UserDefaults.h"
#include "ui/AlertView.h"
#include "ui/NavigationController.h"
#include "ui/Screen.h"
#include "ui/TabBarController.h"
#include "ui/Window.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cctype>
#include <cstdlib>
#include <map>
#include <vector>

const char* const PRLVNotificationAudioSessionInterruptionStarting = "PRLVNotificationAudioSessionInterruptionStarting";
const char* const PRLVNotificationAudioSessionInterruptionStopping = "PRLVNotificationAudioSessionInterruptionStopping";

namespace {

constexpr const char* kInterruptedRecordingKey = "interruptedRecordingKey";

foundation::UserDefaults& defaults()
{
    return foundation::UserDefaults::standardUserDefaults();
}

} // namespace

void interruptionListenerCallback(void* inClientData, std::uint32_t inInterruptionState)
{
    auto* delegate = static_cast<ParlivoAppDelegate*>(inClientData);
    if (inInterruptionState == audio::kSessionBeginInterruption)
        delegate->audioSessionInterruptionStart();
    else if (inInterruptionState == audio::kSessionEndInterruption)
        delegate->audioSessionInterruptionEnd();
}

namespace {

// The one list of the settings and their defaults; registration, the key check and the
// command line's listing all read it.
std::vector<std::pair<std::string, std::string>> settingsWithDefaults()
{
    return {
        { "interruptedRecordingKey", "-1" },
        { "defaultCategory", foundation::localizedString("General") },
        { "soundEffects", "Yes" },
        { "aboutScreenHidden", "NO" },
        { "emptyTrash", "NO" },
        { "playMode", "speaker" },
        { "sampleRate", "22050" },
        { "showImages", "NO" },
        { "listStyle", "grouped" },
        { "instantRecord", "NO" },
        { "saveOption", "titleEditor" },
        { "recordTimer", "Yes" },
        // The sound server's name of a microphone and a speaker; empty follows the system.
        { "microphoneDevice", "" },
        { "speakerDevice", "" },
    };
}

std::string lowercased(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Edits (insert, delete, replace, swap two neighbours) that turn a into b.
size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({ d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1]) });
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

} // namespace

void ParlivoAppDelegate::initialize()
{
    const auto settings = settingsWithDefaults();
    defaults().registerDefaults(std::map<std::string, std::string>(settings.begin(), settings.end()));
}

const std::vector<std::string>& ParlivoAppDelegate::settingKeys()
{
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> names;
        for (const auto& [key, value] : settingsWithDefaults())
            names.push_back(key);
        return names;
    }();
    return keys;
}

std::optional<std::string> ParlivoAppDelegate::settingDefault(const std::string& key)
{
    for (const auto& [name, value] : settingsWithDefaults()) {
        if (name == key)
            return value;
    }
    return std::nullopt;
}

std::optional<std::string> ParlivoAppDelegate::settingKeyProblem(const std::string& key)
{
    const auto& keys = settingKeys();
    if (std::find(keys.begin(), keys.end(), key) != keys.end())
        return std::nullopt;
    // Case is the commonest slip; then a few typed letters wrong, or the start of a name.
    const std::string typed = lowercased(key);
    const size_t allowed = typed.size() <= 8 ? 2 : 3;
    std::optional<std::string> nearest;
    size_t nearestDistance = allowed + 1;
    for (const auto& candidate : keys) {
        const std::string name = lowercased(candidate);
        size_t distance = editDistance(typed, name);
        if (typed.size() >= 4 && name.starts_with(typed))
            distance = std::min<size_t>(distance, 1);
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = candidate;
        }
    }
    std::string problem = (foundation::isValidUtf8(key) ? key : std::string("the key")) + ": no such setting";
    if (nearest)
        problem += "; did you mean " + *nearest + "?";
    return problem;
}

std::optional<std::string> ParlivoAppDelegate::storeSetting(const std::string& key, const std::string& value)
{
    if (auto problem = settingKeyProblem(key))
        return problem;
    if (auto problem = settingValueProblem(key, value))
        return problem;
    if (!defaults().setObjectForKey(value, key))
        return "the settings file cannot be written";
    return std::nullopt;
}

namespace {

// The names sound servers give their devices ("alsa_input.pci-0000_00_1f.3.analog-stereo",
// "bluez_sink.00_11_22_33_44_55.a2dp_sink"); the empty name follows the system's default.
bool isDeviceName(const std::string& value)
{
    return value.size() <= 255 && std::all_of(value.begin(), value.end(), [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-' || c == ':' || c == '@';
    });
}

} // namespace

std::optional<std::string> ParlivoAppDelegate::settingValueProblem(const std::string& key, const std::string& value)
{
    static const std::vector<std::string> kFlags = { "soundEffects", "aboutScreenHidden", "emptyTrash", "showImages", "instantRecord", "recordTimer" };
    static const std::vector<std::string> kFlagValues = { "Yes", "YES", "yes", "NO", "No", "no", "true", "false", "1", "0" };
    if (!foundation::isValidUtf8(value))
        return "a setting holds UTF-8 text";
    if (key == "sampleRate" && !HelperMethods::sampleRateFromSetting(value))
        return "sampleRate takes a whole number of hertz from 1 to 384000";
    if ((key == "microphoneDevice" || key == "speakerDevice") && !isDeviceName(value))
        return key + " takes a sound device's name (letters, digits and . _ - : @ only, at most 255), or nothing to follow the system";
    if (key == "interruptedRecordingKey") {
        char* end = nullptr;
        errno = 0;
        long long number = std::strtoll(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || errno == ERANGE || number < INT32_MIN || number > INT32_MAX)
            return "interruptedRecordingKey takes a whole number that fits 32 bits";
    }
    if (std::find(kFlags.begin(), kFlags.end(), key) != kFlags.end()
        && std::find(kFlagValues.begin(), kFlagValues.end(), value) == kFlagValues.end())
        return key + " takes Yes or NO";
    return std::nullopt;
}

ParlivoAppDelegate::ParlivoAppDelegate()
    : m_listenerTarget(std::make_shared<ParlivoAppDelegate*>(this))
{
    audio::Session::shared().initialize(nullptr, [target = std::weak_ptr<ParlivoAppDelegate*>(m_listenerTarget)](std::uint32_t state) {
        if (auto delegate = target.lock())
            interruptionListenerCallback(*delegate, state);
    });
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, PRLVNotificationRecordingSaved, nullptr, [this](const foundation::Notification&) { updateUnplayedCount(); });
    center.addObserver(this, PRLVNotificationRecordingDeleted, nullptr, [this](const foundation::Notification&) { updateUnplayedCount(); });
    center.addObserver(this, PRLVNotificationAudioQueueWillStart, nullptr,
        [this](const foundation::Notification& notification) { audioQueueWillStart(notification.objectAs<AudioQueueObject>()); });
}

ParlivoAppDelegate::~ParlivoAppDelegate()
{
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
}

void ParlivoAppDelegate::applicationDidFinishLaunching(ui::Application& application)
{
    application.setStatusBarStyle(ui::StatusBarStyle::BlackOpaque, false);
    std::vector<std::shared_ptr<ui::ViewController>> controllers;
    controllers.reserve(4);

    auto addTab = [&controllers](std::shared_ptr<ui::ViewController> screen) {
        auto navigation = std::make_shared<ui::NavigationController>(std::move(screen));
        navigation->navigationBar()->setBarStyle(ui::BarStyle::Black);
        controllers.push_back(std::move(navigation));
    };
    m_studio = RecordingStudioViewController::create();
    addTab(m_studio);
    m_myRecordings = MyRecordingsViewController::create();
    addTab(m_myRecordings);
    m_categories = CategoriesTableViewController::create();
    addTab(m_categories);
    m_trashBin = TrashBinViewController::create();
    addTab(m_trashBin);
    if (!defaults().boolForKey("aboutScreenHidden")) {
        m_about = AboutViewController::create();
        addTab(m_about);
    }

    m_tabBarController = std::make_shared<ui::TabBarController>();
    m_tabBarController->setViewControllers(std::move(controllers));

    m_window = std::make_shared<ui::Window>(ui::Screen::mainScreen().bounds());
    m_tabBarController->view()->setFrame(ui::Screen::mainScreen().applicationFrame());
    m_window->setBackgroundColor(gfx::Color::black());
    m_window->addContentView(m_tabBarController->view());

    updateUnplayedCount();
    m_window->makeKeyAndVisible();
    showStoreReport();

    const auto interruptedKey = defaults().integerForKey(kInterruptedRecordingKey);
    foundation::logf("%s: %i", kInterruptedRecordingKey, static_cast<int>(interruptedKey));
    if (interruptedKey > 0) {
        // A copy: resolving may delete recordings from the library's list.
        const auto recordings = RecordingLibrary::sharedLibrary().recordings();
        for (const auto& recording : recordings) {
            if (recording->key() == interruptedKey)
                m_studio->resolveInterruptedRecording(recording);
        }
    } else if (defaults().boolForKey("instantRecord"))
        m_studio->setInstantStart(true);
    defaults().setObjectForKey("-1", kInterruptedRecordingKey);
}

bool ParlivoAppDelegate::applicationShowPreferences(ui::Application&)
{
    if (!m_tabBarController || !m_window)
        return false;
    if (auto shown = m_preferences.lock(); shown && shown->navigationController() && shown->navigationController()->view()->window())
        return true;
    auto preferences = PreferencesViewController::create(m_trashBin);
    auto navigation = std::make_shared<ui::NavigationController>(preferences);
    navigation->navigationBar()->setBarStyle(ui::BarStyle::Black);
    m_tabBarController->presentModalViewController(navigation, true);
    m_preferences = preferences;
    return true;
}

void ParlivoAppDelegate::showStoreReport()
{
    const auto& report = RecordingLibrary::sharedLibrary().startupReport();
    std::string title;
    std::string message;
    using Problem = RecordingLibrary::StorageProblem;
    if (report.problem == Problem::Busy) {
        title = foundation::localizedString("Library Busy Prompt Title");
        message = foundation::localizedString("Library Busy Prompt");
    } else if (!report.asidePath.empty()) {
        // Once: at the start that set the database aside, or that filed its memos again.
        title = foundation::localizedString("Library Repaired Prompt Title");
        message = foundation::formatWithString(foundation::localizedString("Library Repaired Prompt"), report.asidePath) + "\n\n"
            + foundation::formatWithString(foundation::localizedString("Library Refiled Prompt"), std::to_string(report.refiled));
        if (report.restored > 0)
            message += " " + foundation::formatWithString(foundation::localizedString("Library Restored Prompt"), std::to_string(report.restored));
    } else if (report.problem == Problem::ReadOnly) {
        title = foundation::localizedString("Library Read Only Prompt Title");
        message = foundation::localizedString("Library Read Only Prompt");
    }
    if (report.problem == Problem::ReadOnly && !report.asidePath.empty())
        message += "\n\n" + foundation::localizedString("Library Read Only Prompt");
    if (title.empty())
        return;
    auto alert = std::make_shared<ui::AlertView>(title, message, nullptr, foundation::localizedString("OK"));
    alert->show();
}

void ParlivoAppDelegate::updateUnplayedCount()
{
    int count = 0;
    for (const auto& recording : RecordingLibrary::sharedLibrary().recordings()) {
        if (recording->location() == 1 && recording->playCount() < 1)
            ++count;
    }
    ui::Application::sharedApplication().setApplicationIconBadgeNumber(count);
    if (m_myRecordings)
        m_myRecordings->tabBarItem()->setBadgeValue(count > 0 ? std::optional<std::string>(foundation::format("%i", count)) : std::nullopt);
}

void ParlivoAppDelegate::audioSessionInterruptionStart()
{
    if (!m_studio)
        return;
    // The studio moves its own state: one forced from outside lands in the middle of its turns.
    const auto& recording = m_studio->currentRecording();
    defaults().setObjectForKey(foundation::format("%i", recording ? recording->key() : 0), kInterruptedRecordingKey);
    foundation::NotificationCenter::defaultCenter().postNotificationName(PRLVNotificationAudioSessionInterruptionStarting, this);
}

void ParlivoAppDelegate::audioSessionInterruptionEnd()
{
    defaults().setObjectForKey("-1", kInterruptedRecordingKey);
    foundation::NotificationCenter::defaultCenter().postNotificationName(PRLVNotificationAudioSessionInterruptionStopping, this);
}

void ParlivoAppDelegate::audioQueueWillStart(AudioQueueObject* queue)
{
    if (m_activeAudioQueue && m_activeAudioQueue.get() != queue && m_activeAudioQueue->isRunning())
        m_activeAudioQueue->stop();
    m_activeAudioQueue = queue ? queue->weak_from_this().lock() : nullptr;
}

void ParlivoAppDelegate::applicationWillTerminate(ui::Application&)
{
    if (m_activeAudioQueue)
        m_activeAudioQueue->stop();
    // What the open editor shows is the user's: kept before the studio decides on its
    // recording, so a recording filed below is filed with the typed title.
    DetailsEditorViewController::sharedDetailsEditor()->keepShownEdits();

    if (m_studio) {
        if (const auto recording = m_studio->currentRecording()) {
            const auto state = m_studio->state();
            const bool unfinished = state == StudioStateInitial || state == StudioStateReady;
            // In state 9 a saved or deleted recording has already left the studio: the one it
            // holds is unfiled and goes. A recording without sound (record pressed, nothing
            // written yet) is not worth a place in My Recordings either; one recorded before
            // and being recorded again keeps its earlier take.
            if (unfinished || (state == StudioStateFinished && recording->location() == 0)
                || (state != StudioStateFinished && !HelperMethods::audioFileExists(recording->audioFileName())))
                recording->deleteRecording();
            else if (state != StudioStateFinished) {
                // The stopped queue's did-stop, which brings the length up to the file, is
                // delivered no more: the file says it now.
                if (const auto duration = HelperMethods::audioFileDuration(recording->audioFileName())) {
                    recording->setLength(static_cast<float>(*duration));
                    recording->setSize(HelperMethods::getAudioFileSizeFormattedString(recording->audioFileName()));
                }
                recording->setLocation(1);
                recording->save();
            }
        }
    }

    auto& library = RecordingLibrary::sharedLibrary();
    if (defaults().boolForKey("emptyTrash")) {
        std::vector<std::shared_ptr<Recording>> trashed;
        for (const auto& recording : library.recordings()) {
            if (recording->location() == 2)
                trashed.push_back(recording);
        }
        for (const auto& recording : trashed)
            recording->deleteRecording();
    }
    updateUnplayedCount();
    library.finalize();
    DetailsEditorViewController::sharedDetailsEditor()->finalize();
}

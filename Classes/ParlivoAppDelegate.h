#pragma once

#include "ui/Application.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class AboutViewController;
class AudioQueueObject;
class CategoriesTableViewController;
class MyRecordingsViewController;
class PreferencesViewController;
class RecordingStudioViewController;
class TrashBinViewController;

namespace ui {
class TabBarController;
class Window;
}

/// Posted (object: the ParlivoAppDelegate*) when an audio-session interruption begins, after
/// the studio's recording's key was stored.
extern const char* const PRLVNotificationAudioSessionInterruptionStarting;
/// Posted (object: the ParlivoAppDelegate*) when the interruption has ended.
extern const char* const PRLVNotificationAudioSessionInterruptionStopping;

/// Called by the audio session with the delegate as client data: state 1 (an interruption
/// begins) and state 0 (it ends) reach the delegate; any other state is ignored. Main run loop.
void interruptionListenerCallback(void* inClientData, std::uint32_t inInterruptionState);

/// The root object of the running application. It registers the settings defaults, keeps
/// the audio session's interruptions and the one-queue-at-a-time rule, builds the window with
/// the tab bar and its tabs (Studio, Recordings, Categories, Trash, and About unless
/// "aboutScreenHidden") at launch, keeps the unplayed count on
/// the application icon and the Recordings tab, offers a recording that an interruption cut off in the previous run, starts instant
/// recording when asked to, and at termination settles the studio's recording, empties the
/// trash when asked to and closes the database.
///
/// The application owns the delegate for the whole run; the delegate owns the window, the
/// tab bar controller and the tab screens. Main thread only.
class ParlivoAppDelegate : public ui::ApplicationDelegate {
public:
    /// Registers the default of every settings key with the settings store. Runs once per
    /// process before any setting is read (main calls it first); the defaults are never
    /// written to the settings file.
    static void initialize();
    /// Why value cannot be stored under a settings key, or none when it can: "sampleRate" takes
    /// a usable rate, "interruptedRecordingKey" a 32-bit whole number, the flags "Yes", "NO"
    /// and their usual spellings; the texts any UTF-8 text; keys of no setting anything.
    static std::optional<std::string> settingValueProblem(const std::string& key, const std::string& value);
    /// Every settings key of the program, in the order their defaults are registered.
    static const std::vector<std::string>& settingKeys();
    /// The registered default of a settings key; none for a key of no setting.
    static std::optional<std::string> settingDefault(const std::string& key);
    /// Why key is no setting of the program, naming the nearest one when there is one
    /// ("emptytrash: no such setting; did you mean emptyTrash?"); none for a known key.
    static std::optional<std::string> settingKeyProblem(const std::string& key);
    /// The one way the program's own code and the command line change a setting: the key and the
    /// value are checked, then stored. Returns why nothing was stored, or none when it was.
    static std::optional<std::string> storeSetting(const std::string& key, const std::string& value);

    /// Initialises the audio session with the interruption listener and observes the
    /// recording-saved, recording-deleted and queue-will-start notifications.
    ParlivoAppDelegate();
    ~ParlivoAppDelegate() override;
    ParlivoAppDelegate(const ParlivoAppDelegate&) = delete;
    ParlivoAppDelegate& operator=(const ParlivoAppDelegate&) = delete;

    /// Builds the window and the tabs, sets the badge, then offers an interrupted recording to
    /// the studio or starts instant recording.
    void applicationDidFinishLaunching(ui::Application& application) override;
    /// Stops the active queue, keeps or deletes the studio's recording by its state, empties
    /// the trash when "emptyTrash" says so, sets the badge, closes the database and finalizes
    /// the details editor.
    void applicationWillTerminate(ui::Application& application) override;
    /// Shows the Preferences screen over whatever shows (or leaves it, when it shows already).
    /// False before the window is built.
    bool applicationShowPreferences(ui::Application& application) override;
    /// The Preferences screen while it is shown, else null.
    std::shared_ptr<PreferencesViewController> preferences() const { return m_preferences.lock(); }

    /// Counts the recordings in My Recordings that were never played and shows the count on
    /// the application icon (0 removes the badge) and on the Recordings tab (none for 0).
    void updateUnplayedCount();
    /// The studio's recording's key is stored under "interruptedRecordingKey" and the starting
    /// notification posted; the studio holds its audio and keeps a recording under way in
    /// state 3 itself.
    void audioSessionInterruptionStart();
    /// "interruptedRecordingKey" is reset to "-1" and the stopping notification posted.
    void audioSessionInterruptionEnd();
    /// A queue is about to start: the queue that started before it is stopped if it still
    /// runs, and the new one becomes the active queue.
    void audioQueueWillStart(AudioQueueObject* queue);

    const std::shared_ptr<ui::Window>& window() const { return m_window; }
    const std::shared_ptr<ui::TabBarController>& tabBarController() const { return m_tabBarController; }
    const std::shared_ptr<RecordingStudioViewController>& studio() const { return m_studio; }
    const std::shared_ptr<MyRecordingsViewController>& myRecordings() const { return m_myRecordings; }
    const std::shared_ptr<CategoriesTableViewController>& categories() const { return m_categories; }
    const std::shared_ptr<TrashBinViewController>& trashBin() const { return m_trashBin; }
    /// The About tab's screen; null when "aboutScreenHidden" was true at launch.
    const std::shared_ptr<AboutViewController>& about() const { return m_about; }
    /// The queue that announced its start last; kept when it stops.
    const std::shared_ptr<AudioQueueObject>& activeAudioQueue() const { return m_activeAudioQueue; }
    void setActiveAudioQueue(std::shared_ptr<AudioQueueObject> queue) { m_activeAudioQueue = std::move(queue); }

private:
    /// Tells the user, in an alert, what the library met at start-up: another program's lock,
    /// a database set aside (where, and how many memos came back), a library that cannot be
    /// written. Nothing when it started as usual.
    void showStoreReport();

    std::shared_ptr<ui::Window> m_window;
    std::shared_ptr<ui::TabBarController> m_tabBarController;
    std::shared_ptr<RecordingStudioViewController> m_studio;
    std::shared_ptr<MyRecordingsViewController> m_myRecordings;
    std::shared_ptr<CategoriesTableViewController> m_categories;
    std::shared_ptr<TrashBinViewController> m_trashBin;
    std::shared_ptr<AboutViewController> m_about;
    std::shared_ptr<AudioQueueObject> m_activeAudioQueue;
    /// Owned by its navigation controller while it is presented.
    std::weak_ptr<PreferencesViewController> m_preferences;
    /// Held by the session's listener weakly: an interruption delivered after the delegate
    /// has gone finds no one.
    std::shared_ptr<ParlivoAppDelegate*> m_listenerTarget;
};

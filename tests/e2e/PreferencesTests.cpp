// The Preferences screen in the running application: each way in, settings changed on it read
// back by the code that reads them, and what the library takes on disk.

#include "StudioTest.h"

#include "AboutViewController.h"
#include "HelperMethods.h"
#include "MyRecordingsViewController.h"
#include "PreferencesTableViewCell.h"
#include "PreferencesViewController.h"
#include "RecordingTableViewCell.h"
#include "SoundEffect.h"
#include "TrashBinViewController.h"

#include "foundation/FileManager.h"
#include "ui/ActionSheet.h"
#include "ui/BarButtonItem.h"
#include "ui/KeyboardHelpView.h"
#include "ui/NavigationController.h"
#include "ui/Switch.h"
#include "ui/TabBarController.h"
#include "ui/TableView.h"

#include <sys/statvfs.h>

using namespace e2e;

namespace {

class PreferencesTest : public StudioTest {
protected:
    PreferencesViewController& preferences()
    {
        auto shown = delegate().preferences();
        EXPECT_TRUE(shown);
        return *shown;
    }
    bool preferencesShown()
    {
        auto shown = delegate().preferences();
        return shown && shown->view()->window() == &window();
    }
    void closePreferences()
    {
        preferences().doneButtonPressed();
        advance(0.6);
        EXPECT_FALSE(preferencesShown());
    }
    // The row of a key, scrolled into view.
    std::shared_ptr<PreferencesTableViewCell> rowFor(const std::string& key)
    {
        auto& screen = preferences();
        const auto indexPath = PreferencesViewController::indexPathForKey(key);
        EXPECT_TRUE(indexPath) << key;
        screen.tableView()->scrollToRowAtIndexPath(*indexPath, false);
        window().layoutIfNeeded();
        return std::dynamic_pointer_cast<PreferencesTableViewCell>(screen.tableView()->cellForRowAtIndexPath(*indexPath));
    }
    void tapSwitch(const std::string& key)
    {
        auto row = rowFor(key);
        ASSERT_TRUE(row && row->switchControl()) << key;
        tap(*row->switchControl());
    }
    void choose(const std::string& key, const std::string& value)
    {
        auto row = rowFor(key);
        ASSERT_TRUE(row) << key;
        tap(*row);
        advance(0.6);
        auto choices = preferences().choiceScreen();
        ASSERT_TRUE(choices);
        ASSERT_EQ(preferences().navigationController()->topViewController(), choices);
        int index = -1;
        for (size_t i = 0; i < choices->choices().size(); ++i)
            index = choices->choices()[i].first == value ? int(i) : index;
        ASSERT_GE(index, 0) << value;
        choices->tableView()->scrollToRowAtIndexPath({ 0, index }, false);
        window().layoutIfNeeded();
        tap(*choices->tableView()->cellForRowAtIndexPath({ 0, index }));
        advance(0.6);
        EXPECT_EQ(preferences().navigationController()->topViewController().get(), &preferences());
    }
};

} // namespace

TEST_F(PreferencesTest, OpensByItsShortcutTheShortcutListAboutAndTheApplication)
{
    launch();
    // Control+, wherever the keys are.
    window().sendKeyCommand({ ",", std::nullopt, true, false });
    advance(0.6);
    ASSERT_TRUE(preferencesShown());
    // Asked again while it shows, it stays the one screen.
    auto first = delegate().preferences();
    window().sendKeyCommand({ ",", std::nullopt, true, false });
    EXPECT_EQ(delegate().preferences(), first);
    closePreferences();

    // The shortcut list names it, and a tap on its row opens it.
    window().sendKeyCommand({ "", ui::Key::Help, false, false });
    auto help = window().keyboardHelp();
    ASSERT_TRUE(help);
    auto* list = dynamic_cast<ui::KeyboardHelpView*>(help);
    ASSERT_TRUE(list);
    tapAt(list->convertPointToView(list->preferencesRow().center(), nullptr));
    advance(0.6);
    EXPECT_FALSE(window().keyboardHelp());
    ASSERT_TRUE(preferencesShown());
    closePreferences();

    // A tap elsewhere on the list only closes it.
    window().sendKeyCommand({ "", ui::Key::Help, false, false });
    tapAt({ 160, 30 });
    advance(0.6);
    EXPECT_FALSE(window().keyboardHelp());
    EXPECT_FALSE(preferencesShown());

    // About's button.
    auto& tabs = *delegate().tabBarController();
    tabs.setSelectedIndex(int(tabs.viewControllers().size()) - 1);
    advance(0.5);
    auto button = delegate().about()->preferencesButton();
    ASSERT_TRUE(button);
    button->sendAction();
    advance(0.6);
    ASSERT_TRUE(preferencesShown());
    closePreferences();

    // What a second start (`--preferences`) asks of the running one through its socket.
    EXPECT_TRUE(ui::Application::sharedApplication().showPreferences());
    advance(0.6);
    EXPECT_TRUE(preferencesShown());
}

TEST_F(PreferencesTest, SwitchesAndChoicesAreStoredAsTheirReadersReadThem)
{
    launch();
    ASSERT_TRUE(ui::Application::sharedApplication().showPreferences());
    advance(0.6);

    // Photos in lists: a list's rows made afterwards show them.
    EXPECT_FALSE(RecordingTableViewCell({}, "x", ui::TableViewStyle::Plain, true).showImages());
    tapSwitch("showImages");
    EXPECT_EQ(setting("showImages"), "Yes");
    EXPECT_TRUE(RecordingTableViewCell({}, "x", ui::TableViewStyle::Plain, true).showImages());
    tapSwitch("showImages");
    EXPECT_EQ(setting("showImages"), "NO");
    tapSwitch("showImages");

    // The sound quality: the next recording is made at the rate chosen, in words.
    EXPECT_EQ(rowFor("sampleRate")->detailLabel()->text(), "Standard (22 kHz)");
    choose("sampleRate", "44100");
    EXPECT_EQ(setting("sampleRate"), "44100");
    EXPECT_EQ(rowFor("sampleRate")->detailLabel()->text(), "CD Quality (44.1 kHz)");
    choose("listStyle", "plain");
    EXPECT_EQ(setting("listStyle"), "plain");
    choose("saveOption", "autoSave");
    EXPECT_EQ(setting("saveOption"), "autoSave");
    EXPECT_EQ(rowFor("saveOption")->detailLabel()->text(), "Save at Once");

    // The devices the sound server lists; following the system is empty.
    device().setNamedDevices(true, { { "alsa_input.usb-mic", "USB Microphone" }, { "bad name!", "Unusable" } });
    choose("microphoneDevice", "alsa_input.usb-mic");
    EXPECT_EQ(setting("microphoneDevice"), "alsa_input.usb-mic");
    EXPECT_EQ(rowFor("microphoneDevice")->detailLabel()->text(), "USB Microphone");
    for (const auto& choice : preferences().choiceScreen()->choices())
        EXPECT_NE(choice.first, "bad name!") << "a name the setting cannot hold is not offered";
    choose("microphoneDevice", "");
    EXPECT_EQ(setting("microphoneDevice"), "");
    EXPECT_EQ(rowFor("microphoneDevice")->detailLabel()->text(), "As the System");

    tapSwitch("soundEffects");
    EXPECT_EQ(setting("soundEffects"), "NO");
    tapSwitch("aboutScreenHidden");
    EXPECT_EQ(setting("aboutScreenHidden"), "Yes");
    tapSwitch("recordTimer");
    EXPECT_EQ(setting("recordTimer"), "NO");
    tapSwitch("emptyTrash");
    EXPECT_EQ(setting("emptyTrash"), "Yes");
    // The running studio keeps what it read at its start.
    EXPECT_TRUE(studio().beepSound()->soundEffectsOn());
    closePreferences();

    auto recording = makeRecording(1.0);
    EXPECT_EQ(samplesOf(recording->audioFileName()).size(), 44100u);

    // The next start: no About tab, no sound effects, the plain lists, saving at once.
    relaunch();
    EXPECT_EQ(delegate().tabBarController()->viewControllers().size(), 4u);
    EXPECT_FALSE(delegate().about());
    EXPECT_FALSE(studio().beepSound()->soundEffectsOn());
    EXPECT_EQ(delegate().myRecordings()->style(), ui::TableViewStyle::Plain);
    device().clearSpeakerSamples();
    record(1.0);
    // No beep before the recording: the speaker played nothing.
    EXPECT_TRUE(device().speakerSamples().empty());
}

TEST_F(PreferencesTest, StorageShowsWhatTheMemosTakeAndEmptiesTheTrash)
{
    launch();
    auto file = [&](std::int32_t location, std::size_t bytes) {
        auto recording = RecordingLibrary::sharedLibrary().newRecording();
        EXPECT_TRUE(foundation::writeFileAtomically(*HelperMethods::getFullAudioFilePath(recording->audioFileName()), std::string(bytes, 'x')));
        recording->setLocation(location);
        recording->save();
        return recording;
    };
    file(1, 300 * 1024);
    file(1, 700 * 1024);
    file(2, 2 * 1024 * 1024);
    file(2, 1024 * 1024);
    const std::uint64_t database = *foundation::fileSize(foundation::documentsDirectory() + "/parlivodb.sql");

    ASSERT_TRUE(ui::Application::sharedApplication().showPreferences());
    advance(0.6);
    const auto& figures = preferences().shownFigures();
    EXPECT_EQ(figures.memos, (300 + 700 + 3072) * 1024 + database);
    EXPECT_EQ(figures.trash, 3u * 1024 * 1024);
    EXPECT_EQ(figures.trashCount, 2u);
    ASSERT_TRUE(figures.freeSpace);
    struct statvfs disk {};
    ASSERT_EQ(statvfs(foundation::documentsDirectory().c_str(), &disk), 0);
    EXPECT_NEAR(double(*figures.freeSpace), double(disk.f_bavail) * double(disk.f_frsize), 64.0 * 1024 * 1024);
    EXPECT_EQ(rowFor("trash")->detailLabel()->text(), "3 MB");
    EXPECT_EQ(PreferencesViewController::formattedStorageSize(std::uint64_t(5) << 29), "2.5 GB");
    writeScreenshot("preferences_storage");

    // Empty Trash asks with the Trash screen's sheet; cancelling keeps everything.
    tap(*rowFor("emptyTrashNow"));
    advance(0.6);
    auto sheet = delegate().trashBin()->confirmationSheet();
    ASSERT_TRUE(sheet && sheet->isVisible());
    sheet->dismissWithClickedButtonIndex(sheet->cancelButtonIndex(), false);
    advance(0.6);
    EXPECT_EQ(preferences().shownFigures().trashCount, 2u);

    tap(*rowFor("emptyTrashNow"));
    advance(0.6);
    sheet = delegate().trashBin()->confirmationSheet();
    ASSERT_TRUE(sheet);
    sheet->dismissWithClickedButtonIndex(0, false);
    advance(0.6);
    EXPECT_EQ(preferences().shownFigures().trash, 0u);
    EXPECT_EQ(preferences().shownFigures().trashCount, 0u);
    EXPECT_EQ(rowFor("trash")->detailLabel()->text(), "0 KB");
    int filed = 0;
    for (const auto& recording : RecordingLibrary::sharedLibrary().recordings())
        filed += recording->location() == 1;
    EXPECT_EQ(filed, 2);
}

#pragma once

#include "StudioTest.h"

#include "HelperMethods.h"
#include "MyRecordingsViewController.h"
#include "PlaybackViewController.h"
#include "RecordingTableViewCell.h"
#include "TrashBinViewController.h"

#include "audio/File.h"
#include "foundation/FileManager.h"
#include "ui/NavigationController.h"
#include "ui/TabBarController.h"
#include "ui/TableView.h"

#include <algorithm>

namespace e2e {

/// The application launched, and recordings of known sound made
/// through the library; the playback screen is opened by tapping a list's row.
class PlaybackTest : public StudioTest {
public:
    static constexpr double kRate = 22050;

protected:
    void TearDown() override
    {
        m_recordings.reset();
        m_trash.reset();
        StudioTest::TearDown();
    }

    void launchWithLists()
    {
        launch();
        m_recordings = delegate().myRecordings();
        m_trash = delegate().trashBin();
    }

    /// Taps the row of recording in list (scrolled into view first) and lets the push end.
    void choose(RecordingsTableViewController& list, const std::shared_ptr<Recording>& recording)
    {
        // A list shows what was saved meanwhile when it appears, as its tab is chosen.
        auto& tabs = *delegate().tabBarController();
        if (tabs.selectedViewController().get() != list.navigationController()) {
            for (size_t index = 0; index < tabs.viewControllers().size(); ++index)
                if (tabs.viewControllers()[index].get() == list.navigationController())
                    tabs.setSelectedIndex(index);
            advance(0.5);
        }
        auto& table = *list.tableView();
        window().layoutIfNeeded();
        for (int section = 0; section < list.numberOfSectionsInTableView(table); ++section) {
            for (int row = 0; row < list.tableViewNumberOfRowsInSection(table, section); ++row) {
                if (list.recordingForIndexPath({ section, row }) != recording)
                    continue;
                table.scrollToRowAtIndexPath({ section, row }, false);
                window().layoutIfNeeded();
                auto cell = table.cellForRowAtIndexPath({ section, row });
                ASSERT_TRUE(cell) << recording->title();
                tap(*cell);
                return;
            }
        }
        FAIL() << recording->title() << " is not listed";
    }
    /// The row that shows recording in list, or null.
    std::shared_ptr<RecordingTableViewCell> cellOf(RecordingsTableViewController& list, const std::shared_ptr<Recording>& recording)
    {
        window().layoutIfNeeded();
        for (const auto& cell : list.tableView()->visibleCells())
            if (auto shown = std::dynamic_pointer_cast<RecordingTableViewCell>(cell); shown && shown->displayedRecording() == recording)
                return shown;
        return nullptr;
    }

    /// A filed recording whose audio file holds sound (a ramp that never repeats within a
    /// recording, so every sample tells where it came from).
    std::shared_ptr<Recording> makeFiledRecording(const std::string& title, double seconds, std::int32_t location = 1, double ageSeconds = 0)
    {
        auto recording = RecordingLibrary::sharedLibrary().newRecording();
        const auto samples = soundOf(recording, seconds);
        std::shared_ptr<audio::File> file;
        EXPECT_EQ(audio::File::create(audioPath(recording->audioFileName()), audio::kFileCAFType, audio::linearPCM16(kRate, 1),
                      audio::kFileFlagsEraseFile, &file),
            audio::noErr);
        auto n = static_cast<std::uint32_t>(samples.size());
        if (file) {
            EXPECT_EQ(file->writePackets(false, n * 2, nullptr, 0, &n, samples.data()), audio::noErr);
        }
        file.reset();
        recording->setTitle(title);
        recording->setLength(static_cast<float>(seconds));
        recording->setSize(HelperMethods::getAudioFileSizeFormattedString(recording->audioFileName()));
        recording->setCreatedDate(foundation::currentDate() - ageSeconds);
        recording->setComments("Comments on " + title);
        recording->setPlayCount(0);
        recording->setLocation(location);
        recording->save();
        return recording;
    }

    /// The sound in a recording's file: a ramp starting at a value of its own.
    static std::vector<std::int16_t> soundOf(const std::shared_ptr<Recording>& recording, double seconds)
    {
        auto samples = testsupport::rampSamples(static_cast<size_t>(seconds * kRate), 3);
        for (auto& sample : samples)
            sample = static_cast<std::int16_t>(sample + 1000 * recording->key());
        return samples;
    }
    static std::vector<std::int16_t> slice(const std::vector<std::int16_t>& sound, double from, double seconds)
    {
        const auto first = static_cast<size_t>(from * kRate);
        const auto count = std::min(static_cast<size_t>(seconds * kRate), sound.size() - first);
        return { sound.begin() + static_cast<long>(first), sound.begin() + static_cast<long>(first + count) };
    }

    /// The navigation stack's top controller of a list's tab.
    ui::NavigationController& navigationOf(RecordingsTableViewController& list) { return *list.navigationController(); }

    PlaybackViewController& screen() { return *m_recordings->player(); }
    AudioPlayer& player() { return *screen().audioPlayer(); }
    /// The picture the play/pause button shows now.
    std::shared_ptr<gfx::Image> playPauseImage() { return screen().playPauseButton()->imageForState(ui::ControlStateNormal); }
    static std::shared_ptr<gfx::Image> image(const char* name) { return ui::imageNamed(name); }

    /// Opens the screen for recording from the Recordings list and lets the push end.
    void open(const std::shared_ptr<Recording>& recording)
    {
        choose(*m_recordings, recording);
        advance(0.6);
    }
    /// Starts the player and runs until the sound has been playing for seconds.
    void playFor(double seconds)
    {
        tap(*screen().playPauseButton());
        advance(seconds);
    }
    int badge() { return ui::Application::sharedApplication().applicationIconBadgeNumber(); }

    std::shared_ptr<MyRecordingsViewController> m_recordings;
    std::shared_ptr<TrashBinViewController> m_trash;
};

} // namespace e2e

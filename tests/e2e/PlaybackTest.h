#pragma once

#include "StudioTest.h"

#include "HelperMethods.h"
#include "PlaybackViewController.h"
#include "RecordingDataSource.h"

#include "audio/File.h"
#include "foundation/FileManager.h"
#include "ui/NavigationController.h"
#include "ui/TabBarController.h"

#include <algorithm>

namespace e2e {

/// What a recordings list does for its playback screen, over fixed sections of recordings:
/// it makes the screen when its view loads, is its data source, and on a choice hands it the
/// recording (only when it differs) and pushes it. The real lists do the same; a test that
/// opens the screen through choose() can open it through a list's row instead.
class ListStandIn : public ui::ViewController, public RecordingDataSource {
public:
    explicit ListStandIn(const std::string& title) { setTitle(title); }
    ~ListStandIn() override
    {
        if (m_player)
            m_player->setDataSource(nullptr);
    }

    void loadView() override
    {
        ViewController::loadView();
        m_player = std::make_shared<PlaybackViewController>();
        m_player->setDataSource(this);
    }

    std::vector<std::vector<std::shared_ptr<Recording>>> sections;

    const std::shared_ptr<PlaybackViewController>& player()
    {
        view();
        return m_player;
    }

    void choose(const std::shared_ptr<Recording>& recording)
    {
        if (player()->currentRecording() != recording)
            m_player->setCurrentRecording(recording);
        navigationController()->pushViewController(m_player, true);
    }

    std::shared_ptr<Recording> recordingBefore(const std::shared_ptr<Recording>& recording) override { return neighbour(recording, -1); }
    std::shared_ptr<Recording> recordingAfter(const std::shared_ptr<Recording>& recording) override { return neighbour(recording, 1); }

private:
    std::shared_ptr<Recording> neighbour(const std::shared_ptr<Recording>& recording, int step)
    {
        std::vector<std::shared_ptr<Recording>> all;
        for (const auto& section : sections)
            all.insert(all.end(), section.begin(), section.end());
        auto it = std::find(all.begin(), all.end(), recording);
        if (it == all.end())
            return nullptr;
        const auto index = (it - all.begin()) + step;
        return index < 0 || index >= static_cast<long>(all.size()) ? nullptr : all[static_cast<size_t>(index)];
    }

    std::shared_ptr<PlaybackViewController> m_player;
};

/// The application launched with a Recordings and a Trash list beside the studio, each in
/// its own navigation controller in the tab bar, and recordings of known sound made through
/// the library.
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
        m_recordings = std::make_shared<ListStandIn>("Recordings");
        m_trash = std::make_shared<ListStandIn>("Trash");
        auto tabs = delegate().tabBarController()->viewControllers();
        tabs.push_back(std::make_shared<ui::NavigationController>(m_recordings));
        tabs.push_back(std::make_shared<ui::NavigationController>(m_trash));
        delegate().tabBarController()->setViewControllers(tabs);
        delegate().tabBarController()->setSelectedViewController(tabs[tabs.size() - 2]);
        advance(0.5);
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
    ui::NavigationController& navigationOf(ListStandIn& list) { return *list.navigationController(); }

    PlaybackViewController& screen() { return *m_recordings->player(); }
    AudioPlayer& player() { return *screen().audioPlayer(); }
    /// The picture the play/pause button shows now.
    std::shared_ptr<gfx::Image> playPauseImage() { return screen().playPauseButton()->imageForState(ui::ControlStateNormal); }
    static std::shared_ptr<gfx::Image> image(const char* name) { return ui::imageNamed(name); }

    /// Opens the screen for recording from the Recordings list and lets the push end.
    void open(const std::shared_ptr<Recording>& recording)
    {
        m_recordings->choose(recording);
        advance(0.6);
    }
    /// Starts the player and runs until the sound has been playing for seconds.
    void playFor(double seconds)
    {
        tap(*screen().playPauseButton());
        advance(seconds);
    }
    int badge() { return ui::Application::sharedApplication().applicationIconBadgeNumber(); }

    std::shared_ptr<ListStandIn> m_recordings;
    std::shared_ptr<ListStandIn> m_trash;
};

} // namespace e2e

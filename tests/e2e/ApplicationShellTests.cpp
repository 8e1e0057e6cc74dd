#include "StudioTest.h"

#include "CategoriesTableViewController.h"
#include "AboutViewController.h"
#include "MyRecordingsViewController.h"
#include "TrashBinViewController.h"

#include "foundation/Log.h"
#include "foundation/UUID.h"
#include "ui/NavigationController.h"
#include "ui/TabBarController.h"

using namespace e2e;

namespace {

class ApplicationShellTest : public StudioTest { };

} // namespace

TEST_F(ApplicationShellTest, LaunchShowsEveryTabInABlackNavigationBar)
{
    launch();
    auto& application = ui::Application::sharedApplication();
    EXPECT_EQ(application.statusBarStyle(), ui::StatusBarStyle::BlackOpaque);
    EXPECT_TRUE(window().isKeyWindow());
    EXPECT_EQ(window().frame(), gfx::Rect(0, 0, 320, 480));
    const auto& tabs = *delegate().tabBarController();
    const ui::ViewController* screens[] = { &studio(), delegate().myRecordings().get(), delegate().categories().get(), delegate().trashBin().get(), delegate().about().get() };
    ASSERT_EQ(tabs.viewControllers().size(), std::size(screens));
    for (size_t i = 0; i < std::size(screens); ++i) {
        auto* navigation = dynamic_cast<ui::NavigationController*>(tabs.viewControllers()[i].get());
        ASSERT_TRUE(navigation) << i;
        EXPECT_EQ(navigation->topViewController().get(), screens[i]) << i;
        EXPECT_EQ(navigation->navigationBar()->barStyle(), ui::BarStyle::Black) << i;
    }
    EXPECT_EQ(studio().title(), text("Studio"));
    EXPECT_EQ(studio().tabBarItem()->image(), ui::imageNamed("microphone.png"));
    ASSERT_NE(studio().navigationItem()->rightBarButtonItem(), nullptr);
    EXPECT_EQ(studio().navigationItem()->rightBarButtonItem()->systemItem(), ui::BarButtonSystemItem::Edit);
    EXPECT_EQ(delegate().myRecordings()->title(), text("Recordings"));
    EXPECT_EQ(delegate().myRecordings()->tabBarItem()->image(), ui::imageNamed("recordings.png"));
    EXPECT_EQ(delegate().categories()->title(), text("Categories"));
    EXPECT_EQ(delegate().categories()->tabBarItem()->image(), ui::imageNamed("categories.png"));
    EXPECT_TRUE(ui::imageNamed("categories.png"));
    EXPECT_EQ(delegate().trashBin()->title(), text("Trash"));
    EXPECT_EQ(delegate().trashBin()->tabBarItem()->image(), ui::imageNamed("trashcan.png"));
    EXPECT_TRUE(ui::imageNamed("recordings.png"));
    EXPECT_TRUE(ui::imageNamed("trashcan.png"));

    foundation::LogCapture log;
    application.raiseMemoryWarning();
    EXPECT_TRUE(log.contains("MEMORY WARNING!  Studio"));
    EXPECT_TRUE(log.contains("MEMORY WARNING!  My Recordings"));
    EXPECT_TRUE(log.contains("MEMORY WARNING!  Trash Bin"));
    EXPECT_TRUE(log.contains("MEMORY WARNING!  Categories"));
    EXPECT_TRUE(log.contains("MEMORY WARNING!  About"));
    EXPECT_TRUE(studio().shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation::PortraitUpsideDown));
    EXPECT_FALSE(studio().shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation::LandscapeLeft));
}

TEST_F(ApplicationShellTest, TheIconBadgeCountsUnplayedRecordingsInMyRecordings)
{
    // An earlier run left three filed recordings, one of them played, and an unplayed one in
    // the trash.
    auto& library = RecordingLibrary::sharedLibrary();
    for (auto [location, plays] : { std::pair { 1, 0 }, { 1, 1 }, { 1, 0 }, { 2, 0 } }) {
        auto recording = library.newRecording();
        recording->setLocation(location);
        recording->setPlayCount(plays);
        recording->save();
    }
    launch();
    EXPECT_EQ(ui::Application::sharedApplication().applicationIconBadgeNumber(), 2);
    EXPECT_EQ(delegate().myRecordings()->tabBarItem()->badgeValue(), std::optional<std::string>("2"));

    // Playing one elsewhere (its count raised and saved) takes it off; deleting another too.
    auto recordings = library.recordings();
    recordings[0]->setPlayCount(1);
    recordings[0]->save();
    EXPECT_EQ(ui::Application::sharedApplication().applicationIconBadgeNumber(), 1);
    recordings[2]->deleteRecording();
    EXPECT_EQ(ui::Application::sharedApplication().applicationIconBadgeNumber(), 0);
    EXPECT_EQ(delegate().myRecordings()->tabBarItem()->badgeValue(), std::nullopt);
}

TEST_F(ApplicationShellTest, OnlyOneQueueRunsAtATime)
{
    launch();
    auto& studio = this->studio();
    record(1.0);
    ASSERT_TRUE(studio.recorder()->isRunning());
    EXPECT_EQ(delegate().activeAudioQueue(), studio.recorder());

    // A player elsewhere starts: the studio's recording ends as if stopped.
    const std::string other = foundation::makeUUIDString();
    {
        std::shared_ptr<audio::File> file;
        ASSERT_EQ(audio::File::create(audioPath(other), audio::kFileCAFType, audio::linearPCM16(22050, 1), audio::kFileFlagsEraseFile, &file),
            audio::noErr);
        auto samples = tone(22050);
        auto n = static_cast<std::uint32_t>(samples.size());
        ASSERT_EQ(file->writePackets(false, n * 2, nullptr, 0, &n, samples.data()), audio::noErr);
    }
    auto player = std::make_shared<AudioPlayer>();
    player->playFromFileStartingAtPosition(other, 0);
    EXPECT_FALSE(studio.recorder()->isRunning());
    EXPECT_EQ(studio.state(), StudioStateRecordStopped);
    EXPECT_EQ(delegate().activeAudioQueue(), player);
    ASSERT_TRUE(runUntilState(StudioStateRecorded));
    EXPECT_FLOAT_EQ(studio.currentRecording()->length(), 1.0f);

    // The same queue starting again (a seek) is not stopped.
    advance(0.2);
    player->playFromFileStartingAtPosition(other, 0.5);
    advance(0.1);
    EXPECT_TRUE(player->isRunning());
    player->stop();
}

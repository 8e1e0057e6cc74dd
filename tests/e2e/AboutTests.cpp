// The About tab in the launched application: what it shows, the web-site button with and
// without a recording under way, and the setting that leaves the tab out.

#include "StudioTest.h"

#include "AboutViewController.h"
#include "CategoriesTableViewController.h"
#include "MyRecordingsViewController.h"
#include "TrashBinViewController.h"

#include "foundation/Log.h"
#include "ui/ImageView.h"
#include "ui/NavigationController.h"
#include "ui/TabBar.h"
#include "ui/TabBarController.h"

using namespace e2e;

namespace {

class AboutTest : public StudioTest {
protected:
    /// Launches with the desktop's opener replaced: addresses are collected, and answered as
    /// opened unless the test says the desktop fails.
    void launchApplication()
    {
        ui::Application::sharedApplication().setOpenURLHandler([this](const std::string& url) {
            opened.push_back(url);
            return desktopOpens;
        });
        launch();
    }

    AboutViewController& about() { return *delegate().about(); }

    /// The screens of the tabs, in order.
    std::vector<const ui::ViewController*> tabScreens()
    {
        std::vector<const ui::ViewController*> screens;
        for (const auto& tab : delegate().tabBarController()->viewControllers())
            screens.push_back(static_cast<ui::NavigationController&>(*tab).topViewController().get());
        return screens;
    }

    /// Taps tab index of the tab bar (the last one with -1) and lets the screen appear.
    void tapTab(int index)
    {
        auto& bar = *delegate().tabBarController()->tabBar();
        const size_t i = index < 0 ? bar.items().size() - 1 : size_t(index);
        tapAt(bar.convertPointToView(bar.rectForItemAtIndex(i).center(), nullptr));
        advance(0.5);
    }

    /// Taps the shown alert's button index and lets it fade.
    void answerAlert(int index)
    {
        auto* alert = shownAlert();
        ASSERT_NE(alert, nullptr);
        tap(*alert->buttons().at(size_t(index)));
        advance(0.5);
    }

    bool desktopOpens { true };
    std::vector<std::string> opened;
};

} // namespace

TEST_F(AboutTest, TheLastTabShowsTheProductItsVersionAndItsSite)
{
    launchApplication();
    const std::vector<const ui::ViewController*> screens { &studio(), delegate().myRecordings().get(), delegate().categories().get(), delegate().trashBin().get(),
        delegate().about().get() };
    EXPECT_EQ(tabScreens(), screens);
    EXPECT_EQ(about().title(), text("About"));
    ASSERT_TRUE(ui::imageNamed("t.png"));
    EXPECT_EQ(about().tabBarItem()->image(), ui::imageNamed("t.png"));
    EXPECT_TRUE(about().shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation::Portrait));
    EXPECT_FALSE(about().shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation::PortraitUpsideDown));

    tapTab(-1);
    ASSERT_TRUE(about().isViewLoaded());
    EXPECT_EQ(about().view()->window(), &window());
    ASSERT_TRUE(ui::imageNamed("parlivo_logo_black.png"));
    EXPECT_EQ(about().productLogo()->image(), ui::imageNamed("parlivo_logo_black.png"));
    EXPECT_EQ(about().productVersionLabel()->text(), "Parlivo v." + foundation::programVersion());
    EXPECT_EQ(about().companyDescLabel()->text(), text("Thank You Message"));
    EXPECT_EQ(about().copyRightLabel()->text(), AboutViewController::copyright());
    // The build's address, and its host as the caption.
    EXPECT_EQ(AboutViewController::websiteAddress(), PARLIVO_HOMEPAGE);
    const std::string address = PARLIVO_HOMEPAGE;
    const auto host = address.substr(address.find("//") + 2, address.find('/', address.find("//") + 2) - address.find("//") - 2);
    EXPECT_EQ(about().websiteButton()->titleForState(ui::ControlStateNormal), host);

    // The thank-you text has room for its five lines; one view under the other, each whole
    // between the navigation bar and the tab bar.
    const auto& thanks = *about().companyDescLabel();
    EXPECT_EQ(thanks.numberOfLines(), 5);
    EXPECT_LE(5 * thanks.font().lineHeight(), thanks.bounds().height());
    const auto& views = about().view()->subviews();
    ASSERT_EQ(views.size(), 5u);
    EXPECT_EQ(about().view()->bounds().height(), 480 - 20 - 44 - 49);
    for (size_t i = 0; i < views.size(); ++i) {
        EXPECT_EQ(about().view()->bounds().united(views[i]->frame()), about().view()->bounds()) << i;
        if (i > 0) {
            EXPECT_LE(views[i - 1]->frame().maxY(), views[i]->frame().minY()) << i;
        }
    }

    auto shot = writeScreenshot("about");
    // Black around the logo, the red of its button at the middle, the tab bar below.
    const auto corner = pixelAt(*shot, { 4, 70 });
    EXPECT_LT(corner.red + corner.green + corner.blue, 30);
    const auto dome = pixelAt(*shot, { 130, 64 + 92 });
    EXPECT_GT(dome.red, 150);
    EXPECT_LT(dome.green, 90);
}

TEST_F(AboutTest, WhenNothingRecordsTheButtonOpensTheSiteAtOnce)
{
    launchApplication();
    tapTab(-1);
    tap(*about().websiteButton());
    EXPECT_EQ(opened, std::vector<std::string> { PARLIVO_HOMEPAGE });
    EXPECT_EQ(shownAlert(), nullptr);
    EXPECT_FALSE(about().websiteButton()->isSelected());
    EXPECT_EQ(about().websiteButton()->titleColorForState(ui::ControlStateSelected), (gfx::Color { 1, 0.5f, 0, 1 }));
}

TEST_F(AboutTest, WhileRecordingTheButtonAsksFirst)
{
    launchApplication();
    record(1.0);
    tapTab(-1);
    ASSERT_TRUE(about().activeAudioSession());

    tap(*about().websiteButton());
    auto* alert = shownAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), text("Stop Recording Prompt Title"));
    EXPECT_EQ(alert->message(), text("Stop Recording Prompt"));
    EXPECT_EQ(alert->buttonTitleAtIndex(0), text("No"));
    EXPECT_EQ(alert->buttonTitleAtIndex(1), text("Yes"));
    EXPECT_TRUE(about().websiteButton()->isSelected());
    EXPECT_TRUE(opened.empty());
    advance(0.5);
    writeScreenshot("about_alert");

    // "No": nothing opens, the recording goes on, the button is itself again.
    answerAlert(0);
    EXPECT_EQ(shownAlert(), nullptr);
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(about().websiteButton()->isSelected());
    const double recorded = studio().recorder()->position();
    advance(1.0);
    EXPECT_EQ(studio().state(), StudioStateRecording);
    EXPECT_GT(studio().recorder()->position(), recorded + 0.5);

    // "Yes" opens the site; the recording still goes on.
    tap(*about().websiteButton());
    answerAlert(1);
    EXPECT_EQ(opened, std::vector<std::string> { PARLIVO_HOMEPAGE });
    EXPECT_FALSE(about().websiteButton()->isSelected());
    EXPECT_TRUE(studio().recorder()->isRunning());

    // Once the recording has stopped the button no longer asks.
    tapTab(0);
    stopRecording();
    tapTab(-1);
    tap(*about().websiteButton());
    EXPECT_EQ(shownAlert(), nullptr);
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(AboutTest, PlaybackNeverMakesTheButtonAsk)
{
    launchApplication();
    makeRecording(2.0);
    tap(*studio().smallPlayButton());
    ASSERT_TRUE(runUntilState(StudioStatePlaying));
    tapTab(-1);
    ASSERT_TRUE(studio().player()->isRunning());
    tap(*about().websiteButton());
    EXPECT_EQ(shownAlert(), nullptr);

    // Played to its end.
    ASSERT_TRUE(runUntil([&] { return !studio().player()->isRunning(); }));
    tap(*about().websiteButton());
    EXPECT_EQ(shownAlert(), nullptr);
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_FALSE(about().activeAudioSession());
}

TEST_F(AboutTest, ASiteTheDesktopCannotOpenIsSaidWithItsAddress)
{
    desktopOpens = false;
    launchApplication();
    tapTab(-1);
    foundation::LogCapture log;
    tap(*about().websiteButton());
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_TRUE(log.contains(std::string("Could not open the web site ") + PARLIVO_HOMEPAGE));
    auto* alert = shownAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), text("Website Unavailable Prompt Title"));
    EXPECT_NE(alert->message().find(PARLIVO_HOMEPAGE), std::string::npos);
    EXPECT_FALSE(about().websiteButton()->isSelected());
    answerAlert(0);
    EXPECT_EQ(shownAlert(), nullptr);

    // The same after the question asked while recording.
    tapTab(0);
    record(1.0);
    tapTab(-1);
    tap(*about().websiteButton());
    answerAlert(1);
    ASSERT_NE(shownAlert(), nullptr);
    EXPECT_EQ(shownAlert()->title(), text("Website Unavailable Prompt Title"));
    EXPECT_FALSE(about().websiteButton()->isSelected());
}

TEST_F(AboutTest, TheSettingLeavesTheTabOutFromTheNextLaunch)
{
    setSetting("aboutScreenHidden", "Yes");
    launchApplication();
    EXPECT_EQ(delegate().about(), nullptr);
    const std::vector<const ui::ViewController*> screens { &studio(), delegate().myRecordings().get(), delegate().categories().get(), delegate().trashBin().get() };
    EXPECT_EQ(tabScreens(), screens);
    EXPECT_EQ(delegate().tabBarController()->tabBar()->items().size(), screens.size());

    // Switched back on while running: the tab comes at the next launch.
    setSetting("aboutScreenHidden", "NO");
    EXPECT_EQ(delegate().about(), nullptr);
    relaunch();
    ASSERT_NE(delegate().about(), nullptr);
    EXPECT_EQ(tabScreens().back(), delegate().about().get());
}

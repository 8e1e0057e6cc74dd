// A whole run of the finished application: memos in every place a memo can be, every tab
// opened for the first time by a tap, the badges, and the shutdown that ends it all.

#include "RecordingsListTest.h"

#include "AboutViewController.h"
#include "CategoriesTableViewController.h"
#include "DetailsEditorViewController.h"

#include "foundation/Bundle.h"
#include "foundation/FileManager.h"
#include "foundation/StringTable.h"
#include "ui/NavigationBar.h"
#include "ui/NavigationController.h"
#include "ui/TabBarController.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"

#include <algorithm>

using namespace e2e;

namespace {

class ApplicationWalkTest : public RecordingsListTest {
protected:
    static std::vector<std::string> titlesIn(const std::vector<std::pair<std::string, std::vector<std::string>>>& sections)
    {
        std::vector<std::string> titles;
        for (const auto& [header, rows] : sections)
            titles.insert(titles.end(), rows.begin(), rows.end());
        std::sort(titles.begin(), titles.end());
        return titles;
    }

    std::vector<std::string> categoryRows()
    {
        std::vector<std::string> texts;
        auto& categories = *delegate().categories();
        for (int row = 0; row < categories.tableView()->numberOfRowsInSection(0); ++row) {
            auto cell = shownCell(categories, { 0, row });
            texts.push_back(cell ? cell->text() : "(no cell)");
        }
        return texts;
    }

    std::string shownTitle()
    {
        auto* navigation = dynamic_cast<ui::NavigationController*>(delegate().tabBarController()->selectedViewController().get());
        return navigation ? navigation->topViewController()->title() : "";
    }
};

} // namespace

TEST_F(ApplicationWalkTest, EveryTabOpensOnItsFirstTapAndTheRunEndsInOrder)
{
    // An earlier run: two memos filed (one of them played, in "Fun"), one in the Trash, and a
    // fourth recorded but not saved when the run ended without its shutdown.
    launch();
    const double today = clock().wallTime();
    auto walk = recordOn(today - 3600, "Walk");
    auto talk = recordOn(today - 1800, "Talk");
    talk->setCategory(text("Fun"));
    talk->setPlayCount(1);
    talk->save();
    auto chalk = recordOn(today - 600, "Chalk");
    chalk->setLocation(2);
    chalk->save();
    auto unsaved = makeRecording(1.0);
    const std::string unsavedFile = unsaved->audioFileName();
    const int unsavedKey = unsaved->key();
    const std::string chalkFile = chalk->audioFileName();
    walk.reset();
    talk.reset();
    chalk.reset();
    unsaved.reset();
    clock().setWallTime(today);
    relaunch();

    // The unsaved memo was filed again at launch, unplayed, beside "Walk".
    ASSERT_TRUE(row(unsavedKey));
    EXPECT_EQ(row(unsavedKey)->location, 1);
    EXPECT_EQ(ui::Application::sharedApplication().applicationIconBadgeNumber(), 2);
    EXPECT_EQ(myRecordings().tabBarItem()->badgeValue(), std::optional<std::string>("2"));

    // Nothing but the studio has made its screen yet; each tab makes its own on the first tap.
    auto& tabs = *delegate().tabBarController();
    ASSERT_EQ(tabs.viewControllers().size(), 5u);
    EXPECT_EQ(shownTitle(), text("Studio"));
    EXPECT_TRUE(studio().view()->window());
    EXPECT_FALSE(delegate().categories()->isViewLoaded());
    EXPECT_FALSE(trashBin().isViewLoaded());
    EXPECT_FALSE(delegate().about()->isViewLoaded());

    showTab(1);
    EXPECT_EQ(shownTitle(), text("Recordings"));
    EXPECT_EQ(myRecordings().view()->window(), &window());
    const std::string recovered = row(unsavedKey)->title;
    EXPECT_EQ(titlesIn(sectionsOf(myRecordings())), (std::vector<std::string> { "Talk", recovered, "Walk" }));
    shoot("walk_recordings");

    showTab(2);
    EXPECT_EQ(shownTitle(), text("Categories"));
    EXPECT_EQ(delegate().categories()->view()->window(), &window());
    const auto categories = categoryRows();
    EXPECT_NE(std::find(categories.begin(), categories.end(), text("General") + " (2)"), categories.end()) << categories.size();
    EXPECT_NE(std::find(categories.begin(), categories.end(), text("Fun") + " (1)"), categories.end());
    EXPECT_NE(std::find(categories.begin(), categories.end(), text("Other")), categories.end());
    shoot("walk_categories");

    showTab(3);
    EXPECT_EQ(shownTitle(), text("Trash"));
    EXPECT_EQ(trashBin().view()->window(), &window());
    EXPECT_EQ(titlesIn(sectionsOf(trashBin())), std::vector<std::string> { "Chalk" });

    showTab(4);
    EXPECT_EQ(shownTitle(), text("About"));
    ASSERT_EQ(delegate().about()->view()->window(), &window());
    EXPECT_EQ(delegate().about()->productVersionLabel()->text(), "Parlivo v." + foundation::programVersion());
    shoot("walk_about");

    // Back to the studio: it is where it was, ready for the next memo, and the badges held.
    showTab(0);
    EXPECT_EQ(studio().state(), StudioStateReady);
    EXPECT_EQ(myRecordings().tabBarItem()->badgeValue(), std::optional<std::string>("2"));
    const int freshKey = studio().currentRecording()->key();

    // The shutdown: the fresh recording goes, the Trash is emptied as the user asked, the
    // database is closed (its log folded back in) and the editor is given up.
    setSetting("emptyTrash", "Yes");
    auto editor = DetailsEditorViewController::sharedDetailsEditor();
    editor->view();
    ASSERT_TRUE(editor->toolBar());
    terminate();
    EXPECT_FALSE(foundation::fileExists(documentsPath() + "/parlivodb.sql-wal"));
    EXPECT_FALSE(editor->toolBar());
    EXPECT_FALSE(row(freshKey));
    EXPECT_FALSE(audioFileExists(chalkFile));
    EXPECT_TRUE(audioFileExists(unsavedFile));
    auto left = rows();
    std::vector<std::string> titles;
    for (const auto& r : left) {
        EXPECT_EQ(r.location, 1) << r.title;
        titles.push_back(r.title);
    }
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::string> { "Talk", recovered, "Walk" }));
    EXPECT_EQ(ui::Application::sharedApplication().applicationIconBadgeNumber(), 2);
}

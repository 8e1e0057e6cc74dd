#pragma once

#include "StudioTest.h"

#include "MyRecordingsViewController.h"
#include "PlaybackViewController.h"
#include "RecordingTableViewCell.h"
#include "TrashBinViewController.h"

#include "foundation/Calendar.h"
#include "foundation/FileManager.h"
#include "ui/ActionSheet.h"
#include "ui/BarButtonView.h"
#include "ui/NavigationBar.h"
#include "ui/NavigationController.h"
#include "ui/TabBar.h"
#include "ui/TabBarController.h"
#include "ui/TabBarItem.h"
#include "ui/TableView.h"

namespace e2e {

/// The application with its Recordings and Trash tabs: memos recorded in the studio on days
/// the test picks (the wall clock is set before each), then the lists touched where they
/// show their rows, bars and sheets.
class RecordingsListTest : public StudioTest {
protected:
    static constexpr int kStudioTab = 0;
    static constexpr int kRecordingsTab = 1;
    static constexpr int kCategoriesTab = 2;
    static constexpr int kTrashTab = 3;

    void SetUp() override
    {
        StudioTest::SetUp();
        foundation::setDefaultLocale("en_US");
        foundation::setDefaultTimeZone("UTC");
    }

    static double utc(int year, int month, int day, int hour = 0, int minute = 0)
    {
        return *foundation::Calendar("en_US", "UTC").dateFromComponents(year, month, day, hour, minute);
    }

    /// Records a memo of seconds at the given date and saves it with title.
    std::shared_ptr<Recording> recordOn(double date, const std::string& title, double seconds = 1.0)
    {
        clock().setWallTime(date);
        auto recording = makeRecording(seconds);
        tap(*studio().smallSaveButton());
        advance(0.4);
        window().sendText(title);
        tapAt(returnKey());
        waitUntilReady();
        advance(1.0);
        return recording;
    }

    MyRecordingsViewController& myRecordings() { return *delegate().myRecordings(); }
    TrashBinViewController& trashBin() { return *delegate().trashBin(); }
    ui::TableView& tableOf(RecordingsTableViewController& list) { return *list.tableView(); }

    /// Taps a tab in the tab bar and lets the screen settle.
    void showTab(int index)
    {
        auto& bar = *delegate().tabBarController()->tabBar();
        tapAt(bar.convertPointToView(bar.rectForItemAtIndex(size_t(index)).center(), nullptr));
        advance(0.5);
        window().layoutIfNeeded();
    }

    std::shared_ptr<RecordingTableViewCell> cellAt(RecordingsTableViewController& list, ui::IndexPath indexPath)
    {
        window().layoutIfNeeded();
        return std::dynamic_pointer_cast<RecordingTableViewCell>(tableOf(list).cellForRowAtIndexPath(indexPath));
    }
    /// A row's cell, scrolled into view when it is not shown.
    std::shared_ptr<ui::TableViewCell> shownCell(ui::TableViewController& controller, ui::IndexPath indexPath)
    {
        auto& table = *controller.tableView();
        window().layoutIfNeeded();
        if (!table.cellForRowAtIndexPath(indexPath)) {
            table.scrollToRowAtIndexPath(indexPath, false);
            window().layoutIfNeeded();
        }
        return table.cellForRowAtIndexPath(indexPath);
    }
    /// A point of a row in window coordinates, x from the cell's left.
    gfx::Point pointInRow(ui::TableViewController& controller, ui::IndexPath indexPath, float x)
    {
        auto cell = shownCell(controller, indexPath);
        EXPECT_TRUE(cell) << indexPath.section << "/" << indexPath.row;
        if (!cell)
            return {};
        return cell->convertPointToView({ x, cell->bounds().height() / 2 }, nullptr);
    }
    /// A horizontal swipe to the left over a row.
    void swipeRow(ui::TableViewController& controller, ui::IndexPath indexPath)
    {
        const gfx::Point start = pointInRow(controller, indexPath, 220);
        touch(ui::TouchPhase::Began, start);
        for (int i = 1; i <= 5; ++i)
            touch(ui::TouchPhase::Moved, { start.x - 16 * float(i), start.y + 1 });
        touch(ui::TouchPhase::Ended, { start.x - 80, start.y + 1 });
        advance(0.5);
    }
    /// Taps the Delete button a row shows.
    void tapDeleteButton(RecordingsTableViewController& list, ui::IndexPath indexPath)
    {
        auto cell = cellAt(list, indexPath);
        ASSERT_TRUE(cell);
        tapAt(pointInRow(list, indexPath, cell->bounds().width() - 10 - ui::TableViewCell::kDeleteButtonWidth / 2));
    }

    /// The titles of the rows of every section, as the table is told them.
    std::vector<std::pair<std::string, std::vector<std::string>>> sectionsOf(RecordingsTableViewController& list)
    {
        std::vector<std::pair<std::string, std::vector<std::string>>> result;
        auto& table = tableOf(list);
        for (int s = 0; s < list.numberOfSectionsInTableView(table); ++s) {
            std::vector<std::string> titles;
            for (int r = 0; r < list.tableViewNumberOfRowsInSection(table, s); ++r)
                titles.push_back(list.recordingForIndexPath({ s, r })->title());
            result.emplace_back(list.tableViewTitleForHeaderInSection(table, s).value_or(""), titles);
        }
        return result;
    }

    ui::BarButtonView& rightBarButton(RecordingsTableViewController& list)
    {
        return *list.navigationController()->navigationBar()->rightView();
    }
    ui::ActionSheet* shownSheet()
    {
        for (const auto& view : window().subviews())
            if (auto* sheet = dynamic_cast<ui::ActionSheet*>(view.get()); sheet && sheet->isVisible())
                return sheet;
        return nullptr;
    }
    void tapSheetButton(int index)
    {
        ui::ActionSheet* sheet = shownSheet();
        ASSERT_TRUE(sheet);
        tap(*sheet->buttons().at(size_t(index)));
        advance(0.6);
    }

    /// The whole screen at 2x, written for people to look at.
    std::shared_ptr<gfx::Image> shoot(const std::string& name)
    {
        return writeScreenshot("lists_" + name);
    }
};

} // namespace e2e

// Tables as a user sees them, written at 2x for people to look at: a plain list with a
// sticky header, a grouped list, editing mode with a Delete button, and a swiped row.
#include "UiTestSupport.h"

#include "ui/ImageView.h"
#include "ui/NavigationBar.h"
#include "ui/NavigationController.h"
#include "ui/NavigationItem.h"
#include "ui/TableViewCell.h"
#include "ui/TableViewController.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace ui;
using gfx::Point;
using gfx::Rect;

namespace {

// A list of memos in sections, like the recordings screens.
class MemoList : public TableViewController {
public:
    explicit MemoList(TableViewStyle style)
        : TableViewController(style)
    {
        setTitle("Recordings");
    }
    std::vector<std::string> titles { "Today", "Yesterday", "Last Week" };
    std::vector<int> counts { 6, 9, 12 };

    int numberOfSectionsInTableView(TableView&) override { return int(titles.size()); }
    int tableViewNumberOfRowsInSection(TableView&, int section) override { return counts[size_t(section)]; }
    std::optional<std::string> tableViewTitleForHeaderInSection(TableView&, int section) override
    {
        return titles[size_t(section)].empty() ? std::nullopt : std::optional(titles[size_t(section)]);
    }
    bool tableViewCanEditRowAtIndexPath(TableView&, const IndexPath& ip) override { return style() == TableViewStyle::Plain || ip.section > 0; }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& table, const IndexPath& ip) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("Memo");
        if (!cell)
            cell = std::make_shared<TableViewCell>(Rect(), "Memo");
        static const char* names[] = { "Lecture notes", "Grocery list", "Song idea", "Call back Sam", "Interview", "Birdsong" };
        cell->setText(std::string(names[(ip.section * 7 + ip.row) % 6]) + " " + std::to_string(ip.row + 1));
        cell->setImage(ip.row % 3 == 0 ? imageNamed("new.png") : nullptr);
        if (style() == TableViewStyle::Grouped && ip.section == 0)
            cell->setAccessoryType(ip.row == 1 ? TableViewCellAccessoryType::Checkmark : TableViewCellAccessoryType::None);
        else
            cell->setAccessoryType(TableViewCellAccessoryType::DisclosureIndicator);
        return cell;
    }
};

class TableScreenshotTest : public uitest::UiTest {
protected:
    void show(TableViewStyle style)
    {
        list = std::make_shared<MemoList>(style);
        navigation = std::make_shared<NavigationController>(list);
        navigation->navigationBar()->setBarStyle(BarStyle::Black);
        list->navigationItem()->setRightBarButtonItem(list->editButtonItem());
        window = std::make_shared<Window>();
        window->addContentView(navigation->view());
        window->makeKeyAndVisible();
        advance(1);
        table = list->tableView();
    }
    // The screen at 2x, written under name; answers the picture for pixel checks.
    std::shared_ptr<gfx::Image> shoot(const std::string& name)
    {
        advance(1);
        window->layoutIfNeeded();
        auto context = gfx::BitmapContext::create(640, 960, gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
        EXPECT_TRUE(context);
        if (!context)
            return nullptr;
        context->scaleCTM(2, 2);
        window->drawScreen(*context);
        auto image = context->makeImage(2);
        std::filesystem::create_directories(PARLIVO_SCREENSHOT_DIR);
        EXPECT_TRUE(image->writePNG(std::string(PARLIVO_SCREENSHOT_DIR) + "/" + name));
        return image;
    }
    Point at(const IndexPath& ip, float x)
    {
        return table->convertPointToView({ x, table->rectForRowAtIndexPath(ip).midY() }, nullptr);
    }
    static bool isRed(gfx::Pixel p) { return p.red > 150 && p.green < 80 && p.blue < 80; }

    std::shared_ptr<MemoList> list;
    std::shared_ptr<NavigationController> navigation;
    std::shared_ptr<Window> window;
    std::shared_ptr<TableView> table;
};

} // namespace

TEST_F(TableScreenshotTest, PlainListWithAStickyHeader)
{
    show(TableViewStyle::Plain);
    // Part way into the second section: its header holds the top.
    const float top = table->rectForHeaderInSection(1).minY();
    table->setContentOffset({ 0, top + 70 });
    auto image = shoot("table-plain.png");
    ASSERT_TRUE(image);
    const Point header = table->convertPointToView({ 160, table->contentOffset().y + 11 }, nullptr);
    EXPECT_EQ(header.y, 64 + 11);
    auto p = image->pixelAt(2 * 300, 2 * int(header.y));
    EXPECT_LT(p.red, 200); // the grey-blue bar, not a white row
    EXPECT_GT(p.blue, p.red);
}

TEST_F(TableScreenshotTest, GroupedList)
{
    show(TableViewStyle::Grouped);
    list->titles = { "Default Category", "", "More" };
    list->counts = { 3, 2, 4 };
    table->reloadData();
    auto image = shoot("table-grouped.png");
    ASSERT_TRUE(image);
    // The background shows beside the inset boxes; the boxes are white.
    const Point row = at({ 0, 0 }, 150);
    auto side = image->pixelAt(2 * 4, 2 * int(row.y));
    auto inside = image->pixelAt(2 * 250, 2 * int(row.y));
    EXPECT_LT(side.red, 230);
    EXPECT_EQ(inside.red, 255);
}

TEST_F(TableScreenshotTest, EditingWithADeleteButtonShown)
{
    show(TableViewStyle::Plain);
    list->setEditing(true, true);
    advance(1);
    window->sendTouch(1, TouchPhase::Began, at({ 0, 1 }, 16));
    window->sendTouch(1, TouchPhase::Ended, at({ 0, 1 }, 16));
    ASSERT_EQ(table->indexPathShowingDeleteConfirmation(), (IndexPath { 0, 1 }));
    auto image = shoot("table-editing.png");
    ASSERT_TRUE(image);
    const Point control = at({ 0, 2 }, 16);
    // Above the white bar across its middle.
    EXPECT_TRUE(isRed(image->pixelAt(2 * int(control.x), 2 * int(control.y) - 12))) << "delete control";
    const Point button = at({ 0, 1 }, 320 - 10 - TableViewCell::kDeleteButtonWidth / 2);
    EXPECT_TRUE(isRed(image->pixelAt(2 * int(button.x) - 30, 2 * int(button.y)))) << "Delete button";
}

TEST_F(TableScreenshotTest, SwipedRowShowsDelete)
{
    show(TableViewStyle::Plain);
    const Point start = at({ 0, 2 }, 240);
    window->sendTouch(1, TouchPhase::Began, start);
    for (int i = 1; i <= 4; ++i)
        window->sendTouch(1, TouchPhase::Moved, { start.x - 20.0f * float(i), start.y });
    window->sendTouch(1, TouchPhase::Ended, { start.x - 80, start.y });
    ASSERT_EQ(table->indexPathShowingDeleteConfirmation(), (IndexPath { 0, 2 }));
    auto image = shoot("table-swipe.png");
    ASSERT_TRUE(image);
    const Point button = at({ 0, 2 }, 320 - 10 - TableViewCell::kDeleteButtonWidth / 2);
    EXPECT_TRUE(isRed(image->pixelAt(2 * int(button.x) - 30, 2 * int(button.y))));
    const Point otherRow = at({ 0, 3 }, 300);
    EXPECT_FALSE(isRed(image->pixelAt(2 * int(otherRow.x), 2 * int(otherRow.y))));
}

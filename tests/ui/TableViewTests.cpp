// Tables: cells only for rows in view and reused, sticky headers, selection and its animated
// fade, editing and swipe to delete, row deletion closing the gap, and the table controller.
#include "UiTestSupport.h"

#include "ui/BarButtonItem.h"
#include "ui/TableView.h"
#include "ui/TableViewSectionHeader.h"
#include "ui/TableViewCell.h"
#include "ui/TableViewController.h"
#include "ui/TableViewDelegate.h"

#include "foundation/Log.h"

#include <gtest/gtest.h>

#include <set>

using namespace ui;
using gfx::Point;
using gfx::Rect;

namespace {

// Sections of named rows, counting the cells it makes and recording what the table tells it.
class Rows : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<std::vector<std::string>> sections;
    std::vector<std::optional<std::string>> titles;
    std::set<IndexPath> readOnly;
    bool deletesOnCommit { true };
    TableViewRowAnimation animation { TableViewRowAnimation::Right };
    bool reloadsAfterDelete { false };
    int made { 0 };
    std::vector<IndexPath> selections;
    std::vector<std::pair<TableViewCellEditingStyle, IndexPath>> commits;

    int numberOfSectionsInTableView(TableView&) override { return int(sections.size()); }
    int tableViewNumberOfRowsInSection(TableView&, int section) override { return int(sections[size_t(section)].size()); }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& table, const IndexPath& ip) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("Row");
        if (!cell) {
            cell = std::make_shared<TableViewCell>(Rect(), "Row");
            ++made;
        }
        cell->setText(sections[size_t(ip.section)][size_t(ip.row)]);
        return cell;
    }
    std::optional<std::string> tableViewTitleForHeaderInSection(TableView&, int section) override
    {
        return size_t(section) < titles.size() ? titles[size_t(section)] : std::nullopt;
    }
    bool tableViewCanEditRowAtIndexPath(TableView&, const IndexPath& ip) override { return !readOnly.count(ip); }
    void tableViewCommitEditingStyleForRowAtIndexPath(TableView& table, TableViewCellEditingStyle style, const IndexPath& ip) override
    {
        commits.emplace_back(style, ip);
        if (!deletesOnCommit)
            return;
        auto& rows = sections[size_t(ip.section)];
        rows.erase(rows.begin() + ip.row);
        table.deleteRowsAtIndexPaths({ ip }, animation);
        if (reloadsAfterDelete)
            table.reloadData();
    }
    void tableViewDidSelectRowAtIndexPath(TableView&, const IndexPath& ip) override { selections.push_back(ip); }

    static std::vector<std::string> named(const std::string& prefix, int count)
    {
        std::vector<std::string> rows;
        for (int i = 0; i < count; ++i)
            rows.push_back(prefix + " " + std::to_string(i));
        return rows;
    }
};

class TableViewTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        window = std::make_shared<Window>();
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        if (table) {
            table->setDataSource(nullptr);
            table->setDelegate(nullptr);
        }
        UiTest::TearDown();
    }
    // A table under the status bar, 460 points tall.
    void makeTable(TableViewStyle style = TableViewStyle::Plain)
    {
        table = std::make_shared<TableView>(Rect(0, 20, 320, 460), style);
        table->setDataSource(&rows);
        table->setDelegate(&rows);
        window->addSubview(table);
        table->reloadData();
        table->layoutIfNeeded();
    }
    void touch(TouchPhase phase, Point p) { window->sendTouch(1, phase, p); }
    void tap(Point p)
    {
        touch(TouchPhase::Began, p);
        touch(TouchPhase::Ended, p);
    }
    // Window point of a row's left part, centre height.
    Point at(const IndexPath& ip, float x = 160)
    {
        Rect r = table->rectForRowAtIndexPath(ip);
        return { x, 20 + r.midY() - table->contentOffset().y };
    }
    void scrollTo(float y)
    {
        table->setContentOffset({ 0, y });
        table->layoutIfNeeded();
    }

    std::shared_ptr<Window> window;
    std::shared_ptr<TableView> table;
    Rows rows;
};

} // namespace

TEST_F(TableViewTest, TenThousandRowsScrolledEndToEndMakeAboutAScreenfulOfCells)
{
    rows.sections = { Rows::named("Row", 10000) };
    makeTable();
    const int screenful = int(460 / TableView::kDefaultRowHeight) + 2;
    EXPECT_LE(rows.made, screenful);
    EXPECT_EQ(table->contentSize().height, 10000 * TableView::kDefaultRowHeight);
    for (float y = 0; y <= table->maximumContentOffset().y; y += 37) {
        scrollTo(y);
        const auto visible = table->indexPathsForVisibleRows();
        ASSERT_FALSE(visible.empty());
        EXPECT_EQ(visible.front().row, int(y / TableView::kDefaultRowHeight));
        EXPECT_EQ(table->visibleCells().size(), visible.size());
        EXPECT_EQ(table->cellForRowAtIndexPath(visible.back())->text(), "Row " + std::to_string(visible.back().row));
    }
    EXPECT_LE(rows.made, screenful);
    EXPECT_LE(int(table->subviews().size()), screenful + 2);

    // A fling through the rows on the frame clock makes no more.
    window->sendTouch(1, TouchPhase::Began, { 160, 400 });
    for (int i = 1; i <= 10; ++i) {
        advance(0.01);
        window->sendTouch(1, TouchPhase::Moved, { 160, 400 - 30.0f * float(i) });
    }
    window->sendTouch(1, TouchPhase::Ended, { 160, 100 });
    scrollTo(0);
    window->sendTouch(1, TouchPhase::Began, { 160, 100 });
    for (int i = 1; i <= 10; ++i) {
        advance(0.01);
        window->sendTouch(1, TouchPhase::Moved, { 160, 100 + 30.0f * float(i) });
    }
    window->sendTouch(1, TouchPhase::Ended, { 160, 400 });
    advance(5);
    EXPECT_EQ(table->contentOffset().y, 0); // bounced back from above the top
    EXPECT_LE(rows.made, screenful);
}

TEST_F(TableViewTest, PlainHeadersStickUntilTheNextSectionPushesThemAway)
{
    rows.sections = { Rows::named("A", 20), Rows::named("B", 20), Rows::named("C", 3) };
    rows.titles = { "Today", std::nullopt, "Older" };
    makeTable();
    const float h = TableView::kDefaultRowHeight;
    const float header = TableView::kPlainHeaderHeight;
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 0 }).minY(), header);
    EXPECT_EQ(table->rectForRowAtIndexPath({ 1, 0 }).minY(), header + 20 * h);
    EXPECT_EQ(table->rectForRowAtIndexPath({ 2, 0 }).minY(), header + 40 * h + header);
    EXPECT_TRUE(table->rectForHeaderInSection(1).isEmpty());

    scrollTo(300);
    EXPECT_EQ(table->rectForHeaderInSection(0).minY(), 300);
    // The header view is drawn there, above the rows.
    View* hit = table->hitTest({ 10, 305 }); // headers take no touches: a row is hit
    while (hit && !dynamic_cast<TableViewCell*>(hit))
        hit = hit->superview();
    EXPECT_NE(hit, nullptr);
    // Near the end of its section the header is pushed up with the last row.
    scrollTo(header + 20 * h - 10);
    EXPECT_EQ(table->rectForHeaderInSection(0).minY(), header + 20 * h - header);
    for (const auto& subview : table->subviews())
        if (auto* shown = dynamic_cast<TableViewSectionHeader*>(subview.get())) {
            EXPECT_FALSE(shown->isGrouped());
        }
    // The untitled section passes under nothing; the next title sticks in its turn.
    scrollTo(header + 40 * h + 50);
    EXPECT_EQ(table->rectForHeaderInSection(2).minY(), header + 40 * h + 50);
    auto rowAt = table->indexPathForRowAtPoint({ 10, header + 40 * h + header + 1 });
    ASSERT_TRUE(rowAt);
    EXPECT_EQ(*rowAt, (IndexPath { 2, 0 }));
    EXPECT_FALSE(table->indexPathForRowAtPoint({ 10, header + 40 * h + 5 }));
}

TEST_F(TableViewTest, GroupedSectionsAreInsetBoxesWhoseHeadersDoNotStick)
{
    rows.sections = { Rows::named("A", 3), Rows::named("B", 1) };
    rows.titles = { "First", std::nullopt };
    makeTable(TableViewStyle::Grouped);
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 0 }), Rect(TableView::kGroupedInset, TableView::kGroupedHeaderHeight, 300, 44));
    const float second = TableView::kGroupedHeaderHeight + 3 * 44 + TableView::kGroupedSectionGap;
    EXPECT_EQ(table->rectForRowAtIndexPath({ 1, 0 }).minY(), second);
    EXPECT_EQ(table->contentSize().height, second + 44 + TableView::kGroupedSectionGap);
    table->setAlwaysBounceVertical(false);
    scrollTo(30);
    EXPECT_EQ(table->rectForHeaderInSection(0).minY(), 0);
    EXPECT_EQ(table->backgroundColor(), groupTableViewBackgroundColor());
    // Its header is drawn in the grouped look (dark text on the background), not as a bar.
    scrollTo(0);
    window->layoutIfNeeded();
    int headers = 0;
    for (const auto& subview : table->subviews())
        if (auto* header = dynamic_cast<TableViewSectionHeader*>(subview.get()); header && !header->isHidden()) {
            EXPECT_TRUE(header->isGrouped());
            ++headers;
        }
    EXPECT_EQ(headers, 1);
}

TEST_F(TableViewTest, ATapSelectsAfterAShortHighlightAndADragSelectsNothing)
{
    rows.sections = { Rows::named("Row", 50) };
    makeTable();
    touch(TouchPhase::Began, at({ 0, 2 }));
    auto cell = table->cellForRowAtIndexPath({ 0, 2 });
    EXPECT_FALSE(cell->isHighlighted());
    advance(TableView::kHighlightDelay);
    EXPECT_TRUE(cell->isHighlighted());
    EXPECT_TRUE(cell->textLabel().isHighlighted());
    touch(TouchPhase::Ended, at({ 0, 2 }));
    EXPECT_FALSE(cell->isHighlighted());
    EXPECT_TRUE(cell->isSelected());
    EXPECT_EQ(rows.selections, (std::vector<IndexPath> { { 0, 2 } }));
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath { 0, 2 }));

    // A quick tap selects too; the old selection goes.
    tap(at({ 0, 4 }));
    EXPECT_FALSE(cell->isSelected());
    EXPECT_TRUE(table->cellForRowAtIndexPath({ 0, 4 })->isSelected());

    // A drag that starts at once highlights nothing and selects nothing.
    touch(TouchPhase::Began, at({ 0, 6 }));
    touch(TouchPhase::Moved, { 160, at({ 0, 6 }).y - 30 });
    advance(0.2);
    EXPECT_FALSE(table->cellForRowAtIndexPath({ 0, 6 })->isHighlighted());
    touch(TouchPhase::Ended, { 160, at({ 0, 6 }).y - 30 });
    EXPECT_EQ(rows.selections.size(), 2u);

    // Selection survives a reload where its row still exists.
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath { 0, 4 }));
    EXPECT_TRUE(table->cellForRowAtIndexPath({ 0, 4 })->isSelected());
}

TEST_F(TableViewTest, AnimatedDeselectionFadesTheHighlight)
{
    rows.sections = { Rows::named("Row", 5) };
    makeTable();
    tap(at({ 0, 1 }));
    advance(1);
    auto pixel = [&] {
        auto screen = renderScreen(*window);
        return screen->bitmap().pixelAt(300, int(at({ 0, 1 }).y));
    };
    auto selected = pixel();
    EXPECT_GT(selected.blue, 200);
    EXPECT_LT(selected.red, 60);
    table->deselectRowAtIndexPath({ 0, 1 }, true);
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_FALSE(table->cellForRowAtIndexPath({ 0, 1 })->isSelected());
    advance(TableViewCell::kAnimationDuration / 2);
    auto halfway = pixel();
    EXPECT_GT(halfway.red, selected.red + 40);
    EXPECT_LT(halfway.red, 240);
    advance(TableViewCell::kAnimationDuration);
    auto after = pixel();
    EXPECT_EQ(after.red, 255);
    EXPECT_EQ(after.blue, 255);
    // Without animation the highlight goes at once.
    tap(at({ 0, 2 }));
    table->deselectRowAtIndexPath({ 0, 2 }, false);
    EXPECT_EQ(pixel().red, 255);
}

TEST_F(TableViewTest, EditingShowsDeleteControlsOnEditableRowsAndDeleteCommits)
{
    rows.sections = { Rows::named("Row", 6) };
    rows.readOnly = { { 0, 1 } };
    makeTable();
    table->setEditing(true, true);
    for (int r = 0; r < 6; ++r) {
        auto cell = table->cellForRowAtIndexPath({ 0, r });
        EXPECT_TRUE(cell->isEditing());
        EXPECT_EQ(cell->editingStyle(), r == 1 ? TableViewCellEditingStyle::None : TableViewCellEditingStyle::Delete) << r;
    }
    advance(1);
    // Content moves right only where there is a control.
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 0 })->contentView().frame().minX(), TableViewCell::kEditingIndent);
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 1 })->contentView().frame().minX(), 0);
    // Tapping the control of a read-only row does nothing; of an editable row shows Delete.
    tap(at({ 0, 1 }, 16));
    EXPECT_FALSE(table->indexPathShowingDeleteConfirmation());
    EXPECT_TRUE(rows.selections.empty()); // no selection while editing
    tap(at({ 0, 3 }, 16));
    ASSERT_EQ(table->indexPathShowingDeleteConfirmation(), (IndexPath { 0, 3 }));
    EXPECT_TRUE(table->cellForRowAtIndexPath({ 0, 3 })->showingDeleteConfirmation());
    advance(1);
    // Delete, at the row's right, commits with the delete style.
    tap(at({ 0, 3 }, 320 - 10 - TableViewCell::kDeleteButtonWidth / 2));
    ASSERT_EQ(rows.commits.size(), 1u);
    EXPECT_EQ(rows.commits[0].first, TableViewCellEditingStyle::Delete);
    EXPECT_EQ(rows.commits[0].second, (IndexPath { 0, 3 }));
    EXPECT_EQ(table->numberOfRowsInSection(0), 5);
    EXPECT_FALSE(table->indexPathShowingDeleteConfirmation());

    // Leaving editing mode takes the controls away.
    table->setEditing(false, false);
    EXPECT_FALSE(table->cellForRowAtIndexPath({ 0, 0 })->isEditing());
    table->layoutIfNeeded();
    advance(1);
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 0 })->contentView().frame().minX(), 0);

    // With selection allowed during editing a tap selects.
    table->setAllowsSelectionDuringEditing(true);
    table->setEditing(true, false);
    tap(at({ 0, 4 }));
    EXPECT_EQ(rows.selections, (std::vector<IndexPath> { { 0, 4 } }));
}

TEST_F(TableViewTest, ASwipeShowsDeleteAndATapElsewhereOnlyHidesIt)
{
    rows.sections = { Rows::named("Row", 8) };
    rows.readOnly = { { 0, 5 } };
    rows.deletesOnCommit = false;
    makeTable();
    auto swipe = [&](const IndexPath& ip, float dx) {
        const Point start = at(ip, 200);
        touch(TouchPhase::Began, start);
        for (int i = 1; i <= 5; ++i)
            touch(TouchPhase::Moved, { start.x + dx * float(i) / 5, start.y + 2 });
        touch(TouchPhase::Ended, { start.x + dx, start.y + 2 });
    };
    swipe({ 0, 2 }, -80);
    ASSERT_EQ(table->indexPathShowingDeleteConfirmation(), (IndexPath { 0, 2 }));
    EXPECT_EQ(table->contentOffset().y, 0);
    EXPECT_FALSE(table->cellForRowAtIndexPath({ 0, 2 })->isHighlighted());
    EXPECT_TRUE(rows.selections.empty());
    // A tap on another row hides the button and selects nothing.
    tap(at({ 0, 6 }));
    EXPECT_FALSE(table->indexPathShowingDeleteConfirmation());
    EXPECT_TRUE(rows.selections.empty());
    advance(1);
    EXPECT_FALSE(table->cellForRowAtIndexPath({ 0, 2 })->showingDeleteConfirmation());
    // Read-only rows do not swipe; a swipe to the right works as well.
    swipe({ 0, 5 }, 80);
    EXPECT_FALSE(table->indexPathShowingDeleteConfirmation());
    swipe({ 0, 0 }, 80);
    EXPECT_EQ(table->indexPathShowingDeleteConfirmation(), (IndexPath { 0, 0 }));
    advance(1);
    // The data source refuses: the row stays and its button goes.
    tap(at({ 0, 0 }, 320 - 10 - TableViewCell::kDeleteButtonWidth / 2));
    ASSERT_EQ(rows.commits.size(), 1u);
    EXPECT_EQ(table->numberOfRowsInSection(0), 8);
    EXPECT_FALSE(table->cellForRowAtIndexPath({ 0, 0 })->showingDeleteConfirmation());
    // A vertical drag still scrolls.
    rows.sections = { Rows::named("Row", 40) };
    table->reloadData();
    table->layoutIfNeeded();
    const Point start = at({ 0, 4 });
    touch(TouchPhase::Began, start);
    touch(TouchPhase::Moved, { start.x + 5, start.y - 40 });
    touch(TouchPhase::Moved, { start.x + 5, start.y - 80 });
    touch(TouchPhase::Ended, { start.x + 5, start.y - 80 });
    EXPECT_FALSE(table->indexPathShowingDeleteConfirmation());
    EXPECT_GT(table->contentOffset().y, 30);
}

TEST_F(TableViewTest, DeletedRowsSlideOutAndTheRowsBelowCloseTheGap)
{
    rows.sections = { Rows::named("Row", 30) };
    makeTable();
    auto gone = table->cellForRowAtIndexPath({ 0, 2 });
    auto below = table->cellForRowAtIndexPath({ 0, 3 });
    const int made = rows.made;
    rows.sections[0].erase(rows.sections[0].begin() + 2);
    table->deleteRowsAtIndexPaths({ { 0, 2 } }, TableViewRowAnimation::Right);
    EXPECT_EQ(table->numberOfRowsInSection(0), 29);
    // The row below is row 2 now; it is on its way up.
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 2 }), below);
    EXPECT_EQ(below->frame().minY(), 2 * 44);
    advance(TableView::kRowAnimationDuration / 2);
    const float midway = below->presentedCenter().y - 22;
    EXPECT_GT(midway, 2 * 44);
    EXPECT_LT(midway, 3 * 44);
    EXPECT_GT(gone->presentedCenter().x, 160 + 10);
    EXPECT_EQ(gone->superview(), table.get());
    // The row that comes into view at the bottom moves up with the rest.
    const int newLast = int(460 / 44);
    auto entering = table->cellForRowAtIndexPath({ 0, newLast });
    ASSERT_TRUE(entering);
    EXPECT_GT(entering->presentedCenter().y, entering->center().y);
    advance(TableView::kRowAnimationDuration);
    EXPECT_EQ(below->presentedCenter().y, 2 * 44 + 22);
    EXPECT_EQ(gone->superview(), nullptr);
    // The gone cell is reused rather than a new one made.
    scrollTo(44 * 10);
    EXPECT_LE(rows.made, made + 1);
    for (int r = 10; r < 20; ++r)
        EXPECT_EQ(table->cellForRowAtIndexPath({ 0, r })->text(), "Row " + std::to_string(r < 2 ? r : r + 1));
}

TEST_F(TableViewTest, AReloadRightAfterADeletionLetsTheAnimationRunOn)
{
    rows.sections = { Rows::named("Row", 12) };
    rows.reloadsAfterDelete = true;
    makeTable();
    table->setEditing(true, false);
    table->layoutIfNeeded();
    tap(at({ 0, 1 }, 16));
    tap(at({ 0, 1 }, 320 - 10 - TableViewCell::kDeleteButtonWidth / 2));
    ASSERT_EQ(rows.commits.size(), 1u);
    table->layoutIfNeeded();
    auto moving = table->cellForRowAtIndexPath({ 0, 1 });
    ASSERT_TRUE(moving);
    EXPECT_EQ(moving->text(), "Row 2");
    advance(TableView::kRowAnimationDuration / 2);
    EXPECT_GT(moving->presentedCenter().y, moving->center().y + 1);
    advance(TableView::kRowAnimationDuration);
    EXPECT_EQ(moving->presentedCenter().y, moving->center().y);
    EXPECT_EQ(table->visibleCells().size(), 11u);
}

TEST_F(TableViewTest, ADeletionThatDoesNotMatchTheDataSourceReloadsInsteadOfCorrupting)
{
    rows.sections = { Rows::named("Row", 10) };
    makeTable();
    foundation::LogCapture capture;
    // Nothing was removed from the data, and a row that does not exist is named.
    table->deleteRowsAtIndexPaths({ { 0, 3 } }, TableViewRowAnimation::Fade);
    table->layoutIfNeeded();
    table->deleteRowsAtIndexPaths({ { 0, 40 } }, TableViewRowAnimation::Fade);
    EXPECT_EQ(capture.lines().size(), 2u);
    EXPECT_EQ(table->numberOfRowsInSection(0), 10);
    table->layoutIfNeeded();
    EXPECT_EQ(table->visibleCells().size(), 10u);
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 3 })->text(), "Row 3");
}

TEST_F(TableViewTest, CellsShowTheirAccessoryImageAndHighlightedText)
{
    auto cell = std::make_shared<TableViewCell>(Rect(0, 0, 320, 44), "Cell");
    cell->setText("Memo");
    cell->setAccessoryType(TableViewCellAccessoryType::DisclosureIndicator);
    cell->layoutIfNeeded();
    EXPECT_LT(cell->contentView().frame().width(), 300);
    cell->setEditing(true, false);
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->contentView().frame().maxX(), 320); // the accessory went
    cell->setHidesAccessoryWhenEditing(false);
    cell->layoutIfNeeded();
    EXPECT_LT(cell->contentView().frame().maxX(), 300);
    cell->setHighlighted(true, false);
    EXPECT_TRUE(cell->textLabel().isHighlighted());
    cell->setSelectionStyle(TableViewCellSelectionStyle::None);
    EXPECT_FALSE(cell->textLabel().isHighlighted());
    cell->prepareForReuse();
    EXPECT_FALSE(cell->isHighlighted());
    EXPECT_FALSE(cell->isSelected());
}

namespace {

class Screen3 : public TableViewController {
public:
    using TableViewController::TableViewController;
    int reloads { 0 };
    int tableViewNumberOfRowsInSection(TableView&, int) override
    {
        ++reloads;
        return 3;
    }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& table, const IndexPath& ip) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("C");
        if (!cell)
            cell = std::make_shared<TableViewCell>(Rect(), "C");
        cell->setText(std::to_string(ip.row));
        return cell;
    }
};

} // namespace

TEST_F(TableViewTest, TheControllerReloadsOnFirstAppearanceAndPassesEditingOn)
{
    auto controller = std::make_shared<Screen3>(TableViewStyle::Grouped);
    auto tableView = controller->tableView();
    ASSERT_TRUE(tableView);
    EXPECT_EQ(tableView->style(), TableViewStyle::Grouped);
    EXPECT_EQ(tableView->dataSource(), controller.get());
    EXPECT_EQ(controller->reloads, 0);
    controller->beginAppearanceTransition(true, false);
    controller->endAppearanceTransition();
    const int first = controller->reloads;
    EXPECT_GT(first, 0);
    controller->beginAppearanceTransition(false, false);
    controller->endAppearanceTransition();
    controller->beginAppearanceTransition(true, false);
    controller->endAppearanceTransition();
    EXPECT_EQ(controller->reloads, first);

    auto item = controller->editButtonItem();
    EXPECT_EQ(item->title(), "Edit");
    controller->setEditing(true, false);
    EXPECT_TRUE(tableView->isEditing());
    EXPECT_EQ(item->title(), "Done");
    controller->setEditing(false, false);
    EXPECT_FALSE(tableView->isEditing());
    EXPECT_EQ(item->title(), "Edit");
    controller.reset();
    EXPECT_EQ(tableView->dataSource(), nullptr);
}

TEST_F(TableViewTest, AFooterViewStandsUnderTheLastSectionAndFollowsItsRows)
{
    rows.sections = { Rows::named("A", 3) };
    makeTable(TableViewStyle::Grouped);
    const float end = TableView::kGroupedSectionGap + 3 * 44 + TableView::kGroupedSectionGap;
    auto footer = std::make_shared<View>(Rect(0, 0, 100, 60));
    table->setTableFooterView(footer);
    EXPECT_EQ(footer->superview(), table.get());
    EXPECT_EQ(footer->frame(), Rect(0, end, 320, 60));
    EXPECT_EQ(table->contentSize().height, end + 60);
    // More rows push it down; taken away, the content ends with the rows again.
    rows.sections = { Rows::named("A", 5) };
    table->reloadData();
    EXPECT_EQ(footer->frame().minY(), end + 2 * 44);
    table->setTableFooterView(nullptr);
    EXPECT_EQ(footer->superview(), nullptr);
    EXPECT_EQ(table->contentSize().height, end + 2 * 44);
}

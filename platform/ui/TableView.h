#pragma once

#include "ui/IndexPath.h"
#include "ui/ScrollView.h"
#include "ui/TableViewDataSource.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace foundation {
class Timer;
}

namespace ui {

class Label;
class TableViewCell;
class TableViewDelegate;
class TableViewSectionHeader;

/// The two looks of a table (the platform's values).
enum class TableViewStyle {
    Plain = 0,
    Grouped = 1,
};

/// How deleted rows leave (the platform's values).
enum class TableViewRowAnimation {
    Fade = 0,
    Right = 1,
    Left = 2,
    Top = 3,
    Bottom = 4,
    None = 5,
};

/// A scrolling list of rows in sections, all rows of one height.
///
/// Plain tables run rows edge to edge with a separator under each, and a section's header
/// title stays at the top of the view while its rows scroll under it, pushed away by the
/// next section's header. Grouped tables draw each section as a rounded white box inset from
/// the edges, over the grouped-table background colour, with its title above it.
///
/// Rows are found by arithmetic: each section's top is kept in a table, the first section in
/// view is found by binary search and the rows in it by dividing by the row height, so work
/// per frame depends on what is visible, never on the row count. Cells are asked of the data
/// source only for rows coming into view; a cell whose row leaves the view goes back to a pool
/// per reuse identifier, where dequeueReusableCellWithIdentifier finds it, so the number of
/// cells alive stays about one screenful. After reloadData a row still in view prefers the
/// cell that showed it before.
///
/// Touches: a tap selects a row (highlighted a moment after touch-down, so a drag that
/// starts at once highlights nothing) and tells the delegate; a drag scrolls. In editing mode
/// rows with the delete style show a delete control, and tapping it shows the Delete button;
/// outside editing mode a horizontal swipe over an editable row shows the same button. Delete
/// asks the data source to commit. A touch anywhere else while the button shows only hides it.
///
/// Changes: deleteRowsAtIndexPaths checks the data source's new counts, slides the deleted
/// rows out and moves the rows below up to close the gap in one animation block. A second
/// change while it runs starts from what is shown at that moment: rows keep moving from
/// where they are, and reloadData keeps rows that stay in view in their cells, so their moves
/// go on; rows that slide out always finish leaving. The data source and delegate are not
/// owned (their owner clears them). Main thread only.
class TableView : public ScrollView {
public:
    static constexpr float kDefaultRowHeight = 44;
    static constexpr float kPlainHeaderHeight = 22;
    /// Grouped: the height above a titled section, the gap above an untitled one and below
    /// each, and the inset of the boxes from the sides.
    static constexpr float kGroupedHeaderHeight = 46;
    static constexpr float kGroupedSectionGap = 10;
    static constexpr float kGroupedInset = 10;
    static constexpr double kRowAnimationDuration = 0.3;
    /// How long a finger rests on a row before it is highlighted.
    static constexpr double kHighlightDelay = 0.1;

    TableView(const gfx::Rect& frame, TableViewStyle style);
    ~TableView() override;

    TableViewStyle style() const { return m_style; }
    float rowHeight() const { return m_rowHeight; }
    /// Heights of 0 or less are ignored.
    void setRowHeight(float height);

    TableViewDataSource* dataSource() const { return m_dataSource; }
    void setDataSource(TableViewDataSource* dataSource);
    TableViewDelegate* delegate() const { return m_delegate; }
    /// Also the delegate of the scrolling.
    void setDelegate(TableViewDelegate* delegate);

    /// Asks the data source for everything again; rows come back on the next layout. The
    /// selection stays where its row still exists.
    void reloadData();
    int numberOfSections() const { return int(m_sections.size()); }
    /// A short text shown centred in the view while the table has no rows (none by default).
    void setEmptyText(const std::string& text);
    /// A view under the last section (a grouped table's closing note), as wide as the table and
    /// as tall as its frame says; it scrolls with the rows. Null removes it.
    void setTableFooterView(std::shared_ptr<View> view);
    const std::shared_ptr<View>& tableFooterView() const { return m_footerView; }
    /// The label of the empty text; null until a text is set.
    const std::shared_ptr<Label>& emptyLabel() const { return m_emptyLabel; }
    /// 0 for a section that does not exist.
    int numberOfRowsInSection(int section) const;
    /// In content coordinates; empty for a row that does not exist.
    gfx::Rect rectForRowAtIndexPath(const IndexPath& indexPath) const;
    /// Where the section's header is now (a plain header sticks); empty without a title.
    gfx::Rect rectForHeaderInSection(int section) const;
    /// The row under point (content coordinates), if any.
    std::optional<IndexPath> indexPathForRowAtPoint(gfx::Point point) const;
    /// The rows whose rectangles meet the visible area, in order.
    std::vector<IndexPath> indexPathsForVisibleRows() const;
    /// The cell showing the row, or null when the row is not in view.
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(const IndexPath& indexPath) const;
    std::vector<std::shared_ptr<TableViewCell>> visibleCells() const;
    /// A cell with identifier that left the view (prepared for reuse), or null.
    std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    /// Scrolls the least that shows the row.
    void scrollToRowAtIndexPath(const IndexPath& indexPath, bool animated);

    // Selection
    std::optional<IndexPath> indexPathForSelectedRow() const { return m_selectedRow; }
    /// Selects the row (and deselects the one selected before); nothing for a missing row.
    void selectRowAtIndexPath(const IndexPath& indexPath, bool animated);
    /// Deselects the row if it is selected; animated, its highlight fades.
    void deselectRowAtIndexPath(const IndexPath& indexPath, bool animated);
    bool allowsSelectionDuringEditing() const { return m_allowsSelectionDuringEditing; }
    void setAllowsSelectionDuringEditing(bool allows) { m_allowsSelectionDuringEditing = allows; }

    // Editing
    bool isEditing() const { return m_editing; }
    /// Editing mode: delete controls slide in on rows that can be edited with the delete style.
    virtual void setEditing(bool editing, bool animated);
    /// The row showing the Delete button, if any.
    std::optional<IndexPath> indexPathShowingDeleteConfirmation() const { return m_confirmationRow; }
    /// Takes rows out after the data source has removed them. When the data source's counts do
    /// not match the old counts less the rows named (or a row does not exist), this logs the
    /// mismatch and reloads everything instead of animating.
    void deleteRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths, TableViewRowAnimation animation);

    void layoutSubviews() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    bool shouldTakeOverTouch(const Touch& touch, const Event& event) override;
    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    /// Up and Down select the row above or below the selected one, Page Up and Page Down the
    /// row a page away, Home and End the first and the last row, and scroll it into view; with
    /// no row selected the first key takes the first (or, going up, the last) row in view.
    /// Return chooses the selected row as a tap would (the delegate's did-select). Other keys,
    /// and all of them in a table without rows, scroll as in a scroll view.
    /// Delete on the selected row of a table whose row can be deleted shows its Delete button,
    /// a second Delete presses it, and Escape hides it.
    void keyPressed(Key key) override;
    /// Chooses the row cell shows as a tap would: selects it and tells the delegate. False
    /// (nothing happens) for a cell that shows no row or a row a tap could not choose now.
    bool chooseRowOfCell(const TableViewCell& cell);
    /// A list of the rows in view (its cells), and the empty text when it has none.
    void fillAccessibilityData(AccessibilityData& data) const override;
    /// A table with rows is a stop of Tab; its ring goes round the selected row (round the
    /// rows in view while none is).
    bool canBecomeKeyboardFocus() const override;
    gfx::Rect keyboardFocusRect() const override;

private:
    struct Section {
        float top { 0 };
        float headerHeight { 0 };
        int rows { 0 };
        std::optional<std::string> title;
        float rowsTop() const { return top + headerHeight; }
    };

    void rebuildSections();
    float sectionBottom(int section) const;
    float sectionGapBelow() const;
    /// The index of the last section starting at or above y (0 when none does).
    int sectionAtY(float y) const;
    bool isValid(const IndexPath& indexPath) const;
    std::vector<IndexPath> rowsInRect(const gfx::Rect& rect) const;
    std::shared_ptr<TableViewCell> makeCell(const IndexPath& indexPath);
    void configureCell(TableViewCell& cell, const IndexPath& indexPath);
    void enqueueCell(const std::shared_ptr<TableViewCell>& cell);
    void layoutHeaders();
    std::optional<IndexPath> indexPathForCell(const TableViewCell& cell) const;
    TableViewCellEditingStyle editingStyleForRow(const IndexPath& indexPath);

    void showDeleteConfirmation(const std::optional<IndexPath>& indexPath, bool animated);
    void deleteControlTapped(TableViewCell& cell);
    void deleteButtonTapped(TableViewCell& cell);
    void cancelPress();
    void finishLeaving(const std::vector<std::shared_ptr<TableViewCell>>& cells);
    void highlightPressedRow();
    bool isSwipeToDelete(const Touch& touch) const;

    TableViewStyle m_style;
    float m_rowHeight { kDefaultRowHeight };
    TableViewDataSource* m_dataSource { nullptr };
    TableViewDelegate* m_delegate { nullptr };
    std::vector<Section> m_sections;

    std::map<IndexPath, std::shared_ptr<TableViewCell>> m_cells;
    /// After reloadData, the cells shown before, until the next layout hands them out again.
    std::map<IndexPath, std::shared_ptr<TableViewCell>> m_previousCells;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> m_reusePool;
    std::optional<IndexPath> m_requestedRow;
    std::map<int, std::shared_ptr<TableViewSectionHeader>> m_headers;
    std::vector<std::shared_ptr<TableViewSectionHeader>> m_headerPool;

    std::shared_ptr<View> m_footerView;
    float m_sectionsWidth { -1 };
    std::optional<IndexPath> m_selectedRow;
    /// The row before or after indexPath across sections, or none at either end.
    std::optional<IndexPath> neighbourRow(const IndexPath& indexPath, int step) const;
    std::optional<IndexPath> keyTargetRow(Key key) const;
    void layoutEmptyLabel();
    std::shared_ptr<Label> m_emptyLabel;
    bool m_allowsSelectionDuringEditing { false };
    bool m_editing { false };
    std::optional<IndexPath> m_confirmationRow;
    /// Deletion animations running; while any does, plain rows paint their own white so
    /// the rows closing the gap hide the ones leaving under them.
    int m_runningDeletions { 0 };

    // The finger on a row, the swipe that shows Delete, and the tap that hides it.
    std::weak_ptr<Touch> m_pressTouch;
    std::optional<IndexPath> m_pressedRow;
    std::shared_ptr<foundation::Timer> m_highlightTimer;
    std::weak_ptr<Touch> m_swipeCandidate;
    gfx::Point m_touchStart;
    std::weak_ptr<Touch> m_swipeTouch;
    std::weak_ptr<Touch> m_swallowedTouch;
};

} // namespace ui

#include "ui/TableView.h"

#include "ui/Appearance.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"
#include "ui/TableViewDelegate.h"
#include "ui/TableViewSectionHeader.h"

#include "foundation/Log.h"
#include "foundation/RunLoop.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

const gfx::Color kSeparatorColor = gfx::Color::grey(0.88f);

std::shared_ptr<TableView> lockTable(const std::weak_ptr<Responder>& weak)
{
    return std::static_pointer_cast<TableView>(weak.lock());
}

} // namespace

TableView::TableView(const gfx::Rect& frame, TableViewStyle style)
    : ScrollView(frame)
    , m_style(style)
{
    setBackgroundColor(style == TableViewStyle::Grouped ? groupTableViewBackgroundColor() : gfx::Color::white());
    setAlwaysBounceVertical(true);
}

TableView::~TableView()
{
    if (m_highlightTimer)
        m_highlightTimer->invalidate();
}

void TableView::setRowHeight(float height)
{
    if (height <= 0 || height == m_rowHeight)
        return;
    m_rowHeight = height;
    rebuildSections();
    setNeedsLayout();
    setNeedsDisplay();
}

void TableView::setDataSource(TableViewDataSource* dataSource)
{
    m_dataSource = dataSource;
}

void TableView::setDelegate(TableViewDelegate* delegate)
{
    m_delegate = delegate;
    ScrollView::setDelegate(delegate);
}

// Geometry

void TableView::rebuildSections()
{
    m_sectionsWidth = bounds().width();
    m_sections.clear();
    const int count = m_dataSource ? std::max(0, m_dataSource->numberOfSectionsInTableView(*this)) : 0;
    const bool grouped = m_style == TableViewStyle::Grouped;
    float y = 0;
    for (int s = 0; s < count; ++s) {
        Section section;
        section.top = y;
        section.rows = std::max(0, m_dataSource->tableViewNumberOfRowsInSection(*this, s));
        section.title = m_dataSource->tableViewTitleForHeaderInSection(*this, s);
        if (section.title && section.title->empty())
            section.title.reset();
        if (grouped)
            section.headerHeight = section.title ? kGroupedHeaderHeight : kGroupedSectionGap;
        else
            section.headerHeight = section.title ? kPlainHeaderHeight : 0;
        y = section.rowsTop() + float(section.rows) * m_rowHeight;
        m_sections.push_back(std::move(section));
    }
    y += grouped && count > 0 ? kGroupedSectionGap : 0;
    if (m_footerView) {
        m_footerView->setFrame(gfx::Rect(0, y, bounds().width(), m_footerView->frame().height()));
        y += m_footerView->frame().height();
    }
    setContentSize({ bounds().width(), y });
    layoutEmptyLabel();
}

void TableView::setTableFooterView(std::shared_ptr<View> view)
{
    if (view == m_footerView)
        return;
    if (m_footerView)
        m_footerView->removeFromSuperview();
    m_footerView = std::move(view);
    if (m_footerView)
        addSubview(m_footerView);
    rebuildSections();
    setNeedsLayout();
}

void TableView::setEmptyText(const std::string& text)
{
    if (!m_emptyLabel) {
        m_emptyLabel = std::make_shared<Label>(gfx::Rect());
        m_emptyLabel->setFont(gfx::Font::boldSystemFont(20));
        m_emptyLabel->setTextColor(gfx::Color { 0.5f, 0.5f, 0.5f, 1 });
        m_emptyLabel->setBackgroundColor(gfx::Color { 0, 0, 0, 0 });
        m_emptyLabel->setTextAlignment(gfx::TextAlignment::Center);
        m_emptyLabel->setNumberOfLines(2);
        m_emptyLabel->setUserInteractionEnabled(false);
        addSubview(m_emptyLabel);
    }
    m_emptyLabel->setText(text);
    layoutEmptyLabel();
}

// The text stays in the middle of what shows, also while the empty content bounces.
void TableView::layoutEmptyLabel()
{
    if (!m_emptyLabel)
        return;
    bool empty = true;
    for (const Section& section : m_sections)
        empty = empty && section.rows == 0;
    m_emptyLabel->setHidden(!empty || m_emptyLabel->text().empty());
    const gfx::Rect visible = bounds();
    constexpr float kSideMargin = 20;
    constexpr float kHeight = 56;
    m_emptyLabel->setFrame(gfx::Rect(visible.minX() + kSideMargin, visible.minY() + (visible.height() - kHeight) / 2,
        std::max(0.0f, visible.width() - 2 * kSideMargin), kHeight));
}

float TableView::sectionBottom(int section) const
{
    const Section& s = m_sections[size_t(section)];
    return s.rowsTop() + float(s.rows) * m_rowHeight;
}

int TableView::sectionAtY(float y) const
{
    auto it = std::upper_bound(m_sections.begin(), m_sections.end(), y, [](float value, const Section& s) { return value < s.top; });
    return std::max(0, int(it - m_sections.begin()) - 1);
}

bool TableView::isValid(const IndexPath& indexPath) const
{
    return indexPath.section >= 0 && indexPath.section < numberOfSections() && indexPath.row >= 0
        && indexPath.row < m_sections[size_t(indexPath.section)].rows;
}

int TableView::numberOfRowsInSection(int section) const
{
    return section >= 0 && section < numberOfSections() ? m_sections[size_t(section)].rows : 0;
}

gfx::Rect TableView::rectForRowAtIndexPath(const IndexPath& indexPath) const
{
    if (!isValid(indexPath))
        return {};
    const float inset = m_style == TableViewStyle::Grouped ? kGroupedInset : 0;
    const float y = m_sections[size_t(indexPath.section)].rowsTop() + float(indexPath.row) * m_rowHeight;
    return gfx::Rect(inset, y, bounds().width() - 2 * inset, m_rowHeight);
}

gfx::Rect TableView::rectForHeaderInSection(int section) const
{
    if (section < 0 || section >= numberOfSections() || !m_sections[size_t(section)].title)
        return {};
    const Section& s = m_sections[size_t(section)];
    if (m_style == TableViewStyle::Grouped)
        return gfx::Rect(0, s.top, bounds().width(), s.headerHeight);
    // Sticks to the top while the section's rows pass under it, pushed up by the next one.
    const float y = std::clamp(contentOffset().y, s.top, sectionBottom(section) - s.headerHeight);
    return gfx::Rect(0, y, bounds().width(), s.headerHeight);
}

std::vector<IndexPath> TableView::rowsInRect(const gfx::Rect& rect) const
{
    std::vector<IndexPath> rows;
    for (int s = sectionAtY(rect.minY()); s < numberOfSections() && m_sections[size_t(s)].top < rect.maxY(); ++s) {
        const Section& section = m_sections[size_t(s)];
        if (section.rows == 0)
            continue;
        const int first = std::max(0, int(std::floor((rect.minY() - section.rowsTop()) / m_rowHeight)));
        const int last = std::min(section.rows - 1, int(std::ceil((rect.maxY() - section.rowsTop()) / m_rowHeight)) - 1);
        for (int r = first; r <= last; ++r)
            rows.push_back({ s, r });
    }
    return rows;
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(gfx::Point point) const
{
    if (m_sections.empty())
        return std::nullopt;
    const int s = sectionAtY(point.y);
    const Section& section = m_sections[size_t(s)];
    const float offset = point.y - section.rowsTop();
    if (offset < 0 || point.x < 0 || point.x >= bounds().width())
        return std::nullopt;
    const int row = int(offset / m_rowHeight);
    if (row >= section.rows)
        return std::nullopt;
    return IndexPath { s, row };
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() const
{
    return rowsInRect(bounds());
}

std::shared_ptr<TableViewCell> TableView::cellForRowAtIndexPath(const IndexPath& indexPath) const
{
    auto it = m_cells.find(indexPath);
    return it == m_cells.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() const
{
    std::vector<std::shared_ptr<TableViewCell>> cells;
    for (const auto& [indexPath, cell] : m_cells)
        cells.push_back(cell);
    return cells;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell& cell) const
{
    for (const auto& [indexPath, shown] : m_cells)
        if (shown.get() == &cell)
            return indexPath;
    return std::nullopt;
}

void TableView::scrollToRowAtIndexPath(const IndexPath& indexPath, bool animated)
{
    if (isValid(indexPath))
        scrollRectToVisible(rectForRowAtIndexPath(indexPath), animated);
}

// Cells

void TableView::reloadData()
{
    cancelPress();
    m_confirmationRow.reset();
    for (auto& [indexPath, cell] : m_cells) {
        if (auto old = m_previousCells.find(indexPath); old != m_previousCells.end())
            enqueueCell(old->second);
        m_previousCells[indexPath] = cell;
    }
    m_cells.clear();
    rebuildSections();
    if (m_selectedRow && !isValid(*m_selectedRow))
        m_selectedRow.reset();
    setNeedsLayout();
    setNeedsDisplay();
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier)
{
    std::shared_ptr<TableViewCell> cell;
    if (m_requestedRow) {
        auto it = m_previousCells.find(*m_requestedRow);
        if (it != m_previousCells.end() && it->second->reuseIdentifier() == identifier) {
            cell = it->second;
            m_previousCells.erase(it);
        }
    }
    if (!cell) {
        auto pool = m_reusePool.find(identifier);
        if (pool == m_reusePool.end() || pool->second.empty())
            return nullptr;
        cell = pool->second.back();
        pool->second.pop_back();
    }
    cell->prepareForReuse();
    return cell;
}

void TableView::enqueueCell(const std::shared_ptr<TableViewCell>& cell)
{
    cell->removeFromSuperview();
    cell->setAlpha(1);
    if (m_style == TableViewStyle::Plain)
        cell->setBackgroundColor(std::nullopt);
    cell->setUserInteractionEnabled(true);
    // A cell without an identifier is never asked for again.
    if (!cell->reuseIdentifier().empty())
        m_reusePool[cell->reuseIdentifier()].push_back(cell);
}

std::shared_ptr<TableViewCell> TableView::makeCell(const IndexPath& indexPath)
{
    m_requestedRow = indexPath;
    std::shared_ptr<TableViewCell> cell = m_dataSource ? m_dataSource->tableViewCellForRowAtIndexPath(*this, indexPath) : nullptr;
    m_requestedRow.reset();
    if (!cell) {
        foundation::logf("Table data source gave no cell for row %d of section %d", indexPath.row, indexPath.section);
        cell = std::make_shared<TableViewCell>(gfx::Rect(), std::string());
    }
    configureCell(*cell, indexPath);
    if (cell->superview() != this)
        insertSubviewAtIndex(cell, 0);
    return cell;
}

TableViewCellEditingStyle TableView::editingStyleForRow(const IndexPath& indexPath)
{
    if (!m_dataSource || !m_dataSource->tableViewCanEditRowAtIndexPath(*this, indexPath))
        return TableViewCellEditingStyle::None;
    return m_delegate ? m_delegate->tableViewEditingStyleForRowAtIndexPath(*this, indexPath) : TableViewCellEditingStyle::Delete;
}

void TableView::configureCell(TableViewCell& cell, const IndexPath& indexPath)
{
    using Position = TableViewCell::Position;
    const int rows = m_sections[size_t(indexPath.section)].rows;
    Position position = Position::Plain;
    if (m_style == TableViewStyle::Grouped)
        position = rows == 1 ? Position::Single : indexPath.row == 0 ? Position::Top : indexPath.row == rows - 1 ? Position::Bottom : Position::Middle;
    cell.setPosition(position);
    cell.setEditingStyle(editingStyleForRow(indexPath));
    cell.setEditing(m_editing, false);
    cell.setShowingDeleteConfirmation(m_confirmationRow == indexPath, false);
    cell.setSelected(m_selectedRow == indexPath, false);
    std::weak_ptr<Responder> weakSelf = weak_from_this();
    cell.setEditingHandlers(
        [weakSelf](TableViewCell& c) {
            if (auto self = lockTable(weakSelf))
                self->deleteControlTapped(c);
        },
        [weakSelf](TableViewCell& c) {
            if (auto self = lockTable(weakSelf))
                self->deleteButtonTapped(c);
        });
}

void TableView::layoutSubviews()
{
    // A new width (the screen resized) gives the content, the footer and the headers that width.
    if (bounds().width() != m_sectionsWidth)
        rebuildSections();
    const std::vector<IndexPath> wanted = rowsInRect(bounds());
    auto isWanted = [&](const IndexPath& indexPath) { return std::binary_search(wanted.begin(), wanted.end(), indexPath); };
    for (auto it = m_cells.begin(); it != m_cells.end();) {
        if (isWanted(it->first)) {
            ++it;
            continue;
        }
        enqueueCell(it->second);
        it = m_cells.erase(it);
    }
    // Cells shown before a reload wait for their own rows only.
    for (auto it = m_previousCells.begin(); it != m_previousCells.end();) {
        if (isWanted(it->first)) {
            ++it;
            continue;
        }
        enqueueCell(it->second);
        it = m_previousCells.erase(it);
    }
    for (const IndexPath& indexPath : wanted) {
        auto& cell = m_cells[indexPath];
        if (!cell)
            cell = makeCell(indexPath);
        cell->setFrame(rectForRowAtIndexPath(indexPath));
    }
    for (auto& [indexPath, cell] : m_previousCells)
        enqueueCell(cell);
    m_previousCells.clear();
    layoutHeaders();
    layoutEmptyLabel();
    ScrollView::layoutSubviews();
}

void TableView::layoutHeaders()
{
    const gfx::Rect visible = bounds();
    std::vector<int> wanted;
    for (int s = sectionAtY(visible.minY()); s < numberOfSections() && m_sections[size_t(s)].top < visible.maxY(); ++s)
        if (m_sections[size_t(s)].title)
            wanted.push_back(s);
    for (auto it = m_headers.begin(); it != m_headers.end();) {
        if (std::find(wanted.begin(), wanted.end(), it->first) != wanted.end()) {
            ++it;
            continue;
        }
        it->second->removeFromSuperview();
        m_headerPool.push_back(it->second);
        it = m_headers.erase(it);
    }
    for (int s : wanted) {
        auto& header = m_headers[s];
        if (!header) {
            if (!m_headerPool.empty()) {
                header = m_headerPool.back();
                m_headerPool.pop_back();
            } else {
                header = std::make_shared<TableViewSectionHeader>(m_style == TableViewStyle::Grouped);
            }
            addSubview(header);
        }
        header->setTitle(*m_sections[size_t(s)].title);
        header->setFrame(rectForHeaderInSection(s));
    }
}

void TableView::drawRect(gfx::Context& context, const gfx::Rect& rect)
{
    if (m_style != TableViewStyle::Plain)
        return;
    // The empty part below the last row goes on with separators, as if rows were there.
    const float end = m_sections.empty() ? 0 : sectionBottom(numberOfSections() - 1);
    const float first = std::max(1.0f, std::floor((rect.minY() - end) / m_rowHeight));
    for (float y = end + first * m_rowHeight; y - 1 < rect.maxY(); y += m_rowHeight)
        context.fillRect(gfx::Rect(rect.minX(), y - 1, rect.width(), 1), kSeparatorColor);
}

// Selection

void TableView::selectRowAtIndexPath(const IndexPath& indexPath, bool animated)
{
    if (!isValid(indexPath))
        return;
    if (m_selectedRow && *m_selectedRow != indexPath)
        deselectRowAtIndexPath(*m_selectedRow, false);
    m_selectedRow = indexPath;
    if (auto cell = cellForRowAtIndexPath(indexPath))
        cell->setSelected(true, animated);
    announceAccessibilityChange(*this, AccessibilityChange::Selection);
}

bool TableView::chooseRowOfCell(const TableViewCell& cell)
{
    const auto indexPath = indexPathForCell(cell);
    if (!indexPath || (m_editing && !m_allowsSelectionDuringEditing))
        return false;
    auto keep = sharedView();
    selectRowAtIndexPath(*indexPath, false);
    if (m_delegate)
        m_delegate->tableViewDidSelectRowAtIndexPath(*this, *indexPath);
    return true;
}

void TableView::fillAccessibilityData(AccessibilityData& data) const
{
    data.role = AccessibilityRole::List;
}

void TableView::deselectRowAtIndexPath(const IndexPath& indexPath, bool animated)
{
    if (m_selectedRow != indexPath)
        return;
    m_selectedRow.reset();
    if (auto cell = cellForRowAtIndexPath(indexPath))
        cell->setSelected(false, animated);
    announceAccessibilityChange(*this, AccessibilityChange::Selection);
}

// Editing

void TableView::setEditing(bool editing, bool animated)
{
    if (editing == m_editing)
        return;
    m_editing = editing;
    cancelPress();
    showDeleteConfirmation(std::nullopt, animated);
    for (auto& [indexPath, cell] : m_cells) {
        cell->setEditingStyle(editingStyleForRow(indexPath));
        cell->setEditing(editing, animated);
    }
}

void TableView::showDeleteConfirmation(const std::optional<IndexPath>& indexPath, bool animated)
{
    if (indexPath == m_confirmationRow)
        return;
    if (m_confirmationRow)
        if (auto cell = cellForRowAtIndexPath(*m_confirmationRow))
            cell->setShowingDeleteConfirmation(false, animated);
    m_confirmationRow = indexPath;
    if (indexPath)
        if (auto cell = cellForRowAtIndexPath(*indexPath))
            cell->setShowingDeleteConfirmation(true, animated);
}

void TableView::deleteControlTapped(TableViewCell& cell)
{
    auto indexPath = indexPathForCell(cell);
    if (!indexPath)
        return;
    showDeleteConfirmation(m_confirmationRow == indexPath ? std::nullopt : indexPath, true);
}

void TableView::deleteButtonTapped(TableViewCell& cell)
{
    auto indexPath = indexPathForCell(cell);
    if (!indexPath || !m_dataSource)
        return;
    // The data source may delete the row, reload, or remove this table.
    auto keep = sharedView();
    auto keepCell = cell.sharedView();
    m_confirmationRow.reset();
    m_dataSource->tableViewCommitEditingStyleForRowAtIndexPath(*this, TableViewCellEditingStyle::Delete, *indexPath);
    // A row that stays (the data source refused) hides its button again.
    if (indexPathForCell(cell) && cell.showingDeleteConfirmation() && m_confirmationRow != indexPathForCell(cell))
        cell.setShowingDeleteConfirmation(false, true);
}

void TableView::deleteRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths, TableViewRowAnimation animation)
{
    std::vector<IndexPath> deleted(indexPaths);
    std::sort(deleted.begin(), deleted.end());
    deleted.erase(std::unique(deleted.begin(), deleted.end()), deleted.end());
    if (deleted.empty())
        return;
    // Rows waiting for a reload have no places on screen to move from.
    if (!m_previousCells.empty() || !m_dataSource) {
        reloadData();
        return;
    }
    std::vector<int> removed(m_sections.size(), 0);
    bool consistent = std::all_of(deleted.begin(), deleted.end(), [&](const IndexPath& ip) { return isValid(ip); });
    for (const IndexPath& indexPath : deleted)
        if (isValid(indexPath))
            ++removed[size_t(indexPath.section)];
    consistent = consistent && m_dataSource->numberOfSectionsInTableView(*this) == numberOfSections();
    for (int s = 0; consistent && s < numberOfSections(); ++s)
        consistent = std::max(0, m_dataSource->tableViewNumberOfRowsInSection(*this, s)) == m_sections[size_t(s)].rows - removed[size_t(s)];
    if (!consistent) {
        foundation::log("Table rows deleted do not match the data source's new row counts; reloading the table");
        reloadData();
        return;
    }

    auto keep = sharedView();
    cancelPress();
    m_confirmationRow.reset();
    const std::vector<Section> oldSections = m_sections;
    auto deletedAbove = [&](const IndexPath& indexPath) {
        auto from = std::lower_bound(deleted.begin(), deleted.end(), IndexPath { indexPath.section, 0 });
        auto to = std::lower_bound(deleted.begin(), deleted.end(), indexPath);
        return int(to - from);
    };
    std::vector<std::shared_ptr<TableViewCell>> leaving;
    std::map<IndexPath, std::shared_ptr<TableViewCell>> moved;
    for (auto& [indexPath, cell] : m_cells) {
        if (std::binary_search(deleted.begin(), deleted.end(), indexPath))
            leaving.push_back(cell);
        else
            moved[{ indexPath.section, indexPath.row - deletedAbove(indexPath) }] = cell;
    }
    m_cells = std::move(moved);
    if (m_selectedRow) {
        if (std::binary_search(deleted.begin(), deleted.end(), *m_selectedRow))
            m_selectedRow.reset();
        else
            m_selectedRow->row -= deletedAbove(*m_selectedRow);
    }
    rebuildSections();

    // Rows that come into view start from where they were, so they move up with the rest.
    auto oldRect = [&](const IndexPath& indexPath) {
        int row = indexPath.row;
        for (auto it = std::lower_bound(deleted.begin(), deleted.end(), IndexPath { indexPath.section, 0 }); it != deleted.end() && it->section == indexPath.section && it->row <= row; ++it)
            ++row;
        gfx::Rect rect = rectForRowAtIndexPath(indexPath);
        rect.origin.y = oldSections[size_t(indexPath.section)].rowsTop() + float(row) * m_rowHeight;
        return rect;
    };
    for (const IndexPath& indexPath : rowsInRect(bounds())) {
        if (m_cells.count(indexPath))
            continue;
        auto cell = makeCell(indexPath);
        cell->setFrame(oldRect(indexPath));
        m_cells[indexPath] = cell;
    }
    for (auto& cell : leaving) {
        cell->setUserInteractionEnabled(false);
        sendSubviewToBack(cell.get());
    }

    const bool animated = animation != TableViewRowAnimation::None;
    if (animated && m_style == TableViewStyle::Plain) {
        ++m_runningDeletions;
        for (auto& [indexPath, cell] : m_cells)
            cell->setBackgroundColor(gfx::Color::white());
    }
    if (animated) {
        View::beginAnimations();
        View::setAnimationDuration(kRowAnimationDuration);
        View::setAnimationDelegate(weak_from_this());
        std::weak_ptr<Responder> weakSelf = weak_from_this();
        View::setAnimationDidStopSelector([weakSelf, leaving](const std::string&, bool, void*) {
            if (auto self = lockTable(weakSelf)) {
                self->finishLeaving(leaving);
                if (self->m_style == TableViewStyle::Plain && --self->m_runningDeletions == 0)
                    for (auto& [indexPath, cell] : self->m_cells)
                        cell->setBackgroundColor(std::nullopt);
            }
        });
    }
    for (auto& cell : leaving) {
        const float width = cell->bounds().width();
        const gfx::Point centre = cell->center();
        switch (animation) {
        case TableViewRowAnimation::Right:
            cell->setCenter({ centre.x + width, centre.y });
            break;
        case TableViewRowAnimation::Left:
            cell->setCenter({ centre.x - width, centre.y });
            break;
        case TableViewRowAnimation::Fade:
        case TableViewRowAnimation::Top:
        case TableViewRowAnimation::Bottom:
            cell->setAlpha(0);
            break;
        case TableViewRowAnimation::None:
            break;
        }
    }
    for (auto& [indexPath, cell] : m_cells) {
        configureCell(*cell, indexPath);
        cell->setFrame(rectForRowAtIndexPath(indexPath));
    }
    layoutHeaders();
    if (contentOffset().y > maximumContentOffset().y)
        setContentOffset({ contentOffset().x, maximumContentOffset().y });
    if (animated)
        View::commitAnimations();
    else
        finishLeaving(leaving);
    setNeedsLayout();
    setNeedsDisplay();
}

void TableView::finishLeaving(const std::vector<std::shared_ptr<TableViewCell>>& cells)
{
    for (const auto& cell : cells)
        if (cell->superview() == this && !indexPathForCell(*cell))
            enqueueCell(cell);
}

// Touches

bool TableView::isSwipeToDelete(const Touch& touch) const
{
    if (m_editing || m_swipeCandidate.lock().get() != &touch)
        return false;
    const float dx = touch.windowLocation().x - m_touchStart.x;
    const float dy = touch.windowLocation().y - m_touchStart.y;
    return std::abs(dx) > kTouchSlop && std::abs(dx) > 2 * std::abs(dy);
}

bool TableView::shouldTakeOverTouch(const Touch& touch, const Event& event)
{
    if (touch.phase() == TouchPhase::Began) {
        if (m_confirmationRow) {
            auto cell = cellForRowAtIndexPath(*m_confirmationRow);
            const View* hit = touch.view().get();
            // The Delete button and the turned delete control keep their own touches.
            if (cell && hit && (hit->isDescendantOfView(&cell->deleteButton()) || hit->isDescendantOfView(&cell->deleteControl())))
                return false;
            showDeleteConfirmation(std::nullopt, true);
            m_swallowedTouch = event.touchFor(touch);
            return true;
        }
        m_swipeCandidate = event.touchFor(touch);
        m_touchStart = touch.windowLocation();
    }
    if (touch.phase() == TouchPhase::Moved && isSwipeToDelete(touch)) {
        m_swipeCandidate.reset();
        const auto indexPath = indexPathForRowAtPoint(convertPointFromView(m_touchStart, nullptr));
        if (indexPath && editingStyleForRow(*indexPath) == TableViewCellEditingStyle::Delete) {
            cancelPress();
            m_swipeTouch = event.touchFor(touch);
            showDeleteConfirmation(indexPath, true);
            return true;
        }
    }
    return ScrollView::shouldTakeOverTouch(touch, event);
}

void TableView::touchesBegan(const TouchSet& touches, const Event& event)
{
    for (const auto& touch : touches) {
        if (touch->isTakenOver() || !m_pressTouch.expired())
            continue;
        if (m_editing && !m_allowsSelectionDuringEditing)
            continue;
        const auto indexPath = indexPathForRowAtPoint(touch->locationInView(this));
        if (!indexPath)
            continue;
        m_pressTouch = touch;
        m_pressedRow = indexPath;
        std::weak_ptr<Responder> weakSelf = weak_from_this();
        m_highlightTimer = foundation::RunLoop::main().scheduleTimer(kHighlightDelay, false, [weakSelf](foundation::Timer&) {
            if (auto self = lockTable(weakSelf))
                self->highlightPressedRow();
        });
    }
    ScrollView::touchesBegan(touches, event);
}

void TableView::highlightPressedRow()
{
    m_highlightTimer.reset();
    if (m_pressedRow)
        if (auto cell = cellForRowAtIndexPath(*m_pressedRow))
            cell->setHighlighted(true, false);
}

void TableView::cancelPress()
{
    if (m_highlightTimer) {
        m_highlightTimer->invalidate();
        m_highlightTimer.reset();
    }
    if (m_pressedRow)
        if (auto cell = cellForRowAtIndexPath(*m_pressedRow))
            cell->setHighlighted(false, false);
    m_pressedRow.reset();
    m_pressTouch.reset();
}

void TableView::touchesMoved(const TouchSet& touches, const Event& event)
{
    for (const auto& touch : touches)
        if (touch == m_swipeTouch.lock() || touch == m_swallowedTouch.lock())
            return;
    ScrollView::touchesMoved(touches, event);
    if (isDragging())
        cancelPress();
}

void TableView::touchesEnded(const TouchSet& touches, const Event& event)
{
    auto keep = sharedView();
    for (const auto& touch : touches) {
        if (touch == m_swallowedTouch.lock()) {
            m_swallowedTouch.reset();
            return;
        }
        if (touch == m_swipeTouch.lock())
            m_swipeTouch.reset();
        if (touch != m_pressTouch.lock())
            continue;
        const auto pressed = m_pressedRow;
        const bool tapped = !isDragging() && pressed && indexPathForRowAtPoint(touch->locationInView(this)) == pressed;
        cancelPress();
        if (!tapped)
            continue;
        selectRowAtIndexPath(*pressed, false);
        if (m_delegate)
            m_delegate->tableViewDidSelectRowAtIndexPath(*this, *pressed);
    }
    ScrollView::touchesEnded(touches, event);
}

std::optional<IndexPath> TableView::neighbourRow(const IndexPath& indexPath, int step) const
{
    int section = indexPath.section;
    int row = indexPath.row + step;
    while (section >= 0 && section < numberOfSections()) {
        if (row >= 0 && row < numberOfRowsInSection(section))
            return IndexPath { section, row };
        section += step;
        if (section < 0 || section >= numberOfSections())
            break;
        row = step > 0 ? 0 : numberOfRowsInSection(section) - 1;
    }
    return std::nullopt;
}

std::optional<IndexPath> TableView::keyTargetRow(Key key) const
{
    const int sections = numberOfSections();
    if (sections == 0)
        return std::nullopt;
    const auto first = neighbourRow({ 0, -1 }, 1);
    const auto last = neighbourRow({ sections - 1, numberOfRowsInSection(sections - 1) }, -1);
    if (key == Key::Home)
        return first;
    if (key == Key::End)
        return last;
    // With nothing selected the first key takes a row where the user is looking.
    if (!m_selectedRow) {
        const auto visible = indexPathsForVisibleRows();
        if (visible.empty())
            return key == Key::Up || key == Key::PageUp ? last : first;
        return key == Key::Up || key == Key::PageUp ? visible.back() : visible.front();
    }
    const int step = key == Key::Down || key == Key::PageDown ? 1 : -1;
    const int count = key == Key::PageUp || key == Key::PageDown ? std::max(1, int(bounds().height() / m_rowHeight) - 1) : 1;
    std::optional<IndexPath> target = m_selectedRow;
    for (int i = 0; i < count; ++i) {
        auto next = neighbourRow(*target, step);
        if (!next)
            break;
        target = next;
    }
    return target;
}

void TableView::keyPressed(Key key)
{
    auto keep = sharedView();
    if (key == Key::Up || key == Key::Down || key == Key::PageUp || key == Key::PageDown || key == Key::Home || key == Key::End) {
        if (auto target = keyTargetRow(key)) {
            selectRowAtIndexPath(*target, false);
            // A row pages away is jumped to: a scroll through all between would only blur.
            const gfx::Rect row = rectForRowAtIndexPath(*target);
            const float y = restingOffset().y;
            const bool near = row.maxY() > y - 2 * bounds().height() && row.minY() < y + 3 * bounds().height();
            scrollToRowAtIndexPath(*target, near);
            return;
        }
        ScrollView::keyPressed(key);
        return;
    }
    if (key == Key::Delete && m_selectedRow && m_dataSource && editingStyleForRow(*m_selectedRow) == TableViewCellEditingStyle::Delete) {
        if (m_confirmationRow == m_selectedRow) {
            if (auto cell = cellForRowAtIndexPath(*m_selectedRow))
                deleteButtonTapped(*cell);
        } else {
            scrollToRowAtIndexPath(*m_selectedRow, false);
            showDeleteConfirmation(m_selectedRow, true);
        }
        return;
    }
    if (key == Key::Escape && m_confirmationRow) {
        showDeleteConfirmation(std::nullopt, true);
        return;
    }
    if (key == Key::Return) {
        if (m_selectedRow && m_delegate)
            m_delegate->tableViewDidSelectRowAtIndexPath(*this, *m_selectedRow);
        return;
    }
    ScrollView::keyPressed(key);
}

void TableView::touchesCancelled(const TouchSet& touches, const Event& event)
{
    for (const auto& touch : touches)
        if (touch == m_pressTouch.lock())
            cancelPress();
    if (event.takenOverBy == this)
        return;
    for (const auto& touch : touches) {
        if (touch == m_swipeTouch.lock())
            m_swipeTouch.reset();
        if (touch == m_swallowedTouch.lock())
            m_swallowedTouch.reset();
    }
    ScrollView::touchesCancelled(touches, event);
}

bool TableView::canBecomeKeyboardFocus() const
{
    for (const auto& section : m_sections)
        if (section.rows > 0)
            return isUserInteractionEnabled();
    return false;
}

gfx::Rect TableView::keyboardFocusRect() const
{
    // Inside the row, so that the table's clipping never cuts the ring.
    const gfx::Rect visible = bounds();
    if (m_selectedRow) {
        const gfx::Rect row = rectForRowAtIndexPath(*m_selectedRow).intersection(visible);
        if (!row.isEmpty())
            return row.insetBy(4, 3);
    }
    return visible.insetBy(4, 4);
}

} // namespace ui

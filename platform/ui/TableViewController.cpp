#include "ui/TableViewController.h"

#include "ui/Screen.h"
#include "ui/TableViewCell.h"

namespace ui {

TableViewController::TableViewController(TableViewStyle style)
    : m_style(style)
{
}

TableViewController::~TableViewController()
{
    // The table may outlive its controller (held by a container or a test).
    if (isViewLoaded()) {
        if (auto table = std::dynamic_pointer_cast<TableView>(view())) {
            table->setDataSource(nullptr);
            table->setDelegate(nullptr);
        }
    }
}

std::shared_ptr<TableView> TableViewController::tableView()
{
    return std::dynamic_pointer_cast<TableView>(view());
}

void TableViewController::loadView()
{
    auto table = std::make_shared<TableView>(Screen::mainScreen().applicationFrame(), m_style);
    table->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    table->setDataSource(this);
    table->setDelegate(this);
    setView(table);
}

void TableViewController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    auto table = tableView();
    if (!table)
        return;
    // Back from the row's screen the row is no longer chosen; left highlighted, it would mark
    // whichever row moves into its place.
    if (m_clearsSelectionOnViewWillAppear)
        if (auto selected = table->indexPathForSelectedRow())
            table->deselectRowAtIndexPath(*selected, animated);
    if (m_hasReloaded)
        return;
    m_hasReloaded = true;
    table->reloadData();
}

void TableViewController::setEditing(bool editing, bool animated)
{
    ViewController::setEditing(editing, animated);
    if (auto table = tableView())
        table->setEditing(editing, animated);
}

int TableViewController::tableViewNumberOfRowsInSection(TableView&, int)
{
    return 0;
}

std::shared_ptr<TableViewCell> TableViewController::tableViewCellForRowAtIndexPath(TableView&, const IndexPath&)
{
    return nullptr;
}

} // namespace ui

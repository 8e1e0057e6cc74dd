#pragma once

#include "ui/TableView.h"
#include "ui/TableViewDelegate.h"
#include "ui/ViewController.h"

#include <memory>

namespace ui {

/// A screen that is one table: its view is a table of the given style filling the
/// application frame, with this controller as data source and delegate. The table is
/// reloaded the first time the screen is about to appear, and its selected row deselected every
/// time (unless told otherwise); editing mode (the edit button
/// item's Edit/Done) is passed on to the table. Subclasses answer the data source and
/// delegate operations; the defaults show no rows. Main thread only.
class TableViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
public:
    explicit TableViewController(TableViewStyle style = TableViewStyle::Plain);
    ~TableViewController() override;

    TableViewStyle style() const { return m_style; }
    /// The view as a table, loaded first if needed.
    std::shared_ptr<TableView> tableView();

    void loadView() override;
    /// Whether each appearance deselects the selected row (yes by default).
    bool clearsSelectionOnViewWillAppear() const { return m_clearsSelectionOnViewWillAppear; }
    void setClearsSelectionOnViewWillAppear(bool clears) { m_clearsSelectionOnViewWillAppear = clears; }
    /// Reloads the table the first time it appears and deselects its row. Overrides call this one.
    void viewWillAppear(bool animated) override;
    /// Switches the controller's and the table's editing mode.
    void setEditing(bool editing, bool animated) override;

    int tableViewNumberOfRowsInSection(TableView& tableView, int section) override;
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) override;

private:
    TableViewStyle m_style;
    bool m_hasReloaded { false };
    bool m_clearsSelectionOnViewWillAppear { true };
};

} // namespace ui

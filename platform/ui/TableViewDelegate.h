#pragma once

#include "ui/IndexPath.h"
#include "ui/ScrollViewDelegate.h"
#include "ui/TableViewDataSource.h"

namespace ui {

class TableView;

/// What a table tells its delegate, besides its scrolling; every operation is optional.
/// Called on the main thread. Not owned by the table.
class TableViewDelegate : public ScrollViewDelegate {
public:
    /// The user tapped the row; it is selected and highlighted until deselected.
    virtual void tableViewDidSelectRowAtIndexPath(TableView& tableView, const IndexPath& indexPath)
    {
        (void)tableView;
        (void)indexPath;
    }
    /// How an editable row is edited; the default is Delete. None shows no delete control.
    virtual TableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath)
    {
        (void)tableView;
        (void)indexPath;
        return TableViewCellEditingStyle::Delete;
    }
};

} // namespace ui

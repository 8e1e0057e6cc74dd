#pragma once

#include "ui/IndexPath.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {

class TableView;
class TableViewCell;

/// The platform's editing styles of a row (its values).
enum class TableViewCellEditingStyle {
    None = 0,
    Delete = 1,
    Insert = 2,
};

/// What a table asks for its contents. The table calls it on the main thread while it
/// reloads, lays out (cells only for rows coming into view) and edits; it never keeps a
/// count across a reloadData or a deleteRowsAtIndexPaths call. Not owned by the table.
class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;

    /// The number of sections; the default is 1. Negative answers count as 0.
    virtual int numberOfSectionsInTableView(TableView& tableView)
    {
        (void)tableView;
        return 1;
    }
    /// The number of rows of section; negative answers count as 0.
    virtual int tableViewNumberOfRowsInSection(TableView& tableView, int section) = 0;
    /// The cell showing the row, usually one taken back with dequeueReusableCellWithIdentifier
    /// and refilled. A null answer shows an empty row (and is logged).
    virtual std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) = 0;
    /// The header title of section; none (the default) shows no header in the plain style.
    virtual std::optional<std::string> tableViewTitleForHeaderInSection(TableView& tableView, int section)
    {
        (void)tableView;
        (void)section;
        return std::nullopt;
    }
    /// Whether the row can be edited (deleted, by swipe or in editing mode); default true.
    virtual bool tableViewCanEditRowAtIndexPath(TableView& tableView, const IndexPath& indexPath)
    {
        (void)tableView;
        (void)indexPath;
        return true;
    }
    /// The user confirmed an edit of the row (Delete); the default does nothing. The data
    /// source changes its data, then tells the table (deleteRowsAtIndexPaths or reloadData).
    virtual void tableViewCommitEditingStyleForRowAtIndexPath(TableView& tableView, TableViewCellEditingStyle style, const IndexPath& indexPath)
    {
        (void)tableView;
        (void)style;
        (void)indexPath;
    }
};

} // namespace ui

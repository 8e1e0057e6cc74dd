#pragma once

#include "ui/TableViewController.h"

#include <map>
#include <memory>
#include <string>

class CategoryEditorViewController;
class DefaultCategorySelectionTableViewController;
class RecordingsTableViewController;

/// The Categories tab: one row per defined category with the number of its recordings in My
/// Recordings, each opening that category's list. In editing mode a first section offers
/// "Choose Default Category" and "Add New Category", and tapping a category renames it.
/// A category row can be deleted (swiped, or in editing mode) unless it is the default
/// category, which is refused with an alert; its recordings then go to the default category.
///
/// The per-category lists are made when the view loads and kept in step with the library's
/// categories (PRLVNotificationCategoriesChanged): a category that goes loses its list. A
/// list on the navigation stack whose category goes is taken off it, back to this screen.
/// Main thread only.
class CategoriesTableViewController : public ui::TableViewController {
public:
    static constexpr const char* kCellIdentifier = "CategoryCellIdentifier";

    static std::shared_ptr<CategoriesTableViewController> create();
    CategoriesTableViewController();
    ~CategoriesTableViewController() override;

    /// The list of each defined category.
    const std::map<std::string, std::shared_ptr<RecordingsTableViewController>>& recordingsTablesByCategory() const { return m_recordingsTablesByCategory; }
    /// Made on first use, then kept.
    const std::shared_ptr<DefaultCategorySelectionTableViewController>& defaultCategorySelector() const { return m_defaultCategorySelector; }
    const std::shared_ptr<CategoryEditorViewController>& categoryEditor() const { return m_categoryEditor; }

    /// Makes a list for every defined category (title: its name) in place of the one before.
    void reloadCategories();
    void categoriesChanged();

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void setEditing(bool editing, bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const override;
    void didReceiveMemoryWarning() override;

    int numberOfSectionsInTableView(ui::TableView& tableView) override;
    int tableViewNumberOfRowsInSection(ui::TableView& tableView, int section) override;
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    bool tableViewCanEditRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    /// Delete removes the row's category through the library, or, for the default category,
    /// shows "Delete Default Category Prompt" and keeps the row.
    void tableViewCommitEditingStyleForRowAtIndexPath(ui::TableView& tableView, ui::TableViewCellEditingStyle style, const ui::IndexPath& indexPath) override;

private:
    /// The section of the categories: 1 while editing (below the commands), else 0.
    int categorySection() const;
    /// The category of a row of the category section, or null.
    const std::string* categoryAt(const ui::IndexPath& indexPath) const;
    /// Takes lists whose category has gone off the navigation stack.
    void popListsOfGoneCategories();

    std::map<std::string, std::shared_ptr<RecordingsTableViewController>> m_recordingsTablesByCategory;
    std::shared_ptr<DefaultCategorySelectionTableViewController> m_defaultCategorySelector;
    std::shared_ptr<CategoryEditorViewController> m_categoryEditor;
    /// While a deletion is under way the table is told of the row itself.
    bool m_deleting { false };
};

#pragma once

#include "ui/TableViewController.h"

#include <memory>

namespace foundation {
class Timer;
}

/// Posted (object: the DefaultCategorySelectionTableViewController*) each time the user picks
/// a default category, after the "defaultCategory" setting was written; also when the pick
/// is the category that was the default already.
extern const char* const PRLVNotificationDefualtCategoryChanged;

/// Picks the default category: one row per defined category, the check mark on the one the
/// "defaultCategory" setting names. Tapping a row stores its name, moves the check mark,
/// posts PRLVNotificationDefualtCategoryChanged and, once the moved check mark has been
/// drawn, fades the row's selection. The screen stays until the user goes back.
/// Main thread only.
class DefaultCategorySelectionTableViewController : public ui::TableViewController {
public:
    static constexpr const char* kCellIdentifier = "MyIdentifier";
    /// How long the tapped row stays selected, so the moved check mark shows first.
    static constexpr double kDeselectionDelay = 0.05;

    explicit DefaultCategorySelectionTableViewController(ui::TableViewStyle style);
    ~DefaultCategorySelectionTableViewController() override;

    void viewWillAppear(bool animated) override;

    int tableViewNumberOfRowsInSection(ui::TableView& tableView, int section) override;
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    bool tableViewCanEditRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;

private:
    std::shared_ptr<foundation::Timer> m_deselection;
};

#include "DefaultCategorySelectionTableViewController.h"

#include "RecordingLibrary.h"

#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/UserDefaults.h"
#include "ui/TableViewCell.h"

const char* const PRLVNotificationDefualtCategoryChanged = "PRLVNotificationDefualtCategoryChanged";

namespace {

constexpr const char* kDefaultCategoryKey = "defaultCategory";

const std::vector<std::string>& categories()
{
    return RecordingLibrary::sharedLibrary().definedCategories();
}

} // namespace

DefaultCategorySelectionTableViewController::DefaultCategorySelectionTableViewController(ui::TableViewStyle style)
    : TableViewController(style)
{
}

DefaultCategorySelectionTableViewController::~DefaultCategorySelectionTableViewController()
{
    if (m_deselection)
        m_deselection->invalidate();
}

void DefaultCategorySelectionTableViewController::viewWillAppear(bool animated)
{
    tableView()->reloadData();
    TableViewController::viewWillAppear(animated);
}

int DefaultCategorySelectionTableViewController::tableViewNumberOfRowsInSection(ui::TableView&, int)
{
    return int(categories().size());
}

std::shared_ptr<ui::TableViewCell> DefaultCategorySelectionTableViewController::tableViewCellForRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath)
{
    auto cell = tableView.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell)
        cell = std::make_shared<ui::TableViewCell>(gfx::Rect(), kCellIdentifier);
    const auto& names = categories();
    const std::string name = size_t(indexPath.row) < names.size() ? names[size_t(indexPath.row)] : std::string();
    cell->setText(name);
    const bool isDefault = foundation::UserDefaults::standardUserDefaults().stringForKey(kDefaultCategoryKey) == name;
    cell->setAccessoryType(isDefault ? ui::TableViewCellAccessoryType::Checkmark : ui::TableViewCellAccessoryType::None);
    return cell;
}

bool DefaultCategorySelectionTableViewController::tableViewCanEditRowAtIndexPath(ui::TableView&, const ui::IndexPath&)
{
    return false;
}

void DefaultCategorySelectionTableViewController::tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath)
{
    const auto& names = categories();
    if (indexPath.row < 0 || size_t(indexPath.row) >= names.size())
        return;
    foundation::UserDefaults::standardUserDefaults().setObjectForKey(names[size_t(indexPath.row)], kDefaultCategoryKey);
    tableView.reloadData();
    foundation::NotificationCenter::defaultCenter().postNotificationName(PRLVNotificationDefualtCategoryChanged, this);
    // A timer rather than a nested run of the loop: a tap arriving meanwhile cannot re-enter.
    if (m_deselection)
        m_deselection->invalidate();
    m_deselection = foundation::RunLoop::main().performAfter(kDeselectionDelay,
        [table = std::weak_ptr<ui::View>(tableView.sharedView()), indexPath] {
            if (auto shown = std::static_pointer_cast<ui::TableView>(table.lock()))
                shown->deselectRowAtIndexPath(indexPath, true);
        });
}

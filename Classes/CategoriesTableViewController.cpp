#include "CategoriesTableViewController.h"

#include "CategoryEditorViewController.h"
#include "DefaultCategorySelectionTableViewController.h"
#include "RecordingLibrary.h"
#include "RecordingsTableViewController.h"

#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/StringFormat.h"
#include "foundation/UserDefaults.h"
#include "ui/AlertView.h"
#include "ui/ImageView.h"
#include "ui/NavigationController.h"
#include "ui/TableViewCell.h"

#include <algorithm>

namespace {

// The rows of the commands section shown while editing.
constexpr int kChooseDefaultRow = 0;
constexpr int kAddCategoryRow = 1;
constexpr int kCommandRows = 2;

const std::vector<std::string>& categories()
{
    return RecordingLibrary::sharedLibrary().definedCategories();
}

bool isDefined(const std::string& name)
{
    const auto& names = categories();
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

std::shared_ptr<CategoriesTableViewController> CategoriesTableViewController::create()
{
    return std::make_shared<CategoriesTableViewController>();
}

CategoriesTableViewController::CategoriesTableViewController()
    : TableViewController(RecordingsTableViewController::tableStyleFromSettings())
{
    setTitle(foundation::localizedString("Categories"));
    tabBarItem()->setImage(ui::imageNamed("categories.png"));
    foundation::NotificationCenter::defaultCenter().addObserver(this, PRLVNotificationCategoriesChanged, nullptr,
        [this](const foundation::Notification&) { categoriesChanged(); });
}

CategoriesTableViewController::~CategoriesTableViewController()
{
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
}

void CategoriesTableViewController::loadView()
{
    reloadCategories();
    TableViewController::loadView();
    tableView()->setAllowsSelectionDuringEditing(true);
    navigationItem()->setRightBarButtonItem(editButtonItem(), false);
}

void CategoriesTableViewController::reloadCategories()
{
    std::map<std::string, std::shared_ptr<RecordingsTableViewController>> lists;
    for (const auto& name : categories()) {
        auto list = RecordingsTableViewController::create(style(), 1, name);
        list->setTitle(name);
        lists.emplace(name, std::move(list));
    }
    // Lists of categories that have gone are dropped: kept, they would go on listening and
    // rebuilding for the rest of the run.
    m_recordingsTablesByCategory = std::move(lists);
    popListsOfGoneCategories();
}

void CategoriesTableViewController::popListsOfGoneCategories()
{
    auto* navigation = navigationController();
    if (!navigation)
        return;
    const auto& stack = navigation->viewControllers();
    const bool gone = std::any_of(stack.begin(), stack.end(), [](const auto& controller) {
        auto* list = dynamic_cast<RecordingsTableViewController*>(controller.get());
        return list && list->displayedCategory() && !isDefined(*list->displayedCategory());
    });
    // Its rows would have left, but the screen would still stand for a category that is gone.
    if (gone)
        navigation->popToRootViewControllerAnimated(navigation->isAppearing());
}

void CategoriesTableViewController::categoriesChanged()
{
    // Before the view loads there is nothing to show; loading makes the lists.
    if (!isViewLoaded())
        return;
    reloadCategories();
    if (!m_deleting)
        tableView()->reloadData();
}

void CategoriesTableViewController::viewWillAppear(bool animated)
{
    auto table = tableView();
    table->reloadData();
    // Coming back from a list or the editor, the row that led there is no longer chosen.
    if (auto selected = table->indexPathForSelectedRow())
        table->deselectRowAtIndexPath(*selected, animated);
    TableViewController::viewWillAppear(animated);
}

void CategoriesTableViewController::setEditing(bool editing, bool animated)
{
    TableViewController::setEditing(editing, animated);
    tableView()->reloadData();
}

int CategoriesTableViewController::categorySection() const
{
    return isEditing() ? 1 : 0;
}

const std::string* CategoriesTableViewController::categoryAt(const ui::IndexPath& indexPath) const
{
    const auto& names = categories();
    if (indexPath.section != categorySection() || indexPath.row < 0 || size_t(indexPath.row) >= names.size())
        return nullptr;
    return &names[size_t(indexPath.row)];
}

int CategoriesTableViewController::numberOfSectionsInTableView(ui::TableView&)
{
    return isEditing() ? 2 : 1;
}

int CategoriesTableViewController::tableViewNumberOfRowsInSection(ui::TableView&, int section)
{
    if (section == categorySection())
        return int(categories().size());
    return isEditing() && section == 0 ? kCommandRows : 0;
}

std::shared_ptr<ui::TableViewCell> CategoriesTableViewController::tableViewCellForRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath)
{
    auto cell = tableView.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell)
        cell = std::make_shared<ui::TableViewCell>(gfx::Rect(), kCellIdentifier);
    cell->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
    cell->setHidesAccessoryWhenEditing(false);
    if (const std::string* name = categoryAt(indexPath)) {
        std::string text = *name;
        auto list = m_recordingsTablesByCategory.find(*name);
        if (list != m_recordingsTablesByCategory.end() && list->second->getCount() > 0)
            text += foundation::format(" (%i)", list->second->getCount());
        cell->setText(text);
    } else if (indexPath.row == kChooseDefaultRow)
        cell->setText(foundation::localizedString("Choose Default Category"));
    else
        cell->setText(foundation::localizedString("Add New Category"));
    return cell;
}

void CategoriesTableViewController::tableViewDidSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath)
{
    auto* navigation = navigationController();
    if (!navigation)
        return;
    const std::string* name = categoryAt(indexPath);
    if (!isEditing()) {
        if (!name)
            return;
        auto list = m_recordingsTablesByCategory.find(*name);
        if (list != m_recordingsTablesByCategory.end())
            navigation->pushViewController(list->second, true);
        return;
    }
    if (!name && indexPath.row == kChooseDefaultRow) {
        if (!m_defaultCategorySelector)
            m_defaultCategorySelector = std::make_shared<DefaultCategorySelectionTableViewController>(style());
        navigation->pushViewController(m_defaultCategorySelector, true);
        return;
    }
    if (!name && indexPath.row != kAddCategoryRow)
        return;
    if (!m_categoryEditor)
        m_categoryEditor = std::make_shared<CategoryEditorViewController>();
    m_categoryEditor->setCategoryToEdit(name ? std::optional<std::string>(*name) : std::nullopt);
    navigation->pushViewController(m_categoryEditor, true);
}

bool CategoriesTableViewController::tableViewCanEditRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath)
{
    // The command rows are never deleted; outside editing mode a category is swiped away.
    return indexPath.section == categorySection();
}

void CategoriesTableViewController::tableViewCommitEditingStyleForRowAtIndexPath(ui::TableView& tableView, ui::TableViewCellEditingStyle style, const ui::IndexPath& indexPath)
{
    if (style != ui::TableViewCellEditingStyle::Delete)
        return;
    const std::string* row = categoryAt(indexPath);
    if (!row) {
        tableView.reloadData();
        return;
    }
    const std::string name = *row;
    if (foundation::UserDefaults::standardUserDefaults().stringForKey("defaultCategory") == name) {
        auto alert = std::make_shared<ui::AlertView>("",
            foundation::formatWithString(foundation::localizedString("Delete Default Category Prompt"), name), nullptr,
            foundation::localizedString("OK"));
        alert->show();
        tableView.reloadData();
        return;
    }
    // The library first, so the table finds one row fewer when told of the deletion; the
    // reload after it shows the default category's new count.
    const size_t before = categories().size();
    m_deleting = true;
    RecordingLibrary::sharedLibrary().removeCategory(name);
    m_deleting = false;
    if (categories().size() + 1 == before)
        tableView.deleteRowsAtIndexPaths({ indexPath }, ui::TableViewRowAnimation::Right);
    tableView.reloadData();
}

bool CategoriesTableViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const
{
    return orientation == ui::InterfaceOrientation::Portrait;
}

void CategoriesTableViewController::didReceiveMemoryWarning()
{
    foundation::log("MEMORY WARNING!  Categories");
    TableViewController::didReceiveMemoryWarning();
}

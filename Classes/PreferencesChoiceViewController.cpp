#include "PreferencesChoiceViewController.h"

#include "ParlivoAppDelegate.h"

#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "ui/NavigationController.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"

namespace {

constexpr const char* kCellIdentifier = "PreferencesChoiceCell";

} // namespace

PreferencesChoiceViewController::PreferencesChoiceViewController(const std::string& title, std::string key, std::vector<Choice> choices)
    : TableViewController(ui::TableViewStyle::Grouped)
    , m_key(std::move(key))
    , m_choices(std::move(choices))
{
    setTitle(title);
}

int PreferencesChoiceViewController::tableViewNumberOfRowsInSection(ui::TableView&, int)
{
    return int(m_choices.size());
}

std::shared_ptr<ui::TableViewCell> PreferencesChoiceViewController::tableViewCellForRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath)
{
    auto cell = tableView.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) {
        cell = std::make_shared<ui::TableViewCell>(gfx::Rect(), kCellIdentifier);
        cell->textLabel().setFont(gfx::Font::boldSystemFont(16));
        cell->textLabel().setMinimumFontSize(11);
    }
    if (indexPath.row < 0 || size_t(indexPath.row) >= m_choices.size())
        return cell;
    const auto& [value, words] = m_choices[size_t(indexPath.row)];
    cell->setText(words);
    const bool chosen = foundation::UserDefaults::standardUserDefaults().stringForKey(m_key).value_or("") == value;
    cell->setAccessoryType(chosen ? ui::TableViewCellAccessoryType::Checkmark : ui::TableViewCellAccessoryType::None);
    return cell;
}

bool PreferencesChoiceViewController::tableViewCanEditRowAtIndexPath(ui::TableView&, const ui::IndexPath&)
{
    return false;
}

void PreferencesChoiceViewController::tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath)
{
    if (indexPath.row < 0 || size_t(indexPath.row) >= m_choices.size())
        return;
    if (auto problem = ParlivoAppDelegate::storeSetting(m_key, m_choices[size_t(indexPath.row)].first))
        foundation::logf("Preference not stored: %s", problem->c_str());
    tableView.reloadData();
    if (auto* navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

bool PreferencesChoiceViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const
{
    return orientation == ui::InterfaceOrientation::Portrait;
}

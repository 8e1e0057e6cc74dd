#pragma once

#include "ui/TableViewController.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

/// The choices of one setting, each named in words, the one in use checked. Choosing a row
/// stores its value through the settings' checks and goes back; a value the store refuses
/// leaves the setting as it was. Main thread only.
class PreferencesChoiceViewController : public ui::TableViewController {
public:
    /// A stored value and the words it is shown in.
    using Choice = std::pair<std::string, std::string>;

    PreferencesChoiceViewController(const std::string& title, std::string key, std::vector<Choice> choices);

    const std::string& key() const { return m_key; }
    const std::vector<Choice>& choices() const { return m_choices; }

    int tableViewNumberOfRowsInSection(ui::TableView& tableView, int section) override;
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    bool tableViewCanEditRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const override;

private:
    std::string m_key;
    std::vector<Choice> m_choices;
};

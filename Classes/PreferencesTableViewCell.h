#pragma once

#include "ui/TableViewCell.h"

#include <memory>

namespace ui {
class Label;
class Switch;
}

/// A row of the Preferences screen: its name at the left and, at the right, either a switch
/// (a Yes/No setting) or a detail text (the chosen value, or a figure). Main thread only.
class PreferencesTableViewCell : public ui::TableViewCell {
public:
    /// Which of the two the row shows at its right.
    enum class Accessory { Switch, Detail };

    PreferencesTableViewCell(const std::string& reuseIdentifier, Accessory accessory);

    /// The switch; null in a detail row.
    const std::shared_ptr<ui::Switch>& switchControl() const { return m_switch; }
    /// The detail text; null in a switch row.
    const std::shared_ptr<ui::Label>& detailLabel() const { return m_detailLabel; }

    void layoutSubviews() override;
    void setSelected(bool selected, bool animated) override;
    void setHighlighted(bool highlighted, bool animated) override;

private:
    std::shared_ptr<ui::Switch> m_switch;
    std::shared_ptr<ui::Label> m_detailLabel;
};

#include "PreferencesTableViewCell.h"

#include "ui/Label.h"
#include "ui/Switch.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kMargin = 10;
// The name keeps at least this share of the row beside a detail text.
constexpr float kNameShare = 0.5f;
const gfx::Color kDetailBlue = gfx::Color::rgba(0.22f, 0.33f, 0.53f);

} // namespace

PreferencesTableViewCell::PreferencesTableViewCell(const std::string& reuseIdentifier, Accessory accessory)
    : TableViewCell(gfx::Rect(0, 0, 300, 44), reuseIdentifier)
{
    textLabel().setFont(gfx::Font::boldSystemFont(16));
    textLabel().setMinimumFontSize(12);
    if (accessory == Accessory::Switch) {
        m_switch = std::make_shared<ui::Switch>(gfx::Rect(0, 0, ui::Switch::kWidth, ui::Switch::kHeight));
        contentView().addSubview(m_switch);
        setSelectionStyle(ui::TableViewCellSelectionStyle::None);
        return;
    }
    m_detailLabel = std::make_shared<ui::Label>();
    m_detailLabel->setFont(gfx::Font::systemFont(15));
    m_detailLabel->setMinimumFontSize(11);
    m_detailLabel->setTextColor(kDetailBlue);
    m_detailLabel->setHighlightedTextColor(gfx::Color::white());
    m_detailLabel->setBackgroundColor(std::nullopt);
    m_detailLabel->setTextAlignment(gfx::TextAlignment::Right);
    contentView().addSubview(m_detailLabel);
}

void PreferencesTableViewCell::layoutSubviews()
{
    TableViewCell::layoutSubviews();
    const gfx::Rect content = contentView().bounds();
    gfx::Rect name = textLabel().frame();
    if (m_switch) {
        const float x = content.width() - kMargin - ui::Switch::kWidth;
        m_switch->setFrame(gfx::Rect(x, std::round((content.height() - ui::Switch::kHeight) / 2), ui::Switch::kWidth, ui::Switch::kHeight));
        name.size.width = std::max(0.0f, x - kMargin - name.minX());
    } else {
        // The name as wide as it needs (up to its share), the detail in the rest.
        const float wanted = textLabel().font().widthOfText(textLabel().text()) + 2;
        name.size.width = std::min(name.width(), std::max(wanted, content.width() * kNameShare));
        if (m_detailLabel->text().empty())
            name.size.width = std::max(0.0f, content.width() - name.minX() - kMargin);
        const float detailX = name.maxX() + kMargin;
        m_detailLabel->setFrame(gfx::Rect(detailX, 0, std::max(0.0f, content.width() - detailX - kMargin * 0.5f), content.height()));
    }
    textLabel().setFrame(name);
}

void PreferencesTableViewCell::setSelected(bool selected, bool animated)
{
    TableViewCell::setSelected(selected, animated);
    if (m_detailLabel)
        m_detailLabel->setHighlighted(isSelected() || isHighlighted());
}

void PreferencesTableViewCell::setHighlighted(bool highlighted, bool animated)
{
    TableViewCell::setHighlighted(highlighted, animated);
    if (m_detailLabel)
        m_detailLabel->setHighlighted(isSelected() || isHighlighted());
}

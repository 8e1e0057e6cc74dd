#include "ui/BarButtonItem.h"

#include "foundation/Bundle.h"

namespace ui {

std::shared_ptr<BarButtonItem> BarButtonItem::withSystemItem(BarButtonSystemItem item, BarButtonAction action)
{
    auto result = std::make_shared<BarButtonItem>();
    result->m_systemItem = item;
    result->m_style = BarButtonItemStyle::Bordered;
    switch (item) {
    case BarButtonSystemItem::Done:
        result->m_style = BarButtonItemStyle::Done;
        result->setTitle(foundation::localizedString("Done"));
        break;
    case BarButtonSystemItem::Cancel:
        result->setTitle(foundation::localizedString("Cancel"));
        break;
    case BarButtonSystemItem::Edit:
        result->setTitle(foundation::localizedString("Edit"));
        break;
    case BarButtonSystemItem::Save:
        result->m_style = BarButtonItemStyle::Done;
        result->setTitle(foundation::localizedString("Save"));
        break;
    case BarButtonSystemItem::Add:
        result->setTitle("+");
        break;
    case BarButtonSystemItem::FlexibleSpace:
    case BarButtonSystemItem::FixedSpace:
        result->m_style = BarButtonItemStyle::Plain;
        return result;
    }
    result->m_action = std::move(action);
    return result;
}

std::shared_ptr<BarButtonItem> BarButtonItem::withTitle(const std::string& title, BarButtonItemStyle style, BarButtonAction action)
{
    auto result = std::make_shared<BarButtonItem>();
    result->setTitle(title);
    result->m_style = style;
    result->m_action = std::move(action);
    return result;
}

std::shared_ptr<BarButtonItem> BarButtonItem::withImage(std::shared_ptr<gfx::Image> image, BarButtonItemStyle style, BarButtonAction action)
{
    auto result = std::make_shared<BarButtonItem>();
    result->setImage(std::move(image));
    result->m_style = style;
    result->m_action = std::move(action);
    return result;
}

void BarButtonItem::setStyle(BarButtonItemStyle style)
{
    if (style == m_style)
        return;
    m_style = style;
    changed();
}

void BarButtonItem::setWidth(float width)
{
    if (width == m_width)
        return;
    m_width = width;
    changed();
}

bool BarButtonItem::isSpace() const
{
    return m_systemItem == BarButtonSystemItem::FlexibleSpace || m_systemItem == BarButtonSystemItem::FixedSpace;
}

void BarButtonItem::sendAction()
{
    if (!isEnabled() || !m_action)
        return;
    auto keep = shared_from_this();
    auto action = m_action;
    action(*this);
}

} // namespace ui

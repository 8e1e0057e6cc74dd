#include "ui/TabBarItem.h"

namespace ui {

TabBarItem::TabBarItem(const std::string& title, std::shared_ptr<gfx::Image> image, int tag)
{
    setTitle(title);
    setImage(std::move(image));
    setTag(tag);
}

void TabBarItem::setBadgeValue(std::optional<std::string> value)
{
    if (value == m_badgeValue)
        return;
    m_badgeValue = std::move(value);
    changed();
}

} // namespace ui

#include "ui/BarItem.h"

namespace ui {

void BarItem::setTitle(const std::string& title)
{
    if (title == m_title)
        return;
    m_title = title;
    changed();
}

void BarItem::setImage(std::shared_ptr<gfx::Image> image)
{
    if (image == m_image)
        return;
    m_image = std::move(image);
    changed();
}

void BarItem::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    changed();
}

void BarItem::changed()
{
    if (m_changed) {
        // The handler may replace itself (the bar rebuilds its views).
        auto handler = m_changed;
        handler();
    }
}

} // namespace ui

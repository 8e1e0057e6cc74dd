#include "ui/NavigationItem.h"

namespace ui {

NavigationItem::NavigationItem(const std::string& title)
    : m_title(title)
{
}

void NavigationItem::setTitle(const std::string& title)
{
    if (title == m_title)
        return;
    m_title = title;
    changed(false);
}

void NavigationItem::setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated)
{
    if (item == m_left)
        return;
    m_left = std::move(item);
    changed(animated);
}

void NavigationItem::setRightBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated)
{
    if (item == m_right)
        return;
    m_right = std::move(item);
    changed(animated);
}

void NavigationItem::setBackBarButtonItem(std::shared_ptr<BarButtonItem> item)
{
    if (item == m_back)
        return;
    m_back = std::move(item);
    changed(false);
}

void NavigationItem::setHidesBackButton(bool hides, bool animated)
{
    if (hides == m_hidesBackButton)
        return;
    m_hidesBackButton = hides;
    changed(animated);
}

void NavigationItem::changed(bool animated)
{
    if (m_changed) {
        auto handler = m_changed;
        handler(animated);
    }
}

} // namespace ui

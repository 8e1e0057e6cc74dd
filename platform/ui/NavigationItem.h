#pragma once

#include "ui/BarButtonItem.h"

#include <functional>
#include <memory>
#include <string>

namespace ui {

/// What a navigation bar shows for one level of a navigation stack: a title, left and right
/// items, and the back item that the level above shows to come back here (without one the
/// back button carries this item's title). The bar showing it follows its changes.
/// Main thread only.
class NavigationItem : public std::enable_shared_from_this<NavigationItem> {
public:
    explicit NavigationItem(const std::string& title = {});

    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title);
    std::shared_ptr<BarButtonItem> leftBarButtonItem() const { return m_left; }
    void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated = false);
    std::shared_ptr<BarButtonItem> rightBarButtonItem() const { return m_right; }
    void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated = false);
    std::shared_ptr<BarButtonItem> backBarButtonItem() const { return m_back; }
    void setBackBarButtonItem(std::shared_ptr<BarButtonItem> item);
    bool hidesBackButton() const { return m_hidesBackButton; }
    void setHidesBackButton(bool hides, bool animated = false);

    /// Called after every change with whether it should animate; set by the bar showing it.
    void setChangeHandler(std::function<void(bool animated)> handler) { m_changed = std::move(handler); }

private:
    void changed(bool animated);

    std::string m_title;
    std::shared_ptr<BarButtonItem> m_left;
    std::shared_ptr<BarButtonItem> m_right;
    std::shared_ptr<BarButtonItem> m_back;
    bool m_hidesBackButton { false };
    std::function<void(bool)> m_changed;
};

} // namespace ui

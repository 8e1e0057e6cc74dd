#pragma once

#include "graphics/Image.h"

#include <functional>
#include <memory>
#include <string>

namespace ui {

/// What bar button items and tab bar items share: a title, an image, an enabled flag and a
/// tag. The bar showing an item redraws when the item changes: it registers a change handler,
/// one bar at a time (a later bar replaces an earlier one's handler). Main thread only.
class BarItem : public std::enable_shared_from_this<BarItem> {
public:
    virtual ~BarItem() = default;

    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title);
    std::shared_ptr<gfx::Image> image() const { return m_image; }
    void setImage(std::shared_ptr<gfx::Image> image);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    /// Called after every visible change; null removes it. Set by the bar that shows it.
    void setChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }

protected:
    /// Tells the bar showing the item.
    void changed();

private:
    std::string m_title;
    std::shared_ptr<gfx::Image> m_image;
    bool m_enabled { true };
    int m_tag { 0 };
    std::function<void()> m_changed;
};

} // namespace ui

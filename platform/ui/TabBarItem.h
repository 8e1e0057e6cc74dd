#pragma once

#include "ui/BarItem.h"

#include <optional>
#include <string>

namespace ui {

/// A tab of a tab bar: a title, an image (its alpha is the icon's shape, drawn grey, or blue
/// when selected) and an optional badge text in a red oval. Main thread only.
class TabBarItem : public BarItem {
public:
    TabBarItem() = default;
    TabBarItem(const std::string& title, std::shared_ptr<gfx::Image> image, int tag);

    /// None shows no badge (an empty text shows none either).
    const std::optional<std::string>& badgeValue() const { return m_badgeValue; }
    void setBadgeValue(std::optional<std::string> value);

private:
    std::optional<std::string> m_badgeValue;
};

} // namespace ui

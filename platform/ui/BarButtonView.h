#pragma once

#include "ui/Appearance.h"
#include "ui/BarButtonItem.h"
#include "ui/Control.h"

#include <functional>
#include <memory>

namespace ui {

/// The button a toolbar or navigation bar shows for a bar button item, or the navigation
/// bar's back button (an arrow-shaped button with a title). It reads the item each time it
/// draws and sends the item's action on touch up inside. Main thread only.
class BarButtonView : public Control {
public:
    /// A view for item on a bar of barStyle.
    BarButtonView(std::shared_ptr<BarButtonItem> item, BarStyle barStyle);
    /// A back button titled title that calls action.
    BarButtonView(const std::string& title, BarStyle barStyle, std::function<void()> action);

    std::shared_ptr<BarButtonItem> item() const { return m_item; }
    bool isBackButton() const { return m_back; }
    std::string title() const;
    /// The size the item wants: its width, or its content with padding; 30 tall.
    gfx::Size sizeThatFits(gfx::Size size) const override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    /// A push button named by its title, the Add item by the word.
    void fillAccessibilityData(AccessibilityData& data) const override;

    static constexpr float kHeight = 30;

private:
    std::shared_ptr<BarButtonItem> m_item;
    BarStyle m_barStyle;
    bool m_back { false };
    std::string m_backTitle;
    std::function<void()> m_backAction;
};

} // namespace ui

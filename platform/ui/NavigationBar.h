#pragma once

#include "ui/Appearance.h"
#include "ui/NavigationItem.h"
#include "ui/View.h"

#include <functional>
#include <memory>
#include <vector>

namespace ui {

class BarButtonView;

/// The bar across the top of a navigation stack: the top item's title in the middle, its
/// left item (or a back button titled after the item below) on the left and its right item
/// on the right. It follows the top item's changes. Main thread only.
class NavigationBar : public View {
public:
    explicit NavigationBar(const gfx::Rect& frame = {});
    ~NavigationBar() override;

    BarStyle barStyle() const { return m_barStyle; }
    void setBarStyle(BarStyle style);

    const std::vector<std::shared_ptr<NavigationItem>>& items() const { return m_items; }
    std::shared_ptr<NavigationItem> topItem() const { return m_items.empty() ? nullptr : m_items.back(); }
    /// The item below the top one, or null.
    std::shared_ptr<NavigationItem> backItem() const;
    /// Puts item on top; an item already in the bar is refused (nothing happens).
    void pushNavigationItem(std::shared_ptr<NavigationItem> item, bool animated);
    /// Takes the top item off and returns it; null (nothing changes) with one item or none.
    std::shared_ptr<NavigationItem> popNavigationItemAnimated(bool animated);
    void setItems(std::vector<std::shared_ptr<NavigationItem>> items, bool animated = false);

    /// What the back button does; without one the bar pops its own top item.
    void setBackAction(std::function<void()> action) { m_backAction = std::move(action); }
    /// The text the back button shows for the current stack (empty without one).
    std::string backButtonTitle() const;
    /// The views shown now (for layout and tests): null when there is none.
    BarButtonView* leftView() const { return m_left.get(); }
    BarButtonView* rightView() const { return m_right.get(); }

    void layoutSubviews() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    gfx::Size sizeThatFits(gfx::Size size) const override { return { size.width, kHeight }; }
    /// A navigation bar named by the top item's title; its buttons are its children.
    void fillAccessibilityData(AccessibilityData& data) const override;
    /// Where the top item's title is drawn, and in which font: bold 20, smaller (down to 14)
    /// when the title would not fit between the buttons, cut short only below that.
    const gfx::Rect& titleRect() const { return m_titleRect; }
    const gfx::Font& titleFont() const { return m_titleFont; }

    static constexpr float kHeight = 44;

private:
    void rebuild(bool animated);
    void watchTopItem();
    void backPressed();

    BarStyle m_barStyle { BarStyle::Default };
    std::vector<std::shared_ptr<NavigationItem>> m_items;
    std::shared_ptr<BarButtonView> m_left;
    std::shared_ptr<BarButtonView> m_right;
    gfx::Rect m_titleRect;
    gfx::Font m_titleFont { gfx::Font::boldSystemFont(20) };
    std::function<void()> m_backAction;
};

} // namespace ui

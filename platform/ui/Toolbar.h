#pragma once

#include "ui/Appearance.h"
#include "ui/BarButtonItem.h"
#include "ui/View.h"

#include <memory>
#include <vector>

namespace ui {

class BarButtonView;

/// A bar of bar button items, left to right; flexible spaces share the room left over
/// equally, fixed spaces take their width. The toolbar follows its items' changes (title,
/// enabled). Main thread only.
class Toolbar : public View {
public:
    explicit Toolbar(const gfx::Rect& frame = {});
    ~Toolbar() override;

    BarStyle barStyle() const { return m_barStyle; }
    void setBarStyle(BarStyle style);
    const std::vector<std::shared_ptr<BarButtonItem>>& items() const { return m_items; }
    /// Replaces the items; animated fades the new buttons in.
    void setItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool animated = false);
    /// The view showing item, or null (for tests and layout).
    BarButtonView* viewForItem(const BarButtonItem* item) const;

    void layoutSubviews() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    /// A tool bar; its buttons are its children.
    void fillAccessibilityData(AccessibilityData& data) const override;
    gfx::Size sizeThatFits(gfx::Size size) const override { return { size.width, 44 }; }

private:
    void rebuild(bool animated);

    BarStyle m_barStyle { BarStyle::Default };
    std::vector<std::shared_ptr<BarButtonItem>> m_items;
    std::vector<std::shared_ptr<BarButtonView>> m_views; // one per item, null for spaces
};

} // namespace ui

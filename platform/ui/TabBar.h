#pragma once

#include "graphics/Font.h"
#include "ui/TabBarItem.h"
#include "ui/View.h"

#include <functional>
#include <memory>
#include <vector>

namespace ui {

/// The bar of tabs along the bottom: items side by side in equal widths, each an icon with
/// its title below and its badge at the icon's upper right; the selected one is blue on a
/// lighter ground. Tapping an enabled item selects it and tells the selection handler.
/// The bar follows its items' changes (titles, images, badges). Main thread only.
class TabBar : public View {
public:
    explicit TabBar(const gfx::Rect& frame = {});
    ~TabBar() override;

    const std::vector<std::shared_ptr<TabBarItem>>& items() const { return m_items; }
    void setItems(std::vector<std::shared_ptr<TabBarItem>> items, bool animated = false);
    std::shared_ptr<TabBarItem> selectedItem() const { return m_selected.lock(); }
    /// Selects item (null: none) without telling the handler; an item not in the bar selects none.
    void setSelectedItem(const std::shared_ptr<TabBarItem>& item);
    /// Called when the user selects an item (also the selected one again).
    void setSelectionHandler(std::function<void(TabBarItem&)> handler) { m_selectionHandler = std::move(handler); }
    /// Where item i lies in the bar.
    gfx::Rect rectForItemAtIndex(size_t index) const;
    /// The font item i's title is set in: smaller for a title too wide at the usual size.
    gfx::Font titleFontForItemAtIndex(size_t index) const;
    /// The width item i's title may take.
    float titleWidthForItemAtIndex(size_t index) const { return rectForItemAtIndex(index).width() - 2; }

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    /// One stop of Tab for the whole bar: with the focus, Left and Right select the tab beside
    /// the selected one as a tap would, Return and Space tap the selected one again. The ring
    /// goes round the selected tab.
    bool canBecomeKeyboardFocus() const override;
    gfx::Rect keyboardFocusRect() const override;
    void keyPressed(Key key) override;
    bool performKeyCommand(const KeyCommand& command) override;
    gfx::Size sizeThatFits(gfx::Size size) const override { return { size.width, kHeight }; }
    /// A page tab list whose parts are the tabs: named by their titles, the badge their
    /// description, the selected one selected; Press selects a tab as a tap does.
    void fillAccessibilityData(AccessibilityData& data) const override;
    int accessibilityPartCount() const override { return int(m_items.size()); }
    void fillAccessibilityPartData(int part, AccessibilityData& data) const override;
    gfx::Rect accessibilityPartFrame(int part) const override { return rectForItemAtIndex(size_t(part)); }
    bool performAccessibilityAction(AccessibilityAction action, int part) override;

    static constexpr float kHeight = 49;

private:
    /// Selects item index and tells the handler, as a tap does; nothing for a disabled item.
    void chooseItem(size_t index);
    std::optional<size_t> itemIndexAt(gfx::Point point) const;
    std::optional<size_t> selectedIndex() const;
    bool hasKeyboardFocus() const;
    void drawItem(gfx::Context& context, const TabBarItem& item, const gfx::Rect& rect, bool selected);
    static gfx::Font titleFont(const std::string& title, float width);

    std::vector<std::shared_ptr<TabBarItem>> m_items;
    std::weak_ptr<TabBarItem> m_selected;
    std::optional<size_t> m_pressed;
    std::function<void(TabBarItem&)> m_selectionHandler;
};

} // namespace ui

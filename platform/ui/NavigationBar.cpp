#include "ui/NavigationBar.h"

#include "ui/BarButtonView.h"

#include "foundation/Bundle.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

constexpr float kEdge = 5;
constexpr float kLongestBackTitle = 90;
constexpr float kTitleFontSize = 20;
constexpr float kSmallestTitleFontSize = 14;
const gfx::Font kTitleFont = gfx::Font::boldSystemFont(kTitleFontSize);

} // namespace

NavigationBar::NavigationBar(const gfx::Rect& frame)
    : View(frame)
{
}

NavigationBar::~NavigationBar()
{
    for (auto& item : m_items)
        item->setChangeHandler(nullptr);
}

void NavigationBar::setBarStyle(BarStyle style)
{
    if (style == m_barStyle)
        return;
    m_barStyle = style;
    rebuild(false);
    setNeedsDisplay();
}

std::shared_ptr<NavigationItem> NavigationBar::backItem() const
{
    return m_items.size() < 2 ? nullptr : m_items[m_items.size() - 2];
}

void NavigationBar::pushNavigationItem(std::shared_ptr<NavigationItem> item, bool animated)
{
    if (!item || std::find(m_items.begin(), m_items.end(), item) != m_items.end())
        return;
    if (auto top = topItem())
        top->setChangeHandler(nullptr);
    m_items.push_back(std::move(item));
    watchTopItem();
    rebuild(animated);
}

std::shared_ptr<NavigationItem> NavigationBar::popNavigationItemAnimated(bool animated)
{
    if (m_items.size() < 2)
        return nullptr;
    auto popped = m_items.back();
    popped->setChangeHandler(nullptr);
    m_items.pop_back();
    watchTopItem();
    rebuild(animated);
    return popped;
}

void NavigationBar::setItems(std::vector<std::shared_ptr<NavigationItem>> items, bool animated)
{
    for (auto& item : m_items)
        item->setChangeHandler(nullptr);
    m_items = std::move(items);
    std::erase(m_items, nullptr);
    watchTopItem();
    rebuild(animated);
}

void NavigationBar::watchTopItem()
{
    auto top = topItem();
    if (!top)
        return;
    std::weak_ptr<Responder> weak = weak_from_this();
    top->setChangeHandler([weak](bool animated) {
        if (auto self = std::static_pointer_cast<NavigationBar>(weak.lock()))
            self->rebuild(animated);
    });
}

std::string NavigationBar::backButtonTitle() const
{
    auto top = topItem();
    auto back = backItem();
    if (!back || !top || top->hidesBackButton() || top->leftBarButtonItem())
        return {};
    std::string title = back->backBarButtonItem() ? back->backBarButtonItem()->title() : back->title();
    if (title.empty() || gfx::Font::boldSystemFont(12).widthOfText(title) > kLongestBackTitle)
        return foundation::localizedString("Back");
    return title;
}

void NavigationBar::backPressed()
{
    auto keep = sharedView();
    if (m_backAction) {
        auto action = m_backAction;
        action();
    } else
        popNavigationItemAnimated(true);
}

void NavigationBar::rebuild(bool animated)
{
    if (m_left)
        m_left->removeFromSuperview();
    if (m_right)
        m_right->removeFromSuperview();
    m_left.reset();
    m_right.reset();
    auto top = topItem();
    if (top) {
        std::weak_ptr<Responder> weak = weak_from_this();
        if (auto left = top->leftBarButtonItem())
            m_left = std::make_shared<BarButtonView>(left, m_barStyle);
        else if (std::string back = backButtonTitle(); !back.empty())
            m_left = std::make_shared<BarButtonView>(back, m_barStyle, [weak] {
                if (auto self = std::static_pointer_cast<NavigationBar>(weak.lock()))
                    self->backPressed();
            });
        if (auto right = top->rightBarButtonItem())
            m_right = std::make_shared<BarButtonView>(right, m_barStyle);
        // The bar follows its buttons' items too (enabled, title).
        for (auto* item : { top->leftBarButtonItem().get(), top->rightBarButtonItem().get() })
            if (item)
                item->setChangeHandler([weak] {
                    if (auto self = std::static_pointer_cast<NavigationBar>(weak.lock()))
                        self->rebuild(false);
                });
    }
    for (auto* view : { m_left.get(), m_right.get() }) {
        if (!view)
            continue;
        addSubview(view->sharedView());
        if (animated) {
            view->setAlpha(0);
            View::beginAnimations("navigationBar");
            View::setAnimationDuration(0.3);
            view->setAlpha(1);
            View::commitAnimations();
        }
    }
    setNeedsLayout();
    setNeedsDisplay();
    announceAccessibilityChange(*this, AccessibilityChange::Name);
}

void NavigationBar::fillAccessibilityData(AccessibilityData& data) const
{
    data.role = AccessibilityRole::NavigationBar;
    if (auto top = topItem())
        data.name = top->title();
}

void NavigationBar::layoutSubviews()
{
    const gfx::Rect b = bounds();
    float left = kEdge, right = b.width() - kEdge;
    if (m_left) {
        gfx::Size size = m_left->sizeThatFits({});
        m_left->setFrame(gfx::Rect(kEdge, std::round((b.height() - size.height) * 0.5f), size.width, size.height));
        left = kEdge + size.width + 6;
    }
    if (m_right) {
        gfx::Size size = m_right->sizeThatFits({});
        m_right->setFrame(gfx::Rect(b.width() - kEdge - size.width, std::round((b.height() - size.height) * 0.5f), size.width, size.height));
        right = b.width() - kEdge - size.width - 6;
    }
    // The title is centred on the bar when it fits between the buttons, else in the room left;
    // a long one is set smaller before it is cut.
    const std::string title = topItem() ? topItem()->title() : std::string();
    const float room = std::max(right - left, 0.0f);
    m_titleFont = kTitleFont;
    for (float size = kTitleFontSize; size >= kSmallestTitleFontSize && std::ceil(m_titleFont.widthOfText(title)) > room; size -= 1)
        m_titleFont = gfx::Font::boldSystemFont(size);
    float width = std::ceil(m_titleFont.widthOfText(title));
    float x = std::round((b.width() - width) * 0.5f);
    if (x < left || x + width > right) {
        x = left;
        width = std::max(right - left, 0.0f);
    }
    m_titleRect = gfx::Rect(x, 0, width, b.height());
    setNeedsDisplay();
}

void NavigationBar::drawRect(gfx::Context& context, const gfx::Rect&)
{
    drawBarBackground(context, bounds(), m_barStyle);
    if (auto top = topItem())
        drawCentredText(context, top->title(), m_titleRect, m_titleFont, gfx::Color::white(), gfx::Color::grey(0, 0.6f));
}

} // namespace ui

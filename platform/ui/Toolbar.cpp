#include "ui/Toolbar.h"

#include "ui/BarButtonView.h"

#include <cmath>

namespace ui {

namespace {

constexpr float kEdge = 6;
constexpr float kGap = 10;

} // namespace

Toolbar::Toolbar(const gfx::Rect& frame)
    : View(frame)
{
}

Toolbar::~Toolbar()
{
    for (auto& item : m_items)
        item->setChangeHandler(nullptr);
}

void Toolbar::setBarStyle(BarStyle style)
{
    if (style == m_barStyle)
        return;
    m_barStyle = style;
    rebuild(false);
    setNeedsDisplay();
}

void Toolbar::setItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool animated)
{
    for (auto& item : m_items)
        item->setChangeHandler(nullptr);
    m_items = std::move(items);
    std::erase(m_items, nullptr);
    rebuild(animated);
}

BarButtonView* Toolbar::viewForItem(const BarButtonItem* item) const
{
    for (const auto& view : m_views)
        if (view && view->item().get() == item)
            return view.get();
    return nullptr;
}

void Toolbar::rebuild(bool animated)
{
    for (auto& view : m_views)
        if (view)
            view->removeFromSuperview();
    m_views.clear();
    for (auto& item : m_items) {
        std::shared_ptr<BarButtonView> view;
        if (!item->isSpace()) {
            view = std::make_shared<BarButtonView>(item, m_barStyle);
            addSubview(view);
            if (animated) {
                view->setAlpha(0);
                View::beginAnimations("toolbar");
                View::setAnimationDuration(0.3);
                view->setAlpha(1);
                View::commitAnimations();
            }
        }
        m_views.push_back(view);
        std::weak_ptr<Responder> weak = weak_from_this();
        item->setChangeHandler([weak] {
            if (auto self = std::static_pointer_cast<Toolbar>(weak.lock()))
                self->rebuild(false);
        });
    }
    setNeedsLayout();
}

void Toolbar::layoutSubviews()
{
    const gfx::Rect b = bounds();
    float fixed = 0;
    int flexible = 0;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i]->systemItem() == BarButtonSystemItem::FlexibleSpace)
            ++flexible;
        else
            fixed += m_views[i] ? m_views[i]->sizeThatFits({}).width : m_items[i]->width();
    }
    float gaps = m_items.empty() ? 0 : kGap * float(m_items.size() - 1);
    float share = flexible ? std::max(0.0f, b.width() - kEdge * 2 - fixed - gaps) / float(flexible) : 0;
    float x = kEdge;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (!m_views[i]) {
            x += (m_items[i]->systemItem() == BarButtonSystemItem::FlexibleSpace ? share : m_items[i]->width()) + kGap;
            continue;
        }
        gfx::Size size = m_views[i]->sizeThatFits({});
        m_views[i]->setFrame(gfx::Rect(std::round(x), std::round((b.height() - size.height) * 0.5f), size.width, size.height));
        x += size.width + kGap;
    }
}

void Toolbar::drawRect(gfx::Context& context, const gfx::Rect&)
{
    drawBarBackground(context, bounds(), m_barStyle);
}

void Toolbar::fillAccessibilityData(AccessibilityData& data) const
{
    data.role = AccessibilityRole::ToolBar;
}

} // namespace ui

#include "ui/BarButtonView.h"

#include "foundation/Bundle.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

const gfx::Font kTitleFont = gfx::Font::boldSystemFont(12);
constexpr float kPadding = 10;
constexpr float kArrow = 10;

// An arrow-shaped outline pointing left, for the back button.
gfx::Path backPath(const gfx::Rect& r, float radius)
{
    gfx::Path path;
    const float pi = 3.14159265f;
    path.moveTo({ r.minX(), r.midY() });
    path.lineTo({ r.minX() + kArrow, r.minY() });
    path.addArc({ r.maxX() - radius, r.minY() + radius }, radius, -pi / 2, 0, false);
    path.addArc({ r.maxX() - radius, r.maxY() - radius }, radius, 0, pi / 2, false);
    path.lineTo({ r.minX() + kArrow, r.maxY() });
    path.closeSubpath();
    return path;
}

} // namespace

BarButtonView::BarButtonView(std::shared_ptr<BarButtonItem> item, BarStyle barStyle)
    : m_item(std::move(item))
    , m_barStyle(barStyle)
{
    setEnabled(m_item && m_item->isEnabled());
    addTargetActionForControlEvents(this, [](Control& sender) {
        if (auto item = static_cast<BarButtonView&>(sender).m_item)
            item->sendAction();
    }, ControlEventTouchUpInside);
}

BarButtonView::BarButtonView(const std::string& title, BarStyle barStyle, std::function<void()> action)
    : m_barStyle(barStyle)
    , m_back(true)
    , m_backTitle(title)
    , m_backAction(std::move(action))
{
    addTargetActionForControlEvents(this, [](Control& sender) {
        auto& self = static_cast<BarButtonView&>(sender);
        if (self.m_backAction) {
            auto action = self.m_backAction;
            action();
        }
    }, ControlEventTouchUpInside);
}

std::string BarButtonView::title() const
{
    return m_back ? m_backTitle : m_item ? m_item->title() : std::string();
}

void BarButtonView::fillAccessibilityData(AccessibilityData& data) const
{
    Control::fillAccessibilityData(data);
    data.role = AccessibilityRole::PushButton;
    data.name = title();
    if (data.name.empty() && m_item && m_item->systemItem() == BarButtonSystemItem::Add)
        data.name = foundation::localizedString("Add Item Name");
    data.actions.push_back(AccessibilityAction::Press);
}

gfx::Size BarButtonView::sizeThatFits(gfx::Size) const
{
    if (m_item && m_item->width() > 0)
        return { m_item->width(), kHeight };
    float content = 0;
    if (m_item && m_item->image())
        content = m_item->image()->size().width;
    else if (m_item && m_item->systemItem() == BarButtonSystemItem::Add)
        content = 14;
    else if (m_item && m_item->style() == BarButtonItemStyle::Plain)
        content = std::ceil(gfx::Font::boldSystemFont(17).widthOfText(title()));
    else
        content = std::ceil(kTitleFont.widthOfText(title()));
    float width = content + kPadding * 2 + (m_back ? kArrow - 3 : 0);
    if (m_item && m_item->style() == BarButtonItemStyle::Plain)
        width = content + 8;
    return { std::clamp(width, 30.0f, 150.0f), kHeight };
}

void BarButtonView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    const gfx::Rect b = bounds();
    if (!isEnabled())
        context.setAlpha(context.alpha() * 0.45f);
    const BarButtonItemStyle style = m_item ? m_item->style() : BarButtonItemStyle::Bordered;
    if (style != BarButtonItemStyle::Plain) {
        gfx::Color base = m_barStyle == BarStyle::Default ? gfx::Color::rgba(0.36f, 0.45f, 0.58f) : gfx::Color::grey(0.1f);
        if (style == BarButtonItemStyle::Done)
            base = gfx::Color::rgba(0.10f, 0.32f, 0.80f);
        if (isHighlighted())
            base = gfx::Color::rgba(base.red * 0.6f, base.green * 0.6f, base.blue * 0.6f);
        gfx::Rect frame = b.insetBy(0.5f, 0.5f);
        // The bar's light edge below the button, then the dark outline and the glossy body.
        gfx::Path shadow = m_back ? backPath(frame.offsetBy(0, 1), 5) : roundedRectPath(frame.offsetBy(0, 1), 5);
        context.fillPath(shadow, gfx::Color::grey(1, 0.18f));
        gfx::Path outline = m_back ? backPath(frame, 5) : roundedRectPath(frame, 5);
        context.fillPath(outline, gfx::Color::grey(0, 0.9f));
        gfx::Rect inner = frame.insetBy(1, 1);
        gfx::Path body = m_back ? backPath(inner, 4) : roundedRectPath(inner, 4);
        auto light = [&](float amount) {
            return gfx::Color::rgba(base.red + (1 - base.red) * amount, base.green + (1 - base.green) * amount, base.blue + (1 - base.blue) * amount);
        };
        fillVerticalGradient(context, inner, { light(0.32f), light(0.14f) }, body);
        context.saveGState();
        context.clipToRect(gfx::Rect(inner.minX(), inner.midY(), inner.width(), inner.height()));
        fillVerticalGradient(context, inner, { base, base }, body);
        context.restoreGState();
    }
    gfx::Rect content = b;
    if (m_back)
        content = gfx::Rect(b.minX() + kArrow - 2, b.minY(), b.width() - kArrow + 2, b.height());
    if (m_item && m_item->image()) {
        auto image = m_item->image();
        gfx::Size size = image->size();
        auto shown = style == BarButtonItemStyle::Plain ? tintedImage(image, { gfx::Color::white(), gfx::Color::grey(0.85f) }) : image;
        context.drawImage(*shown, gfx::Rect(std::round(content.midX() - size.width * 0.5f), std::round(content.midY() - size.height * 0.5f), size.width, size.height));
        return;
    }
    if (m_item && m_item->systemItem() == BarButtonSystemItem::Add) {
        gfx::Point c = content.center();
        context.fillRect(gfx::Rect(c.x - 7, c.y - 1.5f, 14, 3), gfx::Color::white());
        context.fillRect(gfx::Rect(c.x - 1.5f, c.y - 7, 3, 14), gfx::Color::white());
        return;
    }
    gfx::Font font = style == BarButtonItemStyle::Plain ? gfx::Font::boldSystemFont(17) : kTitleFont;
    drawCentredText(context, title(), content.insetBy(4, 0), font, gfx::Color::white(), gfx::Color::grey(0, 0.5f));
}

} // namespace ui

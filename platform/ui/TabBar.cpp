#include "ui/TabBar.h"

#include "ui/Appearance.h"
#include "ui/Window.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

const std::vector<gfx::Color> kSelectedIcon = { gfx::Color::rgba(0.62f, 0.86f, 1.0f), gfx::Color::rgba(0.16f, 0.60f, 0.98f), gfx::Color::rgba(0.02f, 0.38f, 0.86f) };
const std::vector<gfx::Color> kIcon = { gfx::Color::grey(0.62f), gfx::Color::grey(0.46f) };
constexpr float kIconArea = 30;
constexpr float kTitleFontSize = 10;
constexpr float kSmallestTitleFontSize = 8;

} // namespace

TabBar::TabBar(const gfx::Rect& frame)
    : View(frame)
{
}

TabBar::~TabBar()
{
    for (auto& item : m_items)
        item->setChangeHandler(nullptr);
}

void TabBar::setItems(std::vector<std::shared_ptr<TabBarItem>> items, bool)
{
    for (auto& item : m_items)
        item->setChangeHandler(nullptr);
    m_items = std::move(items);
    std::erase(m_items, nullptr);
    std::weak_ptr<Responder> weak = weak_from_this();
    for (auto& item : m_items)
        item->setChangeHandler([weak] {
            if (auto self = weak.lock())
                static_cast<View*>(self.get())->setNeedsDisplay();
        });
    if (auto selected = m_selected.lock(); selected && std::find(m_items.begin(), m_items.end(), selected) == m_items.end())
        m_selected.reset();
    setNeedsDisplay();
}

void TabBar::setSelectedItem(const std::shared_ptr<TabBarItem>& item)
{
    bool present = item && std::find(m_items.begin(), m_items.end(), item) != m_items.end();
    m_selected = present ? item : nullptr;
    setNeedsDisplay();
    announceAccessibilityChange(*this, AccessibilityChange::Selection);
}

void TabBar::chooseItem(size_t index)
{
    if (index >= m_items.size() || !m_items[index]->isEnabled())
        return;
    auto keep = sharedView();
    auto item = m_items[index];
    setSelectedItem(item);
    if (m_selectionHandler) {
        auto handler = m_selectionHandler;
        handler(*item);
    }
}

void TabBar::fillAccessibilityData(AccessibilityData& data) const
{
    data.role = AccessibilityRole::PageTabList;
}

void TabBar::fillAccessibilityPartData(int part, AccessibilityData& data) const
{
    if (part < 0 || size_t(part) >= m_items.size())
        return;
    const TabBarItem& item = *m_items[size_t(part)];
    data.role = AccessibilityRole::PageTab;
    data.name = item.title();
    data.description = item.badgeValue().value_or(std::string());
    data.states |= AccessibilityStateSelectable;
    if (&item == m_selected.lock().get())
        data.states |= AccessibilityStateSelected;
    data.states |= item.isEnabled() ? AccessibilityStateFocusable : AccessibilityStateDisabled;
    data.actions.push_back(AccessibilityAction::Press);
}

bool TabBar::performAccessibilityAction(AccessibilityAction action, int part)
{
    if (action != AccessibilityAction::Press || part < 0 || size_t(part) >= m_items.size() || !m_items[size_t(part)]->isEnabled())
        return false;
    chooseItem(size_t(part));
    return true;
}

gfx::Rect TabBar::rectForItemAtIndex(size_t index) const
{
    const gfx::Rect b = bounds();
    if (m_items.empty())
        return {};
    float width = std::floor(b.width() / float(m_items.size()));
    float left = std::floor((b.width() - width * float(m_items.size())) * 0.5f);
    return gfx::Rect(left + width * float(index), 0, width, b.height());
}

std::optional<size_t> TabBar::itemIndexAt(gfx::Point point) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (rectForItemAtIndex(i).containsPoint(point))
            return i;
    return std::nullopt;
}

void TabBar::touchesBegan(const TouchSet& touches, const Event&)
{
    m_pressed = itemIndexAt(touches.front()->locationInView(this));
}

void TabBar::touchesMoved(const TouchSet&, const Event&)
{
}

void TabBar::touchesEnded(const TouchSet& touches, const Event&)
{
    auto index = itemIndexAt(touches.front()->locationInView(this));
    bool same = index && index == m_pressed;
    m_pressed.reset();
    if (same)
        chooseItem(*index);
}

std::optional<size_t> TabBar::selectedIndex() const
{
    auto selected = m_selected.lock();
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == selected)
            return i;
    return std::nullopt;
}

bool TabBar::hasKeyboardFocus() const
{
    Window* w = window();
    return w && w->keyboardFocus() == this;
}

bool TabBar::canBecomeKeyboardFocus() const
{
    return isUserInteractionEnabled() && std::any_of(m_items.begin(), m_items.end(), [](const auto& item) { return item->isEnabled(); });
}

gfx::Rect TabBar::keyboardFocusRect() const
{
    if (auto index = selectedIndex())
        return rectForItemAtIndex(*index).insetBy(3, 3);
    return bounds().insetBy(3, 3);
}

void TabBar::keyPressed(Key key)
{
    if (!hasKeyboardFocus()) {
        View::keyPressed(key);
        return;
    }
    const auto current = selectedIndex();
    if (key == Key::Return) {
        if (current)
            chooseItem(*current);
        return;
    }
    if (key != Key::Left && key != Key::Right) {
        View::keyPressed(key);
        return;
    }
    // The next enabled tab that way; the ends stay where they are.
    const int step = key == Key::Left ? -1 : 1;
    for (int i = current ? int(*current) + step : 0; i >= 0 && i < int(m_items.size()); i += step) {
        if (m_items[size_t(i)]->isEnabled()) {
            chooseItem(size_t(i));
            return;
        }
    }
}

bool TabBar::performKeyCommand(const KeyCommand& command)
{
    if (command.is(" ") && hasKeyboardFocus()) {
        keyPressed(Key::Return);
        return true;
    }
    return View::performKeyCommand(command);
}

void TabBar::touchesCancelled(const TouchSet&, const Event&)
{
    m_pressed.reset();
}

gfx::Font TabBar::titleFontForItemAtIndex(size_t index) const
{
    return titleFont(index < m_items.size() ? m_items[index]->title() : std::string(), titleWidthForItemAtIndex(index));
}

gfx::Font TabBar::titleFont(const std::string& title, float width)
{
    // Five tabs leave 62 points a title: a long one ("Enregistrements") is set smaller before
    // it is cut, down to a size still readable.
    gfx::Font font = gfx::Font::boldSystemFont(kTitleFontSize);
    for (float size = kTitleFontSize - 0.5f; size >= kSmallestTitleFontSize && font.widthOfText(title) > width; size -= 0.5f)
        font = gfx::Font::boldSystemFont(size);
    return font;
}

void TabBar::drawItem(gfx::Context& context, const TabBarItem& item, const gfx::Rect& rect, bool selected)
{
    if (!item.isEnabled())
        context.setAlpha(context.alpha() * 0.4f);
    if (selected) {
        gfx::Rect ground = rect.insetBy(2, 2);
        gfx::Path path = roundedRectPath(ground, 4);
        fillVerticalGradient(context, ground, { gfx::Color::grey(1, 0.22f), gfx::Color::grey(1, 0.10f) }, path);
        context.saveGState();
        context.clipToRect(gfx::Rect(ground.minX(), ground.midY(), ground.width(), ground.height()));
        context.fillPath(path, gfx::Color::grey(1, 0.04f));
        context.restoreGState();
    }
    gfx::Rect icon(rect.midX() - kIconArea * 0.5f, rect.minY() + 3, kIconArea, kIconArea);
    if (auto image = item.image()) {
        gfx::Size size = image->size();
        float scale = std::min({ 1.0f, kIconArea / std::max(size.width, 1.0f), kIconArea / std::max(size.height, 1.0f) });
        gfx::Size shown { size.width * scale, size.height * scale };
        gfx::Rect target(std::round(icon.midX() - shown.width * 0.5f), std::round(icon.midY() - shown.height * 0.5f), shown.width, shown.height);
        if (auto tinted = tintedImage(image, selected ? kSelectedIcon : kIcon))
            context.drawImage(*tinted, target);
    }
    const gfx::Font font = titleFont(item.title(), rect.width() - 2);
    // Titles of all sizes stand on one baseline.
    const float baseline = rect.minY() + 34 + gfx::Font::boldSystemFont(kTitleFontSize).ascender();
    gfx::Rect title(rect.minX() + 1, baseline - font.ascender(), rect.width() - 2, font.lineHeight());
    context.drawText(item.title(), title, font, selected ? gfx::Color::white() : gfx::Color::grey(0.6f), gfx::TextAlignment::Center,
        gfx::LineBreakMode::TailTruncation, 1);
    if (const auto& badge = item.badgeValue())
        drawBadge(context, std::min(rect.maxX() - 2, icon.maxX() + 14), rect.minY() + 1, *badge);
}

void TabBar::drawRect(gfx::Context& context, const gfx::Rect&)
{
    const gfx::Rect b = bounds();
    gfx::Rect upper(0, 0, b.width(), std::floor(b.height() * 0.5f));
    fillVerticalGradient(context, upper, { gfx::Color::grey(0.24f), gfx::Color::grey(0.13f) });
    context.fillRect(gfx::Rect(0, upper.maxY(), b.width(), b.height() - upper.height()), gfx::Color::black());
    context.fillRect(gfx::Rect(0, 0, b.width(), 1), gfx::Color::grey(0.32f));
    auto selected = m_selected.lock();
    for (size_t i = 0; i < m_items.size(); ++i) {
        context.saveGState();
        drawItem(context, *m_items[i], rectForItemAtIndex(i), m_items[i] == selected);
        context.restoreGState();
    }
}

} // namespace ui

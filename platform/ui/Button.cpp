#include "ui/Button.h"

#include "ui/Appearance.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

const gfx::Color kRoundedRectTitle = gfx::Color::rgba(0.196f, 0.31f, 0.522f);

} // namespace

std::shared_ptr<Button> Button::buttonWithType(ButtonType type)
{
    return std::make_shared<Button>(gfx::Rect(), type);
}

Button::Button(const gfx::Rect& frame, ButtonType type)
    : Control(frame)
    , m_type(type)
{
    if (type == ButtonType::RoundedRect) {
        m_titleColors[ControlStateNormal] = kRoundedRectTitle;
        m_titleColors[ControlStateHighlighted] = gfx::Color::white();
    } else
        m_titleColors[ControlStateNormal] = gfx::Color::white();
}

template<typename T>
std::optional<T> Button::lookUp(const std::map<unsigned, T>& values, unsigned state)
{
    // Exactly the state, then its highlighted or selected part, then normal.
    for (unsigned candidate : { state, state & ControlStateHighlighted, state & ControlStateSelected }) {
        if (candidate == ControlStateNormal)
            continue;
        if (auto it = values.find(candidate); it != values.end())
            return it->second;
    }
    if (auto it = values.find(ControlStateNormal); it != values.end())
        return it->second;
    return std::nullopt;
}

template<typename T>
void Button::store(std::map<unsigned, T>& values, unsigned state, std::optional<T> value)
{
    if (value)
        values[state] = *value;
    else
        values.erase(state);
    setNeedsDisplay();
}

void Button::setTitleForState(const std::string& title, unsigned state)
{
    const std::string before = currentTitle();
    store(m_titles, state, title.empty() ? std::nullopt : std::optional(title));
    if (currentTitle() != before)
        announceAccessibilityChange(*this, AccessibilityChange::Name);
}

void Button::fillAccessibilityData(AccessibilityData& data) const
{
    Control::fillAccessibilityData(data);
    data.role = AccessibilityRole::PushButton;
    data.name = currentTitle();
    data.actions.push_back(AccessibilityAction::Press);
}

void Button::setTitleColorForState(std::optional<gfx::Color> color, unsigned state)
{
    store(m_titleColors, state, color);
}

void Button::setTitleShadowColorForState(std::optional<gfx::Color> color, unsigned state)
{
    store(m_titleShadowColors, state, color);
}

void Button::setImageForState(std::shared_ptr<gfx::Image> image, unsigned state)
{
    store(m_images, state, image ? std::optional(image) : std::nullopt);
}

void Button::setBackgroundImageForState(std::shared_ptr<gfx::Image> image, unsigned state)
{
    store(m_backgroundImages, state, image ? std::optional(image) : std::nullopt);
}

std::string Button::titleForState(unsigned state) const
{
    auto it = m_titles.find(state);
    return it == m_titles.end() ? std::string() : it->second;
}

std::optional<gfx::Color> Button::titleColorForState(unsigned state) const
{
    auto it = m_titleColors.find(state);
    return it == m_titleColors.end() ? std::nullopt : std::optional(it->second);
}

std::shared_ptr<gfx::Image> Button::imageForState(unsigned state) const
{
    auto it = m_images.find(state);
    return it == m_images.end() ? nullptr : it->second;
}

std::shared_ptr<gfx::Image> Button::backgroundImageForState(unsigned state) const
{
    auto it = m_backgroundImages.find(state);
    return it == m_backgroundImages.end() ? nullptr : it->second;
}

std::string Button::currentTitle() const
{
    return lookUp(m_titles, state()).value_or(std::string());
}

gfx::Color Button::currentTitleColor() const
{
    return lookUp(m_titleColors, state()).value_or(gfx::Color::white());
}

std::shared_ptr<gfx::Image> Button::currentImage() const
{
    return lookUp(m_images, state()).value_or(nullptr);
}

std::shared_ptr<gfx::Image> Button::currentBackgroundImage() const
{
    return lookUp(m_backgroundImages, state()).value_or(nullptr);
}

void Button::setFont(const gfx::Font& font)
{
    if (font == m_font)
        return;
    m_font = font;
    setNeedsDisplay();
}

void Button::setTitleEdgeInsets(const EdgeInsets& insets)
{
    if (insets == m_titleInsets)
        return;
    m_titleInsets = insets;
    setNeedsDisplay();
}

void Button::setImageEdgeInsets(const EdgeInsets& insets)
{
    if (insets == m_imageInsets)
        return;
    m_imageInsets = insets;
    setNeedsDisplay();
}

void Button::setContentEdgeInsets(const EdgeInsets& insets)
{
    if (insets == m_contentInsets)
        return;
    m_contentInsets = insets;
    setNeedsDisplay();
}

void Button::setShowsTouchWhenHighlighted(bool shows)
{
    if (shows == m_showsTouch)
        return;
    m_showsTouch = shows;
    setNeedsDisplay();
}

void Button::setAdjustsImageWhenHighlighted(bool adjusts)
{
    if (adjusts == m_adjustsImage)
        return;
    m_adjustsImage = adjusts;
    setNeedsDisplay();
}

void Button::setMinimumFontSize(float size)
{
    size = std::max(size, 0.0f);
    if (size == m_minimumFontSize)
        return;
    m_minimumFontSize = size;
    setNeedsDisplay();
}

gfx::Font Button::fittedFont() const
{
    const std::string title = currentTitle();
    const gfx::Rect content = contentRectForBounds(bounds());
    const auto image = currentImage();
    // A title set smaller keeps clear of the button's edges, where a background's rim is: 5
    // points, less on a small button.
    const float area = m_titleInsets.inset(content).width() - (image ? image->size().width : 0);
    const float room = std::max(area - 2 * std::min(5.0f, content.width() * 0.04f), 0.0f);
    gfx::Font font = m_font;
    if (m_minimumFontSize <= 0 || title.empty())
        return font;
    constexpr float kStep = 0.5f;
    for (float size = m_font.pointSize(); size - kStep >= m_minimumFontSize && font.widthOfText(title) > room;) {
        size -= kStep;
        font = m_font.isBold() ? gfx::Font::boldSystemFont(size) : gfx::Font::systemFont(size);
    }
    return font;
}

gfx::Size Button::titleSize() const
{
    std::string title = currentTitle();
    if (title.empty())
        return {};
    return { std::ceil(m_font.widthOfText(title)), std::ceil(m_font.lineHeight()) };
}

gfx::Rect Button::contentRectForBounds(const gfx::Rect& bounds) const
{
    return m_contentInsets.inset(bounds);
}

gfx::Rect Button::imageRectForContentRect(const gfx::Rect& contentRect) const
{
    auto image = currentImage();
    if (!image)
        return gfx::Rect(contentRect.center(), {});
    gfx::Rect area = m_imageInsets.inset(contentRect);
    gfx::Size size = image->size();
    float total = size.width + titleSize().width;
    return gfx::Rect(std::round(area.midX() - total * 0.5f), std::round(area.midY() - size.height * 0.5f), size.width, size.height);
}

gfx::Rect Button::titleRectForContentRect(const gfx::Rect& contentRect) const
{
    gfx::Size size = titleSize();
    if (size.width == 0)
        return gfx::Rect(contentRect.center(), {});
    gfx::Rect area = m_titleInsets.inset(contentRect);
    auto image = currentImage();
    float imageWidth = image ? image->size().width : 0;
    float width = std::min(size.width, std::max(area.width() - imageWidth, 0.0f));
    float total = imageWidth + width;
    return gfx::Rect(std::round(area.midX() - total * 0.5f + imageWidth), std::round(area.midY() - size.height * 0.5f), width, size.height);
}

gfx::Size Button::sizeThatFits(gfx::Size) const
{
    gfx::Size title = titleSize();
    auto image = currentImage();
    gfx::Size imageSize = image ? image->size() : gfx::Size {};
    float width = title.width + imageSize.width + m_contentInsets.left + m_contentInsets.right;
    float height = std::max(title.height, imageSize.height) + m_contentInsets.top + m_contentInsets.bottom;
    if (auto background = currentBackgroundImage()) {
        width = std::max(width, background->size().width);
        height = std::max(height, background->size().height);
    }
    if (m_type == ButtonType::RoundedRect) {
        width += 24;
        height = std::max(height + 12, 37.0f);
    }
    return { width, height };
}

void Button::drawRoundedRect(gfx::Context& context)
{
    gfx::Rect frame = bounds().insetBy(0.5f, 0.5f);
    gfx::Path outline = roundedRectPath(frame, 9);
    context.fillPath(outline, gfx::Color::grey(0.55f));
    gfx::Path inside = roundedRectPath(frame.insetBy(1, 1), 8);
    if (isHighlighted())
        fillVerticalGradient(context, frame, { gfx::Color::rgba(0.02f, 0.55f, 0.96f), gfx::Color::rgba(0.0f, 0.36f, 0.88f) }, inside);
    else
        context.fillPath(inside, gfx::Color::white());
}

void Button::drawRect(gfx::Context& context, const gfx::Rect&)
{
    const gfx::Rect b = bounds();
    const bool dimmed = !isEnabled();
    if (dimmed)
        context.setAlpha(context.alpha() * 0.5f);
    const bool darken = isHighlighted() && m_adjustsImage && m_type == ButtonType::Custom;

    if (m_type == ButtonType::RoundedRect)
        drawRoundedRect(context);
    if (auto background = currentBackgroundImage()) {
        // Darkened only when the highlighted state has no picture of its own.
        bool own = isHighlighted() && backgroundImageForState(state()) != nullptr;
        context.drawImage(*(darken && !own ? darkenedImage(background) : background), b);
    }
    gfx::Rect content = contentRectForBounds(b);
    if (auto image = currentImage()) {
        bool own = isHighlighted() && imageForState(state()) != nullptr;
        context.drawImage(*(darken && !own ? darkenedImage(image) : image), imageRectForContentRect(content));
    }
    if (std::string title = currentTitle(); !title.empty()) {
        gfx::Rect titleRect = titleRectForContentRect(content);
        const gfx::Font font = fittedFont();
        if (font.pointSize() != m_font.pointSize()) {
            // The smaller line stays centred where the title's line was.
            const float height = std::ceil(font.lineHeight());
            titleRect = gfx::Rect(titleRect.x(), std::round(titleRect.midY() - height * 0.5f), titleRect.width(), height);
        }
        if (auto shadow = lookUp(m_titleShadowColors, state()))
            context.drawText(title, titleRect.offsetBy(0, -1), font, *shadow, gfx::TextAlignment::Center, gfx::LineBreakMode::TailTruncation, 1);
        context.drawText(title, titleRect, font, currentTitleColor(), gfx::TextAlignment::Center, gfx::LineBreakMode::TailTruncation, 1);
    }
    if (m_showsTouch && isHighlighted()) {
        // A soft white glow: stacked translucent discs make a radial fall-off.
        gfx::Point c = b.center();
        for (int i = 10; i >= 1; --i) {
            float r = 2.2f * float(i);
            gfx::Path disc;
            disc.addArc(c, r, 0, 6.2831853f, false);
            disc.closeSubpath();
            context.fillPath(disc, gfx::Color::grey(1, 0.11f));
        }
    }
}

} // namespace ui

#include "ui/Label.h"

#include <algorithm>
#include <cmath>

namespace ui {

Label::Label(const gfx::Rect& frame)
    : View(frame)
{
    setBackgroundColor(gfx::Color::white());
    setUserInteractionEnabled(false);
}

void Label::setText(const std::string& text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_textRectCache.reset();
    setNeedsDisplay();
    announceAccessibilityChange(*this, AccessibilityChange::Name);
}

void Label::fillAccessibilityData(AccessibilityData& data) const
{
    if (m_text.empty())
        return;
    data.role = AccessibilityRole::StaticText;
    data.name = m_text;
    if (!m_enabled)
        data.states |= AccessibilityStateDisabled;
}

void Label::setFont(const gfx::Font& font)
{
    if (font == m_font)
        return;
    m_font = font;
    m_textRectCache.reset();
    setNeedsDisplay();
}

void Label::setTextColor(gfx::Color color)
{
    if (color == m_textColor)
        return;
    m_textColor = color;
    setNeedsDisplay();
}

void Label::setHighlightedTextColor(std::optional<gfx::Color> color)
{
    if (color == m_highlightedTextColor)
        return;
    m_highlightedTextColor = color;
    setNeedsDisplay();
}

void Label::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    setNeedsDisplay();
}

void Label::setShadowColor(std::optional<gfx::Color> color)
{
    if (color == m_shadowColor)
        return;
    m_shadowColor = color;
    setNeedsDisplay();
}

void Label::setShadowOffset(gfx::Size offset)
{
    if (offset == m_shadowOffset)
        return;
    m_shadowOffset = offset;
    setNeedsDisplay();
}

void Label::setTextAlignment(gfx::TextAlignment alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    setNeedsDisplay();
}

void Label::setNumberOfLines(int lines)
{
    lines = std::max(lines, 0);
    if (lines == m_numberOfLines)
        return;
    m_numberOfLines = lines;
    m_textRectCache.reset();
    setNeedsDisplay();
}

void Label::setLineBreakMode(gfx::LineBreakMode mode)
{
    if (mode == m_lineBreakMode)
        return;
    m_lineBreakMode = mode;
    m_textRectCache.reset();
    setNeedsDisplay();
}

void Label::setMinimumFontSize(float size)
{
    size = std::max(size, 0.0f);
    if (size == m_minimumFontSize)
        return;
    m_minimumFontSize = size;
    m_textRectCache.reset();
    setNeedsDisplay();
}

void Label::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    setNeedsDisplay();
}

gfx::Rect Label::textRectForBounds(const gfx::Rect& b) const
{
    return textLayoutForSize(b.size).textRect.offsetBy(b.x(), b.y());
}

const Label::TextLayout& Label::textLayoutForSize(gfx::Size size) const
{
    if (!m_textRectCache || m_textRectCache->boundsSize != size) {
        const gfx::Font font = fontForWidth(size.width);
        const gfx::Rect rect = measureTextRect(gfx::Rect({}, size), font);
        m_textRectCache = TextLayout { size, font, rect, font.layoutText(m_text, rect.width(), m_lineBreakMode, linesForHeight(size.height, font)) };
    }
    return *m_textRectCache;
}

gfx::Font Label::fontForWidth(float width) const
{
    if (m_minimumFontSize <= 0 || m_numberOfLines != 1 || m_font.widthOfText(m_text) <= width)
        return m_font;
    constexpr float kStep = 0.5f;
    float size = m_font.pointSize();
    gfx::Font font = m_font;
    while (size - kStep >= m_minimumFontSize && font.widthOfText(m_text) > width) {
        size -= kStep;
        font = m_font.isBold() ? gfx::Font::boldSystemFont(size) : gfx::Font::systemFont(size);
    }
    return font;
}

int Label::linesForHeight(float height, const gfx::Font& font) const
{
    // Only whole lines that fit are shown when the label limits nothing itself.
    if (m_numberOfLines == 0)
        return std::max(1, int(std::floor(height / font.lineHeight())));
    return m_numberOfLines;
}

gfx::Rect Label::measureTextRect(const gfx::Rect& b, const gfx::Font& font) const
{
    const int lines = linesForHeight(b.height(), font);
    gfx::Size size = font.sizeOfText(m_text, b.width(), m_lineBreakMode, lines);
    float height = std::min(size.height, std::max(b.height(), font.lineHeight()));
    return gfx::Rect(b.x(), b.y() + std::round((b.height() - height) * 0.5f), b.width(), height);
}

void Label::drawRect(gfx::Context& context, const gfx::Rect&)
{
    if (m_text.empty())
        return;
    const TextLayout& layout = textLayoutForSize(bounds().size);
    const gfx::Rect textRect = layout.textRect.offsetBy(bounds().x(), bounds().y());
    gfx::Color color = m_highlighted && m_highlightedTextColor ? *m_highlightedTextColor : m_textColor;
    if (!m_enabled)
        color = color.withAlphaFactor(0.45f);
    if (m_shadowColor)
        context.drawTextLines(layout.lines, textRect.offsetBy(m_shadowOffset.width, m_shadowOffset.height), layout.font, *m_shadowColor, m_alignment, m_lineBreakMode);
    context.drawTextLines(layout.lines, textRect, layout.font, color, m_alignment, m_lineBreakMode);
}

gfx::Size Label::sizeThatFits(gfx::Size size) const
{
    return m_font.sizeOfText(m_text, size.width, m_lineBreakMode, m_numberOfLines);
}

} // namespace ui

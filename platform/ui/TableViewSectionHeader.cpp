#include "ui/TableViewSectionHeader.h"

#include "ui/Appearance.h"

#include "graphics/Font.h"

namespace ui {

TableViewSectionHeader::TableViewSectionHeader(bool grouped)
    : m_grouped(grouped)
{
    setUserInteractionEnabled(false);
}

void TableViewSectionHeader::setTitle(const std::string& title)
{
    if (title == m_title)
        return;
    m_title = title;
    setNeedsDisplay();
}

void TableViewSectionHeader::drawRect(gfx::Context& context, const gfx::Rect&)
{
    const gfx::Rect b = bounds();
    if (m_grouped) {
        // The title sits just above the section's rounded box.
        const gfx::Rect text(b.minX() + 20, b.maxY() - 30, b.width() - 40, 22);
        context.drawText(m_title, gfx::Rect(text.x(), text.y() + 1, text.width(), text.height()), gfx::Font::boldSystemFont(17), gfx::Color::white(),
            gfx::TextAlignment::Left, gfx::LineBreakMode::TailTruncation, 1);
        context.drawText(m_title, text, gfx::Font::boldSystemFont(17), gfx::Color::rgba(0.3f, 0.34f, 0.42f),
            gfx::TextAlignment::Left, gfx::LineBreakMode::TailTruncation, 1);
        return;
    }
    fillVerticalGradient(context, b, { gfx::Color::rgba(0.56f, 0.62f, 0.68f), gfx::Color::rgba(0.72f, 0.76f, 0.8f) });
    context.fillRect(gfx::Rect(b.minX(), b.minY(), b.width(), 1), gfx::Color::rgba(0.47f, 0.53f, 0.59f));
    context.fillRect(gfx::Rect(b.minX(), b.maxY() - 1, b.width(), 1), gfx::Color::rgba(0.6f, 0.65f, 0.7f));
    const gfx::Rect text(b.minX() + 12, b.minY() + 1, b.width() - 24, b.height() - 2);
    context.drawText(m_title, gfx::Rect(text.x(), text.y() + 1, text.width(), text.height()), gfx::Font::boldSystemFont(18), gfx::Color::rgba(0.33f, 0.37f, 0.42f),
        gfx::TextAlignment::Left, gfx::LineBreakMode::TailTruncation, 1);
    context.drawText(m_title, text, gfx::Font::boldSystemFont(18), gfx::Color::white(), gfx::TextAlignment::Left, gfx::LineBreakMode::TailTruncation, 1);
}

} // namespace ui

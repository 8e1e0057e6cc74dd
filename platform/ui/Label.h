#pragma once

#include "ui/View.h"

#include "graphics/Font.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ui {

/// A view showing read-only text: one line by default, or as many as numberOfLines allows
/// (0 = any), broken by its line-break mode and centred vertically in its bounds. Like the
/// platform's label it starts with a white background and takes no touches. Main thread.
class Label : public View {
public:
    explicit Label(const gfx::Rect& frame = {});

    const std::string& text() const { return m_text; }
    void setText(const std::string& text);
    gfx::Font font() const { return m_font; }
    void setFont(const gfx::Font& font);
    gfx::Color textColor() const { return m_textColor; }
    void setTextColor(gfx::Color color);
    /// The colour used while highlighted; without one the text colour stays.
    std::optional<gfx::Color> highlightedTextColor() const { return m_highlightedTextColor; }
    void setHighlightedTextColor(std::optional<gfx::Color> color);
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);
    /// A drop shadow drawn under the text at shadowOffset (none by default).
    std::optional<gfx::Color> shadowColor() const { return m_shadowColor; }
    void setShadowColor(std::optional<gfx::Color> color);
    gfx::Size shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(gfx::Size offset);
    gfx::TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(gfx::TextAlignment alignment);
    /// Lines at most; 0 allows any number. Negative values are read as 0.
    int numberOfLines() const { return m_numberOfLines; }
    void setNumberOfLines(int lines);
    gfx::LineBreakMode lineBreakMode() const { return m_lineBreakMode; }
    void setLineBreakMode(gfx::LineBreakMode mode);
    /// Above 0, a one-line text too wide for the label is set smaller, down to this size,
    /// before it is cut short (0, the default: never smaller).
    float minimumFontSize() const { return m_minimumFontSize; }
    void setMinimumFontSize(float size);
    /// The font the text is drawn in at the label's size: font(), or smaller as above.
    gfx::Font fittedFont() const { return textLayoutForSize(bounds().size).font; }
    bool isEnabled() const { return m_enabled; }
    /// A disabled label draws its text greyed.
    void setEnabled(bool enabled);

    /// Where the text is drawn within bounds: the lines' height, centred vertically.
    gfx::Rect textRectForBounds(const gfx::Rect& bounds) const;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    /// The size of the text laid out within size's width (unlimited when it is 0).
    gfx::Size sizeThatFits(gfx::Size size) const override;
    /// Static text named by its text; an empty label is not read.
    void fillAccessibilityData(AccessibilityData& data) const override;

private:
    std::string m_text;
    gfx::Font m_font { gfx::Font::systemFont(17) };
    gfx::Color m_textColor { gfx::Color::black() };
    std::optional<gfx::Color> m_highlightedTextColor;
    std::optional<gfx::Color> m_shadowColor;
    gfx::Size m_shadowOffset { 0, -1 };
    gfx::TextAlignment m_alignment { gfx::TextAlignment::Left };
    gfx::LineBreakMode m_lineBreakMode { gfx::LineBreakMode::TailTruncation };
    int m_numberOfLines { 1 };
    bool m_highlighted { false };
    gfx::Rect measureTextRect(const gfx::Rect& bounds, const gfx::Font& font) const;
    gfx::Font fontForWidth(float width) const;
    float m_minimumFontSize { 0 };

    bool m_enabled { true };
    /// The text rectangle and the lines drawn in it, for the last bounds' size asked (text
    /// measuring and breaking are costly, and a label in a scrolling list is drawn on every
    /// frame). Cleared when text or layout changes.
    struct TextLayout {
        gfx::Size boundsSize;
        gfx::Font font;
        gfx::Rect textRect;
        std::vector<gfx::TextLine> lines;
    };
    const TextLayout& textLayoutForSize(gfx::Size size) const;
    int linesForHeight(float height, const gfx::Font& font) const;
    mutable std::optional<TextLayout> m_textRectCache;
};

} // namespace ui

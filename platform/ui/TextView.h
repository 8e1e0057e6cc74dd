#pragma once

#include "ui/TextField.h"

#include <string>
#include <vector>

namespace ui {

/// An editable text of several lines, edited as TextField is (selection, clipboard, undo,
/// input methods), which wraps its text at words into as many lines as it holds and scrolls
/// (the caret stays in view; the wheel scrolls it). Up and Down go from line to line, Home and
/// End to the ends of the line (with Control, of the text). Shift+Return breaks the line;
/// Return alone is the return key, as in a text field, so the delegate decides what it does.
/// Main thread only.
class TextView : public TextField {
public:
    explicit TextView(const gfx::Rect& frame = {});

    /// The lines the text is wrapped into now: byte ranges [start, end) of the text shown
    /// (with the composition), without the line breaks.
    struct Line {
        size_t start { 0 };
        size_t end { 0 };
    };
    const std::vector<Line>& lines() const;
    /// How many whole lines the view shows at once.
    int visibleLineCount() const;
    /// How far the lines are scrolled up, in points.
    float contentOffsetY() const { return m_scrollY; }

    gfx::Rect textRectForBounds(const gfx::Rect& bounds) const override;
    bool performKeyCommand(const KeyCommand& command) override;
    void scrollWheel(const WheelEvent& event) override;
    /// A field of several lines.
    void fillAccessibilityData(AccessibilityData& data) const override;

protected:
    gfx::Point pointForDisplayOffset(size_t offset) const override;
    size_t offsetForPoint(gfx::Point point) const override;
    void drawEditedText(gfx::Context& context, const gfx::Rect& textRect) override;
    size_t offsetAbove(size_t offset) const override;
    size_t offsetBelow(size_t offset) const override;
    std::pair<size_t, size_t> lineRangeAt(size_t offset) const override;
    void scrollToCaret() override;

private:
    size_t lineIndexOf(size_t displayOffset) const;
    /// The caret place on line index nearest to x (field coordinates), as a text offset.
    size_t offsetOnLineNearestX(size_t index, float x) const;
    float maximumScroll() const;

    struct Layout {
        std::string text;
        float width { -1 };
        gfx::Font font { gfx::Font::systemFont(12) };
        std::vector<Line> lines;
    };
    mutable Layout m_layout;
    float m_scrollY { 0 };
};

} // namespace ui

#include "ui/TextView.h"

#include "foundation/TextBoundaries.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

constexpr float kHorizontalPadding = 8;
constexpr float kVerticalPadding = 2;

} // namespace

TextView::TextView(const gfx::Rect& frame)
    : TextField(frame, true)
{
    setClipsToBounds(true);
}

gfx::Rect TextView::textRectForBounds(const gfx::Rect& b) const
{
    const float padding = borderStyle() == TextBorderStyle::None ? 0 : kHorizontalPadding;
    const float vertical = borderStyle() == TextBorderStyle::None ? 0 : kVerticalPadding;
    return gfx::Rect(b.minX() + padding, b.minY() + vertical, std::max(b.width() - 2 * padding, 0.0f), std::max(b.height() - 2 * vertical, 0.0f));
}

const std::vector<TextView::Line>& TextView::lines() const
{
    const std::string shown = displayText();
    const float width = textRectForBounds(bounds()).width();
    if (m_layout.width == width && m_layout.font == m_font && m_layout.text == shown)
        return m_layout.lines;
    m_layout = { shown, width, m_font, {} };
    auto& lines = m_layout.lines;
    // Paragraph by paragraph: each line takes as many words as fit; a word wider than the
    // line is broken between characters; blanks at a break stay at the end of their line.
    size_t paragraph = 0;
    for (;;) {
        const size_t breakAt = shown.find('\n', paragraph);
        const size_t paragraphEnd = breakAt == std::string::npos ? shown.size() : breakAt;
        size_t lineStart = paragraph;
        const std::string_view piece = std::string_view(shown).substr(paragraph, paragraphEnd - paragraph);
        const auto boundaries = foundation::characterBoundaries(piece);
        size_t index = 0;
        do {
            size_t fits = lineStart, lastBlank = std::string::npos;
            for (; index < boundaries.size(); ++index) {
                const size_t b = paragraph + boundaries[index];
                if (b <= lineStart)
                    continue;
                std::string_view candidate = std::string_view(shown).substr(lineStart, b - lineStart);
                while (!candidate.empty() && candidate.back() == ' ')
                    candidate.remove_suffix(1);
                if (m_font.widthOfText(std::string(candidate)) > width && fits > lineStart)
                    break;
                fits = b;
                if (shown[b - 1] == ' ')
                    lastBlank = b;
            }
            size_t lineEnd = fits;
            if (fits < paragraphEnd && lastBlank != std::string::npos && lastBlank > lineStart)
                lineEnd = lastBlank;
            if (lineEnd <= lineStart && lineStart < paragraphEnd)
                lineEnd = paragraph + foundation::nextCharacterBoundary(piece, lineStart - paragraph);
            lines.push_back({ lineStart, lineEnd });
            // Go on from the first boundary after the break.
            index = 0;
            while (index < boundaries.size() && paragraph + boundaries[index] <= lineEnd)
                ++index;
            lineStart = lineEnd;
        } while (lineStart < paragraphEnd);
        if (breakAt == std::string::npos)
            break;
        paragraph = breakAt + 1;
    }
    return lines;
}

int TextView::visibleLineCount() const
{
    return int(std::floor(textRectForBounds(bounds()).height() / m_font.lineHeight()));
}

size_t TextView::lineIndexOf(size_t offset) const
{
    const auto& all = lines();
    // The last line starting at or before offset: a caret where a line wraps stands at the
    // start of the next one.
    size_t index = 0;
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].start <= offset)
            index = i;
    return index;
}

gfx::Point TextView::pointForDisplayOffset(size_t offset) const
{
    const gfx::Rect textRect = textRectForBounds(bounds());
    const auto& all = lines();
    const size_t index = lineIndexOf(offset);
    const Line& line = all[index];
    const std::string& shown = m_layout.text;
    const size_t end = std::clamp(offset, line.start, line.end);
    return { textRect.minX() + m_font.widthOfText(shown.substr(line.start, end - line.start)),
        textRect.minY() + float(index) * m_font.lineHeight() - m_scrollY };
}

size_t TextView::offsetOnLineNearestX(size_t index, float x) const
{
    const auto& all = lines();
    const Line line = all[std::min(index, all.size() - 1)];
    const std::string shown = m_layout.text;
    const float left = textRectForBounds(bounds()).minX();
    size_t best = line.start;
    float bestDistance = -1;
    const auto boundaries = foundation::characterBoundaries(std::string_view(shown).substr(line.start, line.end - line.start));
    for (size_t b : boundaries) {
        const size_t offset = line.start + b;
        // The end of a wrapped line is the next line's start: the caret stays on this line.
        if (offset == line.end && index + 1 < all.size() && all[index + 1].start == line.end && offset > line.start)
            continue;
        const float distance = std::abs(left + m_font.widthOfText(shown.substr(line.start, b)) - x);
        if (bestDistance < 0 || distance < bestDistance) {
            best = offset;
            bestDistance = distance;
        }
    }
    // Display offsets past the composition are text offsets further on.
    const size_t marked = markedText().size();
    if (marked && best > m_edit.caret())
        best = best >= m_edit.caret() + marked ? best - marked : m_edit.caret();
    return best;
}

size_t TextView::offsetForPoint(gfx::Point point) const
{
    const gfx::Rect textRect = textRectForBounds(bounds());
    const float row = std::floor((point.y - textRect.minY() + m_scrollY) / m_font.lineHeight());
    const auto& all = lines();
    if (row < 0)
        return offsetOnLineNearestX(0, point.x);
    if (row >= float(all.size()))
        return m_edit.text().size();
    return offsetOnLineNearestX(size_t(row), point.x);
}

size_t TextView::offsetAbove(size_t offset) const
{
    const size_t index = lineIndexOf(displayOffset(offset));
    if (index == 0)
        return 0;
    return offsetOnLineNearestX(index - 1, pointForDisplayOffset(displayOffset(offset)).x);
}

size_t TextView::offsetBelow(size_t offset) const
{
    const size_t index = lineIndexOf(displayOffset(offset));
    if (index + 1 >= lines().size())
        return m_edit.text().size();
    return offsetOnLineNearestX(index + 1, pointForDisplayOffset(displayOffset(offset)).x);
}

std::pair<size_t, size_t> TextView::lineRangeAt(size_t offset) const
{
    const auto& all = lines();
    const size_t index = lineIndexOf(offset);
    size_t end = all[index].end;
    // End stops before the blank a wrapped line ends with, so the caret stays on the line.
    if (index + 1 < all.size() && all[index + 1].start == end && end > all[index].start)
        end = m_edit.previousBoundary(end);
    return { all[index].start, end };
}

float TextView::maximumScroll() const
{
    // Scrolled to the end, the last line stands at the bottom of the whole lines shown.
    const int shown = std::max(1, visibleLineCount());
    return std::max(0.0f, float(int(lines().size()) - shown) * m_font.lineHeight());
}

void TextView::scrollToCaret()
{
    // In whole lines, so that no sliver of a line shows above or below at rest.
    const float lineHeight = m_font.lineHeight();
    const int shown = std::max(1, visibleLineCount());
    const int index = int(lineIndexOf(displayCaret()));
    const float top = float(index) * lineHeight;
    if (top < m_scrollY)
        m_scrollY = top;
    else if (index >= int(std::floor(m_scrollY / lineHeight + 0.5f)) + shown)
        m_scrollY = float(index + 1 - shown) * lineHeight;
    m_scrollY = std::clamp(m_scrollY, 0.0f, maximumScroll());
}

bool TextView::performKeyCommand(const KeyCommand& command)
{
    // Shift+Return breaks the line; Return alone stays the field's return key.
    if (isEditing() && command.key == Key::Return && command.shift && !command.control && !command.alt) {
        insertText("\n");
        return true;
    }
    return TextField::performKeyCommand(command);
}

void TextView::fillAccessibilityData(AccessibilityData& data) const
{
    TextField::fillAccessibilityData(data);
    data.states |= AccessibilityStateMultiLine;
}

void TextView::scrollWheel(const WheelEvent& event)
{
    const float scrolled = std::clamp(m_scrollY - event.delta.y, 0.0f, maximumScroll());
    if (scrolled == m_scrollY) {
        TextField::scrollWheel(event);
        return;
    }
    m_scrollY = scrolled;
    setNeedsDisplay();
}

void TextView::drawEditedText(gfx::Context& context, const gfx::Rect& textRect)
{
    const auto& all = lines();
    const std::string shown = m_layout.text;
    const float lineHeight = m_font.lineHeight();
    // Lines scrolled partly out are cut at the text's edges (the whole lines it shows), not at
    // the border.
    const float shownHeight = std::min(textRect.height(), float(std::max(1, visibleLineCount())) * lineHeight);
    context.saveGState();
    context.clipToRect(gfx::Rect(textRect.minX() - 2, textRect.minY(), textRect.width() + 4, shownHeight));
    for (size_t i = 0; i < all.size(); ++i) {
        const float y = textRect.minY() + float(i) * lineHeight - m_scrollY;
        if (y + lineHeight < textRect.minY() || y > textRect.maxY())
            continue;
        const bool wraps = i + 1 < all.size() && all[i + 1].start == all[i].end;
        drawLine(context, shown, all[i].start, all[i].end, textRect.minX(), y, !wraps);
    }
    context.restoreGState();
}

} // namespace ui

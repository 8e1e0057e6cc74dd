#pragma once

#include "graphics/Geometry.h"

#include <string>
#include <vector>

namespace gfx {

/// How text that does not fit its width is broken or cut (the platform's values).
enum class LineBreakMode {
    WordWrap = 0,
    CharacterWrap = 1,
    Clip = 2,
    HeadTruncation = 3,
    TailTruncation = 4,
    MiddleTruncation = 5,
};

/// Horizontal placement of text lines in their rectangle (the platform's values).
enum class TextAlignment {
    Left = 0,
    Center = 1,
    Right = 2,
};

/// One laid-out line of text: its characters (UTF-8) and its width in points.
struct TextLine {
    std::string text;
    float width { 0 };
};

/// A font of the system's face at a size in points. The size is the font's pixel size in the
/// 320-point screen before the display's scale is applied, so text takes the same room at
/// every scale and every desktop DPI. Value type; the text calls need the drawing toolkit's
/// application object, which they make (offscreen when nothing else was chosen) if the
/// program has none yet, so they belong on the main thread.
class Font {
public:
    static Font systemFont(float size) { return Font(size, false); }
    static Font boldSystemFont(float size) { return Font(size, true); }

    float pointSize() const { return m_size; }
    bool isBold() const { return m_bold; }

    /// Distance from the top of a line to its baseline.
    float ascender() const;
    /// Distance from the baseline to the bottom of a line (positive).
    float descender() const;
    /// Distance from one baseline to the next.
    float lineHeight() const;
    /// Width of text on one line.
    float widthOfText(const std::string& text) const;

    /// Breaks text into the lines that would be drawn in a rectangle of the given width.
    /// Wrap modes break at words (or anywhere) and honour line breaks in the text; the other
    /// modes keep one line per paragraph, clipped or shortened with an ellipsis. At most
    /// numberOfLines lines, all of them when it is 0. A width at or below 0 means no limit.
    std::vector<TextLine> layoutText(const std::string& text, float width, LineBreakMode mode, int numberOfLines = 0) const;
    /// The size that layoutText's lines take.
    Size sizeOfText(const std::string& text, float width, LineBreakMode mode, int numberOfLines = 0) const;

    /// Makes the drawing toolkit ready for text: creates its application object when the
    /// program has none. Main thread only.
    static void prepareTextSystem();

    friend bool operator==(const Font&, const Font&) = default;

private:
    Font(float size, bool bold)
        : m_size(size)
        , m_bold(bold)
    {
    }

    float m_size { 17 };
    bool m_bold { false };
};

} // namespace gfx

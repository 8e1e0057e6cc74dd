#include "graphics/Font.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QTextLayout>

#include <cmath>
#include <map>
#include <memory>
#include <cstdlib>

namespace gfx {

struct ToolkitFont {
    QFont font;
    QFontMetricsF metrics;
};

namespace {

// The face every screen is designed with; fontconfig substitutes a sans face if it is missing.
constexpr const char* kFamily = "DejaVu Sans";

} // namespace

// Not in a header, so that no header of this layer shows a toolkit type; Context.cpp
// declares it again to draw text with the same face. Fonts and their metrics are made once
// per size and weight (text is drawn on the main thread only).
const ToolkitFont& toolkitFont(const Font& font)
{
    static std::map<std::pair<int, bool>, std::unique_ptr<ToolkitFont>> cache;
    const int pixels = std::max(1, int(std::lround(font.pointSize())));
    auto& entry = cache[{ pixels, font.isBold() }];
    if (!entry) {
        Font::prepareTextSystem();
        QFont qfont(QString::fromLatin1(kFamily));
        qfont.setStyleHint(QFont::SansSerif);
        qfont.setPixelSize(pixels);
        qfont.setBold(font.isBold());
        // Unhinted outlines scale evenly, so a label measured in points fits at any scale.
        qfont.setHintingPreference(QFont::PreferNoHinting);
        entry = std::make_unique<ToolkitFont>(ToolkitFont { qfont, QFontMetricsF(qfont) });
    }
    return *entry;
}

void Font::prepareTextSystem()
{
    if (QCoreApplication::instance())
        return;
    // Kept for the life of the process: the toolkit's text caches hang off it.
    static int argc = 1;
    static char name[] = "parlivo";
    static char* argv[] = { name, nullptr };
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    new QGuiApplication(argc, argv);
}

float Font::ascender() const
{
    return float(toolkitFont(*this).metrics.ascent());
}

float Font::descender() const
{
    return float(toolkitFont(*this).metrics.descent());
}

float Font::lineHeight() const
{
    return float(toolkitFont(*this).metrics.lineSpacing());
}

float Font::widthOfText(const std::string& text) const
{
    return float(toolkitFont(*this).metrics.horizontalAdvance(QString::fromStdString(text)));
}

std::vector<TextLine> Font::layoutText(const std::string& text, float width, LineBreakMode mode, int numberOfLines) const
{
    const QFont& qfont = toolkitFont(*this).font;
    const QFontMetricsF& metrics = toolkitFont(*this).metrics;
    const bool wraps = mode == LineBreakMode::WordWrap || mode == LineBreakMode::CharacterWrap;
    const bool limited = width > 0;
    std::vector<TextLine> lines;
    auto full = [&] { return numberOfLines > 0 && int(lines.size()) >= numberOfLines; };

    const QStringList paragraphs = QString::fromStdString(text).split(QLatin1Char('\n'));
    for (const QString& paragraph : paragraphs) {
        if (full())
            break;
        if (!wraps || !limited) {
            QString shown = paragraph;
            if (limited && mode != LineBreakMode::Clip) {
                Qt::TextElideMode elide = mode == LineBreakMode::HeadTruncation ? Qt::ElideLeft
                    : mode == LineBreakMode::MiddleTruncation                    ? Qt::ElideMiddle
                                                                                 : Qt::ElideRight;
                shown = metrics.elidedText(paragraph, elide, width);
            }
            lines.push_back({ shown.toStdString(), float(metrics.horizontalAdvance(shown)) });
            continue;
        }
        QTextLayout layout(paragraph, qfont);
        QTextOption option;
        option.setWrapMode(mode == LineBreakMode::WordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::WrapAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid() && !full(); line = layout.createLine()) {
            line.setLineWidth(width);
            QString part = paragraph.mid(line.textStart(), line.textLength());
            // Trailing blanks at a break take no room.
            while (part.endsWith(QLatin1Char(' ')))
                part.chop(1);
            lines.push_back({ part.toStdString(), float(metrics.horizontalAdvance(part)) });
        }
        layout.endLayout();
    }
    return lines;
}

Size Font::sizeOfText(const std::string& text, float width, LineBreakMode mode, int numberOfLines) const
{
    auto lines = layoutText(text, width, mode, numberOfLines);
    float widest = 0;
    for (const auto& line : lines)
        widest = std::max(widest, line.width);
    return { std::ceil(widest), std::ceil(lineHeight() * float(lines.size())) };
}

} // namespace gfx

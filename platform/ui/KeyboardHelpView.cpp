#include "ui/KeyboardHelpView.h"

#include "ui/Application.h"
#include "ui/Label.h"
#include "ui/Screen.h"

#include "foundation/Bundle.h"

#include <string>
#include <utility>
#include <vector>

namespace ui {

namespace {

// Each key beside what it does, as display texts.
std::vector<std::pair<std::string, std::string>> shortcuts()
{
    using foundation::localizedString;
    return {
        { localizedString("Shortcut Key Space"), localizedString("Shortcut Play Pause") },
        { localizedString("Shortcut Key R"), localizedString("Shortcut Record") },
        { localizedString("Shortcut Key Tabs"), localizedString("Shortcut Tabs") },
        { localizedString("Shortcut Key Back"), localizedString("Shortcut Back") },
        { localizedString("Shortcut Key Arrows"), localizedString("Shortcut Move In List") },
        { localizedString("Shortcut Key Enter"), localizedString("Shortcut Open Row") },
        { localizedString("Shortcut Key Delete"), localizedString("Shortcut Trash") },
        { localizedString("Shortcut Key Help"), localizedString("Shortcut Help") },
        { localizedString("Shortcut Key Preferences"), localizedString("Shortcut Preferences") },
        { localizedString("Shortcut Key Quit"), localizedString("Shortcut Quit") },
    };
}

constexpr float kTop = 64;
constexpr float kRowHeight = 36;
// The preferences' row, which a tap opens.
constexpr size_t kPreferencesRow = 8;
constexpr float kKeyWidth = 112;
constexpr float kMargin = 12;

std::shared_ptr<Label> makeLabel(const gfx::Rect& frame, const std::string& text, const gfx::Font& font, gfx::TextAlignment alignment)
{
    auto label = std::make_shared<Label>(frame);
    label->setText(text);
    label->setFont(font);
    label->setTextColor(gfx::Color::white());
    label->setBackgroundColor(gfx::Color::clear());
    label->setTextAlignment(alignment);
    label->setNumberOfLines(2);
    label->setLineBreakMode(gfx::LineBreakMode::WordWrap);
    return label;
}

} // namespace

KeyboardHelpView::KeyboardHelpView()
    : View(gfx::Rect({ 0, 0 }, Screen::kDesignSize))
{
    setBackgroundColor(gfx::Color::grey(0, 0.94f));
    const float width = bounds().width();
    addSubview(makeLabel({ kMargin, 28, width - 2 * kMargin, 30 }, foundation::localizedString("Keyboard Shortcuts"), gfx::Font::boldSystemFont(20), gfx::TextAlignment::Center));
    float y = kTop;
    const auto rows = shortcuts();
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& [key, action] = rows[i];
        if (i == kPreferencesRow)
            m_preferencesRow = { 0, y, width, kRowHeight };
        addSubview(makeLabel({ kMargin, y, kKeyWidth, kRowHeight }, key, gfx::Font::boldSystemFont(15), gfx::TextAlignment::Right));
        addSubview(makeLabel({ kMargin * 2 + kKeyWidth, y, width - kKeyWidth - kMargin * 3, kRowHeight }, action, gfx::Font::systemFont(15),
            gfx::TextAlignment::Left));
        y += kRowHeight;
    }
    addSubview(makeLabel({ kMargin, y + 8, width - 2 * kMargin, 40 }, foundation::localizedString("Shortcut Close Help"), gfx::Font::systemFont(13), gfx::TextAlignment::Center));
    // Laid out for the designed screen: a larger one shows the list in its middle.
    auto column = std::make_shared<View>(bounds());
    column->setAutoresizingMask(ViewAutoresizingFlexibleLeftMargin | ViewAutoresizingFlexibleRightMargin | ViewAutoresizingFlexibleTopMargin
        | ViewAutoresizingFlexibleBottomMargin);
    for (const auto& subview : std::vector<std::shared_ptr<View>>(subviews())) {
        subview->removeFromSuperview();
        column->addSubview(subview);
    }
    addSubview(column);
    m_column = column;
    setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    setFrame(Screen::mainScreen().bounds());
}

void KeyboardHelpView::touchesEnded(const TouchSet& touches, const Event&)
{
    auto keep = sharedView();
    const bool preferences = !touches.empty() && preferencesRow().containsPoint(touches.front()->locationInView(this));
    removeFromSuperview();
    if (preferences)
        Application::sharedApplication().showPreferences();
}

} // namespace ui

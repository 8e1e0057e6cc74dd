#include "ui/KeyboardHelpView.h"

#include "ui/Application.h"
#include "ui/Label.h"
#include "ui/Screen.h"

#include "foundation/Bundle.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace ui {

namespace {

// Each key beside what it does, as keys of display texts.
std::vector<std::pair<const char*, const char*>> shortcuts()
{
    return {
        { "Shortcut Key Space", "Shortcut Play Pause" },
        { "Shortcut Key R", "Shortcut Record" },
        { "Shortcut Key Tabs", "Shortcut Tabs" },
        { "Shortcut Key Back", "Shortcut Back" },
        { "Shortcut Key Arrows", "Shortcut Move In List" },
        { "Shortcut Key Enter", "Shortcut Open Row" },
        { "Shortcut Key Focus", "Shortcut Focus" },
        { "Shortcut Key Press", "Shortcut Press" },
        { "Shortcut Key Seek", "Shortcut Seek" },
        { "Shortcut Key Seek Ends", "Shortcut Seek Ends" },
        { "Shortcut Key Alert", "Shortcut Alert" },
        { "Shortcut Key Delete", "Shortcut Trash" },
        { "Shortcut Key Help", "Shortcut Help" },
        { "Shortcut Key Preferences", "Shortcut Preferences" },
        { "Shortcut Key Quit", "Shortcut Quit" },
    };
}

constexpr float kTop = 60;
// Room left under the rows for the closing hint.
constexpr float kBottom = 52;
constexpr float kKeyWidth = 112;
constexpr float kMargin = 12;
constexpr float kRowPadding = 3;

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
    addSubview(makeLabel({ kMargin, 26, width - 2 * kMargin, 30 }, foundation::localizedString("Keyboard Shortcuts"), gfx::Font::boldSystemFont(20), gfx::TextAlignment::Center));
    const auto rows = shortcuts();
    // Each row as tall as its texts; the texts smaller, down to 11 points, until all rows fit.
    const float actionWidth = width - kKeyWidth - kMargin * 3;
    float size = 15;
    std::vector<float> heights;
    for (;; size -= 1) {
        heights.clear();
        float total = 0;
        for (const auto& [keyId, actionId] : rows) {
            const std::string key = foundation::localizedString(keyId);
            const std::string action = foundation::localizedString(actionId);
            const float keyHeight = gfx::Font::boldSystemFont(size).sizeOfText(key, kKeyWidth, gfx::LineBreakMode::WordWrap, 2).height;
            const float actionHeight = gfx::Font::systemFont(size).sizeOfText(action, actionWidth, gfx::LineBreakMode::WordWrap, 2).height;
            heights.push_back(std::ceil(std::max(keyHeight, actionHeight)) + kRowPadding * 2);
            total += heights.back();
        }
        if (total <= bounds().height() - kTop - kBottom || size <= 11)
            break;
    }
    float y = kTop;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string key = foundation::localizedString(rows[i].first);
        const std::string action = foundation::localizedString(rows[i].second);
        if (rows[i].first == std::string("Shortcut Key Preferences"))
            m_preferencesRow = { 0, y, width, heights[i] };
        addSubview(makeLabel({ kMargin, y, kKeyWidth, heights[i] }, key, gfx::Font::boldSystemFont(size), gfx::TextAlignment::Right));
        addSubview(makeLabel({ kMargin * 2 + kKeyWidth, y, actionWidth, heights[i] }, action, gfx::Font::systemFont(size), gfx::TextAlignment::Left));
        y += heights[i];
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

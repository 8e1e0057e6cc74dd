#pragma once

#include "ui/View.h"

namespace ui {

/// The list of keyboard shortcuts, over the whole window on a dark veil: each key beside what
/// it does, in the display texts of the string table. The window shows it for F1 or "?" and
/// takes it away for the same keys, Escape, or a tap anywhere; a tap on the preferences' row
/// also shows the application's preferences. Main thread only.
class KeyboardHelpView : public View {
public:
    KeyboardHelpView();

    /// The row of the preferences' shortcut, in the view's coordinates.
    gfx::Rect preferencesRow() const { return m_column->convertRectToView(m_preferencesRow, this); }

    void touchesEnded(const TouchSet& touches, const Event& event) override;

private:
    gfx::Rect m_preferencesRow;
    std::shared_ptr<View> m_column;
};

} // namespace ui

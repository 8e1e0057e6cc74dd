#pragma once

#include "ui/View.h"

#include <string>

namespace ui {

/// The title above a section of a table: in the plain style a translucent grey-blue bar with
/// white bold text that the table keeps at its top while the section scrolls by; in the
/// grouped style dark text over the table's background. Made and placed by the table; takes
/// no touches. Main thread only.
class TableViewSectionHeader : public View {
public:
    explicit TableViewSectionHeader(bool grouped);

    bool isGrouped() const { return m_grouped; }
    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title);

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    bool m_grouped;
    std::string m_title;
};

} // namespace ui

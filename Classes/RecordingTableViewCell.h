#pragma once

#include "Recording.h"

#include "ui/TableView.h"
#include "ui/TableViewCell.h"

#include <memory>


namespace ui {
class ImageView;
class Label;
}

/// The row of every recordings list: the title in bold with the category under it (left out
/// in a list narrowed to one category), the length and the creation date right-aligned in
/// blue, the recording's photo at the right edge when "showImages" is on, and the "new.png"
/// marker in the standard image slot while the recording was never played.
///
/// The table style, the category flag and "showImages" (read at construction) are fixed for
/// the cell's life. The photo is read from the database and decoded only when the cell is
/// filled, so only rows that come into view cost one. Main thread only.
class RecordingTableViewCell : public ui::TableViewCell {
public:
    /// The row height every list sets on its table.
    static float preferredRowHeight() { return 56.0f; }

    RecordingTableViewCell(const gfx::Rect& frame, const std::string& reuseIdentifier, ui::TableViewStyle style, bool showCategory);
    ~RecordingTableViewCell() override;

    const std::shared_ptr<Recording>& displayedRecording() const { return m_displayedRecording; }
    /// Keeps the recording and fills the labels and images from it. A null recording empties
    /// the cell.
    void setDisplayedRecording(std::shared_ptr<Recording> recording);
    /// Shows "new.png" while the recording's play count is below 1, and with "showImages" on
    /// its photo (or "recording_symbol_small.png" when it has none).
    void refreshImage();

    void setSelected(bool selected, bool animated) override;
    void setHighlighted(bool highlighted, bool animated) override;
    /// A table wider than the screen as designed gives its room to the title and the category;
    /// the length, the date and the photo keep to the right edge.
    void layoutSubviews() override;
    /// Read as "title, category, length, date", with "Unplayed Description" after them while
    /// the recording was never played.
    void fillAccessibilityData(ui::AccessibilityData& data) const override;

    bool showImages() const { return m_showImages; }
    bool showCategory() const { return m_showCategory; }
    float categoryLabelOffset() const { return m_categoryLabelOffset; }
    const std::shared_ptr<ui::ImageView>& imageView() const { return m_imageView; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return m_titleLabel; }
    const std::shared_ptr<ui::Label>& categoryLabel() const { return m_categoryLabel; }
    const std::shared_ptr<ui::Label>& dateLabel() const { return m_dateLabel; }
    const std::shared_ptr<ui::Label>& lengthLabel() const { return m_lengthLabel; }

private:
    void updateLabelHighlight();

    std::shared_ptr<Recording> m_displayedRecording;
    /// The photo last shown and its decoded picture.
    RecordingImage m_photoBytes;
    std::shared_ptr<gfx::Image> m_photo;
    std::shared_ptr<ui::ImageView> m_imageView;
    std::shared_ptr<ui::Label> m_titleLabel;
    float m_titleWidth { 0 };
    std::shared_ptr<ui::Label> m_categoryLabel;
    std::shared_ptr<ui::Label> m_dateLabel;
    std::shared_ptr<ui::Label> m_lengthLabel;
    bool m_showImages { false };
    bool m_showCategory { true };
    float m_categoryLabelOffset { 0 };
};

#pragma once

#include "ui/Label.h"
#include "ui/TableViewDataSource.h"
#include "ui/View.h"

#include "graphics/Image.h"

#include <memory>
#include <string>

namespace ui {

class Button;
class ImageView;

/// What a cell shows at its right edge (the platform's values).
enum class TableViewCellAccessoryType {
    None = 0,
    DisclosureIndicator = 1,
    DetailDisclosureButton = 2,
    Checkmark = 3,
};

/// How a cell shows that it is selected (the platform's values).
enum class TableViewCellSelectionStyle {
    None = 0,
    Blue = 1,
    Gray = 2,
};

/// One row of a table: a content view holding the standard text label and image slot (and
/// whatever a subclass adds), an accessory at the right, and the table's editing controls.
///
/// Selected or highlighted, the cell shows a gradient behind its content and turns its text
/// label to the highlighted colour (white); setSelected and setHighlighted are the places
/// subclasses override to do the same for their own labels (calling these first). An
/// animated deselection fades the gradient out. In editing mode (set by the table), a row
/// with the delete editing style shows a round red delete control at its left and its
/// content moves right; the table then shows the Delete button on the row when the control is
/// tapped or the row is swiped.
///
/// A cell has no background of its own: a plain table paints white behind its rows (and
/// gives the rows a white background while they move over each other), a grouped one draws
/// the rounded box. Cells are made by the table's data source and reused by the table under their reuse
/// identifier: prepareForReuse runs before a cell is handed out again. Main thread only.
class TableViewCell : public View {
public:
    /// The room the delete control takes at the left in editing mode.
    static constexpr float kEditingIndent = 32;
    /// The size of the Delete button.
    static constexpr float kDeleteButtonWidth = 64;
    static constexpr float kDeleteButtonHeight = 30;
    /// Where the standard text and image start in the content view.
    static constexpr float kContentMargin = 10;

    TableViewCell(const gfx::Rect& frame, const std::string& reuseIdentifier);
    ~TableViewCell() override;

    const std::string& reuseIdentifier() const { return m_reuseIdentifier; }
    /// Called by the table before the cell is handed out again: clears selection,
    /// highlight and the Delete button. Subclasses reset their own state and call this.
    virtual void prepareForReuse();

    /// Holds the text label, the image and a subclass's own views; it moves and narrows for
    /// the editing controls and the accessory.
    View& contentView() const { return *m_contentView; }
    /// The standard label: bold system font 20, black, white when highlighted.
    Label& textLabel() const { return *m_textLabel; }
    const std::string& text() const;
    void setText(const std::string& text);
    /// The standard image at the content's left edge, vertically centred; the text follows it.
    std::shared_ptr<gfx::Image> image() const;
    void setImage(std::shared_ptr<gfx::Image> image);

    TableViewCellAccessoryType accessoryType() const { return m_accessoryType; }
    void setAccessoryType(TableViewCellAccessoryType type);
    /// Whether the accessory goes away in editing mode (default true).
    bool hidesAccessoryWhenEditing() const { return m_hidesAccessoryWhenEditing; }
    void setHidesAccessoryWhenEditing(bool hides);
    TableViewCellSelectionStyle selectionStyle() const { return m_selectionStyle; }
    void setSelectionStyle(TableViewCellSelectionStyle style);

    bool isSelected() const { return m_selected; }
    /// Shows or hides the selection; animated, the gradient fades out (0.3 s) when deselected.
    virtual void setSelected(bool selected, bool animated);
    bool isHighlighted() const { return m_highlighted; }
    /// The highlight of a finger on the row; looks like the selection.
    virtual void setHighlighted(bool highlighted, bool animated);
    bool isEditing() const { return m_editing; }
    /// Editing mode: the delete control slides in (animated) when the row's editing style is
    /// Delete, the accessory goes when hidesAccessoryWhenEditing.
    virtual void setEditing(bool editing, bool animated);
    TableViewCellEditingStyle editingStyle() const { return m_editingStyle; }
    /// Whether the red Delete button shows on the row.
    bool showingDeleteConfirmation() const { return m_showingDeleteConfirmation; }

    void layoutSubviews() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    /// A list item read whole: named by its text, else by its labels' texts in reading order
    /// joined by commas; selectable, selected while selected; Press chooses its row. Its
    /// children are only the controls it shows (a switch, the delete button).
    void fillAccessibilityData(AccessibilityData& data) const override;
    std::vector<View*> accessibilityChildViews() const override;
    bool performAccessibilityAction(AccessibilityAction action, int part) override;

    /// The duration of the editing, confirmation and deselection animations.
    static constexpr double kAnimationDuration = 0.3;

private:
    friend class TableView;

    /// Where the cell sits in its section, which sets how its background is drawn.
    enum class Position { Plain, Single, Top, Middle, Bottom };
    void setPosition(Position position);
    void setEditingStyle(TableViewCellEditingStyle style) { m_editingStyle = style; }
    void setShowingDeleteConfirmation(bool showing, bool animated);
    /// The table's handlers of the delete control and the Delete button.
    void setEditingHandlers(std::function<void(TableViewCell&)> onDeleteControl, std::function<void(TableViewCell&)> onDelete);
    const Button& deleteButton() const { return *m_deleteButton; }
    const Button& deleteControl() const { return *m_deleteControl; }

    bool showsSelection() const { return (m_selected || m_highlighted) && m_selectionStyle != TableViewCellSelectionStyle::None; }
    void updateSelectionLook(bool animated);
    void updateAccessoryImage();
    void layoutAnimated(bool animated);
    gfx::Path backgroundPath(const gfx::Rect& rect) const;

    std::string m_reuseIdentifier;
    std::shared_ptr<ImageView> m_selectionView;
    std::shared_ptr<View> m_contentView;
    std::shared_ptr<Label> m_textLabel;
    std::shared_ptr<ImageView> m_imageView;
    std::shared_ptr<ImageView> m_accessoryView;
    std::shared_ptr<Button> m_deleteControl;
    std::shared_ptr<Button> m_deleteButton;
    std::function<void(TableViewCell&)> m_onDeleteControl;
    std::function<void(TableViewCell&)> m_onDelete;

    TableViewCellAccessoryType m_accessoryType { TableViewCellAccessoryType::None };
    bool m_hidesAccessoryWhenEditing { true };
    TableViewCellSelectionStyle m_selectionStyle { TableViewCellSelectionStyle::Blue };
    bool m_selected { false };
    bool m_highlighted { false };
    bool m_editing { false };
    TableViewCellEditingStyle m_editingStyle { TableViewCellEditingStyle::Delete };
    bool m_showingDeleteConfirmation { false };
    Position m_position { Position::Plain };
    gfx::Size m_selectionImageSize;
};

} // namespace ui

#pragma once

#include "ui/BarItem.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ui {

/// The platform's ready-made bar button items (its values; those in use here).
enum class BarButtonSystemItem {
    Done = 0,
    Cancel = 1,
    Edit = 2,
    Save = 3,
    Add = 4,
    FlexibleSpace = 5,
    FixedSpace = 6,
};

/// The look of a bar button item (the platform's values).
enum class BarButtonItemStyle {
    /// A glowing title or image without a border (toolbars).
    Plain = 0,
    /// A title or image in a glossy rounded button.
    Bordered = 1,
    /// Bordered and blue: the button that completes a task.
    Done = 2,
};

class BarButtonItem;

/// What a bar button item calls when tapped: the target's action with the item as sender.
using BarButtonAction = std::function<void(BarButtonItem& sender)>;

/// A button on a toolbar or a navigation bar: a title or an image in a style, or one of the
/// system's items (Edit, Done, flexible space…), with an action. Items live in shared_ptr;
/// bars show them without owning more than a reference. Main thread only.
class BarButtonItem : public BarItem {
public:
    /// A system item; Edit, Done, Cancel and Save carry the platform's titles, Add a plus,
    /// and the spaces take room only (they have no action).
    static std::shared_ptr<BarButtonItem> withSystemItem(BarButtonSystemItem item, BarButtonAction action = {});
    static std::shared_ptr<BarButtonItem> withTitle(const std::string& title, BarButtonItemStyle style, BarButtonAction action = {});
    static std::shared_ptr<BarButtonItem> withImage(std::shared_ptr<gfx::Image> image, BarButtonItemStyle style, BarButtonAction action = {});

    BarButtonItemStyle style() const { return m_style; }
    void setStyle(BarButtonItemStyle style);
    /// The width of a fixed space, or of the button (0: as wide as its content).
    float width() const { return m_width; }
    void setWidth(float width);
    std::optional<BarButtonSystemItem> systemItem() const { return m_systemItem; }
    bool isSpace() const;
    void setAction(BarButtonAction action) { m_action = std::move(action); }
    bool hasAction() const { return static_cast<bool>(m_action); }
    /// Calls the action (nothing when the item is disabled or has none); the item is kept
    /// alive for the call.
    void sendAction();

private:
    BarButtonItemStyle m_style { BarButtonItemStyle::Plain };
    float m_width { 0 };
    std::optional<BarButtonSystemItem> m_systemItem;
    BarButtonAction m_action;
};

} // namespace ui

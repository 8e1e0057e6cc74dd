#pragma once

#include "ui/Control.h"

#include "graphics/Color.h"
#include "graphics/Font.h"
#include "graphics/Image.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ui {

/// The kinds of button (the platform's values).
enum class ButtonType {
    /// Draws only what it is given: images, background images and titles.
    Custom = 0,
    /// A white rounded rectangle with a blue title, turning blue when pressed.
    RoundedRect = 1,
};

/// Insets of a rectangle's edges, in points; negative values grow it.
struct EdgeInsets {
    float top { 0 };
    float left { 0 };
    float bottom { 0 };
    float right { 0 };

    gfx::Rect inset(const gfx::Rect& rect) const
    {
        return gfx::Rect(rect.x() + left, rect.y() + top, rect.width() - left - right, rect.height() - top - bottom);
    }
    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

/// A push button with a title, an image and a background image per state.
///
/// What a state shows is the value set for exactly that state, else (for combined states)
/// the highlighted or selected value, else the normal value. The background image fills the
/// bounds (stretched by its caps when it is stretchable); the image and the title are centred
/// side by side in the bounds less the content insets, the title moved by its own insets.
/// A highlighted custom button darkens its images unless told otherwise, and a button that
/// shows touch when highlighted draws a white glow at its centre. Main thread only.
class Button : public Control {
public:
    /// A button of the given kind with an empty frame.
    static std::shared_ptr<Button> buttonWithType(ButtonType type);
    /// A custom button (the platform's plain button made with a frame).
    explicit Button(const gfx::Rect& frame = {}, ButtonType type = ButtonType::Custom);

    ButtonType buttonType() const { return m_type; }

    /// Per-state content; an empty title, a null colour or image clears that state's value.
    void setTitleForState(const std::string& title, unsigned state);
    void setTitleColorForState(std::optional<gfx::Color> color, unsigned state);
    void setTitleShadowColorForState(std::optional<gfx::Color> color, unsigned state);
    void setImageForState(std::shared_ptr<gfx::Image> image, unsigned state);
    void setBackgroundImageForState(std::shared_ptr<gfx::Image> image, unsigned state);
    /// The value set for exactly that state (empty or null when none).
    std::string titleForState(unsigned state) const;
    std::optional<gfx::Color> titleColorForState(unsigned state) const;
    std::shared_ptr<gfx::Image> imageForState(unsigned state) const;
    std::shared_ptr<gfx::Image> backgroundImageForState(unsigned state) const;
    /// What the button shows now.
    std::string currentTitle() const;
    gfx::Color currentTitleColor() const;
    std::shared_ptr<gfx::Image> currentImage() const;
    std::shared_ptr<gfx::Image> currentBackgroundImage() const;

    gfx::Font font() const { return m_font; }
    void setFont(const gfx::Font& font);
    /// Above 0, a title too wide for the button is drawn smaller, down to this size, before it
    /// is cut short (0, the default: never smaller).
    float minimumFontSize() const { return m_minimumFontSize; }
    void setMinimumFontSize(float size);
    /// The font the current title is drawn in at the button's size: font(), or smaller as above.
    gfx::Font fittedFont() const;
    EdgeInsets titleEdgeInsets() const { return m_titleInsets; }
    void setTitleEdgeInsets(const EdgeInsets& insets);
    EdgeInsets imageEdgeInsets() const { return m_imageInsets; }
    void setImageEdgeInsets(const EdgeInsets& insets);
    EdgeInsets contentEdgeInsets() const { return m_contentInsets; }
    void setContentEdgeInsets(const EdgeInsets& insets);
    bool showsTouchWhenHighlighted() const { return m_showsTouch; }
    void setShowsTouchWhenHighlighted(bool shows);
    bool adjustsImageWhenHighlighted() const { return m_adjustsImage; }
    void setAdjustsImageWhenHighlighted(bool adjusts);
    bool adjustsImageWhenDisabled() const { return m_adjustsImageDisabled; }
    void setAdjustsImageWhenDisabled(bool adjusts) { m_adjustsImageDisabled = adjusts; }

    /// Where the title and the image are drawn within bounds (for layout and tests).
    gfx::Rect titleRectForContentRect(const gfx::Rect& contentRect) const;
    gfx::Rect imageRectForContentRect(const gfx::Rect& contentRect) const;
    gfx::Rect contentRectForBounds(const gfx::Rect& bounds) const;

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    /// Room for the title and image with the insets (and the rounded rectangle's padding).
    gfx::Size sizeThatFits(gfx::Size size) const override;
    /// A push button named by its current title (a button showing only a picture is named by
    /// its screen, View::setAccessibilityName).
    void fillAccessibilityData(AccessibilityData& data) const override;

private:
    template<typename T>
    static std::optional<T> lookUp(const std::map<unsigned, T>& values, unsigned state);
    template<typename T>
    void store(std::map<unsigned, T>& values, unsigned state, std::optional<T> value);
    gfx::Size titleSize() const;
    void drawRoundedRect(gfx::Context& context);

    ButtonType m_type;
    std::map<unsigned, std::string> m_titles;
    std::map<unsigned, gfx::Color> m_titleColors;
    std::map<unsigned, gfx::Color> m_titleShadowColors;
    std::map<unsigned, std::shared_ptr<gfx::Image>> m_images;
    std::map<unsigned, std::shared_ptr<gfx::Image>> m_backgroundImages;
    gfx::Font m_font { gfx::Font::boldSystemFont(15) };
    float m_minimumFontSize { 0 };
    EdgeInsets m_titleInsets;
    EdgeInsets m_imageInsets;
    EdgeInsets m_contentInsets;
    bool m_showsTouch { false };
    bool m_adjustsImage { true };
    bool m_adjustsImageDisabled { true };
};

} // namespace ui

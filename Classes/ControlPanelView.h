#pragma once

#include "graphics/Gradient.h"
#include "ui/Slider.h"
#include "ui/View.h"

#include <memory>
#include <optional>

namespace ui {
class Slider;
}

/// The dark panel behind a group of the studio's and the playback screen's controls: a grey
/// gradient painted from y 1 to y 31 of the view, whatever its height, and nothing elsewhere
/// (what lies below shows through). Main thread.
class ControlPanelView : public ui::View {
public:
    explicit ControlPanelView(const gfx::Rect& frame);

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

    /// The position slider of a playback panel: 0 to 100 until a recording sets its length, and
    /// reporting its value only when let go.
    static std::shared_ptr<ui::Slider> makePlaybackSlider(const gfx::Rect& frame);
    /// Where a seek key moves the sound shown by a playback slider: Left and Right 5 s back and
    /// on, Home the start, End the end; nothing for other keys.
    static std::optional<double> seekTargetForKey(const ui::Slider& slider, ui::Key key);
    static constexpr float kSeekStep = 5;

    bool drawTab() const { return m_drawTab; }
    void setDrawTab(bool drawTab) { m_drawTab = drawTab; }

private:
    bool m_drawTab { false };
    gfx::Gradient m_gradient;
    gfx::Point m_gradientStartPoint { 0, 1 };
    gfx::Point m_gradientEndPoint { 0, 31 };
};

#include "ControlPanelView.h"

#include "ui/Slider.h"

#include <algorithm>

ControlPanelView::ControlPanelView(const gfx::Rect& frame)
    : ui::View(frame)
    , m_gradient(gfx::Gradient::withColorComponents(gfx::ColorSpace::DeviceRGB,
          { 0.4f, 0.4f, 0.4f, 1.0f, 0.06f, 0.06f, 0.06f, 1.0f }, { 0.0f, 1.0f }))
{
}

void ControlPanelView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    context.drawLinearGradient(m_gradient, m_gradientStartPoint, m_gradientEndPoint, 0);
}

std::shared_ptr<ui::Slider> ControlPanelView::makePlaybackSlider(const gfx::Rect& frame)
{
    auto slider = std::make_shared<ui::Slider>(frame);
    slider->setBackgroundColor(gfx::Color::clear());
    slider->setMinimumValue(0);
    slider->setMaximumValue(100);
    slider->setContinuous(false);
    slider->setValue(0);
    // The arrows on the focused slider seek as the screen's seek keys do.
    slider->setKeyboardStep(kSeekStep);
    return slider;
}

std::optional<double> ControlPanelView::seekTargetForKey(const ui::Slider& slider, ui::Key key)
{
    const double value = slider.value();
    switch (key) {
    case ui::Key::Left:
        return std::max(double(slider.minimumValue()), value - kSeekStep);
    case ui::Key::Right:
        return std::min(double(slider.maximumValue()), value + kSeekStep);
    case ui::Key::Home:
        return double(slider.minimumValue());
    case ui::Key::End:
        return double(slider.maximumValue());
    default:
        return std::nullopt;
    }
}

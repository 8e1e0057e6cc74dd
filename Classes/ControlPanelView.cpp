#include "ControlPanelView.h"

#include "ui/Slider.h"

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
    return slider;
}

#include "ui/Touch.h"

#include "ui/View.h"

namespace ui {

Touch::Touch(std::shared_ptr<View> view, Window* window, gfx::Point windowLocation, double timestamp, int tapCount)
    : m_view(std::move(view))
    , m_window(window)
    , m_location(windowLocation)
    , m_previousLocation(windowLocation)
    , m_timestamp(timestamp)
    , m_tapCount(tapCount)
{
}

gfx::Point Touch::locationInView(const View* view) const
{
    return view ? view->convertPointFromView(m_location, nullptr) : m_location;
}

gfx::Point Touch::previousLocationInView(const View* view) const
{
    return view ? view->convertPointFromView(m_previousLocation, nullptr) : m_previousLocation;
}

void Touch::update(TouchPhase phase, gfx::Point windowLocation, double timestamp)
{
    m_previousLocation = m_location;
    m_location = windowLocation;
    m_timestamp = timestamp;
    m_phase = phase;
}

} // namespace ui

#include "ui/FrameClock.h"

#include "ui/ViewAnimator.h"
#include "ui/Window.h"

#include "foundation/RunLoop.h"

namespace ui {

FrameClock& FrameClock::shared()
{
    static FrameClock clock;
    return clock;
}

bool FrameClock::isRunning() const
{
    return m_timer && m_timer->isValid();
}

void FrameClock::request()
{
    if (isRunning())
        return;
    // A timer of a run loop that has since been replaced is invalid, so this starts afresh.
    m_timer = foundation::RunLoop::main().scheduleTimer(kFrameInterval, true, [this](foundation::Timer&) { tick(); });
}

void FrameClock::tick()
{
    ++m_frames;
    ViewAnimator::shared().step();
    Window::displayAllIfNeeded();
    if (!ViewAnimator::shared().hasRunningAnimations() && !Window::anyNeedsDisplay() && m_timer) {
        m_timer->invalidate();
        m_timer.reset();
    }
}

} // namespace ui

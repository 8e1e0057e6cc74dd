#include "ui/FrameClock.h"

#include "ui/ViewAnimator.h"
#include "ui/Window.h"

#include "foundation/RunLoop.h"

#include <algorithm>

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

std::shared_ptr<void> FrameClock::startMotion(MotionStep step)
{
    auto motion = std::make_shared<MotionStep>(std::move(step));
    m_motions.push_back(motion);
    request();
    return motion;
}

bool FrameClock::hasMotions() const
{
    return std::any_of(m_motions.begin(), m_motions.end(), [](const auto& m) { return !m.expired(); });
}

void FrameClock::stepMotions(double now)
{
    // A step may start or end motions, so it works on a copy; the handle is held for the call.
    for (const auto& weakMotion : std::vector<std::weak_ptr<MotionStep>>(m_motions)) {
        auto motion = weakMotion.lock();
        if (motion && !(*motion)(now))
            std::erase_if(m_motions, [&](const auto& m) { return m.lock() == motion; });
    }
    std::erase_if(m_motions, [](const auto& m) { return m.expired(); });
}

void FrameClock::tick()
{
    ++m_frames;
    stepMotions(foundation::RunLoop::main().now());
    ViewAnimator::shared().step();
    Window::displayAllIfNeeded();
    if (!hasMotions() && !ViewAnimator::shared().hasRunningAnimations() && !Window::anyNeedsDisplay() && m_timer) {
        m_timer->invalidate();
        m_timer.reset();
    }
}

} // namespace ui

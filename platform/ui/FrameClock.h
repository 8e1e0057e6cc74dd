#pragma once

#include <functional>
#include <memory>

namespace foundation {
class Timer;
}

namespace ui {

/// Drives the screen: while something animates or waits to be redrawn it ticks sixty times
/// a second on the main run loop, steps the animations and lets each window display; when
/// nothing moves it stops, so an idle program wakes only for its own timers. Main thread.
class FrameClock {
public:
    static FrameClock& shared();

    /// Makes sure a tick comes soon (at the next frame time); cheap to call often.
    void request();
    /// One frame now: animations step, windows that need it display. The clock goes on
    /// ticking only while animations run.
    void tick();
    bool isRunning() const;
    /// Frames ticked since the start (for measurements and tests).
    long frameCount() const { return m_frames; }

    static constexpr double kFrameInterval = 1.0 / 60.0;

private:
    std::shared_ptr<foundation::Timer> m_timer;
    long m_frames { 0 };
};

} // namespace ui

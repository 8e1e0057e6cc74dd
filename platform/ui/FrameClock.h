#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace foundation {
class Timer;
}

namespace ui {

/// Drives the screen: while something animates, moves or waits to be redrawn it ticks sixty
/// times a second on the main run loop, steps the motions (flings), then the animation blocks,
/// and lets each window display; when nothing moves it stops, so an idle program wakes only
/// for its own timers. Main thread.
class FrameClock {
public:
    static FrameClock& shared();

    /// Makes sure a tick comes soon (at the next frame time); cheap to call often.
    void request();
    /// One frame now: motions and animations step, windows that need it display. The clock
    /// goes on ticking only while motions or animations run.
    void tick();

    /// Called on every frame with the run loop's time in seconds, until it returns false.
    using MotionStep = std::function<bool(double now)>;
    /// Starts a motion that is not an animation block (a fling): step runs on each tick, the
    /// first one a frame from now. The motion lives as long as the returned handle and the step
    /// returning true; dropping the handle ends it without another call, so an owner keeps the
    /// handle as a member and the step may use the owner.
    [[nodiscard]] std::shared_ptr<void> startMotion(MotionStep step);
    /// Whether some motion is still going.
    bool hasMotions() const;
    bool isRunning() const;
    /// Frames ticked since the start (for measurements and tests).
    long frameCount() const { return m_frames; }

    static constexpr double kFrameInterval = 1.0 / 60.0;

private:
    void stepMotions(double now);

    std::shared_ptr<foundation::Timer> m_timer;
    std::vector<std::weak_ptr<MotionStep>> m_motions;
    long m_frames { 0 };
};

} // namespace ui

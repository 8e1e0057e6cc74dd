#pragma once

#include <deque>

namespace ui {

/// The motion of one scrolling axis after the finger lets go, as a pure value with no view
/// and no clock: the owner feeds it drag positions with their times, releases it, and then
/// asks for the position dt seconds later on each frame until it stops.
///
/// A free fling slows by a friction given as the fraction of its speed kept after one second,
/// whatever the frame rate (the motion is integrated exactly, not per call). Past a limit it
/// bounces: a critically damped spring pulls it back to the edge without oscillating, so it
/// overshoots by about speed / (e × 12) points and settles within half a second. With detents
/// (a picker: one row is one unit) a release picks the detent nearest to where friction alone
/// would have stopped and eases onto it exactly, so the motion always ends on a detent.
///
/// Positions are in points (the content offset), velocities in points per second, times in
/// seconds. Limits with maximum below minimum act as minimum == maximum. Not thread-safe; the
/// scroll view and the picker use it on the main thread.
class ScrollMomentum {
public:
    /// The fraction of its speed a fling keeps after one second unless told otherwise.
    static constexpr double kDefaultFriction = 0.135;
    /// The spring that brings a bounce back, in radians per second.
    static constexpr double kSpringRate = 12;
    /// Below this speed a fling counts as stopped.
    static constexpr double kStopSpeed = 10;
    /// Releases are never faster than this.
    static constexpr double kMaxSpeed = 8000;

    ScrollMomentum() = default;

    void setLimits(double minimum, double maximum);
    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    /// The fraction of speed kept after a second, clamped to 0.0001–0.9999.
    void setFriction(double fractionKeptPerSecond);
    double friction() const { return m_friction; }
    /// The spacing of the detents (from the minimum); 0 (the default) has none.
    void setDetentSpacing(double unit);
    double detentSpacing() const { return m_detent; }
    /// Whether a fling may run past the limits and bounce back (default true); without it a
    /// fling stops at the limit it reaches.
    void setBounces(bool bounces) { m_bounces = bounces; }
    bool bounces() const { return m_bounces; }

    /// Starts following a finger at position; any motion stops.
    void beginDrag(double position, double time);
    /// The finger moved the content to position. Ignored when no drag is on.
    void dragTo(double position, double time);
    /// Lets go at time with the speed of the last tenth of a second of the drag (none when the
    /// finger had rested longer than that). Ignored when no drag is on.
    void endDrag(double time);
    /// Lets go at position with velocity: coasts, bounces or settles on a detent from there.
    void releasedWithVelocity(double position, double velocity);
    /// Ends any motion at once where it is, except that a position beyond a limit or between
    /// detents still settles onto the nearest allowed one.
    void stop();
    /// Moves from where it is onto target (an animated scroll), keeping the current velocity;
    /// target is taken as given, even beyond the limits.
    void moveTo(double target) { settleOn(target); }
    /// Jumps to position and rests there, whatever the limits (the owner's own offset change).
    void setPosition(double position);

    /// Moves the motion on by dt seconds (negative counts as 0) and answers the new position.
    /// While resting or dragging the position does not change.
    double advance(double dt);

    double position() const { return m_position; }
    double velocity() const { return m_velocity; }
    bool isDragging() const { return m_mode == Mode::Dragging; }
    /// Whether nothing is moving: no drag, no fling, no bounce.
    bool isStopped() const { return m_mode == Mode::Resting; }
    /// Where a settling motion will end (a detent or a limit); the position otherwise.
    double target() const { return m_mode == Mode::Settling || m_mode == Mode::Coasting ? m_target : m_position; }

    /// The position shown for a drag that has gone offset past a limit: the overshoot grows
    /// ever more slowly and never reaches dimension (the visible extent along the axis).
    static double rubberBand(double position, double minimum, double maximum, double dimension);

private:
    enum class Mode { Resting, Dragging, Coasting, Settling };
    struct Sample {
        double time;
        double position;
    };

    void advanceCoasting(double dt);
    void advanceSettling(double dt);
    void settleOn(double target);
    double clamped(double position) const;
    double nearestDetent(double position) const;

    double m_minimum { 0 };
    double m_maximum { 0 };
    double m_friction { kDefaultFriction };
    double m_detent { 0 };
    bool m_bounces { true };
    Mode m_mode { Mode::Resting };
    double m_position { 0 };
    double m_velocity { 0 };
    /// Coasting: the decay rate per second and, with detents, the detent it ends on.
    double m_decay { 0 };
    double m_target { 0 };
    std::deque<Sample> m_samples;
};

} // namespace ui

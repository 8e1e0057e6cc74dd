#include "ui/ScrollMomentum.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

// Long frames are integrated in slices this short, so a bounce starts near the edge.
constexpr double kMaxSlice = 1.0 / 240.0;
// The drag samples a release takes its speed from.
constexpr double kVelocityWindow = 0.1;
// Closer than this to where it settles, a motion ends there.
constexpr double kSettleDistance = 0.5;
// A detent approach whose decay would be faster than this springs onto it instead.
constexpr double kMaxDetentDecay = 30;
// How hard the rubber band resists a drag past the edge.
constexpr double kRubberBandStiffness = 0.55;

} // namespace

void ScrollMomentum::setLimits(double minimum, double maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
}

void ScrollMomentum::setFriction(double fractionKeptPerSecond)
{
    m_friction = std::clamp(fractionKeptPerSecond, 0.0001, 0.9999);
}

void ScrollMomentum::setDetentSpacing(double unit)
{
    m_detent = unit > 0 ? unit : 0;
}

double ScrollMomentum::clamped(double position) const
{
    return std::clamp(position, m_minimum, m_maximum);
}

double ScrollMomentum::nearestDetent(double position) const
{
    double p = clamped(position);
    if (m_detent <= 0)
        return p;
    double detent = m_minimum + std::round((p - m_minimum) / m_detent) * m_detent;
    // The last detent may lie short of the maximum; never answer one past it.
    if (detent > m_maximum + 1e-9)
        detent -= m_detent;
    return std::max(detent, m_minimum);
}

void ScrollMomentum::beginDrag(double position, double time)
{
    m_mode = Mode::Dragging;
    m_position = position;
    m_velocity = 0;
    m_samples.clear();
    m_samples.push_back({ time, position });
}

void ScrollMomentum::dragTo(double position, double time)
{
    if (m_mode != Mode::Dragging)
        return;
    m_position = position;
    m_samples.push_back({ time, position });
    while (m_samples.size() > 2 && time - m_samples.front().time > kVelocityWindow)
        m_samples.pop_front();
}

void ScrollMomentum::endDrag(double time)
{
    if (m_mode != Mode::Dragging)
        return;
    double velocity = 0;
    if (m_samples.size() >= 2 && time - m_samples.back().time <= kVelocityWindow) {
        // The oldest sample still inside the window, measured from the newest one.
        const Sample& last = m_samples.back();
        auto first = std::find_if(m_samples.begin(), m_samples.end(), [&](const Sample& s) { return last.time - s.time <= kVelocityWindow; });
        if (first != m_samples.end() && last.time > first->time)
            velocity = (last.position - first->position) / (last.time - first->time);
    }
    m_samples.clear();
    releasedWithVelocity(m_position, velocity);
}

void ScrollMomentum::releasedWithVelocity(double position, double velocity)
{
    m_position = position;
    m_velocity = std::clamp(std::isfinite(velocity) ? velocity : 0.0, -kMaxSpeed, kMaxSpeed);
    m_samples.clear();
    const double naturalDecay = -std::log(m_friction);
    if (position < m_minimum || position > m_maximum) {
        settleOn(nearestDetent(position));
        return;
    }
    if (m_detent <= 0) {
        if (std::abs(m_velocity) < kStopSpeed) {
            m_mode = Mode::Resting;
            m_velocity = 0;
            return;
        }
        m_mode = Mode::Coasting;
        m_decay = naturalDecay;
        m_target = clamped(position + m_velocity / naturalDecay);
        return;
    }
    // Friction alone would stop at position + velocity / decay; the detent nearest to that
    // is where the motion ends, reached by the decay that stops exactly there.
    const double target = nearestDetent(position + m_velocity / naturalDecay);
    const double distance = target - position;
    const double decay = distance != 0 ? m_velocity / distance : 0;
    if (std::abs(m_velocity) >= kStopSpeed && decay > 0 && decay <= kMaxDetentDecay && std::abs(distance) >= kSettleDistance) {
        m_mode = Mode::Coasting;
        m_decay = decay;
        m_target = target;
        return;
    }
    settleOn(target);
}

void ScrollMomentum::settleOn(double target)
{
    m_target = target;
    m_mode = Mode::Settling;
    if (std::abs(m_position - target) < kSettleDistance && std::abs(m_velocity) < kStopSpeed) {
        m_position = target;
        m_velocity = 0;
        m_mode = Mode::Resting;
    }
}

void ScrollMomentum::stop()
{
    if (m_mode == Mode::Dragging)
        m_samples.clear();
    m_velocity = 0;
    const double allowed = nearestDetent(m_position);
    if (allowed != m_position)
        settleOn(allowed);
    else
        m_mode = Mode::Resting;
}

void ScrollMomentum::setPosition(double position)
{
    m_position = position;
    m_velocity = 0;
    m_samples.clear();
    m_mode = Mode::Resting;
}

double ScrollMomentum::advance(double dt)
{
    double remaining = std::max(dt, 0.0);
    while (remaining > 0 && (m_mode == Mode::Coasting || m_mode == Mode::Settling)) {
        const double slice = std::min(remaining, kMaxSlice);
        remaining -= slice;
        if (m_mode == Mode::Coasting)
            advanceCoasting(slice);
        else
            advanceSettling(slice);
    }
    return m_position;
}

void ScrollMomentum::advanceCoasting(double dt)
{
    // v(t) = v0 e^(-kt), so x(t) = x0 + v0 (1 - e^(-kt)) / k: exact for any dt.
    if (m_detent <= 0) {
        // Reaching a limit within this slice: coast exactly to it and bounce from there.
        const double edge = m_velocity > 0 ? m_maximum : m_minimum;
        const double fraction = (edge - m_position) * m_decay / m_velocity;
        if (fraction >= 0 && fraction < 1) {
            const double tEdge = -std::log(1 - fraction) / m_decay;
            if (tEdge < dt) {
                m_position = edge;
                m_velocity *= 1 - fraction;
                if (!m_bounces) {
                    m_velocity = 0;
                    m_mode = Mode::Resting;
                    return;
                }
                settleOn(edge);
                advanceSettling(dt - tEdge);
                return;
            }
        }
    }
    const double kept = std::exp(-m_decay * dt);
    m_position += m_velocity * (1 - kept) / m_decay;
    m_velocity *= kept;
    if (m_detent > 0) {
        if (std::abs(m_target - m_position) < kSettleDistance || (m_target - m_position) * m_velocity <= 0) {
            m_position = m_target;
            m_velocity = 0;
            m_mode = Mode::Resting;
        }
        return;
    }
    if (m_position < m_minimum || m_position > m_maximum) {
        const double edge = clamped(m_position);
        if (!m_bounces) {
            m_position = edge;
            m_velocity = 0;
            m_mode = Mode::Resting;
            return;
        }
        settleOn(edge);
        return;
    }
    if (std::abs(m_velocity) < kStopSpeed) {
        m_velocity = 0;
        m_mode = Mode::Resting;
    }
}

void ScrollMomentum::advanceSettling(double dt)
{
    // Critically damped: x(t) = target + (a + b t) e^(-wt), with a = x0 - target, b = v0 + w a.
    const double w = kSpringRate;
    const double a = m_position - m_target;
    const double b = m_velocity + w * a;
    const double e = std::exp(-w * dt);
    m_position = m_target + (a + b * dt) * e;
    m_velocity = (b - w * (a + b * dt)) * e;
    if (std::abs(m_position - m_target) < kSettleDistance && std::abs(m_velocity) < kStopSpeed) {
        m_position = m_target;
        m_velocity = 0;
        m_mode = Mode::Resting;
    }
}

double ScrollMomentum::rubberBand(double position, double minimum, double maximum, double dimension)
{
    maximum = std::max(minimum, maximum);
    if (dimension <= 0 || (position >= minimum && position <= maximum))
        return std::clamp(position, minimum, maximum);
    const double edge = position < minimum ? minimum : maximum;
    const double over = std::abs(position - edge);
    const double shown = (1 - 1 / (over * kRubberBandStiffness / dimension + 1)) * dimension;
    return position < minimum ? edge - shown : edge + shown;
}

} // namespace ui

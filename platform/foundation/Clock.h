#pragma once

#include <atomic>
#include <cstdint>

namespace foundation {

/// Monotonic time in nanoseconds. Integer time keeps timers and manual steps exact:
/// 0.1 s is exactly 100000000, so a tenth-of-a-second timer fires at the same instant as a
/// test's advance to that instant, however many steps came before.
using Nanos = std::int64_t;

/// Seconds to nanoseconds, rounded to the nearest nanosecond.
Nanos secondsToNanos(double seconds);
double nanosToSeconds(Nanos nanos);

/// The source of time of a run loop: monotonic time for timers and animations, and the
/// wall-clock date ("now" as seconds since 1970-01-01 00:00:00 UTC) for creation dates and
/// "today". Implementations are safe to read from any thread.
class Clock {
public:
    virtual ~Clock() = default;
    /// Monotonic time; never goes backwards.
    virtual Nanos now() const = 0;
    /// The current date in seconds since 1970 (UTC).
    virtual double wallTime() const = 0;
    /// A manual clock moves only when told to; run loops then advance it instead of waiting.
    virtual bool isManual() const { return false; }
};

/// The system's monotonic and real-time clocks: what the program runs on.
class SystemClock final : public Clock {
public:
    Nanos now() const override;
    double wallTime() const override;
};

/// A clock that tests move by hand. Its date moves together with its monotonic time, from a
/// pinned starting date, so "now" as a date is as deterministic as the timers.
class ManualClock final : public Clock {
public:
    /// Starts at monotonic time 0 and at the given date (seconds since 1970).
    explicit ManualClock(double startDate = 1'765'000'000.0);

    Nanos now() const override { return m_now.load(); }
    double wallTime() const override;
    bool isManual() const override { return true; }

    /// Moves the clock to t; a t in the past is ignored (time never goes backwards).
    void advanceTo(Nanos t);
    void advanceBy(Nanos delta) { advanceTo(now() + delta); }
    /// Pins the current date without moving monotonic time.
    void setWallTime(double date);

private:
    std::atomic<Nanos> m_now { 0 };
    std::atomic<double> m_dateAtZero { 0 };
};

/// "Now" as a date: the wall time of the main run loop's clock (seconds since 1970).
double currentDate();

} // namespace foundation

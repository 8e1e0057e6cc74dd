#pragma once

#include "foundation/Clock.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace foundation {

class RunLoop;

/// A one-shot or repeating timer scheduled on a run loop. The run loop keeps a scheduled timer
/// alive until it is invalidated (or, for a one-shot timer, until it has fired), so owners may
/// hold it only to invalidate it later.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Callback = std::function<void(Timer&)>;

    /// Stops the timer for good; it never fires again. Safe from inside its own callback.
    void invalidate();
    bool isValid() const { return m_valid; }
    bool repeats() const { return m_repeats; }
    /// The interval in seconds.
    double timeInterval() const { return nanosToSeconds(m_interval); }
    /// The clock time at which it fires next.
    Nanos fireTime() const { return m_fireTime; }

private:
    friend class RunLoop;
    Timer(RunLoop& loop, Nanos interval, bool repeats, Callback callback);

    RunLoop* m_loop;
    Nanos m_interval;
    Nanos m_fireTime { 0 };
    std::uint64_t m_sequence { 0 };
    bool m_repeats;
    bool m_valid { true };
    Callback m_callback;
};

/// Our run loop: timers in time order, tasks posted from any thread, and nested runs. Time
/// comes from the loop's clock. With a manual clock nothing waits: running "for 0.5 s"
/// advances the clock to each due timer in turn and fires it at exactly its time, which is
/// how tests step through timers, animations and virtual audio deterministically. With the
/// system clock the loop waits for the next timer or posted task, through a wait handler
/// that a host may install (the desktop host lets Qt's event loop do the waiting).
///
/// Timers are scheduled, fired and invalidated on the thread that runs the loop (the owner,
/// the thread that created it). post() and wakeUp() may be called from any thread.
class RunLoop {
public:
    explicit RunLoop(std::shared_ptr<Clock> clock);
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    /// The main run loop, made on first use on the calling thread with the system clock.
    static RunLoop& main();
    /// Replaces the main run loop with a fresh one on the calling thread; the old loop's timers
    /// and tasks are dropped. Tests call it first, usually with a ManualClock.
    static RunLoop& resetMain(std::shared_ptr<Clock> clock);

    const Clock& clock() const { return *m_clock; }
    /// The clock when it is manual, else null.
    std::shared_ptr<ManualClock> manualClock() const;
    /// Clock time in nanoseconds and in seconds.
    Nanos nowNanos() const { return m_clock->now(); }
    double now() const { return nanosToSeconds(m_clock->now()); }

    /// Whether the calling thread is the loop's owner.
    bool isCurrentThread() const { return std::this_thread::get_id() == m_owner; }
    /// Makes the calling thread the owner (a host that runs the loop on another thread).
    void adoptCurrentThread() { m_owner = std::this_thread::get_id(); }

    /// Schedules a timer that first fires interval seconds from now; a repeating timer then
    /// fires every interval after its previous fire time (missed fire times are skipped, as a
    /// late loop would). Intervals below 0.1 ms are raised to 0.1 ms.
    std::shared_ptr<Timer> scheduleTimer(double interval, bool repeats, Timer::Callback callback);
    /// A one-shot timer for a plain task.
    std::shared_ptr<Timer> performAfter(double delay, std::function<void()> task);

    /// Queues a task to run on the loop's thread at its next turn. Safe from any thread.
    void post(std::function<void()> task);

    /// Runs every posted task and every timer due at the current clock time, once; returns
    /// whether anything ran. Does not wait and does not move a manual clock.
    bool runPending();
    /// Runs the loop for the given time: a manual clock is advanced through every timer due
    /// in that span, and tasks (also those posted by tasks) run at each step before the
    /// clock moves on; the system clock is waited on. Re-entrant: a timer or task may run a
    /// nested loop (the "run the current run loop for a moment" of modal waits).
    void runFor(double seconds);
    /// Runs until done() answers true or timeout seconds of loop time have passed; returns
    /// done(). With a manual clock, a posted task from another thread is waited for in real
    /// time (at most realTimeout seconds) whenever nothing else is due.
    bool runUntil(const std::function<bool()>& done, double timeout, double realTimeout = 5.0);

    /// The fire time of the earliest valid timer, if any.
    std::optional<Nanos> nextTimerTime() const;
    /// Whether tasks are waiting.
    bool hasPendingTasks() const;

    /// Called from post(), on the posting thread, so a host can wake its event loop.
    void setWakeUpHandler(std::function<void()> handler);
    /// Waits for at most the given seconds or until woken (system clock only). The default
    /// waits on a condition variable that post() signals.
    void setWaitHandler(std::function<void(double maxSeconds)> handler);

private:
    friend class Timer;
    void insertTimer(const std::shared_ptr<Timer>& timer);
    void removeTimer(Timer* timer);
    bool runTasks();
    void drainTasks();
    bool fireOneDueTimer(Nanos limit);
    void waitFor(double maxSeconds);

    std::shared_ptr<Clock> m_clock;
    std::thread::id m_owner;
    std::vector<std::shared_ptr<Timer>> m_timers; // sorted by (fire time, sequence)
    std::uint64_t m_nextSequence { 0 };

    mutable std::mutex m_taskMutex;
    std::condition_variable m_taskCondition;
    std::deque<std::function<void()>> m_tasks;
    std::function<void()> m_wakeUp;
    std::function<void(double)> m_wait;
};

} // namespace foundation

#include "foundation/RunLoop.h"

#include <algorithm>
#include <chrono>

namespace foundation {

namespace {

constexpr Nanos kMinimumInterval = 100'000; // 0.1 ms

std::unique_ptr<RunLoop>& mainLoopStorage()
{
    static std::unique_ptr<RunLoop> loop;
    return loop;
}

} // namespace

Timer::Timer(RunLoop& loop, Nanos interval, bool repeats, Callback callback)
    : m_loop(&loop)
    , m_interval(std::max(interval, kMinimumInterval))
    , m_repeats(repeats)
    , m_callback(std::move(callback))
{
}

void Timer::invalidate()
{
    if (!m_valid)
        return;
    m_valid = false;
    m_loop->removeTimer(this);
}

RunLoop::RunLoop(std::shared_ptr<Clock> clock)
    : m_clock(clock ? std::move(clock) : std::make_shared<SystemClock>())
    , m_owner(std::this_thread::get_id())
{
}

RunLoop::~RunLoop()
{
    for (auto& timer : m_timers)
        timer->m_valid = false;
}

RunLoop& RunLoop::main()
{
    auto& loop = mainLoopStorage();
    if (!loop)
        loop = std::make_unique<RunLoop>(std::make_shared<SystemClock>());
    return *loop;
}

RunLoop& RunLoop::resetMain(std::shared_ptr<Clock> clock)
{
    auto& loop = mainLoopStorage();
    loop = std::make_unique<RunLoop>(std::move(clock));
    return *loop;
}

std::shared_ptr<ManualClock> RunLoop::manualClock() const
{
    return std::dynamic_pointer_cast<ManualClock>(m_clock);
}

std::shared_ptr<Timer> RunLoop::scheduleTimer(double interval, bool repeats, Timer::Callback callback)
{
    auto timer = std::shared_ptr<Timer>(new Timer(*this, secondsToNanos(interval), repeats, std::move(callback)));
    timer->m_fireTime = nowNanos() + timer->m_interval;
    insertTimer(timer);
    return timer;
}

std::shared_ptr<Timer> RunLoop::performAfter(double delay, std::function<void()> task)
{
    return scheduleTimer(delay, false, [task = std::move(task)](Timer&) { task(); });
}

void RunLoop::insertTimer(const std::shared_ptr<Timer>& timer)
{
    timer->m_sequence = m_nextSequence++;
    auto position = std::upper_bound(m_timers.begin(), m_timers.end(), timer,
        [](const std::shared_ptr<Timer>& a, const std::shared_ptr<Timer>& b) {
            if (a->m_fireTime != b->m_fireTime)
                return a->m_fireTime < b->m_fireTime;
            return a->m_sequence < b->m_sequence;
        });
    m_timers.insert(position, timer);
}

void RunLoop::removeTimer(Timer* timer)
{
    auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](const auto& t) { return t.get() == timer; });
    if (it != m_timers.end())
        m_timers.erase(it);
}

void RunLoop::post(std::function<void()> task)
{
    std::function<void()> wake;
    {
        std::lock_guard lock(m_taskMutex);
        m_tasks.push_back(std::move(task));
        wake = m_wakeUp;
    }
    m_taskCondition.notify_all();
    if (wake)
        wake();
}

bool RunLoop::hasPendingTasks() const
{
    std::lock_guard lock(m_taskMutex);
    return !m_tasks.empty();
}

bool RunLoop::runTasks()
{
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(m_taskMutex);
        batch.swap(m_tasks);
    }
    for (auto& task : batch)
        task();
    return !batch.empty();
}

void RunLoop::drainTasks()
{
    // Tasks that post further tasks run in the same instant; the bound only stops a task
    // that reposts itself forever from hanging a test.
    for (int round = 0; round < 10000 && runTasks(); ++round) {
    }
}

bool RunLoop::fireOneDueTimer(Nanos limit)
{
    if (m_timers.empty() || m_timers.front()->m_fireTime > limit)
        return false;
    std::shared_ptr<Timer> timer = m_timers.front();
    m_timers.erase(m_timers.begin());
    if (auto manual = manualClock())
        manual->advanceTo(timer->m_fireTime);
    if (timer->m_repeats) {
        Nanos now = nowNanos();
        Nanos next = timer->m_fireTime + timer->m_interval;
        if (next <= now)
            next += ((now - next) / timer->m_interval + 1) * timer->m_interval;
        timer->m_fireTime = next;
        insertTimer(timer);
    } else {
        timer->m_valid = false;
    }
    // The local reference keeps the timer alive while its callback may invalidate it.
    auto callback = timer->m_callback;
    callback(*timer);
    return true;
}

bool RunLoop::runPending()
{
    bool ran = runTasks();
    Nanos now = nowNanos();
    // Only as many timers as were due at entry fire, so a repeating timer cannot keep this
    // call going.
    auto budget = std::count_if(m_timers.begin(), m_timers.end(), [&](const auto& t) { return t->m_fireTime <= now; });
    for (; budget > 0 && fireOneDueTimer(now); --budget) {
        ran = true;
        runTasks();
    }
    return ran;
}

void RunLoop::runFor(double seconds)
{
    Nanos target = nowNanos() + secondsToNanos(std::max(seconds, 0.0));
    if (auto manual = manualClock()) {
        drainTasks();
        while (fireOneDueTimer(target))
            drainTasks();
        manual->advanceTo(target);
        drainTasks();
        return;
    }
    for (;;) {
        runPending();
        Nanos now = nowNanos();
        if (now >= target)
            return;
        Nanos until = target;
        if (auto next = nextTimerTime())
            until = std::min(until, *next);
        waitFor(nanosToSeconds(std::max<Nanos>(until - now, 0)));
    }
}

bool RunLoop::runUntil(const std::function<bool()>& done, double timeout, double realTimeout)
{
    Nanos target = nowNanos() + secondsToNanos(timeout);
    auto realDeadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(realTimeout);
    while (!done()) {
        if (auto manual = manualClock()) {
            if (runTasks())
                continue;
            if (fireOneDueTimer(target)) {
                runTasks();
                continue;
            }
            // Nothing due before the deadline: only another thread can still make progress.
            std::unique_lock lock(m_taskMutex);
            if (!m_taskCondition.wait_until(lock, realDeadline, [&] { return !m_tasks.empty(); })) {
                lock.unlock();
                manual->advanceTo(target);
                return done();
            }
            continue;
        }
        runPending();
        if (done())
            return true;
        Nanos now = nowNanos();
        if (now >= target)
            return done();
        Nanos until = target;
        if (auto next = nextTimerTime())
            until = std::min(until, *next);
        waitFor(nanosToSeconds(std::max<Nanos>(until - now, 0)));
    }
    return true;
}

std::optional<Nanos> RunLoop::nextTimerTime() const
{
    if (m_timers.empty())
        return std::nullopt;
    return m_timers.front()->m_fireTime;
}

void RunLoop::setWakeUpHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_taskMutex);
    m_wakeUp = std::move(handler);
}

void RunLoop::setWaitHandler(std::function<void(double)> handler)
{
    m_wait = std::move(handler);
}

void RunLoop::waitFor(double maxSeconds)
{
    if (m_wait) {
        m_wait(maxSeconds);
        return;
    }
    std::unique_lock lock(m_taskMutex);
    m_taskCondition.wait_for(lock, std::chrono::duration<double>(maxSeconds), [&] { return !m_tasks.empty(); });
}

} // namespace foundation

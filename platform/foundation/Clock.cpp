#include "foundation/Clock.h"

#include "foundation/RunLoop.h"

#include <chrono>
#include <cmath>

namespace foundation {

Nanos secondsToNanos(double seconds)
{
    return static_cast<Nanos>(std::llround(seconds * 1e9));
}

double nanosToSeconds(Nanos nanos)
{
    return static_cast<double>(nanos) / 1e9;
}

Nanos SystemClock::now() const
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

double SystemClock::wallTime() const
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

ManualClock::ManualClock(double startDate)
    : m_dateAtZero(startDate)
{
}

double ManualClock::wallTime() const
{
    return m_dateAtZero.load() + nanosToSeconds(m_now.load());
}

void ManualClock::advanceTo(Nanos t)
{
    Nanos current = m_now.load();
    while (t > current && !m_now.compare_exchange_weak(current, t)) {
    }
}

void ManualClock::setWallTime(double date)
{
    m_dateAtZero.store(date - nanosToSeconds(m_now.load()));
}

double currentDate()
{
    return RunLoop::main().clock().wallTime();
}

} // namespace foundation

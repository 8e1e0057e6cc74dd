#include "host/RunLoopBridge.h"

#include "foundation/RunLoop.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <cmath>

namespace host {

RunLoopBridge::RunLoopBridge()
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_context, [this] { pump(); });
    auto& loop = foundation::RunLoop::main();
    loop.setWakeUpHandler([this] {
        // One queued pump at a time is enough: it runs every task waiting by then.
        if (!m_pumpQueued.exchange(true))
            QMetaObject::invokeMethod(&m_context, [this] { pump(); }, Qt::QueuedConnection);
    });
    loop.setWaitHandler([this](double maxSeconds) {
        // A nested run of our loop: let Qt wait (and paint) until an event or the deadline.
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        deadline.start(std::max(0, int(std::ceil(maxSeconds * 1000))));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
    });
}

RunLoopBridge::~RunLoopBridge()
{
    auto& loop = foundation::RunLoop::main();
    loop.setWakeUpHandler(nullptr);
    loop.setWaitHandler(nullptr);
}

void RunLoopBridge::stop()
{
    m_stopped = true;
    m_timer.stop();
}

void RunLoopBridge::pump()
{
    m_pumpQueued = false;
    if (m_stopped)
        return;
    foundation::RunLoop::main().runPending();
    reschedule();
}

void RunLoopBridge::reschedule()
{
    if (m_stopped)
        return;
    auto& loop = foundation::RunLoop::main();
    if (loop.hasPendingTasks()) {
        m_timer.start(0);
        return;
    }
    auto next = loop.nextTimerTime();
    if (!next) {
        m_timer.stop();
        return;
    }
    // Whole milliseconds, rounded up, so the timer is due when Qt wakes us.
    foundation::Nanos wait = std::max<foundation::Nanos>(*next - loop.nowNanos(), 0);
    m_timer.start(int((wait + 999'999) / 1'000'000));
}

} // namespace host

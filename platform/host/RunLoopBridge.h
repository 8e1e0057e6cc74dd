#pragma once

#include <QObject>
#include <QTimer>

#include <atomic>

namespace host {

/// Lets Qt's event loop drive our main run loop: posted tasks wake it through the run loop's
/// wake-up handler, our timers become one Qt timer set to the earliest of them, and a nested
/// run of our loop waits inside Qt's loop so windows keep painting. Main thread, except
/// the wake-up, which any thread may trigger.
class RunLoopBridge {
public:
    RunLoopBridge();
    ~RunLoopBridge();
    RunLoopBridge(const RunLoopBridge&) = delete;
    RunLoopBridge& operator=(const RunLoopBridge&) = delete;

    /// Runs what is due on our loop, then sets the Qt timer for the next of our timers.
    void pump();
    /// Sets the Qt timer for our earliest timer (after something may have scheduled one).
    void reschedule();
    /// Runs nothing of our loop from now on (the application has ended); nested runs still
    /// wait in Qt's loop.
    void stop();

private:
    QObject m_context;
    QTimer m_timer;
    std::atomic<bool> m_pumpQueued { false };
    bool m_stopped { false };
};

} // namespace host

#pragma once

// A timer whose interval is timed by a thread of its own while its ticks run
// on the thread that owns the timer (the main thread). The thread waits out
// the interval, hands the tick over and waits until it has run, so ticks
// never overlap and never pile up behind a slow handler: the period is the
// interval plus the time the tick takes, with no catching up on late ticks.
//
// Construction, every property write and destruction happen on the main
// thread. Destruction never waits for an interval nor for the main thread:
// a tick already handed over is dropped without calling the handler.

#include <QDeadlineTimer>
#include <QObject>

#include <functional>
#include <memory>

class TTimerThread;

class TThreadedTimer final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool AllowZero READ allowZero WRITE setAllowZero)
    Q_PROPERTY(bool Enabled READ enabled WRITE setEnabled)
    Q_PROPERTY(quint32 Interval READ interval WRITE setInterval)
    Q_PROPERTY(TThreadPriority ThreadPriority READ threadPriority WRITE setThreadPriority)

public:
    enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
    Q_ENUM(TThreadPriority)

    // Called with the timer as sender. An exception it throws is dropped.
    using TNotifyEvent = std::function<void(TThreadedTimer *sender)>;

    static constexpr quint32 kDefaultIntervalMs = 1000;

    explicit TThreadedTimer(QObject *owner = nullptr);
    ~TThreadedTimer() override;

    // Interval 0 gives no ticks unless this is set; a change takes effect
    // at the next enabling.
    bool allowZero() const { return m_allowZero; }
    void setAllowZero(bool allow) { m_allowZero = allow; }

    // Enabling starts a fresh interval: the first tick comes one whole
    // interval later. Writing the current value does nothing.
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enable);

    // Milliseconds. A different value restarts the interval of an enabled
    // timer; the value it already has changes nothing.
    quint32 interval() const;
    void setInterval(quint32 milliseconds);

    void setOnTimer(TNotifyEvent handler) { m_onTimer = std::move(handler); }

    // Applies to the thread at once, in any state.
    TThreadPriority threadPriority() const;
    void setThreadPriority(TThreadPriority priority);

    // True while a tick has been handed to the main thread and not yet run.
    bool tickPending() const;
    // Blocks until a tick is in that state; false when none is by the
    // deadline. Lets a test catch the timer with a tick in flight without
    // running the event loop, which would run the tick.
    bool waitForTickPending(QDeadlineTimer deadline) const;

private:
    friend class TTimerThread;
    void runTick();

    TNotifyEvent m_onTimer;
    std::unique_ptr<TTimerThread> m_thread;
    bool m_enabled = false;
    bool m_allowZero = false;
};

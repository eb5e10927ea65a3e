#include "threadedtimer.h"

#include <QPointer>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>

using namespace Qt::StringLiterals;

// The timing thread. It touches nothing of its owner but the owner's
// address, to hand a tick over; everything it shares with the main thread
// sits behind its mutex (visible to the thread sanitizer, unlike Qt's own
// locks). Suspension is a wait the thread cannot leave until it is resumed.
class TTimerThread final : public QThread
{
public:
    explicit TTimerThread(TThreadedTimer &owner) : m_owner(owner)
    {
        setObjectName(u"threaded timer"_s);
    }

    quint32 interval() const
    {
        const std::lock_guard lock(m_mutex);
        return m_interval;
    }

    void setInterval(quint32 milliseconds)
    {
        const std::lock_guard lock(m_mutex);
        m_interval = milliseconds;
    }

    // An auto-reset event: the wait it ends clears it.
    void signalStopEvent() { update([this] { m_stopEvent = true; }); }
    void suspend() { update([this] { m_suspended = true; }); }
    void resume() { update([this] { m_suspended = false; }); }

    // Asks the thread to end and frees it from any wait: the interval, the
    // suspension and a tick handed over to the main thread alike.
    void requestTermination()
    {
        update([this] {
            m_terminated = true;
            m_stopEvent = true;
            m_suspended = false;
        });
    }

    // Main thread: the handed-over tick has run.
    void tickDone() { update([this] { m_tickPending = false; }); }

    bool tickPending() const
    {
        const std::lock_guard lock(m_mutex);
        return m_tickPending;
    }

    bool waitForTickPending(QDeadlineTimer deadline) const
    {
        std::unique_lock lock(m_mutex);
        return m_wake.wait_until(lock, deadline.deadline<std::chrono::steady_clock>(),
                                 [this] { return m_tickPending; });
    }

    // After QThread::wait(): reading the flag the thread set last, under the
    // mutex, makes the thread's end visible to the sanitizer as well.
    bool ended() const
    {
        const std::lock_guard lock(m_mutex);
        return m_ended;
    }

protected:
    void run() override
    {
        std::unique_lock lock(m_mutex);
        do {
            m_wake.wait(lock, [this] { return !m_suspended; });
            if (waitOutInterval(lock))
                handOverTick(lock);
        } while (!m_terminated);
        m_ended = true;
    }

private:
    template<typename Change>
    void update(Change change)
    {
        {
            const std::lock_guard lock(m_mutex);
            change();
        }
        m_wake.notify_all();
    }

    // True when the whole interval ran out; false when the stop event cut
    // it short (the event is reset) or the thread was suspended meanwhile.
    bool waitOutInterval(std::unique_lock<std::mutex> &lock)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_interval);
        const bool woken = m_wake.wait_until(lock, deadline, [this] { return m_stopEvent || m_suspended; });
        if (m_stopEvent) {
            m_stopEvent = false;
            return false;
        }
        return !woken;
    }

    void handOverTick(std::unique_lock<std::mutex> &lock)
    {
        m_tickPending = true;
        m_wake.notify_all();  // for waitForTickPending()
        QMetaObject::invokeMethod(&m_owner, &TThreadedTimer::runTick, Qt::QueuedConnection);
        m_wake.wait(lock, [this] { return !m_tickPending || m_terminated; });
    }

    TThreadedTimer &m_owner;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_wake;
    quint32 m_interval = TThreadedTimer::kDefaultIntervalMs;
    bool m_stopEvent = false;
    bool m_suspended = true;
    bool m_terminated = false;
    bool m_tickPending = false;
    bool m_ended = false;
};

TThreadedTimer::TThreadedTimer(QObject *owner)
    : QObject(owner),
      m_thread(std::make_unique<TTimerThread>(*this))
{
    m_thread->start(QThread::NormalPriority);
}

// A tick still queued for this object is discarded with it, unrun.
TThreadedTimer::~TThreadedTimer()
{
    m_enabled = false;
    m_thread->requestTermination();
    m_thread->wait();
    const bool ended = m_thread->ended();
    Q_ASSERT(ended);
    Q_UNUSED(ended);
}

void TThreadedTimer::setEnabled(bool enable)
{
    if (enable == m_enabled)
        return;
    m_enabled = enable;
    if (!enable) {
        m_thread->suspend();
        return;
    }
    // Interval 0 without allow-zero: enabled, but the thread stays suspended.
    if (m_thread->interval() > 0 || m_allowZero) {
        m_thread->signalStopEvent();
        m_thread->resume();
    }
}

quint32 TThreadedTimer::interval() const
{
    return m_thread->interval();
}

void TThreadedTimer::setInterval(quint32 milliseconds)
{
    if (milliseconds == m_thread->interval())
        return;
    const bool wasEnabled = m_enabled;
    setEnabled(false);
    m_thread->setInterval(milliseconds);
    setEnabled(wasEnabled);
}

TThreadedTimer::TThreadPriority TThreadedTimer::threadPriority() const
{
    return static_cast<TThreadPriority>(m_thread->priority());
}

void TThreadedTimer::setThreadPriority(TThreadPriority priority)
{
    m_thread->setPriority(static_cast<QThread::Priority>(priority));
}

bool TThreadedTimer::tickPending() const
{
    return m_thread->tickPending();
}

bool TThreadedTimer::waitForTickPending(QDeadlineTimer deadline) const
{
    return m_thread->waitForTickPending(deadline);
}

// The thread waits until this returns. The handler may disable, reconfigure
// or even destroy the timer; a destroyed timer has already let its thread go.
void TThreadedTimer::runTick()
{
    const QPointer<TThreadedTimer> alive(this);
    if (m_enabled && m_onTimer) {
        const TNotifyEvent handler = m_onTimer;  // the handler may replace itself
        try {
            handler(this);
        } catch (...) {
            // Dropped without a word; the timer goes on ticking.
        }
    }
    if (alive)
        m_thread->tickDone();
}

static_assert(int(QThread::IdlePriority) == TThreadedTimer::tpIdle
              && int(QThread::LowestPriority) == TThreadedTimer::tpLowest
              && int(QThread::LowPriority) == TThreadedTimer::tpLower
              && int(QThread::NormalPriority) == TThreadedTimer::tpNormal
              && int(QThread::HighPriority) == TThreadedTimer::tpHigher
              && int(QThread::HighestPriority) == TThreadedTimer::tpHighest
              && int(QThread::TimeCriticalPriority) == TThreadedTimer::tpTimeCritical);

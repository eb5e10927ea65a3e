#pragma once

// The poll worker of one device: a thread of its own that carries out one HTTP
// exchange at a time with that device over a kept-alive TCP connection.
//
// Hand-over protocol (no locks): the job flag is the only synchronisation
// between the dispatch operation and the worker. While it is clear, only the
// main thread writes host, path, argument and slot and resets the failure
// count; while it is set, only the worker touches them. Each side writes the
// flag last (release) and reads it first (acquire).
//
// The worker writes its link state and counters itself; they live here, in
// the worker that belongs to exactly one device, so the results of an
// exchange can only ever reach that device. A status block and the lock
// command after a job's third failure are handed to the main thread through
// the callbacks below, queued on the result context's thread.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <chrono>
#include <functional>

class PollSession;

class ThSocket final
{
    Q_DISABLE_COPY_MOVE(ThSocket)

public:
    enum LinkState : int { NoResultYet = 0, Offline = 1, Online = 3 };

    struct Callbacks
    {
        QObject *context = nullptr;  // callbacks run on this object's thread
        std::function<void(ThSocket *worker, const QByteArray &statusBlock)> statusBlockArrived;
        std::function<void(ThSocket *worker)> jobDropped;  // after the third failed attempt
    };

    static constexpr std::chrono::milliseconds kFirstTimeout{250};
    static constexpr std::chrono::milliseconds kTimeoutAfterFailure{500};
    static constexpr int kAttemptsPerJob = 3;

    // Starts the worker thread, named after the address, idle.
    ThSocket(const QString &address, quint16 port, Callbacks callbacks);

    // Ends the thread at once, also in the middle of an exchange, and waits
    // for it. The thread never blocks, so the wait is short.
    ~ThSocket();

    // --- main thread, dispatch ---------------------------------------------
    bool jobFlag() const { return m_jobFlag.load(std::memory_order_acquire); }
    // Only while the job flag is clear.
    bool holdsJob() const { return !m_path.isEmpty(); }
    // A new job; only while the job flag is clear and no job is held.
    void handOver(int slot, const QString &host, const QByteArray &path, const QByteArray &argument);
    // Another attempt at the held job; only while the job flag is clear.
    void retry();

    // The worker ends once a running attempt is over; an idle one at once.
    void requestStop();
    bool stopRequested() const { return m_stopRequested; }

    // Ended and released? Emits finished() on its own thread.
    QThread *thread() { return &m_thread; }

    // --- any thread ---------------------------------------------------------
    int linkState() const { return m_linkState.load(std::memory_order_relaxed); }
    int requestCount() const { return m_requestCount.load(std::memory_order_relaxed); }
    int successCount() const { return m_successCount.load(std::memory_order_relaxed); }
    int failureCount() const { return m_failureCount.load(std::memory_order_relaxed); }
    // Slot of the current job as written at the last hand-over.
    int slot() const { return m_slot; }

private:
    friend class PollSession;

    const quint16 m_port;
    const Callbacks m_callbacks;

    // Job fields, guarded by the job flag.
    int m_slot = 0;
    QString m_host;
    QByteArray m_path;
    QByteArray m_argument;
    std::atomic<bool> m_jobFlag{false};

    std::atomic<int> m_linkState{NoResultYet};
    std::atomic<int> m_requestCount{0};
    std::atomic<int> m_successCount{0};
    std::atomic<int> m_failureCount{0};

    bool m_stopRequested = false;  // main thread only

    // Set by the session as the last thing the worker thread does with this
    // object. QThread::wait() does synchronise, but out of sight of the
    // thread sanitizer; reading this after the wait makes the end of the
    // thread a hand-over that the sanitizer can see too.
    std::atomic<bool> m_sessionEnded{false};

    QThread m_thread;
    PollSession *m_session;  // lives in m_thread, deleted there when it ends
};

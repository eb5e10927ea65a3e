#pragma once

// The poll worker of one device: a thread of its own that carries out one HTTP
// exchange at a time with that device over a kept-alive TCP connection.
//
// Hand-over protocol (no locks): the job flag is the only synchronisation
// between the dispatch operation and the worker. While it is clear, only the
// main thread writes host, path, argument and slot and resets the failure
// count; while it is set, only the worker touches them. Each side writes the
// flag last (release) and reads it first (acquire). The worker sleeps in
// poll() between jobs; the hand-over, the retry and the stop request wake it.
//
// The worker writes its link state and counters itself; they live here, in
// the worker that belongs to exactly one device, so the results of an
// exchange can only ever reach that device. A status block and the lock
// command after a job's third failure go to the main thread through the
// result mailbox. A status block is stored there before the attempt's
// success is published: the main thread stores it, then sets link state 3,
// counts the success and clears the job flag, while the worker waits.
//
// After a failed attempt the next one starts no sooner than one connect
// time-out after the failed one began, so that a device that refuses at once
// costs no more than one whose connect times out.

#include <QByteArray>
#include <QString>
#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>

#include "wakeup.h"

class PollLoop;
class ResultMailbox;

class ThSocket final
{
    Q_DISABLE_COPY_MOVE(ThSocket)

public:
    enum LinkState : int { NoResultYet = 0, Offline = 1, Online = 3 };

    static constexpr std::chrono::milliseconds kFirstTimeout{250};
    static constexpr std::chrono::milliseconds kTimeoutAfterFailure{500};
    static constexpr int kAttemptsPerJob = 3;

    // Starts the worker thread, named after the address, idle. The mailbox
    // must outlive the worker.
    ThSocket(const QString &address, quint16 port, ResultMailbox &mailbox);

    // Ends the thread at once, also in the middle of an exchange or a
    // connect, and waits for it; every wait of the worker watches for this.
    ~ThSocket();

    // Tells the thread to end at once without waiting for it; the destructor
    // then only joins. Lets an owner of many workers end them together.
    void endNow();

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

    // Emits finished() when the worker has ended.
    QThread *thread() { return m_thread.get(); }

    // --- main thread, collecting from the mailbox ---------------------------
    // A status block waits to be stored; valid until completeAdoption().
    bool awaitsAdoption() const { return m_awaitingAdoption.load(std::memory_order_acquire); }
    const QByteArray &statusBlock() const { return m_block; }
    // After the block is stored: publishes the attempt's success and frees
    // the worker for its next job.
    void completeAdoption();
    // True once after the worker dropped a job at its third failure.
    bool takeLockRequest() { return m_lockWanted.exchange(false, std::memory_order_acquire); }

    // --- any thread ---------------------------------------------------------
    int linkState() const { return m_linkState.load(std::memory_order_relaxed); }
    int requestCount() const { return m_requestCount.load(std::memory_order_relaxed); }
    int successCount() const { return m_successCount.load(std::memory_order_relaxed); }
    int failureCount() const { return m_failureCount.load(std::memory_order_relaxed); }
    // Slot of the current job as written at the last hand-over.
    int slot() const { return m_slot; }

private:
    friend class PollLoop;

    void publishSuccess();

    const quint16 m_port;
    ResultMailbox &m_mailbox;
    WakeUp m_wake;

    // Job fields, guarded by the job flag.
    int m_slot = 0;
    QString m_host;
    QByteArray m_path;
    QByteArray m_argument;
    std::atomic<bool> m_jobFlag{false};

    // Written by the worker, then handed to the main thread by the flag.
    QByteArray m_block;
    std::atomic<bool> m_awaitingAdoption{false};
    std::atomic<bool> m_lockWanted{false};

    std::atomic<int> m_linkState{NoResultYet};
    std::atomic<int> m_requestCount{0};
    std::atomic<int> m_successCount{0};
    std::atomic<int> m_failureCount{0};

    bool m_stopRequested = false;  // main thread only
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_abort{false};
    // Set by the worker while it sleeps waiting for the job flag; only then
    // does a hand-over or retry need to wake it.
    std::atomic<bool> m_sleeping{false};

    // Set as the last thing the worker thread does with this object.
    // QThread::wait() does synchronise, but out of sight of the thread
    // sanitizer; reading this after the wait makes the end of the thread a
    // hand-over that the sanitizer can see too.
    std::atomic<bool> m_ended{false};

    std::unique_ptr<QThread> m_thread;
};

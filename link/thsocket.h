#pragma once

// The poll worker of one device: a thread of its own that carries out one HTTP
// exchange at a time with that device over a kept-alive TCP connection.
//
// Jobs: the job flag says the worker has one. While the flag is clear, only
// the dispatch on the main thread writes host, path, argument and slot and
// resets the failure count; while it is set, only the worker touches them.
// Each side writes the flag last (release) and reads it first (acquire). The
// main thread dispatches with the device's queue locked; the worker, when a
// job is over, takes the next one from the queue itself under the same lock,
// or clears the flag and marks itself idle there, so that a later hand-over
// knows to wake it. A failed job is held and retried at the next dispatch.
//
// Results: the worker writes its request and failure counts and the record
// of its link's outages (LinkOutages) itself. Whatever
// only the main thread may apply goes there through the result mailbox, in
// one merged outcome: the latest status block, the successes, a dropped job's
// unlock command, and the link state. The main thread stores the block
// before it publishes the link state and the successes; the worker does not
// wait for that and goes on with its next job, one per dispatch of the main
// thread at most. When it takes none, its job flag stays set until the main
// thread has published the outcome, so that a cleared flag means the counts
// show the job.
//
// After a failed attempt the next one starts no sooner than one connect
// time-out after the failed one began, so that a device that refuses at once
// costs no more than one whose connect times out. The worker sleeps out that
// wait without asking to be woken for the retry.
//
// Waking: an idle worker sleeps on the job bell that it shares with the
// other workers of its table, so that a tick that hands out many jobs wakes
// their workers with one call, after its walk. Its own wake word is for the
// pacing wait; a stop request and the end ring both.

#include "connectioninterrupt.h"
#include "devicequeue.h"
#include "linkoutages.h"
#include "workerwake.h"

#include <QByteArray>
#include <QString>
#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

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

    // What the main thread applies for the worker, merged since it last
    // looked, in the order the attempts ended.
    struct Outcome
    {
        QByteArray block;      // the latest status block not stored yet; empty: none
        int successes = 0;
        bool dropped = false;  // a job was dropped: the unlock command is due
        int linkState = NoResultYet;  // the latest attempt's; NoResultYet: none ended
        // The worker took no next job of its own: its job flag is cleared
        // once this is published (finishJob()).
        bool jobOver = false;
        // Device group commands the device had answered before the job that
        // fetched the block began (DeviceQueue::groupCommands()).
        quint32 groupCommandsAnswered = 0;
    };

    // Starts the worker thread, named after the address, idle. It takes its
    // jobs from the queue. The mailbox and the job bell must outlive the
    // worker.
    ThSocket(const QString &address, quint16 port, DeviceQueue queue, ResultMailbox &mailbox,
             WorkerWake &jobBell);

    // Ends the thread at once, also in the middle of an exchange or a
    // connect, and waits for it: the connection is shut down under it.
    ~ThSocket();

    // Tells the thread to end at once without waiting for it; the destructor
    // then only joins. Lets an owner of many workers end them together. An
    // idle worker ends when the job bell rings next: the owner rings it once
    // for all the workers it ends or stops, as one ring wakes every idle one.
    void endNow();

    // --- main thread, dispatch ---------------------------------------------
    // With the device's queue locked: hands the head over when the worker is
    // free, or lets it retry the job it holds. True when the worker sleeps
    // waiting for it: the caller then rings the job bell, soon.
    [[nodiscard]] bool dispatch(DeviceQueue::Locked &queue, int slot, const QString &host);
    bool jobFlag() const { return m_jobFlag.load(std::memory_order_acquire); }

    // The worker ends once a running attempt is over; an idle one when the
    // job bell rings next.
    void requestStop();
    bool stopRequested() const { return m_stopRequested; }

    // Emits finished() when the worker has ended.
    QThread *thread() { return m_thread.get(); }

    // --- main thread, collecting from the mailbox ---------------------------
    Outcome takeOutcome();
    // After the block is stored: the successes and the link state.
    void publish(const Outcome &outcome);
    // After an outcome whose job was over is published: clears the job
    // flag, so that a cleared flag always comes after the counts. The next
    // dispatch hands over the next job, as it would have after the tick's
    // queuing; handing it over here, ahead of the tick, would let the tick
    // queue the same request again behind it.
    void finishJob();

    // --- any thread ---------------------------------------------------------
    // A status block waits to be stored.
    bool awaitsAdoption() const;
    int linkState() const { return m_linkState.load(std::memory_order_relaxed); }
    int requestCount() const { return m_requestCount.load(std::memory_order_relaxed); }
    int successCount() const { return m_successCount.load(std::memory_order_relaxed); }
    int failureCount() const { return m_failureCount.load(std::memory_order_relaxed); }
    // Link health, written by the worker where it counts a success: the
    // last successful exchange from the first request byte written to the
    // last body byte read, in microseconds, and when it ended (steady clock
    // nanoseconds since its epoch; 0 before the first success).
    qint64 lastExchangeMicroseconds() const { return m_lastExchangeUs.load(std::memory_order_relaxed); }
    qint64 lastSuccessNanoseconds() const { return m_lastSuccessNs.load(std::memory_order_acquire); }
    // The outages of the link, written by the worker as they begin and end.
    std::optional<LinkOutages::Snapshot> outages() const { return m_outages.read(); }
    // Slot of the current job as written at the last hand-over.
    int slot() const { return m_slot; }

private:
    friend class PollLoop;

    // Worker thread.
    bool holdsJob() const { return !m_path.isEmpty(); }
    // Takes the head of the queue as a new job (deep copies) and removes it.
    void takeHead(DeviceQueue::Locked &queue);
    // After a success or a dropped job: the next job from the queue, unless
    // it took one already since the main thread last dispatched; else idle,
    // or waiting for finishJob().
    void takeNextJob();
    // True when there is a job to start; otherwise marks the worker idle,
    // so that the next hand-over wakes it.
    bool takeUpJob();
    // At the end of a job: its outcome, and the group command it answered.
    void report(QByteArray block, int linkState, bool dropped);

    const quint16 m_port;
    const DeviceQueue m_queue;
    ResultMailbox &m_mailbox;
    WorkerWake &m_jobBell;             // for a job, while idle
    WorkerWake m_wake;                 // for the pacing wait
    ConnectionInterrupt m_interrupt;  // for the end in the middle of an exchange

    // Job fields, guarded by the job flag.
    int m_slot = 0;
    QString m_host;
    QByteArray m_path;
    QByteArray m_argument;
    // For a device group command: the queue's group command count when it
    // was taken, which its answer covers; else none.
    std::optional<quint32> m_jobGroupCommands;
    std::atomic<bool> m_jobFlag{false};
    // Guarded by the queue's lock. Idle: the worker sleeps on the job bell;
    // only then does a hand-over or a retry need to ring it. Job over:
    // the flag is still set, waiting for finishJob().
    bool m_idle = false;
    bool m_jobOver = false;
    // Also guarded by the queue's lock: the main thread's dispatches so far,
    // and the count at the worker's last job of its own.
    quint64 m_dispatches = 0;
    quint64 m_takenAtDispatch = ~quint64(0);

    mutable std::mutex m_outcomeMutex;
    Outcome m_outcome;            // guarded by m_outcomeMutex
    bool m_outcomePosted = false;  // guarded by m_outcomeMutex
    quint32 m_groupCommandsAnswered = 0;  // worker thread only

    std::atomic<int> m_linkState{NoResultYet};
    std::atomic<int> m_requestCount{0};
    std::atomic<int> m_successCount{0};
    std::atomic<int> m_failureCount{0};
    std::atomic<qint64> m_lastExchangeUs{0};
    std::atomic<qint64> m_lastSuccessNs{0};
    LinkOutages m_outages;

    bool m_stopRequested = false;  // main thread only
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_abort{false};

    // Set as the last thing the worker thread does with this object.
    // QThread::wait() does synchronise, but out of sight of the thread
    // sanitizer; reading this after the wait makes the end of the thread a
    // hand-over that the sanitizer can see too.
    std::atomic<bool> m_ended{false};

    std::unique_ptr<QThread> m_thread;
};

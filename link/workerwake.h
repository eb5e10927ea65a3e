#pragma once

// Wakes poll workers that sleep waiting for a job or for the time of their
// next attempt: one system call on each side, however many sleep, and no
// descriptor to drain afterwards. A waiter reads the sequence before it
// looks at what it waits for, and then sleeps only while the sequence is
// still the one it read, so that a wake-up between the look and the sleep is
// never lost.

#include <QtGlobal>

#include <atomic>

class WorkerWake final
{
    Q_DISABLE_COPY_MOVE(WorkerWake)

public:
    WorkerWake() = default;

    // The waiting thread, before it looks at what it waits for.
    quint32 sequence() const { return m_sequence.load(std::memory_order_acquire); }
    // Sleeps until signal() or the time-out (-1: none) when the sequence is
    // still `seen`; may also return early.
    void wait(quint32 seen, int timeoutMs);
    // Any thread, after it changed what the waiters look at: wakes them all.
    void signal();

private:
    std::atomic<quint32> m_sequence{0};
    static_assert(sizeof(m_sequence) == sizeof(quint32) && std::atomic<quint32>::is_always_lock_free);
};

#pragma once

// A device that answers part of a response and then falls silent, for
// measuring how long the controller holds such a device: one loopback
// listener served by a thread of its own that accepts one connection at a
// time, sends a fixed beginning of a response once the first request bytes
// arrive, never sends anything more, and records how long each connection
// stayed open. The thread waits in poll() and does nothing else, so its
// steady-clock stamps of the accept and of the close lie within its own
// wake-up of the kernel's events; at real-time priority, when the process
// may have it, also while every core is busy.

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

class StallingPeer final
{
    Q_DISABLE_COPY_MOVE(StallingPeer)

public:
    enum class Priority { Ordinary, RealTimeIfAllowed };

    // Listens on an IPv4 loopback address and port (0: a free one);
    // answerStart may be empty: the peer never sends anything.
    StallingPeer(const QString &address, quint16 port, QByteArray answerStart,
                 Priority priority = Priority::Ordinary);
    // Closes the open connection, if any, without recording it.
    ~StallingPeer();

    // 0 when it could not listen.
    quint16 port() const { return m_port; }
    bool realTime() const { return m_realTime; }
    // A connection is open: accepted and not closed yet.
    bool connected() const { return m_connected.load(std::memory_order_acquire); }

    // How long each closed connection stayed open, in the order they closed.
    std::vector<std::chrono::steady_clock::duration> holds() const;
    void clearHolds();

private:
    void run();

    const QByteArray m_answerStart;
    int m_listener = -1;
    int m_stop = -1;  // an eventfd that ends the thread
    quint16 m_port = 0;
    bool m_realTime = false;
    std::atomic<bool> m_connected{false};
    mutable std::mutex m_mutex;
    std::vector<std::chrono::steady_clock::duration> m_holds;  // guarded by m_mutex
    std::thread m_thread;
};

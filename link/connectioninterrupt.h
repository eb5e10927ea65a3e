#pragma once

// The one thing another thread may do to a poll worker's connection: shut it
// down, so that a blocking connect, send or receive of the worker returns at
// once, and so does every later one. The lock keeps the shutdown from ever
// reaching a descriptor number that the worker closed and the process reused.

#include <QtGlobal>

#include <mutex>

class ConnectionInterrupt final
{
    Q_DISABLE_COPY_MOVE(ConnectionInterrupt)

public:
    ConnectionInterrupt() = default;

    // Worker: the connection's descriptor from now on. False once
    // interrupted: the caller closes it unused.
    bool track(int fd);
    // Worker: right before it closes the descriptor.
    void untrack();

    // Any thread.
    void interrupt();

private:
    std::mutex m_mutex;
    int m_fd = -1;               // guarded by m_mutex
    bool m_interrupted = false;  // guarded by m_mutex
};

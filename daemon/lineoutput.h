#pragma once

// Lines for a file descriptor (standard output) that may block: a reader
// that stops reading, a pipe nobody drains. push() never waits on the
// descriptor: the bytes go into a queue of at most capacityBytes and a
// thread of their own writes them out; when the queue is full the bytes are
// refused, and the caller counts and tells.
//
// The thread waits in poll() on the descriptor and on a wake-up pipe, and
// writes at most PIPE_BUF bytes per ready descriptor, so that a write to a
// pipe never blocks it: the destructor always ends it. What is still queued
// then goes out as long as the descriptor takes it within kFinalWriteMs.
//
// push() and the destructor on one thread (the owner's); the descriptor
// stays open until the object is gone. A write that fails (a full disk, a
// pipe whose reader is gone, with SIGPIPE ignored) loses that chunk, not the
// service.

#include <QByteArray>

#include <deque>
#include <mutex>
#include <thread>

class LineOutput final
{
    Q_DISABLE_COPY_MOVE(LineOutput)

public:
    static constexpr int kFinalWriteMs = 500;

    LineOutput(int fd, qsizetype capacityBytes);
    ~LineOutput();

    // Queues the bytes whole, or refuses them (false) when they do not fit.
    bool push(QByteArray bytes);

private:
    void run();
    void wake();
    // Writes one piece of the chunk once the descriptor takes it; false when
    // it did not within the time (ms, -1: until woken).
    bool writeSome(QByteArray &chunk, int timeoutMs);

    const int m_fd;
    const qsizetype m_capacityBytes;
    int m_wake[2] = {-1, -1};  // read end, write end; non-blocking
    std::mutex m_mutex;
    std::deque<QByteArray> m_chunks;  // guarded by m_mutex
    qsizetype m_queuedBytes = 0;      // guarded by m_mutex
    bool m_stop = false;              // guarded by m_mutex
    std::thread m_thread;             // last: starts once the rest is there
};

#pragma once

// One TCP connection from a poll worker to its device, used by that worker's
// thread only. The socket is non-blocking underneath; every wait is a poll()
// that also watches the worker's wake-up descriptor, so that the worker can
// be told to end at any moment and ends at once.

#include <QByteArrayView>
#include <QString>

#include <array>
#include <atomic>
#include <chrono>

class WakeUp;

class DeviceConnection final
{
    Q_DISABLE_COPY_MOVE(DeviceConnection)

public:
    using Clock = std::chrono::steady_clock;
    enum class Result { Done, TimedOut, Closed, Aborted };

    // abort: set (with a wake-up) when the worker must end now.
    DeviceConnection(WakeUp &wake, const std::atomic<bool> &abort);
    ~DeviceConnection();

    bool isOpen() const { return m_fd >= 0; }
    void close();

    // Between two attempts, without waiting: takes in what the device sent
    // unasked (it stays for the next response on this connection), and closes
    // the connection when the device has closed it or it broke, so that
    // nothing read on one connection reaches the framing of another.
    void checkBetweenAttempts();

    // Opens a connection to an IPv4 address text and port. Done when
    // connected; TimedOut or Closed (refused, unreachable, not an IPv4 text)
    // leave it closed.
    Result connectTo(const QString &host, quint16 port, Clock::time_point deadline);

    Result send(QByteArrayView bytes, Clock::time_point deadline);

    // Waits for more bytes until the deadline. Done when some came in;
    // Closed when the device closed the connection or it broke. waitFirst:
    // go straight to the wait (right after a request, when an answer cannot
    // be there yet), which saves a read that would find nothing.
    Result receive(Clock::time_point deadline, bool waitFirst = false);

    // Sleeps until woken, the time-out passes (-1: none), or the connection,
    // when open, has something to say; what it says is taken in as by
    // checkBetweenAttempts(). Returns whether the connection was looked at.
    bool sleep(int timeoutMs);

    // Received and not yet consumed.
    QByteArrayView received() const { return {m_buffer.data() + m_begin, m_end - m_begin}; }
    void consume(qsizetype count) { m_begin += count; }

private:
    Result waitFor(short events, Clock::time_point deadline);
    // Reads what the socket holds into the buffer without waiting: Done when
    // bytes came, TimedOut when there were none, Closed at the end or on error.
    Result readAvailable();

    WakeUp &m_wake;
    const std::atomic<bool> &m_abort;
    int m_fd = -1;
    // What a device can make the worker hold between two responses is
    // bounded by this buffer.
    std::array<char, 16 * 1024> m_buffer;
    qsizetype m_begin = 0;
    qsizetype m_end = 0;
};

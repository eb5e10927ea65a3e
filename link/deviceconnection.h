#pragma once

// One TCP connection from a poll worker to its device, used by that worker's
// thread only. An exchange on an open connection costs what a plain blocking
// client's does: the request is sent with one blocking send and the answer
// is read with blocking reads bounded by the socket's own time-outs, set once
// per connection. Only an answer that arrives in pieces, bytes the device
// sends unasked, and the last part of a silent device's wait are waited for
// with poll() and exact deadlines. Another thread ends any wait at once
// through the connection's interrupt.

#include <QByteArrayView>
#include <QString>

#include <array>
#include <atomic>
#include <chrono>

class ConnectionInterrupt;

class DeviceConnection final
{
    Q_DISABLE_COPY_MOVE(DeviceConnection)

public:
    using Clock = std::chrono::steady_clock;
    enum class Result { Done, TimedOut, Closed, Aborted };

    // abort: set, with an interrupt, when the worker must end now.
    DeviceConnection(ConnectionInterrupt &interrupt, const std::atomic<bool> &abort);
    ~DeviceConnection();

    bool isOpen() const { return m_fd >= 0; }
    // Whether the connection carried a whole answer since it was opened.
    bool hasAnswered() const { return m_answered; }
    void close();

    // The device sent bytes after the end of an answer: they stay for the
    // next answer on this connection.
    bool holdsUnaskedBytes() const { return m_begin != m_end; }

    // Between two attempts, without waiting, when the device sent bytes
    // unasked: takes in what else it sent and closes the connection when the
    // device has closed it or it broke, so that nothing read on one
    // connection reaches the framing of another.
    void checkBetweenAttempts();

    // Opens a connection to an IPv4 address text and port. Done when
    // connected; TimedOut or Closed (refused, unreachable, not an IPv4 text)
    // leave it closed. sendTimeout bounds every send on it and firstReadWait
    // the wait for the first bytes after a request (receiveFirst()).
    Result connectTo(const QString &host, quint16 port, Clock::time_point deadline,
                     std::chrono::milliseconds sendTimeout, std::chrono::milliseconds firstReadWait);

    Result send(QByteArrayView bytes);

    // Right after a request, when nothing of the answer can be there yet:
    // one blocking read, for most of the first read wait and never longer.
    // Done when bytes came in; TimedOut when none did in that time, which
    // ends before the first read wait does: the caller waits out the rest
    // with receive().
    Result receiveFirst();
    // After a read that took all there was: waits for more bytes until the
    // deadline. Done when some came in; Closed when the device closed the
    // connection or it broke.
    Result receive(Clock::time_point deadline);

    // The whole answer was read.
    void answered() { m_answered = true; }

    // Received and not yet consumed.
    QByteArrayView received() const { return {m_buffer.data() + m_begin, m_end - m_begin}; }
    void consume(qsizetype count) { m_begin += count; }

private:
    // Done once poll() reports the events or an error; reported, when
    // given, takes what it reported.
    Result waitFor(short events, Clock::time_point deadline, short *reported = nullptr);
    // Reads what the socket holds into the buffer: Done when bytes came,
    // TimedOut when there were none (or none in the blocking read's time),
    // Closed at the end or on error.
    Result read(int flags);

    ConnectionInterrupt &m_interrupt;
    const std::atomic<bool> &m_abort;
    int m_fd = -1;
    bool m_answered = false;
    // What a device can make the worker hold between two responses is
    // bounded by this buffer.
    std::array<char, 16 * 1024> m_buffer;
    qsizetype m_begin = 0;
    qsizetype m_end = 0;
};

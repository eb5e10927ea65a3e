#include "deviceconnection.h"

#include "wakeup.h"

#include <QHostAddress>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

DeviceConnection::DeviceConnection(WakeUp &wake, const std::atomic<bool> &abort)
    : m_wake(wake)
    , m_abort(abort)
{
}

DeviceConnection::~DeviceConnection()
{
    close();
}

void DeviceConnection::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_begin = m_end = 0;
}

void DeviceConnection::checkBetweenAttempts()
{
    if (m_fd < 0)
        return;
    Result result = Result::Done;
    while (result == Result::Done && m_end < qsizetype(m_buffer.size()))
        result = readAvailable();
    // A device that fills the whole buffer unasked is not heard any further.
    if (result != Result::TimedOut)
        close();
}

DeviceConnection::Result DeviceConnection::connectTo(const QString &host, quint16 port,
                                                     Clock::time_point deadline)
{
    close();
    bool isIPv4 = false;
    const quint32 address = QHostAddress(host).toIPv4Address(&isIPv4);
    if (!isIPv4)
        return Result::Closed;
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return Result::Closed;
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(address);
    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) == 0)
        return Result::Done;
    if (errno != EINPROGRESS) {
        close();
        return Result::Closed;
    }
    const Result waited = waitFor(POLLOUT, deadline);
    int error = 0;
    socklen_t length = sizeof error;
    if (waited == Result::Done
        && (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)) {
        close();
        return Result::Closed;
    }
    if (waited != Result::Done)
        close();
    return waited;
}

DeviceConnection::Result DeviceConnection::send(QByteArrayView bytes, Clock::time_point deadline)
{
    while (!bytes.isEmpty()) {
        if (m_fd < 0)
            return Result::Closed;
        const ssize_t sent = ::send(m_fd, bytes.data(), std::size_t(bytes.size()), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes = bytes.sliced(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            return Result::Closed;
        if (const Result waited = waitFor(POLLOUT, deadline); waited != Result::Done)
            return waited;
    }
    return Result::Done;
}

DeviceConnection::Result DeviceConnection::receive(Clock::time_point deadline, bool waitFirst)
{
    if (m_fd < 0)
        return Result::Closed;
    if (waitFirst) {
        if (const Result waited = waitFor(POLLIN, deadline); waited != Result::Done)
            return waited;
    }
    for (;;) {
        const Result read = readAvailable();
        if (read != Result::TimedOut)
            return read;
        if (const Result waited = waitFor(POLLIN, deadline); waited != Result::Done)
            return waited;
    }
}

DeviceConnection::Result DeviceConnection::readAvailable()
{
    if (m_begin == m_end)
        m_begin = m_end = 0;
    if (m_end == qsizetype(m_buffer.size()) && m_begin > 0) {
        std::copy(m_buffer.begin() + m_begin, m_buffer.begin() + m_end, m_buffer.begin());
        m_end -= m_begin;
        m_begin = 0;
    }
    const std::size_t room = m_buffer.size() - std::size_t(m_end);
    if (room == 0)
        return Result::TimedOut;  // full: nothing can come in until bytes are consumed
    for (;;) {
        const ssize_t count = ::recv(m_fd, m_buffer.data() + m_end, room, MSG_DONTWAIT);
        if (count > 0) {
            m_end += count;
            return Result::Done;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Result::TimedOut;
        return Result::Closed;
    }
}

bool DeviceConnection::sleep(int timeoutMs)
{
    pollfd fds[2] = {{m_wake.fd(), POLLIN, 0}, {m_fd, POLLIN | POLLRDHUP, 0}};
    const int ready = ::poll(fds, m_fd >= 0 ? 2 : 1, timeoutMs);
    if (ready > 0 && (fds[0].revents & POLLIN))
        m_wake.clear();
    if (ready > 0 && m_fd >= 0 && fds[1].revents != 0)
        checkBetweenAttempts();
    return ready >= 0 && m_fd >= 0;
}

DeviceConnection::Result DeviceConnection::waitFor(short events, Clock::time_point deadline)
{
    for (;;) {
        if (m_abort.load(std::memory_order_acquire))
            return Result::Aborted;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return Result::TimedOut;
        pollfd fds[2] = {{m_fd, events, 0}, {m_wake.fd(), POLLIN, 0}};
        const int ready = ::poll(fds, 2, int(left.count()));
        if (ready < 0 && errno != EINTR)
            return Result::Closed;
        if (ready > 0 && (fds[1].revents & POLLIN))
            m_wake.clear();
        if (ready > 0 && fds[0].revents != 0 && !m_abort.load(std::memory_order_acquire))
            return Result::Done;  // readable, writable, or an error the next call reports
    }
}

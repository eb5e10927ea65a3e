#include "deviceconnection.h"

#include "connectioninterrupt.h"

#include <QHostAddress>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

timeval timeValue(std::chrono::milliseconds duration)
{
    return {time_t(duration.count() / 1000), suseconds_t(duration.count() % 1000 * 1000)};
}

// The kernel times a socket's receive time-out on its coarse timer wheel:
// it rounds the time-out up to whole ticks and fires up to an eighth of it
// late (2.5 s come back after up to 2.756 s at 250 Hz), while poll() waits
// on a fine timer. So the blocking read that follows a request is given
// three quarters of the wait it stands for, which end by 0.85 of it plus
// two ticks at the latest, and the caller waits out the rest with poll().
// An answer that comes costs the one read all the same.
std::chrono::milliseconds blockingPartOf(std::chrono::milliseconds wait)
{
    return wait * 3 / 4;
}

} // namespace

DeviceConnection::DeviceConnection(ConnectionInterrupt &interrupt, const std::atomic<bool> &abort)
    : m_interrupt(interrupt)
    , m_abort(abort)
{
}

DeviceConnection::~DeviceConnection()
{
    close();
}

void DeviceConnection::close()
{
    if (m_fd >= 0) {
        m_interrupt.untrack();
        ::close(m_fd);
    }
    m_fd = -1;
    m_answered = false;
    m_begin = m_end = 0;
}

void DeviceConnection::checkBetweenAttempts()
{
    if (m_fd < 0)
        return;
    Result result = Result::Done;
    while (result == Result::Done && m_end < qsizetype(m_buffer.size()))
        result = read(MSG_DONTWAIT);
    // A device that fills the whole buffer unasked is not heard any further.
    if (result != Result::TimedOut)
        close();
}

// The connect itself waits in poll(), so that its time-out is exact; the
// socket is made blocking once it is connected.
DeviceConnection::Result DeviceConnection::connectTo(const QString &host, quint16 port,
                                                     Clock::time_point deadline,
                                                     std::chrono::milliseconds sendTimeout,
                                                     std::chrono::milliseconds firstReadWait)
{
    close();
    bool isIPv4 = false;
    const quint32 address = QHostAddress(host).toIPv4Address(&isIPv4);
    if (!isIPv4)
        return Result::Closed;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Result::Closed;
    if (!m_interrupt.track(fd)) {
        ::close(fd);
        return Result::Aborted;
    }
    m_fd = fd;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(address);
    Result result = Result::Done;
    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) != 0) {
        short reported = 0;
        result = errno == EINPROGRESS ? waitFor(POLLOUT, deadline, &reported) : Result::Closed;
        // A connect that failed reports an error or a hang-up, with or
        // without writability; one that succeeded only writability.
        if (result == Result::Done && (reported & (POLLERR | POLLHUP)) != 0)
            result = Result::Closed;
    }
    if (result != Result::Done) {
        close();
        return result;
    }
    // Set once connected, so that a refused connect costs no more calls
    // than it must.
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const timeval sendLimit = timeValue(sendTimeout);
    const timeval readLimit = timeValue(blockingPartOf(firstReadWait));
    ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &readLimit, sizeof readLimit);
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    return Result::Done;
}

DeviceConnection::Result DeviceConnection::send(QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        if (m_fd < 0)
            return Result::Closed;
        const ssize_t sent = ::send(m_fd, bytes.data(), std::size_t(bytes.size()), MSG_NOSIGNAL);
        if (m_abort.load(std::memory_order_acquire))
            return Result::Aborted;
        if (sent > 0) {
            bytes = bytes.sliced(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Result::TimedOut;
        return Result::Closed;
    }
    return Result::Done;
}

DeviceConnection::Result DeviceConnection::receiveFirst()
{
    if (m_fd < 0)
        return Result::Closed;
    const Result result = read(0);
    if (m_abort.load(std::memory_order_acquire))
        return Result::Aborted;
    return result;
}

DeviceConnection::Result DeviceConnection::receive(Clock::time_point deadline)
{
    if (m_fd < 0)
        return Result::Closed;
    // The last read took all there was: wait before reading again.
    for (;;) {
        if (const Result waited = waitFor(POLLIN, deadline); waited != Result::Done)
            return waited;
        if (const Result result = read(MSG_DONTWAIT); result != Result::TimedOut)
            return result;
    }
}

DeviceConnection::Result DeviceConnection::read(int flags)
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
        const ssize_t count = ::recv(m_fd, m_buffer.data() + m_end, room, flags);
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

DeviceConnection::Result DeviceConnection::waitFor(short events, Clock::time_point deadline,
                                                   short *reported)
{
    for (;;) {
        if (m_abort.load(std::memory_order_acquire))
            return Result::Aborted;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return Result::TimedOut;
        pollfd watched{m_fd, events, 0};
        const int ready = ::poll(&watched, 1, int(left.count()));
        if (ready < 0 && errno != EINTR)
            return Result::Closed;
        if (m_abort.load(std::memory_order_acquire))
            return Result::Aborted;
        if (ready > 0) {
            if (reported)
                *reported = watched.revents;
            return Result::Done;  // readable, writable, or an error the next call reports
        }
    }
}

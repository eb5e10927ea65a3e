#include "stallingpeer.h"

#include <QHostAddress>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

using Clock = std::chrono::steady_clock;

StallingPeer::StallingPeer(const QString &address, quint16 port, QByteArray answerStart, Priority priority)
    : m_answerStart(std::move(answerStart))
{
    bool isIPv4 = false;
    const quint32 ip = QHostAddress(address).toIPv4Address(&isIPv4);
    if (!isIPv4 || (ip >> 24) != 127)
        return;  // loopback only
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(ip);
    socklen_t length = sizeof local;
    if (::bind(m_listener, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0
        || ::listen(m_listener, 16) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&local), &length) != 0) {
        ::close(m_listener);
        m_listener = -1;
        return;
    }
    m_port = ntohs(local.sin_port);
    m_stop = ::eventfd(0, EFD_CLOEXEC);
    m_thread = std::thread([this] { run(); });
    if (priority == Priority::RealTimeIfAllowed) {
        sched_param lowestRealTime{};
        lowestRealTime.sched_priority = ::sched_get_priority_min(SCHED_FIFO);
        m_realTime = ::pthread_setschedparam(m_thread.native_handle(), SCHED_FIFO, &lowestRealTime) == 0;
    }
}

StallingPeer::~StallingPeer()
{
    if (m_thread.joinable()) {
        const quint64 one = 1;
        static_cast<void>(::write(m_stop, &one, sizeof one));
        m_thread.join();
        ::close(m_stop);
    }
    if (m_listener >= 0)
        ::close(m_listener);
}

std::vector<Clock::duration> StallingPeer::holds() const
{
    const std::lock_guard lock(m_mutex);
    return m_holds;
}

void StallingPeer::clearHolds()
{
    const std::lock_guard lock(m_mutex);
    m_holds.clear();
}

// Watches the listener while no connection is open and the connection while
// one is: a connect that comes meanwhile waits in the backlog.
void StallingPeer::run()
{
    int connection = -1;
    bool answered = false;
    Clock::time_point accepted;
    for (;;) {
        pollfd watched[2] = {{connection >= 0 ? connection : m_listener, POLLIN, 0}, {m_stop, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0 && errno != EINTR)
            break;
        if (watched[1].revents != 0)
            break;
        if (watched[0].revents == 0)
            continue;
        if (connection < 0) {
            connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            accepted = Clock::now();
            answered = false;
            m_connected.store(connection >= 0, std::memory_order_release);
            continue;
        }
        char request[4096];
        const ssize_t got = ::recv(connection, request, sizeof request, MSG_DONTWAIT);
        if (got > 0 && !std::exchange(answered, true) && !m_answerStart.isEmpty())
            ::send(connection, m_answerStart.constData(), std::size_t(m_answerStart.size()), MSG_NOSIGNAL);
        if (got > 0 || (got < 0 && (errno == EAGAIN || errno == EINTR)))
            continue;
        const Clock::duration held = Clock::now() - accepted;
        ::close(connection);
        connection = -1;
        {
            const std::lock_guard lock(m_mutex);
            m_holds.push_back(held);
        }
        m_connected.store(false, std::memory_order_release);
    }
    if (connection >= 0)
        ::close(connection);
}

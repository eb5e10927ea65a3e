#include "fastampserver.h"

#include "ampresponse.h"

#include <QHostAddress>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <deque>
#include <unordered_map>

namespace {
using Clock = std::chrono::steady_clock;
constexpr qsizetype kMaxFastRequestBytes = 64 * 1024;
constexpr std::uint64_t kStopKey = 0;

int listenOn(const QString &address, quint16 &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(QHostAddress(address).toIPv4Address());
    socklen_t length = sizeof local;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0 || ::listen(fd, 1024) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(local.sin_port);
    return fd;
}
} // namespace

// One epoll thread serving some of the amps, each amp in one loop only, so
// that its state needs no lock.
class FastAmpServer::Loop final
{
public:
    explicit Loop(std::chrono::milliseconds delay)
        : m_delay(delay)
        , m_epoll(::epoll_create1(EPOLL_CLOEXEC))
        , m_stop(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    {
        watch(m_stop, kStopKey, EPOLLIN);
    }
    ~Loop()
    {
        for (auto &[key, connection] : m_connections)
            ::close(connection.fd);
        for (const Listener &listener : m_listeners)
            ::close(listener.fd);
        ::close(m_stop);
        ::close(m_epoll);
    }

    void addAmp(int listenFd, SimulatedState state)
    {
        m_listeners.push_back({listenFd, std::move(state)});
        watch(listenFd, listenerKey(m_listeners.size() - 1), EPOLLIN);
    }

    void stop()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_stop, &one, sizeof one);
    }

    void run()
    {
        epoll_event events[64];
        for (;;) {
            const int count = ::epoll_wait(m_epoll, events, 64, sendDueAnswers());
            for (int i = 0; i < count; ++i) {
                const std::uint64_t key = events[i].data.u64;
                if (key == kStopKey)
                    return;
                if (key & kListenerBit)
                    accept(std::size_t(key & ~kListenerBit));
                else
                    serve(key, events[i].events);
            }
        }
    }

private:
    static constexpr std::uint64_t kListenerBit = 1ull << 63;
    static std::uint64_t listenerKey(std::size_t index) { return kListenerBit | index; }

    struct Listener
    {
        int fd;
        SimulatedState state;
    };
    struct Connection
    {
        int fd;
        std::size_t amp;
        QByteArray in;
        QByteArray out;
    };
    struct Due
    {
        Clock::time_point at;
        std::uint64_t key;
        QByteArray answer;
    };

    void watch(int fd, std::uint64_t key, std::uint32_t events)
    {
        epoll_event event{};
        event.events = events;
        event.data.u64 = key;
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
    }

    void accept(std::size_t amp)
    {
        for (;;) {
            const int fd = ::accept4(m_listeners[amp].fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0)
                return;
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            const std::uint64_t key = ++m_lastKey;
            m_connections.emplace(key, Connection{fd, amp, {}, {}});
            watch(fd, key, EPOLLIN | EPOLLRDHUP);
        }
    }

    void serve(std::uint64_t key, std::uint32_t events)
    {
        const auto found = m_connections.find(key);
        if (found == m_connections.end())
            return;
        Connection &connection = found->second;
        if ((events & EPOLLIN) && !receive(key, connection))
            return close(found);
        if ((events & (EPOLLOUT | EPOLLERR | EPOLLHUP)) && !flush(connection))
            return close(found);
    }

    bool receive(std::uint64_t key, Connection &connection)
    {
        char buffer[16 * 1024];
        for (;;) {
            const ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, 0);
            if (got == 0)
                return false;
            if (got < 0)
                break;
            connection.in.append(buffer, got);
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        SimulatedState &state = m_listeners[connection.amp].state;
        for (qsizetype end; (end = connection.in.indexOf("\r\n\r\n")) >= 0;) {
            const QByteArray target = actOnRequest(state, QByteArrayView(connection.in).first(end + 4));
            connection.in.remove(0, end + 4);
            QByteArray answer = normalAnswer(state, target);
            if (m_delay.count() > 0 || !m_due.empty())
                m_due.push_back({Clock::now() + m_delay, key, std::move(answer)});
            else
                connection.out += answer;
        }
        return connection.in.size() <= kMaxFastRequestBytes && flush(connection);
    }

    bool flush(Connection &connection)
    {
        while (!connection.out.isEmpty()) {
            const ssize_t sent = ::send(connection.fd, connection.out.constData(),
                                        std::size_t(connection.out.size()), MSG_NOSIGNAL);
            if (sent < 0)
                return errno == EAGAIN || errno == EWOULDBLOCK;
            connection.out.remove(0, sent);
        }
        return true;
    }

    // Sends every answer that is due; returns the epoll time-out until the next.
    int sendDueAnswers()
    {
        const Clock::time_point now = Clock::now();
        while (!m_due.empty() && m_due.front().at <= now) {
            const auto found = m_connections.find(m_due.front().key);
            if (found != m_connections.end()) {
                found->second.out += m_due.front().answer;
                if (!flush(found->second))
                    close(found);
            }
            m_due.pop_front();
        }
        if (m_due.empty())
            return -1;
        return int(std::chrono::ceil<std::chrono::milliseconds>(m_due.front().at - now).count());
    }

    void close(std::unordered_map<std::uint64_t, Connection>::iterator connection)
    {
        ::close(connection->second.fd);
        m_connections.erase(connection);
    }

    const std::chrono::milliseconds m_delay;
    const int m_epoll;
    const int m_stop;
    std::vector<Listener> m_listeners;
    std::unordered_map<std::uint64_t, Connection> m_connections;
    std::uint64_t m_lastKey = 0;
    std::deque<Due> m_due;  // in order of time: the delay is one for all
};

FastAmpServer::FastAmpServer() = default;

FastAmpServer::~FastAmpServer()
{
    for (const auto &loop : m_loops)
        loop->stop();
    for (std::thread &thread : m_threads)
        thread.join();
}

quint16 FastAmpServer::start(const QList<AmpSimulator::Amp> &amps, quint16 port,
                             std::chrono::milliseconds answerDelay, int threadCount)
{
    if (!m_loops.empty() || amps.isEmpty())
        return 0;
    for (int i = 0; i < qMax(1, threadCount); ++i)
        m_loops.push_back(std::make_unique<Loop>(answerDelay));
    quint32 variation = 1;
    for (qsizetype i = 0; i < amps.size(); ++i) {
        const AmpSimulator::Amp &amp = amps[i];
        if (!QHostAddress(amp.address).isLoopback())
            return 0;
        const int fd = listenOn(amp.address, port);
        if (fd < 0)
            return 0;
        SimulatedState state;
        state.address = amp.address;
        state.name = identityField(amp.name);
        state.group = identityField(amp.group);
        state.variation = variation++;
        m_loops[std::size_t(i) % m_loops.size()]->addAmp(fd, std::move(state));
    }
    for (const auto &loop : m_loops)
        m_threads.emplace_back([raw = loop.get()] { raw->run(); });
    return port;
}

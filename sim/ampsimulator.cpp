#include "ampsimulator.h"

#include "ampresponse.h"
#include "simulatedstate.h"
#include "statusblockbuilder.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

using Fault = AmpSimulator::Fault;

namespace {

// A client that sends this much without ending its request is dropped.
constexpr qsizetype kMaxRequestBytes = 64 * 1024;
constexpr int kShortBodyBytes = 3000;
constexpr int kOtherBodyBytes = 100;
constexpr qint64 kHugeAnnouncedLength = 2000000000;
constexpr int kFreePortAttempts = 20;

// The amps' states, shared by the caller's thread and the server thread. A
// std::mutex, so that ThreadSanitizer sees the hand-over (QMutex lives in the
// uninstrumented Qt library).
struct Amps
{
    mutable std::mutex mutex;
    mutable std::condition_variable requestArrived;
    std::vector<SimulatedState> states;  // fixed in number once started
    qsizetype keptRequests = AmpSimulator::kDefaultKeptRequests;

    // Called under the lock.
    void record(SimulatedState &state, const QByteArray &request)
    {
        ++state.requestCount;
        if (keptRequests > 0)
            state.requests.append(request);
        while (state.requests.size() > keptRequests)
            state.requests.removeFirst();
        requestArrived.notify_all();
    }

    SimulatedState &at(int amp) { return states.at(std::size_t(amp)); }
    const SimulatedState &at(int amp) const { return states.at(std::size_t(amp)); }

    // A copy of one field of an amp's state, taken under the lock.
    template <typename Value>
    Value read(int amp, Value SimulatedState::*field) const
    {
        const std::lock_guard lock(mutex);
        return at(amp).*field;
    }
};

// The block an amp sends now; called under the lock.
QByteArray blockOf(SimulatedState &state)
{
    return state.servedBlock.isEmpty() ? currentBlock(state) : state.servedBlock;
}

// What one request is answered with, taken from the state under the lock.
struct Reply
{
    Fault fault = Fault::None;
    QByteArray block;  // the status block, when the answer needs one
    bool status = false;
    int slowChunk = 1;
    int slowDelayMs = 0;
    int dripDelayMs = 0;
    int answerDelayMs = 0;
    qint64 hugeBytes = 0;
};

// Lines of letters, signs and high bytes without a single digit.
QByteArray makeGarbage()
{
    static constexpr QByteArrayView alphabet = "GARBAGE zq~!#$%&*()[]{}<>?/\\|\x01\x7f\x80\xfe\xff\r\n";
    QByteArray bytes(600, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = alphabet[(i * 7) % alphabet.size()];
    return bytes;
}

// One accepted connection; lives in the server thread. Requests are answered
// in the order they arrive, also when several come in one piece.
class Connection final : public QObject
{
public:
    Connection(QTcpSocket *socket, int amp, Amps &amps, QObject *parent)
        : QObject(parent)
        , m_socket(socket)
        , m_amp(amp)
        , m_amps(amps)
    {
        socket->setParent(this);
        socket->setReadBufferSize(kMaxRequestBytes);
        connect(socket, &QTcpSocket::readyRead, this, &Connection::read);
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        connect(&m_slowTimer, &QTimer::timeout, this, &Connection::trickle);
        m_delayTimer.setSingleShot(true);
        connect(&m_delayTimer, &QTimer::timeout, this, &Connection::answerDue);
    }

    ~Connection() override
    {
        const std::lock_guard lock(m_amps.mutex);
        --m_amps.at(m_amp).openConnections;
    }

    int amp() const { return m_amp; }

    void abort()
    {
        m_slowTimer.stop();
        m_delayTimer.stop();
        m_socket->abort();
        deleteLater();
    }

private:
    bool open() const { return m_socket->state() == QAbstractSocket::ConnectedState; }

    void read()
    {
        if (m_amps.read(m_amp, &SimulatedState::fault) == Fault::SilentAfterConnect)
            return;  // the bytes stay unread in the socket
        m_buffer += m_socket->readAll();
        for (qsizetype end; open() && (end = m_buffer.indexOf("\r\n\r\n")) >= 0;) {
            const QByteArray request = m_buffer.first(end + 4);
            m_buffer.remove(0, end + 4);
            answer(request);
        }
        if (open() && m_buffer.size() > kMaxRequestBytes)
            abort();
    }

    Reply take(const QByteArray &request)
    {
        const std::lock_guard lock(m_amps.mutex);
        SimulatedState &state = m_amps.at(m_amp);
        m_amps.record(state, request);
        const QByteArray target = actOnRequest(state, request);
        Reply reply;
        reply.fault = state.fault;
        reply.status = target == "/krv.krv";
        if (reply.status || reply.fault == Fault::ShortBody)
            reply.block = blockOf(state);
        if (reply.status)
            state.lastSentBlock = reply.block;
        reply.slowChunk = state.slowChunk;
        reply.slowDelayMs = state.slowDelayMs;
        reply.hugeBytes = state.hugeBytes;
        reply.dripDelayMs = state.dripDelayMs;
        reply.answerDelayMs = state.answerDelayMs;
        return reply;
    }

    // Answers go out in the order their requests came, each no sooner than
    // its amp's answer delay after its request.
    void answer(const QByteArray &request)
    {
        Reply reply = take(request);
        if (reply.answerDelayMs <= 0 && m_delayed.empty()) {
            respond(reply);
            return;
        }
        m_delayed.push_back({simulatorNow() + reply.answerDelayMs, std::move(reply)});
        if (!m_delayTimer.isActive())
            m_delayTimer.start(int(qMax<qint64>(0, m_delayed.front().due - simulatorNow())));
    }

    void answerDue()
    {
        while (!m_delayed.empty() && m_delayed.front().due <= simulatorNow() && open()) {
            const Reply reply = std::move(m_delayed.front().reply);
            m_delayed.pop_front();
            respond(reply);
        }
        if (!m_delayed.empty() && open())
            m_delayTimer.start(int(qMax<qint64>(0, m_delayed.front().due - simulatorNow())));
    }

    void respond(const Reply &reply)
    {
        if (m_silent)
            return;
        const QByteArray body = reply.status ? reply.block : QByteArray("OK");
        const QByteArray type = reply.status ? "application/octet-stream" : "text/html";
        const QByteArray normal = framed(lengthLine(body.size()), type, body);
        switch (reply.fault) {
        case Fault::None:
            send(normal);
            return;
        case Fault::Refuse:  // a request that slipped in before the refusal
            abort();
            return;
        case Fault::Stall:
            return;
        case Fault::ShortBody:
            send(framed(lengthLine(kSimulatedBlockSize), "application/octet-stream",
                        QByteArrayView(reply.block).first(kShortBodyBytes)));
            m_silent = true;
            return;
        case Fault::LineWithoutDigits:
            send(framed("Content-Length: none", type, body));
            return;
        case Fault::TextBetweenNumbers:
            send(framed("Range: 12 of 20", type, body));
            return;
        case Fault::HugeLength:
            send(framed(lengthLine(kHugeAnnouncedLength), "application/octet-stream", {}));
            send(QByteArray(qsizetype(qMax<qint64>(0, reply.hugeBytes)), 'x'));
            m_silent = true;
            return;
        case Fault::CloseAfterAnswer:
            send(normal);
            closeWhenSent();
            return;
        case Fault::SlowBody:
            sendSlowly(framed(lengthLine(body.size()), type, {}), body, reply.slowChunk, reply.slowDelayMs);
            return;
        case Fault::OtherLength:
            send(framed(lengthLine(kOtherBodyBytes), "text/html", QByteArray(kOtherBodyBytes, 'o')));
            return;
        case Fault::Garbage:
            send(AmpSimulator::garbageBytes());
            return;
        case Fault::SilentAfterConnect:  // a request read before the fault was set
            return;
        case Fault::UnaskedThenClose:
            send(normal);
            send(AmpSimulator::unaskedBytes());
            closeWhenSent();
            return;
        case Fault::Drip:
            sendSlowly({}, normal, 1, reply.dripDelayMs);
            return;
        }
    }

    // Bytes go out in order, behind any slow body still being sent.
    void send(const QByteArray &bytes)
    {
        if (m_slowTimer.isActive())
            m_slow += bytes;
        else
            m_socket->write(bytes);
    }

    void sendSlowly(const QByteArray &head, const QByteArray &body, int chunk, int delayMs)
    {
        send(head);
        m_slow += body;
        if (!m_slowTimer.isActive()) {
            m_slowChunk = chunk;
            m_slowTimer.start(delayMs);
        }
    }

    void trickle()
    {
        const qsizetype count = qMin<qsizetype>(m_slowChunk, m_slow.size());
        m_socket->write(m_slow.first(count));
        m_slow.remove(0, count);
        if (!m_slow.isEmpty())
            return;
        m_slowTimer.stop();
        if (m_closeWhenSent)
            closeNow();
    }

    // The answer goes out in the same breath as the close, so a client
    // finds both waiting once it has read the answer.
    void closeNow()
    {
        m_socket->flush();
        m_socket->disconnectFromHost();
    }

    void closeWhenSent()
    {
        if (m_slowTimer.isActive())
            m_closeWhenSent = true;
        else
            closeNow();
    }

    QTcpSocket *m_socket;  // child of this
    int m_amp;
    Amps &m_amps;
    QByteArray m_buffer;  // received, not yet a whole request
    QByteArray m_slow;    // still to be trickled out by the slow timer
    QTimer m_slowTimer;
    int m_slowChunk = 1;
    struct Delayed
    {
        qint64 due;  // ms since the epoch
        Reply reply;
    };
    std::deque<Delayed> m_delayed;  // answers held back by the answer delay
    QTimer m_delayTimer;
    bool m_silent = false;  // after a short or huge body nothing more is sent
    bool m_closeWhenSent = false;
};

// The listeners and connections of all amps; lives in the server thread.
class ServerHost final : public QObject
{
public:
    explicit ServerHost(Amps &amps)
        : m_amps(amps)
    {
    }

    // Listens on every amp's address, on one port. Returns the port, 0 on failure.
    quint16 listenAll(quint16 port)
    {
        const std::size_t count = m_amps.states.size();  // fixed since start
        const int attempts = port == 0 ? kFreePortAttempts : 1;
        for (int attempt = 0; attempt < attempts; ++attempt) {
            m_servers.clear();
            m_servers.resize(count);
            m_port = port;
            bool all = true;
            for (std::size_t amp = 0; amp < count && all; ++amp)
                all = listen(int(amp), attempt + 1 == attempts);
            if (all)
                return m_port;
        }
        m_servers.clear();
        m_servers.resize(count);
        return 0;
    }

    // Refuse closes the amp's listener and drops its connections; any other
    // fault lets it listen again on the same address and port.
    void applyFault(int amp)
    {
        Fault fault;
        {
            const std::lock_guard lock(m_amps.mutex);
            fault = m_amps.at(amp).fault;
        }
        auto &server = m_servers.at(std::size_t(amp));
        if (fault == Fault::Refuse) {
            server.reset();
            for (Connection *connection : m_connections) {
                if (connection->amp() == amp)
                    connection->abort();
            }
        } else if (!server && m_port != 0) {
            listen(amp, true);
        }
    }

private:
    bool listen(int amp, bool warn)
    {
        QString address;
        {
            const std::lock_guard lock(m_amps.mutex);
            address = m_amps.at(amp).address;
        }
        auto server = std::make_unique<QTcpServer>();
        if (!server->listen(QHostAddress(address), m_port)) {
            if (warn) {
                qWarning("ampsim: cannot listen on %s port %u: %s", qPrintable(address), unsigned(m_port),
                         qPrintable(server->errorString()));
            }
            return false;
        }
        m_port = server->serverPort();
        QTcpServer *raw = server.get();
        connect(raw, &QTcpServer::newConnection, this, [this, raw, amp] { accept(raw, amp); });
        m_servers.at(std::size_t(amp)) = std::move(server);
        return true;
    }

    void accept(QTcpServer *server, int amp)
    {
        while (QTcpSocket *socket = server->nextPendingConnection()) {
            {
                const std::lock_guard lock(m_amps.mutex);
                ++m_amps.at(amp).connections;
                ++m_amps.at(amp).openConnections;
            }
            auto *connection = new Connection(socket, amp, m_amps, this);
            m_connections.push_back(connection);
            // The host's own destruction disconnects this before its children go.
            connect(connection, &QObject::destroyed, this,
                    [this, connection] { std::erase(m_connections, connection); });
        }
    }

    Amps &m_amps;
    std::vector<std::unique_ptr<QTcpServer>> m_servers;  // per amp; null while refusing
    std::vector<Connection *> m_connections;             // children of this, while they live
    quint16 m_port = 0;
};

// The server thread. Its host is created and destroyed inside it, so every
// socket lives and dies there too. Calls from other threads travel through a
// std::mutex-guarded slot and a captureless queued wake-up, a hand-over that
// ThreadSanitizer can follow (Qt itself is not instrumented).
class ServerThread final : public QThread
{
public:
    explicit ServerThread(Amps &amps)
        : m_amps(amps)
    {
        setObjectName(QStringLiteral("ampsim"));
    }

    ~ServerThread() override
    {
        // Quit from inside: the last wake-up of the thread's event loop then
        // comes through the hand-over too, never racing its teardown.
        if (isRunning())
            call([](ServerHost &) { currentThread()->quit(); });
        wait();
        const std::lock_guard lock(m_mutex);  // the thread's last writes happen before this
    }

    // Runs job with the host in the server thread and waits until it is done.
    // Not to be called from the server thread itself.
    void call(const std::function<void(ServerHost &)> &job)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_host != nullptr || m_ended; });
        if (!m_host)
            return;
        m_job = &job;
        QMetaObject::invokeMethod(m_host, [] { static_cast<ServerThread *>(currentThread())->runJob(); },
                                  Qt::QueuedConnection);
        m_changed.wait(lock, [this] { return m_job == nullptr || m_ended; });
    }

protected:
    void run() override
    {
        {
            ServerHost host(m_amps);
            setHost(&host);
            exec();
            setHost(nullptr);
        }  // the listeners and connections go here, in this thread
        const std::lock_guard lock(m_mutex);
        m_ended = true;
        m_job = nullptr;
        m_changed.notify_all();
    }

private:
    void setHost(ServerHost *host)
    {
        const std::lock_guard lock(m_mutex);
        m_host = host;
        m_changed.notify_all();
    }

    void runJob()
    {
        const std::lock_guard lock(m_mutex);
        if (!m_job)
            return;
        (*m_job)(*m_host);
        m_job = nullptr;
        m_changed.notify_all();
    }

    Amps &m_amps;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    ServerHost *m_host = nullptr;  // while the thread runs
    const std::function<void(ServerHost &)> *m_job = nullptr;
    bool m_ended = false;
};

} // namespace

struct AmpSimulator::Shared
{
    Amps amps;
    quint16 port = 0;  // guarded by amps.mutex
    // Declared after amps, so it ends before they go. Used from the caller's
    // thread only.
    std::unique_ptr<ServerThread> thread;
};

AmpSimulator::AmpSimulator()
    : m_shared(std::make_unique<Shared>())
{
}

AmpSimulator::~AmpSimulator() = default;

quint16 AmpSimulator::start(const QList<Amp> &amps, quint16 port)
{
    if (m_shared->thread)
        return 0;
    for (const Amp &amp : amps) {
        // Only this machine's loopback network: never answer on a real one.
        if (!QHostAddress(amp.address).isLoopback() || QHostAddress(amp.address).protocol()
                                                           != QAbstractSocket::IPv4Protocol) {
            qWarning("ampsim: %s is not a 127.x.x.x address", qPrintable(amp.address));
            return 0;
        }
    }
    {
        const std::lock_guard lock(m_shared->amps.mutex);
        quint32 variation = 1;
        for (const Amp &amp : amps) {
            SimulatedState state;
            state.address = amp.address;
            state.name = identityField(amp.name);
            state.group = identityField(amp.group);
            state.variation = variation++;
            m_shared->amps.states.push_back(std::move(state));
        }
    }
    m_shared->thread = std::make_unique<ServerThread>(m_shared->amps);
    m_shared->thread->start();

    quint16 chosen = 0;
    m_shared->thread->call([&chosen, port](ServerHost &host) { chosen = host.listenAll(port); });
    const std::lock_guard lock(m_shared->amps.mutex);
    m_shared->port = chosen;
    return chosen;
}

quint16 AmpSimulator::port() const
{
    const std::lock_guard lock(m_shared->amps.mutex);
    return m_shared->port;
}

int AmpSimulator::ampCount() const
{
    const std::lock_guard lock(m_shared->amps.mutex);
    return int(m_shared->amps.states.size());
}

void AmpSimulator::setFault(int amp, Fault fault)
{
    {
        const std::lock_guard lock(m_shared->amps.mutex);
        m_shared->amps.at(amp).fault = fault;
    }
    // Blocking, so that a refusal holds from the moment this returns.
    if (m_shared->thread)
        m_shared->thread->call([amp](ServerHost &host) { host.applyFault(amp); });
}

void AmpSimulator::setSlowBody(int amp, int chunkBytes, std::chrono::milliseconds delay)
{
    const std::lock_guard lock(m_shared->amps.mutex);
    SimulatedState &state = m_shared->amps.at(amp);
    state.slowChunk = qMax(1, chunkBytes);
    state.slowDelayMs = int(qBound(qint64(0), qint64(delay.count()), qint64(3600 * 1000)));
}

void AmpSimulator::setDripDelay(int amp, std::chrono::milliseconds delay)
{
    const std::lock_guard lock(m_shared->amps.mutex);
    m_shared->amps.at(amp).dripDelayMs = int(qBound(qint64(0), qint64(delay.count()), qint64(3600 * 1000)));
}

void AmpSimulator::setAnswerDelay(int amp, std::chrono::milliseconds delay)
{
    const std::lock_guard lock(m_shared->amps.mutex);
    m_shared->amps.at(amp).answerDelayMs = int(qBound(qint64(0), qint64(delay.count()), qint64(3600 * 1000)));
}

QByteArray AmpSimulator::garbageBytes()
{
    static const QByteArray bytes = makeGarbage();
    return bytes;
}

QByteArray AmpSimulator::unaskedBytes()
{
    return framed(lengthLine(7), "text/html", "UNASKED");
}

void AmpSimulator::setHugeBytes(int amp, qint64 bytes)
{
    const std::lock_guard lock(m_shared->amps.mutex);
    m_shared->amps.at(amp).hugeBytes = bytes;
}

QList<QByteArray> AmpSimulator::requests(int amp) const
{
    // Deep copies: nothing the caller holds shares storage with the list that
    // the server thread goes on appending to.
    const std::lock_guard lock(m_shared->amps.mutex);
    const QList<QByteArray> &recorded = m_shared->amps.at(amp).requests;
    QList<QByteArray> copies;
    copies.reserve(recorded.size());
    for (const QByteArray &request : recorded)
        copies.append(QByteArray(request.constData(), request.size()));
    return copies;
}

bool AmpSimulator::waitForRequests(int amp, qsizetype count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_shared->amps.mutex);
    return m_shared->amps.requestArrived.wait_for(lock, timeout, [&] {
        return m_shared->amps.at(amp).requestCount >= count;
    });
}

qsizetype AmpSimulator::requestCount(int amp) const
{
    return m_shared->amps.read(amp, &SimulatedState::requestCount);
}

qsizetype AmpSimulator::keptRequests() const
{
    const std::lock_guard lock(m_shared->amps.mutex);
    return m_shared->amps.keptRequests;
}

void AmpSimulator::setKeptRequests(qsizetype count)
{
    const std::lock_guard lock(m_shared->amps.mutex);
    m_shared->amps.keptRequests = qMax<qsizetype>(0, count);
}

QList<QByteArray> AmpSimulator::requestLines(int amp) const
{
    QList<QByteArray> lines;
    for (const QByteArray &request : requests(amp))
        lines.append(request.first(request.indexOf("\r\n")));
    return lines;
}

void AmpSimulator::clearRequests(int amp)
{
    const std::lock_guard lock(m_shared->amps.mutex);
    SimulatedState &state = m_shared->amps.at(amp);
    state.requests.clear();
    state.requestCount = 0;
}

int AmpSimulator::connectionsAccepted(int amp) const
{
    return m_shared->amps.read(amp, &SimulatedState::connections);
}

int AmpSimulator::openConnections(int amp) const
{
    return m_shared->amps.read(amp, &SimulatedState::openConnections);
}

QByteArray AmpSimulator::name(int amp) const
{
    return m_shared->amps.read(amp, &SimulatedState::name);
}

QByteArray AmpSimulator::group(int amp) const
{
    return m_shared->amps.read(amp, &SimulatedState::group);
}

void AmpSimulator::setIdentity(int amp, const QByteArray &name, const QByteArray &group)
{
    const std::lock_guard lock(m_shared->amps.mutex);
    SimulatedState &state = m_shared->amps.at(amp);
    state.name = identityField(name);
    state.group = identityField(group);
    state.blockBuiltAt = -1;
}

quint8 AmpSimulator::muteA(int amp) const
{
    return m_shared->amps.read(amp, &SimulatedState::muteA);
}

quint8 AmpSimulator::muteB(int amp) const
{
    return m_shared->amps.read(amp, &SimulatedState::muteB);
}

QByteArray AmpSimulator::groupSettings(int amp) const
{
    return m_shared->amps.read(amp, &SimulatedState::groupSettings);
}

bool AmpSimulator::locked(int amp) const
{
    return m_shared->amps.read(amp, &SimulatedState::locked);
}

QByteArray AmpSimulator::lastStatusBlockSent(int amp) const
{
    const std::lock_guard lock(m_shared->amps.mutex);
    const QByteArray &block = m_shared->amps.at(amp).lastSentBlock;
    return QByteArray(block.constData(), block.size());  // deep: the server thread keeps its own
}

QByteArray AmpSimulator::statusBlock(int amp) const
{
    const std::lock_guard lock(m_shared->amps.mutex);
    const QByteArray block = blockOf(m_shared->amps.at(amp));
    return QByteArray(block.constData(), block.size());  // the caller's own
}

void AmpSimulator::setServedBlock(int amp, const QByteArray &block)
{
    const std::lock_guard lock(m_shared->amps.mutex);
    m_shared->amps.at(amp).servedBlock = QByteArray(block.constData(), block.size());
}

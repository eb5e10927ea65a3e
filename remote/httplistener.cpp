#include "httplistener.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The socket keeps at most this much unread; beyond it the client's sends
// wait in the network, not in our memory.
constexpr qint64 kSocketReadBuffer = 2 * RequestHead::kMaxBytes;

QHostAddress plain(const QHostAddress &address)
{
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(ipv4) : address;
}

} // namespace

// One client connection: reads one request head at a time, hands it to the
// listener and writes the answer it gets back.
class HttpListener::Connection final : public QObject
{
public:
    enum class State { Reading, Answering, Writing, Closing };

    Connection(QTcpSocket *socket, quint64 id, HttpListener &listener)
        : QObject(&listener), m_socket(socket), m_id(id), m_listener(listener), m_peer(plain(socket->peerAddress()))
    {
        m_socket->setParent(this);
        m_socket->setReadBufferSize(kSocketReadBuffer);
        m_deadline.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this, &Connection::deadlinePassed);
        connect(m_socket, &QTcpSocket::readyRead, this, &Connection::readRequests);
        connect(m_socket, &QTcpSocket::bytesWritten, this, &Connection::written);
        connect(m_socket, &QTcpSocket::disconnected, this,
                [this] { m_listener.closeConnection(m_id); }, Qt::QueuedConnection);
        m_deadline.start(m_listener.m_timing.firstByteMs);
    }

    State state() const { return m_state; }
    const QHostAddress &peer() const { return m_peer; }

    void readRequests()
    {
        if (m_state != State::Reading)
            return;
        const bool begun = !m_buffer.isEmpty();
        const qint64 room = RequestHead::kMaxBytes - m_buffer.size();
        if (room > 0 && m_socket->bytesAvailable() > 0)
            m_buffer += m_socket->read(room);
        if (m_buffer.isEmpty())
            return;
        if (!begun)
            m_deadline.start(m_listener.m_timing.headMs);  // the whole head within this, however it drips
        const RequestHead::Head head = RequestHead::parse(m_buffer);
        switch (head.outcome) {
        case RequestHead::Outcome::Incomplete:
            return;
        case RequestHead::Outcome::TooLarge:
            return finish(HttpAnswer::plain(413, "Request header larger than 8 KiB"), false, Refusal::TooLarge);
        case RequestHead::Outcome::TargetTooLong:
            return finish(HttpAnswer::plain(414, "Request target longer than 2 KiB"), false, Refusal::TooLarge);
        case RequestHead::Outcome::Malformed:
            return finish(HttpAnswer::plain(400), false, Refusal::Malformed);
        case RequestHead::Outcome::Complete:
            break;
        }
        m_buffer.remove(0, head.length);
        // A body is never read, so what follows cannot be told from it.
        if (head.hasBody)
            return finish(HttpAnswer::plain(413, "This server takes no request body"), false, Refusal::TooLarge);
        m_withBody = head.method != "HEAD";
        if (head.hasHost && !m_listener.m_hostCheck.allows(head.host)) {
            return finish(HttpAnswer::plain(421, "This monitor answers to its own address, localhost and the names "
                                                 "set in HttpHosts"),
                          false, Refusal::Host);
        }
        m_state = State::Answering;
        m_deadline.stop();  // the wait is ours now, not the client's
        m_keepAlive = head.keepAlive;
        m_listener.m_handler(head, Responder(&m_listener, m_id));
    }

    void finish(const HttpAnswer &answer, bool keepAlive, std::optional<Refusal> refusal)
    {
        m_listener.count(refusal);
        m_keepAlive = keepAlive;
        m_state = State::Writing;
        m_deadline.start(m_listener.m_timing.idleMs);
        m_socket->write(answer.bytes(m_withBody, keepAlive));
        if (m_socket->bytesToWrite() == 0)
            written();
    }

    void answered(const HttpAnswer &answer, std::optional<Refusal> refusal)
    {
        if (m_state == State::Answering)
            finish(answer, m_keepAlive, refusal);
    }

    void close()
    {
        m_state = State::Closing;
        m_deadline.stop();
        m_socket->abort();
    }

private:
    // The client takes its answer: that is activity. Once all of it is out,
    // the next request is read, or the connection closed as agreed.
    void written()
    {
        if (m_state != State::Writing)
            return;
        m_deadline.start(m_listener.m_timing.idleMs);
        if (m_socket->bytesToWrite() > 0)
            return;
        if (!m_keepAlive) {
            m_state = State::Closing;
            m_deadline.stop();
            m_socket->disconnectFromHost();
            return;
        }
        m_state = State::Reading;
        m_withBody = true;
        m_requestsDone = true;
        m_deadline.start(m_buffer.isEmpty() ? m_listener.m_timing.idleMs : m_listener.m_timing.headMs);
        readRequests();
    }

    // A kept-alive connection that asks nothing more is closed as agreed;
    // anything else is a client too slow, counted.
    void deadlinePassed()
    {
        const bool idleBetweenRequests = m_state == State::Reading && m_buffer.isEmpty() && m_requestsDone;
        if (!idleBetweenRequests)
            m_listener.count(Refusal::Timeout);
        close();
    }

    QTcpSocket *m_socket;
    const quint64 m_id;
    HttpListener &m_listener;
    const QHostAddress m_peer;
    QTimer m_deadline;
    QByteArray m_buffer;
    State m_state = State::Reading;
    bool m_keepAlive = true;
    bool m_withBody = true;
    bool m_requestsDone = false;  // at least one request was answered
};

HttpListener::Responder::Responder(QPointer<HttpListener> listener, quint64 connection)
    : m_listener(std::move(listener)), m_connection(connection)
{
}

void HttpListener::Responder::operator()(const HttpAnswer &answer) const
{
    if (m_listener)
        m_listener->answer(m_connection, answer, std::nullopt);
}

void HttpListener::Responder::refuse(const HttpAnswer &answer, Refusal reason) const
{
    if (m_listener)
        m_listener->answer(m_connection, answer, reason);
}

const char *HttpListener::reasonName(Refusal refusal)
{
    switch (refusal) {
    case Refusal::Busy:
        return "busy";
    case Refusal::PerAddress:
        return "per_address";
    case Refusal::Displaced:
        return "displaced";
    case Refusal::Timeout:
        return "timeout";
    case Refusal::TooLarge:
        return "too_large";
    case Refusal::Malformed:
        return "malformed";
    case Refusal::Host:
        return "host";
    }
    return "";
}

QString HttpListener::hostAndPort(const QHostAddress &address, quint16 port)
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? u'[' + address.toString() + u']'
                             : address.toString();
    return host + u':' + QString::number(port);
}

HttpListener::HttpListener(Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler))
{
}

HttpListener::~HttpListener()
{
    close();
}

bool HttpListener::listen(const QHostAddress &address, quint16 port, QString *error)
{
    close();
    if (port == 0)
        return true;
    auto server = std::make_unique<QTcpServer>();
    if (!server->listen(address, port)) {
        if (error) {
            *error = server->serverError() == QAbstractSocket::AddressInUseError
                         ? u"Port "_s + QString::number(port) + u" on "_s + address.toString() + u" is in use"_s
                         : u"Cannot listen on "_s + hostAndPort(address, port) + u": "_s + server->errorString();
        }
        return false;
    }
    connect(server.get(), &QTcpServer::newConnection, this, &HttpListener::acceptPending);
    m_server = std::move(server);
    return true;
}

void HttpListener::close()
{
    m_server.reset();
    const auto connections = std::exchange(m_connections, {});
    for (const auto &[id, connection] : connections) {
        connection->close();
        connection->deleteLater();
        Q_EMIT connectionClosed(id);
    }
}

bool HttpListener::isListening() const
{
    return m_server && m_server->isListening();
}

QHostAddress HttpListener::address() const
{
    return m_server ? m_server->serverAddress() : QHostAddress();
}

quint16 HttpListener::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

quint64 HttpListener::requestsRefused() const
{
    quint64 sum = 0;
    for (const quint64 count : m_refusals)
        sum += count;
    return sum;
}

void HttpListener::acceptPending()
{
    while (m_server && m_server->hasPendingConnections())
        accept(m_server->nextPendingConnection());
}

void HttpListener::accept(QTcpSocket *socket)
{
    if (connectionsFrom(plain(socket->peerAddress())) >= kMaxPerAddress)
        return refuse(socket, Refusal::PerAddress);
    if (int(m_connections.size()) >= kMaxConnections) {
        Connection *oldest = displaceable();
        if (!oldest)
            return refuse(socket, Refusal::Busy);
        const auto found = std::find_if(m_connections.begin(), m_connections.end(),
                                        [&](const auto &entry) { return entry.second == oldest; });
        const quint64 id = found->first;
        m_connections.erase(found);
        count(Refusal::Displaced);
        oldest->close();
        oldest->deleteLater();
        Q_EMIT connectionClosed(id);
    }
    const quint64 id = m_nextId++;
    m_connections.emplace(id, new Connection(socket, id, *this));
}

HttpListener::Connection *HttpListener::displaceable() const
{
    for (const auto &[id, connection] : m_connections) {
        if (connection->state() == Connection::State::Reading)
            return connection;
    }
    return nullptr;
}

int HttpListener::connectionsFrom(const QHostAddress &peer) const
{
    int count = 0;
    for (const auto &[id, connection] : m_connections)
        count += connection->peer() == peer ? 1 : 0;
    return count;
}

// Told why and closed; its bytes are not read. A peer that does not take
// the answer is cut off after the first byte's time.
void HttpListener::refuse(QTcpSocket *socket, Refusal reason)
{
    socket->setParent(this);
    count(reason);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(m_timing.firstByteMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    const QByteArray text = reason == Refusal::PerAddress ? "Too many connections from this address"
                                                          : "Too many connections";
    socket->write(HttpAnswer::plain(503, text).bytes(true, false));
    socket->disconnectFromHost();
}

void HttpListener::closeConnection(quint64 id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end())
        return;
    found->second->deleteLater();
    m_connections.erase(found);
    Q_EMIT connectionClosed(id);
}

void HttpListener::answer(quint64 id, const HttpAnswer &answer, std::optional<Refusal> refusal)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end())
        return;
    // An answer that turns the request down (404, 405) counts as a request it could not read.
    if (!refusal && answer.status >= 400 && answer.status < 500)
        refusal = Refusal::Malformed;
    found->second->answered(answer, refusal);
}

void HttpListener::count(std::optional<Refusal> refusal)
{
    if (refusal)
        ++m_refusals[std::size_t(*refusal)];
    else
        ++m_served;
}

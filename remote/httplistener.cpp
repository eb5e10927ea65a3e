#include "httplistener.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The socket keeps at most this much unread; beyond it the client's sends
// wait in the network, not in our memory.
constexpr qint64 kSocketReadBuffer = 2 * RequestHead::kMaxBytes;

} // namespace

// One client connection: reads one request head at a time, hands it to the
// listener and writes the answer it gets back.
class HttpListener::Connection final : public QObject
{
public:
    enum class State { Reading, Answering, Writing, Closing };

    Connection(QTcpSocket *socket, quint64 id, HttpListener &listener)
        : QObject(&listener), m_socket(socket), m_id(id), m_listener(listener)
    {
        m_socket->setParent(this);
        m_socket->setReadBufferSize(kSocketReadBuffer);
        m_idle.setSingleShot(true);
        m_idle.setInterval(kIdleMs);
        connect(&m_idle, &QTimer::timeout, this, [this] { m_socket->abort(); });
        connect(m_socket, &QTcpSocket::readyRead, this, &Connection::readRequests);
        connect(m_socket, &QTcpSocket::bytesWritten, this, &Connection::written);
        connect(m_socket, &QTcpSocket::disconnected, this,
                [this] { m_listener.closeConnection(m_id); }, Qt::QueuedConnection);
        m_idle.start();
    }

    void readRequests()
    {
        if (m_state != State::Reading)
            return;
        const qint64 room = RequestHead::kMaxBytes - m_buffer.size();
        if (room > 0 && m_socket->bytesAvailable() > 0)
            m_buffer += m_socket->read(room);
        if (m_buffer.isEmpty())
            return;
        const RequestHead::Head head = RequestHead::parse(m_buffer);
        switch (head.outcome) {
        case RequestHead::Outcome::Incomplete:
            return;
        case RequestHead::Outcome::TooLarge:
            return finish(HttpAnswer::plain(413, "Request header larger than 8 KiB"), false);
        case RequestHead::Outcome::Malformed:
            return finish(HttpAnswer::plain(400), false);
        case RequestHead::Outcome::Complete:
            break;
        }
        m_buffer.remove(0, head.length);
        // A body is never read, so what follows cannot be told from it.
        if (head.hasBody)
            return finish(HttpAnswer::plain(413, "This server takes no request body"), false);
        m_state = State::Answering;
        m_withBody = head.method != "HEAD";
        m_keepAlive = head.keepAlive;
        QPointer<HttpListener> listener(&m_listener);
        const quint64 id = m_id;
        m_listener.m_handler(head, [listener, id](const HttpAnswer &answer) {
            if (listener)
                listener->answer(id, answer);
        });
    }

    void finish(const HttpAnswer &answer, bool keepAlive)
    {
        m_listener.count(answer.status);
        m_keepAlive = keepAlive;
        m_state = State::Writing;
        m_socket->write(answer.bytes(m_withBody, keepAlive));
        if (m_socket->bytesToWrite() == 0)
            written();
    }

    void answered(const HttpAnswer &answer)
    {
        if (m_state == State::Answering)
            finish(answer, m_keepAlive);
    }

    void close()
    {
        m_state = State::Closing;
        m_socket->abort();
    }

private:
    // The client takes its answer: that is activity. Once all of it is out,
    // the next request is read, or the connection closed as agreed.
    void written()
    {
        if (m_state != State::Writing)
            return;
        m_idle.start();
        if (m_socket->bytesToWrite() > 0)
            return;
        if (!m_keepAlive) {
            m_state = State::Closing;
            m_socket->disconnectFromHost();
            return;
        }
        m_state = State::Reading;
        m_withBody = true;
        readRequests();
    }

    QTcpSocket *m_socket;
    const quint64 m_id;
    HttpListener &m_listener;
    QTimer m_idle;
    QByteArray m_buffer;
    State m_state = State::Reading;
    bool m_keepAlive = true;
    bool m_withBody = true;
};

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
    for (auto &[id, connection] : m_connections) {
        connection->close();
        connection->deleteLater();
    }
    m_connections.clear();
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

void HttpListener::acceptPending()
{
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        if (int(m_connections.size()) >= kMaxConnections) {
            refuse(socket);
            continue;
        }
        const quint64 id = m_nextId++;
        m_connections.emplace(id, new Connection(socket, id, *this));
    }
}

// Told why and closed; its bytes are not read.
void HttpListener::refuse(QTcpSocket *socket)
{
    socket->setParent(this);
    ++m_refused;
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->write(HttpAnswer::plain(503, "Too many connections").bytes(true, false));
    socket->disconnectFromHost();
}

void HttpListener::closeConnection(quint64 id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end())
        return;
    found->second->deleteLater();
    m_connections.erase(found);
}

void HttpListener::answer(quint64 id, const HttpAnswer &answer)
{
    const auto found = m_connections.find(id);
    if (found != m_connections.end())
        found->second->answered(answer);
}

void HttpListener::count(int status)
{
    if (status >= 400 && status < 500)
        ++m_refused;
    else
        ++m_served;
}

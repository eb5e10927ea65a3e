#pragma once

// A test's HTTP client on the test's own event loop, so that a server on the
// same thread goes on serving while it waits: raw request bytes out, answers
// framed by their Content-Length back. Waits on the socket's signals, never
// on time, with a deadline that only a hung server reaches.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QMap>
#include <QTcpSocket>
#include <QTimer>

struct HttpReply
{
    int status = 0;  // 0: the connection closed before a whole answer
    QMap<QByteArray, QByteArray> fields;  // names in lower case
    QByteArray body;
};

class HttpClient final
{
public:
    static constexpr int kDeadlineMs = 30'000;

    // from: the loopback address to connect from; none: the system's choice.
    explicit HttpClient(quint16 port, const QHostAddress &from = {})
    {
        if (!from.isNull())
            m_socket.bind(from);
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        waitFor([&] {
            const auto state = m_socket.state();
            return state == QAbstractSocket::ConnectedState || state == QAbstractSocket::UnconnectedState;
        });
    }

    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    QTcpSocket &socket() { return m_socket; }

    void send(const QByteArray &bytes) { m_socket.write(bytes); }

    // The next answer; a HEAD's has no body whatever its Content-Length says.
    HttpReply read(bool head = false)
    {
        HttpReply reply;
        waitFor([&] { return take(reply, head); });
        return reply;
    }

    HttpReply get(const QByteArray &target, const QByteArray &method = "GET")
    {
        send(method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        return read(method == "HEAD");
    }

    // True once the server closed the connection.
    bool waitForClose()
    {
        waitFor([&] { return m_socket.state() == QAbstractSocket::UnconnectedState; });
        return m_socket.state() == QAbstractSocket::UnconnectedState;
    }

private:
    bool take(HttpReply &reply, bool head)
    {
        m_buffer += m_socket.readAll();
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return closed();
        const QList<QByteArray> lines = m_buffer.first(end).split('\n');
        const QList<QByteArray> status = lines[0].split(' ');
        reply.status = status.size() > 1 ? status[1].toInt() : -1;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            reply.fields.insert(lines[i].first(colon).toLower(), lines[i].sliced(colon + 1).trimmed());
        }
        const qsizetype length = head ? 0 : reply.fields.value("content-length").toLongLong();
        if (m_buffer.size() < end + 4 + length) {
            if (closed()) {
                reply.status = 0;
                return true;
            }
            return false;
        }
        reply.body = m_buffer.sliced(end + 4, length);
        m_buffer.remove(0, end + 4 + length);
        return true;
    }

    bool closed() const
    {
        return m_socket.state() == QAbstractSocket::UnconnectedState && m_socket.bytesAvailable() == 0;
    }

    template<typename Done>
    void waitFor(Done done)
    {
        const QDeadlineTimer deadline(kDeadlineMs);
        while (!done() && !deadline.hasExpired()) {
            QEventLoop loop;
            QObject::connect(&m_socket, &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
            QObject::connect(&m_socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
            QObject::connect(&m_socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
            QObject::connect(&m_socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
            QTimer::singleShot(int(std::max<qint64>(1, deadline.remainingTime())), &loop, &QEventLoop::quit);
            if (!done())
                loop.exec();
        }
    }

    QTcpSocket m_socket;
    QByteArray m_buffer;
};

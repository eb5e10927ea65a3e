#pragma once

// A one-address HTTP peer on the test's own thread that answers every request
// (everything up to an empty line) with the next of a list of prepared
// responses, the last one repeated. For answers the simulator never gives.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

class ScriptedServer final : public QObject
{
public:
    explicit ScriptedServer(QList<QByteArray> responses)
        : m_responses(std::move(responses))
    {
        connect(&m_server, &QTcpServer::newConnection, this, &ScriptedServer::accept);
        m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")));
    }

    quint16 port() const { return m_server.serverPort(); }
    const QList<QByteArray> &requests() const { return m_requests; }

    // A framed response with the given body.
    static QByteArray response(const QByteArray &body)
    {
        return "HTTP/1.1 200 OK\r\nServer: test\r\nConnection: keep-alive\r\n"
               "Content-Type: application/octet-stream\r\nContent-Length: "
               + QByteArray::number(body.size()) + "\r\nCache-Control: no-cache\r\n\r\n" + body;
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    }

    void answer(QTcpSocket *socket)
    {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        for (qsizetype end; (end = pending.indexOf("\r\n\r\n")) >= 0;) {
            m_requests.append(pending.first(end + 4));
            pending.remove(0, end + 4);
            const qsizetype next = qMin(m_answered++, m_responses.size() - 1);
            socket->write(m_responses.at(next));
        }
    }

    QTcpServer m_server;
    QList<QByteArray> m_responses;
    QList<QByteArray> m_requests;
    QHash<QTcpSocket *, QByteArray> m_pending;
    qsizetype m_answered = 0;
};

#pragma once

// A small, bounded HTTP/1.1 server for read-only answers, on the event loop
// of the thread that owns it (the main thread for the monitor): at most
// kMaxConnections connections at once (one more is answered 503 and
// closed), a connection that has not finished a request or taken an answer
// for kIdleMs is closed, request heads are limited to 8 KiB and bodies are
// refused. A connection handles one request at a time: while its answer is
// being made or written, further bytes stay in the socket's bounded buffer,
// so a client that does not read its answers only stalls itself.
//
// The handler is called for each complete request head on the owner's
// thread and answers through the Responder, at once or later, also on the
// owner's thread; answering a connection that has gone is harmless.
// Everything here runs on the owner's thread.

#include "httpanswer.h"
#include "requesthead.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <unordered_map>

class QTcpServer;
class QTcpSocket;
class QTimer;

class HttpListener final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxConnections = 64;
    static constexpr int kIdleMs = 10'000;

    using Responder = std::function<void(const HttpAnswer &answer)>;
    using Handler = std::function<void(const RequestHead::Head &request, const Responder &respond)>;

    explicit HttpListener(Handler handler, QObject *parent = nullptr);
    ~HttpListener() override;

    // Closes what is open, then listens; port 0 only closes. False, with a
    // reason a person can read in error, when the port cannot be had.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    // Stops listening and closes every connection.
    void close();
    bool isListening() const;
    QHostAddress address() const;
    quint16 port() const;

    // "127.0.0.1:8080", "[::1]:8080".
    static QString hostAndPort(const QHostAddress &address, quint16 port);

    int openConnections() const { return int(m_connections.size()); }
    // Requests answered otherwise (a 503 of /healthz is an answer, not a refusal).
    quint64 requestsServed() const { return m_served; }
    // Requests answered 4xx, and connections refused beyond the bound.
    quint64 requestsRefused() const { return m_refused; }

private:
    class Connection;

    void acceptPending();
    void refuse(QTcpSocket *socket);
    void closeConnection(quint64 id);
    void answer(quint64 id, const HttpAnswer &answer);
    void count(int status);

    Handler m_handler;
    std::unique_ptr<QTcpServer> m_server;
    std::unordered_map<quint64, Connection *> m_connections;  // children of this
    quint64 m_nextId = 1;
    quint64 m_served = 0;
    quint64 m_refused = 0;
};

#pragma once

// A small, bounded HTTP/1.1 server for read-only answers, on the event loop
// of the thread that owns it (the main thread for the monitor).
//
// Connections: at most kMaxConnections at once and kMaxPerAddress from one
// peer address (one more from that address is answered 503 and closed).
// When all are taken, a newcomer displaces the oldest connection that has
// no request in progress (one waiting for its first or next request, or
// sending a head); when every connection's request is being answered, the
// newcomer is answered 503. So neither silent connections nor one address
// can keep the others out.
//
// Time: the first byte must come within firstByteMs of the connect, a head
// must be complete within headMs of its first byte, and a kept-alive
// connection waiting for its next request, or a client not taking its
// answer, is closed after idleMs. No limit runs while a request is being
// answered: that wait is the server's, not the client's.
//
// Size: heads up to 8 KiB (413 beyond), targets up to 2 KiB (414), bodies
// refused. A connection handles one request at a time: while its answer is
// being made or written, further bytes stay in the socket's bounded buffer,
// so a client that does not read its answers only stalls itself.
//
// Host: a request whose Host the HostCheck refuses is answered 421.
//
// The handler is called for each complete request head on the owner's
// thread and answers through the Responder, at once or later, also on the
// owner's thread; answering a connection that has gone is harmless, and
// connectionClosed() says when one has gone. Everything here runs on the
// owner's thread.

#include "hostcheck.h"
#include "httpanswer.h"
#include "requesthead.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <map>

class QTcpServer;
class QTcpSocket;

class HttpListener final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxConnections = 64;
    static constexpr int kMaxPerAddress = 8;
    static constexpr int kIdleMs = 10'000;

    struct Timing
    {
        int firstByteMs = 5'000;
        int headMs = 5'000;
        int idleMs = kIdleMs;
    };

    // Why a connection or a request was refused; the metrics' "reason" label.
    enum class Refusal { Busy, PerAddress, Displaced, Timeout, TooLarge, Malformed, Host };
    static constexpr int kRefusalCount = 7;
    static const char *reasonName(Refusal refusal);
    using Refusals = std::array<quint64, kRefusalCount>;

    // Answers one request of one connection.
    class Responder
    {
    public:
        Responder(QPointer<HttpListener> listener, quint64 connection);
        void operator()(const HttpAnswer &answer) const;
        // An answer that refuses the request, counted for the reason.
        void refuse(const HttpAnswer &answer, Refusal reason) const;
        quint64 connection() const { return m_connection; }

    private:
        QPointer<HttpListener> m_listener;
        quint64 m_connection;
    };
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

    // Seams for tests: shorter limits than the defaults.
    void setTiming(const Timing &timing) { m_timing = timing; }
    const Timing &timing() const { return m_timing; }
    void setHostCheck(const HostCheck &check) { m_hostCheck = check; }

    // "127.0.0.1:8080", "[::1]:8080".
    static QString hostAndPort(const QHostAddress &address, quint16 port);

    int openConnections() const { return int(m_connections.size()); }
    // Requests answered (a 503 of /healthz is an answer, not a refusal).
    quint64 requestsServed() const { return m_served; }
    // Requests and connections refused, whatever the reason.
    quint64 requestsRefused() const;
    const Refusals &refusals() const { return m_refusals; }

Q_SIGNALS:
    // The connection is gone: its answer, if one is being made, is wanted no more.
    void connectionClosed(quint64 connection);

private:
    class Connection;

    void acceptPending();
    void accept(QTcpSocket *socket);
    void refuse(QTcpSocket *socket, Refusal reason);
    // The oldest connection without a request in progress; null when none.
    Connection *displaceable() const;
    int connectionsFrom(const QHostAddress &peer) const;
    void closeConnection(quint64 id);
    void answer(quint64 id, const HttpAnswer &answer, std::optional<Refusal> refusal);
    void count(std::optional<Refusal> refusal);

    Handler m_handler;
    Timing m_timing;
    HostCheck m_hostCheck;
    std::unique_ptr<QTcpServer> m_server;
    std::map<quint64, Connection *> m_connections;  // children of this, oldest first
    quint64 m_nextId = 1;
    quint64 m_served = 0;
    Refusals m_refusals{};
};

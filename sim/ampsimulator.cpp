#include "ampsimulator.h"

#include "simulatedstate.h"
#include "statusblockbuilder.h"

#include <QDateTime>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <vector>

using Fault = AmpSimulator::Fault;

namespace {

// A client that sends this much without ending its request is dropped.
constexpr qsizetype kMaxRequestBytes = 64 * 1024;
constexpr int kShortBodyBytes = 3000;
constexpr int kOtherBodyBytes = 100;

QByteArray framed(QByteArrayView lengthLine, QByteArrayView body)
{
    QByteArray response = "HTTP/1.1 200 OK\r\nServer: ampsim\r\nConnection: keep-alive\r\n"
                          "Content-Type: application/octet-stream\r\n";
    response += lengthLine;
    response += "\r\nCache-Control: no-cache\r\n\r\n";
    response += body;
    return response;
}

QByteArray lengthLine(qint64 length)
{
    return "Content-Length: " + QByteArray::number(length);
}

// "GET <target> HTTP/1.1": the target runs to the last " HTTP/".
QByteArray targetOf(QByteArrayView requestLine)
{
    if (!requestLine.startsWith("GET "))
        return {};
    const qsizetype end = requestLine.lastIndexOf(" HTTP/");
    return requestLine.sliced(4, qMax<qsizetype>(end, 4) - 4).toByteArray();
}

} // namespace

struct AmpSimulator::Shared
{
    mutable QMutex mutex;
    std::vector<SimulatedState> amps;  // fixed in size once started
    quint16 port = 0;
    QThread thread;
    Servers *servers = nullptr;  // lives in thread

    SimulatedState &at(int amp) { return amps.at(std::size_t(amp)); }
    const SimulatedState &at(int amp) const { return amps.at(std::size_t(amp)); }
};

// The servers and connections, all in the simulator's thread.
class AmpSimulator::Servers final : public QObject
{
public:
    explicit Servers(Shared &shared)
        : m_shared(shared)
    {
    }

    bool listenAll(quint16 port)
    {
        m_servers.resize(m_shared.amps.size());
        m_port = port;
        for (std::size_t amp = 0; amp < m_servers.size(); ++amp) {
            if (!listen(int(amp)))
                return false;
            m_port = m_servers[amp]->serverPort();
        }
        return true;
    }

    quint16 port() const { return m_port; }

    // Refuse closes the amp's server and its connections; any other fault
    // lets it listen again.
    void applyFault(int amp)
    {
        Fault fault;
        {
            QMutexLocker lock(&m_shared.mutex);
            fault = m_shared.at(amp).fault;
        }
        auto &server = m_servers[std::size_t(amp)];
        if (fault == Fault::Refuse) {
            delete server.data();
            for (QTcpSocket *socket : findChildren<QTcpSocket *>()) {
                if (socket->property("amp").toInt() == amp)
                    socket->abort();
            }
        } else if (!server) {
            listen(amp);
        }
    }

private:
    bool listen(int amp)
    {
        auto *server = new QTcpServer(this);
        QString address;
        {
            QMutexLocker lock(&m_shared.mutex);
            address = m_shared.at(amp).address;
        }
        if (!server->listen(QHostAddress(address), m_port)) {
            qWarning("ampsim: cannot listen on %s:%u: %s", qPrintable(address), m_port,
                     qPrintable(server->errorString()));
            delete server;
            return false;
        }
        connect(server, &QTcpServer::newConnection, this, [this, server, amp] { accept(server, amp); });
        m_servers[std::size_t(amp)] = server;
        return true;
    }

    void accept(QTcpServer *server, int amp)
    {
        while (QTcpSocket *socket = server->nextPendingConnection()) {
            socket->setParent(this);
            socket->setProperty("amp", amp);
            {
                QMutexLocker lock(&m_shared.mutex);
                ++m_shared.at(amp).connections;
            }
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, amp] { read(socket, amp); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket *socket, int amp)
    {
        QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
        for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0;) {
            const QByteArray request = buffer.first(end + 4);
            buffer.remove(0, end + 4);
            answer(socket, amp, request);
            if (socket->state() != QAbstractSocket::ConnectedState)
                return;
        }
        if (buffer.size() > kMaxRequestBytes) {
            socket->abort();
            return;
        }
        socket->setProperty("buffer", buffer);
    }

    void answer(QTcpSocket *socket, int amp, const QByteArray &request)
    {
        const QByteArray target = targetOf(QByteArrayView(request).first(request.indexOf("\r\n")));
        Fault fault;
        QByteArray block;
        qint64 hugeBytes;
        int chunk, delayMs;
        {
            QMutexLocker lock(&m_shared.mutex);
            SimulatedState &state = m_shared.at(amp);
            state.requests.append(request);
            applyCommand(state, target);
            fault = state.fault;
            hugeBytes = state.hugeBytes;
            chunk = state.slowChunk;
            delayMs = state.slowDelayMs;
            if (target == "/krv.krv")
                block = buildStatusBlock(state, QDateTime::currentMSecsSinceEpoch());
        }
        const QByteArray body = block.isEmpty() ? QByteArray("OK") : block;
        switch (fault) {
        case Fault::Stall:
        case Fault::Refuse:
            return;
        case Fault::ShortBody:
            write(socket, framed(lengthLine(body.size()), body.first(qMin(body.size(), kShortBodyBytes))));
            return;
        case Fault::LineWithoutDigits:
            write(socket, framed("Content-Length: none", body));
            return;
        case Fault::TextBetweenNumbers:
            write(socket, framed("Range: 12 of 20", body));
            return;
        case Fault::HugeLength:
            write(socket, framed(lengthLine(2000000000), {}));
            write(socket, QByteArray(qsizetype(hugeBytes), 'x'));
            return;
        case Fault::OtherLength:
            write(socket, framed(lengthLine(kOtherBodyBytes), QByteArray(kOtherBodyBytes, 'o')));
            return;
        case Fault::SlowBody:
            writeSlowly(socket, framed(lengthLine(body.size()), {}), body, chunk, delayMs);
            return;
        case Fault::CloseAfterAnswer:
            write(socket, framed(lengthLine(body.size()), body));
            socket->disconnectFromHost();
            return;
        case Fault::None:
            write(socket, framed(lengthLine(body.size()), body));
            return;
        }
    }

    // Keeps answers in order behind a slow body still being sent.
    void write(QTcpSocket *socket, const QByteArray &bytes)
    {
        QByteArray pending = socket->property("pending").toByteArray();
        if (pending.isEmpty())
            socket->write(bytes);
        else
            socket->setProperty("pending", pending + bytes);
    }

    void writeSlowly(QTcpSocket *socket, const QByteArray &head, const QByteArray &body, int chunk,
                     int delayMs)
    {
        write(socket, head);
        socket->setProperty("pending", socket->property("pending").toByteArray() + body);
        if (socket->property("sending").toBool())
            return;
        socket->setProperty("sending", true);
        auto *timer = new QTimer(socket);
        timer->setInterval(delayMs);
        connect(timer, &QTimer::timeout, socket, [socket, timer, chunk] {
            QByteArray pending = socket->property("pending").toByteArray();
            socket->write(pending.first(qMin<qsizetype>(chunk, pending.size())));
            pending.remove(0, chunk);
            socket->setProperty("pending", pending);
            if (pending.isEmpty()) {
                socket->setProperty("sending", false);
                timer->deleteLater();
            }
        });
        timer->start();
    }

    Shared &m_shared;
    std::vector<QPointer<QTcpServer>> m_servers;
    quint16 m_port = 0;
};

AmpSimulator::AmpSimulator()
    : m_shared(std::make_unique<Shared>())
{
    m_shared->thread.setObjectName(QStringLiteral("ampsim"));
}

AmpSimulator::~AmpSimulator()
{
    if (m_shared->servers) {
        QMetaObject::invokeMethod(m_shared->servers, [this] { delete m_shared->servers; },
                                  Qt::BlockingQueuedConnection);
    }
    m_shared->thread.quit();
    m_shared->thread.wait();
}

quint16 AmpSimulator::start(const QList<Amp> &amps, quint16 port)
{
    {
        QMutexLocker lock(&m_shared->mutex);
        quint32 seed = 1;
        for (const Amp &amp : amps) {
            SimulatedState state;
            state.address = amp.address;
            state.name = amp.name.leftJustified(5, ' ');
            state.group = amp.group.leftJustified(5, ' ');
            state.seed = seed++;
            m_shared->amps.push_back(std::move(state));
        }
    }
    m_shared->thread.start();
    bool listening = false;
    auto *servers = new Servers(*m_shared);
    servers->moveToThread(&m_shared->thread);
    m_shared->servers = servers;
    QMetaObject::invokeMethod(
        servers, [&] { listening = servers->listenAll(port); }, Qt::BlockingQueuedConnection);
    if (!listening)
        return 0;
    quint16 chosen = 0;
    QMetaObject::invokeMethod(servers, [&] { chosen = servers->port(); }, Qt::BlockingQueuedConnection);
    QMutexLocker lock(&m_shared->mutex);
    m_shared->port = chosen;
    return chosen;
}

quint16 AmpSimulator::port() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->port;
}

int AmpSimulator::ampCount() const
{
    QMutexLocker lock(&m_shared->mutex);
    return int(m_shared->amps.size());
}

void AmpSimulator::setFault(int amp, Fault fault)
{
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->at(amp).fault = fault;
    }
    // Blocking, so that a refusal holds from the moment this returns.
    QMetaObject::invokeMethod(
        m_shared->servers, [this, amp] { m_shared->servers->applyFault(amp); },
        Qt::BlockingQueuedConnection);
}

void AmpSimulator::setSlowBody(int amp, int chunkBytes, std::chrono::milliseconds delay)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->at(amp).slowChunk = qMax(1, chunkBytes);
    m_shared->at(amp).slowDelayMs = int(delay.count());
}

void AmpSimulator::setHugeBytes(int amp, qint64 bytes)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->at(amp).hugeBytes = bytes;
}

QList<QByteArray> AmpSimulator::requests(int amp) const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->at(amp).requests;
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
    QMutexLocker lock(&m_shared->mutex);
    m_shared->at(amp).requests.clear();
}

int AmpSimulator::connectionsAccepted(int amp) const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->at(amp).connections;
}

QByteArray AmpSimulator::name(int amp) const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->at(amp).name;
}

QByteArray AmpSimulator::group(int amp) const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->at(amp).group;
}

void AmpSimulator::setIdentity(int amp, const QByteArray &name, const QByteArray &group)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->at(amp).name = name.leftJustified(5, ' ');
    m_shared->at(amp).group = group.leftJustified(5, ' ');
}

quint8 AmpSimulator::muteA(int amp) const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->at(amp).muteA;
}

quint8 AmpSimulator::muteB(int amp) const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->at(amp).muteB;
}

QByteArray AmpSimulator::groupSettings(int amp) const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->at(amp).groupSettings;
}

bool AmpSimulator::locked(int amp) const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->at(amp).locked;
}

QByteArray AmpSimulator::statusBlock(int amp) const
{
    QMutexLocker lock(&m_shared->mutex);
    return buildStatusBlock(m_shared->at(amp), QDateTime::currentMSecsSinceEpoch());
}

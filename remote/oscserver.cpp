#include "oscserver.h"

#include "controllercore.h"
#include "osccommands.h"
#include "oscpacket.h"
#include "oscrequest.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include <chrono>

using namespace Qt::StringLiterals;

namespace {

qint64 steadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString endpointText(const QHostAddress &address, quint16 port)
{
    const QString host = address.protocol() == QHostAddress::IPv6Protocol ? u"["_s + address.toString() + u"]"_s
                                                                          : address.toString();
    return host + u":"_s + QString::number(port);
}

QString senderText(const QHostAddress &sender)
{
    bool isIpv4 = false;
    const quint32 ipv4 = sender.toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(ipv4).toString() : sender.toString();
}

} // namespace

OscServer::OscServer(ControllerCore &core, QObject *parent)
    : QObject(parent),
      m_core(core),
      m_status(u"Off"_s),
      m_clock(steadyMilliseconds)
{
    m_heldFeedback.setSingleShot(true);
    connect(&m_heldFeedback, &QTimer::timeout, this, &OscServer::refreshFeedback);
    connect(&m_core, &ControllerCore::refreshed, this, &OscServer::refreshFeedback);
}

OscServer::~OscServer() = default;

void OscServer::setTiming(qint64 subscriptionMs, qint64 feedbackIntervalMs, std::function<qint64()> clock)
{
    m_subscriptionMs = subscriptionMs;
    m_feedbackIntervalMs = feedbackIntervalMs;
    m_clock = std::move(clock);
}

bool OscServer::listen(const QHostAddress &address, quint16 port, const QString &allow, QString *error)
{
    close();
    if (port == 0)
        return true;
    QString reason;
    m_allow = OscAllowList::parse(allow, &reason);
    if (!m_allow) {
        fail(reason, error);
        return false;
    }
    auto socket = std::make_unique<QUdpSocket>();
    // Not shared: a second listener on the same port must fail, not split the packets.
    if (!socket->bind(address, port, QAbstractSocket::DontShareAddress)) {
        fail(u"Cannot listen on "_s + endpointText(address, port) + u": "_s + socket->errorString(), error);
        return false;
    }
    connect(socket.get(), &QUdpSocket::readyRead, this, &OscServer::readPackets);
    m_socket = std::move(socket);
    m_status = u"Listening on "_s + endpointText(address, port);
    return true;
}

void OscServer::close()
{
    m_socket.reset();
    m_allow.reset();
    m_subscribers = {};
    m_heldFeedback.stop();
    m_status = u"Off"_s;
}

QString OscServer::statusText() const
{
    return m_status;
}

void OscServer::fail(const QString &reason, QString *error)
{
    m_status = reason;
    if (error)
        *error = reason;
}

void OscServer::readPackets()
{
    bool acted = false;
    for (int i = 0; i < kPacketsPerActivation && m_socket && m_socket->hasPendingDatagrams(); ++i) {
        // One byte more than the largest packet tells an over-long one apart.
        const QNetworkDatagram datagram = m_socket->receiveDatagram(OscPacket::kMaxPacketBytes + 1);
        const quint64 before = m_counters.commands;
        handlePacket(datagram.data(), datagram.senderAddress(), quint16(datagram.senderPort()));
        acted = acted || m_counters.commands != before;
    }
    // The readyRead signal comes again while packets wait, after the event
    // loop has served the timers.
    if (acted)
        refreshFeedback();
}

void OscServer::handlePacket(const QByteArray &packet, const QHostAddress &sender, quint16 senderPort)
{
    if (!m_allow || !m_allow->allows(sender)) {
        ++m_counters.messages;
        ++m_counters.refused;
        logRefused(sender);
        return;
    }
    const auto messages = OscPacket::decode(packet);
    if (!messages) {
        ++m_counters.messages;
        ++m_counters.malformed;
        return;
    }
    for (const OscPacket::Message &message : *messages) {
        ++m_counters.messages;
        const std::optional<OscRequest> request = OscRequests::parse(message.address, message.arguments);
        if (request && handleRequest(*request, sender, senderPort))
            ++m_counters.commands;
        else
            ++m_counters.malformed;
    }
}

bool OscServer::handleRequest(const OscRequest &request, const QHostAddress &sender, quint16 senderPort)
{
    switch (request.kind) {
    case OscRequest::Kind::Ping:
        if (m_socket)
            m_socket->writeDatagram(OscPacket::encode("/amp/pong", std::nullopt), sender, senderPort);
        return true;
    case OscRequest::Kind::Subscribe:
        subscribe(sender, request.port != 0 ? request.port : senderPort);
        return true;
    default:
        return OscCommands::run(m_core, request, CommandSource::osc(senderText(sender)));
    }
}

void OscServer::subscribe(const QHostAddress &sender, quint16 port)
{
    // The others hear what changed first, so that the table holds the state
    // that the newcomer gets whole.
    refreshFeedback();
    const qint64 now = m_clock();
    if (m_subscribers.isEmpty()) {
        m_feedback.update(m_state.collect(m_core));
        m_feedback.takeDue(now, 0);  // the newcomer, alone, gets it all below
    }
    m_subscribers.subscribe(sender, port, now, m_subscriptionMs);
    sendTo(m_feedback.all(), sender, port);
}

void OscServer::refreshFeedback()
{
    const qint64 now = m_clock();
    m_subscribers.expire(now);
    // Nobody listens: nothing is looked at. A newcomer gets the whole state.
    if (m_subscribers.isEmpty() || !m_socket)
        return;
    m_feedback.update(m_state.collect(m_core));
    const std::vector<OscFeedbackItem> due = m_feedback.takeDue(now, m_feedbackIntervalMs);
    if (!due.empty()) {
        for (const OscSubscribers::Subscriber &subscriber : m_subscribers.subscribers())
            sendTo(due, subscriber.address, subscriber.port);
    }
    if (const std::optional<qint64> next = m_feedback.nextDueMs(m_feedbackIntervalMs))
        m_heldFeedback.start(int(std::clamp<qint64>(*next - now, 0, m_feedbackIntervalMs)));
}

void OscServer::sendTo(const std::vector<OscFeedbackItem> &items, const QHostAddress &address, quint16 port)
{
    if (!m_socket)
        return;
    for (const QByteArray &packet : OscPacket::encodeAll(items))
        m_socket->writeDatagram(packet, address, port);
}

void OscServer::logRefused(const QHostAddress &sender)
{
    if (!m_refusals.shouldLog(sender, m_clock()))
        return;
    // The core names the source at the end: "... (from OSC 10.1.2.3)".
    m_core.logNote(EventSeverity::Warning, u"OSC message refused: sender not in the allow list"_s,
                   CommandSource::osc(senderText(sender)));
}

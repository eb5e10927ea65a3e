#include "oscserver.h"

#include "controllercore.h"
#include "osccommands.h"
#include "oscpacket.h"
#include "oscrequest.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
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
      m_clock(steadyMilliseconds),
      m_outbox([this](const QByteArray &packet, const QHostAddress &address,
                      quint16 port) { sendPacket(packet, address, port); },
               [this] { return m_clock(); })
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
    m_port = m_socket->localPort();
    m_localAddresses = QNetworkInterface::allAddresses();
    m_status = u"Listening on "_s + endpointText(address, port);
    return true;
}

void OscServer::close()
{
    m_socket.reset();
    m_allow.reset();
    m_subscribers = {};
    m_outbox.clear();
    m_port = 0;
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
    m_changedState = false;
    for (int i = 0; i < kPacketsPerActivation && m_socket && m_socket->hasPendingDatagrams(); ++i) {
        // One byte more than the largest packet tells an over-long one apart.
        const QNetworkDatagram datagram = m_socket->receiveDatagram(OscPacket::kMaxPacketBytes + 1);
        handlePacket(datagram.data(), datagram.senderAddress(), quint16(datagram.senderPort()));
    }
    // The readyRead signal comes again while packets wait, after the event
    // loop has served the timers. Pings and subscriptions change nothing to
    // look at: a flood of them costs no look at the whole state.
    if (m_changedState)
        refreshFeedback();
}

void OscServer::handlePacket(const QByteArray &packet, const QHostAddress &sender, quint16 senderPort)
{
    // A packet "from" the listener itself is forged, or feedback come back: never acted on.
    if (senderPort == m_port && isLocal(sender)) {
        ++m_counters.messages;
        ++m_counters.refused;
        return;
    }
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
    m_packetAnswered = false;
    for (const OscPacket::Message &message : *messages) {
        ++m_counters.messages;
        const std::optional<OscRequest> request = OscRequests::parse(message.address, message.arguments);
        if (!request) {
            ++m_counters.malformed;
            continue;
        }
        const bool answers = request->kind == OscRequest::Kind::Ping || request->kind == OscRequest::Kind::Subscribe;
        if (answers && std::exchange(m_packetAnswered, true)) {
            ++m_counters.refused;  // one answer per packet
            continue;
        }
        if (answers && !handleRequest(*request, sender, senderPort))
            ++m_counters.refused;
        else if (answers || handleRequest(*request, sender, senderPort))
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
        return subscribe(sender, request.port != 0 ? request.port : senderPort);
    default:
        if (!OscCommands::run(m_core, request, CommandSource::osc(senderText(sender))))
            return false;
        m_changedState = true;
        return true;
    }
}

bool OscServer::subscribe(const QHostAddress &sender, quint16 port)
{
    if (reachesController(sender, port)) {
        logRefusedSubscription(sender, u"feedback to %1 would come back to the controller"_s.arg(
                                           endpointText(sender, port)));
        return false;
    }
    const qint64 now = m_clock();
    m_subscribers.expire(now);
    const bool tableWasIdle = m_subscribers.isEmpty();
    if (m_subscribers.subscribe(sender, port, now, m_subscriptionMs) == OscSubscribers::Outcome::HostFull) {
        logRefusedSubscription(sender, u"this host has %1 subscriptions already"_s.arg(OscSubscribers::kPerHost));
        return false;
    }
    // A full table made room: the one that left gets nothing more.
    m_outbox.keepOnly([this](const QHostAddress &a, quint16 p) { return m_subscribers.contains(a, p); });
    if (m_subscribers.takeFullState(sender, port, now, m_fullStateIntervalMs))
        sendFullState(sender, port, tableWasIdle);
    return true;
}

void OscServer::sendFullState(const QHostAddress &address, quint16 port, bool tableWasIdle)
{
    m_feedback.update(m_state.collect(m_core));
    // Nobody listened: the table's changes are all in the whole state the newcomer gets.
    if (tableWasIdle)
        m_feedback.takeDue(m_clock(), 0);
    m_outbox.post(address, port, std::make_shared<const std::vector<OscFeedbackItem>>(m_feedback.all()));
}

bool OscServer::isLocal(const QHostAddress &address) const
{
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    const QHostAddress plain = isIpv4 ? QHostAddress(ipv4) : address;
    return plain.isLoopback() || m_localAddresses.contains(plain);
}

bool OscServer::reachesController(const QHostAddress &address, quint16 port) const
{
    const bool listened = port == m_port || std::find(m_otherPorts.begin(), m_otherPorts.end(), port)
                                                != m_otherPorts.end();
    return listened && isLocal(address);
}

void OscServer::refreshFeedback()
{
    const qint64 now = m_clock();
    if (m_subscribers.expire(now) > 0)
        m_outbox.keepOnly([this](const QHostAddress &a, quint16 p) { return m_subscribers.contains(a, p); });
    // Nobody listens: nothing is looked at. A newcomer gets the whole state.
    if (m_subscribers.isEmpty() || !m_socket)
        return;
    m_feedback.update(m_state.collect(m_core));
    std::vector<OscFeedbackItem> due = m_feedback.takeDue(now, m_feedbackIntervalMs);
    if (!due.empty()) {
        const auto items = std::make_shared<const std::vector<OscFeedbackItem>>(std::move(due));
        for (const OscSubscribers::Subscriber &subscriber : m_subscribers.subscribers())
            m_outbox.post(subscriber.address, subscriber.port, items);
    }
    if (const std::optional<qint64> next = m_feedback.nextDueMs(m_feedbackIntervalMs))
        m_heldFeedback.start(int(std::clamp<qint64>(*next - now, 0, m_feedbackIntervalMs)));
}

// Feedback goes only to allowed senders' hosts, never to the controller itself.
void OscServer::sendPacket(const QByteArray &packet, const QHostAddress &address, quint16 port)
{
    if (m_socket && m_allow && m_allow->allows(address) && !reachesController(address, port))
        m_socket->writeDatagram(packet, address, port);
}

void OscServer::logRefusedSubscription(const QHostAddress &sender, const QString &why)
{
    if (!m_subscriptionRefusals.shouldLog(sender, m_clock()))
        return;
    m_core.logNote(EventSeverity::Warning, u"OSC subscription refused: "_s + why,
                   CommandSource::osc(senderText(sender)));
}

void OscServer::logRefused(const QHostAddress &sender)
{
    if (!m_refusals.shouldLog(sender, m_clock()))
        return;
    // The core names the source at the end: "... (from OSC 10.1.2.3)".
    m_core.logNote(EventSeverity::Warning, u"OSC message refused: sender not in the allow list"_s,
                   CommandSource::osc(senderText(sender)));
}

#pragma once

// Show control over OSC 1.0 on UDP: group mutes and faders and channel mutes
// from allowed senders, carried out through the core's commands, and
// feedback of the controller's state to subscribers. The addresses are in
// oscrequest.h (commands) and oscfeedbackstate.h (feedback).
//
// Everything runs on the thread that owns the core, from its event loop: the
// socket's read notifications, the core's refreshed() signal and a timer for
// feedback held back by the interval. Each read notification handles at most
// kPacketsPerActivation packets, so that a flood of commands leaves the
// polling tick its turn; the rest wait in the socket's buffer (and the
// kernel drops what overflows it). Feedback goes out through an OscOutbox,
// in slices well under a millisecond and capped per destination and in
// total.
//
// What one packet can make the server send is bounded: a packet is answered
// with at most one subscription's or one ping's worth (a second subscribe or
// ping in it is refused); the whole state goes to a new subscriber and to a
// renewal at most once per kFullStateIntervalMs; one host holds at most
// OscSubscribers::kPerHost subscriptions. Feedback never goes back to the
// controller itself: a subscription for a port the controller listens on (its
// own, or another set with setOtherListeners) at an address of this machine
// is refused with a Warning event, and packets that claim to come from the
// listener itself are dropped. Only allowed senders get anything.
//
// Packets are read with a QUdpSocket, not liblo's server, which cannot be
// bound to one interface address; liblo decodes and encodes the messages.

#include "oscallowlist.h"
#include "oscfeedbackstate.h"
#include "oscfeedbacktable.h"
#include "oscoutbox.h"
#include "oscrefusallog.h"
#include "oscsubscribers.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class ControllerCore;
class QUdpSocket;
struct OscRequest;

class OscServer final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPacketsPerActivation = 16;
    static constexpr qint64 kSubscriptionMs = 10'000;
    static constexpr qint64 kFeedbackIntervalMs = 100;
    static constexpr qint64 kFullStateIntervalMs = 5'000;

    struct Counters
    {
        // messages = commands + refused + malformed. A refused packet counts
        // once, so does a malformed one; each message of a good one counts.
        quint64 messages = 0, commands = 0, refused = 0, malformed = 0;
    };

    explicit OscServer(ControllerCore &core, QObject *parent = nullptr);
    ~OscServer() override;

    // Starts, restarts or stops (port 0) listening at once. On failure the
    // server is off, *error (when given) and statusText() say why.
    // allow: see OscAllowList; a malformed list is refused.
    bool listen(const QHostAddress &address, quint16 port, const QString &allow, QString *error);
    void close();
    // "Listening on 127.0.0.1:9000", the last failure's reason, or "Off".
    QString statusText() const;
    Counters counters() const { return m_counters; }
    // Why an allow list text is refused; empty when it is valid.
    static QString allowListError(const QString &allow) { return OscAllowList::errorOf(allow); }

    // Seams for tests: the subscription lifetime, the feedback interval and
    // the clock (milliseconds, steady), instead of 10 s, 100 ms and the
    // steady clock.
    void setTiming(qint64 subscriptionMs, qint64 feedbackIntervalMs, std::function<qint64()> clock);
    // Seams for tests and benchmarks: the full state's interval for
    // renewals, and the feedback caps in bytes per second.
    void setFullStateInterval(qint64 ms) { m_fullStateIntervalMs = ms; }
    void setFeedbackCaps(qint64 destinationBytesPerSecond, qint64 totalBytesPerSecond)
    {
        m_outbox.setCaps(destinationBytesPerSecond, totalBytesPerSecond);
    }
    int subscriberCount() const { return int(m_subscribers.subscribers().size()); }
    // Feedback bytes sent so far, and feedback items dropped by full queues.
    quint64 feedbackBytesSent() const { return m_outbox.bytesSent(); }
    quint64 feedbackItemsDropped() const { return m_outbox.droppedItems(); }

    // The ports the controller listens on besides this server's (the HTTP
    // monitor's): no feedback is sent to them on this machine.
    void setOtherListeningPorts(std::vector<quint16> ports) { m_otherPorts = std::move(ports); }

private:
    void readPackets();
    void handlePacket(const QByteArray &packet, const QHostAddress &sender, quint16 senderPort);
    // True when the request did something; false when it named nothing known.
    bool handleRequest(const OscRequest &request, const QHostAddress &sender, quint16 senderPort);
    // False when the subscription was refused.
    bool subscribe(const QHostAddress &sender, quint16 port);
    void sendFullState(const QHostAddress &address, quint16 port, bool tableWasIdle);
    // True when a datagram to this address and port would reach the controller itself.
    bool reachesController(const QHostAddress &address, quint16 port) const;
    bool isLocal(const QHostAddress &address) const;
    void logRefused(const QHostAddress &sender);
    void logRefusedSubscription(const QHostAddress &sender, const QString &why);

    // Brings the feedback table up to date and sends what is due.
    void refreshFeedback();
    void sendPacket(const QByteArray &packet, const QHostAddress &address, quint16 port);
    void fail(const QString &reason, QString *error);

    ControllerCore &m_core;
    std::unique_ptr<QUdpSocket> m_socket;
    std::optional<OscAllowList> m_allow;
    QString m_status;
    Counters m_counters;
    quint16 m_port = 0;
    std::vector<quint16> m_otherPorts;
    QList<QHostAddress> m_localAddresses;  // of this machine, as found at listen()
    bool m_changedState = false;    // a command of the packets being read was carried out
    bool m_packetAnswered = false;  // the packet being handled got its subscription or pong

    qint64 m_subscriptionMs = kSubscriptionMs;
    qint64 m_feedbackIntervalMs = kFeedbackIntervalMs;
    qint64 m_fullStateIntervalMs = kFullStateIntervalMs;
    std::function<qint64()> m_clock;

    OscSubscribers m_subscribers;
    OscRefusalLog m_refusals;
    OscRefusalLog m_subscriptionRefusals;
    OscFeedbackState m_state;
    OscFeedbackTable m_feedback;
    QTimer m_heldFeedback;  // fires when feedback held back by the interval is due
    OscOutbox m_outbox;

};

// The OSC server against a controller core that polls simulated amplifiers
// over loopback: a client socket in the test sends messages written by
// liblo and reads what comes back. The subscription's lifetime, the feedback
// interval and the clock are the test's, so nothing waits for real time.

#include "ampsimulator.h"
#include "controllercore.h"
#include "osccommands.h"
#include "oscpacket.h"
#include "oscserver.h"

#include <lo/lo.h>

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QScopeGuard>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QHostAddress kLoopback(QHostAddress::LocalHost);

// A message as liblo writes it; types "i", "f", "T", "F" or none.
QByteArray message(const char *address, const char *types = "", double value = 0)
{
    lo_message m = lo_message_new();
    for (const char *type = types; *type; ++type) {
        switch (*type) {
        case 'i': lo_message_add_int32(m, qint32(value)); break;
        case 'f': lo_message_add_float(m, float(value)); break;
        case 'T': lo_message_add_true(m); break;
        case 'F': lo_message_add_false(m); break;
        default: break;
        }
    }
    std::size_t size = 0;
    void *bytes = lo_message_serialise(m, address, nullptr, &size);
    QByteArray result(static_cast<const char *>(bytes), qsizetype(size));
    std::free(bytes);
    lo_message_free(m);
    return result;
}

QByteArray nestedBundle(QByteArray packet, int depth)
{
    for (int i = 0; i < depth; ++i) {
        char size[4];
        qToBigEndian<qint32>(qint32(packet.size()), size);
        packet = QByteArray("#bundle\0\0\0\0\0\0\0\0\1", 16) + QByteArray(size, 4) + packet;
    }
    return packet;
}

QByteArray requestLine(const char *path)
{
    return "GET "_ba + path + " HTTP/1.1"_ba;
}

} // namespace

class tst_OscServer final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void commands_data();
    void commands();
    void linkTiesTheChannels_data();
    void linkTiesTheChannels();
    void muteToggleFollowsTheReportedMutes();
    void unknownNamesAndMalformedPacketsChangeNothing_data();
    void unknownNamesAndMalformedPacketsChangeNothing();
    void refusedSenderIsCountedAndLoggedOnce();
    void listenRefusesAMalformedAllowListAndAPortInUse();
    void pingIsAnswered();
    void subscriptionGetsStateChangesAndExpires();
    void renewalGetsTheWholeStateOnlyAfterTheInterval();
    void subscriptionsThatWouldLoopAreRefused_data();
    void subscriptionsThatWouldLoopAreRefused();
    void onePacketGetsOneAnswer();
    void oneHostHoldsAtMostFourSubscriptions();
    void feedbackIsCappedPerDestination();
    void scenes_data();
    void scenes();

private:
    void send(const QByteArray &packet);
    // The next packet's messages sent back to the client.
    std::vector<OscPacket::Message> receive();
    // Received feedback until an address comes with the value; false when the
    // client's socket fell silent first.
    bool receiveUntil(const QByteArray &address, const OscValue &value);
    // How many feedback messages came before the next /amp/pong; -1 when
    // the client's socket fell silent first.
    int feedbackBeforePong();
    // Events from the client; the refresh may log the amplifiers' own meanwhile.
    qsizetype eventCount() const;
    const FleetEvent &lastEventFromClient() const;
    quint16 freePort();

    std::unique_ptr<AmpSimulator> m_sim;
    std::unique_ptr<ControllerCore> m_core;
    std::unique_ptr<OscServer> m_server;
    std::unique_ptr<QUdpSocket> m_client;
    quint16 m_port = 0;
    qint64 m_nowMs = 0;
};

void tst_OscServer::initTestCase()
{
    QLocale::setDefault(QLocale::c());  // the fader events' figures: "-10.0 dB" in any locale
    m_sim = std::make_unique<AmpSimulator>();
    const quint16 devicePort = m_sim->start({{u"127.0.0.2"_s, "AMP1 ", "FOH  "},
                                             {u"127.0.0.3"_s, "AMP2 ", "FOH  "},
                                             {u"127.0.0.4"_s, "SUB L", "STAGE"}});
    QVERIFY(devicePort != 0);
    m_core = std::make_unique<ControllerCore>(devicePort);
    m_core->start();
    m_core->addOrUpdateDevice(u"AMP1"_s, u"FOH"_s, u"127.0.0.2"_s);
    m_core->addOrUpdateDevice(u"AMP2"_s, u"FOH"_s, u"127.0.0.3"_s);
    m_core->addOrUpdateDevice(u"SUB L"_s, u"STAGE"_s, u"127.0.0.4"_s);
    for (int slot = 1; slot <= 3; ++slot) {
        const quint64 id = m_core->devices()[slot].id;
        QTRY_VERIFY_WITH_TIMEOUT(m_core->hasStatusBlock(id), 10'000);
    }
}

void tst_OscServer::init()
{
    m_server = std::make_unique<OscServer>(*m_core);
    m_server->setTiming(1'000, 100, [this] { return m_nowMs; });
    m_port = freePort();
    QString error;
    QVERIFY2(m_server->listen(kLoopback, m_port, u"127.0.0.1"_s, &error), qPrintable(error));
    QCOMPARE(m_server->statusText(), u"Listening on 127.0.0.1:"_s + QString::number(m_port));
    m_client = std::make_unique<QUdpSocket>();
    QVERIFY(m_client->bind(kLoopback, 0));
    for (int amp = 0; amp < m_sim->ampCount(); ++amp)
        m_sim->clearRequests(amp);
}

void tst_OscServer::cleanup()
{
    m_client.reset();
    m_server.reset();
}

qsizetype tst_OscServer::eventCount() const
{
    const auto &events = m_core->eventLog().events();
    return std::count_if(events.begin(), events.end(),
                         [](const FleetEvent &event) { return event.source == u"OSC 127.0.0.1"_s; });
}

const FleetEvent &tst_OscServer::lastEventFromClient() const
{
    const auto &events = m_core->eventLog().events();
    return *std::find_if(events.rbegin(), events.rend(),
                         [](const FleetEvent &event) { return event.source == u"OSC 127.0.0.1"_s; });
}

quint16 tst_OscServer::freePort()
{
    QUdpSocket probe;
    if (!probe.bind(kLoopback, 0))
        return 0;
    return probe.localPort();
}

void tst_OscServer::send(const QByteArray &packet)
{
    QCOMPARE(m_client->writeDatagram(packet, kLoopback, m_port), qint64(packet.size()));
}

std::vector<OscPacket::Message> tst_OscServer::receive()
{
    // The server answers from this thread's event loop: wait on it, not on the socket.
    QSignalSpy ready(m_client.get(), &QUdpSocket::readyRead);
    if (!m_client->hasPendingDatagrams() && !ready.wait(5'000))
        return {};
    const auto messages = OscPacket::decode(m_client->receiveDatagram().data());
    return messages ? *messages : std::vector<OscPacket::Message>{};
}

bool tst_OscServer::receiveUntil(const QByteArray &address, const OscValue &value)
{
    for (;;) {
        QSignalSpy ready(m_client.get(), &QUdpSocket::readyRead);
        if (!m_client->hasPendingDatagrams() && !ready.wait(5'000))
            return false;
        const auto messages = OscPacket::decode(m_client->receiveDatagram().data());
        if (!messages)
            return false;
        for (const OscPacket::Message &m : *messages) {
            if (m.address == address && !m.arguments.empty() && m.arguments[0].type == value.type
                && m.arguments[0].i == value.i && m.arguments[0].f == value.f)
                return true;
            // A number and a name: an int, then a string.
            if (m.address == address && value.type == 'n' && m.arguments.size() == 2 && m.arguments[0].i == value.i
                && m.arguments[1].s == value.text)
                return true;
        }
    }
}

int tst_OscServer::feedbackBeforePong()
{
    int feedback = 0;
    for (std::vector<OscPacket::Message> next = receive(); !next.empty(); next = receive()) {
        if (next[0].address == "/amp/pong")
            return feedback;
        feedback += int(next.size());
    }
    return -1;
}

void tst_OscServer::commands_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QList<int>>("amps");        // the amplifiers that get the request
    QTest::addColumn<QByteArray>("requestLine"); // empty: group settings, see entry and digits
    QTest::addColumn<int>("entry");              // 1..6: the fader whose three digits are sent
    QTest::addColumn<QByteArray>("digits");
    QTest::addColumn<QString>("event");          // the event's text without its source; for faders its start
    QTest::addColumn<QString>("amplifier");      // the event's amplifier column

    const QList<int> foh{0, 1};
    const QList<int> stage{2};
    QTest::newRow("group mute") << message("/amp/group/FOH/mute", "i", 1) << foh << requestLine("/mute_on.html")
                                << 0 << QByteArray() << u"Mute all: group FOH"_s << QString();
    QTest::newRow("group unmute, any case, False") << message("/amp/group/foh/mute", "F") << foh
                                                   << requestLine("/mute_off.html") << 0 << QByteArray()
                                                   << u"Un-mute all: group FOH"_s << QString();
    QTest::newRow("group mute, True") << message("/amp/group/Foh/mute", "T") << foh << requestLine("/mute_on.html")
                                      << 0 << QByteArray() << u"Mute all: group FOH"_s << QString();
    QTest::newRow("device mute by name") << message("/amp/device/amp1/mute/a", "i", 1) << QList<int>{0}
                                         << requestLine("/mute_a_on.html") << 0 << QByteArray()
                                         << u"Mute channel A"_s << u"AMP1 (127.0.0.2)"_s;
    QTest::newRow("device unmute by address") << message("/amp/device/127.0.0.3/mute/b", "i", 0) << QList<int>{1}
                                              << requestLine("/mute_b_off.html") << 0 << QByteArray()
                                              << u"Un-mute channel B"_s << u"AMP2 (127.0.0.3)"_s;
    QTest::newRow("inner blank as underscore") << message("/amp/device/SUB_L/mute/b", "i", 1) << stage
                                               << requestLine("/mute_b_on.html") << 0 << QByteArray()
                                               << u"Mute channel B"_s << u"SUB L (127.0.0.4)"_s;
    QTest::newRow("volume A, nearest step") << message("/amp/group/STAGE/volume/a", "f", -10.2) << stage
                                            << QByteArray() << 1 << "171"_ba
                                            << u"Faders of group STAGE: Volume A -10.0 dB, "_s << QString();
    QTest::newRow("input B, below the range") << message("/amp/group/STAGE/input/b", "f", -200) << stage
                                              << QByteArray() << 4 << "000"_ba
                                              << u"Faders of group STAGE: "_s << QString();
    QTest::newRow("limiter B clamped") << message("/amp/group/STAGE/limiter/b", "f", 900) << stage << QByteArray()
                                       << 6 << "170"_ba << u"Faders of group STAGE: "_s << QString();
    QTest::newRow("limiter A, steps down clamped") << message("/amp/group/STAGE/limiter/a/step", "i", -1000)
                                                   << stage << QByteArray() << 5 << "010"_ba
                                                   << u"Faders of group STAGE: "_s << QString();
    QTest::newRow("volume B, steps up clamped") << message("/amp/group/STAGE/volume/b/step", "i", 1000) << stage
                                                << QByteArray() << 2 << "191"_ba
                                                << u"Faders of group STAGE: Volume A -10.0 dB, Volume B 0.0 dB, "_s
                                                << QString();
}

void tst_OscServer::commands()
{
    QFETCH(QByteArray, packet);
    QFETCH(QList<int>, amps);
    QFETCH(QByteArray, requestLine);
    QFETCH(int, entry);
    QFETCH(QByteArray, digits);
    QFETCH(QString, event);
    QFETCH(QString, amplifier);

    const qsizetype before = eventCount();
    send(packet);
    QTRY_COMPARE(m_server->counters().commands, quint64(1));
    QCOMPARE(m_server->counters().messages, quint64(1));
    QCOMPARE(eventCount(), before + 1);
    const FleetEvent &logged = lastEventFromClient();
    QCOMPARE(logged.source, u"OSC 127.0.0.1"_s);
    QCOMPARE(logged.amplifier, amplifier);
    const QString from = u" (from OSC 127.0.0.1)"_s;
    if (entry == 0)
        QCOMPARE(logged.text, event + from);
    QVERIFY2(logged.text.startsWith(event) && logged.text.endsWith(from), qPrintable(logged.text));

    for (const int amp : amps) {
        if (!requestLine.isEmpty())
            QTRY_VERIFY(m_sim->requestLines(amp).contains(requestLine));
        else
            QTRY_COMPARE(m_sim->groupSettings(amp).mid((entry - 1) * 3, 3), digits);
    }
}

void tst_OscServer::linkTiesTheChannels_data()
{
    QTest::addColumn<QByteArray>("link");     // the link message
    QTest::addColumn<bool>("linkedBefore");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QByteArray>("setting");  // a fader moved after it
    QTest::addColumn<QByteArray>("request");  // the settings request that follows, exactly

    // STAGE starts at volume 100/100, input 0/0, limiter 10/10.
    QTest::newRow("volume on: B follows A")
        << message("/amp/group/STAGE/link/volume", "i", 1) << false << u"Volume channels locked: group STAGE"_s
        << message("/amp/group/STAGE/volume/a", "f", -20) << "/common_settings_values1=151151000000010010"_ba;
    QTest::newRow("input on: A follows B, any case")
        << message("/amp/group/stage/link/input", "i", 1) << false << u"Input level channels locked: group STAGE"_s
        << message("/amp/group/STAGE/input/b", "f", -45.5) << "/common_settings_values1=100100100100010010"_ba;
    QTest::newRow("limiter on")
        << message("/amp/group/STAGE/link/limiter", "i", 1) << false << u"Limiter channels locked: group STAGE"_s
        << message("/amp/group/STAGE/limiter/a/step", "i", 40) << "/common_settings_values1=100100000000050050"_ba;
    QTest::newRow("volume off: B stays")
        << message("/amp/group/STAGE/link/volume", "i", 0) << true << u"Volume channels free: group STAGE"_s
        << message("/amp/group/STAGE/volume/a", "f", -20) << "/common_settings_values1=151100000000010010"_ba;
}

// A link sends nothing itself; the next movement of either channel carries both.
void tst_OscServer::linkTiesTheChannels()
{
    QFETCH(QByteArray, link);
    QFETCH(bool, linkedBefore);
    QFETCH(QString, event);
    QFETCH(QByteArray, setting);
    QFETCH(QByteArray, request);

    const GroupId stage = m_core->groupNamed(u"STAGE"_s);
    const CommandSource window = CommandSource::window();
    // The rows before and after this test share the group: it is left as found.
    const auto restore = qScopeGuard([this, stage, window, found = *m_core->group(stage)] {
        m_core->setGroupSettings(stage, FaderTable::valuesOf(found), window);
        for (const GroupLink pair : {GroupLink::Volume, GroupLink::InputLevel, GroupLink::Limiter})
            m_core->setGroupLink(stage, pair, found.linked(pair), window);
    });
    m_core->setGroupSettings(stage, {100, 100, 0, 0, 10, 10}, window);
    for (const GroupLink pair : {GroupLink::Volume, GroupLink::InputLevel, GroupLink::Limiter})
        m_core->setGroupLink(stage, pair, linkedBefore, window);
    m_sim->clearRequests(2);

    const qsizetype before = eventCount();
    send(link);
    QTRY_COMPARE(m_server->counters().commands, quint64(1));
    QCOMPARE(eventCount(), before + 1);
    QCOMPARE(lastEventFromClient().text, event + u" (from OSC 127.0.0.1)"_s);
    QCOMPARE(lastEventFromClient().source, u"OSC 127.0.0.1"_s);

    send(setting);
    QTRY_COMPARE(m_server->counters().commands, quint64(2));
    QTRY_VERIFY(m_sim->requestLines(2).contains(requestLine(request.constData())));
}

// The toggle reads the mute bytes that the amplifiers last reported.
void tst_OscServer::muteToggleFollowsTheReportedMutes()
{
    const GroupId foh = m_core->groupNamed(u"FOH"_s);
    for (const bool mutedBefore : {true, false}) {
        m_core->muteGroup(foh, mutedBefore, CommandSource::window());
        QTRY_COMPARE(m_core->anyChannelUnmuted(foh), !mutedBefore);
        m_sim->clearRequests(0);
        const qsizetype before = eventCount();
        send(message("/amp/group/FOH/mute/toggle"));
        QTRY_VERIFY(m_sim->requestLines(0).contains(requestLine(mutedBefore ? "/mute_off.html" : "/mute_on.html")));
        QCOMPARE(eventCount(), before + 1);
        QCOMPARE(lastEventFromClient().text,
                 (mutedBefore ? u"Un-mute all: group FOH"_s : u"Mute all: group FOH"_s) + u" (from OSC 127.0.0.1)"_s);
    }
}

void tst_OscServer::unknownNamesAndMalformedPacketsChangeNothing_data()
{
    QTest::addColumn<QByteArray>("packet");
    const QByteArray mute = message("/amp/group/FOH/mute", "i", 1);
    QTest::newRow("unknown group") << message("/amp/group/NOPE/mute", "i", 1);
    QTest::newRow("unknown device") << message("/amp/device/AMP9/mute/a", "i", 1);
    QTest::newRow("wrong type") << message("/amp/group/FOH/mute", "f", 1);
    QTest::newRow("unknown address") << message("/amp/group/FOH/solo", "i", 1);
    QTest::newRow("truncated") << mute.first(mute.size() - 4);
    QTest::newRow("type tag lies") << mute.first(mute.size() - 4) + QByteArray(",ii\0", 4);
    QTest::newRow("bundles nested too deep") << nestedBundle(mute, 100);
    QTest::newRow("link of no setting") << message("/amp/group/FOH/link/mute", "i", 1);
    QTest::newRow("link as a float") << message("/amp/group/FOH/link/volume", "f", 1);
    QTest::newRow("link of a channel") << message("/amp/group/FOH/link/volume/a", "i", 1);
}

void tst_OscServer::unknownNamesAndMalformedPacketsChangeNothing()
{
    QFETCH(QByteArray, packet);
    const tGroupItem groupBefore = m_core->groups()[1];
    const qsizetype before = eventCount();
    send(packet);
    QTRY_COMPARE(m_server->counters().malformed, quint64(1));
    QCOMPARE(m_server->counters().commands, quint64(0));
    QCOMPARE(eventCount(), before);
    QCOMPARE(m_core->groups()[1].volumeA, groupBefore.volumeA);
    QVERIFY(!m_sim->requestLines(0).contains(requestLine("/mute_on.html")));
}

void tst_OscServer::refusedSenderIsCountedAndLoggedOnce()
{
    QString error;
    QVERIFY(m_server->listen(kLoopback, m_port, u"10.0.0.0/8"_s, &error));
    const qsizetype before = eventCount();
    send(message("/amp/group/FOH/mute", "i", 1));
    send(message("/amp/group/FOH/mute", "i", 1));
    QTRY_COMPARE(m_server->counters().refused, quint64(2));
    QCOMPARE(m_server->counters().messages, quint64(2));
    QCOMPARE(eventCount(), before + 1);
    const FleetEvent &logged = lastEventFromClient();
    QCOMPARE(logged.severity, EventSeverity::Warning);
    QCOMPARE(logged.text, u"OSC message refused: sender not in the allow list (from OSC 127.0.0.1)"_s);
    QVERIFY(!m_sim->requestLines(0).contains(requestLine("/mute_on.html")));
}

void tst_OscServer::listenRefusesAMalformedAllowListAndAPortInUse()
{
    QString error;
    QVERIFY(!m_server->listen(kLoopback, m_port, u"10.0.0.1/8"_s, &error));
    QVERIFY2(error.contains(u"10.0.0.0/8"_s), qPrintable(error));
    QCOMPARE(m_server->statusText(), error);

    QVERIFY(m_server->listen(kLoopback, m_port, {}, &error));
    OscServer second(*m_core);
    QVERIFY(!second.listen(kLoopback, m_port, {}, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(m_server->listen(kLoopback, 0, {}, &error));
    QCOMPARE(m_server->statusText(), u"Off"_s);
}

void tst_OscServer::pingIsAnswered()
{
    send(message("/amp/ping"));
    const std::vector<OscPacket::Message> answer = receive();
    QCOMPARE(answer.size(), std::size_t(1));
    QCOMPARE(answer[0].address, "/amp/pong"_ba);
}

void tst_OscServer::subscriptionGetsStateChangesAndExpires()
{
    m_nowMs = 0;
    send(message("/amp/subscribe"));
    QVERIFY(receiveUntil("/amp/group/STAGE/limiter/b", OscValue::real(170.0F)));
    QCOMPARE(m_server->subscriberCount(), 1);

    // The full state went out at 0. A change once the interval has passed
    // goes out at once; the next within the interval waits for it.
    m_nowMs = 100;
    send(message("/amp/group/FOH/volume/a", "f", -20));
    QVERIFY(receiveUntil("/amp/group/FOH/volume/a", OscValue::real(-20.0F)));
    send(message("/amp/group/FOH/volume/a", "f", -30));
    send(message("/amp/ping"));
    const std::vector<OscPacket::Message> next = receive();
    QCOMPARE(next.at(0).address, "/amp/pong"_ba);
    m_nowMs = 200;
    Q_EMIT m_core->refreshed();
    QVERIFY(receiveUntil("/amp/group/FOH/volume/a", OscValue::real(-30.0F)));

    // Renewed within its lifetime it stays; then it runs out.
    m_nowMs = 900;
    send(message("/amp/subscribe"));
    QTRY_COMPARE(m_server->counters().commands, quint64(5));
    m_nowMs = 1'800;
    Q_EMIT m_core->refreshed();
    QCOMPARE(m_server->subscriberCount(), 1);
    m_nowMs = 1'900;
    Q_EMIT m_core->refreshed();
    QCOMPARE(m_server->subscriberCount(), 0);
    while (m_client->hasPendingDatagrams())
        m_client->receiveDatagram();
    send(message("/amp/group/FOH/volume/a", "f", -40));
    send(message("/amp/ping"));
    QCOMPARE(receive().at(0).address, "/amp/pong"_ba);
}

void tst_OscServer::renewalGetsTheWholeStateOnlyAfterTheInterval()
{
    m_server->setFullStateInterval(5'000);
    m_nowMs = 0;
    send(message("/amp/subscribe"));
    QVERIFY(receiveUntil("/amp/group/STAGE/limiter/b", OscValue::real(170.0F)));
    // A renewal within the interval: before the pong to a ping after it, no
    // whole state (a change of the amplifiers' may come meanwhile).
    m_nowMs = 4'999;
    send(message("/amp/subscribe"));
    send(message("/amp/ping"));
    const int beforePong = feedbackBeforePong();
    QVERIFY2(beforePong >= 0 && beforePong < 5, qPrintable(QString::number(beforePong)));
    // Once the interval has passed, the renewal brings the whole state again.
    m_nowMs = 5'000;
    send(message("/amp/subscribe"));
    QVERIFY(receiveUntil("/amp/group/STAGE/limiter/b", OscValue::real(170.0F)));
    QCOMPARE(m_server->subscriberCount(), 1);
}

void tst_OscServer::subscriptionsThatWouldLoopAreRefused_data()
{
    QTest::addColumn<int>("destination");  // 0: the listener's own port, 1: another listener's port

    QTest::newRow("the listener's own port") << 0;
    QTest::newRow("the HTTP monitor's port") << 1;
}

// A subscription whose feedback would come back to the controller as
// commands is refused with a warning, and nothing is sent.
void tst_OscServer::subscriptionsThatWouldLoopAreRefused()
{
    QFETCH(int, destination);
    const quint16 otherPort = freePort();
    m_server->setOtherListeningPorts({otherPort});
    const quint16 port = destination == 0 ? m_port : otherPort;
    const quint64 bytesBefore = m_server->feedbackBytesSent();
    const auto warnings = [&] {
        const auto &events = m_core->eventLog().events();
        return std::count_if(events.begin(), events.end(), [&](const FleetEvent &event) {
            return event.severity == EventSeverity::Warning && event.text.startsWith(u"OSC subscription refused"_s)
                   && event.text.contains(u":"_s + QString::number(port));
        });
    };
    const qsizetype warningsBefore = warnings();
    send(message("/amp/subscribe", "i", port));
    send(message("/amp/ping"));
    QCOMPARE(receive().at(0).address, "/amp/pong"_ba);
    QCOMPARE(m_server->subscriberCount(), 0);
    QCOMPARE(m_server->feedbackBytesSent(), bytesBefore);
    QCOMPARE(warnings(), warningsBefore + 1);
    QCOMPARE(m_server->counters().refused, quint64(1));
}

// Sixty-four subscribes and pings in one bundle make one subscription;
// a packet that claims to come from the listener itself is not acted on.
void tst_OscServer::onePacketGetsOneAnswer()
{
    QUdpSocket listeners[4];
    QByteArray bundle("#bundle\0\0\0\0\0\0\0\0\1", 16);
    for (int i = 0; i < 64; ++i) {
        QVERIFY(i >= 4 || listeners[i].bind(kLoopback, 0));
        const QByteArray part = i % 2 ? message("/amp/ping")
                                      : message("/amp/subscribe", "i", i < 4 ? listeners[i].localPort() : 1 + i);
        char size[4];
        qToBigEndian<qint32>(qint32(part.size()), size);
        bundle += QByteArray(size, 4) + part;
    }
    send(bundle);
    QTRY_COMPARE(m_server->counters().messages, quint64(64));
    QCOMPARE(m_server->counters().commands, quint64(1));
    QCOMPARE(m_server->counters().refused, quint64(63));
    QCOMPARE(m_server->subscriberCount(), 1);
    QTRY_VERIFY(listeners[0].hasPendingDatagrams());
    QVERIFY(!m_client->hasPendingDatagrams());

    // A datagram from the listener's port on another loopback address: feedback come back, or forged.
    const quint64 refusedBefore = m_server->counters().refused;
    QUdpSocket sameAddressOtherHost;
    QVERIFY(sameAddressOtherHost.bind(QHostAddress(u"127.0.0.2"_s), m_port));
    const QByteArray mute = message("/amp/group/FOH/mute", "i", 1);
    QCOMPARE(sameAddressOtherHost.writeDatagram(mute, kLoopback, m_port), qint64(mute.size()));
    QTRY_COMPARE(m_server->counters().refused, refusedBefore + 1);
    QCOMPARE(m_server->counters().commands, quint64(1));
}

// A host may hold four subscriptions: a fifth is refused, and the others
// stay; another host still gets its own.
void tst_OscServer::oneHostHoldsAtMostFourSubscriptions()
{
    for (int i = 0; i < OscSubscribers::kPerHost + 3; ++i)
        send(message("/amp/subscribe", "i", 20'000 + i));
    QTRY_COMPARE(m_server->counters().messages, quint64(OscSubscribers::kPerHost + 3));
    QCOMPARE(m_server->subscriberCount(), OscSubscribers::kPerHost);
    QCOMPARE(m_server->counters().refused, quint64(3));

    QUdpSocket otherHost;
    QVERIFY(otherHost.bind(QHostAddress(u"127.0.0.9"_s), 0));
    m_server->close();
    QVERIFY(m_server->listen(kLoopback, m_port, u"127.0.0.0/8"_s, nullptr));
    for (int i = 0; i < OscSubscribers::kPerHost; ++i)
        send(message("/amp/subscribe", "i", 20'000 + i));
    const QByteArray subscribe = message("/amp/subscribe");
    otherHost.writeDatagram(subscribe, kLoopback, m_port);
    QTRY_COMPARE(m_server->subscriberCount(), OscSubscribers::kPerHost + 1);
    QTRY_VERIFY(otherHost.hasPendingDatagrams());
}

// Feedback beyond a destination's cap waits for the cap, not in the kernel
// queue: with a cap below one whole state, part of it goes now, the rest as
// the clock moves on.
void tst_OscServer::feedbackIsCappedPerDestination()
{
    m_server->setFeedbackCaps(100, 1'000'000);  // a burst of one packet, then 100 bytes a second
    m_server->setFullStateInterval(0);
    m_server->setTiming(3'600'000, 100, [this] { return m_nowMs; });
    m_nowMs = 0;
    send(message("/amp/subscribe"));
    QVERIFY(receiveUntil("/amp/group/STAGE/limiter/b", OscValue::real(170.0F)));
    const quint64 sentAtOnce = m_server->feedbackBytesSent();
    send(message("/amp/subscribe"));
    send(message("/amp/ping"));
    // The second whole state waits for the cap (a small change may slip through meanwhile).
    const int beforePong = feedbackBeforePong();
    QVERIFY2(beforePong >= 0 && beforePong < 5, qPrintable(QString::number(beforePong)));
    QVERIFY(m_server->feedbackBytesSent() < 2 * sentAtOnce);
    // The bucket fills again, a packet's worth at a time: the first whole
    // state's last packet, then the second's first.
    m_nowMs = 60'000;
    QVERIFY(receiveUntil("/amp/scene/modified", OscValue::integer(0)));
    m_nowMs = 120'000;
    QVERIFY(receiveUntil("/amp/group/STAGE/limiter/b", OscValue::real(170.0F)));
    QVERIFY(m_server->feedbackBytesSent() >= 2 * sentAtOnce);
}

void tst_OscServer::scenes_data()
{
    QTest::addColumn<QList<QByteArray>>("packets");
    QTest::addColumn<int>("current");       // 1: the scene "Quiet" (-30 dB) went to FOH and STAGE
    QTest::addColumn<QByteArray>("stage");  // the settings STAGE's amplifier holds at the end
    QTest::addColumn<QString>("event");     // the last one from OSC

    const QByteArray quiet = "131131191191100100", live = "151151191191100100";
    const QByteArray recall1 = message("/amp/scene/recall", "i", 1);
    const QString recalled = u"Scene 1 \"Quiet\" recalled"_s;
    QTest::newRow("previous from none: the last") << QList{message("/amp/scene/previous")} << 1 << quiet << recalled;
    QTest::newRow("undo") << QList{recall1, message("/amp/scene/undo")} << 0 << live
                          << u"Recall of scene 1 \"Quiet\" undone"_s;
    QTest::newRow("recall safe") << QList{message("/amp/group/stage/safe", "i", 1), recall1} << 1 << live << recalled;
    QTest::newRow("stored, recalled") << QList{OscPacket::encode("/amp/scene/store", OscValue::numbered(2, "Walk-in")),
                                               message("/amp/scene/recall", "i", 2)}
                                      << 2 << live << u"Scene 2 \"Walk-in\" recalled"_s;
}

// Scene 1 stored from the window at -30 dB, the groups moved on to -20 dB;
// the row's messages act over OSC.
void tst_OscServer::scenes()
{
    QFETCH(QList<QByteArray>, packets);
    QFETCH(int, current);
    QFETCH(QByteArray, stage);
    QFETCH(QString, event);
    const CommandSource window = CommandSource::window();
    const auto setLevels = [&](int volume) {
        for (const GroupId group : {m_core->groupNamed(u"FOH"_s), m_core->groupNamed(u"STAGE"_s)}) {
            m_core->setRecallSafe(group, false, window);
            m_core->setGroupSettings(group, {volume, volume, 191, 191, 100, 100}, window);
        }
    };
    m_core->deleteScene(1, window);  // none current
    m_core->deleteScene(2, window);
    setLevels(131);
    m_core->storeScene(1, u"Quiet"_s, window);
    setLevels(151);
    QTRY_COMPARE(m_sim->groupSettings(2), "151151191191100100"_ba);
    m_sim->clearRequests(2);
    m_nowMs = 0;
    send(message("/amp/subscribe"));
    QVERIFY(receiveUntil("/amp/scene/current", OscValue::numbered(0, {})));

    m_nowMs = 200;
    for (const QByteArray &packet : packets)
        send(packet);
    QTRY_COMPARE(m_server->counters().commands, quint64(1 + packets.size()));
    QCOMPARE(lastEventFromClient().text, event + u" (from OSC 127.0.0.1)"_s);
    QTRY_COMPARE(m_sim->groupSettings(0), current == 1 ? "131131191191100100"_ba : stage);
    QTRY_COMPARE(m_sim->groupSettings(2), stage);
    if (current == 0)
        return;  // as the whole state said
    if (packets.first().contains("safe")) {
        QVERIFY(!m_sim->requestLines(2).join().contains("131131"));
        QVERIFY(receiveUntil("/amp/group/STAGE/safe", OscValue::integer(1)));
    } else {
        QVERIFY(receiveUntil("/amp/scene/current", OscValue::numbered(current, current == 1 ? "Quiet" : "Walk-in")));
    }
    m_nowMs = 400;  // a covered fader moves
    send(message("/amp/group/FOH/volume/a", "f", -40));
    QVERIFY(receiveUntil("/amp/scene/modified", OscValue::integer(1)));
}

QTEST_GUILESS_MAIN(tst_OscServer)
#include "tst_oscserver.moc"

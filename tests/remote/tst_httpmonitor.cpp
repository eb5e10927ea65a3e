// The monitor over loopback TCP on a running core polling simulated
// amplifiers: every endpoint's figures against what the device panel and
// the group box show for the same block, the metrics read by a strict
// exposition reader, and the server's refusals and bounds.

#include "ampsimulator.h"
#include "answerformatter.h"
#include "blockfigures.h"
#include "controllercore.h"
#include "exposition.h"
#include "fadertable.h"
#include "groupcommands.h"
#include "httpclient.h"
#include "httpmonitor.h"
#include "panelfigures.h"
#include "statusblockbuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QtTest>

#include <atomic>
#include <future>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int kAmps = 3;

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Fixed blocks, so that what the core stored is what the test compares.
QByteArray servedBlock(int amp)
{
    StatusFields fields;
    fields.name = "AMP" + QByteArray::number(amp + 1);
    fields.group = amp == 0 ? "FOH" : "STAGE";
    fields.outputs = {quint16(32 + amp), 290, 120, quint16(115 + amp), 160, 150};
    fields.mains = quint16(300 + 7 * amp);
    fields.stateB = amp == 2 ? 0 : 1;
    fields.muteA = amp == 1 ? 0 : 1;
    return buildStatusBlock(fields);
}

double panelNumber(const QString &text)
{
    return QString(text).replace(u" V"_s, QString()).replace(u" A"_s, QString()).toDouble();
}

} // namespace

class tst_HttpMonitor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void devicesShowWhatThePanelShows();
    void metricsAreValidAndAgree();
    void groupsShowTheirSettingsAndDevices();
    void eventsAfterAnId();
    void dashboardIsSelfContained();
    void answers_data();
    void answers();
    void pipelinedRequestsAnswerInOrder();
    void clientThatDoesNotReadStallsOnlyItself();
    void connectionBoundPerAddressAndDisplacement();
    void slowClientsAreCutOff_data();
    void slowClientsAreCutOff();
    void jobsOfClosedConnectionsAreSkipped();
    void formatterDropsCancelledJobs();
    void listenReportsWhy();
    void scenesShowStoreAndRecall();

private:
    const tDevice &device(int slot) const { return m_core->devices()[slot]; }

    AmpSimulator m_simulator;
    std::unique_ptr<ControllerCore> m_core;
    std::unique_ptr<HttpMonitor> m_monitor;
    quint16 m_port = 0;
};

void tst_HttpMonitor::initTestCase()
{
    QList<AmpSimulator::Amp> amps;
    for (int amp = 0; amp < kAmps; ++amp)
        amps.append({u"127.0.0."_s + QString::number(amp + 20), "AMP", "UNDEF"});
    const quint16 devicePort = m_simulator.start(amps);
    QVERIFY(devicePort != 0);
    for (int amp = 0; amp < kAmps; ++amp)
        m_simulator.setServedBlock(amp, servedBlock(amp));

    m_core = std::make_unique<ControllerCore>(devicePort);
    // The groups the amplifiers report enter the group table by the core's own rule.
    for (const AmpSimulator::Amp &amp : amps)
        m_core->addOrUpdateDevice(QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address);
    m_core->start();
    m_monitor = std::make_unique<HttpMonitor>(*m_core);
    m_port = freePort();
    QString error;
    QVERIFY2(m_monitor->listen(QHostAddress::LocalHost, m_port, &error, {u"scrape.example"_s}), qPrintable(error));
    // Every amplifier answered with its block, took its group, and has an exchange time.
    const auto settled = [&] {
        for (int slot = 1; slot <= kAmps; ++slot) {
            const tDevice &record = device(slot);
            if (!m_core->hasStatusBlock(record.id) || !m_core->health().of(record.id).medianExchangeMs
                || record.group != (slot == 1 ? u"FOH  "_s : u"STAGE"_s))
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
}

void tst_HttpMonitor::devicesShowWhatThePanelShows()
{
    HttpClient client(m_port);
    const HttpReply reply = client.get("/api/v1/devices");
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.fields.value("content-type"), "application/json");
    const QJsonArray devices = QJsonDocument::fromJson(reply.body).array();
    QCOMPARE(devices.size(), kAmps);
    const QString point = u"."_s;
    for (int slot = 1; slot <= kAmps; ++slot) {
        const QJsonObject json = devices[slot - 1].toObject();
        const tDevice &record = device(slot);
        const StatusBlock &block = record.status;
        QCOMPARE(json[u"id"_s].toInteger(), qint64(record.id));
        QCOMPARE(json[u"slot"_s].toInt(), slot);
        QCOMPARE(json[u"name"_s].toString(), u"AMP"_s + QString::number(slot));
        QCOMPARE(json[u"group"_s].toString(), slot == 1 ? u"FOH"_s : u"STAGE"_s);
        QCOMPARE(json[u"address"_s].toString(), record.address);
        QCOMPARE(json[u"link"_s].toString(), u"online"_s);
        // A fault is an alarm; a lost poll or two (a slow machine) may add a warning.
        const int severity = json[u"severity"_s].toInt();
        QVERIFY(slot == 3 ? severity == 2 : severity <= 1);
        QVERIFY(json[u"exchange_ms"_s].toDouble() > 0);
        QCOMPARE(json[u"model"_s].toString(), u"T1900"_s);
        const QJsonArray channels = json[u"channels"_s].toArray();
        for (int c = 0; c < 2; ++c) {
            const QJsonObject channel = channels[c].toObject();
            const auto panel = [&](int offset, int scale) {
                return panelNumber(PanelFigures::oneDecimal(StatusBlockReader::value16(block, offset + 2 * c), scale, point));
            };
            QCOMPARE(channel[u"output_peak_v"_s].toDouble(), panel(StatusField::OutputPeakVoltageA, 200));
            QCOMPARE(channel[u"current_a"_s].toDouble(), panel(StatusField::OutputAverageCurrentA, 50));
            QCOMPARE(channel[u"state"_s].toString(), slot == 3 && c == 1 ? u"fault"_s : u"ok"_s);
            QCOMPARE(channel[u"muted"_s].toBool(), slot == 2 && c == 0);
            QCOMPARE(channel[u"impedance_ohm"_s].toDouble(), c == 0 ? 8.0 : 4.0);
        }
        QCOMPARE(json[u"mains_v"_s].toDouble(),
                 panelNumber(PanelFigures::oneDecimal(StatusBlockReader::value16(block, StatusField::AcInputVoltage), 750, point)));
        QCOMPARE(json[u"amp_temp_c"_s].toDouble(), 48.0);  // the panel's "AMP" row: " 48 °C"
        QCOMPARE(PanelFigures::temperature(block, StatusField::SecondTemperature), u" 48 \u00B0C"_s);
        QCOMPARE(json[u"psu_temp_c"_s].toDouble(), 42.0);
        QCOMPARE(json[u"fan_percent"_s].toInt(), 45);
    }
}

void tst_HttpMonitor::metricsAreValidAndAgree()
{
    HttpClient client(m_port);
    const HttpReply reply = client.get("/metrics");
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.fields.value("content-type").startsWith("text/plain; version=0.0.4"));
    const Exposition metrics = ExpositionReader::read(reply.body);
    QVERIFY2(metrics.error.isEmpty(), qPrintable(metrics.error));
    for (int slot = 1; slot <= kAmps; ++slot) {
        const QMap<QByteArray, QString> amp{{"address", device(slot).address}};
        QCOMPARE(metrics.value("amp_up", amp), 1.0);
        const double severity = metrics.value("amp_severity", amp);
        QVERIFY(slot == 3 ? severity == 2 : severity <= 1);
        QVERIFY(metrics.value("amp_poll_attempts_total", amp) >= 1);
        QCOMPARE(metrics.value("amp_channel_fault", {{"address", device(slot).address}, {"channel", u"b"_s}}),
                 slot == 3 ? 1.0 : 0.0);
        QCOMPARE(metrics.value("amp_output_peak_volts", {{"address", device(slot).address}, {"channel", u"a"_s}}),
                 panelNumber(PanelFigures::oneDecimal(quint16(32 + slot - 1), 200, u"."_s)));
    }
    QCOMPARE(metrics.value("amp_up", {{"name", u"AMP1"_s}, {"group", u"FOH"_s}}), 1.0);
    QCOMPARE(metrics.value("amp_controller_devices", {}), double(kAmps));
    QCOMPARE(metrics.value("amp_controller_groups", {}), double(m_core->groups().count()));
    QCOMPARE(metrics.value("amp_controller_events_total", {{"severity", u"alarm"_s}}),
             double(m_core->eventLog().total(EventSeverity::Alarm)));
}

void tst_HttpMonitor::groupsShowTheirSettingsAndDevices()
{
    const int stage = m_core->groups().findGroup(u"STAGE"_s);
    QVERIFY(stage > 0);
    m_core->setGroupSetting(m_core->groups().idOfSlot(stage), FaderTable::VolumeB, 171, CommandSource::window());
    m_core->setGroupSetting(m_core->groups().idOfSlot(stage), FaderTable::LimiterA, 120, CommandSource::window());
    HttpClient client(m_port);
    const QJsonArray groups = QJsonDocument::fromJson(client.get("/api/v1/groups").body).array();
    QCOMPARE(groups.size(), m_core->groups().count());
    const QJsonObject json = groups[stage - 1].toObject();
    const tGroupItem &item = m_core->groups()[stage];
    QCOMPARE(json[u"name"_s].toString(), u"STAGE"_s);
    const QString keys[6] = {u"volume_a_db"_s, u"volume_b_db"_s, u"input_level_a_db"_s,
                             u"input_level_b_db"_s, u"limiter_a_v"_s, u"limiter_b_v"_s};
    for (int entry = 1; entry <= 6; ++entry) {
        QString label = FaderTable::labelText(item, entry);
        label.replace(QLocale().decimalPoint(), u"."_s);
        QCOMPARE(QString::number(json[keys[entry - 1]].toDouble(), 'f', 1) + (entry >= 5 ? u" V"_s : u" dB"_s), label);
    }
    QCOMPARE(json[u"volume_b_raw"_s].toInt(), 171);
    QJsonArray ids;
    for (int slot : GroupCommands::devicesOf(m_core->devices(), m_core->groups(), item.name))
        ids.append(qint64(device(slot).id));
    QCOMPARE(json[u"device_ids"_s].toArray(), ids);
    QCOMPARE(ids.size(), 2);
}

void tst_HttpMonitor::eventsAfterAnId()
{
    m_core->muteGroup(m_core->groups().idOfSlot(1), true, CommandSource::window());
    const quint64 newest = m_core->eventLog().lastId();
    QVERIFY(newest >= 2);
    HttpClient client(m_port);
    const QJsonArray all = QJsonDocument::fromJson(client.get("/api/v1/events?after=0").body).array();
    QCOMPARE(qsizetype(all.size()), qsizetype(m_core->eventLog().events().size()));
    for (qsizetype i = 1; i < all.size(); ++i)
        QCOMPARE(all[i][u"id"_s].toInteger(), all[i - 1][u"id"_s].toInteger() + 1);
    const QJsonObject last = all.last().toObject();
    QCOMPARE(quint64(last[u"id"_s].toInteger()), newest);
    QCOMPARE(last[u"source"_s].toString(), u"window"_s);
    QCOMPARE(QDateTime::fromString(last[u"time"_s].toString(), Qt::ISODateWithMs),
             m_core->eventLog().events().back().time);

    const QByteArray after = "/api/v1/events?after=" + QByteArray::number(newest - 1);
    QCOMPARE(QJsonDocument::fromJson(client.get(after).body).array().size(), 1);
    QCOMPARE(QJsonDocument::fromJson(client.get("/api/v1/events?after=" + QByteArray::number(newest)).body).array().size(), 0);
}

void tst_HttpMonitor::dashboardIsSelfContained()
{
    HttpClient client(m_port);
    const HttpReply page = client.get("/");
    QCOMPARE(page.status, 200);
    QVERIFY(page.body.contains("/api/v1/devices"));
    QVERIFY(page.body.contains("/api/v1/scenes"));
    QVERIFY(!page.body.contains("http://") && !page.body.contains("https://") && !page.body.contains("src="));
    const QByteArray policy = page.fields.value("content-security-policy");
    QVERIFY2(policy.startsWith("default-src 'self'; script-src 'sha256-"), policy.constData());
    QVERIFY(policy.contains("style-src 'sha256-"));
}

void tst_HttpMonitor::answers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QByteArray>("body");  // null: any

    QTest::newRow("unknown path") << "GET /api/v2/devices HTTP/1.1\r\n\r\n"_ba << 404 << false << QByteArray();
    QTest::newRow("POST") << "POST /metrics HTTP/1.1\r\n\r\n"_ba << 405 << false << QByteArray();
    QTest::newRow("a body") << "GET / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc"_ba << 413 << true << QByteArray();
    QTest::newRow("9 KiB of header") << "GET / HTTP/1.1\r\nX: " + QByteArray(9000, 'x') + "\r\n\r\n" << 413 << true
                                     << QByteArray();
    QTest::newRow("not HTTP") << "HELO there\r\n"_ba << 400 << true << QByteArray();
    QTest::newRow("bad after") << "GET /api/v1/events?after=x HTTP/1.1\r\n\r\n"_ba << 400 << false << QByteArray();
    QTest::newRow("HEAD: no body") << "HEAD /metrics HTTP/1.1\r\n\r\n"_ba << 200 << false << ""_ba;
    QTest::newRow("asked to close") << "GET /healthz HTTP/1.1\r\nConnection: close\r\n\r\n"_ba << 200 << true
                                    << "ok\n"_ba;
    QTest::newRow("health") << "GET /healthz HTTP/1.1\r\n\r\n"_ba << 200 << false << "ok\n"_ba;
    QTest::newRow("target over 2 KiB") << "GET /" + QByteArray(3000, 'a') + " HTTP/1.1\r\n\r\n" << 414 << true
                                       << QByteArray();
    QTest::newRow("Host: the listen address") << "GET /healthz HTTP/1.1\r\nHost: 127.0.0.1:1\r\n\r\n"_ba << 200
                                              << false << "ok\n"_ba;
    QTest::newRow("Host: localhost") << "GET /healthz HTTP/1.1\r\nHost: localhost\r\n\r\n"_ba << 200 << false
                                     << "ok\n"_ba;
    QTest::newRow("Host: a listed name") << "GET /healthz HTTP/1.1\r\nHost: scrape.example:80\r\n\r\n"_ba << 200
                                         << false << "ok\n"_ba;
    QTest::newRow("Host: a rebinding name") << "GET /api/v1/devices HTTP/1.1\r\nHost: evil.example:80\r\n\r\n"_ba
                                            << 421 << true << QByteArray();
}

void tst_HttpMonitor::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(bool, closes);
    QFETCH(QByteArray, body);
    const quint64 refusedBefore = m_monitor->requestsRefused();
    HttpClient client(m_port);
    client.send(request);
    const HttpReply reply = client.read(request.startsWith("HEAD"));
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.fields.value("cache-control"), "no-store");
    QCOMPARE(m_monitor->requestsRefused() - refusedBefore, status >= 400 ? 1u : 0u);
    if (status == 405)
        QCOMPARE(reply.fields.value("allow"), "GET, HEAD");
    if (!body.isNull())
        QCOMPARE(reply.body, body);
    if (request.startsWith("HEAD"))
        QVERIFY(reply.fields.value("content-length").toInt() > 0);
    if (closes)
        QVERIFY(client.waitForClose());
    else
        QCOMPARE(client.get("/healthz").status, 200);
}

void tst_HttpMonitor::pipelinedRequestsAnswerInOrder()
{
    HttpClient client(m_port);
    client.send("GET /healthz HTTP/1.1\r\n\r\nGET /nope HTTP/1.1\r\n\r\nGET /api/v1/groups HTTP/1.1\r\n\r\n");
    QCOMPARE(client.read().status, 200);
    QCOMPARE(client.read().status, 404);
    const HttpReply groups = client.read();
    QCOMPARE(groups.status, 200);
    QVERIFY(groups.body.startsWith('['));
}

void tst_HttpMonitor::clientThatDoesNotReadStallsOnlyItself()
{
    HttpClient hog(m_port);
    hog.socket().setReadBufferSize(1);
    for (int i = 0; i < 200; ++i)
        hog.send("GET /metrics HTTP/1.1\r\n\r\n");
    HttpClient other(m_port);
    QCOMPARE(other.get("/healthz").status, 200);
    QVERIFY(m_core->tickRunning());
    QVERIFY(hog.connected());
}

namespace {

QHostAddress loopback(int last)
{
    return QHostAddress(u"127.0.0.%1"_s.arg(last));
}

} // namespace

// Eight connections per address; the 65th connection displaces the oldest
// one without a request in progress, never one being answered.
void tst_HttpMonitor::connectionBoundPerAddressAndDisplacement()
{
    std::vector<std::unique_ptr<HttpClient>> clients;
    for (int i = 0; i < HttpListener::kMaxPerAddress; ++i) {
        clients.push_back(std::make_unique<HttpClient>(m_port, loopback(100)));
        QCOMPARE(clients.back()->get("/healthz").status, 200);
    }
    HttpClient ninth(m_port, loopback(100));
    const HttpReply refused = ninth.read();
    QCOMPARE(refused.status, 503);
    QCOMPARE(refused.body, "Too many connections from this address\n");
    QVERIFY(ninth.waitForClose());

    // The rest of the 64 from other addresses; the first of them is in the middle of a request.
    const quint64 displacedBefore = m_monitor->requestsRefused();
    for (int i = HttpListener::kMaxPerAddress; i < HttpListener::kMaxConnections; ++i) {
        clients.push_back(std::make_unique<HttpClient>(m_port, loopback(101 + i / HttpListener::kMaxPerAddress)));
        QCOMPARE(clients.back()->get("/healthz").status, 200);
    }
    clients.front()->send("GET /metrics HTTP/1.1\r\n");  // a head begun: no request in progress yet
    HttpClient newcomer(m_port, loopback(120));
    QCOMPARE(newcomer.get("/healthz").status, 200);
    QVERIFY(clients.front()->waitForClose());
    QCOMPARE(m_monitor->requestsRefused(), displacedBefore + 1);
    QVERIFY(clients.back()->connected());
}

void tst_HttpMonitor::slowClientsAreCutOff_data()
{
    QTest::addColumn<QByteArray>("sent");   // after the connect
    QTest::addColumn<bool>("dripping");     // a byte more every 50 ms

    QTest::newRow("silent") << QByteArray() << false;
    QTest::newRow("head begun, never ended") << "GET /metrics HTTP/1.1\r\n"_ba << false;
    QTest::newRow("head dripping") << "GET /metrics HTTP/1.1\r\nX: "_ba << true;
}

// The first byte within its time of the connect, and the whole head within
// its time of the first byte, however the bytes drip.
void tst_HttpMonitor::slowClientsAreCutOff()
{
    QFETCH(QByteArray, sent);
    QFETCH(bool, dripping);
    HttpMonitor monitor(*m_core);
    monitor.setTiming({200, 400, 10'000});
    const quint16 port = freePort();
    QVERIFY(monitor.listen(QHostAddress::LocalHost, port, nullptr));
    HttpClient client(port);
    client.send(sent);
    QTimer drip;
    QObject::connect(&drip, &QTimer::timeout, [&] { client.send("x"); });
    if (dripping)
        drip.start(50);
    QVERIFY(client.waitForClose());
    QCOMPARE(monitor.requestsRefused(), 1u);
    // A kept-alive connection that was answered waits the idle time, not the first byte's.
    HttpClient kept(port);
    QCOMPARE(kept.get("/healthz").status, 200);
    QSignalSpy closed(&kept.socket(), &QTcpSocket::disconnected);
    QVERIFY(!closed.wait(600));
    QCOMPARE(monitor.requestsRefused(), 1u);
}

// A client that asks and leaves at once leaves no job behind; clients that
// ask for the same answer together get it from one job.
void tst_HttpMonitor::jobsOfClosedConnectionsAreSkipped()
{
    QTRY_COMPARE(m_monitor->jobsPending(), std::size_t(0));
    const quint64 formattedBefore = m_monitor->jobsFormatted();
    for (int i = 0; i < 50; ++i) {
        HttpClient client(m_port);
        client.send("GET /api/v1/events?after=" + QByteArray::number(i) + " HTTP/1.1\r\n\r\n");
        client.socket().abort();
    }
    QTRY_COMPARE(m_monitor->jobsPending(), std::size_t(0));
    QVERIFY2(m_monitor->jobsFormatted() - formattedBefore < 50,
             qPrintable(QString::number(m_monitor->jobsFormatted() - formattedBefore)));

    std::vector<std::unique_ptr<HttpClient>> clients;
    for (int i = 0; i < 6; ++i) {
        clients.push_back(std::make_unique<HttpClient>(m_port, loopback(130 + i)));
        clients.back()->send("GET /metrics HTTP/1.1\r\n\r\n");
    }
    for (const auto &client : clients)
        QCOMPARE(client->read().status, 200);
    QVERIFY(m_monitor->jobsFormatted() - formattedBefore < 50 + 6);
}

// A job cancelled while another is formatted is never formatted; one that
// has started cannot be cancelled and is delivered.
void tst_HttpMonitor::formatterDropsCancelledJobs()
{
    std::vector<quint64> delivered;
    AnswerFormatter formatter([&](quint64 ticket, const HttpAnswer &) { delivered.push_back(ticket); });
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> secondRan = false;
    formatter.submit(1, [&started, released] {
        started.set_value();
        released.wait();
        return HttpAnswer::plain(200);
    });
    formatter.submit(2, [&secondRan] {
        secondRan = true;
        return HttpAnswer::plain(200);
    });
    formatter.submit(3, [] { return HttpAnswer::plain(200); });
    started.get_future().wait();
    QVERIFY(!formatter.cancel(1));
    QVERIFY(formatter.cancel(2));
    QVERIFY(!formatter.cancel(2));
    release.set_value();
    QTRY_COMPARE(delivered, (std::vector<quint64>{1, 3}));
    QVERIFY(!secondRan);
}

void tst_HttpMonitor::listenReportsWhy()
{
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
    QString error;
    HttpMonitor second(*m_core);
    QVERIFY(!second.listen(QHostAddress::LocalHost, taken.serverPort(), &error));
    const QString expected = u"Port "_s + QString::number(taken.serverPort()) + u" on 127.0.0.1 is in use"_s;
    QCOMPARE(error, expected);
    QCOMPARE(second.statusText(), expected);
    const quint16 port = freePort();
    QVERIFY(second.listen(QHostAddress::LocalHost, port, &error));
    QCOMPARE(second.statusText(), u"Listening on 127.0.0.1:"_s + QString::number(port));
    QVERIFY(second.listen(QHostAddress::LocalHost, 0, &error));
    QCOMPARE(second.statusText(), u"Off"_s);
    HttpClient refused(port);
    QVERIFY(!refused.connected());
}

// A scene stored and recalled, then left: the answer, the metrics.
void tst_HttpMonitor::scenesShowStoreAndRecall()
{
    const CommandSource window = CommandSource::window();
    const GroupId stage = m_core->groupNamed(u"STAGE"_s);
    m_core->setGroupSetting(stage, FaderTable::VolumeA, 151, window);
    QCOMPARE(m_core->storeScene(4, u"Interval"_s, window), SceneList::Edit::Done);
    QVERIFY(m_core->recallScene(4, window));
    m_core->setGroupSetting(stage, FaderTable::VolumeA, 131, window);

    HttpClient client(m_port);
    const QJsonObject json = QJsonDocument::fromJson(client.get("/api/v1/scenes").body).object();
    QCOMPARE(json[u"current"_s].toInt(), 4);
    QCOMPARE(json[u"modified"_s].toBool(), true);
    // It covers every group, in the table's order.
    const QJsonObject scene = json[u"scenes"_s][0].toObject();
    const qsizetype stageAt = m_core->groups().findGroup(u"STAGE"_s) - 1;
    QCOMPARE(scene[u"groups"_s][stageAt].toString(), u"STAGE"_s);
    QCOMPARE(scene[u"values"_s][stageAt][u"volume_a_db"_s].toDouble(), -20.0);
    const Exposition metrics = ExpositionReader::read(client.get("/metrics").body);
    QCOMPARE(metrics.value("amp_controller_scene_current", {}), 4.0);
    QCOMPARE(metrics.value("amp_controller_scene_recalls_total", {}), 1.0);
}

QTEST_GUILESS_MAIN(tst_HttpMonitor)
#include "tst_httpmonitor.moc"

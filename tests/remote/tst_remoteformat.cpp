// The monitor's pure parts: reading request heads, routing, and the JSON
// and Prometheus answers made from plain values, checked against what the
// device panel and the group box show for the same values.

#include "blockfigures.h"
#include "exposition.h"
#include "fadertable.h"
#include "grouptable.h"
#include "hostcheck.h"
#include "metricstext.h"
#include "monitorjson.h"
#include "monitorroute.h"
#include "names.h"
#include "requesthead.h"
#include "statusblockbuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace Qt::StringLiterals;
using MonitorRoute::Endpoint;
using RequestHead::Outcome;

namespace {

StatusBlock blockOf(const StatusFields &fields)
{
    const QByteArray bytes = buildStatusBlock(fields);
    StatusBlock block{};
    std::copy(bytes.begin(), bytes.end(), block.begin());
    return block;
}

MonitorViews::Device deviceWith(const StatusFields &fields)
{
    MonitorViews::Device device;
    device.id = 7;
    device.slot = 1;
    device.name = u"AMP1 "_s;
    device.group = u"FOH  "_s;
    device.address = u"127.0.0.2"_s;
    device.link = MonitorViews::Link::Online;
    device.block = MonitorViews::figureBytesOf(blockOf(fields));
    return device;
}

// The panel's text of a raw figure as a number: "6.3 V" is 6.3.
} // namespace

class tst_RemoteFormat final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requestHead_data();
    void requestHead();
    void hostCheck_data();
    void hostCheck();
    void route_data();
    void route();
    void deviceFigures_data();
    void deviceFigures();
    void absentValuesAreLeftOut();
    void metrics_data();
    void metrics();
    void groupSettings_data();
    void groupSettings();
    void eventTimeCarriesItsOffset();
    void scenes_data();
    void scenes();
};

void tst_RemoteFormat::requestHead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<bool>("keepAlive");
    QTest::addColumn<bool>("hasBody");

    const QByteArray get = "GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n";
    const auto o = [](Outcome x) { return x; };
    QTest::newRow("plain GET") << get << o(Outcome::Complete) << 34 << "/metrics"_ba << true << false;
    QTest::newRow("bare line feeds") << "GET / HTTP/1.1\nHost: a\n\n"_ba << o(Outcome::Complete) << 24 << "/"_ba
                                     << true << false;
    QTest::newRow("empty lines first") << "\r\n\r\nGET / HTTP/1.1\r\n\r\n"_ba << o(Outcome::Complete) << 22
                                       << "/"_ba << true << false;
    QTest::newRow("pipelined: the first head only") << "GET /a HTTP/1.1\r\n\r\nGET /b HTTP/1.1\r\n\r\n"_ba
                                                    << o(Outcome::Complete) << 19 << "/a"_ba << true << false;
    QTest::newRow("no empty line yet") << get.chopped(2) << o(Outcome::Incomplete) << 0 << ""_ba << true << false;
    QTest::newRow("HTTP/1.0 closes") << "GET / HTTP/1.0\r\n\r\n"_ba << o(Outcome::Complete) << 18 << "/"_ba
                                     << false << false;
    QTest::newRow("HTTP/1.0 keep-alive") << "GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n"_ba
                                         << o(Outcome::Complete) << 42 << "/"_ba << true << false;
    QTest::newRow("close among tokens") << "GET / HTTP/1.1\r\nconnection: foo, close\r\n\r\n"_ba
                                        << o(Outcome::Complete) << 42 << "/"_ba << false << false;
    QTest::newRow("Content-Length 0") << "GET / HTTP/1.1\r\nContent-Length: 000\r\n\r\n"_ba
                                      << o(Outcome::Complete) << 39 << "/"_ba << true << false;
    QTest::newRow("Content-Length 5") << "POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nabcde"_ba
                                      << o(Outcome::Complete) << 38 << "/"_ba << true << true;
    QTest::newRow("chunked") << "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"_ba << o(Outcome::Complete)
                             << 46 << "/"_ba << true << true;
    const QByteArray bad[] = {"GET / HTTP/1.1\r\nContent-Length: 5x\r\n\r\n", "GET / HTTP/2.0\r\n\r\n",
                              "GET metrics HTTP/1.1\r\n\r\n", "GET /a b HTTP/1.1\r\n\r\n",
                              "GET / HTTP/1.1\r\nno colon\r\n\r\n", "GET / HTTP/1.1\r\n folded: x\r\n\r\n",
                              "GET / HTTP/1.1\r\nX: a\x01 b\r\n\r\n", "GET /\x80 HTTP/1.1\r\n\r\n",
                              "garbage\n", "G(T / HTTP/1.1\r\n\r\n"};
    for (const QByteArray &bytes : bad)
        QTest::addRow("malformed %s", bytes.left(24).toPercentEncoding().constData())
            << bytes << o(Outcome::Malformed) << 0 << ""_ba << true << false;
    QTest::newRow("8 KiB without a line end") << QByteArray(8192, 'a') << o(Outcome::TargetTooLong) << 0 << ""_ba
                                              << true << false;
    QTest::newRow("target over 2 KiB") << "GET /" + QByteArray(RequestHead::kMaxTargetBytes, 'a') + " HTTP/1.1\r\n"
                                       << o(Outcome::TargetTooLong) << 0 << ""_ba << true << false;
    QTest::newRow("two Host fields") << "GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n"_ba << o(Outcome::Malformed) << 0
                                     << ""_ba << true << false;
    QTest::newRow("head ending past 8 KiB") << "GET / HTTP/1.1\r\nX: " + QByteArray(8200, 'a') + "\r\n\r\n"
                                            << o(Outcome::TooLarge) << 0 << ""_ba << true << false;
    const QByteArray longest = "GET / HTTP/1.1\r\nX: " + QByteArray(8192 - 23, 'a') + "\r\n\r\n";
    QTest::newRow("head of exactly 8 KiB") << longest << o(Outcome::Complete) << 8192 << "/"_ba << true << false;
}

void tst_RemoteFormat::hostCheck_data()
{
    QTest::addColumn<QString>("listen");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<bool>("allowed");

    QTest::newRow("the listen address") << u"127.0.0.1"_s << "127.0.0.1:8080"_ba << true;
    QTest::newRow("without a port") << u"127.0.0.1"_s << "127.0.0.1"_ba << true;
    QTest::newRow("localhost, any case") << u"127.0.0.1"_s << "LocalHost:8080"_ba << true;
    QTest::newRow("localhost with the root dot") << u"127.0.0.1"_s << "localhost.:8080"_ba << true;
    QTest::newRow("a listed name") << u"127.0.0.1"_s << "Monitor.Example:8080"_ba << true;
    QTest::newRow("a rebinding name") << u"127.0.0.1"_s << "attacker.example:8080"_ba << false;
    QTest::newRow("a name ending like a listed one") << u"127.0.0.1"_s << "evilmonitor.example"_ba << false;
    QTest::newRow("another address") << u"127.0.0.1"_s << "127.0.0.2:8080"_ba << false;
    QTest::newRow("empty") << u"127.0.0.1"_s << ""_ba << false;
    QTest::newRow("IPv6 listen address") << u"::1"_s << "[::1]:8080"_ba << true;
    QTest::newRow("IPv6 unclosed") << u"::1"_s << "[::1:8080"_ba << false;
    QTest::newRow("any: an address of the machine") << u"0.0.0.0"_s << "10.9.8.7:8080"_ba << true;
    QTest::newRow("any: loopback") << u"0.0.0.0"_s << "127.0.0.1:8080"_ba << true;
    QTest::newRow("any: not this machine") << u"0.0.0.0"_s << "10.9.8.6:8080"_ba << false;
}

void tst_RemoteFormat::hostCheck()
{
    QFETCH(QString, listen);
    QFETCH(QByteArray, host);
    const HostCheck check(QHostAddress(listen), {u"monitor.example"_s}, {QHostAddress(u"10.9.8.7"_s)});
    QTEST(check.allows(host), "allowed");
}

void tst_RemoteFormat::requestHead()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Outcome, outcome);
    const RequestHead::Head head = RequestHead::parse(bytes);
    QCOMPARE(head.outcome, outcome);
    if (outcome != Outcome::Complete)
        return;
    QTEST(int(head.length), "length");
    QTEST(head.target, "target");
    QTEST(head.keepAlive, "keepAlive");
    QTEST(head.hasBody, "hasBody");
}

void tst_RemoteFormat::route_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<Endpoint>("endpoint");
    QTest::addColumn<qint64>("after");  // -1: none

    const auto row = [](const char *name, const char *method, const char *target, int status, Endpoint endpoint,
                        qint64 after = -1) {
        QTest::newRow(name) << QByteArray(method) << QByteArray(target) << status << endpoint << after;
    };
    row("dashboard", "GET", "/", 200, Endpoint::Dashboard);
    row("HEAD of the metrics", "HEAD", "/metrics", 200, Endpoint::Metrics);
    row("devices", "GET", "/api/v1/devices", 200, Endpoint::Devices);
    row("groups", "GET", "/api/v1/groups", 200, Endpoint::Groups);
    row("health", "GET", "/healthz", 200, Endpoint::Health);
    row("scenes", "GET", "/api/v1/scenes", 200, Endpoint::Scenes);
    row("scenes, query ignored", "GET", "/api/v1/scenes?after=x", 200, Endpoint::Scenes);
    row("POST", "POST", "/", 405, Endpoint::None);
    row("DELETE of an unknown path", "DELETE", "/nope", 405, Endpoint::None);
    row("methods are case-sensitive", "get", "/", 405, Endpoint::None);
    row("unknown path", "GET", "/nope", 404, Endpoint::None);
    row("trailing slash", "GET", "/api/v1/devices/", 404, Endpoint::None);
    row("percent-encoded path", "GET", "/%6Detrics", 404, Endpoint::None);
    row("events, the latest", "GET", "/api/v1/events", 200, Endpoint::Events);
    row("events, empty query", "GET", "/api/v1/events?", 200, Endpoint::Events);
    row("events after 17", "GET", "/api/v1/events?after=17", 200, Endpoint::Events, 17);
    row("other fields ignored", "GET", "/api/v1/events?x=1&after=0&y", 200, Endpoint::Events, 0);
    row("after 2^64-1", "GET", "/api/v1/events?after=18446744073709551615", 200, Endpoint::Events, -2);
    row("after 2^64", "GET", "/api/v1/events?after=18446744073709551616", 400, Endpoint::None);
    row("after 21 digits", "GET", "/api/v1/events?after=000000000000000000001", 400, Endpoint::None);
    row("after nothing", "GET", "/api/v1/events?after=", 400, Endpoint::None);
    row("after negative", "GET", "/api/v1/events?after=-1", 400, Endpoint::None);
    row("after twice", "GET", "/api/v1/events?after=1&after=2", 400, Endpoint::None);
    row("query ignored elsewhere", "GET", "/metrics?after=x", 200, Endpoint::Metrics);
}

void tst_RemoteFormat::route()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, target);
    QFETCH(qint64, after);
    const MonitorRoute::Route route = MonitorRoute::route(method, target);
    QTEST(route.status, "status");
    QTEST(route.endpoint, "endpoint");
    QCOMPARE(route.head, method == "HEAD");
    if (after == -2)
        QCOMPARE(route.eventsAfter, std::optional<quint64>(~quint64(0)));
    else
        QCOMPARE(route.eventsAfter, after < 0 ? std::nullopt : std::optional<quint64>(quint64(after)));
}

// The figures as the device panel shows them (raw * full scale / 1024, to a
// tenth, halves up), worked out by hand. -1: the key is absent.
void tst_RemoteFormat::deviceFigures_data()
{
    QTest::addColumn<StatusFields>("fields");
    QTest::addColumn<QList<double>>("channelA");  // peak V, average V, A, W, ohm
    QTest::addColumn<QList<double>>("channelB");
    QTest::addColumn<QStringList>("states");
    QTest::addColumn<QList<bool>>("muted");
    QTest::addColumn<QList<double>>("device");    // mains V, amp °C, PSU °C

    // Raw 300, 290 peak, 120, 115 average, 160, 150 current, mains 314.
    QTest::newRow("the simulator's defaults")
        << StatusFields{} << QList<double>{58.6, 23.4, 7.8, 183.1, 8.0} << QList<double>{56.6, 22.5, 7.3, 164.5, 4.0}
        << QStringList{u"ok"_s, u"ok"_s} << QList<bool>{false, false} << QList<double>{230.0, 48, 42};
    StatusFields halves;
    halves.outputs = {32, 1, 32, 33, 1, 65535};  // 6.25 V away from zero, 0.05 A stays down
    halves.mains = 65535;
    QTest::newRow("halves and the top of the range")
        << halves << QList<double>{6.3, 6.3, 0.0, 0.3, 8.0} << QList<double>{0.2, 6.4, 3200.0, 20624.7, 4.0}
        << QStringList{u"ok"_s, u"ok"_s} << QList<bool>{false, false} << QList<double>{47999.3, 48, 42};
    StatusFields fault;
    fault.stateB = 0;
    fault.muteA = 0;
    fault.impedanceA = "open";
    fault.firstTemperature = "1-1";
    fault.fan = "ab%";
    QTest::newRow("fault, muted, figures that are no number")
        << fault << QList<double>{58.6, 23.4, 7.8, 183.1, -1} << QList<double>{56.6, 22.5, 7.3, 164.5, 4.0}
        << QStringList{u"ok"_s, u"fault"_s} << QList<bool>{true, false} << QList<double>{230.0, 48, -1};
    StatusFields units;
    units.impedanceA = "8.0R";
    units.impedanceB = "----";
    units.secondTemperature = "48 ";
    QTest::newRow("a unit after the figure, dashes")
        << units << QList<double>{58.6, 23.4, 7.8, 183.1, 8.0} << QList<double>{56.6, 22.5, 7.3, 164.5, -1}
        << QStringList{u"ok"_s, u"ok"_s} << QList<bool>{false, false} << QList<double>{230.0, 48, 42};
}

void tst_RemoteFormat::deviceFigures()
{
    QFETCH(StatusFields, fields);
    QFETCH(QList<double>, channelA);
    QFETCH(QList<double>, channelB);
    QFETCH(QStringList, states);
    QFETCH(QList<bool>, muted);
    QFETCH(QList<double>, device);

    const QJsonObject json = QJsonDocument::fromJson(MonitorJson::devices({deviceWith(fields)})).array()[0].toObject();
    const QJsonArray channels = json[u"channels"_s].toArray();
    QCOMPARE(channels.size(), 2);
    const QString keys[] = {u"output_peak_v"_s, u"output_average_v"_s, u"current_a"_s, u"power_w"_s,
                            u"impedance_ohm"_s};
    for (int c = 0; c < 2; ++c) {
        const QJsonObject channel = channels[c].toObject();
        const QList<double> &expected = c == 0 ? channelA : channelB;
        for (int k = 0; k < 5; ++k) {
            QCOMPARE(channel.contains(keys[k]), expected[k] >= 0);
            if (expected[k] >= 0)
                QCOMPARE(channel[keys[k]].toDouble(), expected[k]);
        }
        QCOMPARE(channel[u"state"_s].toString(), states[c]);
        QCOMPARE(channel[u"muted"_s].toBool(), muted[c]);
    }
    const QString deviceKeys[] = {u"mains_v"_s, u"amp_temp_c"_s, u"psu_temp_c"_s};
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(json.contains(deviceKeys[k]), device[k] >= 0);
        if (device[k] >= 0)
            QCOMPARE(json[deviceKeys[k]].toDouble(), device[k]);
    }
    QCOMPARE(json.contains(u"fan_percent"_s), fields.fan.startsWith('0'));
    QCOMPARE(json[u"model"_s].toString(), QString::fromLatin1(fields.model));
    QCOMPARE(json[u"serial"_s].toString(), QString::fromLatin1(fields.serial));
}

void tst_RemoteFormat::absentValuesAreLeftOut()
{
    MonitorViews::Device device = deviceWith({});
    device.block.reset();
    device.link = MonitorViews::Link::NoAnswerYet;
    device.severity = 3;
    const QJsonObject object = QJsonDocument::fromJson(MonitorJson::devices({device})).array()[0].toObject();
    QCOMPARE(object.keys(), (QStringList{u"address"_s, u"group"_s, u"id"_s, u"link"_s, u"name"_s, u"severity"_s,
                                         u"slot"_s}));
    QCOMPARE(object[u"name"_s].toString(), u"AMP1"_s);
    QCOMPARE(object[u"group"_s].toString(), u"FOH"_s);
    QCOMPARE(object[u"link"_s].toString(), u"no answer yet"_s);

    const Exposition metrics = ExpositionReader::read(MetricsText::exposition({device}, {}));
    QCOMPARE(metrics.error, QString());
    QCOMPARE(metrics.count("amp_up"), 1);
    for (const QByteArray name : {"amp_exchange_seconds", "amp_channel_fault", "amp_temperature_celsius",
                                  "amp_mains_volts", "amp_fan_ratio"})
        QCOMPARE(metrics.count(name), 0);
}

void tst_RemoteFormat::metrics_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("group");

    QTest::newRow("plain") << u"AMP1 "_s << u"FOH  "_s;
    QTest::newRow("quote and backslash") << u"A\"B\\"_s << u"\\\\"_s;
    QTest::newRow("line feed and non-ASCII") << u"A\nB"_s << u"B\u00DCHNE"_s;
    QTest::newRow("empty") << QString() << u"     "_s;
}

void tst_RemoteFormat::metrics()
{
    QFETCH(QString, name);
    QFETCH(QString, group);
    StatusFields fields;
    fields.stateA = 0;
    fields.muteB = 0;
    fields.impedanceA = "8.0R";
    fields.impedanceB = "open";
    MonitorViews::Device device = deviceWith(fields);
    device.name = name;
    device.group = group;
    device.medianExchangeMs = 1.25;
    device.pollAttempts = 1000;
    device.pollFailures = 3;
    MonitorViews::Device silent = deviceWith({});
    silent.address = u"127.0.0.3"_s;
    silent.link = MonitorViews::Link::Offline;
    silent.block.reset();
    const MonitorViews::Controller controller{2, 1, {40, 5, 2}, 9, 1, false, 12, 34};

    const QByteArray text = MetricsText::exposition({device, silent}, controller);
    QVERIFY(text.endsWith("amp_controller_scene_current 12\n# HELP amp_controller_scene_recalls_total Scene recalls"
                          " since the controller started.\n# TYPE amp_controller_scene_recalls_total counter\n"
                          "amp_controller_scene_recalls_total 34\n"));
    const Exposition metrics = ExpositionReader::read(text);
    QCOMPARE(metrics.error, QString());
    const QMap<QByteArray, QString> amp{{"name", withoutTrailingBlanks(name)},
                                        {"group", withoutTrailingBlanks(group)},
                                        {"address", u"127.0.0.2"_s}};
    const auto with = [&](const QByteArray &label, const QString &value) {
        QMap<QByteArray, QString> labels = amp;
        labels.insert(label, value);
        return labels;
    };
    QCOMPARE(metrics.value("amp_up", amp), 1.0);
    QCOMPARE(metrics.value("amp_up", {{"address", u"127.0.0.3"_s}}), 0.0);
    QCOMPARE(metrics.value("amp_exchange_seconds", amp), 0.00125);
    QCOMPARE(metrics.value("amp_poll_attempts_total", amp), 1000.0);
    QCOMPARE(metrics.value("amp_poll_failures_total", amp), 3.0);
    QCOMPARE(metrics.value("amp_channel_fault", with("channel", u"a"_s)), 1.0);
    QCOMPARE(metrics.value("amp_channel_fault", with("channel", u"b"_s)), 0.0);
    QCOMPARE(metrics.value("amp_channel_muted", with("channel", u"b"_s)), 1.0);
    QCOMPARE(metrics.value("amp_output_peak_volts", with("channel", u"a"_s)), 58.6);  // raw 300
    QCOMPARE(metrics.value("amp_temperature_celsius", with("sensor", u"amp"_s)), 48.0);
    QCOMPARE(metrics.value("amp_temperature_celsius", with("sensor", u"psu"_s)), 42.0);
    QCOMPARE(metrics.value("amp_mains_volts", amp), 230.0);  // raw 314
    QCOMPARE(metrics.value("amp_fan_ratio", amp), 0.45);
    QCOMPARE(metrics.count("amp_mains_volts"), 1);
    QCOMPARE(metrics.value("amp_controller_devices", {}), 2.0);
    QCOMPARE(metrics.value("amp_controller_tick_running", {}), 0.0);
    QCOMPARE(metrics.value("amp_controller_events_total", {{"severity", u"warning"_s}}), 5.0);
    QCOMPARE(metrics.value("amp_controller_http_requests_total", {}), 9.0);
}

void tst_RemoteFormat::groupSettings_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("raw");

    for (int raw : {0, 1, 190, 191, 255})
        QTest::addRow("volume A %d", raw) << int(FaderTable::VolumeA) << raw;
    QTest::newRow("input level B 100") << int(FaderTable::InputLevelB) << 100;
    for (int raw : {10, 100, 170})
        QTest::addRow("limiter B %d", raw) << int(FaderTable::LimiterB) << raw;
}

void tst_RemoteFormat::groupSettings()
{
    QFETCH(int, entry);
    QFETCH(int, raw);
    MonitorViews::Group group;
    group.name = u"FOH  "_s;
    group.settings[std::size_t(entry - 1)] = raw;
    group.deviceIds = {3, 9};
    const QJsonObject object = QJsonDocument::fromJson(MonitorJson::groups({group})).array()[0].toObject();

    tGroupItem item;
    (entry == FaderTable::VolumeA ? item.volumeA : entry == FaderTable::InputLevelB ? item.inputLevelB : item.limiterB) =
        quint8(raw);
    QString label = FaderTable::labelText(item, entry);
    label.replace(QLocale().decimalPoint(), u"."_s);
    const QString key = entry == FaderTable::VolumeA ? u"volume_a"_s
                        : entry == FaderTable::InputLevelB ? u"input_level_b"_s : u"limiter_b"_s;
    const QString unit = entry == FaderTable::LimiterB ? u"_v"_s : u"_db"_s;
    QCOMPARE(QString::number(object[key + unit].toDouble(), 'f', 1) + (unit == u"_v"_s ? u" V"_s : u" dB"_s), label);
    QCOMPARE(object[key + u"_raw"_s].toInt(), raw);
    QCOMPARE(object[u"name"_s].toString(), u"FOH"_s);
    QCOMPARE(object[u"device_ids"_s].toArray(), (QJsonArray{3, 9}));
}

void tst_RemoteFormat::eventTimeCarriesItsOffset()
{
    MonitorViews::Event event;
    event.id = 5;
    event.time = QDateTime(QDate(2026, 3, 1), QTime(12, 30, 15, 250), Qt::OffsetFromUTC, 2 * 3600);
    const QJsonObject object = QJsonDocument::fromJson(MonitorJson::events({event})).array()[0].toObject();
    const QString time = object[u"time"_s].toString();
    QVERIFY2(QRegularExpression(u"[+-]\\d\\d:\\d\\d$"_s).match(time).hasMatch(), qPrintable(time));
    QCOMPARE(QDateTime::fromString(time, Qt::ISODateWithMs), event.time);
    QVERIFY(object[u"device_id"_s].isNull());
    QCOMPARE(object[u"severity"_s].toString(), u"info"_s);
}

void tst_RemoteFormat::scenes_data()
{
    QTest::addColumn<MonitorViews::Scenes>("scenes");
    QTest::addColumn<QByteArray>("json");

    Scene night;
    night.number = 12;
    night.name = u"Nacht \"\u00FC\""_s;
    night.scope = {false, {u"SUB L"_s}, SceneKind::Mutes | SceneKind::Limiters};
    night.fadeMs = 2'500;
    night.groups = {{u"SUB L"_s, {}}};
    night.groups[0].state.volumeA = 191;
    night.groups[0].state.mute = GroupMute::Unmuted;
    QTest::newRow("none") << MonitorViews::Scenes{} << R"({"current":null,"modified":false,"scenes":[]})"_ba;
    QTest::newRow("chosen groups and kinds, fade, modified")
        << MonitorViews::Scenes{12, true, {night}}
        << R"({"current":12,"modified":true,"scenes":[{"fade_s":2.5,"groups":["SUB L"],"kinds":["limiters","mutes"],)"
           R"("name":"Nacht \")" "\xc3\xbc" R"(\"","number":12,"values":[{"input_level_a_db":-95.5,"input_level_a_raw":0,)"
           R"("input_level_b_db":-95.5,"input_level_b_raw":0,"input_level_link":false,"limiter_a_raw":10,)"
           R"("limiter_a_v":10,"limiter_b_raw":10,"limiter_b_v":10,"limiter_link":false,"muted":false,"name":"SUB L",)"
           R"("volume_a_db":0,"volume_a_raw":191,"volume_b_db":-95.5,"volume_b_raw":0,"volume_link":false}]}]})"_ba;
}

void tst_RemoteFormat::scenes()
{
    QFETCH(MonitorViews::Scenes, scenes);
    QFETCH(QByteArray, json);
    QCOMPARE(MonitorJson::scenes(scenes), json);
}

QTEST_APPLESS_MAIN(tst_RemoteFormat)
#include "tst_remoteformat.moc"

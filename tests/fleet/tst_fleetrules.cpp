// The fleet's rules without windows: figure zones as the panel's bars show
// them, hysteresis, link health, row severity, event detection including
// the project check, what passes between two looks, flood control, the
// log's capacity and drop order, and its CSV.

#include "ampsimulator.h"
#include "commands.h"
#include "devicetable.h"
#include "eventcsv.h"
#include "eventdetector.h"
#include "eventlog.h"
#include "figurezones.h"
#include "fleethealth.h"
#include "linkhealth.h"
#include "statusblockbuilder.h"
#include "storedblocks.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

#include <cstring>

using namespace Qt::StringLiterals;
namespace Field = StatusField;
using FigureZones::Figure;
using FigureZones::Level;

namespace {

constexpr qint64 kSecond = 1'000'000'000;

StatusBlock blockOf(const StatusFields &fields)
{
    StatusBlock block{};
    const QByteArray bytes = buildStatusBlock(fields);
    std::memcpy(block.data(), bytes.constData(), std::size_t(bytes.size()));
    return block;
}

StatusFields healthy()
{
    StatusFields fields;
    fields.name = "AMP1 ";
    fields.group = "STAGE";
    return fields;
}

QByteArray temperature(int value)
{
    return QByteArray::number(value).rightJustified(3, ' ');
}

} // namespace

class tst_FleetRules final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void levels_data();
    void levels();
    void hysteresis_data();
    void hysteresis();
    void linkHealth_data();
    void linkHealth();
    void severity_data();
    void severity();
    void severityHoldsItsZone_data();
    void severityHoldsItsZone();
    void healthFollowsTheTable();
    void detection_data();
    void detection();
    void projectCheck();
    void betweenLooks_data();
    void betweenLooks();
    void stalledDeviceBackWithinOneLook();
    void flappingMuteLeavesOthersInTheLog();
    void logKeepsTheNewest();
    void dropOrder_data();
    void dropOrder();
    void csvBytes();
    void csvField_data();
    void csvField();
};

// The boundaries are where the panel's 42-segment bars light their first
// yellow and red segment.
void tst_FleetRules::levels_data()
{
    QTest::addColumn<Figure>("figure");
    QTest::addColumn<int>("value");
    QTest::addColumn<Level>("level");
    QTest::newRow("cold") << Figure::AmplifierTemperature << 0 << Level::Normal;
    QTest::newRow("last lime") << Figure::AmplifierTemperature << 103 << Level::Normal;
    QTest::newRow("first yellow") << Figure::PsuTemperature << 104 << Level::Warning;
    QTest::newRow("last yellow") << Figure::PsuTemperature << 127 << Level::Warning;
    QTest::newRow("first red") << Figure::AmplifierTemperature << 128 << Level::Alarm;
    QTest::newRow("beyond the bar") << Figure::AmplifierTemperature << 999 << Level::Alarm;
    QTest::newRow("no mains") << Figure::Mains << 0 << Level::Alarm;
    QTest::newRow("low mains") << Figure::Mains << 149 << Level::Alarm;
    QTest::newRow("mains lime from") << Figure::Mains << 150 << Level::Normal;
    QTest::newRow("230 V") << Figure::Mains << 230 << Level::Normal;
    QTest::newRow("mains lime to") << Figure::Mains << 263 << Level::Normal;
    QTest::newRow("high mains") << Figure::Mains << 264 << Level::Alarm;
}

void tst_FleetRules::levels()
{
    QFETCH(Figure, figure);
    QFETCH(int, value);
    QFETCH(Level, level);
    QCOMPARE(int(FigureZones::levelOf(figure, value)), int(level));
}

void tst_FleetRules::hysteresis_data()
{
    QTest::addColumn<Figure>("figure");
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<QList<int>>("levels");
    QTest::newRow("sitting on the yellow boundary") << Figure::AmplifierTemperature
        << QList<int>{103, 104, 103, 104, 102, 101, 100} << QList<int>{0, 1, 1, 1, 1, 1, 0};
    QTest::newRow("red straight back to normal") << Figure::PsuTemperature
        << QList<int>{130, 90} << QList<int>{2, 0};
    QTest::newRow("red steps down through yellow") << Figure::PsuTemperature
        << QList<int>{128, 126, 124, 110} << QList<int>{2, 2, 1, 1};
    QTest::newRow("worse at once") << Figure::AmplifierTemperature
        << QList<int>{60, 104, 128} << QList<int>{0, 1, 2};
    QTest::newRow("mains sagging at its low boundary") << Figure::Mains
        << QList<int>{230, 149, 150, 154, 155} << QList<int>{0, 2, 2, 2, 0};
    QTest::newRow("mains high boundary") << Figure::Mains
        << QList<int>{264, 260, 258} << QList<int>{2, 2, 0};
}

void tst_FleetRules::hysteresis()
{
    QFETCH(Figure, figure);
    QFETCH(QList<int>, values);
    QFETCH(QList<int>, levels);
    Level level = Level::Normal;
    QList<int> seen;
    for (int value : values) {
        level = FigureZones::track(figure, level, value);
        seen.append(int(level));
    }
    QCOMPARE(seen, levels);
}

// Readings one per second: requests, successes, last exchange µs, success
// time in seconds (0 none).
void tst_FleetRules::linkHealth_data()
{
    QTest::addColumn<QList<QList<qint64>>>("readings");
    QTest::addColumn<double>("median");  // -1: none
    QTest::addColumn<double>("loss");    // -1: none
    QTest::newRow("no answer yet") << QList<QList<qint64>>{{0, 0, 0, 0}} << -1.0 << -1.0;
    QTest::newRow("one attempt in progress is no loss")
        << QList<QList<qint64>>{{10, 10, 900, 1}, {21, 20, 1100, 2}} << 1.0 << 0.0;
    QTest::newRow("even count: mean of the middle two")
        << QList<QList<qint64>>{{0, 0, 0, 0}, {1, 1, 1000, 1}, {2, 2, 3000, 2}, {3, 3, 2000, 3}, {4, 4, 9000, 4}}
        << 2.5 << 0.0;
    QTest::newRow("same success seen twice is one sample")
        << QList<QList<qint64>>{{1, 1, 4000, 1}, {2, 1, 4000, 1}, {3, 2, 6000, 2}} << 5.0 << 0.0;
    QTest::newRow("a quarter failed")
        << QList<QList<qint64>>{{100, 100, 500, 1}, {180, 159, 500, 2}} << 0.5 << 25.0;
    QTest::newRow("counters wrap past 2^32")
        << QList<QList<qint64>>{{0xFFFFFFF0LL, 0xFFFFFFF0LL, 500, 1}, {0x18, 0x05, 500, 2}} << 0.5 << 45.0;
    // 50 attempts fail in the first second, none after.
    QList<QList<qint64>> old{{0, 0, 800, 1}};
    for (qint64 s = 1; s <= 61; ++s)
        old.append({s * 10 + 51, s * 10, 800, s + 1});
    QTest::newRow("failures older than 60 s are forgotten") << old << 0.8 << 0.0;
}

void tst_FleetRules::linkHealth()
{
    QFETCH(QList<QList<qint64>>, readings);
    QFETCH(double, median);
    QFETCH(double, loss);
    LinkHealth health;
    qint64 now = 0;
    for (const QList<qint64> &r : readings) {
        now += kSecond;
        health.observe(now, {quint32(r[0]), quint32(r[1]), r[2], r[3] * kSecond});
    }
    QCOMPARE(health.medianExchangeMs().value_or(-1.0), median);
    QCOMPARE(health.lossPercent().value_or(-1.0), loss);
}

void tst_FleetRules::severity_data()
{
    QTest::addColumn<int>("linkState");
    QTest::addColumn<StatusFields>("fields");
    QTest::addColumn<double>("loss");
    QTest::addColumn<int>("severity");
    const StatusFields ok = healthy();
    StatusFields fault = ok;
    fault.stateB = 0;
    StatusFields noIndication = ok;
    noIndication.stateA = 2;
    StatusFields warm = ok;
    warm.secondTemperature = temperature(110);
    StatusFields hot = ok;
    hot.firstTemperature = temperature(131);
    StatusFields lowMains = ok;
    lowMains.mains = 150;  // 109.9 V
    QTest::newRow("healthy") << 3 << ok << 0.0 << 0;
    QTest::newRow("no answer yet") << 0 << ok << -1.0 << 3;
    QTest::newRow("offline") << 1 << ok << 100.0 << 3;
    QTest::newRow("channel fault") << 3 << fault << 0.0 << 2;
    QTest::newRow("no indication is no fault") << 3 << noIndication << 0.0 << 0;
    QTest::newRow("yellow temperature") << 3 << warm << 0.0 << 1;
    QTest::newRow("red temperature") << 3 << hot << 0.0 << 2;
    QTest::newRow("mains in the red") << 3 << lowMains << 0.0 << 2;
    QTest::newRow("loss of 1 %") << 3 << ok << 1.0 << 0;
    QTest::newRow("loss above 1 %") << 3 << ok << 1.1 << 1;
}

void tst_FleetRules::severity()
{
    QFETCH(int, linkState);
    QFETCH(StatusFields, fields);
    QFETCH(double, loss);
    QFETCH(int, severity);
    const std::optional<double> lossPercent = loss < 0 ? std::nullopt : std::optional(loss);
    FigureLevels firstBlock{};
    QCOMPARE(FleetHealth::severity(linkState, FleetHealth::blockSeverity(blockOf(fields), firstBlock),
                                  FleetHealth::lossWarning(false, lossPercent)),
             severity);
}

// One online device, one refresh per step: the amplifier temperature and
// the loss (-1: none yet) of each step, the row's severity after it.
void tst_FleetRules::severityHoldsItsZone_data()
{
    QTest::addColumn<QList<int>>("temperatures");
    QTest::addColumn<QList<double>>("losses");
    QTest::addColumn<QList<int>>("severities");
    QTest::newRow("temperature sitting on the yellow boundary")
        << QList<int>{103, 104, 103, 104, 103, 101, 100} << QList<double>(7, 0.0)
        << QList<int>{0, 1, 1, 1, 1, 1, 0};
    QTest::newRow("red steps down through yellow")
        << QList<int>{128, 126, 124, 90} << QList<double>(4, 0.0) << QList<int>{2, 2, 1, 0};
    QTest::newRow("loss around 1 %") << QList<int>(8, 40)
        << QList<double>{0.9, 1.1, 0.9, 0.6, 0.5, 0.4, 1.0, 1.2} << QList<int>{0, 1, 1, 1, 1, 0, 0, 1};
    QTest::newRow("loss no longer known") << QList<int>(3, 40) << QList<double>{2.0, -1.0, 0.9}
                                          << QList<int>{1, 0, 0};
    QTest::newRow("loss held under a yellow temperature") << QList<int>{104, 104, 90, 90}
        << QList<double>{0.0, 1.5, 0.7, 0.3} << QList<int>{1, 1, 1, 0};
}

void tst_FleetRules::severityHoldsItsZone()
{
    QFETCH(QList<int>, temperatures);
    QFETCH(QList<double>, losses);
    QFETCH(QList<int>, severities);
    FigureLevels levels{};
    bool lossWarning = false;
    QList<int> seen;
    for (qsizetype step = 0; step < temperatures.size(); ++step) {
        StatusFields fields = healthy();
        fields.secondTemperature = temperature(temperatures[step]);
        const double loss = losses[step];
        lossWarning = FleetHealth::lossWarning(lossWarning, loss < 0 ? std::nullopt : std::optional(loss));
        seen.append(FleetHealth::severity(ThSocket::Online, FleetHealth::blockSeverity(blockOf(fields), levels),
                                         lossWarning));
    }
    QCOMPARE(seen, severities);
}

// Three devices polled once and then left alone. AMP2 and AMP3 report an
// amplifier temperature in the yellow, then one on the boundary, which holds
// them there; AMP3 has channel A muted. Deleting AMP1 moves the others up a
// slot: each keeps its held zone and its readings, and AMP1 reads as not
// online.
void tst_FleetRules::healthFollowsTheTable()
{
    AmpSimulator sim;
    const QStringList addresses{u"127.0.0.2"_s, u"127.0.0.3"_s, u"127.0.0.4"_s};
    const quint16 port = sim.start({{addresses[0], "AMP1 ", "STAGE"},
                                    {addresses[1], "AMP2 ", "STAGE"},
                                    {addresses[2], "AMP3 ", "STAGE"}});
    QVERIFY(port != 0);
    StatusFields warm = healthy();
    warm.secondTemperature = "104";
    sim.setServedBlock(1, buildStatusBlock(warm));
    warm.muteA = 0;
    sim.setServedBlock(2, buildStatusBlock(warm));
    tDevices devices(port);
    StoredBlocks blocks(devices);
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    for (int slot = 1; slot <= 3; ++slot) {
        QVERIFY(devices.appendDevice(u"AMP"_s + QString::number(slot) + u' ', u"STAGE"_s, addresses[slot - 1]));
        Commands::statusFetch(devices, slot);
    }
    QTRY_COMPARE(stored.count(), 3);
    qint64 now = 0;
    for (int slot = 1; slot <= 3; ++slot) {
        QTRY_COMPARE(devices[slot].linkState(), int(ThSocket::Online));
        now = std::max(now, devices[slot].lastSuccessNanoseconds() + kSecond);
    }
    const quint64 first = devices[1].id;

    FleetHealth health;
    health.refresh(devices, blocks, now);
    for (int slot = 2; slot <= 3; ++slot)
        std::memcpy(devices[slot].status.data() + Field::SecondTemperature, "103", 3);
    health.refresh(devices, blocks, now);
    devices.deleteDevice(1);
    blocks.prune();
    health.refresh(devices, blocks, now);

    QCOMPARE(health.devices().size(), std::size_t(2));
    for (int slot = 1; slot <= 2; ++slot) {
        const DeviceHealth &device = health.of(devices[slot].id);
        QCOMPARE(device.slot, slot);
        QCOMPARE(device.name, devices[slot].name);
        QCOMPARE(device.levels[0], Level::Warning);
        QCOMPARE(device.severity, 1);
    }
    QCOMPARE(health.of(first).id, quint64(0));
    QCOMPARE(health.of(first).severity, 3);

    const std::optional<PanelReadings> readings = health.of(devices[2].id).readings;
    QVERIFY(readings);
    QCOMPARE(readings->channels[0].muted, true);
    QCOMPARE(readings->channels[1].muted, false);
    QCOMPARE(readings->channels[0].state, quint8(1));
    QCOMPARE(readings->amplifierTemperature.characters, u"103"_s);
    QCOMPARE(readings->amplifierTemperature.value, 103);
    QCOMPARE(readings->psuTemperature.characters, u" 42"_s);
    QCOMPARE(readings->psuTemperature.value, 42);
    QCOMPARE(readings->mainsRaw, quint16(314));
    QCOMPARE(readings->fan.characters, u"045%"_s);
    QCOMPARE(readings->fan.value, 45);
    QCOMPARE(readings->peakRaw, (std::array<quint16, 2>{300, 290}));
}

// Steps of one device, one look each: link state, whether a block was
// stored, the fields it reports; the events of every look, joined.
using Step = std::tuple<int, bool, StatusFields>;

void tst_FleetRules::detection_data()
{
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QStringList>("events");
    const StatusFields ok = healthy();
    StatusFields fault = ok;
    fault.stateA = 0;
    StatusFields muted = ok;
    muted.muteB = 0;
    StatusFields hot = ok;
    hot.secondTemperature = temperature(129);
    StatusFields cooling = ok;
    cooling.secondTemperature = temperature(126);
    StatusFields renamed = ok;
    renamed.name = "AMP2 ";

    QTest::newRow("first answer, drop, return") << QList<Step>{{0, false, ok}, {3, true, ok}, {3, true, ok},
                                                                {1, true, ok}, {1, true, ok}, {3, true, ok}}
        << QStringList{u"Info online: first answer"_s, u"Alarm offline"_s,
                       u"Info online again after 2.0 s offline"_s};
    QTest::newRow("never answered") << QList<Step>{{0, false, ok}, {1, false, ok}, {1, false, ok}}
        << QStringList{u"Alarm offline: never answered"_s};
    QTest::newRow("fault and back, once each") << QList<Step>{{3, true, ok}, {3, true, fault}, {3, true, fault},
                                                               {3, true, ok}}
        << QStringList{u"Info online: first answer"_s, u"Alarm Channel A FAULT"_s, u"Info Channel A OK again"_s};
    QTest::newRow("bad from the first block") << QList<Step>{{3, true, fault}}
        << QStringList{u"Info online: first answer"_s, u"Alarm Channel A FAULT"_s};
    QTest::newRow("no figures before the first block") << QList<Step>{{3, false, fault}, {3, true, ok}}
        << QStringList{u"Info online: first answer"_s};
    QTest::newRow("mute reported") << QList<Step>{{3, true, ok}, {3, true, muted}, {3, true, ok}}
        << QStringList{u"Info online: first answer"_s, u"Info Channel B muted"_s, u"Info Channel B un-muted"_s};
    QTest::newRow("red, held near the boundary, then clear") << QList<Step>{{3, true, ok}, {3, true, hot},
                                                                             {3, true, cooling}, {3, true, ok}}
        << QStringList{u"Info online: first answer"_s, u"Alarm Amplifier temperature in the red zone: 129 \u00B0C"_s,
                       u"Info Amplifier temperature back to normal: 48 \u00B0C"_s};
    QTest::newRow("figures of an offline device are not judged")
        << QList<Step>{{3, true, ok}, {1, true, hot}, {1, true, hot}}
        << QStringList{u"Info online: first answer"_s, u"Alarm offline"_s};
    QTest::newRow("name reported") << QList<Step>{{3, true, ok}, {3, true, renamed}}
        << QStringList{u"Info online: first answer"_s, u"Info Name changed from \"AMP1 \" to \"AMP2 \""_s};
}

void tst_FleetRules::detection()
{
    QFETCH(QList<Step>, steps);
    QFETCH(QStringList, events);
    EventDetector detector;
    LinkOutages outages;  // as the worker keeps them
    ChannelChanges changes;
    StatusBlock block{};
    QStringList seen;
    qint64 now = 0;
    for (const auto &[linkState, stored, fields] : steps) {
        now += kSecond;
        block = blockOf(fields);
        if (linkState == 3)
            outages.succeeded(now);
        else if (linkState == 1)
            outages.jobDropped(now);
        if (stored)
            changes.count(block);
        const EventDetector::Device device{1, u"AMP1 "_s, u"127.0.0.2"_s, linkState, linkState == 3,
                                           stored ? &block : nullptr, outages.read(), changes.counts()};
        for (const FleetEvent &event : detector.detect({device}, now, {})) {
            QCOMPARE(event.amplifier, u"AMP1 (127.0.0.2)"_s);
            seen.append(FleetEvents::severityText(event.severity) + u' ' + event.text);
        }
    }
    QCOMPARE(seen, events);
}

void tst_FleetRules::projectCheck()
{
    EventDetector detector;
    std::vector<EventDetector::Device> devices{{1, u"A    "_s, u"127.0.0.2"_s, 0, false, nullptr},
                                               {2, u"B    "_s, u"127.0.0.3"_s, 0, false, nullptr},
                                               {3, u"C    "_s, u"127.0.0.4"_s, 0, false, nullptr}};
    detector.expectProject(devices, 0);
    devices[1].linkState = 3;
    devices[1].answered = true;
    const auto texts = [&](qint64 now) {
        QStringList list;
        for (const FleetEvent &event : detector.detect(devices, now, {})) {
            if (event.text.contains(u"project"_s) || event.text.contains(u"expected"_s))
                list.append(FleetEvents::severityText(event.severity) + u' ' + event.amplifier + u' ' + event.text);
        }
        return list;
    };
    QCOMPARE(texts(EventDetector::kProjectCheckDelayNs - 1), QStringList{});
    QCOMPARE(texts(EventDetector::kProjectCheckDelayNs),
             (QStringList{u"Info  1 of 3 amplifiers of the project answer"_s,
                          u"Warning A (127.0.0.2) expected but not found"_s,
                          u"Warning C (127.0.0.4) expected but not found"_s}));
    QCOMPARE(texts(EventDetector::kProjectCheckDelayNs + kSecond), QStringList{});
}

// What one device does between looks, one word a tenth of a second apart
// ("wait" a whole 10 s): "answer" and "drop" as its worker records them,
// "ok", "fault" (channel A), "mute" and "unmute" (channel B) as blocks
// stored, "look" a look of the detector; the events of every look, joined.
void tst_FleetRules::betweenLooks_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("events");
    const QString first = u"Info online: first answer"_s;
    QTest::newRow("outage between two looks") << u"answer ok look drop answer look"_s
        << QStringList{first, u"Alarm offline"_s, u"Info online again after 0.1 s offline"_s};
    QTest::newRow("logged outage over, next one begun") << u"answer ok look drop look answer drop look answer look"_s
        << QStringList{first, u"Alarm offline"_s, u"Info online again after 0.2 s offline"_s, u"Alarm offline"_s,
                       u"Info online again after 0.2 s offline"_s};
    QTest::newRow("three outages: the earlier two as one")
        << u"answer ok look drop answer drop answer drop drop answer look"_s
        << QStringList{first, u"Alarm offline"_s, u"Info online again after 0.2 s offline in 2 outages"_s,
                       u"Alarm offline"_s, u"Info online again after 0.2 s offline"_s};
    QTest::newRow("drops before the first answer are no outage") << u"drop drop look answer ok look"_s
        << QStringList{u"Alarm offline: never answered"_s, first};
    QTest::newRow("fault and back between looks") << u"answer ok look fault ok look"_s
        << QStringList{first, u"Alarm Channel A FAULT"_s, u"Info Channel A OK again"_s};
    QTest::newRow("five changes pass, the rest are counted")
        << u"answer ok look mute unmute mute unmute mute unmute mute look wait look wait look look"_s
        << QStringList{first, u"Info Channel B muted"_s, u"Info Channel B un-muted"_s, u"Info Channel B muted"_s,
                       u"Info Channel B un-muted"_s, u"Info Channel B muted"_s,
                       u"Info channel B mute changed 2 times in 10 s"_s};
    QTest::newRow("gate of one kind holds no other")
        << u"answer ok look mute unmute mute unmute mute unmute fault look"_s
        << QStringList{first, u"Alarm Channel A FAULT"_s, u"Info Channel B muted"_s, u"Info Channel B un-muted"_s,
                       u"Info Channel B muted"_s, u"Info Channel B un-muted"_s, u"Info Channel B muted"_s};
}

void tst_FleetRules::betweenLooks()
{
    QFETCH(QString, script);
    QFETCH(QStringList, events);
    EventDetector detector;
    LinkOutages outages;
    ChannelChanges changes;
    StatusFields fields = healthy();
    StatusBlock block = blockOf(fields);
    bool stored = false;
    bool answered = false;
    int linkState = 0;
    qint64 now = 0;
    QStringList seen;
    for (const QString &word : script.split(u' ')) {
        now += word == u"wait"_s ? 10 * kSecond : kSecond / 10;
        if (word == u"answer"_s || word == u"drop"_s) {
            answered = answered || word == u"answer"_s;
            linkState = word == u"answer"_s ? 3 : 1;
            word == u"answer"_s ? outages.succeeded(now) : outages.jobDropped(now);
        } else if (word == u"look"_s) {
            const EventDetector::Device device{1, u"AMP1 "_s, u"127.0.0.2"_s, linkState, answered,
                                               stored ? &block : nullptr, outages.read(), changes.counts()};
            for (const FleetEvent &event : detector.detect({device}, now, {}))
                seen.append(FleetEvents::severityText(event.severity) + u' ' + event.text);
        } else if (word != u"wait"_s) {
            if (word == u"ok"_s || word == u"fault"_s)
                fields.stateA = word == u"ok"_s ? 1 : 0;
            else
                fields.muteB = word == u"mute"_s ? 0 : 1;
            block = blockOf(fields);
            changes.count(block);
            stored = true;
        }
    }
    QCOMPARE(seen, events);
}

// A real worker against a simulated amplifier that stalls until its job is
// dropped and answers again before the next look.
void tst_FleetRules::stalledDeviceBackWithinOneLook()
{
    AmpSimulator sim;
    const quint16 port = sim.start({{u"127.0.0.2"_s, "AMP1 ", "STAGE"}});
    QVERIFY(port != 0);
    tDevices devices(port);
    StoredBlocks blocks(devices);
    QVERIFY(devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.2"_s));
    QTimer tick;  // polls as the polling tick does
    connect(&tick, &QTimer::timeout, &devices, [&devices] {
        devices.pollSlot(1, nullptr);
        devices.wakeDispatchedWorkers();
    });
    tick.start(1);
    EventDetector detector;
    const QDateTime wall(QDate(2026, 3, 4), QTime(21, 0));
    const auto look = [&] {
        const qint64 now = std::chrono::steady_clock::now().time_since_epoch().count();
        return detector.detect(EventDetector::observe(devices, blocks), now, wall.addMSecs(now / 1'000'000));
    };
    QTRY_COMPARE(devices[1].linkState(), int(ThSocket::Online));
    QCOMPARE(look().size(), 1);  // first answer

    constexpr int kThreeStalledAttemptsMs = 30000;
    const auto outage = [&devices] { return devices[1].outages().value_or(LinkOutages::Snapshot{}); };
    sim.setFault(0, AmpSimulator::Fault::Stall);
    QTRY_COMPARE_WITH_TIMEOUT(outage().count, 1u, kThreeStalledAttemptsMs);
    sim.setFault(0, AmpSimulator::Fault::None);
    QTRY_VERIFY_WITH_TIMEOUT(outage().endedNs != 0, kThreeStalledAttemptsMs);
    const QList<FleetEvent> events = look();
    QCOMPARE(events.size(), 2);
    const qint64 lastedMs = (outage().endedNs - outage().beganNs) / 1'000'000;
    QCOMPARE(FleetEvents::severityText(events[0].severity) + u' ' + events[0].text, u"Alarm offline"_s);
    QCOMPARE(events[1].text, u"online again after "_s + FleetEvents::duration(lastedMs) + u" offline"_s);
    // Stamped when they happened, not when they were seen; each time rounded to the ms.
    QVERIFY(qAbs(events[0].time.msecsTo(events[1].time) - lastedMs) <= 1);
}

// One device flaps its channel A mute 20 times a second for a minute, seen
// by a look every 200 ms, after another went offline; then a quiet minute.
void tst_FleetRules::flappingMuteLeavesOthersInTheLog()
{
    EventDetector detector;
    EventLog log;
    StatusFields fields = healthy();
    StatusBlock flapping = blockOf(fields);
    const StatusBlock steady = flapping;
    ChannelChanges changes;
    changes.count(flapping);
    LinkOutages outages;
    outages.succeeded(1);
    outages.jobDropped(2);
    std::vector<EventDetector::Device> devices{{1, u"AMP1 "_s, u"127.0.0.2"_s, 3, true, &flapping, {}, {}},
                                               {2, u"AMP2 "_s, u"127.0.0.3"_s, 3, true, &steady, outages.read(), {}}};
    constexpr int kChangesPerLook = 4;
    constexpr int kFlappingLooks = 5 * 60;
    for (int look = 0; look <= 2 * kFlappingLooks; ++look) {
        for (int change = 0; change < kChangesPerLook && look > 0 && look <= kFlappingLooks; ++change) {
            fields.muteA = fields.muteA == 0 ? 1 : 0;
            flapping = blockOf(fields);
            changes.count(flapping);
        }
        devices[0].changes = changes.counts();
        log.append(detector.detect(devices, kSecond + look * kSecond / 5, {}));
    }
    QStringList lines;
    int passed = 0;
    int counted = 0;
    for (const FleetEvent &event : log.events()) {
        passed += event.text.startsWith(u"Channel A "_s);
        if (event.text.startsWith(u"channel A mute changed "_s)) {
            lines.append(event.text);
            counted += event.text.section(u' ', 4, 4).toInt();
        }
    }
    QCOMPARE(passed, FloodGate::kBurst);
    QCOMPARE(passed + counted, kChangesPerLook * kFlappingLooks);
    QCOMPARE(lines.size(), 6);  // the gate closed at the second look
    QCOMPARE(lines.mid(0, 2), (QStringList{u"channel A mute changed 199 times in 10 s"_s,
                                           u"channel A mute changed 200 times in 10 s"_s}));
    QCOMPARE(std::count_if(log.events().begin(), log.events().end(),
                           [](const FleetEvent &event) { return event.text == u"offline"_s && event.deviceId == 2; }),
             1);
    QCOMPARE(log.unacknowledgedAlarms(), 1);
    QCOMPARE(log.events().back().id, quint64(log.events().size()));  // ids count logged events only
}

void tst_FleetRules::logKeepsTheNewest()
{
    EventLog log;
    QList<FleetEvent> burst;
    for (int i = 0; i < EventLog::kCapacity + 5; ++i)
        burst.append({{}, i % 2 ? EventSeverity::Alarm : EventSeverity::Info, {}, QString::number(i)});
    log.append(burst.mid(0, 7));
    log.append(burst.mid(7));
    QCOMPARE(log.rowCount(), EventLog::kCapacity + 1);
    QCOMPARE(log.index(0, EventLog::Event).data().toString(), QString::number(EventLog::kCapacity + 4));
    // The Infos left, the oldest first; every Alarm stayed.
    QCOMPARE(log.index(EventLog::kCapacity - 1, EventLog::Event).data().toString(), u"1"_s);
    QCOMPARE(log.index(EventLog::kCapacity - 6, EventLog::Event).data().toString(), u"10"_s);
    QCOMPARE(log.index(EventLog::kCapacity, EventLog::Event).data().toString(),
             u"5 earlier events dropped: 5 Info, 0 Warning, 0 Alarm"_s);
    QCOMPARE(log.unacknowledgedAlarms(), (EventLog::kCapacity + 5) / 2);
    log.acknowledge();
    QCOMPARE(log.unacknowledgedAlarms(), 0);
}

// A full log: the entries named oldest first by their severities (I, W, A)
// and then the filler up to the capacity, each called by its number; the
// events appended; the entries that leave the model, in the order it is told.
void tst_FleetRules::dropOrder_data()
{
    QTest::addColumn<QByteArray>("oldest");
    QTest::addColumn<char>("filler");
    QTest::addColumn<QByteArray>("appended");
    QTest::addColumn<QStringList>("removed");
    QTest::addColumn<QList<qint64>>("dropped");  // Info, Warning, Alarm
    QTest::newRow("the oldest Info, from the middle") << "AWI"_ba << 'I' << "A"_ba << QStringList{u"2"_s}
                                                     << QList<qint64>{1, 0, 0};
    QTest::newRow("plain overflow") << ""_ba << 'I' << "II"_ba << QStringList{u"1"_s, u"0"_s}
                                    << QList<qint64>{2, 0, 0};
    QTest::newRow("a Warning when no Info is left") << "AWAW"_ba << 'A' << "A"_ba << QStringList{u"1"_s}
                                                    << QList<qint64>{0, 1, 0};
    QTest::newRow("Infos before Warnings, in rows far apart") << "WIAAI"_ba << 'A' << "AAA"_ba
        << QStringList{u"4"_s, u"1"_s, u"0"_s} << QList<qint64>{2, 1, 0};
    QTest::newRow("neighbours leave in one removal, newest first") << "AIIAII"_ba << 'A' << "AAAA"_ba
        << QStringList{u"5"_s, u"4"_s, u"2"_s, u"1"_s} << QList<qint64>{4, 0, 0};
    QTest::newRow("an Info appended to a log of Alarms leaves at once") << ""_ba << 'A' << "IA"_ba
        << QStringList{u"0"_s} << QList<qint64>{1, 0, 1};
    QTest::newRow("Alarms leave only when alone, the oldest first") << ""_ba << 'A' << "A"_ba
        << QStringList{u"0"_s} << QList<qint64>{0, 0, 1};
}

void tst_FleetRules::dropOrder()
{
    QFETCH(QByteArray, oldest);
    QFETCH(char, filler);
    QFETCH(QByteArray, appended);
    QFETCH(QStringList, removed);
    QFETCH(QList<qint64>, dropped);
    const auto severityOf = [](char letter) {
        return letter == 'A' ? EventSeverity::Alarm : letter == 'W' ? EventSeverity::Warning : EventSeverity::Info;
    };
    QList<FleetEvent> full;
    for (int i = 0; i < EventLog::kCapacity; ++i)
        full.append({{}, severityOf(i < oldest.size() ? oldest[i] : filler), {}, QString::number(i)});
    EventLog log;
    log.append(full);
    QAbstractItemModelTester tester(&log, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QStringList removedSeen;
    connect(&log, &QAbstractItemModel::rowsAboutToBeRemoved, this, [&](const QModelIndex &, int first, int last) {
        for (int row = first; row <= last; ++row)
            removedSeen.append(log.index(row, EventLog::Event).data().toString());
    });
    QList<FleetEvent> events;
    for (char letter : appended)
        events.append({{}, severityOf(letter), {}, u"new"_s});
    log.append(events);

    QCOMPARE(removedSeen, removed);
    QCOMPARE((QList<qint64>{log.dropped(EventSeverity::Info), log.dropped(EventSeverity::Warning),
                            log.dropped(EventSeverity::Alarm)}),
             dropped);
    const auto alarms = std::count_if(log.events().begin(), log.events().end(),
                                      [](const FleetEvent &event) { return event.severity == EventSeverity::Alarm; });
    QCOMPARE(log.unacknowledgedAlarms(), int(alarms));
    // Alarms seen before and then dropped count no more.
    log.acknowledge();
    log.append(QList<FleetEvent>(2, {{}, EventSeverity::Alarm, {}, u"later"_s}));
    QCOMPARE(log.unacknowledgedAlarms(), 2);
}

void tst_FleetRules::csvBytes()
{
    EventLog log;
    const QDateTime t(QDate(2026, 3, 4), QTime(21, 5, 9, 7));
    for (int i = 0; i < EventLog::kCapacity; ++i)
        log.append({t, EventSeverity::Info, {}, u"filler"_s});
    log.append(QList<FleetEvent>{
        {t, EventSeverity::Alarm, u"AMP1 (127.0.0.2)"_s, u"offline"_s},
        {t.addMSecs(1), EventSeverity::Warning, {}, u"said \"hot\", then\nstopped"_s},
        {t.addMSecs(2), EventSeverity::Info, u"B\u00DCHNE (127.0.0.3)"_s, u"48 \u00B0C"_s},
        {t.addMSecs(3), EventSeverity::Alarm, u"=CMD  (127.0.0.4)"_s, u"offline"_s}});
    const QByteArray csv = EventCsv::toCsv(log);
    QVERIFY(csv.startsWith("Time,Severity,Amplifier,Event\r\n"
                           ",Info,,\"4 earlier events dropped: 4 Info, 0 Warning, 0 Alarm\"\r\n"
                           "2026-03-04 21:05:09.007,Info,,filler\r\n"));
    QVERIFY(csv.endsWith("2026-03-04 21:05:09.007,Alarm,AMP1 (127.0.0.2),offline\r\n"
                         "2026-03-04 21:05:09.008,Warning,,\"said \"\"hot\"\", then\nstopped\"\r\n"
                         "2026-03-04 21:05:09.009,Info,B\xC3\x9C" "HNE (127.0.0.3),48 \xC2\xB0" "C\r\n"
                         "2026-03-04 21:05:09.010,Alarm,'=CMD  (127.0.0.4),offline\r\n"));
    QCOMPARE(csv.count("\r\n"), qsizetype(2 + EventLog::kCapacity));

    QTemporaryDir dir;
    const QString path = dir.filePath(u"log.csv"_s);
    QVERIFY(EventCsv::save(log, path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), csv);
    QVERIFY(!EventCsv::save(log, dir.filePath(u"missing/log.csv"_s)));
    QCOMPARE(log.events().size(), std::size_t(EventLog::kCapacity));
}

// RFC 4180 quoting, and no cell that a spreadsheet would run as a formula:
// an amplifier's name is whatever the amplifier calls itself.
void tst_FleetRules::csvField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain") << u"AMP1 (127.0.0.2)"_s << QByteArray("AMP1 (127.0.0.2)");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("equals") << u"=1+2"_s << QByteArray("'=1+2");
    QTest::newRow("plus") << u"+1"_s << QByteArray("'+1");
    QTest::newRow("minus") << u"-95.5 dB"_s << QByteArray("'-95.5 dB");
    QTest::newRow("at") << u"@SUM(A1)"_s << QByteArray("'@SUM(A1)");
    QTest::newRow("tab") << u"\t=1"_s << QByteArray("'\t=1");
    QTest::newRow("carriage return, quoted too") << u"\r=1"_s << QByteArray("\"'\r=1\"");
    QTest::newRow("formula with a comma and quotes")
        << u"=HYPERLINK(\"x\",1)"_s << QByteArray("\"'=HYPERLINK(\"\"x\"\",1)\"");
    QTest::newRow("sign inside is harmless") << u"A-1 (127.0.0.2)"_s << QByteArray("A-1 (127.0.0.2)");
    QTest::newRow("line feed first") << u"\n=1"_s << QByteArray("\"\n=1\"");
    QTest::newRow("UTF-8, no byte order mark") << u"\u00DC"_s << QByteArray("\xC3\x9C");
}

void tst_FleetRules::csvField()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(EventCsv::field(text), bytes);
}

QTEST_GUILESS_MAIN(tst_FleetRules)
#include "tst_fleetrules.moc"

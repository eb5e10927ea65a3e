// The polling tick, the queue and the command set end to end: real workers
// against simulated amplifiers over loopback TCP.

#include "ampsimulator.h"
#include "commands.h"
#include "devicetable.h"
#include "groupsettings.h"
#include "grouptable.h"
#include "pollingtick.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Fault = AmpSimulator::Fault;

namespace {

const QByteArray kStatusLine = "GET /krv.krv HTTP/1.1"_ba;
const QByteArray kSettingsPrefix = "GET /common_settings_values1="_ba;

QByteArray settingsLine(const QByteArray &digits)
{
    return kSettingsPrefix + digits + " HTTP/1.1";
}

bool isPollLine(const QByteArray &line)
{
    return line == kStatusLine || line.startsWith(kSettingsPrefix);
}

} // namespace

class tst_PollingTick final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void statusAndSettingsTakeTurnsWithoutPause();
    void settingsArgumentBytes_data();
    void settingsArgumentBytes();
    void deviceOfAnUnknownGroupGetsNoSettings();
    void operatorCommandArrivesThird();
    void twoNamesWhileBusyArriveAsOne();
    void muteOnAndOffBothArriveInOrder();
    void unreachableDeviceGoesOfflineAndKeepsItsQueue();
    void deleteMovesTheNextDevicesQueueInOrder();
    void queueFullIsReported();
    void resultsStillArriveAfterTheTickEnds();
    void busyWorkersQueueFollowsTheGroup();

private:
    std::unique_ptr<AmpSimulator> m_sim;
    std::unique_ptr<tDevices> m_devices;
    std::unique_ptr<tGroup> m_groups;
    std::unique_ptr<GroupSettingsOfDevices> m_settings;
    std::unique_ptr<PollingTick> m_tick;
};

void tst_PollingTick::init()
{
    m_sim = std::make_unique<AmpSimulator>();
    const quint16 port = m_sim->start({{u"127.0.0.20"_s, "AMP1 ", "STAGE"},
                                       {u"127.0.0.21"_s, "AMP2 ", "FOH  "}});
    QVERIFY(port != 0);
    m_devices = std::make_unique<tDevices>(port);
    m_groups = std::make_unique<tGroup>();
    m_groups->addGroup(u"STAGE"_s);
    m_groups->addGroup(u"FOH"_s);
    m_devices->appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.20"_s);
    m_devices->appendDevice(u"AMP2 "_s, u"FOH  "_s, u"127.0.0.21"_s);
    m_settings = std::make_unique<GroupSettingsOfDevices>(*m_devices, *m_groups);
    m_tick = std::make_unique<PollingTick>(*m_devices, *m_settings);
}

void tst_PollingTick::cleanup()
{
    m_tick.reset();
    m_settings.reset();
    m_devices.reset();
    m_groups.reset();
    m_sim.reset();
}

void tst_PollingTick::statusAndSettingsTakeTurnsWithoutPause()
{
    m_tick->start();
    for (int amp : {0, 1}) {
        QTRY_VERIFY(m_sim->requestLines(amp).size() >= 20);
        const QList<QByteArray> lines = m_sim->requestLines(amp).first(20);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QVERIFY2(isPollLine(lines[i]), lines[i].constData());
            QCOMPARE(lines[i] == kStatusLine, i % 2 == 0);
        }
    }
    QCOMPARE((*m_devices)[1].failureCount(), 0);
    QCOMPARE((*m_devices)[1].linkState(), int(ThSocket::Online));
    QCOMPARE(m_sim->connectionsAccepted(0), 1);
}

void tst_PollingTick::settingsArgumentBytes_data()
{
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<QByteArray>("digits");
    QTest::newRow("all zero") << QList{0, 0, 0, 0, 0, 0} << "000000000000000000"_ba;
    QTest::newRow("example") << QList{191, 191, 100, 100, 160, 160} << "191191100100160160"_ba;
}

void tst_PollingTick::settingsArgumentBytes()
{
    QFETCH(QList<int>, values);
    QFETCH(QByteArray, digits);
    tGroupItem &stage = (*m_groups)[m_groups->findGroup(u"STAGE"_s)];
    stage.volumeA = quint8(values[0]);
    stage.volumeB = quint8(values[1]);
    stage.inputLevelA = quint8(values[2]);
    stage.inputLevelB = quint8(values[3]);
    stage.limiterA = quint8(values[4]);
    stage.limiterB = quint8(values[5]);
    m_tick->start();
    QTRY_COMPARE(m_sim->groupSettings(0), digits);
    QVERIFY(m_sim->requestLines(0).contains(settingsLine(digits)));
    // The other group keeps its own values: 0 for the levels, 10 V limiters.
    QTRY_COMPARE(m_sim->groupSettings(1), "000000000000010010"_ba);
}

void tst_PollingTick::deviceOfAnUnknownGroupGetsNoSettings()
{
    // The device reports a group that the table does not know; the record
    // follows it and the device is no longer sent any group's settings.
    m_sim->setIdentity(1, "AMP2 ", "NOGRP");
    m_tick->start();
    QTRY_COMPARE((*m_devices)[2].group, u"NOGRP"_s);
    const auto settingsCount = [this] {
        const QList<QByteArray> lines = m_sim->requestLines(1);
        return std::count_if(lines.cbegin(), lines.cend(), [](const QByteArray &line) {
            return line.startsWith(kSettingsPrefix);
        });
    };
    // A settings request queued before the change may still go out.
    const qsizetype seen = m_sim->requestLines(1).size();
    QTRY_VERIFY(m_sim->requestLines(1).size() >= seen + 4);
    const auto settledCount = settingsCount();
    QTRY_VERIFY(m_sim->requestLines(1).size() >= seen + 24);
    QCOMPARE(settingsCount(), settledCount);
    QVERIFY(m_groups->findGroup(u"NOGRP"_s) == 0);
}

void tst_PollingTick::operatorCommandArrivesThird()
{
    m_tick->start();
    QTRY_VERIFY(m_sim->requestLines(0).size() >= 4);
    const qsizetype before = m_sim->requestLines(0).size();
    Commands::muteA(*m_devices, 1, true);
    const QByteArray mute = "GET /mute_a_on.html HTTP/1.1"_ba;
    QTRY_VERIFY(m_sim->requestLines(0).contains(mute));

    const QList<QByteArray> lines = m_sim->requestLines(0);
    const qsizetype at = lines.indexOf(mute);
    // At most the exchange in flight (which the simulator may not have read
    // yet when the lines were counted) and the two pending polls come first.
    QVERIFY2(at <= before + 3, qPrintable(u"%1 after %2"_s.arg(at).arg(before)));
    QVERIFY(isPollLine(lines[at - 1]) && isPollLine(lines[at - 2]));
    QVERIFY(lines[at - 1] != lines[at - 2]);
    QCOMPARE(lines.count(mute), 1);
}

void tst_PollingTick::twoNamesWhileBusyArriveAsOne()
{
    // Each status block takes a few hundred milliseconds, so the worker is
    // busy while both names are queued.
    m_sim->setSlowBody(0, 1000, 100ms);
    m_sim->setFault(0, Fault::SlowBody);
    m_tick->start();
    QTRY_VERIFY(!m_sim->requestLines(0).isEmpty());
    Commands::deviceName(*m_devices, 1, u"amp-1"_s);
    Commands::deviceName(*m_devices, 1, u"ab"_s);

    QTRY_COMPARE_WITH_TIMEOUT(m_sim->name(0), "AB   "_ba, 10000);
    QList<QByteArray> names;
    for (const QByteArray &request : m_sim->requests(0)) {
        if (request.startsWith("GET /name="))
            names.append(request);
    }
    QCOMPARE(names, QList{"GET /name=AB    HTTP/1.1\r\n\r\n"_ba});
}

void tst_PollingTick::muteOnAndOffBothArriveInOrder()
{
    m_tick->start();
    Commands::muteA(*m_devices, 1, true);
    Commands::muteA(*m_devices, 1, false);
    Commands::deviceName(*m_devices, 2, u"amp-1"_s);
    QTRY_VERIFY(m_sim->requestLines(0).contains("GET /mute_a_off.html HTTP/1.1"_ba));
    const QList<QByteArray> lines = m_sim->requestLines(0);
    QVERIFY(lines.indexOf("GET /mute_a_on.html HTTP/1.1"_ba)
            < lines.indexOf("GET /mute_a_off.html HTTP/1.1"_ba));
    QCOMPARE(m_sim->muteA(0), 1);
    QTRY_VERIFY(m_sim->requestLines(1).contains("GET /name=AMP 1 HTTP/1.1"_ba));
}

void tst_PollingTick::unreachableDeviceGoesOfflineAndKeepsItsQueue()
{
    m_sim->setFault(0, Fault::Refuse);
    m_tick->start();
    const tDevice &device = (*m_devices)[1];
    QTRY_COMPARE_WITH_TIMEOUT(device.linkState(), int(ThSocket::Offline), 5000);

    // Job after job fails three attempts and is dropped, each drop queueing
    // the unlock command, while the polls stay queued behind. Attempts after
    // a failure come 500 ms apart, so three jobs take seconds; the unlock
    // command is seen in the queue only while another job is on its way.
    constexpr int kJobsWaitMs = 20'000;
    QTRY_VERIFY_WITH_TIMEOUT(device.requestCount() >= 9, kJobsWaitMs);
    auto queuedPaths = [&device] {
        QList<QByteArray> paths;
        for (int i = 0; i < device.queue.size(); ++i)
            paths.append(device.queue.at(i).path);
        return paths;
    };
    QTRY_VERIFY_WITH_TIMEOUT(queuedPaths().contains(CommandPath::LockOff), kJobsWaitMs);
    QVERIFY(device.failureCount() <= ThSocket::kAttemptsPerJob);
    QVERIFY(device.queue.size() >= 2);
    QCOMPARE(device.successCount(), 0);

    // The other device is not held up.
    QTRY_VERIFY((*m_devices)[2].successCount() > 0);

    m_sim->setFault(0, Fault::None);
    QTRY_COMPARE_WITH_TIMEOUT(device.linkState(), int(ThSocket::Online), 5000);
    QTRY_VERIFY(m_sim->requestLines(0).contains("GET /lock_off HTTP/1.1"_ba));
}

void tst_PollingTick::deleteMovesTheNextDevicesQueueInOrder()
{
    // Ticks by hand, so that the queue holds still while it is looked at.
    m_sim->setFault(1, Fault::Stall);
    m_tick->Timer3Timer();  // slot 2 is now busy with its status fetch
    Commands::muteB(*m_devices, 2, true);
    Commands::deviceName(*m_devices, 2, u"new"_s);
    Commands::lock(*m_devices, 2, true);
    const DeviceId id = (*m_devices)[2].id;

    m_devices->deleteDevice(1);
    const tDevice &moved = (*m_devices)[1];
    QCOMPARE(moved.id, id);
    QList<QByteArray> queued;
    for (int i = 0; i < moved.queue.size(); ++i)
        queued.append(moved.queue.at(i).path + moved.queue.at(i).argument);
    QCOMPARE(queued, (QList{CommandPath::GroupSettings + "000000000000010010"_ba,
                            CommandPath::MuteBOn, CommandPath::DeviceName + "NEW  "_ba,
                            CommandPath::LockOn}));
    QCOMPARE(m_devices->count(), 1);
}

void tst_PollingTick::queueFullIsReported()
{
    m_sim->setFault(0, Fault::Stall);
    QSignalSpy full(m_devices.get(), &tDevices::queryQueueFull);
    Commands::statusFetch(*m_devices, 1);  // in flight
    for (int i = 0; i < QueryQueue::kCapacity; ++i)
        m_devices->queueRequest(1, "/p" + QByteArray::number(i), {});
    QCOMPARE(full.count(), 0);
    m_devices->queueRequest(1, "/one-too-many"_ba, {});
    QCOMPARE(full.count(), 1);
    QCOMPARE((*m_devices)[1].queue.size(), QueryQueue::kCapacity);
}

void tst_PollingTick::resultsStillArriveAfterTheTickEnds()
{
    // While the tick runs it collects the workers' results; once it is gone
    // they must wake the main thread again.
    m_tick->start();
    QTRY_VERIFY((*m_devices)[1].successCount() >= 2);
    m_tick.reset();
    QSignalSpy stored(m_devices.get(), &tDevices::statusBlockStored);
    const auto fetched = [this, &stored] {
        Commands::statusFetch(*m_devices, 1);
        return !stored.isEmpty();
    };
    QTRY_VERIFY(fetched());
}

void tst_PollingTick::busyWorkersQueueFollowsTheGroup()
{
    // Ticks by hand while slot 1's worker is stuck in its first exchange:
    // visits that change nothing may be skipped, but a change of the group's
    // values, of the device's group or of the group table must reach the
    // queued settings on the very next tick.
    m_sim->setFault(0, Fault::Stall);
    tDevice &device = (*m_devices)[1];
    const auto queued = [&device] {
        QList<QByteArray> requests;
        for (int i = 0; i < device.queue.size(); ++i)
            requests.append(device.queue.at(i).path + device.queue.at(i).argument);
        return requests;
    };
    const QByteArray fetch = CommandPath::StatusFetch;
    const auto settings = [](const char *digits) { return CommandPath::GroupSettings + digits; };
    m_tick->Timer3Timer();
    m_tick->Timer3Timer();
    QCOMPARE(queued(), (QList{settings("000000000000010010"), fetch}));

    (*m_groups)[m_groups->findGroup(u"STAGE"_s)].volumeA = 191;
    m_tick->Timer3Timer();
    QCOMPARE(queued(), (QList{settings("191000000000010010"), fetch}));

    device.group = u"OTHER"_s;  // a group the table does not know yet
    m_tick->Timer3Timer();
    m_groups->addGroup(u"OTHER"_s);
    (*m_groups)[m_groups->findGroup(u"OTHER"_s)].volumeB = 7;
    m_tick->Timer3Timer();
    QCOMPARE(queued(), (QList{settings("000007000000010010"), fetch}));
}

QTEST_GUILESS_MAIN(tst_PollingTick)
#include "tst_pollingtick.moc"

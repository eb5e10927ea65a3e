// Real poll workers against simulated amplifiers over loopback TCP.

#include "ampsimulator.h"
#include "commands.h"
#include "devicetable.h"
#include "scriptedserver.h"
#include "statusblock.h"

#include <QSignalSpy>
#include <QTest>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Fault = AmpSimulator::Fault;

namespace {

// Three failed attempts at 250 + 500 + 500 ms connect time-outs, or five line
// time-outs each for a device that accepts and stays silent.
constexpr int kThreeAttemptsMs = 12000;

const QByteArray kStatusLine = "GET /krv.krv HTTP/1.1"_ba;

QByteArray fieldOf(const StatusBlock &block, int offset, int width = StatusField::IdentityWidth)
{
    return QByteArray(reinterpret_cast<const char *>(block.data() + offset), width);
}

// A status block reporting this group and name, the rest filled.
QByteArray blockWithIdentity(QByteArrayView group, QByteArrayView name, char fill = '\0')
{
    QByteArray block(kStatusBlockSize, fill);
    block.replace(StatusField::Group, 5, group.toByteArray());
    block.replace(StatusField::Name, 5, name.toByteArray());
    return block;
}

// Lets held jobs be retried, as the polling tick does, without queueing
// anything itself.
class RetryPump final
{
public:
    explicit RetryPump(tDevices &devices)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [&devices] {
            for (int slot = 1; slot <= devices.count(); ++slot)
                devices.dispatch(slot);
        });
        m_timer.start(1);
    }

private:
    QTimer m_timer;
};

} // namespace

class tst_PollWorker final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void statusBlockIsAdoptedWithNameAndGroup();
    void requestTextOnTheWire_data();
    void requestTextOnTheWire();
    void anyAnswerOfBlockLengthIsAdopted();
    void identityEndsAtItsFirstZeroByte();
    void lowerCaseIdentityRebuildsTheTreeOnce();
    void groupComesOnlyFromBlocksAfterTheGroupCommand();
    void nextJobGoesOutWithoutTheMainThread();
    void emptyBodySucceedsWithoutTouchingTheBlock();
    void failedAnswers_data();
    void failedAnswers();
    void slowAndOtherLengthAnswersSucceed();
    void threeFailuresGoOfflineAndQueueTheUnlock();
    void connectionIsReusedAndRenewedAfterAFailure();
    void closeByTheDeviceLeadsToANewConnection();
    void unaskedBytesNeverReachAnotherConnection();
    void blockIsStoredBeforeTheDeviceShowsOnline();
    void failedAttemptsArePaced();
    void deleteWhileAnExchangeIsInFlight();
    void clearThenAppendIntoTheSameSlots();
    void reusedSlotStartsFresh();
    void destructionEndsBusyWorkersAtOnce();

private:
    void startSimulator(int ampCount);

    std::unique_ptr<AmpSimulator> m_sim;
    std::unique_ptr<tDevices> m_devices;
};

void tst_PollWorker::startSimulator(int ampCount)
{
    m_sim = std::make_unique<AmpSimulator>();
    QList<AmpSimulator::Amp> amps;
    for (int i = 0; i < ampCount; ++i) {
        amps.append({u"127.0.0.%1"_s.arg(10 + i), "AMP" + QByteArray::number(i + 1) + ' ',
                     i % 2 ? "FOH  "_ba : "STAGE"_ba});
    }
    const quint16 port = m_sim->start(amps);
    QVERIFY(port != 0);
    m_devices = std::make_unique<tDevices>(port);
}

void tst_PollWorker::init()
{
    startSimulator(4);
}

void tst_PollWorker::cleanup()
{
    m_devices.reset();
    m_sim.reset();
}

void tst_PollWorker::statusBlockIsAdoptedWithNameAndGroup()
{
    tDevices &devices = *m_devices;
    QSignalSpy rebuild(&devices, &tDevices::treeRebuildNeeded);
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    QVERIFY(devices.appendDevice(u"OLD  "_s, u"X    "_s, u"127.0.0.10"_s));

    Commands::statusFetch(devices, 1);
    QVERIFY(stored.wait());
    QCOMPARE(stored.takeFirst().at(0).toInt(), 1);
    QCOMPARE(rebuild.count(), 1);
    QCOMPARE(devices[1].name, u"AMP1 "_s);
    QCOMPARE(devices[1].group, u"STAGE"_s);
    QCOMPARE(fieldOf(devices[1].status, StatusField::Model), "T1900"_ba);
    QCOMPARE(devices[1].status[kStatusBlockSize], 0);
    QCOMPARE(devices[1].linkState(), int(ThSocket::Online));
    QCOMPARE(devices[1].requestCount(), 1);
    QCOMPARE(devices[1].successCount(), 1);
    QCOMPARE(devices[1].failureCount(), 0);
    QCOMPARE(m_sim->requests(0), QList{"GET /krv.krv HTTP/1.1\r\n\r\n"_ba});

    // The next block agrees with the record: no rebuild.
    Commands::statusFetch(devices, 1);
    QVERIFY(stored.wait());
    QCOMPARE(rebuild.count(), 1);
}

void tst_PollWorker::requestTextOnTheWire_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("name with dash") << 0 << u"amp-1"_s << "GET /name=AMP 1 HTTP/1.1\r\n\r\n"_ba;
    QTest::newRow("short name padded") << 0 << u"ab"_s << "GET /name=AB    HTTP/1.1\r\n\r\n"_ba;
    QTest::newRow("group") << 1 << u"foh"_s << "GET /group=FOH   HTTP/1.1\r\n\r\n"_ba;
    QTest::newRow("mute a on") << 2 << QString() << "GET /mute_a_on.html HTTP/1.1\r\n\r\n"_ba;
    QTest::newRow("unlock") << 3 << QString() << "GET /lock_off HTTP/1.1\r\n\r\n"_ba;
}

void tst_PollWorker::requestTextOnTheWire()
{
    QFETCH(int, command);
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    tDevices &devices = *m_devices;
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);
    switch (command) {
    case 0: Commands::deviceName(devices, 1, text); break;
    case 1: Commands::deviceGroup(devices, 1, text); break;
    case 2: Commands::muteA(devices, 1, true); break;
    default: Commands::lock(devices, 1, false); break;
    }
    QTRY_COMPARE(m_sim->requests(0), QList{expected});
    QTRY_COMPARE(devices[1].successCount(), 1);
}

void tst_PollWorker::anyAnswerOfBlockLengthIsAdopted()
{
    ScriptedServer server({ScriptedServer::response(blockWithIdentity("stage", "amp-9", 'x'))});
    tDevices devices(server.port());
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    devices.appendDevice(u"AMP9 "_s, u"STAGE"_s, u"127.0.0.1"_s);

    Commands::deviceName(devices, 1, u"amp9"_s);
    QVERIFY(stored.wait());
    QCOMPARE(server.requests(), QList{"GET /name=AMP9  HTTP/1.1\r\n\r\n"_ba});
    // Upper-cased, only a to z changed.
    QCOMPARE(devices[1].name, u"AMP-9"_s);
    QCOMPARE(devices[1].group, u"STAGE"_s);
    QCOMPARE(fieldOf(devices[1].status, 0, 6), "xxxxxx"_ba);
}

void tst_PollWorker::identityEndsAtItsFirstZeroByte()
{
    ScriptedServer server({ScriptedServer::response(blockWithIdentity("STAGE", QByteArray("AMP1\0", 5)))});
    tDevices devices(server.port());
    QSignalSpy rebuild(&devices, &tDevices::treeRebuildNeeded);
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.1"_s);

    Commands::statusFetch(devices, 1);
    QVERIFY(stored.wait());
    QCOMPARE(devices[1].name, u"AMP1"_s);  // four letters: "AMP1 " differs
    QCOMPARE(rebuild.count(), 1);

    Commands::statusFetch(devices, 1);
    QVERIFY(stored.wait());
    QCOMPARE(rebuild.count(), 1);
}

void tst_PollWorker::lowerCaseIdentityRebuildsTheTreeOnce()
{
    // The record takes the names upper-cased; later blocks that report the
    // same lower-case names must not count as a change every time.
    ScriptedServer server({ScriptedServer::response(blockWithIdentity("stage", "amp1 "))});
    tDevices devices(server.port());
    QSignalSpy rebuild(&devices, &tDevices::treeRebuildNeeded);
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    devices.appendDevice(u"AMP1 "_s, u"FOH  "_s, u"127.0.0.1"_s);

    for (int i = 0; i < 3; ++i) {
        Commands::statusFetch(devices, 1);
        QVERIFY(stored.wait());
    }
    QCOMPARE(devices[1].group, u"STAGE"_s);
    QCOMPARE(devices[1].name, u"AMP1 "_s);
    QCOMPARE(rebuild.count(), 1);
}

void tst_PollWorker::groupComesOnlyFromBlocksAfterTheGroupCommand()
{
    // A fetch on its way when the device is moved (answered once the test
    // waits) shows the old group; a later one, after the command, counts.
    const QByteArray oldGroup = ScriptedServer::response(blockWithIdentity("MAIN ", "AMP1 "));
    ScriptedServer server({oldGroup, ScriptedServer::response({}), oldGroup});
    tDevices devices(server.port());
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    devices.appendDevice(u"AMP1 "_s, u"MAIN "_s, u"127.0.0.1"_s);
    Commands::statusFetch(devices, 1);
    devices[1].group = u"UNDEF"_s;
    devices.queueRequest(1, CommandPath::DeviceGroup, "UNDEF");
    QVERIFY(stored.wait());
    QCOMPARE(devices[1].group, u"UNDEF"_s);
    QTRY_COMPARE(server.requests().size(), 2);
    Commands::statusFetch(devices, 1);
    QVERIFY(stored.wait());
    QCOMPARE(devices[1].group, u"MAIN "_s);
}

void tst_PollWorker::nextJobGoesOutWithoutTheMainThread()
{
    // A worker whose job is over takes the next one from the queue itself,
    // one per dispatch of the main thread: two requests reach the device
    // while the main thread looks away, and their outcomes wait for it,
    // merged. The third goes out at the next dispatch once the main thread
    // has collected them.
    tDevices &devices = *m_devices;
    m_sim->setSlowBody(0, 1000, 20ms);  // the fetch lasts until all three are queued
    m_sim->setFault(0, Fault::SlowBody);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);
    Commands::statusFetch(devices, 1);
    Commands::muteA(devices, 1, true);
    Commands::lock(devices, 1, true);
    // No events meanwhile: nothing is collected.
    QVERIFY(m_sim->waitForRequests(0, 2, 10s));
    QVERIFY(devices[1].awaitsAdoption());
    QCOMPARE(m_sim->requestLines(0).size(), 2);
    QCOMPARE(devices[1].queue.size(), 1);
    QCOMPARE(devices[1].successCount(), 0);

    QTRY_COMPARE(devices[1].successCount(), 2);
    devices.dispatch(1);
    QTRY_COMPARE(devices[1].successCount(), 3);
    QCOMPARE(m_sim->requestLines(0).size(), 3);
    QCOMPARE(devices[1].linkState(), int(ThSocket::Online));
    QCOMPARE(fieldOf(devices[1].status, StatusField::Model), "T1900"_ba);
}

void tst_PollWorker::emptyBodySucceedsWithoutTouchingTheBlock()
{
    ScriptedServer server({ScriptedServer::response({})});
    tDevices devices(server.port());
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.1"_s);
    devices[1].status[StatusField::Model] = 'Q';

    Commands::statusFetch(devices, 1);
    QTRY_COMPARE(devices[1].successCount(), 1);
    QCOMPARE(devices[1].linkState(), int(ThSocket::Online));
    QCOMPARE(devices[1].status[StatusField::Model], 'Q');
    QCOMPARE(stored.count(), 0);
}

void tst_PollWorker::failedAnswers_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("short body") << Fault::ShortBody;
    QTest::newRow("fifth line without digits") << Fault::LineWithoutDigits;
    QTest::newRow("text between numbers") << Fault::TextBetweenNumbers;
    QTest::newRow("huge length") << Fault::HugeLength;
    QTest::newRow("no answer") << Fault::Stall;
    QTest::newRow("refused") << Fault::Refuse;
    QTest::newRow("garbage") << Fault::Garbage;
    QTest::newRow("silent after connect") << Fault::SilentAfterConnect;
}

void tst_PollWorker::failedAnswers()
{
    QFETCH(Fault, fault);
    tDevices &devices = *m_devices;
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    m_sim->setFault(0, fault);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);
    devices[1].status[StatusField::Model] = 'Q';

    Commands::statusFetch(devices, 1);
    QTRY_COMPARE_WITH_TIMEOUT(devices[1].failureCount(), 1, kThreeAttemptsMs);
    QCOMPARE(devices[1].successCount(), 0);
    QCOMPARE(devices[1].status[StatusField::Model], 'Q');
    QCOMPARE(stored.count(), 0);

    // The device recovers; the held job is retried over a new connection.
    m_sim->setFault(0, Fault::None);
    RetryPump pump(devices);
    QVERIFY(stored.wait(kThreeAttemptsMs));
    QCOMPARE(devices[1].linkState(), int(ThSocket::Online));
    QCOMPARE(fieldOf(devices[1].status, StatusField::Model), "T1900"_ba);
}

void tst_PollWorker::slowAndOtherLengthAnswersSucceed()
{
    tDevices &devices = *m_devices;
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    // Pieces arrive well within each read time-out, the whole body does not.
    m_sim->setSlowBody(0, 200, 100ms);
    m_sim->setFault(0, Fault::SlowBody);
    m_sim->setFault(1, Fault::OtherLength);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);
    devices.appendDevice(u"AMP2 "_s, u"FOH  "_s, u"127.0.0.11"_s);

    Commands::statusFetch(devices, 1);
    Commands::statusFetch(devices, 2);
    QVERIFY(stored.wait(10000));
    QCOMPARE(stored.takeFirst().at(0).toInt(), 1);
    QCOMPARE(devices[1].failureCount(), 0);

    // A 100-byte answer is a success but no status block.
    QTRY_COMPARE(devices[2].successCount(), 1);
    QCOMPARE(devices[2].failureCount(), 0);
    QCOMPARE(fieldOf(devices[2].status, StatusField::Model), QByteArray(5, '\0'));
    QCOMPARE(stored.count(), 0);
}

void tst_PollWorker::threeFailuresGoOfflineAndQueueTheUnlock()
{
    tDevices &devices = *m_devices;
    m_sim->setFault(0, Fault::Refuse);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);

    // Retries by hand, so that every attempt can be counted.
    Commands::muteA(devices, 1, true);
    QTRY_COMPARE(devices[1].failureCount(), 1);
    devices.dispatch(1);
    QTRY_COMPARE(devices[1].failureCount(), 2);
    QCOMPARE(devices[1].linkState(), int(ThSocket::NoResultYet));
    devices.dispatch(1);
    QTRY_COMPARE(devices[1].linkState(), int(ThSocket::Offline));

    // The dropped job is gone and the unlock command is handed over at once,
    // starting again from no failures.
    QTRY_COMPARE(devices[1].requestCount(), 4);
    QTRY_COMPARE(devices[1].failureCount(), 1);
    QVERIFY(devices[1].queue.isEmpty());

    m_sim->setFault(0, Fault::None);
    RetryPump pump(devices);
    QTRY_COMPARE_WITH_TIMEOUT(devices[1].linkState(), int(ThSocket::Online), kThreeAttemptsMs);
    QCOMPARE(m_sim->requestLines(0), QList{"GET /lock_off HTTP/1.1"_ba});
    QCOMPARE(devices[1].successCount(), 1);
}

void tst_PollWorker::connectionIsReusedAndRenewedAfterAFailure()
{
    tDevices &devices = *m_devices;
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);
    for (int i = 0; i < 5; ++i) {
        Commands::statusFetch(devices, 1);
        QVERIFY(stored.wait());
    }
    QCOMPARE(m_sim->connectionsAccepted(0), 1);

    m_sim->setFault(0, Fault::ShortBody);
    Commands::statusFetch(devices, 1);
    QTRY_COMPARE_WITH_TIMEOUT(devices[1].failureCount(), 1, kThreeAttemptsMs);
    m_sim->setFault(0, Fault::None);
    RetryPump pump(devices);
    QVERIFY(stored.wait(kThreeAttemptsMs));
    QCOMPARE(m_sim->connectionsAccepted(0), 2);
}

void tst_PollWorker::closeByTheDeviceLeadsToANewConnection()
{
    tDevices &devices = *m_devices;
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    m_sim->setFault(0, Fault::CloseAfterAnswer);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);
    // A request that meets the closing connection fails and is retried.
    RetryPump pump(devices);
    for (int i = 0; i < 3; ++i) {
        Commands::statusFetch(devices, 1);
        QVERIFY(stored.wait(kThreeAttemptsMs));
    }
    QCOMPARE(m_sim->requestLines(0).count(kStatusLine), 3);
    // Each new connection is used: none is opened and closed empty.
    QCOMPARE(m_sim->connectionsAccepted(0), m_sim->requests(0).size());
    QCOMPARE(devices[1].linkState(), int(ThSocket::Online));
}

void tst_PollWorker::unaskedBytesNeverReachAnotherConnection()
{
    // After each answer the device sends a whole unasked response announcing
    // 7 bytes, then closes: it must not be taken for the next answer on the
    // next connection.
    tDevices &devices = *m_devices;
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    m_sim->setFault(0, Fault::UnaskedThenClose);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);
    RetryPump pump(devices);
    for (int i = 0; i < 3; ++i) {
        Commands::statusFetch(devices, 1);
        QVERIFY(stored.wait(kThreeAttemptsMs));
        QTRY_COMPARE(m_sim->openConnections(0), 0);
    }
    QCOMPARE(devices[1].successCount(), stored.count());
    QCOMPARE(devices[1].failureCount(), 0);
}

void tst_PollWorker::blockIsStoredBeforeTheDeviceShowsOnline()
{
    tDevices &devices = *m_devices;
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);
    Commands::statusFetch(devices, 1);
    // Without the main thread the block cannot be stored, so the worker must
    // not show the device online yet.
    QVERIFY(devices.waitForResults(QDeadlineTimer(10s)));
    QVERIFY(devices[1].awaitsAdoption());
    QCOMPARE(devices[1].linkState(), int(ThSocket::NoResultYet));
    QCOMPARE(devices[1].successCount(), 0);
    QVERIFY(stored.wait());
    QCOMPARE(devices[1].linkState(), int(ThSocket::Online));
    QCOMPARE(devices[1].successCount(), 1);
    QCOMPARE(fieldOf(devices[1].status, StatusField::Model), "T1900"_ba);
}

void tst_PollWorker::failedAttemptsArePaced()
{
    // A refusal comes at once; the next attempt still waits for the rest of
    // the failed attempt's connect time-out (250 ms, then 500 ms).
    tDevices &devices = *m_devices;
    m_sim->setFault(0, Fault::Refuse);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);
    RetryPump pump(devices);
    QElapsedTimer clock;
    clock.start();
    Commands::statusFetch(devices, 1);
    QTRY_COMPARE_WITH_TIMEOUT(devices[1].linkState(), int(ThSocket::Offline), kThreeAttemptsMs);
    QVERIFY2(clock.elapsed() >= 750, QByteArray::number(clock.elapsed()).constData());
}

void tst_PollWorker::deleteWhileAnExchangeIsInFlight()
{
    tDevices &devices = *m_devices;
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    m_sim->setSlowBody(0, 500, 50ms);
    m_sim->setFault(0, Fault::SlowBody);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);
    devices.appendDevice(u"AMP2 "_s, u"FOH  "_s, u"127.0.0.11"_s);
    Commands::statusFetch(devices, 2);
    QVERIFY(stored.wait());
    stored.clear();
    const DeviceId second = devices[2].id;

    Commands::statusFetch(devices, 1);
    QTRY_COMPARE(m_sim->requests(0).size(), 1);
    devices.deleteDevice(1);

    QCOMPARE(devices.count(), 1);
    QCOMPARE(devices[1].id, second);
    QCOMPARE(devices[1].successCount(), 1);
    // The stopped worker finishes its exchange, then ends; its block is
    // dropped rather than landing on the device that moved into slot 1.
    QTRY_COMPARE_WITH_TIMEOUT(devices.retiredWorkerCount(), 0, 10000);
    QCOMPARE(devices[1].name, u"AMP2 "_s);
    QCOMPARE(fieldOf(devices[1].status, StatusField::Name), "AMP2 "_ba);
    QCOMPARE(devices[1].requestCount(), 1);
    QCOMPARE(stored.count(), 0);
}

void tst_PollWorker::clearThenAppendIntoTheSameSlots()
{
    tDevices &devices = *m_devices;
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    for (int amp : {0, 1}) {
        m_sim->setSlowBody(amp, 500, 50ms);
        m_sim->setFault(amp, Fault::SlowBody);
    }
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);
    devices.appendDevice(u"AMP2 "_s, u"FOH  "_s, u"127.0.0.11"_s);
    Commands::statusFetch(devices, 1);
    Commands::statusFetch(devices, 2);
    QTRY_VERIFY(m_sim->requests(0).size() == 1 && m_sim->requests(1).size() == 1);

    devices.clearDevices();
    QCOMPARE(devices.count(), 0);
    devices.appendDevice(u"AMP3 "_s, u"STAGE"_s, u"127.0.0.12"_s);
    devices.appendDevice(u"AMP4 "_s, u"FOH  "_s, u"127.0.0.13"_s);
    QTRY_COMPARE_WITH_TIMEOUT(devices.retiredWorkerCount(), 0, 10000);

    for (int slot : {1, 2}) {
        QCOMPARE(devices[slot].requestCount(), 0);
        QCOMPARE(devices[slot].linkState(), int(ThSocket::NoResultYet));
        QCOMPARE(fieldOf(devices[slot].status, StatusField::Name), QByteArray(5, '\0'));
    }
    QCOMPARE(stored.count(), 0);

    Commands::statusFetch(devices, 1);
    QVERIFY(stored.wait());
    QCOMPARE(fieldOf(devices[1].status, StatusField::Name), "AMP3 "_ba);
}

void tst_PollWorker::reusedSlotStartsFresh()
{
    tDevices &devices = *m_devices;
    m_sim->setFault(0, Fault::Stall);
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.10"_s);
    Commands::statusFetch(devices, 1);  // handed over, the worker is busy
    Commands::muteA(devices, 1, true);
    Commands::lock(devices, 1, true);
    QCOMPARE(devices[1].queue.size(), 2);
    devices[1].status[0] = 1;

    devices.deleteDevice(1);
    QVERIFY(devices.appendDevice(u"AMP2 "_s, u"FOH  "_s, u"127.0.0.11"_s));
    QVERIFY(devices[1].queue.isEmpty());
    QCOMPARE(devices[1].status[0], 0);
    QCOMPARE(devices[1].requestCount(), 0);

    // Nothing queued for the earlier occupant reaches the new device.
    Commands::statusFetch(devices, 1);
    QTRY_COMPARE(devices[1].successCount(), 1);
    QCOMPARE(m_sim->requestLines(1), QList{"GET /krv.krv HTTP/1.1"_ba});
}

void tst_PollWorker::destructionEndsBusyWorkersAtOnce()
{
    tDevices &devices = *m_devices;
    m_sim->setFault(0, Fault::Stall);
    m_sim->setFault(1, Fault::Refuse);
    m_sim->setSlowBody(2, 10, 1s);
    m_sim->setFault(2, Fault::SlowBody);
    for (int amp = 0; amp < 3; ++amp) {
        devices.appendDevice(u"AMP  "_s, u"STAGE"_s, u"127.0.0.%1"_s.arg(10 + amp));
        Commands::statusFetch(devices, amp + 1);
    }
    QTRY_COMPARE(m_sim->requests(2).size(), 1);
    devices.deleteDevice(3);  // a stopped worker still finishing
    // The destructor must not wait for the stall, the slow body or a
    // connect; a hang here fails the test by its time-out.
    m_devices.reset();
    QVERIFY(!m_devices);
}

QTEST_GUILESS_MAIN(tst_PollWorker)
#include "tst_pollworker.moc"

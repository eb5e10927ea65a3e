// The scan loop: rows, devices handed on, table full, and range bounds. Real
// GETs go to simulated amplifiers on loopback; ranges beyond loopback run
// only against a fake fetch that never touches a socket.

#include "addressscan.h"
#include "ampsimulator.h"
#include "ipaddress.h"
#include "statusfetcher.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Fault = AmpSimulator::Fault;

namespace {

struct Device
{
    QString name;
    QString group;
    QString address;
    bool operator==(const Device &) const = default;
};

// Records everything the scan reports, in order.
struct Recorder
{
    QStringList rows;
    QList<Device> devices;
    QStringList events;  // "row", "device", "after", "full" in call order
    bool tableHasRoom = true;
    int tableFullCalls = 0;

    ScanHooks hooks()
    {
        ScanHooks h;
        h.appendRow = [this](const QString &row) {
            rows.append(row);
            events.append(u"row"_s);
        };
        h.addOrUpdateDevice = [this](const QString &name, const QString &group, const QString &address) {
            events.append(u"device"_s);
            if (!tableHasRoom)
                return false;
            devices.append({name, group, address});
            return true;
        };
        h.afterAddress = [this] { events.append(u"after"_s); };
        h.tableFull = [this] {
            ++tableFullCalls;
            events.append(u"full"_s);
        };
        return h;
    }
};

quint32 number(const QString &text)
{
    return addressNumber(text).value();
}

QStringList rowsFor(const QStringList &addresses, const QList<bool> &found)
{
    QStringList rows;
    for (qsizetype i = 0; i < addresses.size(); ++i)
        rows << addresses[i] << (found[i] ? u"Found"_s : u"Not found"_s) << QString();
    return rows;
}

}  // namespace

class tst_AddressScan final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void rowsAndDevices();
    void knownDeviceFoundAgain();
    void singleAddress();
    void lastBelowFirst();
    void tableFullReportedOnce();
    void unsignedBounds_data();
    void unsignedBounds();
    void stopRequested();

private:
    AmpSimulator m_sim;
    quint16 m_port = 0;
};

void tst_AddressScan::initTestCase()
{
    m_port = m_sim.start({{u"127.0.0.2"_s, "AMP1 ", "STAGE"},
                          {u"127.0.0.3"_s, "WEB  ", "OTHER"},
                          {u"127.0.0.4"_s, "AMP2 ", "FOH  "},
                          {u"127.0.0.5"_s, "STALL", "STALL"}});
    QVERIFY(m_port != 0);
}

void tst_AddressScan::init()
{
    for (int amp = 0; amp < m_sim.ampCount(); ++amp)
        m_sim.setFault(amp, Fault::None);
}

// 127.0.0.3 answers with another length, 127.0.0.5 never answers and
// nothing listens at 127.0.0.6: all three are "Not found".
void tst_AddressScan::rowsAndDevices()
{
    m_sim.setFault(1, Fault::OtherLength);
    m_sim.setFault(3, Fault::Stall);
    StatusFetcher fetcher(m_port);
    Recorder recorder;
    runScan(number(u"127.0.0.2"_s), number(u"127.0.0.6"_s), fetcher, recorder.hooks());

    QCOMPARE(recorder.rows, rowsFor({u"127.0.0.2"_s, u"127.0.0.3"_s, u"127.0.0.4"_s, u"127.0.0.5"_s,
                                     u"127.0.0.6"_s},
                                    {true, false, true, false, false}));
    const QList<Device> expected{{u"AMP1 "_s, u"STAGE"_s, u"127.0.0.2"_s},
                                 {u"AMP2 "_s, u"FOH  "_s, u"127.0.0.4"_s}};
    QCOMPARE(recorder.devices, expected);
    // The device is handed on before its "Found" row, and every address ends
    // with the after-address hook.
    QCOMPARE(recorder.events.mid(0, 5),
             QStringList({u"row"_s, u"device"_s, u"row"_s, u"row"_s, u"after"_s}));
    QCOMPARE(recorder.events.count(u"after"_s), 5);
}

void tst_AddressScan::knownDeviceFoundAgain()
{
    m_sim.setIdentity(0, "NEW  ", "BAND ");
    StatusFetcher fetcher(m_port);
    Recorder recorder;
    runScan(number(u"127.0.0.2"_s), number(u"127.0.0.2"_s), fetcher, recorder.hooks());
    m_sim.setIdentity(0, "AMP1 ", "STAGE");
    QCOMPARE(recorder.devices, QList<Device>({{u"NEW  "_s, u"BAND "_s, u"127.0.0.2"_s}}));
}

void tst_AddressScan::singleAddress()
{
    StatusFetcher fetcher(m_port);
    Recorder recorder;
    runScan(number(u"127.0.0.4"_s), number(u"127.0.0.4"_s), fetcher, recorder.hooks());
    QCOMPARE(recorder.rows, rowsFor({u"127.0.0.4"_s}, {true}));
}

void tst_AddressScan::lastBelowFirst()
{
    const auto accepted = [this] {
        int sum = 0;
        for (int amp = 0; amp < m_sim.ampCount(); ++amp)
            sum += m_sim.connectionsAccepted(amp);
        return sum;
    };
    const int before = accepted();
    StatusFetcher fetcher(m_port);
    Recorder recorder;
    runScan(number(u"127.0.0.4"_s), number(u"127.0.0.2"_s), fetcher, recorder.hooks());
    QVERIFY(recorder.events.isEmpty());
    QCOMPARE(accepted(), before);
}

void tst_AddressScan::tableFullReportedOnce()
{
    m_sim.setFault(1, Fault::OtherLength);
    StatusFetcher fetcher(m_port);
    Recorder recorder;
    recorder.tableHasRoom = false;
    runScan(number(u"127.0.0.2"_s), number(u"127.0.0.4"_s), fetcher, recorder.hooks());
    QCOMPARE(recorder.tableFullCalls, 1);
    QCOMPARE(recorder.events.count(u"device"_s), 2);
    QVERIFY(recorder.devices.isEmpty());
    // Both still answered with a status block.
    QCOMPARE(recorder.rows, rowsFor({u"127.0.0.2"_s, u"127.0.0.3"_s, u"127.0.0.4"_s}, {true, false, true}));
}

void tst_AddressScan::unsignedBounds_data()
{
    QTest::addColumn<quint32>("first");
    QTest::addColumn<quint32>("last");
    QTest::addColumn<QStringList>("fetched");

    QTest::newRow("across 128.0.0.0") << 0x7FFFFFFEu << 0x80000001u
                                      << QStringList{u"127.255.255.254"_s, u"127.255.255.255"_s,
                                                     u"128.0.0.0"_s, u"128.0.0.1"_s};
    QTest::newRow("ends at the top") << 0xFFFFFFFEu << 0xFFFFFFFFu
                                     << QStringList{u"255.255.255.254"_s, u"255.255.255.255"_s};
    QTest::newRow("only the top") << 0xFFFFFFFFu << 0xFFFFFFFFu << QStringList{u"255.255.255.255"_s};
    QTest::newRow("from zero") << 0u << 1u << QStringList{u"0.0.0.0"_s, u"0.0.0.1"_s};
    QTest::newRow("top down to zero") << 0xFFFFFFFFu << 0u << QStringList{};
}

// A fake fetch only: none of these addresses may be contacted.
void tst_AddressScan::unsignedBounds()
{
    QFETCH(quint32, first);
    QFETCH(quint32, last);
    QFETCH(QStringList, fetched);

    QStringList asked;
    const FetchFunction fetch = [&asked](const QString &address) {
        asked.append(address);
        return QByteArray();
    };
    Recorder recorder;
    ScanHooks hooks = recorder.hooks();
    // A runaway loop must fail the comparison below instead of running forever.
    hooks.stopRequested = [&asked] { return asked.size() > 16; };
    runScan(first, last, fetch, hooks);
    QCOMPARE(asked, fetched);
    QCOMPARE(recorder.rows.size(), 3 * fetched.size());
}

void tst_AddressScan::stopRequested()
{
    int asked = 0;
    Recorder recorder;
    ScanHooks hooks = recorder.hooks();
    hooks.stopRequested = [&asked] { return asked == 2; };
    runScan(1, 100, [&asked](const QString &) { ++asked; return QByteArray(); }, hooks);
    QCOMPARE(asked, 2);
    QCOMPARE(recorder.rows.size(), 6);
}

QTEST_GUILESS_MAIN(tst_AddressScan)
#include "tst_addressscan.moc"

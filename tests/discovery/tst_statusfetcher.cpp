// The scan's blocking GET against simulated amplifiers on loopback addresses.

#include "addressscan.h"
#include "ampsimulator.h"
#include "statusfetcher.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Fault = AmpSimulator::Fault;

namespace {

const QString kAmp = u"127.0.0.51"_s;
const QString kSilent = u"127.0.0.59"_s;  // nothing listens there

}  // namespace

class tst_StatusFetcher final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void statusBlock();
    void request();
    void faults_data();
    void faults();
    void stalledPeerTimesOut();
    void slowButSteadyBodyArrives();
    void drippingPeerIsCutOff();
    void notAnAddress_data();
    void notAnAddress();

private:
    AmpSimulator m_sim;
    quint16 m_port = 0;
};

void tst_StatusFetcher::initTestCase()
{
    m_port = m_sim.start({{kAmp, "AMP1 ", "STAGE"}});
    QVERIFY(m_port != 0);
}

void tst_StatusFetcher::init()
{
    m_sim.setFault(0, Fault::None);
    m_sim.clearRequests(0);
}

void tst_StatusFetcher::statusBlock()
{
    StatusFetcher fetcher(m_port);
    const QByteArray body = fetcher.get(kAmp);
    QCOMPARE(body.size(), kStatusBlockBytes);
    QCOMPARE(body, m_sim.lastStatusBlockSent(0));
    // One fetcher serves a whole scan: a second GET works the same.
    const QByteArray again = fetcher.get(kAmp);
    QCOMPARE(again, m_sim.lastStatusBlockSent(0));
}

void tst_StatusFetcher::request()
{
    StatusFetcher fetcher(m_port);
    fetcher.get(kAmp);
    const QList<QByteArray> requests = m_sim.requests(0);
    QCOMPARE(requests.size(), 1);
    const QByteArray expected = "GET /krv.krv HTTP/1.1\r\nHost: " + kAmp.toLatin1() + ':'
                                + QByteArray::number(m_port) + "\r\nConnection: close\r\n\r\n";
    QCOMPARE(requests.first(), expected);
    QCOMPARE(StatusFetcher::request(u"192.0.2.7"_s, 80),
             QByteArray("GET /krv.krv HTTP/1.1\r\nHost: 192.0.2.7\r\nConnection: close\r\n\r\n"));
}

void tst_StatusFetcher::faults_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<qsizetype>("size");

    QTest::newRow("answer then close") << Fault::CloseAfterAnswer << kStatusBlockBytes;
    QTest::newRow("other length") << Fault::OtherLength << qsizetype(100);
    QTest::newRow("refused") << Fault::Refuse << qsizetype(0);
    QTest::newRow("short body") << Fault::ShortBody << qsizetype(0);
    QTest::newRow("length without digits") << Fault::LineWithoutDigits << qsizetype(0);
    QTest::newRow("broken header line") << Fault::TextBetweenNumbers << qsizetype(0);
    // Cut one byte past a status block, without reading the megabytes behind.
    QTest::newRow("huge length") << Fault::HugeLength << kStatusBlockBytes + 1;
}

void tst_StatusFetcher::faults()
{
    QFETCH(Fault, fault);
    QFETCH(qsizetype, size);

    m_sim.setFault(0, fault);
    StatusFetcher fetcher(m_port);
    QCOMPARE(fetcher.get(kAmp).size(), size);
}

// The read time-out ends a GET that is accepted but never answered, not
// sooner; a port where nothing listens fails too. How much later the GET
// returns depends on the machine's load and is not asserted.
void tst_StatusFetcher::stalledPeerTimesOut()
{
    m_sim.setFault(0, Fault::Stall);
    StatusFetcher fetcher(m_port, 300ms, 300ms);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(fetcher.get(kAmp).isEmpty());
    const qint64 stalled = clock.restart();
    QVERIFY2(stalled >= 280, QByteArray::number(stalled).constData());
    QVERIFY(fetcher.get(kSilent).isEmpty());
}

// The read time-out applies to each wait, not to the whole body.
void tst_StatusFetcher::slowButSteadyBodyArrives()
{
    m_sim.setSlowBody(0, 800, 100ms);
    m_sim.setFault(0, Fault::SlowBody);
    StatusFetcher fetcher(m_port, 300ms, 300ms, 60s);
    const QByteArray body = fetcher.get(kAmp);
    QCOMPARE(body, m_sim.lastStatusBlockSent(0));
}

// Every wait is answered in time, but the whole block takes far longer than
// one address may: the address counts as not found.
void tst_StatusFetcher::drippingPeerIsCutOff()
{
    m_sim.setSlowBody(0, 100, 50ms);  // at least 1.5 s for a whole block
    m_sim.setFault(0, Fault::SlowBody);
    StatusFetcher fetcher(m_port, 300ms, 300ms, 500ms);
    QVERIFY(fetcher.get(kAmp).isEmpty());
}

void tst_StatusFetcher::notAnAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("host name") << u"localhost"_s;
    QTest::newRow("IPv6 loopback") << u"::1"_s;
    QTest::newRow("empty") << QString();
}

// Only dotted IPv4 texts are fetched: no name is ever looked up.
void tst_StatusFetcher::notAnAddress()
{
    QFETCH(QString, address);
    StatusFetcher fetcher(m_port);
    QVERIFY(fetcher.get(address).isEmpty());
    QVERIFY(m_sim.requests(0).isEmpty());
}

QTEST_GUILESS_MAIN(tst_StatusFetcher)
#include "tst_statusfetcher.moc"

// The simulated amplifiers, driven by a plain blocking TCP client on loopback.

#include "ampsimulator.h"
#include "fastampserver.h"
#include "simulatedstate.h"
#include "statusblockbuilder.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Fault = AmpSimulator::Fault;

namespace {

constexpr int kWaitMs = 3000;
// Only for checking that nothing more arrives; never used to synchronise.
constexpr int kQuietMs = 200;

const QString kFirstAddress = u"127.0.0.41"_s;
const QString kSecondAddress = u"127.0.0.42"_s;

struct Response
{
    QList<QByteArray> lines;  // status line and five header lines, each with its CR LF
    QByteArray body;
};

QByteArray field(const QByteArray &block, int offset, int width)
{
    return block.mid(offset, width);
}

int value16(const QByteArray &block, int offset)
{
    return quint8(block[offset]) | quint8(block[offset + 1]) << 8;
}

// A blocking client of one amp, as simple as the controller's own.
class Client final
{
public:
    Client(const QString &address, quint16 port) { m_socket.connectToHost(address, port); }

    bool connected() { return m_socket.waitForConnected(kWaitMs); }
    QTcpSocket &socket() { return m_socket; }

    void send(const QByteArray &bytes)
    {
        m_socket.write(bytes);
        m_socket.waitForBytesWritten(kWaitMs);
    }
    void get(const QByteArray &target) { send("GET " + target + " HTTP/1.1\r\n\r\n"); }

    QByteArray line()
    {
        while (!m_socket.canReadLine()) {
            if (!m_socket.waitForReadyRead(kWaitMs))
                return {};
        }
        return m_socket.readLine();
    }

    QByteArray bytes(qint64 count)
    {
        QByteArray result;
        while (result.size() < count) {
            if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(kWaitMs))
                break;
            result += m_socket.read(count - result.size());
        }
        return result;
    }

    // The status line, five header lines, the empty line, and a body of the
    // length that the fourth header line announces.
    Response response()
    {
        Response response;
        for (int i = 0; i < 6; ++i)
            response.lines.append(line());
        if (line() != "\r\n")
            return response;
        const QByteArray length = response.lines[4];
        if (length.startsWith("Content-Length: "))
            response.body = bytes(length.sliced(16).trimmed().toLongLong());
        return response;
    }

    bool quiet() { return m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(kQuietMs); }

private:
    QTcpSocket m_socket;
};

} // namespace

class tst_AmpSimulator final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void framing_data();
    void framing();
    void keepAliveAndPipelining();
    void statusBlockFields();
    void commandsChangeLaterBlocks_data();
    void commandsChangeLaterBlocks();
    void requestsAreRecordedByteForByte();
    void onlyTheLatestRequestsAreKept();
    void ampsAreIndependent();
    void refuseAndListenAgain();
    void stallAnswersNothing();
    void shortBodyThenNothingMore();
    void hugeLengthThenNothingMore();
    void oddLengthLines_data();
    void oddLengthLines();
    void closeAfterAnswer();
    void slowBodyArrivesWholeInPieces();
    void endlessRequestIsDropped();
    void garbageHasNoDigits();
    void silentAfterConnectReadsNothing();
    void unaskedBytesThenClose();
    void dripAndDelayedAnswersArriveWholeInOrder();
    void requestsCanBeCopiedWhileRecorded();
    void fastServerAnswersAlike();
    void destructionIsPrompt();
    void builtBlockHoldsChosenFields();
    void historiesAdvanceWithTime();
    void outputsFollowVolumeAndMute_data();
    void outputsFollowVolumeAndMute();

private:
    std::unique_ptr<Client> client(int amp = 0);

    std::unique_ptr<AmpSimulator> m_sim;
    quint16 m_port = 0;
};

void tst_AmpSimulator::init()
{
    m_sim = std::make_unique<AmpSimulator>();
    m_port = m_sim->start({{kFirstAddress, "AMP1", "STAGE"}, {kSecondAddress, "AMP2", "FOH"}});
    QVERIFY(m_port != 0);
}

void tst_AmpSimulator::cleanup()
{
    m_sim.reset();
}

std::unique_ptr<Client> tst_AmpSimulator::client(int amp)
{
    auto result = std::make_unique<Client>(amp == 0 ? kFirstAddress : kSecondAddress, m_port);
    if (!result->connected())
        qWarning("cannot connect to amp %d", amp);
    return result;
}

void tst_AmpSimulator::framing_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("length");
    QTest::newRow("status block") << "/krv.krv"_ba << kSimulatedBlockSize;
    QTest::newRow("command") << "/mute_on.html"_ba << 2;
    QTest::newRow("unknown path") << "/index.html"_ba << 2;
}

void tst_AmpSimulator::framing()
{
    QFETCH(QByteArray, target);
    QFETCH(int, length);
    auto amp = client();
    amp->get(target);
    const Response response = amp->response();
    QCOMPARE(response.lines.size(), 6);
    QCOMPARE(response.lines[0], "HTTP/1.1 200 OK\r\n"_ba);
    for (const QByteArray &line : response.lines)
        QVERIFY2(line.endsWith("\r\n") && line.size() > 2, line.constData());
    QCOMPARE(response.lines[4], "Content-Length: " + QByteArray::number(length) + "\r\n");
    QCOMPARE(response.body.size(), length);
    if (length == 2)
        QCOMPARE(response.body, "OK"_ba);
}

void tst_AmpSimulator::keepAliveAndPipelining()
{
    auto amp = client();
    amp->get("/krv.krv");
    QCOMPARE(amp->response().body.size(), kSimulatedBlockSize);
    amp->get("/lock_on");
    QCOMPARE(amp->response().body, "OK"_ba);

    // Two requests in one write: the rename is answered first and already
    // shows in the block that answers the second.
    amp->send("GET /name=XY HTTP/1.1\r\n\r\nGET /krv.krv HTTP/1.1\r\n\r\n");
    QCOMPARE(amp->response().body, "OK"_ba);
    QCOMPARE(field(amp->response().body, 80, 5), "XY   "_ba);

    QCOMPARE(m_sim->connectionsAccepted(0), 1);
    QCOMPARE(m_sim->requestLines(0),
             (QList<QByteArray>{"GET /krv.krv HTTP/1.1", "GET /lock_on HTTP/1.1", "GET /name=XY HTTP/1.1",
                                "GET /krv.krv HTTP/1.1"}));
}

void tst_AmpSimulator::statusBlockFields()
{
    auto amp = client(1);
    amp->get("/krv.krv");
    const QByteArray block = amp->response().body;
    QCOMPARE(block.size(), kSimulatedBlockSize);
    QCOMPARE(field(block, 28, 5), "T1900"_ba);
    QCOMPARE(field(block, 75, 5), "FOH  "_ba);
    QCOMPARE(field(block, 80, 5), "AMP2 "_ba);
    QCOMPARE(int(block[24]), 1);
    QCOMPARE(int(block[25]), 1);
    QCOMPARE(int(block[26]), 1);
    QCOMPARE(int(block[27]), 1);
    QVERIFY(qAbs(value16(block, 68) - 314) <= 5);  // about 230 V at 750 / 1024 V per step
    const QByteArray fanLevel = field(block, 70, 3);
    QVERIFY(fanLevel.toInt() >= 0 && fanLevel.toInt() <= 100);
    for (const int offset : {18, 21})
        QVERIFY(field(block, offset, 3).trimmed().toInt() > 0);
    QCOMPARE(field(m_sim->statusBlock(1), 28, 57), field(block, 28, 57));  // the identity texts
}

void tst_AmpSimulator::commandsChangeLaterBlocks_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<int>("muteA");
    QTest::addColumn<int>("muteB");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("locked");
    QTest::newRow("name with spaces") << "/name=AB   "_ba << "AB   "_ba << "STAGE"_ba << 1 << 1 << ""_ba << false;
    QTest::newRow("long name is cut") << "/name=ABCDEFG"_ba << "ABCDE"_ba << "STAGE"_ba << 1 << 1 << ""_ba << false;
    QTest::newRow("group") << "/group=FOH"_ba << "AMP1 "_ba << "FOH  "_ba << 1 << 1 << ""_ba << false;
    QTest::newRow("mute a") << "/mute_a_on.html"_ba << "AMP1 "_ba << "STAGE"_ba << 0 << 1 << ""_ba << false;
    QTest::newRow("mute b") << "/mute_b_on.html"_ba << "AMP1 "_ba << "STAGE"_ba << 1 << 0 << ""_ba << false;
    QTest::newRow("mute both") << "/mute_on.html"_ba << "AMP1 "_ba << "STAGE"_ba << 0 << 0 << ""_ba << false;
    QTest::newRow("settings") << "/common_settings_values1=191191100100160160"_ba << "AMP1 "_ba << "STAGE"_ba
                              << 1 << 1 << "191191100100160160"_ba << false;
    QTest::newRow("lock") << "/lock_on"_ba << "AMP1 "_ba << "STAGE"_ba << 1 << 1 << ""_ba << true;
}

void tst_AmpSimulator::commandsChangeLaterBlocks()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, group);
    QFETCH(int, muteA);
    QFETCH(int, muteB);
    QFETCH(QByteArray, settings);
    QFETCH(bool, locked);

    auto amp = client();
    amp->get(target);
    QCOMPARE(amp->response().body, "OK"_ba);
    amp->get("/krv.krv");
    const QByteArray block = amp->response().body;
    QCOMPARE(field(block, 80, 5), name);
    QCOMPARE(field(block, 75, 5), group);
    QCOMPARE(int(block[26]), muteA);
    QCOMPARE(int(block[27]), muteB);
    QCOMPARE(m_sim->name(0), name);
    QCOMPARE(m_sim->group(0), group);
    QCOMPARE(int(m_sim->muteA(0)), muteA);
    QCOMPARE(int(m_sim->muteB(0)), muteB);
    QCOMPARE(m_sim->groupSettings(0), settings);
    QCOMPARE(m_sim->locked(0), locked);
    // A muted channel's voltages and current read 0.
    for (const int offset : {6, 10, 14})
        QVERIFY((value16(block, offset) == 0) == (muteA == 0));
    for (const int offset : {8, 12, 16})
        QVERIFY((value16(block, offset) == 0) == (muteB == 0));
}

void tst_AmpSimulator::requestsAreRecordedByteForByte()
{
    const QByteArray controller = "GET /name=AB    HTTP/1.1\r\n\r\n";
    const QByteArray browser = "GET /krv.krv HTTP/1.1\r\nHost: 127.0.0.41\r\nAccept: */*\r\n\r\n";
    auto amp = client();
    amp->send(controller);
    amp->response();
    amp->send(browser);
    QCOMPARE(amp->response().body.size(), kSimulatedBlockSize);
    QCOMPARE(m_sim->requests(0), (QList<QByteArray>{controller, browser}));
    QCOMPARE(m_sim->requestLines(0),
             (QList<QByteArray>{"GET /name=AB    HTTP/1.1", "GET /krv.krv HTTP/1.1"}));
    QCOMPARE(m_sim->name(0), "AB   "_ba);  // the argument runs to the last " HTTP/"
    m_sim->clearRequests(0);
    QVERIFY(m_sim->requests(0).isEmpty());
}

void tst_AmpSimulator::onlyTheLatestRequestsAreKept()
{
    m_sim->setKeptRequests(2);
    auto amp = client();
    amp->send("GET /name=A HTTP/1.1\r\n\r\nGET /name=B HTTP/1.1\r\n\r\nGET /krv.krv HTTP/1.1\r\n\r\n");
    QVERIFY(m_sim->waitForRequests(0, 3, 3s));
    QCOMPARE(m_sim->requestLines(0), (QList<QByteArray>{"GET /name=B HTTP/1.1", "GET /krv.krv HTTP/1.1"}));
    QCOMPARE(m_sim->requestCount(0), 3);
}

void tst_AmpSimulator::ampsAreIndependent()
{
    QCOMPARE(m_sim->ampCount(), 2);
    QCOMPARE(m_sim->port(), m_port);
    auto first = client(0);
    auto second = client(1);
    first->get("/name=SOLO");
    first->response();
    second->get("/krv.krv");
    QCOMPARE(field(second->response().body, 80, 5), "AMP2 "_ba);
    QCOMPARE(m_sim->name(0), "SOLO "_ba);
    QVERIFY(m_sim->requests(1).size() == 1 && m_sim->requests(0).size() == 1);

    m_sim->setIdentity(1, "NEW", "GRP");
    second->get("/krv.krv");
    const QByteArray block = second->response().body;
    QCOMPARE(field(block, 75, 10), "GRP  NEW  "_ba);
}

void tst_AmpSimulator::refuseAndListenAgain()
{
    auto open = client();
    open->get("/lock_off");  // answered, so the simulator has surely taken the connection
    QCOMPARE(open->response().body, "OK"_ba);
    m_sim->setFault(0, Fault::Refuse);
    QVERIFY(open->socket().state() == QAbstractSocket::UnconnectedState
            || open->socket().waitForDisconnected(kWaitMs));

    QTcpSocket refused;
    QElapsedTimer clock;
    clock.start();
    refused.connectToHost(kFirstAddress, m_port);
    QVERIFY(!refused.waitForConnected(kWaitMs));
    QCOMPARE(refused.error(), QAbstractSocket::ConnectionRefusedError);
    QVERIFY(clock.elapsed() < 1000);

    auto other = client(1);  // the other amp keeps serving on the same port
    other->get("/krv.krv");
    QCOMPARE(other->response().body.size(), kSimulatedBlockSize);

    m_sim->setFault(0, Fault::None);
    auto again = client();
    again->get("/krv.krv");
    QCOMPARE(again->response().body.size(), kSimulatedBlockSize);
    QCOMPARE(m_sim->connectionsAccepted(0), 2);
}

void tst_AmpSimulator::stallAnswersNothing()
{
    auto amp = client();
    m_sim->setFault(0, Fault::Stall);
    amp->get("/krv.krv");
    QTRY_COMPARE(m_sim->requests(0).size(), 1);
    // The stalled request never gets its answer: the first bytes that come
    // belong to the request made after the fault was lifted.
    m_sim->setFault(0, Fault::None);
    amp->get("/lock_off");
    QCOMPARE(amp->response().body, "OK"_ba);
    QVERIFY(amp->quiet());
}

void tst_AmpSimulator::shortBodyThenNothingMore()
{
    m_sim->setFault(0, Fault::ShortBody);
    auto amp = client();
    amp->get("/krv.krv");
    Response response;
    for (int i = 0; i < 7; ++i)
        response.lines.append(amp->line());
    QCOMPARE(response.lines[4], "Content-Length: 3157\r\n"_ba);
    QCOMPARE(response.lines[6], "\r\n"_ba);
    const QByteArray body = amp->bytes(kSimulatedBlockSize);
    QCOMPARE(body.size(), 3000);
    QCOMPARE(field(body, 28, 5), "T1900"_ba);

    m_sim->setFault(0, Fault::None);
    amp->get("/krv.krv");
    QVERIFY(amp->quiet());
    QCOMPARE(amp->socket().state(), QAbstractSocket::ConnectedState);
}

void tst_AmpSimulator::hugeLengthThenNothingMore()
{
    constexpr qint64 filler = 64 * 1024;
    m_sim->setHugeBytes(0, filler);
    m_sim->setFault(0, Fault::HugeLength);
    auto amp = client();
    amp->get("/krv.krv");
    QList<QByteArray> lines;
    for (int i = 0; i < 7; ++i)
        lines.append(amp->line());
    QCOMPARE(lines[4], "Content-Length: 2000000000\r\n"_ba);
    QCOMPARE(amp->bytes(filler + 1).size(), filler);
    amp->get("/krv.krv");
    QVERIFY(amp->quiet());
}

void tst_AmpSimulator::oddLengthLines_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QByteArray>("fifthLine");
    QTest::newRow("no digits") << Fault::LineWithoutDigits << "Content-Length: none\r\n"_ba;
    QTest::newRow("text between numbers") << Fault::TextBetweenNumbers << "Range: 12 of 20\r\n"_ba;
    QTest::newRow("other length") << Fault::OtherLength << "Content-Length: 100\r\n"_ba;
}

void tst_AmpSimulator::oddLengthLines()
{
    QFETCH(Fault, fault);
    QFETCH(QByteArray, fifthLine);
    m_sim->setFault(0, fault);
    auto amp = client();
    for (const QByteArray &target : {"/krv.krv"_ba, "/lock_off"_ba}) {
        amp->get(target);
        QList<QByteArray> lines;
        for (int i = 0; i < 7; ++i)
            lines.append(amp->line());
        QCOMPARE(lines[0], "HTTP/1.1 200 OK\r\n"_ba);
        QCOMPARE(lines[4], fifthLine);
        QCOMPARE(lines[6], "\r\n"_ba);
        if (fault == Fault::OtherLength)
            QCOMPARE(amp->bytes(100).size(), 100);
        else
            amp->bytes(target == "/krv.krv" ? kSimulatedBlockSize : 2);
    }
}

void tst_AmpSimulator::closeAfterAnswer()
{
    m_sim->setFault(0, Fault::CloseAfterAnswer);
    auto amp = client();
    amp->get("/krv.krv");
    QCOMPARE(amp->response().body.size(), kSimulatedBlockSize);
    QVERIFY(amp->socket().state() == QAbstractSocket::UnconnectedState
            || amp->socket().waitForDisconnected(kWaitMs));
}

void tst_AmpSimulator::slowBodyArrivesWholeInPieces()
{
    m_sim->setSlowBody(0, 500, 20ms);
    m_sim->setFault(0, Fault::SlowBody);
    auto amp = client();
    QElapsedTimer clock;
    clock.start();
    amp->get("/krv.krv");
    const Response response = amp->response();
    QCOMPARE(response.lines[4], "Content-Length: 3157\r\n"_ba);
    QCOMPARE(response.body.size(), kSimulatedBlockSize);
    QCOMPARE(field(response.body, 28, 5), "T1900"_ba);
    // Seven pieces, the first one interval after the head; timers may fire a
    // little early, hence the margin.
    QVERIFY2(clock.elapsed() >= 100, QByteArray::number(clock.elapsed()).constData());

    amp->get("/lock_on");  // answers keep their order behind a slow one
    QCOMPARE(amp->response().body, "OK"_ba);
}

void tst_AmpSimulator::endlessRequestIsDropped()
{
    auto amp = client();
    const QByteArray noEnd(256 * 1024, 'a');
    amp->socket().write(noEnd);
    QVERIFY(amp->socket().waitForDisconnected(kWaitMs));
    QVERIFY(m_sim->requests(0).isEmpty());
}

void tst_AmpSimulator::garbageHasNoDigits()
{
    m_sim->setFault(0, Fault::Garbage);
    auto amp = client();
    amp->get("/krv.krv");
    const QByteArray garbage = AmpSimulator::garbageBytes();
    QVERIFY(garbage.count('\n') >= 7);
    QVERIFY(std::none_of(garbage.cbegin(), garbage.cend(), [](char c) { return c >= '0' && c <= '9'; }));
    QCOMPARE(amp->bytes(garbage.size()), garbage);
    QVERIFY(amp->quiet());
}

void tst_AmpSimulator::silentAfterConnectReadsNothing()
{
    m_sim->setFault(0, Fault::SilentAfterConnect);
    auto amp = client();
    QVERIFY(amp->connected());
    amp->get("/lock_on");
    QVERIFY(amp->quiet());
    QVERIFY(m_sim->requests(0).isEmpty());
    QVERIFY(!m_sim->locked(0));
}

void tst_AmpSimulator::unaskedBytesThenClose()
{
    m_sim->setFault(0, Fault::UnaskedThenClose);
    auto amp = client();
    amp->get("/krv.krv");
    QCOMPARE(amp->response().body.size(), kSimulatedBlockSize);
    const QByteArray unasked = AmpSimulator::unaskedBytes();
    QVERIFY(unasked.contains("\r\nContent-Length: 7\r\n"));
    QCOMPARE(amp->bytes(unasked.size() + 1), unasked);
    QVERIFY(amp->socket().state() == QAbstractSocket::UnconnectedState
            || amp->socket().waitForDisconnected(kWaitMs));
    QTRY_COMPARE(m_sim->openConnections(0), 0);
}

void tst_AmpSimulator::dripAndDelayedAnswersArriveWholeInOrder()
{
    m_sim->setDripDelay(0, 0ms);
    m_sim->setFault(0, Fault::Drip);
    m_sim->setAnswerDelay(1, 30ms);
    auto dripping = client(0);
    auto delayed = client(1);
    QElapsedTimer clock;
    clock.start();
    dripping->send("GET /krv.krv HTTP/1.1\r\n\r\nGET /lock_on HTTP/1.1\r\n\r\n");
    delayed->send("GET /krv.krv HTTP/1.1\r\n\r\nGET /lock_on HTTP/1.1\r\n\r\n");
    QCOMPARE(delayed->response().body.size(), kSimulatedBlockSize);
    QVERIFY2(clock.elapsed() >= 25, QByteArray::number(clock.elapsed()).constData());  // timers may fire early
    QCOMPARE(delayed->response().body, "OK"_ba);
    QCOMPARE(dripping->response().body.size(), kSimulatedBlockSize);
    QCOMPARE(dripping->response().body, "OK"_ba);
}

void tst_AmpSimulator::requestsCanBeCopiedWhileRecorded()
{
    // Copies taken while the server thread appends must stay the caller's
    // own (the sanitizer run checks the hand-over).
    auto amp = client();
    QByteArray many;
    for (int i = 0; i < 200; ++i)
        many += "GET /lock_on HTTP/1.1\r\n\r\n";
    amp->send(many);
    qsizetype seen = 0;
    QElapsedTimer clock;
    clock.start();
    while (seen < 200 && clock.elapsed() < kWaitMs) {
        QList<QByteArray> lines = m_sim->requestLines(0);
        QVERIFY(lines.size() >= seen);
        seen = lines.size();
        for (QByteArray &line : lines)
            line[0] = 'X';
        QTest::qWait(1);
    }
    QCOMPARE(seen, 200);
    QCOMPARE(m_sim->requestLines(0).first(), "GET /lock_on HTTP/1.1"_ba);
}

void tst_AmpSimulator::fastServerAnswersAlike()
{
    FastAmpServer server;
    const quint16 port = server.start({{u"127.0.0.43"_s, "AMP3", "STAGE"}, {u"127.0.0.44"_s, "AMP4", "FOH"}}, 0,
                                      20ms);
    QVERIFY(port != 0);
    QCOMPARE(server.start({{u"127.0.0.45"_s, "AMP5", "FOH"}}, 0, 0ms), quint16(0));  // once only
    Client amp(u"127.0.0.44"_s, port);
    QVERIFY(amp.connected());
    QElapsedTimer clock;
    clock.start();
    // Pipelined on one connection, answered in order, the rename first.
    amp.send("GET /name=XY HTTP/1.1\r\n\r\nGET /krv.krv HTTP/1.1\r\n\r\n");
    const Response renamed = amp.response();
    QVERIFY2(clock.elapsed() >= 15, QByteArray::number(clock.elapsed()).constData());  // timers may fire early
    QCOMPARE(renamed.lines[4], "Content-Length: 2\r\n"_ba);
    QCOMPARE(renamed.body, "OK"_ba);
    const Response status = amp.response();
    QCOMPARE(status.lines[4], "Content-Length: 3157\r\n"_ba);
    QCOMPARE(field(status.body, 75, 5), "FOH  "_ba);
    QCOMPARE(field(status.body, 80, 5), "XY   "_ba);
}

void tst_AmpSimulator::destructionIsPrompt()
{
    m_sim->setSlowBody(0, 1, 1s);
    m_sim->setFault(0, Fault::SlowBody);
    auto amp = client();
    amp->get("/krv.krv");
    QTRY_COMPARE(m_sim->requests(0).size(), 1);
    QElapsedTimer clock;
    clock.start();
    m_sim.reset();
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(amp->socket().state() == QAbstractSocket::UnconnectedState
            || amp->socket().waitForDisconnected(kWaitMs));
}

void tst_AmpSimulator::builtBlockHoldsChosenFields()
{
    StatusFields fields;
    fields.outputs = {512, 1, 2, 3, 1024, 65535};
    fields.mains = 314;
    fields.name = QByteArray("A\0BCD", 5);
    fields.group = "AB";
    fields.stateB = 2;
    fields.muteA = 7;
    fields.histories[5] = QByteArray(512, char(255));
    fields.histories[0] = "\x01\x02";
    const QByteArray block = buildStatusBlock(fields);
    QCOMPARE(block.size(), kSimulatedBlockSize);
    QCOMPARE(value16(block, 6), 512);
    QCOMPARE(value16(block, 8), 1);
    QCOMPARE(value16(block, 14), 1024);
    QCOMPARE(value16(block, 16), 65535);
    QCOMPARE(value16(block, 68), 314);
    QCOMPARE(field(block, 80, 5), QByteArray("A\0BCD", 5));
    QCOMPARE(field(block, 75, 5), "AB   "_ba);
    QCOMPARE(int(block[25]), 2);
    QCOMPARE(int(block[26]), 7);
    QCOMPARE(field(block, 85, 3), QByteArray("\x01\x02\x00", 3));
    QCOMPARE(quint8(block[2645]), 255);
    QCOMPARE(quint8(block[3156]), 255);
    QCOMPARE(field(block, 28, 46), "T1900100011.07a2.01 0.93 1.10 8.0 "_ba + '\0' + "4.0 "_ba + '\0'
                                       + field(block, 68, 2) + "045%"_ba);
}

void tst_AmpSimulator::historiesAdvanceWithTime()
{
    SimulatedState state;
    state.variation = 3;
    const qint64 t = 1'700'000'000'000;
    const QByteArray now = buildStatusBlock(simulatedFields(state, t));
    QCOMPARE(buildStatusBlock(simulatedFields(state, t)), now);  // repeatable
    const QByteArray later = buildStatusBlock(simulatedFields(state, t + kSimulatedHistoryStepMs));
    for (int h = 0; h < kSimulatedHistoryCount; ++h) {
        const int offset = 85 + h * kSimulatedHistorySamples;
        QCOMPARE(field(later, offset + 1, 511), field(now, offset, 511));
    }
    state.variation = 4;
    QVERIFY(field(buildStatusBlock(simulatedFields(state, t)), 85, 512) != field(now, 85, 512));
}

void tst_AmpSimulator::outputsFollowVolumeAndMute_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("muteA");
    QTest::addColumn<double>("gainA");
    QTest::addColumn<double>("gainB");
    QTest::newRow("0 dB") << "191191000000010010"_ba << 1 << 1.0 << 1.0;
    QTest::newRow("A 20 dB down, B at the bottom") << "151000000000010010"_ba << 1 << 0.1 << 0.0;
    QTest::newRow("A muted, no settings yet") << QByteArray() << 0 << 0.0 << 1.0;
}

// Voltages and currents scale with the volume's voltage ratio (so the
// power with its square), against the same amp at the same moment at 0 dB.
void tst_AmpSimulator::outputsFollowVolumeAndMute()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, muteA);
    QFETCH(double, gainA);
    QFETCH(double, gainB);
    SimulatedState state;
    state.groupSettings = settings;
    state.muteA = quint8(muteA);
    const qint64 t = 1'700'000'000'000;
    const StatusFields full = simulatedFields(SimulatedState{}, t);
    const StatusFields scaled = simulatedFields(state, t);
    for (std::size_t i = 0; i < full.outputs.size(); ++i)
        QVERIFY(qAbs(scaled.outputs[i] - full.outputs[i] * (i % 2 == 0 ? gainA : gainB)) <= 0.5);
}

QTEST_GUILESS_MAIN(tst_AmpSimulator)
#include "tst_ampsimulator.moc"

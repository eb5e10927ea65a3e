// The request text and the framing of a response, on bytes alone.

#include "exchange.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_Exchange final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requestText_data();
    void requestText();
    void announcedLength_data();
    void announcedLength();
    void framing_data();
    void framing();
    void bytesAfterTheResponseAreLeft();
    void lineTimeOutsYieldEmptyLines();
    void hugeBodyIsCountedNotKept();
    void endedAttemptIsJudgedByLengths_data();
    void endedAttemptIsJudgedByLengths();
};

void tst_Exchange::requestText_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("status fetch") << "/krv.krv"_ba << QByteArray() << "GET /krv.krv HTTP/1.1\r\n\r\n"_ba;
    QTest::newRow("spaces go unescaped")
        << "/name="_ba << "AB   "_ba << "GET /name=AB    HTTP/1.1\r\n\r\n"_ba;
}

void tst_Exchange::requestText()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, argument);
    QFETCH(QByteArray, expected);
    QCOMPARE(::requestText(path, argument), expected);
}

void tst_Exchange::announcedLength_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("expected");  // -1: not a length
    QTest::newRow("content length") << "Content-Length: 3157"_ba << 3157;
    QTest::newRow("digits only") << "0"_ba << 0;
    QTest::newRow("trailing text") << "len 42 bytes"_ba << 42;
    QTest::newRow("no digit") << "Content-Length: none"_ba << -1;
    QTest::newRow("empty") << QByteArray() << -1;
    QTest::newRow("text between numbers") << "Range: 12 of 20"_ba << -1;
    QTest::newRow("largest int") << "2147483647"_ba << 2147483647;
    QTest::newRow("too large") << "2147483648"_ba << -1;
    QTest::newRow("far too large") << "99999999999999999999999999"_ba << -1;
}

void tst_Exchange::announcedLength()
{
    QFETCH(QByteArray, line);
    QFETCH(int, expected);
    QCOMPARE(announcedLengthFromLine(line).value_or(-1), expected);
}

namespace {
QByteArray response(QByteArrayView lengthLine, QByteArrayView body, QByteArrayView eol = "\r\n")
{
    QByteArray text;
    for (const char *line : {"HTTP/1.1 200 OK", "Server: x", "Connection: keep-alive", "Content-Type: a/b"})
        text.append(line).append(eol);
    text.append(lengthLine).append(eol);
    text.append("Cache-Control: no-cache").append(eol).append(eol).append(body);
    return text;
}

constexpr int kKept = 10;
} // namespace

void tst_Exchange::framing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("pieceSize");  // feed in pieces of this many bytes
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<int>("announced");
    QTest::addColumn<QByteArray>("keptBody");

    const QByteArray body = "0123456789"_ba;
    QTest::newRow("whole") << response("Content-Length: 10", body) << 4096 << true << 10 << body;
    QTest::newRow("byte by byte") << response("Content-Length: 10", body) << 1 << true << 10 << body;
    QTest::newRow("LF only") << response("Content-Length: 10", body, "\n") << 7 << true << 10 << body;
    QTest::newRow("zero length") << response("Content-Length: 0", {}) << 4096 << true << 0 << QByteArray();
    QTest::newRow("other length not kept")
        << response("Content-Length: 3", "abc") << 4096 << true << 3 << QByteArray();
    QTest::newRow("short body pending")
        << response("Content-Length: 10", "01234") << 4096 << false << 10 << "01234"_ba;
    QTest::newRow("no digit in line 5")
        << response("Content-Length: none", body) << 4096 << false << -1 << QByteArray();
    // A fifth line of any length is parsed by its first and last digit.
    const QByteArray padding(5000, 'x');
    QTest::newRow("long fifth line")
        << response(padding + "Content-Length: 10" + padding, body) << 333 << true << 10 << body;
    QTest::newRow("long fifth line, text between numbers")
        << response("1" + padding + "0", body) << 4096 << false << -1 << QByteArray();
}

void tst_Exchange::framing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, pieceSize);
    QFETCH(bool, succeeded);
    QFETCH(int, announced);
    QFETCH(QByteArray, keptBody);

    ResponseReader reader(kKept);
    for (qsizetype at = 0; at < bytes.size() && !reader.isDone(); at += pieceSize)
        reader.feed(QByteArrayView(bytes).sliced(at, qMin<qsizetype>(pieceSize, bytes.size() - at)));
    QCOMPARE(reader.succeeded(), succeeded);
    QCOMPARE(reader.announcedLength(), announced);
    QCOMPARE(reader.keptBody(), keptBody);
}

void tst_Exchange::bytesAfterTheResponseAreLeft()
{
    const QByteArray first = response("Content-Length: 10", "0123456789");
    const QByteArray both = first + "HTTP/1.1"_ba;
    ResponseReader reader(kKept);
    QCOMPARE(reader.feed(both), first.size());
    QVERIFY(reader.succeeded());
}

void tst_Exchange::lineTimeOutsYieldEmptyLines()
{
    // A device that never answers: four empty lines, then an empty fifth line
    // that holds no length, so the attempt fails at the fifth time-out.
    ResponseReader silent(kKept);
    for (int i = 0; i < 4; ++i) {
        silent.lineTimedOut();
        QVERIFY(!silent.isDone());
    }
    silent.lineTimedOut();
    QCOMPARE(silent.phase(), ResponseReader::Phase::Failed);

    // A status line whose LF comes too late yields an empty first line; its
    // bytes stay and end the second line, so every later line shifts by one
    // and the fifth line read is the content type, which holds no length.
    const QByteArray late = response("Content-Length: 10", "0123456789");
    const qsizetype statusLine = late.indexOf('\r');
    ResponseReader shifted(kKept);
    shifted.feed(QByteArrayView(late).first(statusLine));
    shifted.lineTimedOut();
    QCOMPARE(shifted.linesRead(), 1);
    shifted.feed(QByteArrayView(late).sliced(statusLine));
    QCOMPARE(shifted.phase(), ResponseReader::Phase::Failed);
    QCOMPARE(shifted.announcedLength(), -1);
}

void tst_Exchange::hugeBodyIsCountedNotKept()
{
    ResponseReader reader(kKept);
    reader.feed(response("Content-Length: 2000000000", {}));
    QCOMPARE(reader.phase(), ResponseReader::Phase::Body);
    const QByteArray chunk(64 * 1024, 'x');
    for (int i = 0; i < 64; ++i)
        QCOMPARE(reader.feed(chunk), chunk.size());
    QCOMPARE(reader.bodyBytesReceived(), 64 * chunk.size());
    QVERIFY(reader.keptBody().isEmpty());
    QVERIFY(!reader.isDone());
}

void tst_Exchange::endedAttemptIsJudgedByLengths_data()
{
    QTest::addColumn<QByteArray>("bytes");  // then the connection ends
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<int>("announced");
    const QByteArray zero = response("Content-Length: 0", {});
    QTest::newRow("zero length, close before the seventh line")
        << zero.first(zero.size() - 2) << true << 0;
    QTest::newRow("zero length, close after the fifth line")
        << zero.first(zero.indexOf("Cache")) << true << 0;
    QTest::newRow("close before the fifth line") << zero.first(zero.indexOf("Content-Length")) << false << -1;
    QTest::newRow("short body") << response("Content-Length: 10", "01234") << false << 10;
}

void tst_Exchange::endedAttemptIsJudgedByLengths()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, succeeded);
    QFETCH(int, announced);
    ResponseReader reader(kKept);
    reader.feed(bytes);
    QVERIFY(!reader.isDone());
    reader.fail();
    QCOMPARE(reader.succeeded(), succeeded);
    QCOMPARE(reader.announcedLength(), announced);
}

QTEST_GUILESS_MAIN(tst_Exchange)
#include "tst_exchange.moc"

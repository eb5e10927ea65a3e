// The scan's reply reader on bytes alone: framings, failures and the body bound.

#include "httpreply.h"

#include <QTest>

using State = HttpReplyReader::State;

namespace {

constexpr qsizetype kLimit = 16;

QByteArray ok(const QByteArray &headers, const QByteArray &body)
{
    return "HTTP/1.1 200 OK\r\n" + headers + "\r\n" + body;
}

}  // namespace

class tst_HttpReply final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reply_data();
    void reply();
    void oversizedBodyStopsEarly();
    void headerFlood();
    void limitsHoldHoweverSplit_data();
    void limitsHoldHoweverSplit();
};

void tst_HttpReply::reply_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("closed");  // the peer closes after the bytes
    QTest::addColumn<State>("state");
    QTest::addColumn<QByteArray>("body");

    const QByteArray twelve = "twelve bytes";

    QTest::newRow("content length") << ok("Content-Length: 12\r\n", twelve) << false << State::Done << twelve;
    QTest::newRow("length header in any case")
        << ok("Server: x\r\ncontent-LENGTH:12\r\n", twelve) << false << State::Done << twelve;
    QTest::newRow("bytes after the body ignored")
        << ok("Content-Length: 5\r\n", twelve) << false << State::Done << QByteArray("twelv");
    QTest::newRow("zero length") << ok("Content-Length: 0\r\n", {}) << false << State::Done << QByteArray();
    QTest::newRow("length body cut by close") << ok("Content-Length: 12\r\n", "twelve") << true
                                              << State::Failed << QByteArray();
    QTest::newRow("length body still coming") << ok("Content-Length: 12\r\n", "twelve") << false
                                              << State::NeedMore << QByteArray();
    QTest::newRow("until close") << ok("Server: x\r\n", twelve) << true << State::Done << twelve;
    QTest::newRow("until close, still open") << ok("Server: x\r\n", twelve) << false
                                             << State::NeedMore << QByteArray();
    QTest::newRow("chunked") << ok("Transfer-Encoding: chunked\r\n", "5\r\ntwelv\r\n7;x=1\r\ne bytes\r\n0\r\n\r\n")
                             << false << State::Done << twelve;
    QTest::newRow("chunked wins over length")
        << ok("Content-Length: 3\r\nTransfer-Encoding: chunked\r\n", "c\r\ntwelve bytes\r\n0\r\nX: y\r\n\r\n")
        << false << State::Done << twelve;
    QTest::newRow("chunk without its CR LF") << ok("Transfer-Encoding: chunked\r\n", "2\r\ntwo0\r\n\r\n")
                                             << false << State::Failed << QByteArray();
    QTest::newRow("chunked cut by close") << ok("Transfer-Encoding: chunked\r\n", "c\r\ntwelve")
                                          << true << State::Failed << QByteArray();
    QTest::newRow("interim 100 skipped")
        << "HTTP/1.1 100 Continue\r\n\r\n" + ok("Content-Length: 12\r\n", twelve) << false << State::Done << twelve;
    QTest::newRow("204 has no body") << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << false << State::Done
                                     << QByteArray();
    QTest::newRow("HTTP/1.0") << QByteArray("HTTP/1.0 200 OK\r\n\r\n" + twelve) << true << State::Done << twelve;

    QTest::newRow("not found status") << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 12\r\n\r\n" + twelve)
                                      << false << State::Failed << QByteArray();
    QTest::newRow("redirect") << QByteArray("HTTP/1.1 301 Moved\r\nContent-Length: 0\r\n\r\n") << false
                              << State::Failed << QByteArray();
    QTest::newRow("not HTTP") << QByteArray("SSH-2.0-OpenSSH\r\n\r\n") << false << State::Failed << QByteArray();
    QTest::newRow("status not a number") << QByteArray("HTTP/1.1 2x0 OK\r\n\r\n") << false << State::Failed
                                         << QByteArray();
    QTest::newRow("length not a number") << ok("Content-Length: none\r\n", twelve) << false << State::Failed
                                         << QByteArray();
    QTest::newRow("negative length") << ok("Content-Length: -12\r\n", twelve) << false << State::Failed
                                     << QByteArray();
    QTest::newRow("header line without colon") << ok("Range 12 of 20\r\n", twelve) << false << State::Failed
                                               << QByteArray();
    QTest::newRow("head cut by close") << QByteArray("HTTP/1.1 200 OK\r\nContent-") << true << State::Failed
                                       << QByteArray();
    QTest::newRow("nothing before close") << QByteArray() << true << State::Failed << QByteArray();
}

// Every row is fed at once and again one byte at a time: the outcome must
// not depend on how the bytes are split.
void tst_HttpReply::reply()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, closed);
    QFETCH(State, state);
    QFETCH(QByteArray, body);

    HttpReplyReader whole(kLimit);
    whole.feed(bytes);
    HttpReplyReader split(kLimit);
    for (const char byte : std::as_const(bytes))
        split.feed(QByteArrayView(&byte, 1));

    for (HttpReplyReader *reader : {&whole, &split}) {
        if (closed)
            reader->peerClosed();
        QCOMPARE(reader->state(), state);
        if (state == State::Done)
            QCOMPARE(reader->body(), body);
    }
}

// A body past the limit is reported as soon as it has grown one byte past
// it, whatever length was announced, and no more of it is kept.
void tst_HttpReply::oversizedBodyStopsEarly()
{
    const QByteArray filler(kLimit + 1, 'x');
    for (const QByteArray &head : {QByteArray("Content-Length: 2000000000\r\n"), QByteArray("Server: x\r\n"),
                                   QByteArray("Transfer-Encoding: chunked\r\n")}) {
        HttpReplyReader reader(kLimit);
        const bool chunked = head.startsWith("Transfer");
        reader.feed(ok(head, chunked ? "77359400\r\n" : ""));
        for (int i = 0; i < kLimit; ++i)
            QCOMPARE(reader.feed("x"), State::NeedMore);
        QCOMPARE(reader.feed(filler), State::Done);
        QCOMPARE(reader.body().size(), kLimit + 1);
    }
}

void tst_HttpReply::headerFlood()
{
    HttpReplyReader reader(kLimit, 64);
    reader.feed("HTTP/1.1 200 OK\r\n");
    QCOMPARE(reader.feed(QByteArray(80, 'h')), State::Failed);
}

void tst_HttpReply::limitsHoldHoweverSplit_data()
{
    constexpr qsizetype headLimit = 64;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<State>("state");

    // A head of exactly n bytes before its CR LF CR LF.
    const auto head = [](qsizetype n) {
        const QByteArray start = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX: ";
        return start + QByteArray(n - start.size(), 'h') + "\r\n\r\nok";
    };
    QTest::newRow("head at the limit") << head(headLimit) << State::Done;
    QTest::newRow("empty line starts at the limit") << head(headLimit - 2) << State::Done;
    QTest::newRow("head one past the limit") << head(headLimit + 1) << State::Failed;

    const auto chunkLine = [](qsizetype n) {
        const QByteArray size = "2;";
        return ok("Transfer-Encoding: chunked\r\n", size + QByteArray(n - size.size(), 'e') + "\r\nok\r\n0\r\n\r\n");
    };
    QTest::newRow("chunk line at the limit") << chunkLine(headLimit) << State::Done;
    QTest::newRow("chunk line one past the limit") << chunkLine(headLimit + 1) << State::Failed;
}

// The verdict on a head or line near its limit is the same whole, byte by
// byte and split in two at every point.
void tst_HttpReply::limitsHoldHoweverSplit()
{
    QFETCH(QByteArray, bytes);
    QFETCH(State, state);

    const auto verdict = [&bytes](qsizetype pieceBytes, qsizetype firstPiece) {
        HttpReplyReader reader(kLimit, 64);
        reader.feed(QByteArrayView(bytes).first(firstPiece));
        for (qsizetype at = firstPiece; at < bytes.size(); at += pieceBytes)
            reader.feed(QByteArrayView(bytes).sliced(at, qMin(pieceBytes, bytes.size() - at)));
        return reader.state();
    };
    QCOMPARE(verdict(1, 0), state);
    for (qsizetype split = 0; split <= bytes.size(); ++split)
        QCOMPARE(verdict(bytes.size(), split), state);
}

QTEST_APPLESS_MAIN(tst_HttpReply)
#include "tst_httpreply.moc"

#pragma once

// The amplifier's HTTP exchange as bytes, without any socket.
//
// The request is one piece of text: "GET " + path + argument + " HTTP/1.1"
// and two line ends. The argument is appended without any escaping.
//
// The response is framed by position, not by header names: four lines are
// skipped, the fifth carries the body length, two more lines are skipped and
// then exactly that many body bytes follow. This fits a status line followed
// by exactly five header lines (the fourth being Content-Length) and the
// empty line.

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

QByteArray requestText(QByteArrayView path, QByteArrayView argument);

// Body length from the fifth response line: characters are dropped from the
// front until the first is a digit and from the end until the last is one;
// the rest must read as a decimal number that fits a signed 32-bit integer.
std::optional<int> announcedLengthFromLine(QByteArrayView line);

// The same rule applied to a line that arrives in pieces, in constant memory
// whatever the line's length.
class LengthLineParser final
{
public:
    void feed(QByteArrayView piece);
    std::optional<int> result() const;

private:
    bool m_seenDigit = false;
    bool m_afterDigits = false;  // a non-digit followed the run of digits
    bool m_invalid = false;      // digits, other characters, digits again
    qint64 m_value = 0;          // capped just above the largest int
};

// Reads one response from a stream of bytes fed to it in arbitrary pieces.
//
// How to drive it: construct one per attempt, then call feed() with whatever
// bytes arrive, in order and in pieces of any size (empty ones included),
// until isDone(). feed() returns how many bytes it took; bytes after the end
// of the response are left to the caller. When a line read runs out of time,
// call lineTimedOut(); when the connection ends or the body read runs out of
// time, call fail(). Then read succeeded(), announcedLength() and keptBody().
//
// Memory is bounded whatever the device sends: lines are not kept (the fifth
// is parsed as it streams by), and the body is kept only when it has the
// length of a status block; any other body is counted and discarded.
class ResponseReader final
{
public:
    enum class Phase { Lines, Body, Succeeded, Failed };

    static constexpr int kLinesBeforeBody = 7;
    static constexpr int kLengthLine = 5;

    // A body of this length is kept; every other length is only counted.
    explicit ResponseReader(int keptBodyLength);

    // Consumes bytes of the response and returns how many it took. Bytes
    // after the end of the response are not taken; they belong to whatever
    // the device sends next.
    qsizetype feed(QByteArrayView bytes);

    // The current line read ran out of time: it yields an empty line. The
    // bytes of the line received so far stay in the input and start the next.
    void lineTimedOut();

    // The connection ended, a write failed or the body did not arrive in
    // time: the attempt ends with what it has. It still succeeds when the
    // body received has the announced length (an announced 0, say, followed
    // by a close), as the exchange is judged by lengths alone.
    void fail();

    Phase phase() const { return m_phase; }
    bool isDone() const { return m_phase == Phase::Succeeded || m_phase == Phase::Failed; }
    bool succeeded() const { return m_phase == Phase::Succeeded; }

    int linesRead() const { return m_linesRead; }

    // -1 until the fifth line has been read and parsed.
    int announcedLength() const { return m_announced; }
    qint64 bodyBytesReceived() const { return m_bodyReceived; }

    // The body, when its announced length was the kept length.
    const QByteArray &keptBody() const { return m_body; }
    QByteArray takeKeptBody() { return std::move(m_body); }

private:
    void finishLine(bool timedOut);
    void checkBodyComplete();

    int m_keptLength;
    Phase m_phase = Phase::Lines;
    int m_linesRead = 0;
    LengthLineParser m_lengthLine;  // over the bytes of the current line
    int m_announced = -1;
    qint64 m_bodyReceived = 0;
    QByteArray m_body;
};

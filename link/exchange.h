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

// Reads one response from a stream of bytes fed to it in arbitrary pieces.
// It keeps the body only when it has the length of a status block; any other
// body is counted and discarded, so what a device announces never decides how
// much memory is held. Lines are kept up to kMaxKeptLineLength bytes.
class ResponseReader final
{
public:
    enum class Phase { Lines, Body, Succeeded, Failed };

    static constexpr int kLinesBeforeBody = 7;
    static constexpr int kLengthLine = 5;
    static constexpr qsizetype kMaxKeptLineLength = 1024;

    // A body of this length is kept; every other length is only counted.
    explicit ResponseReader(int keptBodyLength);

    // Consumes bytes of the response and returns how many it took. Bytes
    // after the end of the response are not taken; they belong to whatever
    // the device sends next.
    qsizetype feed(QByteArrayView bytes);

    // The current line read ran out of time: it yields an empty line.
    void lineTimedOut();

    // The connection ended or the body did not arrive in time.
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

private:
    void finishLine();
    void checkBodyComplete();

    int m_keptLength;
    Phase m_phase = Phase::Lines;
    int m_linesRead = 0;
    QByteArray m_line;
    bool m_lineOverflow = false;
    int m_announced = -1;
    qint64 m_bodyReceived = 0;
    QByteArray m_body;
};

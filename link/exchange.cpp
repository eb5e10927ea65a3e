#include "exchange.h"

#include <limits>

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

constexpr qint64 kLargestLength = std::numeric_limits<int>::max();
} // namespace

QByteArray requestText(QByteArrayView path, QByteArrayView argument)
{
    static constexpr QByteArrayView get = "GET ";
    static constexpr QByteArrayView tail = " HTTP/1.1\r\n\r\n";
    QByteArray text;
    text.reserve(get.size() + path.size() + argument.size() + tail.size());
    text.append(get).append(path).append(argument).append(tail);
    return text;
}

std::optional<int> announcedLengthFromLine(QByteArrayView line)
{
    LengthLineParser parser;
    parser.feed(line);
    return parser.result();
}

void LengthLineParser::feed(QByteArrayView piece)
{
    for (const char c : piece) {
        if (!isDigit(c)) {
            m_afterDigits = m_seenDigit;
            continue;
        }
        if (m_afterDigits)
            m_invalid = true;
        m_seenDigit = true;
        if (m_value <= kLargestLength)
            m_value = m_value * 10 + (c - '0');
    }
}

std::optional<int> LengthLineParser::result() const
{
    if (!m_seenDigit || m_invalid || m_value > kLargestLength)
        return std::nullopt;
    return static_cast<int>(m_value);
}

ResponseReader::ResponseReader(int keptBodyLength)
    : m_keptLength(keptBodyLength)
{
}

qsizetype ResponseReader::feed(QByteArrayView bytes)
{
    qsizetype taken = 0;
    while (taken < bytes.size() && m_phase == Phase::Lines) {
        const QByteArrayView rest = bytes.sliced(taken);
        const qsizetype lf = rest.indexOf('\n');
        const QByteArrayView piece = lf < 0 ? rest : rest.first(lf);
        if (m_linesRead < kLengthLine)
            m_lengthLine.feed(piece);
        taken += lf < 0 ? rest.size() : lf + 1;
        if (lf >= 0)
            finishLine(false);
    }
    if (m_phase == Phase::Body && taken < bytes.size()) {
        const qint64 wanted = m_announced - m_bodyReceived;
        const qsizetype chunk = static_cast<qsizetype>(qMin<qint64>(wanted, bytes.size() - taken));
        if (m_announced == m_keptLength)
            m_body.append(bytes.sliced(taken, chunk));
        m_bodyReceived += chunk;
        taken += chunk;
        checkBodyComplete();
    }
    return taken;
}

void ResponseReader::lineTimedOut()
{
    if (m_phase == Phase::Lines)
        finishLine(true);
}

void ResponseReader::fail()
{
    if (isDone())
        return;
    m_phase = m_announced >= 0 && m_bodyReceived == m_announced ? Phase::Succeeded : Phase::Failed;
}

void ResponseReader::finishLine(bool timedOut)
{
    ++m_linesRead;
    if (m_linesRead == kLengthLine) {
        // A timed-out fifth line is empty: no length.
        const std::optional<int> length = timedOut ? std::nullopt : m_lengthLine.result();
        if (!length) {
            m_phase = Phase::Failed;
            return;
        }
        m_announced = *length;
        if (m_announced == m_keptLength)
            m_body.reserve(m_keptLength);
    }
    // A line that ran out of time leaves its bytes to the next one, so its
    // part of the parse carries over.
    if (!timedOut)
        m_lengthLine = {};
    if (m_linesRead == kLinesBeforeBody) {
        m_phase = Phase::Body;
        checkBodyComplete();
    }
}

void ResponseReader::checkBodyComplete()
{
    if (m_bodyReceived == m_announced)
        m_phase = Phase::Succeeded;
}

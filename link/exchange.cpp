#include "exchange.h"

#include <limits>

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
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
    qsizetype first = 0;
    while (first < line.size() && !isDigit(line[first]))
        ++first;
    qsizetype last = line.size() - 1;
    while (last >= first && !isDigit(line[last]))
        --last;
    if (first > last)
        return std::nullopt;

    qint64 value = 0;
    for (qsizetype i = first; i <= last; ++i) {
        if (!isDigit(line[i]))
            return std::nullopt;
        value = value * 10 + (line[i] - '0');
        if (value > std::numeric_limits<int>::max())
            return std::nullopt;
    }
    return static_cast<int>(value);
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
        const qsizetype room = kMaxKeptLineLength - m_line.size();
        if (piece.size() > room)
            m_lineOverflow = true;
        m_line.append(piece.first(qMin(piece.size(), qMax<qsizetype>(room, 0))));
        taken += lf < 0 ? rest.size() : lf + 1;
        if (lf >= 0)
            finishLine();
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
    if (m_phase != Phase::Lines)
        return;
    // The partial line stays in the input, as it would in a buffered reader;
    // the line read itself yields nothing.
    const QByteArray partial = std::exchange(m_line, {});
    const bool overflow = std::exchange(m_lineOverflow, false);
    finishLine();
    if (m_phase == Phase::Lines) {
        m_line = partial;
        m_lineOverflow = overflow;
    }
}

void ResponseReader::fail()
{
    if (!isDone())
        m_phase = Phase::Failed;
}

void ResponseReader::finishLine()
{
    if (m_line.endsWith('\r') && !m_lineOverflow)
        m_line.chop(1);
    ++m_linesRead;
    if (m_linesRead == kLengthLine) {
        const std::optional<int> length = announcedLengthFromLine(m_line);
        if (!length) {
            m_phase = Phase::Failed;
            return;
        }
        m_announced = *length;
        if (m_announced == m_keptLength)
            m_body.reserve(m_keptLength);
    }
    m_line.clear();
    m_lineOverflow = false;
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

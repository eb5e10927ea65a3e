#include "httpreply.h"

#include <QList>

#include <optional>

namespace {

// A decimal or hexadecimal number with nothing but blanks around it; nothing
// when it is missing, malformed or beyond 2^62.
std::optional<qint64> parseCount(QByteArrayView text, int base)
{
    const QByteArray trimmed = text.trimmed().toByteArray();
    if (trimmed.isEmpty() || trimmed.size() > 16)
        return std::nullopt;
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok, base);
    if (!ok || value < 0 || trimmed.startsWith('+') || trimmed.startsWith('-'))
        return std::nullopt;
    return value;
}

// Where the line or head that the terminator ends stops in the bytes received
// so far, looking only where a terminator within the limit could be, so that
// the verdict never depends on how the bytes were split on their way.
enum : qsizetype { kNeedMore = -1, kTooLong = -2 };
qsizetype terminatorWithin(const QByteArray &pending, QByteArrayView terminator, qsizetype limit)
{
    const qsizetype window = limit + terminator.size();
    const qsizetype end = QByteArrayView(pending).first(qMin(pending.size(), window)).indexOf(terminator);
    if (end >= 0)
        return end;
    return pending.size() >= window ? kTooLong : kNeedMore;
}

}  // namespace

HttpReplyReader::HttpReplyReader(qsizetype bodyLimit, qsizetype headerLimit)
    : m_bodyLimit(bodyLimit), m_headerLimit(headerLimit)
{
}

HttpReplyReader::State HttpReplyReader::feed(QByteArrayView bytes)
{
    if (m_state != State::NeedMore)
        return m_state;
    m_pending.append(bytes);
    if (m_phase == Phase::Head) {
        const State head = parseHead();
        if (head != State::NeedMore || m_phase == Phase::Head)
            return head;
    }
    return parseBody();
}

HttpReplyReader::State HttpReplyReader::peerClosed()
{
    if (m_state != State::NeedMore)
        return m_state;
    if (m_phase == Phase::Body && m_framing == Framing::UntilClose)
        return finish();
    return fail();
}

HttpReplyReader::State HttpReplyReader::parseHead()
{
    // Interim 1xx responses are skipped: the final response follows them.
    for (;;) {
        const qsizetype end = terminatorWithin(m_pending, "\r\n\r\n", m_headerLimit);
        if (end < 0)
            return end == kTooLong ? fail() : State::NeedMore;

        const QList<QByteArray> lines = m_pending.left(end).split('\n');
        m_pending.remove(0, end + 4);

        const QList<QByteArray> status = lines.first().trimmed().split(' ');
        if (status.size() < 2 || !status[0].startsWith("HTTP/1.") || status[1].size() != 3)
            return fail();
        bool ok = false;
        const int code = status[1].toInt(&ok);
        if (!ok)
            return fail();
        if (code >= 100 && code < 200)
            continue;
        if (code < 200 || code > 299)
            return fail();

        m_framing = Framing::UntilClose;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray &line = lines[i];
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                return fail();
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "transfer-encoding" && value.toLower() != "identity") {
                m_framing = Framing::Chunked;
            } else if (name == "content-length" && m_framing != Framing::Chunked) {
                const std::optional<qint64> length = parseCount(value, 10);
                if (!length)
                    return fail();
                m_framing = Framing::Length;
                m_remaining = *length;
            }
        }
        if (code == 204 || code == 304)
            return finish();
        m_phase = m_framing == Framing::Chunked ? Phase::ChunkSize : Phase::Body;
        return State::NeedMore;
    }
}

HttpReplyReader::State HttpReplyReader::parseBody()
{
    if (m_framing == Framing::Chunked)
        return parseChunked();
    if (m_framing == Framing::Length) {
        const State state = takeBody(qsizetype(qMin<qint64>(m_remaining, m_pending.size())));
        return state == State::NeedMore && m_remaining == 0 ? finish() : state;
    }
    return takeBody(m_pending.size());
}

// Moves count pending bytes into the body; once the body has grown past its
// limit the reply's length is known to be wrong, and reading stops there.
HttpReplyReader::State HttpReplyReader::takeBody(qsizetype count)
{
    const qsizetype room = m_bodyLimit + 1 - m_body.size();
    m_body.append(m_pending.constData(), qMin(count, room));
    m_pending.remove(0, count);
    m_remaining -= count;
    return m_body.size() > m_bodyLimit ? finish() : State::NeedMore;
}

HttpReplyReader::State HttpReplyReader::parseChunked()
{
    for (;;) {
        switch (m_phase) {
        case Phase::ChunkSize: {
            const qsizetype end = terminatorWithin(m_pending, "\r\n", m_headerLimit);
            if (end < 0)
                return end == kTooLong ? fail() : State::NeedMore;
            QByteArrayView size = QByteArrayView(m_pending).first(end);
            if (const qsizetype semicolon = size.indexOf(';'); semicolon >= 0)
                size = size.first(semicolon);  // chunk extensions are ignored
            const std::optional<qint64> count = parseCount(size, 16);
            if (!count)
                return fail();
            m_pending.remove(0, end + 2);
            m_remaining = *count;
            m_phase = *count == 0 ? Phase::Trailer : Phase::ChunkData;
            break;
        }
        case Phase::ChunkData: {
            const State state = takeBody(qsizetype(qMin<qint64>(m_remaining, m_pending.size())));
            if (state != State::NeedMore)
                return state;
            if (m_remaining > 0)
                return State::NeedMore;
            m_phase = Phase::ChunkDataEnd;
            break;
        }
        case Phase::ChunkDataEnd:
            if (m_pending.size() < 2)
                return State::NeedMore;
            if (!m_pending.startsWith("\r\n"))
                return fail();
            m_pending.remove(0, 2);
            m_phase = Phase::ChunkSize;
            break;
        case Phase::Trailer: {
            const qsizetype end = terminatorWithin(m_pending, "\r\n", m_headerLimit);
            if (end < 0)
                return end == kTooLong ? fail() : State::NeedMore;
            m_pending.remove(0, end + 2);
            if (end == 0)
                return finish();
            break;
        }
        case Phase::Head:
        case Phase::Body:
            return fail();
        }
    }
}

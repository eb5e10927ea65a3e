#include "requesthead.h"

#include <optional>

namespace RequestHead {

namespace {

bool isTokenCharacter(char c)
{
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (!isTokenCharacter(c))
            return false;
    }
    return true;
}

// Visible ASCII only: a target carries no blank, control or 8-bit byte.
bool isTarget(QByteArrayView text)
{
    if (!text.startsWith('/'))
        return false;
    for (const char c : text) {
        if (c <= ' ' || c >= 0x7f)
            return false;
    }
    return true;
}

// A field value may hold blanks and tabs, no other control byte.
bool isFieldValue(QByteArrayView text)
{
    for (const char c : text) {
        if ((c >= 0 && c < ' ' && c != '\t') || c == 0x7f)
            return false;
    }
    return true;
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

// Lines of the head: each without its LF and the CR before it.
class Lines
{
public:
    explicit Lines(QByteArrayView bytes) : m_bytes(bytes) {}

    // The next whole line, none when no LF follows within the bounds.
    std::optional<QByteArrayView> next()
    {
        const qsizetype end = m_bytes.indexOf('\n', m_at);
        if (end < 0)
            return std::nullopt;
        QByteArrayView line = m_bytes.sliced(m_at, end - m_at);
        if (line.endsWith('\r'))
            line.chop(1);
        m_at = end + 1;
        return line;
    }
    qsizetype consumed() const { return m_at; }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

bool hasToken(QByteArrayView list, QByteArrayView token)
{
    while (true) {
        const qsizetype comma = list.indexOf(',');
        if (trimmed(comma < 0 ? list : list.first(comma)).compare(token, Qt::CaseInsensitive) == 0)
            return true;
        if (comma < 0)
            return false;
        list = list.sliced(comma + 1);
    }
}

bool readRequestLine(QByteArrayView line, Head &head, bool &http10)
{
    const qsizetype firstSpace = line.indexOf(' ');
    const qsizetype lastSpace = line.lastIndexOf(' ');
    if (firstSpace <= 0 || lastSpace == firstSpace)
        return false;
    const QByteArrayView method = line.first(firstSpace);
    const QByteArrayView target = line.sliced(firstSpace + 1, lastSpace - firstSpace - 1);
    const QByteArrayView version = line.sliced(lastSpace + 1);
    if (!isToken(method) || !isTarget(target))
        return false;
    if (version == "HTTP/1.0")
        http10 = true;
    else if (version != "HTTP/1.1")
        return false;
    head.method = method.toByteArray();
    head.target = target.toByteArray();
    return true;
}

bool readField(QByteArrayView line, Head &head, bool http10, bool &keepAliveAsked, bool &closeAsked)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0 || !isToken(line.first(colon)))
        return false;
    const QByteArrayView name = line.first(colon);
    const QByteArrayView value = trimmed(line.sliced(colon + 1));
    if (!isFieldValue(value))
        return false;
    if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
        if (value.isEmpty())
            return false;
        bool nonZero = false;
        for (const char c : value) {
            if (c < '0' || c > '9')
                return false;
            nonZero = nonZero || c != '0';
        }
        head.hasBody = head.hasBody || nonZero;
    } else if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0) {
        head.hasBody = true;
    } else if (name.compare("Host", Qt::CaseInsensitive) == 0) {
        if (head.hasHost)
            return false;
        head.hasHost = true;
        head.host = value.toByteArray();
    } else if (name.compare("Connection", Qt::CaseInsensitive) == 0) {
        closeAsked = closeAsked || hasToken(value, "close");
        keepAliveAsked = keepAliveAsked || (http10 && hasToken(value, "keep-alive"));
    }
    return true;
}

} // namespace

Head parse(QByteArrayView bytes)
{
    Head head;
    const QByteArrayView bounded = bytes.first(std::min(bytes.size(), kMaxBytes));
    const auto unfinished = [&] {
        head.outcome = bytes.size() >= kMaxBytes ? Outcome::TooLarge : Outcome::Incomplete;
        return head;
    };
    const auto malformed = [&] {
        head.outcome = Outcome::Malformed;
        return head;
    };

    Lines lines(bounded);
    std::optional<QByteArrayView> line = lines.next();
    while (line && line->isEmpty())
        line = lines.next();
    if (!line) {
        // A request line that does not end within the bounds: its target is too long.
        if (bytes.size() >= kMaxBytes && !bounded.contains('\n')) {
            head.outcome = Outcome::TargetTooLong;
            return head;
        }
        return unfinished();
    }
    bool http10 = false;
    if (!readRequestLine(*line, head, http10))
        return malformed();
    if (head.target.size() > kMaxTargetBytes) {
        head.outcome = Outcome::TargetTooLong;
        return head;
    }

    bool keepAliveAsked = false;
    bool closeAsked = false;
    for (line = lines.next(); line; line = lines.next()) {
        if (line->isEmpty()) {
            head.outcome = Outcome::Complete;
            head.length = lines.consumed();
            head.keepAlive = !closeAsked && (!http10 || keepAliveAsked);
            return head;
        }
        if (!readField(*line, head, http10, keepAliveAsked, closeAsked))
            return malformed();
    }
    return unfinished();
}

} // namespace RequestHead

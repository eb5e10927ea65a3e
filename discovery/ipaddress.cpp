#include "ipaddress.h"

#include <limits>

namespace {

bool isBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || (u >= u'\t' && u <= u'\r');
}

bool isDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

class Reader final
{
public:
    explicit Reader(QStringView text) : m_text(text) {}

    void skipBlanks()
    {
        while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
            ++m_pos;
    }

    bool take(QChar c)
    {
        if (m_pos >= m_text.size() || m_text[m_pos] != c)
            return false;
        ++m_pos;
        return true;
    }

    // A run of digits and minus signs that reads as one integer: at most one
    // minus sign, first, then at least one digit. Saturates at the limits of
    // a signed 64-bit integer, then is cut to its low 32 bits.
    std::optional<quint32> integer()
    {
        skipBlanks();
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && (isDigit(m_text[m_pos]) || m_text[m_pos] == u'-'))
            ++m_pos;
        QStringView run = m_text.sliced(start, m_pos - start);
        const bool negative = run.startsWith(u'-');
        if (negative)
            run = run.sliced(1);
        if (run.isEmpty() || run.contains(u'-'))
            return std::nullopt;

        constexpr quint64 limit = quint64(std::numeric_limits<qint64>::max());
        const quint64 bound = negative ? limit + 1 : limit;
        quint64 magnitude = 0;
        for (const QChar c : run) {
            const quint64 digit = quint64(c.unicode() - u'0');
            magnitude = magnitude > (bound - digit) / 10 ? bound : magnitude * 10 + digit;
        }
        const quint64 value = negative ? ~magnitude + 1 : magnitude;  // two's complement
        return quint32(value & 0xFFFFFFFFu);
    }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

}  // namespace

std::optional<quint32> addressNumber(QStringView text)
{
    Reader reader(text);
    quint32 number = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            reader.skipBlanks();
            if (!reader.take(u'.'))
                return std::nullopt;
        }
        const std::optional<quint32> value = reader.integer();
        if (!value)
            return std::nullopt;
        // Shifting the full 32-bit value lets a part above 255 or below 0
        // spill into the octets above it.
        number |= *value << (8 * (3 - part));
    }
    return number;
}

QString addressText(quint32 number)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(number >> 24)
        .arg((number >> 16) & 0xFFu)
        .arg((number >> 8) & 0xFFu)
        .arg(number & 0xFFu);
}

#include "codepage1252.h"

#include <array>

namespace {

// Bytes 0x80..0x9F. The five bytes the code page leaves undefined map to the
// control characters of the same value, so that any byte survives a round trip.
constexpr std::array<char16_t, 32> kHighControlRange{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char kUnmappable = '?';

char encoded(char32_t code)
{
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
        return static_cast<char>(code);
    for (std::size_t i = 0; i < kHighControlRange.size(); ++i) {
        if (kHighControlRange[i] == code)
            return static_cast<char>(0x80 + i);
    }
    return kUnmappable;
}

} // namespace

QString fromCodePage1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const bool high = byte >= 0x80 && byte < 0xA0;
        text[i] = QChar(high ? kHighControlRange[byte - 0x80u] : char16_t{byte});
    }
    return text;
}

QByteArray toCodePage1252(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        // One '?' for a character outside the basic plane, not one per half.
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        bytes.append(encoded(code));
    }
    return bytes;
}

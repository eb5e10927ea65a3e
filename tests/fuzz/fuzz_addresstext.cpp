// Address texts as the operator might type them. Whatever the parser accepts,
// C's sscanf("%d.%d.%d.%d") reads to the same number once the blanks before
// each dot are taken out (the parser skips them, sscanf does not; it is
// stricter otherwise: no plus sign, no minus sign after the digits of a run),
// and every address number's text reads back to the number.

#include "ipaddress.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string withoutBlanksBeforeDots(const std::string &text)
{
    std::string result;
    for (const char c : text) {
        if (c == '.') {
            while (!result.empty() && isBlank(result.back()))
                result.pop_back();
        }
        result += c;
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::optional<quint32> number = addressNumber(QString::fromLatin1(bytes.data(), qsizetype(size)));
    addressNumber(QString::fromUtf8(bytes.data(), qsizetype(size)));

    if (number) {
        // sscanf stops at a zero byte; compare where it sees the whole text.
        const bool comparable = bytes.find('\0') == std::string::npos;
        int a = 0, b = 0, c = 0, d = 0;
        if (comparable && std::sscanf(withoutBlanksBeforeDots(bytes).c_str(), "%d.%d.%d.%d", &a, &b, &c, &d) == 4) {
            const quint32 scanned = quint32(a) << 24 | quint32(b) << 16 | quint32(c) << 8 | quint32(d);
            if (scanned != *number)
                std::abort();
        } else if (comparable) {
            std::abort();
        }
        if (addressNumber(addressText(*number)) != number)
            std::abort();
    }
    return 0;
}

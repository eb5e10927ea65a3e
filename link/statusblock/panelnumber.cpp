#include "panelnumber.h"

#include <algorithm>

namespace PanelNumber {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Where the run of digits starting at from ends.
qsizetype digitsEnd(QStringView text, qsizetype from)
{
    while (from < text.size() && isDigit(text[from]))
        ++from;
    return from;
}

} // namespace

std::optional<double> read(QStringView text)
{
    qsizetype start = 0;
    while (start < text.size() && text[start] == u' ')
        ++start;
    qsizetype end = start;
    if (end < text.size() && text[end] == u'-')
        ++end;
    const qsizetype wholeEnd = digitsEnd(text, end);
    if (wholeEnd == end)
        return std::nullopt;
    end = wholeEnd;
    if (end + 1 < text.size() && text[end] == u'.' && isDigit(text[end + 1]))
        end = digitsEnd(text, end + 1);
    const QStringView rest = text.sliced(end);
    if (std::any_of(rest.begin(), rest.end(), isDigit))
        return std::nullopt;
    bool ok = false;
    const double value = text.sliced(start, end - start).toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

std::optional<double> field(const StatusBlock &block, int offset, int width)
{
    return read(StatusBlockReader::displayText(block, offset, width));
}

} // namespace PanelNumber

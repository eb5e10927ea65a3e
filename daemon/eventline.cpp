#include "eventline.h"

using namespace Qt::StringLiterals;

namespace EventLine {

QString printable(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < 0x20 || (code >= 0x7f && code < 0xa0))
            result += u"\\x"_s + QString::number(code, 16).rightJustified(2, u'0');
        else
            result += c;
    }
    return result;
}

QString line(const FleetEvent &event)
{
    return event.time.toString(u"yyyy-MM-dd hh:mm:ss.zzz"_s) + u'\t' + FleetEvents::severityText(event.severity)
           + u'\t' + printable(event.amplifier) + u'\t' + printable(event.text);
}

} // namespace EventLine

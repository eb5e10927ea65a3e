#include "fleetevent.h"

#include "names.h"

using namespace Qt::StringLiterals;

namespace FleetEvents {

QString severityText(EventSeverity severity)
{
    switch (severity) {
    case EventSeverity::Info:
        return u"Info"_s;
    case EventSeverity::Warning:
        return u"Warning"_s;
    case EventSeverity::Alarm:
        break;
    }
    return u"Alarm"_s;
}

QString amplifier(const QString &name, const QString &address)
{
    const QString trimmed = withoutTrailingBlanks(name);
    return trimmed.isEmpty() ? address : trimmed + u" ("_s + address + u')';
}

QString duration(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    if (seconds < 60)
        return QString::number(milliseconds / 100 / 10) + u'.' + QString::number(milliseconds / 100 % 10) + u" s"_s;
    if (seconds < 3600)
        return QString::number(seconds / 60) + u" min "_s + QString::number(seconds % 60) + u" s"_s;
    return QString::number(seconds / 3600) + u" h "_s + QString::number(seconds / 60 % 60) + u" min"_s;
}

} // namespace FleetEvents

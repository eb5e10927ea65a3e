#pragma once

// One entry of the event log: what happened to an amplifier or what the
// operator did, when, and how much it matters.

#include <QDateTime>
#include <QString>

enum class EventSeverity { Info, Warning, Alarm };

struct FleetEvent
{
    QDateTime time;  // local time
    EventSeverity severity = EventSeverity::Info;
    QString amplifier;  // "NAME (address)"; empty for the program or a group
    QString text;
};

namespace FleetEvents {

QString severityText(EventSeverity severity);  // "Info", "Warning", "Alarm"

// How the log names an amplifier: its name without trailing blanks and its
// address, "AMP1 (127.0.0.9)".
QString amplifier(const QString &name, const QString &address);

// "12.3 s", "4 min 5 s", "2 h 3 min": how long something lasted.
QString duration(qint64 milliseconds);

} // namespace FleetEvents

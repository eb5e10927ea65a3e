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
    quint64 deviceId = 0;  // the amplifier's device id; 0 for the program or a group
    QString source{};      // who gave the command: "window", "OSC 10.0.0.7"; empty for what the fleet did
    quint64 id = 0;        // given by the log: rises by one per event for the whole run
};

namespace FleetEvents {

QString severityText(EventSeverity severity);  // "Info", "Warning", "Alarm"

// How the log names an amplifier: its name without trailing blanks and its
// address, "AMP1 (127.0.0.9)".
QString amplifier(const QString &name, const QString &address);

// "12.3 s", "4 min 5 s", "2 h 3 min": how long something lasted.
QString duration(qint64 milliseconds);

} // namespace FleetEvents

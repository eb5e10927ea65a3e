#pragma once

// The event log as CSV: UTF-8, CR LF line ends, a header row, the oldest
// event first (after a row that counts the dropped ones, if any), fields
// quoted where they must be and quotes doubled. A field that a spreadsheet
// would take for a formula (it starts with "=", "+", "-", "@", a tab or a
// carriage return; an amplifier names itself) gets a leading apostrophe.
// Times are local, "yyyy-MM-dd hh:mm:ss.zzz", so a log that spans midnight
// reads right.

#include <QByteArray>
#include <QString>

class EventLog;

namespace EventCsv {

QByteArray field(const QString &text);
QByteArray toCsv(const EventLog &log);

// Writes through a temporary file that replaces the target only when
// complete; false when that failed, and the target is then as it was.
bool save(const EventLog &log, const QString &path);

} // namespace EventCsv

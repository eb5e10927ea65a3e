#pragma once

// One event of the log as one line of text for standard output and the
// journal: local time "yyyy-MM-dd hh:mm:ss.zzz", severity ("Info",
// "Warning", "Alarm"), amplifier ("NAME (address)" or empty) and the event's
// sentence, separated by tabs, without the line end.
//
// Names and groups come from the amplifiers' own reports and may hold any
// byte: a tab or a line end among them would split a field or the line, so
// control characters are written as "\xNN".

#include "fleetevent.h"

#include <QString>

namespace EventLine {

QString line(const FleetEvent &event);

// The text with C0 control characters, DEL and C1 control characters as "\xNN".
QString printable(const QString &text);

} // namespace EventLine

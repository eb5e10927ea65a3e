#pragma once

// The JSON answers of /api/v1/: field names in snake_case, numbers in the
// units their names say, at the precision the windows show them; a value
// not known is left out, never written as zero. Compact UTF-8. Pure
// functions, any thread.

#include "monitorviews.h"

#include <QByteArray>
#include <QList>

namespace MonitorJson {

// One object per device, in the order given (the table's slot order).
QByteArray devices(const QList<MonitorViews::Device> &devices);

// One object per group, in the order given.
QByteArray groups(const QList<MonitorViews::Group> &groups);

// The events given, in the order given.
QByteArray events(const QList<MonitorViews::Event> &events);

// {"current": N or null, "modified": ..., "scenes": [...]}: each scene with
// its number, name, covered groups, kinds, fade_s and "values", what it
// holds per group under the keys of groups() plus "muted" (left out when a
// recall leaves the mute alone).
QByteArray scenes(const MonitorViews::Scenes &scenes);

// A group setting as the group box's fader label shows it: decibels for the
// volume and the input level (-95.5 dB + 0.5 dB per step), volts for the
// limiter. entry 1..6 in the order of the faders.
double settingInLabelUnits(int entry, int raw);

} // namespace MonitorJson

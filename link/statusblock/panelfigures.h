#pragma once

// The figures of the device panel, from raw 16-bit measurements that stand
// for raw × scale / StatusScale::FullScale (the scales in statusblock.h). Such a value is an exact binary fraction, so the figures
// are computed in integers and no rounding error of a double can move a
// half to the wrong side. Pure functions, any thread.

#include "statusblock.h"

#include <QString>
#include <QtGlobal>

namespace PanelFigures {

// One digit after decimalPoint, no grouping, a value exactly halfway
// rounded away from zero: raw 32 at scale 200 (6.25) reads "6.3".
QString oneDecimal(quint16 raw, int scale, const QString &decimalPoint);

// The value rounded to a whole number, an exact half to the even neighbour.
int roundedHalfEven(quint16 raw, int scale);

// oneDecimal() followed by a unit with its leading blank: "6.3 V".
QString withUnit(quint16 raw, int scale, const QString &unit, const QString &decimalPoint);
QString volts();    // " V"
QString amperes();  // " A"

// A temperature as the panel shows it: the device's three characters (zero
// bytes left out) followed by " °C".
QString temperature(const StatusBlock &block, int offset);

} // namespace PanelFigures

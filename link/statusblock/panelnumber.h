#pragma once

// The number at the start of a text the panel shows, for programs that want
// the figure rather than the text: amplifiers write a unit or a blank after
// some figures ("8.0R", "4.0Ω", "045%", " 8.0") and words or dashes where
// there is no figure ("open", "----"). Pure functions, any thread.

#include "statusblock.h"

#include <QStringView>

#include <optional>

namespace PanelNumber {

// Leading blanks, an optional minus sign, digits, optionally a point and
// more digits; what follows may be a unit or blanks but no further digit
// ("1-1" and "8,5" are no figure: reading 1 or 8 would be wrong).
std::optional<double> read(QStringView text);

// read() of a field's display text (zero bytes left out).
std::optional<double> field(const StatusBlock &block, int offset, int width);

} // namespace PanelNumber

#pragma once

// The tints of rows by severity, light enough that the text on them stays
// readable (dark text on a pale red or amber), the same in both windows.

#include <QVariant>

namespace SeverityTint {

enum class Tint { None, Amber, Red };

// The BackgroundRole or ForegroundRole value for a tint; none for other
// roles and for no tint, so that the view's palette applies.
QVariant forRole(int role, Tint tint);

} // namespace SeverityTint

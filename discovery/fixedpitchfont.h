#pragma once

// A fixed-pitch font for the address fields, chosen so that the font the
// fields end up with is fixed pitch, whatever fonts the machine has.
//
// The system's fixed font names a family that font matching may resolve to
// a proportional face once other fonts are installed; so every candidate is
// resolved and checked, not trusted by name. Main thread only.

#include <QFont>
#include <QStringList>

#include <functional>

// The first family of candidates for which isFixedPitch holds, or an empty
// text when none does.
QString firstFixedPitchFamily(const QStringList &candidates,
                              const std::function<bool(const QString &family)> &isFixedPitch);

// The system fixed font's family if it resolves to a fixed-pitch face, else
// a common monospaced family, else any installed fixed-pitch family. With no
// fixed-pitch face at all, the system fixed font as it is.
QFont fixedPitchFont();

#pragma once

// Group and device names as OSC addresses carry them: the stored name with
// its trailing blanks removed and every inner blank written as "_", matched
// without regard to case ("FOH  " is /amp/group/foh, "SUB L" is SUB_L).
//
// Pure functions, any thread.

#include <QString>
#include <QStringList>
#include <QStringView>

namespace OscNames {

QString addressName(QStringView stored);

// True when the text is not empty and every character may stand in an
// address segment: printable ASCII other than blank, #, *, comma, /, ?, [, ],
// { and }. A name that does not fit is not usable in feedback addresses.
bool fitsAddress(QStringView name);

// The index of the one address name equal to wanted without regard to case;
// -1 when none is, or more than one (an ambiguous name acts on nothing).
qsizetype uniqueMatch(const QStringList &addressNames, QStringView wanted);

} // namespace OscNames

#pragma once

// IPv4 address texts and address numbers: the number holds the first octet in
// its top 8 bits (192.168.1.110 is 0xC0A8016E). Pure functions, any thread.

#include <QString>
#include <QStringView>

#include <optional>

// Reads the text as "%d.%d.%d.%d": four integers joined by single dots. An
// integer is a run of digits and minus signs that must read as one integer
// (an optional leading minus and at least one digit): "4-5", "4-" and "--4"
// are not integers, and a plus sign is no part of one. Blanks (space, tab, CR, LF, VT,
// FF) before an integer or before a dot are skipped; whatever follows the
// fourth integer is ignored. Returns nothing when fewer than four integers
// can be read.
//
// The parts are not range-checked: the number is a << 24 | b << 16 | c << 8 | d
// in 32 bits, so 10.0.0.300 equals 10.0.1.44 and a negative part sets all the
// bits above its octet. A part is read as a signed 64-bit integer, saturating
// beyond that range, and then cut to its low 32 bits (what C's %d does with
// glibc): 4294967296 reads as 0, 99999999999999999999 as -1.
std::optional<quint32> addressNumber(QStringView text);

// The four octets, most significant first, in decimal without leading zeros.
QString addressText(quint32 number);

#pragma once

// Device and group names: upper case, letters A to Z, digits and spaces,
// padded with spaces to at least five characters, compared exactly.

#include <QString>
#include <QStringView>

inline constexpr int kMinimumNameLength = 5;

// Letters a to z become upper case; then every character that is not 0..9 or
// A..Z becomes a space. The length does not change.
QString normalizedName(QStringView text);

// Appends spaces until the text has at least five characters.
QString paddedName(QString text);

// The name as tables and devices hold it: normalised, then padded.
QString preparedName(QStringView text);

// Letters a to z become upper case; nothing else changes.
QString upperCasedAscii(QStringView text);

// A name or group as it reads without its padding: trailing blanks and zero
// bytes removed (names come padded to five characters).
QString withoutTrailingBlanks(const QString &text);

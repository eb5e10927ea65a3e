#pragma once

// 8-bit text of project files: Windows-1252, the code page the format comes
// from, so that descriptions in existing files read back as they were typed.
// Every byte decodes to one character and encodes back to the same byte; a
// character the code page cannot hold is written as '?'.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

QString fromCodePage1252(QByteArrayView bytes);
QByteArray toCodePage1252(QStringView text);

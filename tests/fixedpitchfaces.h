#pragma once

// Whether any font face on this machine resolves to fixed pitch: a window's
// fixed-pitch font can only be checked where one exists. Main thread only.

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>

inline bool anyFixedPitchFaceInstalled()
{
    for (const QString &family : QFontDatabase::families()) {
        if (QFontDatabase::isFixedPitch(family) && QFontInfo(QFont(family)).fixedPitch())
            return true;
    }
    return false;
}

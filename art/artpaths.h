#pragma once

// Resource paths of the pictures. Loaded through QIcon or QSvgRenderer; the
// program links the Qt SVG image plug-in for that.

#include <QString>

namespace ArtPath {
using namespace Qt::StringLiterals;

inline const QString AppIcon = u":/art/app-icon.svg"_s;

// Device tree state images, indexed by the link state code 0..3.
inline const QString StateImages[4] = {
    u":/art/state-blank.svg"_s,    // 0 no result yet
    u":/art/state-offline.svg"_s,  // 1 offline
    u":/art/state-waiting.svg"_s,  // 2 (never set by the link)
    u":/art/state-online.svg"_s,   // 3 online
};
} // namespace ArtPath

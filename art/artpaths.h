#pragma once

// Resource paths of the pictures. Loaded through QIcon or QSvgRenderer; the
// program links the Qt SVG image plug-in for that.

#include <QString>

namespace ArtPath {
using namespace Qt::StringLiterals;

inline const QString AppIcon = u":/art/app-icon.svg"_s;

// The diagram window's plots: frames, scales and time axes, 894 x 441.
inline const QString DiagramBackground = u":/art/diagram-background.svg"_s;

// Device tree state images, indexed by the link state code 0..3.
inline const QString StateImages[4] = {
    u":/art/state-blank.svg"_s,    // 0 no result yet
    u":/art/state-offline.svg"_s,  // 1 offline
    u":/art/state-waiting.svg"_s,  // 2 (never set by the link)
    u":/art/state-online.svg"_s,   // 3 online
};
// Device panel.
inline const QString PanelFront = u":/art/panel-front.svg"_s;  // 768 x 73
inline const QString CaptionPeakVoltage = u":/art/caption-peak-voltage.svg"_s;  // 17 x 193, upright text
inline const QString CaptionAverageVoltage = u":/art/caption-average-voltage.svg"_s;
inline const QString CaptionAverageCurrent = u":/art/caption-average-current.svg"_s;
inline const QString CaptionPower = u":/art/caption-power.svg"_s;
inline const QString ChannelOk = u":/art/channel-ok.svg"_s;  // 134 x 23
inline const QString ChannelFault = u":/art/channel-fault.svg"_s;
inline const QString MuteOn = u":/art/mute-on.svg"_s;  // 134 x 35
inline const QString MuteOff = u":/art/mute-off.svg"_s;
inline const QString DiagramButton = u":/art/diagram-button.svg"_s;  // 94 x 25

// The group faders and the group properties box.
inline const QString FaderKnob = u":/art/fader-knob.svg"_s;          // 27 by 59
inline const QString FaderTrack = u":/art/fader-track.svg"_s;        // 29 by 190
inline const QString LinkLocked = u":/art/link-locked.svg"_s;        // "Channels LOCKED"
inline const QString LinkUnlocked = u":/art/link-unlocked.svg"_s;    // "CH A", "CH B"
inline const QString MuteOffAll = u":/art/mute-off-all.svg"_s;       // 136 by 57
inline const QString MuteOnAll = u":/art/mute-on-all.svg"_s;         // 136 by 57
inline const QString LimiterWarning = u":/art/limiter-warning.svg"_s; // 136 by 32
} // namespace ArtPath

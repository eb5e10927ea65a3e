#pragma once

// The scales of the device panel's row bars whose zones mean something to
// the operator: both temperature bars (lime, yellow, red) and the mains bar
// (red, lime, red). The panel builds its bars from these, and whatever judges
// a figure by its zone (the fleet's severities and alarms) reads the same
// numbers, so both always agree. Segments: 633-pixel bars at a 15-pixel pitch.

namespace PanelBars {

struct RowBar
{
    int maxValue;
    int segments;
    int lowToMidPos;
    int midToHiPos;
};

inline constexpr int kRowBarPitch = 15;
inline constexpr int kRowBarSegments = (633 - 2) / kRowBarPitch;

inline constexpr RowBar kTemperature{150, kRowBarSegments, 32, 16};
inline constexpr RowBar kAcInput{300, kRowBarSegments, 50, 12};

} // namespace PanelBars

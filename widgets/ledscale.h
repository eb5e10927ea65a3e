#pragma once

// Where an LED bar's zones lie and which segments a position lights: the
// arithmetic of TDDLedBar without the painting, so that logic that must agree
// with what a bar shows (alarm zones, for one) can use it without windows.
// Pure functions, any thread.

#include <optional>

namespace LedScale {

enum class Zone { Low, Middle, High };

// How far along the bar segment 1..count ends, in whole percent.
int segmentPercent(int segment, int count);

// The zone of a place along the bar: the middle zone begins at
// 100 - lowToMidPos percent, the high zone at 100 - midToHiPos percent.
Zone zoneOf(int percent, int lowToMidPos, int midToHiPos);

// A segment is lit when its percentage of the bar does not exceed the
// position's percentage of full scale; a position at or above maxValue fills
// the bar. A segment whose percentage exceeds the raw position also stays
// dark, which matters only for a maxValue below 100.
bool isLit(int percent, int position, int maxValue);

struct Bar
{
    int maxValue;
    int segments;
    int lowToMidPos;
    int midToHiPos;
};

// The zone of the topmost lit segment; none when no segment is lit.
std::optional<Zone> topLitZone(const Bar &bar, int position);

} // namespace LedScale

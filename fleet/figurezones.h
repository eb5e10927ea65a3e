#pragma once

// The zones of the figures that can raise an alarm, judged exactly as the
// device panel's LED bars show them: a figure is in the zone of the topmost
// segment its bar lights (a value that lights nothing counts with the bar's
// first zone). Temperatures: lime normal, yellow warning, red alarm. Mains:
// red below, lime, red above.
//
// Alarms hold with hysteresis: a figure enters a worse level at once and
// leaves it only when every value within the figure's margin of it would be
// better, so a value sitting on a boundary does not flap. The margins are 3
// for a temperature (°C) and 5 for the mains (V), a few times what a healthy
// device's readings wander between polls.
//
// Pure functions, any thread.

#include "statusblock.h"

#include <array>

namespace FigureZones {

enum class Level { Normal = 0, Warning = 1, Alarm = 2 };

// The figures in the order of the fleet's columns. The panel's row captions
// put the first temperature in the "PSU" row and the second in the "AMP" row;
// the operator reads them so, and so does the fleet.
enum class Figure { AmplifierTemperature, PsuTemperature, Mains };
inline constexpr int kFigureCount = 3;
inline constexpr std::array<Figure, kFigureCount> kFigures{Figure::AmplifierTemperature, Figure::PsuTemperature,
                                                          Figure::Mains};

// The bar position of the figure in the block: the three-digit value of a
// temperature, the mains in whole volts rounded as the panel's bar is.
int value(Figure figure, const StatusBlock &block);

// The level of a bar position without hysteresis.
Level levelOf(Figure figure, int value);

// The level after a new value, from the level the figure had.
Level track(Figure figure, Level current, int value);

int margin(Figure figure);

} // namespace FigureZones

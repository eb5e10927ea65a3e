#pragma once

// The figures of a stored status block as numbers for programs: the same
// values, at the same precision, as the device panel shows them as text.
// Volts, amperes and watts have one decimal, computed from the raw values in
// integers exactly as the panel's figures are, so "6.3 V" on the panel is 6.3
// here; temperatures, impedances and the fan are the number at the start of
// the device's own characters (PanelNumber). A field without one is absent.
//
// Pure functions, any thread.

#include "statusblock.h"

#include <QString>

#include <algorithm>
#include <array>
#include <optional>

namespace BlockFigures {

struct Channel
{
    std::optional<bool> ok;  // the channel state: 1 ok, 0 fault, anything else absent
    bool muted = false;
    double outputPeakVolts = 0;
    double outputAverageVolts = 0;
    double currentAmperes = 0;
    double powerWatts = 0;  // average volts times average amperes
    std::optional<double> impedanceOhms;
};

struct Figures
{
    QString model;   // trailing blanks removed
    QString serial;
    std::array<Channel, 2> channels;  // A, B
    std::optional<double> ampTemperatureCelsius;  // the panel's "AMP" row
    std::optional<double> psuTemperatureCelsius;  // the panel's "PSU" row
    double mainsVolts = 0;
    std::optional<int> fanPercent;  // 0..100
};

Figures read(const StatusBlock &block);
// The same from the bytes before the histories (MonitorViews::FigureBytes).
template<std::size_t N>
Figures read(const std::array<quint8, N> &firstBytes)
{
    static_assert(N <= kStatusBlockSize);
    StatusBlock block{};
    std::copy(firstBytes.begin(), firstBytes.end(), block.begin());
    return read(block);
}

// raw × scale / 1024 to one decimal, an exact half away from zero, as the
// panel's oneDecimal() rounds it.
double tenths(quint16 raw, int scale);


} // namespace BlockFigures

#pragma once

// One device's health as of a refresh, in plain values: its link, the
// figures of its link health, its severity, and the readings its panel
// shows, which any face formats or reports as it needs.
//
// Severity:
//   3 not online (offline, or no answer yet);
//   2 a channel in fault, or a temperature or the mains in the red zone of
//     its panel bar;
//   1 such a figure in the yellow zone, or a loss above 1 %;
//   0 otherwise.

#include "figurezones.h"

#include <QString>

#include <array>
#include <optional>

// A reading the amplifier sends as characters ("104", " 85"): the characters
// with every zero byte left out, as the panel shows them, and the value they
// stand for (a non-digit adds nothing).
struct CharacterReading
{
    QString characters;
    int value = 0;

    bool operator==(const CharacterReading &) const = default;
};

// A channel's indication: state 1 OK, 0 FAULT, anything else none.
struct ChannelReading
{
    quint8 state = 0;
    bool muted = false;

    bool operator==(const ChannelReading &) const = default;
};

// What the device panel shows of a status block. Voltages are raw 16-bit
// measurements standing for raw × scale / StatusScale::FullScale volts
// (PanelFigures formats them exactly); volts() converts.
struct PanelReadings
{
    std::array<ChannelReading, 2> channels{};  // A, B
    CharacterReading amplifierTemperature;     // °C
    CharacterReading psuTemperature;           // °C
    quint16 mainsRaw = 0;                      // StatusScale::MainsVolts
    CharacterReading fan;                      // %, four characters
    std::array<quint16, 2> peakRaw{};          // StatusScale::OutputVolts, A and B

    static double volts(quint16 raw, int scale);

    bool operator==(const PanelReadings &) const = default;
};

// The level of each alarm figure, in the order of FigureZones::kFigures.
using FigureLevels = std::array<FigureZones::Level, FigureZones::kFigureCount>;

struct DeviceHealth
{
    quint64 id = 0;
    int slot = 0;  // 1..255, the table's order
    QString name{};  // as the table holds them
    QString group{};
    QString address{};
    int linkState = 0;  // ThSocket's code: 0 no result yet, 1 offline, 3 online
    // Rounded as reported: 0.1 s, 0.01 ms, 0.1 %; none before the first
    // success (answer, exchange) or attempt (loss).
    std::optional<double> secondsSinceAnswer{};
    std::optional<double> medianExchangeMs{};
    std::optional<double> lossPercent{};  // over the last minute
    bool lossWarning = false;             // held with hysteresis
    FigureLevels levels{};                // held with hysteresis; all normal without readings
    int severity = 3;
    std::optional<PanelReadings> readings{};  // once a status block was stored
};

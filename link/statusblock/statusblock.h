#pragma once

// Readers of the amplifier's 3157-byte status block.
//
// The block is kept exactly as the device sent it and is never decoded into
// another structure: every reader takes its field straight from the stored
// bytes at a fixed offset, so it always sees the most recently stored block.
// All functions are pure and may be called from any thread on a block that
// is not being written at the same time.

#include <QtGlobal>
#include <QString>

#include <array>

inline constexpr int kStatusBlockSize = 3157;

// The stored block: the 3157 block bytes followed by one zero byte.
using StatusBlock = std::array<quint8, kStatusBlockSize + 1>;

namespace StatusField {
// Offsets from the first byte of the block.
inline constexpr int OutputPeakVoltageA = 6;
inline constexpr int OutputPeakVoltageB = 8;
inline constexpr int OutputAverageVoltageA = 10;
inline constexpr int OutputAverageVoltageB = 12;
inline constexpr int OutputAverageCurrentA = 14;
inline constexpr int OutputAverageCurrentB = 16;
inline constexpr int FirstTemperature = 18;   // 3 characters, shown in the "PSU" row
inline constexpr int SecondTemperature = 21;  // 3 characters, shown in the "AMP" row
inline constexpr int ChannelStateA = 24;      // 1 OK, 0 fault, else no indication
inline constexpr int ChannelStateB = 25;
inline constexpr int MuteA = 26;              // 0 muted, anything else not muted
inline constexpr int MuteB = 27;
inline constexpr int Model = 28;              // 5 characters
inline constexpr int SerialNumber = 33;       // 5 characters
inline constexpr int MainSoftwareVersion = 38;
inline constexpr int WebServerSoftwareVersion = 43;
inline constexpr int PsuSoftwareVersion = 48;
inline constexpr int DdsSoftwareVersion = 53;
inline constexpr int SpeakerImpedanceA = 58;  // 4 characters
inline constexpr int SpeakerImpedanceB = 63;  // 4 characters
inline constexpr int AcInputVoltage = 68;
inline constexpr int FanSpeed = 70;           // 4 characters, the first three also a level 0..100
inline constexpr int Group = 75;              // 5 characters
inline constexpr int Name = 80;               // 5 characters
inline constexpr int FirstHistory = 85;       // six histories of 512 samples follow

inline constexpr int IdentityWidth = 5;
inline constexpr int ImpedanceWidth = 4;
inline constexpr int TemperatureWidth = 3;
inline constexpr int HistoryCount = 6;
inline constexpr int HistoryLength = 512;
} // namespace StatusField

// How a raw 16-bit measurement scales to its unit: raw × scale / FullScale.
namespace StatusScale {
inline constexpr int FullScale = 1024;
inline constexpr int OutputVolts = 200;  // peak and average output voltage, volts
inline constexpr int Amperes = 50;       // average output current, amperes
inline constexpr int MainsVolts = 750;   // AC input voltage, volts
} // namespace StatusScale

// Histories in block order; sample 0 is the most recent.
enum class History {
    PeakVoltageA,
    PeakVoltageB,
    AmplifierTemperature,
    CurrentA,
    CurrentB,
    PsuTemperature,
};

namespace StatusBlockReader {

// Unsigned 16-bit value, little-endian.
quint16 value16(const StatusBlock &block, int offset);

// One unsigned byte.
quint8 flag(const StatusBlock &block, int offset);

// Display reading: the characters in order with every zero byte left out.
// Used for every text shown to the operator. Bytes map to Latin-1.
QString displayText(const StatusBlock &block, int offset, int width);

// Identity reading: the characters up to, not including, the first zero byte.
// Used for the device name and group and for the model comparison.
QString identityText(const StatusBlock &block, int offset, int width);

// The same identity reading without building a string: the number of bytes
// before the first zero byte (at most width).
int identityLength(const StatusBlock &block, int offset, int width);

// Three characters weighing 100, 10 and 1; a non-digit adds nothing. 0..999.
int threeDigitValue(const StatusBlock &block, int offset);

// Sample 0..511 of a history.
quint8 historySample(const StatusBlock &block, History history, int sample);

// Conversions, in floating point without rounding.
double voltage(const StatusBlock &block, int offset);    // volts, StatusScale::OutputVolts
double current(const StatusBlock &block, int offset);    // amperes, StatusScale::Amperes
double acInputVoltage(const StatusBlock &block);         // volts, StatusScale::MainsVolts

} // namespace StatusBlockReader

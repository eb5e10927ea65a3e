#pragma once

// The amplifier's 3157-byte status block, built from chosen field values.
//
// It describes the block's layout and scales itself, on purpose, rather than
// taking them from the controller's status block readers: tests check the
// readers against this independent description, never against themselves.
// Tests use it to make blocks with exactly the values they need; the simulator
// fills the fields from an amp's state and the time (simulatedFields).

#include <QByteArray>

#include <array>

struct SimulatedState;

inline constexpr int kSimulatedBlockSize = 3157;
inline constexpr int kSimulatedHistoryCount = 6;
inline constexpr int kSimulatedHistorySamples = 512;

struct StatusFields
{
    // Raw 16-bit values: peak voltage A, B (offsets 6, 8), average voltage A, B
    // (10, 12): volts = raw * 200 / 1024; average current A, B (14, 16):
    // amperes = raw * 50 / 1024.
    std::array<quint16, 6> outputs{300, 290, 120, 115, 160, 150};
    QByteArray firstTemperature = " 42";   // offset 18, 3 characters
    QByteArray secondTemperature = " 48";  // offset 21, 3 characters
    quint8 stateA = 1;                     // 1 OK, 0 fault
    quint8 stateB = 1;
    quint8 muteA = 1;  // 0 muted, 1 not muted
    quint8 muteB = 1;
    QByteArray model = "T1900";
    QByteArray serial = "10001";
    std::array<QByteArray, 4> versions{"1.07a", "2.01 ", "0.93 ", "1.10 "};  // main, web, PSU, DDS
    QByteArray impedanceA = "8.0 ";  // offset 58, 4 characters
    QByteArray impedanceB = "4.0 ";  // offset 63, 4 characters
    quint16 mains = 314;             // volts = raw * 750 / 1024, 314 is about 230 V
    QByteArray fan = "045%";         // offset 70; first three characters the level 0..100
    QByteArray group = "UNDEF";
    QByteArray name = "AMP  ";
    // Sample 0 the most recent. Shorter histories are padded with zero bytes.
    std::array<QByteArray, kSimulatedHistoryCount> histories;
};

// Text fields are written as given, cut to the field's width or padded with
// spaces to it, so a test can put zero bytes into a field on purpose.
QByteArray buildStatusBlock(const StatusFields &fields);

// What the amp reports at the given wall-clock time: measurements wobble
// slowly around plausible values and the histories advance one sample every
// kSimulatedHistoryStepMs, deterministically from the amp's variation.
inline constexpr qint64 kSimulatedHistoryStepMs = 12000;  // 512 samples span about 100 minutes
StatusFields simulatedFields(const SimulatedState &state, qint64 msecsSinceEpoch);

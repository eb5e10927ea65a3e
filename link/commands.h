#pragma once

// The command set: every request the controller sends to an amplifier. Each
// routine builds a path and its argument and queues them for one device slot
// (the argument goes onto the wire directly after the path, unescaped).
// Main thread only.

#include <QByteArray>
#include <QStringView>

#include <array>

class tDevices;

namespace CommandPath {
inline const QByteArray StatusFetch = QByteArrayLiteral("/krv.krv");
inline const QByteArray DeviceName = QByteArrayLiteral("/name=");
inline const QByteArray DeviceGroup = QByteArrayLiteral("/group=");
inline const QByteArray GroupSettings = QByteArrayLiteral("/common_settings_values1=");
inline const QByteArray MuteAOn = QByteArrayLiteral("/mute_a_on.html");
inline const QByteArray MuteAOff = QByteArrayLiteral("/mute_a_off.html");
inline const QByteArray MuteBOn = QByteArrayLiteral("/mute_b_on.html");
inline const QByteArray MuteBOff = QByteArrayLiteral("/mute_b_off.html");
inline const QByteArray MuteOn = QByteArrayLiteral("/mute_on.html");
inline const QByteArray MuteOff = QByteArrayLiteral("/mute_off.html");
inline const QByteArray LockOn = QByteArrayLiteral("/lock_on");
inline const QByteArray LockOff = QByteArrayLiteral("/lock_off");
} // namespace CommandPath

namespace Commands {

// The name as it goes onto the wire: padded to five characters, normalised.
QByteArray preparedName(QStringView name);

// A group's six channel settings in the order they go onto the wire:
// volume A, volume B, input level A, input level B, limiter A, limiter B.
using SettingsValues = std::array<quint8, 6>;

// Eighteen digits: each of the six values in three-digit form.
using SettingsDigits = std::array<char, 18>;
SettingsDigits settingsDigits(const SettingsValues &values);

void statusFetch(tDevices &devices, int slot);
void deviceName(tDevices &devices, int slot, QStringView name);
void deviceGroup(tDevices &devices, int slot, QStringView group);
void groupSettings(tDevices &devices, int slot, const SettingsDigits &digits);
void muteA(tDevices &devices, int slot, bool on);
void muteB(tDevices &devices, int slot, bool on);
void muteBoth(tDevices &devices, int slot, bool on);
void lock(tDevices &devices, int slot, bool on);

} // namespace Commands

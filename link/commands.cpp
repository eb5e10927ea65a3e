#include "commands.h"

#include "devicetable.h"
#include "names.h"

namespace Commands {

QByteArray preparedName(QStringView name)
{
    return ::preparedName(name).toLatin1();
}

SettingsDigits settingsDigits(const SettingsValues &values)
{
    SettingsDigits digits{};
    std::size_t at = 0;
    for (const quint8 value : values) {
        digits[at++] = static_cast<char>('0' + value / 100);
        digits[at++] = static_cast<char>('0' + value / 10 % 10);
        digits[at++] = static_cast<char>('0' + value % 10);
    }
    return digits;
}

void statusFetch(tDevices &devices, int slot)
{
    devices.queueRequest(slot, CommandPath::StatusFetch, {});
}

void deviceName(tDevices &devices, int slot, QStringView name)
{
    devices.queueRequest(slot, CommandPath::DeviceName, Commands::preparedName(name));
}

void deviceGroup(tDevices &devices, int slot, QStringView group)
{
    devices.queueRequest(slot, CommandPath::DeviceGroup, Commands::preparedName(group));
}

void groupSettings(tDevices &devices, int slot, const SettingsDigits &digits)
{
    devices.queueRequest(slot, CommandPath::GroupSettings,
                         QByteArrayView(digits.data(), qsizetype(digits.size())));
}

void muteA(tDevices &devices, int slot, bool on)
{
    devices.queueRequest(slot, on ? CommandPath::MuteAOn : CommandPath::MuteAOff, {});
}

void muteB(tDevices &devices, int slot, bool on)
{
    devices.queueRequest(slot, on ? CommandPath::MuteBOn : CommandPath::MuteBOff, {});
}

void muteBoth(tDevices &devices, int slot, bool on)
{
    devices.queueRequest(slot, on ? CommandPath::MuteOn : CommandPath::MuteOff, {});
}

void lock(tDevices &devices, int slot, bool on)
{
    devices.queueRequest(slot, on ? CommandPath::LockOn : CommandPath::LockOff, {});
}

} // namespace Commands

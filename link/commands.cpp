#include "commands.h"

#include "devicetable.h"
#include "grouptable.h"
#include "names.h"

namespace Commands {

QByteArray preparedName(QStringView name)
{
    return ::preparedName(name).toLatin1();
}

SettingsDigits groupSettingsDigits(const tGroupItem &group)
{
    const quint8 values[] = {group.volumeA,     group.volumeB,  group.inputLevelA,
                             group.inputLevelB, group.limiterA, group.limiterB};
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

void deviceGroup(tDevices &devices, tGroup &groups, int slot, QStringView group)
{
    const QByteArray prepared = Commands::preparedName(group);
    groups.addGroup(QString::fromLatin1(prepared));
    devices.queueRequest(slot, CommandPath::DeviceGroup, prepared);
}

void groupSettings(tDevices &devices, const tGroup &groups, int slot)
{
    const int groupSlot = groups.findGroupOfDevice(devices[slot].group);
    if (groupSlot == 0)
        return;
    groupSettings(devices, slot, groupSettingsDigits(groups[groupSlot]));
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

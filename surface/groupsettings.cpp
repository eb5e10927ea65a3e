#include "groupsettings.h"

#include "devicetable.h"
#include "grouptable.h"

Commands::SettingsDigits groupSettingsDigits(const tGroupItem &group)
{
    return Commands::settingsDigits({group.volumeA, group.volumeB, group.inputLevelA,
                                     group.inputLevelB, group.limiterA, group.limiterB});
}

GroupSettingsOfDevices::GroupSettingsOfDevices(const tDevices &devices, const tGroup &groups)
    : m_devices(devices)
    , m_groups(groups)
{
}

const Commands::SettingsDigits *GroupSettingsOfDevices::settingsOf(int slot)
{
    const int groupSlot = groupOfDevice(slot);
    return groupSlot != 0 ? &settingsOfGroup(groupSlot) : nullptr;
}

// A device's group rarely changes: ask the group table again only when the
// device's group text or the table's names did.
int GroupSettingsOfDevices::groupOfDevice(int slot)
{
    KnownGroup &known = m_groupOfSlot[std::size_t(slot)];
    const QString &group = m_devices[slot].group;
    if (known.namesVersion != m_groups.namesVersion() || known.deviceGroup != group) {
        known.deviceGroup = group;
        known.namesVersion = m_groups.namesVersion();
        known.groupSlot = m_groups.findGroupOfDevice(group);
    }
    return known.groupSlot;
}

// Most devices share a few groups, whose values change only while the
// operator moves a fader: build each group's digits once per tick, not once
// per device.
const Commands::SettingsDigits &GroupSettingsOfDevices::settingsOfGroup(int groupSlot)
{
    CachedSettings &cached = m_settings[std::size_t(groupSlot)];
    if (cached.tick != m_tickNumber) {
        cached.digits = groupSettingsDigits(m_groups[groupSlot]);
        cached.tick = m_tickNumber;
    }
    return cached.digits;
}

#pragma once

// The channel settings a group's devices are sent: as the command carries
// them, and device by device for the polling tick. Main thread only.

#include "commands.h"
#include "pollingtick.h"

#include <QString>

#include <array>

class tDevices;
class tGroup;
struct tGroupItem;

Commands::SettingsDigits groupSettingsDigits(const tGroupItem &group);

// The settings of each device's own group (tGroup::findGroupOfDevice); none
// for a device whose group is not in the table.
class GroupSettingsOfDevices final : public DeviceSettingsSource
{
public:
    GroupSettingsOfDevices(const tDevices &devices, const tGroup &groups);

    void beginTick() override { ++m_tickNumber; }
    const Commands::SettingsDigits *settingsOf(int slot) override;

private:
    // The settings digits of a group slot, built at most once per tick.
    const Commands::SettingsDigits &settingsOfGroup(int groupSlot);
    // The group slot of a device slot's group, 0 for none.
    int groupOfDevice(int slot);

    struct CachedSettings
    {
        quint64 tick = 0;  // the tick that built them; 0: never
        Commands::SettingsDigits digits{};
    };

    struct KnownGroup
    {
        QString deviceGroup;
        quint64 namesVersion = ~quint64(0);  // never a table's
        int groupSlot = 0;
    };

    const tDevices &m_devices;
    const tGroup &m_groups;
    quint64 m_tickNumber = 0;
    std::array<CachedSettings, 256> m_settings{};  // by group slot
    std::array<KnownGroup, 256> m_groupOfSlot{};   // by device slot
};

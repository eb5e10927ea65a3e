#include "groupcommands.h"

#include "commands.h"
#include "devicetable.h"
#include "groupsettings.h"
#include "grouptable.h"
#include "names.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kLimitedModelMaximumVolts = 100;

} // namespace

namespace GroupCommands {

QList<int> devicesOf(const tDevices &devices, const tGroup &groups, QStringView groupName)
{
    QList<int> members;
    const int groupSlot = groups.findGroup(groupName);
    if (groupSlot == 0)
        return members;
    for (int slot = 1; slot <= devices.count(); ++slot) {
        if (groups.findGroupOfDevice(devices[slot].group) == groupSlot)
            members.append(slot);
    }
    return members;
}

int sendSettings(tDevices &devices, const tGroup &groups, QStringView groupName)
{
    const QList<int> members = devicesOf(devices, groups, groupName);
    if (members.isEmpty())
        return 0;
    const Commands::SettingsDigits digits = groupSettingsDigits(groups[groups.findGroup(groupName)]);
    for (const int slot : members)
        Commands::groupSettings(devices, slot, digits);
    return int(members.size());
}

void deviceGroup(tDevices &devices, tGroup &groups, int slot, QStringView group)
{
    groups.addGroup(preparedName(group));
    Commands::deviceGroup(devices, slot, group);
}

int mute(tDevices &devices, const tGroup &groups, QStringView groupName, bool on)
{
    const QList<int> members = devicesOf(devices, groups, groupName);
    for (const int slot : members)
        Commands::muteBoth(devices, slot, on);
    return int(members.size());
}

bool limiterWarning(const tDevices &devices, const tGroup &groups, const tGroupItem &group)
{
    if (group.limiterA <= kLimitedModelMaximumVolts && group.limiterB <= kLimitedModelMaximumVolts)
        return false;
    const QList<int> members = devicesOf(devices, groups, group.name);
    return std::any_of(members.cbegin(), members.cend(), [&](int slot) {
        return StatusBlockReader::identityText(devices[slot].status, StatusField::Model, StatusField::IdentityWidth)
               == u"T1900"_s;
    });
}

} // namespace GroupCommands

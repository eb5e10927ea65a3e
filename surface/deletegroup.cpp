#include "deletegroup.h"

#include "devicetable.h"
#include "groupcommands.h"
#include "grouptable.h"

int deleteGroup(tDevices &devices, tGroup &groups, QStringView name)
{
    // The name may belong to the slot being removed; keep a copy.
    const QString deleted = name.toString();
    const QList<int> members = GroupCommands::devicesOf(devices, groups, deleted);
    for (const int slot : members) {
        devices[slot].group = kUndefinedGroupName;
        GroupCommands::deviceGroup(devices, groups, slot, kUndefinedGroupName);
    }
    groups.removeGroup(groups.findGroup(deleted));
    return int(members.size());
}

#include "projecttables.h"

#include "addorupdatedevice.h"
#include "devicetable.h"
#include "fadertable.h"
#include "grouptable.h"
#include "names.h"

#include <algorithm>

Project projectFromTables(const tDevices &devices, const tGroup &groups)
{
    Project project;
    for (int slot = 1; slot <= groups.count(); ++slot) {
        const tGroupItem &item = groups[slot];
        project.groups.append({item.name, item.description, item.volumeA, item.volumeB,
                               item.inputLevelA, item.inputLevelB, item.limiterA, item.limiterB});
    }
    for (int slot = 1; slot <= devices.count(); ++slot) {
        const tDevice &device = devices[slot];
        project.devices.append({device.name, device.group, device.address});
    }
    return project;
}

namespace {

// A file may hold any byte; the group takes only what its faders can show
// and set, so that nothing else is sent to the amplifiers.
quint8 levelInRange(quint8 value)
{
    return static_cast<quint8>(std::min<int>(value, FaderTable::kLevelMaximum));
}

quint8 limiterInRange(quint8 value)
{
    return static_cast<quint8>(std::clamp<int>(value, FaderTable::kLimiterFloor,
                                               FaderTable::kLimiterFloor + FaderTable::kLimiterMaximum));
}

void loadGroups(const QList<ProjectGroup> &loaded, tGroup &groups)
{
    groups.clearCount();
    for (const ProjectGroup &group : loaded) {
        groups.addGroup(group.name);
        const int slot = groups.findGroup(preparedName(group.name));
        if (slot == 0)
            continue;  // the table is full
        tGroupItem &item = groups[slot];
        item.description = group.description;
        item.volumeA = levelInRange(group.volumeA);
        item.volumeB = levelInRange(group.volumeB);
        item.inputLevelA = levelInRange(group.inputLevelA);
        item.inputLevelB = levelInRange(group.inputLevelB);
        item.limiterA = limiterInRange(group.limiterA);
        item.limiterB = limiterInRange(group.limiterB);
    }
}

} // namespace

void loadProjectIntoTables(const Project &project, tDevices &devices, tGroup &groups)
{
    loadGroups(project.groups, groups);
    devices.clearDevices();
    for (const ProjectDevice &device : project.devices)
        addOrUpdateDevice(devices, groups, device.name, device.group, device.address);
}

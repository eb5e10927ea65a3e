#include "projecttables.h"

#include "addorupdatedevice.h"
#include "devicetable.h"
#include "grouptable.h"
#include "names.h"

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
        item.volumeA = group.volumeA;
        item.volumeB = group.volumeB;
        item.inputLevelA = group.inputLevelA;
        item.inputLevelB = group.inputLevelB;
        item.limiterA = group.limiterA;
        item.limiterB = group.limiterB;
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

#include "addorupdatedevice.h"

#include "commands.h"
#include "devicetable.h"
#include "grouptable.h"
#include "names.h"

int addOrUpdateDevice(tDevices &devices, tGroup &groups, QStringView name, QStringView group,
                      const QString &address)
{
    const QString deviceName = preparedName(name);
    const QString preparedGroup = paddedName(upperCasedAscii(group));
    if (groups.findGroup(preparedGroup) == 0)
        groups.addGroup(preparedGroup);

    int slot = devices.findDevice(address);
    if (slot != 0) {
        devices[slot].name = deviceName;
        devices[slot].group = preparedGroup;
        devices[slot].address = address;
    } else {
        if (!devices.appendDevice(deviceName, preparedGroup, address))
            return 0;
        slot = devices.count();
    }
    Commands::lock(devices, slot, false);
    return slot;
}

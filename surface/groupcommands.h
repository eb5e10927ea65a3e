#pragma once

// Commands that involve the group table: for every device of one group (the
// devices that the tree shows under it, tGroup::findGroupOfDevice), and the
// device group command. Main thread only.

#include <QList>
#include <QStringView>

class tDevices;
class tGroup;
struct tGroupItem;

namespace GroupCommands {

// Queues the group settings command for every device of the group; returns
// how many devices that was.
int sendSettings(tDevices &devices, const tGroup &groups, QStringView groupName);

// Queues the device group command for one device and adds the group, as the
// command sends it, to the group table.
void deviceGroup(tDevices &devices, tGroup &groups, int slot, QStringView group);

// Queues the mute command for both channels to every device of the group.
int mute(tDevices &devices, const tGroup &groups, QStringView groupName, bool on);

// True when a limiter of the group is above the model's 100 V and a device of
// the group reports that model.
bool limiterWarning(const tDevices &devices, const tGroup &groups, const tGroupItem &group);

// The device slots of the group, in slot order.
QList<int> devicesOf(const tDevices &devices, const tGroup &groups, QStringView groupName);

} // namespace GroupCommands

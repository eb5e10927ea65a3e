#include "osccommands.h"

#include "controllercore.h"
#include "fadertable.h"
#include "groupcommands.h"
#include "oscnames.h"
#include "statusblock.h"

namespace {

using Kind = OscRequest::Kind;

bool reports(const ControllerCore &core, const tDevice &device)
{
    return device.linkState() == ThSocket::Online && core.hasStatusBlock(device.id);
}

bool muted(const StatusBlock &block, int offset)
{
    return StatusBlockReader::flag(block, offset) == 0;
}

// Calls visit(device) for every online device of the group with a block.
template<typename Visit>
void forReportingDevices(const ControllerCore &core, int groupSlot, Visit &&visit)
{
    const tDevices &devices = core.devices();
    for (const int slot : GroupCommands::devicesOf(devices, core.groups(), core.groups()[groupSlot].name)) {
        if (reports(core, devices[slot]))
            visit(devices[slot]);
    }
}

} // namespace

namespace OscCommands {

int groupSlot(const ControllerCore &core, const QString &name)
{
    const tGroup &groups = core.groups();
    QStringList names;
    names.reserve(groups.count());
    for (int slot = 1; slot <= groups.count(); ++slot)
        names.append(OscNames::addressName(groups[slot].name));
    return int(OscNames::uniqueMatch(names, name) + 1);
}

int deviceSlot(const ControllerCore &core, const QString &name)
{
    const tDevices &devices = core.devices();
    if (const int slot = devices.findDevice(name))
        return slot;
    QStringList names;
    names.reserve(devices.count());
    for (int slot = 1; slot <= devices.count(); ++slot)
        names.append(OscNames::addressName(devices[slot].name));
    return int(OscNames::uniqueMatch(names, name) + 1);
}

bool anyChannelUnmuted(const ControllerCore &core, int groupSlot)
{
    bool unmuted = false;
    forReportingDevices(core, groupSlot, [&](const tDevice &device) {
        unmuted = unmuted || !muted(device.status, StatusField::MuteA) || !muted(device.status, StatusField::MuteB);
    });
    return unmuted;
}

bool run(ControllerCore &core, const OscRequest &request, const QString &source)
{
    if (request.kind == Kind::DeviceMute) {
        const int slot = deviceSlot(core, request.name);
        if (slot == 0)
            return false;
        core.muteChannel(core.devices()[slot].id, request.channel, request.on, source);
        return true;
    }
    const int group = groupSlot(core, request.name);
    if (group == 0)
        return false;
    switch (request.kind) {
    case Kind::GroupMute:
        core.muteGroup(group, request.on, source);
        return true;
    case Kind::GroupMuteToggle:
        core.muteGroup(group, anyChannelUnmuted(core, group), source);
        return true;
    case Kind::GroupSetting:
        core.setGroupSetting(group, request.entry, FaderTable::storedValueFromUnits(request.entry, request.units),
                             source);
        return true;
    case Kind::GroupSettingStep: {
        const int now = FaderTable::storedValue(core.groups()[group], request.entry);
        core.setGroupSetting(group, request.entry,
                             FaderTable::storedValueAfterSteps(request.entry, now, request.steps), source);
        return true;
    }
    default:
        return false;
    }
}

} // namespace OscCommands

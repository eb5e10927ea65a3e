#include "osccommands.h"

#include "controllercore.h"

namespace {

using Kind = OscRequest::Kind;

// The pair of faders whose channel A is this entry (1, 3 or 5).
GroupLink linkOfPair(int firstEntry)
{
    return firstEntry == FaderTable::VolumeA       ? GroupLink::Volume
           : firstEntry == FaderTable::InputLevelA ? GroupLink::InputLevel
                                                   : GroupLink::Limiter;
}

} // namespace

namespace OscCommands {

bool run(ControllerCore &core, const OscRequest &request, const CommandSource &source)
{
    if (request.kind == Kind::DeviceMute) {
        const DeviceId device = core.deviceNamed(request.name);
        if (device == 0)
            return false;
        core.muteChannel(device, request.channel, request.on, source);
        return true;
    }
    const GroupId group = core.groupNamed(request.name);
    if (group == 0)
        return false;
    switch (request.kind) {
    case Kind::GroupMute:
        core.muteGroup(group, request.on, source);
        return true;
    case Kind::GroupMuteToggle:
        core.toggleGroupMute(group, source);
        return true;
    case Kind::GroupSetting:
        core.setGroupSettingInUnits(group, request.entry, request.units, source);
        return true;
    case Kind::GroupSettingStep:
        core.stepGroupSetting(group, request.entry, request.steps, source);
        return true;
    case Kind::GroupLink:
        core.setGroupLink(group, linkOfPair(request.entry), request.on, source);
        return true;
    default:
        return false;
    }
}

} // namespace OscCommands

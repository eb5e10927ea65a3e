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

// A scene request. A recall of a scene that is not there names nothing known;
// a step or an undo with nothing to step to or undo is carried out as nothing.
bool runScene(ControllerCore &core, const OscRequest &request, const CommandSource &source)
{
    switch (request.kind) {
    case Kind::SceneRecall: {
        const int number = request.scene != 0 ? request.scene : core.sceneNamed(request.sceneName);
        return number != 0 && core.recallScene(number, source);
    }
    case Kind::SceneNext:
    case Kind::ScenePrevious:
        core.recallNeighbourScene(request.kind == Kind::SceneNext ? 1 : -1, source);
        return true;
    case Kind::SceneUndo:
        core.undoRecall(source);
        return true;
    case Kind::SceneStore:
        return core.storeScene(request.scene, request.sceneName, source) == SceneList::Edit::Done;
    default:
        return false;
    }
}

bool isSceneRequest(OscRequest::Kind kind)
{
    return kind == Kind::SceneRecall || kind == Kind::SceneNext || kind == Kind::ScenePrevious
           || kind == Kind::SceneUndo || kind == Kind::SceneStore;
}

} // namespace

namespace OscCommands {

bool run(ControllerCore &core, const OscRequest &request, const CommandSource &source)
{
    if (isSceneRequest(request.kind))
        return runScene(core, request, source);
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
    case Kind::GroupRecallSafe:
        core.setRecallSafe(group, request.on, source);
        return true;
    default:
        return false;
    }
}

} // namespace OscCommands

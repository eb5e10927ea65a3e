#include "scenegroupstate.h"

GroupState stateOfGroup(const tGroupItem &record, GroupMute mute)
{
    return {record.volumeA,         record.volumeB,          record.inputLevelA,
            record.inputLevelB,     record.limiterA,         record.limiterB,
            record.volumeLink != 0, record.inputLevelLink != 0, record.limiterLink != 0,
            mute};
}

void putStateIntoGroup(const GroupState &state, tGroupItem &record)
{
    record.volumeA = state.volumeA;
    record.volumeB = state.volumeB;
    record.inputLevelA = state.inputLevelA;
    record.inputLevelB = state.inputLevelB;
    record.limiterA = state.limiterA;
    record.limiterB = state.limiterB;
    record.volumeLink = state.volumeLink ? 1 : 0;
    record.inputLevelLink = state.inputLevelLink ? 1 : 0;
    record.limiterLink = state.limiterLink ? 1 : 0;
}

QList<Scene> scenesOfGroups(QList<Scene> scenes, const QSet<QString> &groups)
{
    for (Scene &scene : scenes) {
        scene.groups.removeIf([&groups](const NamedGroupState &entry) { return !groups.contains(entry.group); });
        QStringList named = scene.scope.groups;
        named.removeIf([&groups](const QString &group) { return !groups.contains(group); });
        if (!named.isEmpty() || scene.scope.allGroups)
            scene.scope.groups = named;
    }
    return scenes;
}

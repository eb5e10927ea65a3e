#include "scenerecall.h"

#include <algorithm>

namespace {

const GroupState *stateOf(const QList<NamedGroupState> &groups, const QString &name)
{
    const auto at = std::find_if(groups.cbegin(), groups.cend(),
                                 [&name](const NamedGroupState &group) { return group.group == name; });
    return at == groups.cend() ? nullptr : &at->state;
}

void copyLevels(const GroupState &from, GroupState &to)
{
    to.volumeA = from.volumeA;
    to.volumeB = from.volumeB;
    to.inputLevelA = from.inputLevelA;
    to.inputLevelB = from.inputLevelB;
    to.volumeLink = from.volumeLink;
    to.inputLevelLink = from.inputLevelLink;
}

void copyLimiters(const GroupState &from, GroupState &to)
{
    to.limiterA = from.limiterA;
    to.limiterB = from.limiterB;
    to.limiterLink = from.limiterLink;
}

// A mixed mute is never requested, neither by a recall nor by an undo.
SceneKinds settable(SceneKinds kinds, const GroupState &values)
{
    if (values.mute == GroupMute::Leave)
        kinds &= ~SceneKinds(SceneKind::Mutes);
    return kinds;
}

// The current state with the parts named by kinds taken from values.
GroupState merged(GroupState current, const GroupState &values, SceneKinds kinds)
{
    if (kinds.testFlag(SceneKind::Levels))
        copyLevels(values, current);
    if (kinds.testFlag(SceneKind::Limiters))
        copyLimiters(values, current);
    if (kinds.testFlag(SceneKind::Mutes))
        current.mute = values.mute;
    return current;
}

bool sameParts(const GroupState &a, const GroupState &b, SceneKinds kinds)
{
    return merged(a, b, kinds) == a;
}

// The common part of recall and undo: each change over the live state.
RecallPlan planChanges(const QList<GroupTarget> &changes, const QList<NamedGroupState> &live,
                       const QSet<QString> &recallSafe)
{
    RecallPlan plan;
    for (const GroupTarget &change : changes) {
        if (recallSafe.contains(change.group))
            continue;
        const GroupState *current = stateOf(live, change.group);
        if (!current) {
            plan.missing.append(change.group);
            continue;
        }
        const SceneKinds kinds = settable(change.kinds, change.state);
        if (!kinds)
            continue;  // nothing to set: mutes alone, and the mute is left
        plan.targets.append({change.group, kinds, merged(*current, change.state, kinds)});
        plan.undo.append({change.group, settable(kinds, *current), *current});
    }
    return plan;
}

} // namespace

std::optional<bool> GroupTarget::muteRequest() const
{
    if (!kinds.testFlag(SceneKind::Mutes) || state.mute == GroupMute::Leave)
        return std::nullopt;
    return state.mute == GroupMute::Muted;
}

RecallPlan planRecall(const Scene &scene, const QList<NamedGroupState> &live,
                      const QSet<QString> &recallSafe)
{
    QList<GroupTarget> changes;
    for (const NamedGroupState &stored : scene.groups) {
        if (scene.scope.covers(stored.group))
            changes.append({stored.group, scene.scope.kinds, stored.state});
    }
    RecallPlan plan = planChanges(changes, live, recallSafe);
    // Groups named by the scope that the scene holds no values for.
    for (const QString &named : scene.scope.groups) {
        if (scene.scope.allGroups || recallSafe.contains(named))
            continue;
        const bool stored = std::any_of(scene.groups.cbegin(), scene.groups.cend(),
                                        [&named](const NamedGroupState &group) { return group.group == named; });
        if (!stored)
            plan.missing.append(named);
    }
    return plan;
}

RecallPlan planUndo(const QList<GroupTarget> &undo, const QList<NamedGroupState> &live,
                    const QSet<QString> &recallSafe)
{
    return planChanges(undo, live, recallSafe);
}

bool isModified(const QList<GroupTarget> &targets, const QList<NamedGroupState> &live)
{
    return std::any_of(targets.cbegin(), targets.cend(), [&live](const GroupTarget &target) {
        const GroupState *current = stateOf(live, target.group);
        return current && !sameParts(*current, target.state, target.kinds);
    });
}

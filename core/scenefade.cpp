#include "scenefade.h"

namespace {

// from + (to - from) * elapsed / duration, rounded to the nearest whole
// stored value, halves away from `from`; 0 < elapsed < duration.
quint8 onTheWay(quint8 from, quint8 to, qint64 elapsed, qint64 duration)
{
    const qint64 travel = qint64(to) - qint64(from);
    const qint64 scaled = travel * elapsed;
    const qint64 rounded = (2 * scaled + (travel < 0 ? -duration : duration)) / (2 * duration);
    return static_cast<quint8>(qint64(from) + rounded);
}

} // namespace

GroupState fadedState(const GroupState &from, const GroupState &to, int durationMs, qint64 elapsedMs)
{
    if (durationMs <= 0 || elapsedMs >= durationMs)
        return to;
    GroupState state = to;
    const qint64 elapsed = qMax<qint64>(elapsedMs, 0);
    state.volumeA = onTheWay(from.volumeA, to.volumeA, elapsed, durationMs);
    state.volumeB = onTheWay(from.volumeB, to.volumeB, elapsed, durationMs);
    state.inputLevelA = onTheWay(from.inputLevelA, to.inputLevelA, elapsed, durationMs);
    state.inputLevelB = onTheWay(from.inputLevelB, to.inputLevelB, elapsed, durationMs);
    return state;
}

QList<qint64> fadeStepTimes(int durationMs, int paceMs)
{
    QList<qint64> times{0};
    if (durationMs <= 0 || paceMs <= 0)
        return times;
    for (qint64 at = paceMs; at < durationMs; at += paceMs)
        times.append(at);
    times.append(durationMs);
    return times;
}

QList<GroupState> fadeSteps(const GroupState &from, const GroupState &to, int durationMs, int paceMs)
{
    QList<GroupState> steps;
    for (const qint64 at : fadeStepTimes(durationMs, paceMs))
        steps.append(fadedState(from, to, durationMs, at));
    return steps;
}

QList<GroupTarget> fadedTargets(const RecallPlan &plan, int durationMs, qint64 elapsedMs)
{
    QList<GroupTarget> targets = plan.targets;
    for (qsizetype i = 0; i < targets.size() && i < plan.undo.size(); ++i) {
        GroupTarget &target = targets[i];
        if (target.kinds.testFlag(SceneKind::Levels))
            target.state = fadedState(plan.undo[i].state, target.state, durationMs, elapsedMs);
    }
    return targets;
}

#pragma once

// A recall's fade: the volume and input levels travel from where they were
// to the scene's values in steady steps of the same size in dB (each stored
// step is 0.5 dB, so a straight line in stored values is one in dB), while
// limiters, links and mutes take their new values at the start. Pure
// functions of the elapsed time; the caller's timer sets the pace, and a new
// recall or a fader moved by hand simply stops asking.

#include "scene.h"
#include "scenerecall.h"

#include <QList>

// The state elapsedMs into a fade of durationMs from one state to another:
// `to` with its four levels on the line from `from`'s, each rounded to the
// nearest stored value (halves away from `from`). At or after the end, and
// for a fade of 0 ms, exactly `to`; before the start (elapsedMs <= 0) the
// levels are `from`'s.
GroupState fadedState(const GroupState &from, const GroupState &to, int durationMs, qint64 elapsedMs);

// The moments a fade is sent at the given pace: 0, pace, 2 * pace, ... and
// the end itself, the last exactly durationMs. Only 0 for a fade of 0 ms.
// paceMs must be above 0.
QList<qint64> fadeStepTimes(int durationMs, int paceMs);

// The states sent at those moments.
QList<GroupState> fadeSteps(const GroupState &from, const GroupState &to, int durationMs, int paceMs);

// The targets of a recall plan elapsedMs into its fade: the groups whose
// levels it sets on their way (from plan.undo's states), every other part
// and group as the plan sets it.
QList<GroupTarget> fadedTargets(const RecallPlan &plan, int durationMs, qint64 elapsedMs);

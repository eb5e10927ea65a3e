#include "scenedirector.h"

#include "scenefade.h"

#include <algorithm>

namespace {

// The targets' settings alone: a group's mute is known only from its
// amplifiers' reports, which come later than the commands; mute commands
// are followed by muteCommanded instead.
QList<GroupTarget> settingsOf(QList<GroupTarget> targets)
{
    for (GroupTarget &target : targets)
        target.kinds &= ~SceneKinds(SceneKind::Mutes);
    return targets;
}

} // namespace

SceneDirector::SceneDirector(LiveGroups live, ApplyTarget apply, QObject *parent)
    : QObject(parent), m_live(std::move(live)), m_apply(std::move(apply))
{
    m_fadeTimer.setInterval(kFadePaceMs);
    m_fadeTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_fadeTimer, &QTimer::timeout, this, &SceneDirector::fadeStep);
}

void SceneDirector::load(SceneList list)
{
    stopFade();
    m_list = std::move(list);
    m_current = 0;
    m_modified = false;
    m_targets.clear();
    m_undo.reset();
    Q_EMIT changed();
}

SceneList::Edit SceneDirector::store(int number, const QString &name)
{
    const SceneList::Edit result = m_list.store(number, m_live(), name);
    if (result == SceneList::Edit::Done)
        Q_EMIT changed();
    return result;
}

SceneList::Edit SceneDirector::edit(const std::function<SceneList::Edit(SceneList &)> &change)
{
    const SceneList::Edit result = change(m_list);
    if (result != SceneList::Edit::Done)
        return result;
    if (m_current != 0 && !m_list.find(m_current)) {
        m_current = 0;
        m_modified = false;
    }
    Q_EMIT changed();
    return result;
}

std::optional<RecallPlan> SceneDirector::recall(int number)
{
    const Scene *scene = m_list.find(number);
    if (!scene)
        return std::nullopt;
    stopFade();
    RecallPlan plan = planRecall(*scene, m_live(), m_list.recallSafe());
    const int fadeMs = scene->scope.kinds.testFlag(SceneKind::Levels) ? scene->fadeMs : 0;
    m_currentBeforeRecall = std::exchange(m_current, number);
    m_targets = plan.targets;
    m_undo = plan.undo;
    m_modified = false;
    ++m_recalls;
    if (fadeMs > 0)
        startFade(plan, fadeMs);
    else
        applyAll(plan.targets, true);
    Q_EMIT changed();
    return plan;
}

std::optional<RecallPlan> SceneDirector::undo()
{
    if (!m_undo)
        return std::nullopt;
    stopFade();
    RecallPlan plan = planUndo(*m_undo, m_live(), m_list.recallSafe());
    applyAll(plan.targets, true);
    m_targets = plan.targets;
    m_undo = plan.undo;  // undoing an undo recalls again
    std::swap(m_current, m_currentBeforeRecall);
    if (m_current != 0 && !m_list.find(m_current))
        m_current = 0;
    m_modified = false;
    Q_EMIT changed();
    return plan;
}

bool SceneDirector::setRecallSafe(const QString &group, bool safe)
{
    if (!m_list.setRecallSafe(group, safe))
        return false;
    Q_EMIT changed();
    return true;
}

void SceneDirector::groupDeleted(const QString &group)
{
    setRecallSafe(group, false);
}

void SceneDirector::settingsMoved(const QString &group, const GroupState &live)
{
    const bool fadeTouched = std::any_of(m_fadePlan.targets.cbegin(), m_fadePlan.targets.cend(),
                                         [&group](const GroupTarget &target) { return target.group == group; });
    if (fading() && fadeTouched)
        stopFade();
    if (!m_modified && m_current != 0 && isModified(settingsOf(m_targets), {{group, live}}))
        setModified(true);
}

void SceneDirector::muteCommanded(const QString &group)
{
    if (!m_modified && m_current != 0 && covers(group, SceneKind::Mutes))
        setModified(true);
}

bool SceneDirector::covers(const QString &group, SceneKinds kinds) const
{
    return std::any_of(m_targets.cbegin(), m_targets.cend(), [&](const GroupTarget &target) {
        return target.group == group && bool(target.kinds & kinds);
    });
}

// Limiters, links and mutes change at the start; the levels set out from
// where they are and take one step per timeout.
void SceneDirector::startFade(const RecallPlan &plan, int durationMs)
{
    m_fadePlan = plan;
    m_fadeDurationMs = durationMs;
    m_fadeTimes = fadeStepTimes(durationMs, kFadePaceMs);
    m_fadeStep = 0;
    applyAll(fadedTargets(plan, durationMs, 0), true);
    m_fadeTimer.start();
}

void SceneDirector::stopFade()
{
    m_fadeTimer.stop();
    m_fadePlan = {};
}

void SceneDirector::fadeStep()
{
    m_fadeStep = std::min(m_fadeStep + 1, m_fadeTimes.size() - 1);
    QList<GroupTarget> targets = fadedTargets(m_fadePlan, m_fadeDurationMs, m_fadeTimes[m_fadeStep]);
    targets.removeIf([](const GroupTarget &target) { return !target.kinds.testFlag(SceneKind::Levels); });
    applyAll(targets, false);
    if (m_fadeStep + 1 < m_fadeTimes.size())
        return;
    stopFade();
    // Whatever was moved during the fade counts from its end.
    if (m_current != 0)
        setModified(m_modified || isModified(settingsOf(m_targets), m_live()));
}

void SceneDirector::applyAll(const QList<GroupTarget> &targets, bool withMute)
{
    for (const GroupTarget &target : targets)
        m_apply(target, withMute);
}

void SceneDirector::setModified(bool on)
{
    if (std::exchange(m_modified, on) != on)
        Q_EMIT changed();
}

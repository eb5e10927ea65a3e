// A recall worked out from plain values: which groups take what, what is
// missing, what an undo puts back, when the live state has left the scene,
// and the fade's steps. How a fade's targets reach the amplifiers, mutes at
// once and levels step by step, is checked through the core's commands.

#include "fadertable.h"
#include "scenefade.h"
#include "scenerecall.h"

#include <QTest>

#include <cstdlib>

using namespace Qt::StringLiterals;

static_assert(GroupState::kLevelMaximum == FaderTable::kLevelMaximum);
static_assert(GroupState::kLimiterFloor == FaderTable::kLimiterFloor);
static_assert(GroupState::kLimiterCeiling == FaderTable::kLimiterFloor + FaderTable::kLimiterMaximum);

namespace {

const QString kFoh = u"FOH  "_s;
const QString kStage = u"STAGE"_s;
const QString kSubs = u"SUBS "_s;
const QString kDelay = u"DELAY"_s;

GroupState state(quint8 level, quint8 limiter, GroupMute mute, bool links = false)
{
    return {level, level, level, level, limiter, limiter, links, links, links, mute};
}

// FOH, STAGE and SUBS as they are now.
QList<NamedGroupState> live()
{
    return {{kFoh, state(10, 20, GroupMute::Unmuted)},
            {kStage, state(30, 40, GroupMute::Leave)},
            {kSubs, state(50, 60, GroupMute::Muted)}};
}

// Holds FOH, STAGE and DELAY, the last since deleted; SUBS came later.
Scene show()
{
    Scene scene;
    scene.number = 3;
    scene.name = u"Show"_s;
    scene.groups = {{kFoh, state(100, 150, GroupMute::Muted, true)},
                    {kStage, state(110, 160, GroupMute::Leave, true)},
                    {kDelay, state(120, 170, GroupMute::Unmuted)}};
    return scene;
}

// What the core does with a plan: each target's state becomes the group's.
QList<NamedGroupState> applied(QList<NamedGroupState> groups, const QList<GroupTarget> &targets)
{
    for (const GroupTarget &target : targets) {
        for (NamedGroupState &group : groups) {
            if (group.group == target.group)
                group.state = target.state;
        }
    }
    return groups;
}

// -1: no mute request, 0: un-mute all, 1: mute all.
int muteCode(const GroupTarget &target)
{
    const std::optional<bool> request = target.muteRequest();
    return request ? int(*request) : -1;
}

} // namespace

class tst_SceneRecall final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void plan_data();
    void plan();
    void undoPutsBackWhatTheRecallChanged();
    void modified_data();
    void modified();
    void steadySteps_data();
    void steadySteps();
};

void tst_SceneRecall::plan_data()
{
    QTest::addColumn<SceneScope>("scope");
    QTest::addColumn<QStringList>("safe");
    QTest::addColumn<QStringList>("targets");
    QTest::addColumn<QList<int>>("volumes");   // volume A per target
    QTest::addColumn<QList<int>>("limiters");  // limiter A per target
    QTest::addColumn<QList<int>>("mutes");     // muteCode per target
    QTest::addColumn<QStringList>("missing");

    const SceneScope all;
    QTest::newRow("everything; a mixed mute is left, a deleted group named")
        << all << QStringList() << QStringList{kFoh, kStage} << QList<int>{100, 110} << QList<int>{150, 160}
        << QList<int>{1, -1} << QStringList{kDelay};
    QTest::newRow("levels only: limiters stay")
        << SceneScope{true, {}, SceneKind::Levels} << QStringList() << QStringList{kFoh, kStage}
        << QList<int>{100, 110} << QList<int>{20, 40} << QList<int>{-1, -1} << QStringList{kDelay};
    QTest::newRow("limiters only")
        << SceneScope{true, {}, SceneKind::Limiters} << QStringList() << QStringList{kFoh, kStage}
        << QList<int>{10, 30} << QList<int>{150, 160} << QList<int>{-1, -1} << QStringList{kDelay};
    QTest::newRow("mutes only: a group whose mute is left has nothing to set")
        << SceneScope{true, {}, SceneKind::Mutes} << QStringList() << QStringList{kFoh} << QList<int>{10}
        << QList<int>{20} << QList<int>{1} << QStringList{kDelay};
    QTest::newRow("chosen groups; one the scene holds no values for")
        << SceneScope{false, {kStage, kSubs}, kAllSceneKinds} << QStringList() << QStringList{kStage}
        << QList<int>{110} << QList<int>{160} << QList<int>{-1} << QStringList{kSubs};
    QTest::newRow("recall safe groups untouched and never missing")
        << all << QStringList{kFoh, kDelay} << QStringList{kStage} << QList<int>{110} << QList<int>{160}
        << QList<int>{-1} << QStringList();
}

void tst_SceneRecall::plan()
{
    QFETCH(SceneScope, scope);
    QFETCH(QStringList, safe);
    QFETCH(QStringList, targets);
    QFETCH(QList<int>, volumes);
    QFETCH(QList<int>, limiters);
    QFETCH(QList<int>, mutes);
    QFETCH(QStringList, missing);

    Scene scene = show();
    scene.scope = scope;
    const RecallPlan plan = planRecall(scene, live(), QSet<QString>(safe.cbegin(), safe.cend()));
    QStringList names;
    for (qsizetype i = 0; i < plan.targets.size(); ++i) {
        const GroupTarget &target = plan.targets[i];
        names.append(target.group);
        QCOMPARE(target.state.volumeA, volumes.value(i));
        QCOMPARE(target.state.volumeB, volumes.value(i));
        QCOMPARE(target.state.limiterB, limiters.value(i));
        QCOMPARE(muteCode(target), mutes.value(i));
        // The links go with the kinds they belong to.
        QCOMPARE(target.state.volumeLink, scope.kinds.testFlag(SceneKind::Levels));
        QCOMPARE(target.state.limiterLink, scope.kinds.testFlag(SceneKind::Limiters));
    }
    QCOMPARE(names, targets);
    QCOMPARE(plan.missing, missing);
    QCOMPARE(plan.undo.size(), plan.targets.size());
    QVERIFY(!isModified(plan.targets, applied(live(), plan.targets)));
}

void tst_SceneRecall::undoPutsBackWhatTheRecallChanged()
{
    const QList<NamedGroupState> before = live();
    RecallPlan recall = planRecall(show(), before, {});
    QList<NamedGroupState> after = applied(before, recall.targets);
    // FOH's mute was not mixed: the undo un-mutes it again.
    QCOMPARE(muteCode(recall.undo.first()), 0);

    after[0].state.limiterA = 99;                // moved by hand since
    const RecallPlan undo = planUndo(recall.undo, after, {});
    QVERIFY(undo.missing.isEmpty());
    const QList<NamedGroupState> undone = applied(after, undo.targets);
    QCOMPARE(undone[1], before[1]);
    QCOMPARE(undone[2], before[2]);              // never covered
    QCOMPARE(undone[0].state, before[0].state);  // the hand-moved limiter too

    // A group deleted since is named; one marked safe since is left alone.
    const RecallPlan partial = planUndo(recall.undo, after.mid(1), {kStage});
    QVERIFY(partial.targets.isEmpty());
    QCOMPARE(partial.missing, QStringList{kFoh});

    // Undoing the undo recalls again.
    const RecallPlan redo = planUndo(undo.undo, undone, {});
    QCOMPARE(applied(undone, redo.targets)[1], after[1]);
}

void tst_SceneRecall::modified_data()
{
    QTest::addColumn<SceneKinds>("kinds");
    QTest::addColumn<int>("group");      // index in live()
    QTest::addColumn<int>("change");     // 0 volume B, 1 limiter A, 2 input link, 3 mute, 4 delete group
    QTest::addColumn<bool>("modified");
    QTest::newRow("covered level moved") << kAllSceneKinds << 0 << 0 << true;
    QTest::newRow("covered link changed") << SceneKinds(SceneKind::Levels) << 0 << 2 << true;
    QTest::newRow("uncovered limiter moved") << SceneKinds(SceneKind::Levels) << 0 << 1 << false;
    QTest::newRow("covered limiter moved") << SceneKinds(SceneKind::Limiters) << 1 << 1 << true;
    QTest::newRow("recalled mute changed") << kAllSceneKinds << 0 << 3 << true;
    QTest::newRow("mute the recall left changed") << kAllSceneKinds << 1 << 3 << false;
    QTest::newRow("uncovered mute changed") << SceneKinds(SceneKind::Levels) << 0 << 3 << false;
    QTest::newRow("group never covered changed") << kAllSceneKinds << 2 << 0 << false;
    QTest::newRow("covered group deleted") << kAllSceneKinds << 0 << 4 << false;
}

void tst_SceneRecall::modified()
{
    QFETCH(SceneKinds, kinds);
    QFETCH(int, group);
    QFETCH(int, change);
    QFETCH(bool, modified);

    Scene scene = show();
    scene.scope.kinds = kinds;
    const RecallPlan plan = planRecall(scene, live(), {});
    QList<NamedGroupState> now = applied(live(), plan.targets);
    GroupState &changed = now[group].state;
    switch (change) {
    case 0: ++changed.volumeB; break;
    case 1: ++changed.limiterA; break;
    case 2: changed.inputLevelLink = !changed.inputLevelLink; break;
    case 3: changed.mute = changed.mute == GroupMute::Muted ? GroupMute::Unmuted : GroupMute::Muted; break;
    default: now.removeAt(group); break;
    }
    QCOMPARE(isModified(plan.targets, now), modified);
}

void tst_SceneRecall::steadySteps_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("pace");
    QTest::addColumn<int>("steps");  // moments sent, the start included
    QTest::newRow("2 s up the whole range at 150 ms") << 0 << 191 << 2000 << 150 << 15;
    QTest::newRow("2 s down by 6 dB") << 120 << 108 << 2000 << 150 << 15;
    QTest::newRow("end on a multiple of the pace") << 50 << 150 << 1500 << 150 << 11;
    QTest::newRow("shorter than the pace") << 10 << 20 << 100 << 150 << 2;
    QTest::newRow("30 s by one step") << 100 << 101 << 30'000 << 150 << 201;
    QTest::newRow("nothing to travel") << 77 << 77 << 1000 << 150 << 8;
    QTest::newRow("no fade") << 0 << 191 << 0 << 150 << 1;
}

// Steady: each step moves the levels by the same amount, give or take the
// one stored step that rounding needs, always toward the target, and the
// last step is the target exactly; the limiters are there from the start.
void tst_SceneRecall::steadySteps()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, duration);
    QFETCH(int, pace);
    QFETCH(int, steps);

    const GroupState start = state(quint8(from), 10, GroupMute::Unmuted);
    const GroupState end = state(quint8(to), 170, GroupMute::Muted, true);
    const QList<GroupState> sent = fadeSteps(start, end, duration, pace);
    QCOMPARE(sent.size(), steps);
    QCOMPARE(sent.last(), end);
    QCOMPARE(sent.first().volumeA, duration == 0 ? to : from);
    const QList<qint64> times = fadeStepTimes(duration, pace);
    for (qsizetype i = 0; i < sent.size(); ++i) {
        QCOMPARE(sent[i].limiterA, 170);
        QCOMPARE(sent[i].inputLevelB, sent[i].volumeA);
        if (i == 0)
            continue;
        const double ideal = double(to - from) * double(times[i] - times[i - 1]) / duration;
        const int moved = sent[i].volumeA - sent[i - 1].volumeA;
        QVERIFY2(std::abs(moved - ideal) <= 1.0, qPrintable(u"step %1 moved %2"_s.arg(i).arg(moved)));
        QVERIFY(moved == 0 || (moved > 0) == (to > from));
    }
}

QTEST_APPLESS_MAIN(tst_SceneRecall)
#include "tst_scenerecall.moc"

// The scene list's edits: what each does to the list, and what it refuses
// without changing anything.

#include "scenelist.h"

#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

QList<NamedGroupState> oneGroup(quint8 volume)
{
    GroupState state;
    state.volumeA = volume;
    return {{u"FOH  "_s, state}};
}

// Scenes 2 "Walk-in", 5 "Show", 9 "Scene 9" in that order.
SceneList threeScenes()
{
    SceneList list;
    list.store(5, oneGroup(5), u"Show"_s);
    list.store(2, oneGroup(2), u"Walk-in"_s);
    list.store(9, oneGroup(9));
    return list;
}

QList<int> numbers(const SceneList &list)
{
    QList<int> result;
    for (const Scene &scene : list.scenes())
        result.append(scene.number);
    return result;
}

using EditFunction = std::function<SceneList::Edit(SceneList &)>;

} // namespace

Q_DECLARE_METATYPE(EditFunction)

class tst_SceneList final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void edits_data();
    void edits();
    void storeOverExistingKeepsScopeAndFade();
    void lookups();
    void recallSafe();
    void cleanNames_data();
    void cleanNames();
};

void tst_SceneList::edits_data()
{
    QTest::addColumn<EditFunction>("edit");
    QTest::addColumn<SceneList::Edit>("result");
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<QString>("nameOf5");

    const auto row = [](const char *name, EditFunction edit, SceneList::Edit result, QList<int> order,
                        const QString &nameOf5 = u"Show"_s) {
        QTest::newRow(name) << edit << result << order << nameOf5;
    };
    using E = SceneList::Edit;
    row("new scene goes before the first higher number", [](SceneList &l) { return l.store(7, {}); }, E::Done,
        {2, 5, 7, 9});
    row("new scene last", [](SceneList &l) { return l.store(99, {}); }, E::Done, {2, 5, 9, 99});
    row("store number 0", [](SceneList &l) { return l.store(0, {}); }, E::NumberOutOfRange, {2, 5, 9});
    row("store number 100", [](SceneList &l) { return l.store(100, {}); }, E::NumberOutOfRange, {2, 5, 9});
    row("store over keeps the place, takes a name", [](SceneList &l) { return l.store(5, {}, u" Loud "_s); },
        E::Done, {2, 5, 9}, u"Loud"_s);
    row("store over without a name keeps it", [](SceneList &l) { return l.store(5, {}); }, E::Done, {2, 5, 9});
    row("store with 33 characters", [](SceneList &l) { return l.store(7, {}, QString(33, u'x')); },
        E::NameTooLong, {2, 5, 9});
    row("rename to 32 characters", [](SceneList &l) { return l.rename(5, QString(32, u'x')); }, E::Done,
        {2, 5, 9}, QString(32, u'x'));
    row("rename with a tab", [](SceneList &l) { return l.rename(5, u"a\tb"_s); }, E::NameHasControlCharacter,
        {2, 5, 9});
    row("rename to blanks gives the default", [](SceneList &l) { return l.rename(5, u"   "_s); }, E::Done,
        {2, 5, 9}, u"Scene 5"_s);
    row("rename missing", [](SceneList &l) { return l.rename(3, u"x"_s); }, E::NoSuchScene, {2, 5, 9});
    row("remove", [](SceneList &l) { return l.remove(2); }, E::Done, {5, 9});
    row("remove missing", [](SceneList &l) { return l.remove(3); }, E::NoSuchScene, {2, 5, 9});
    row("move up", [](SceneList &l) { return l.move(5, -1); }, E::Done, {5, 2, 9});
    row("move down", [](SceneList &l) { return l.move(5, 1); }, E::Done, {2, 9, 5});
    row("move up at the top", [](SceneList &l) { return l.move(2, -1); }, E::AtEdge, {2, 5, 9});
    row("move down at the bottom", [](SceneList &l) { return l.move(9, 1); }, E::AtEdge, {2, 5, 9});
    row("fade 30 s", [](SceneList &l) { return l.setFade(5, 30'000); }, E::Done, {2, 5, 9});
    row("fade beyond 30 s", [](SceneList &l) { return l.setFade(5, 30'001); }, E::FadeOutOfRange, {2, 5, 9});
    row("fade negative", [](SceneList &l) { return l.setFade(5, -1); }, E::FadeOutOfRange, {2, 5, 9});
    row("scope without kinds", [](SceneList &l) { return l.setScope(5, {true, {}, {}}); }, E::NoKinds, {2, 5, 9});
    row("scope without groups", [](SceneList &l) { return l.setScope(5, {false, {}, kAllSceneKinds}); },
        E::NoGroups, {2, 5, 9});
}

void tst_SceneList::edits()
{
    QFETCH(EditFunction, edit);
    QFETCH(SceneList::Edit, result);
    QFETCH(QList<int>, order);
    QFETCH(QString, nameOf5);

    SceneList list = threeScenes();
    const SceneList before = list;
    QCOMPARE(edit(list), result);
    QCOMPARE(numbers(list), order);
    if (const Scene *five = list.find(5))
        QCOMPARE(five->name, nameOf5);
    if (result != SceneList::Edit::Done)
        QCOMPARE(list.scenes(), before.scenes());
    QVERIFY(!sceneEditText(result).isEmpty() || result == SceneList::Edit::Done);
}

void tst_SceneList::storeOverExistingKeepsScopeAndFade()
{
    SceneList list = threeScenes();
    const SceneScope mutesOfFoh{false, {u"FOH  "_s, u"FOH  "_s}, SceneKind::Mutes};
    QCOMPARE(list.setScope(5, mutesOfFoh), SceneList::Edit::Done);
    QCOMPARE(list.setFade(5, 2500), SceneList::Edit::Done);
    QCOMPARE(list.store(5, oneGroup(100)), SceneList::Edit::Done);

    const Scene *five = list.find(5);
    QVERIFY(five);
    QCOMPARE(five->groups, oneGroup(100));
    QCOMPARE(five->scope.groups, QStringList{u"FOH  "_s});  // duplicates dropped
    QCOMPARE(five->scope.kinds, SceneKinds(SceneKind::Mutes));
    QCOMPARE(five->fadeMs, 2500);
    QCOMPARE(list.find(9)->name, u"Scene 9"_s);
}

void tst_SceneList::lookups()
{
    SceneList list = threeScenes();
    list.store(11, {}, u"show"_s);
    QCOMPARE(list.findByName(u"show")->number, 11);   // exact before case-blind
    QCOMPARE(list.findByName(u"SHOW")->number, 5);    // first case-blind match
    QVERIFY(!list.findByName(u"Interval"));
    QVERIFY(!list.find(3));

    QCOMPARE(list.neighbour(5, 1), 9);
    QCOMPARE(list.neighbour(5, -1), 2);
    QCOMPARE(list.neighbour(11, 1), 0);
    QCOMPARE(list.neighbour(2, -1), 0);
    QCOMPARE(list.neighbour(0, 1), 2);    // no current scene: next is the first
    QCOMPARE(list.neighbour(0, -1), 11);  // and previous the last
    QCOMPARE(SceneList().neighbour(0, 1), 0);
}

void tst_SceneList::recallSafe()
{
    SceneList list;
    QVERIFY(list.setRecallSafe(u"FOH  "_s, true));
    QVERIFY(!list.setRecallSafe(u"FOH  "_s, true));
    QVERIFY(list.isRecallSafe(u"FOH  "_s));
    QVERIFY(!list.isRecallSafe(u"FOH"_s));  // names as the table holds them
    QVERIFY(list.setRecallSafe(u"FOH  "_s, false));
    QVERIFY(list.recallSafe().isEmpty());
}

void tst_SceneList::cleanNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<SceneNameCheck>("check");
    QTest::addColumn<QString>("clean");
    QTest::newRow("ordinary") << u"Walk-in"_s << SceneNameCheck::Fine << u"Walk-in"_s;
    QTest::newRow("blanks at the ends do not count") << u"  Show  "_s << SceneNameCheck::Fine << u"Show"_s;
    QTest::newRow("control characters") << u"A\u0001B\u007F"_s << SceneNameCheck::ControlCharacter << u"A B"_s;
    QTest::newRow("33 characters") << QString(33, u'n') << SceneNameCheck::TooLong << QString(32, u'n');
    // A character outside the basic plane takes two units; never half of one.
    QTest::newRow("cut before a split pair") << QString(31, u'n') + u"\U0001F3B5"_s
                                             << SceneNameCheck::TooLong << QString(31, u'n');
    QTest::newRow("only control characters") << u"\u0002\u0003"_s << SceneNameCheck::ControlCharacter << QString();
}

void tst_SceneList::cleanNames()
{
    QFETCH(QString, name);
    QFETCH(SceneNameCheck, check);
    QFETCH(QString, clean);
    QCOMPARE(checkSceneName(name), check);
    QCOMPARE(cleanSceneName(name), clean);
    QCOMPARE(checkSceneName(clean), SceneNameCheck::Fine);
}

QTEST_APPLESS_MAIN(tst_SceneList)
#include "tst_scenelist.moc"

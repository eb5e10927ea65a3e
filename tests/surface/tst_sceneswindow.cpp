// The Scenes window driven through its controls, offscreen: each row is a
// short script of what an operator does, and the checks read the core (its
// scenes, current scene, a group's level, recall-safe marks, the event log),
// not the window's pictures. No amplifiers: a recall changes the group table.

#include "controllercore.h"
#include "sceneswindow.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace Qt::StringLiterals;

class tst_ScenesWindow final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void operatorSteps_data();
    void operatorSteps();

private:
    void run(const QString &step);
    QHash<QString, QString> state() const;

    std::unique_ptr<ControllerCore> m_core;
    std::unique_ptr<ScenesWindow> m_window;
    bool m_answer = false;
    QStringList m_questions;
};

void tst_ScenesWindow::init()
{
    m_window.reset();
    m_core = std::make_unique<ControllerCore>();
    ControllerCore &core = *m_core;
    const CommandSource source = CommandSource::window();
    QVERIFY(core.addGroup(u"FOH"_s, source));
    QVERIFY(core.addGroup(u"SUBS"_s, source));
    const GroupId foh = core.groupNamed(u"FOH");
    // FOH's volume A, the rows' "volume": 20 in "Show", 40 in "Break", 100 live.
    core.setGroupSetting(foh, 1, 20, source);
    QCOMPARE(core.storeScene(1, u"Show"_s, source), SceneList::Edit::Done);
    core.setGroupSetting(foh, 1, 40, source);
    QCOMPARE(core.storeScene(2, u"Break"_s, source), SceneList::Edit::Done);
    core.setGroupSetting(foh, 1, 100, source);

    m_window = std::make_unique<ScenesWindow>(core);
    m_window->setConfirm([this](QWidget *, const QString &question) {
        m_questions.append(question);
        return m_answer;
    });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_answer = false;
    m_questions.clear();
}

// Steps: "select N", "number N", "name TEXT", "click BUTTON", "check BOX
// on|off" (by object name), "enter", "double N", "answer yes|no", "group
// NAME on|off" (scope), "safe NAME on|off", "fade SECONDS", "drag VOLUME"
// (FOH's volume A as the main window sets it). Expected: the keys a row
// checks, "scenes" as "N Name", "current", "volume" (FOH's volume A), "scope"
// of scene 1, "safe" groups, the list's "marks", the newest "event" (part of
// its text; "-": the steps logged none) and the window's "message" line.
void tst_ScenesWindow::operatorSteps_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *tag, const QStringList &steps, const QString &expected) {
        QTest::newRow(tag) << steps << expected;
    };
    const QString recalled2 = u"current=2 / volume=40 / marks=current / event=Scene 2 \"Break\" recalled"_s;
    row("store a new scene", {u"number 5"_s, u"name Walk-in"_s, u"click StoreScene"_s},
        u"scenes=1 Show, 2 Break, 5 Walk-in / current=0 / event=Walk-in"_s);
    row("recall by button", {u"select 2"_s, u"click RecallScene"_s}, recalled2);
    row("recall by Enter", {u"select 2"_s, u"enter"_s}, recalled2);
    row("recall by double-click", {u"double 2"_s}, recalled2);
    row("a covered fader moves", {u"select 1"_s, u"click RecallScene"_s, u"drag 60"_s},
        u"current=1 / volume=60 / marks=current, modified"_s);
    row("undo", {u"select 2"_s, u"click RecallScene"_s, u"click UndoRecall"_s}, u"current=0 / volume=100 / marks="_s);
    row("undo with nothing recalled", {u"click UndoRecall"_s},
        u"event=- / message=There is no recall to undo."_s);
    row("next past the end", {u"select 2"_s, u"click RecallScene"_s, u"click NextScene"_s},
        recalled2 + u" / message=There is no next scene."_s);
    row("move down, next, previous",
        {u"select 1"_s, u"click MoveSceneDown"_s, u"click NextScene"_s, u"click NextScene"_s, u"click PreviousScene"_s},
        u"scenes=2 Break, 1 Show / current=2 / volume=40"_s);
    row("rename", {u"select 1"_s, u"name Opening"_s, u"click RenameScene"_s},
        u"scenes=1 Opening, 2 Break / event=Opening"_s);
    row("delete, confirmed", {u"answer yes"_s, u"select 2"_s, u"click DeleteScene"_s},
        u"scenes=1 Show / event=Break"_s);
    row("delete, refused", {u"answer no"_s, u"select 2"_s, u"click DeleteScene"_s},
        u"scenes=1 Show, 2 Break / event=-"_s);
    row("scope: one group, no mutes",
        {u"select 1"_s, u"check SceneAllGroups off"_s, u"group SUBS on"_s, u"check SceneKind_mutes off"_s,
         u"click ApplySceneScope"_s},
        u"scope=SUBS; levels, limiters; 0 / message="_s);
    row("scope without groups", {u"select 1"_s, u"check SceneAllGroups off"_s, u"click ApplySceneScope"_s},
        u"scope=all; levels, limiters, mutes; 0 / message="_s + sceneEditText(SceneList::Edit::NoGroups));
    row("fade", {u"select 1"_s, u"fade 2.5"_s, u"click ApplySceneScope"_s},
        u"scope=all; levels, limiters, mutes; 2500"_s);
    row("recall-safe on", {u"safe SUBS on"_s}, u"safe=SUBS"_s);
}

void tst_ScenesWindow::operatorSteps()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, expected);
    const quint64 eventsBefore = m_core->eventLog().lastId();
    for (const QString &step : steps) {
        run(step);
        if (QTest::currentTestFailed())
            return;
    }
    const QString newest = m_core->eventLog().lastId() == eventsBefore ? u"-"_s
                                                                       : m_core->eventLog().events().back().text;
    const QHash<QString, QString> actual = state();
    for (const QString &check : expected.split(u" / "_s)) {
        const QString key = check.section(u'=', 0, 0);
        const QString value = check.section(u'=', 1);
        if (key == u"event")
            QVERIFY2(value == u"-" ? newest == value : newest != u"-" && newest.contains(value), qPrintable(newest));
        else
            QCOMPARE(u"%1=%2"_s.arg(key, actual.value(key, u"?"_s)), check);
    }
}

void tst_ScenesWindow::run(const QString &step)
{
    const QString verb = step.section(u' ', 0, 0);
    const QString argument = step.section(u' ', 1);
    const QString name = argument.section(u' ', 0, 0);
    const Qt::CheckState check = argument.endsWith(u" on") ? Qt::Checked : Qt::Unchecked;
    const auto tick = [&](const QListWidget *list) {
        const QList<QListWidgetItem *> items = list->findItems(name, Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        items.first()->setCheckState(check);
    };
    if (verb == u"select") {
        m_window->selectScene(argument.toInt());
    } else if (verb == u"number") {
        m_window->storeNumber()->setValue(argument.toInt());
    } else if (verb == u"name") {
        m_window->nameField()->clear();
        QTest::keyClicks(m_window->nameField(), argument);
    } else if (verb == u"click") {
        auto *button = m_window->findChild<QPushButton *>(name);
        QVERIFY2(button, qPrintable(name));
        const Scene *selected = m_core->scenes().find(m_window->selectedScene());
        QTest::mouseClick(button, Qt::LeftButton);
        if (name == u"DeleteScene")  // asks about the selected scene
            QCOMPARE(m_questions, QStringList{ScenesWindow::deleteQuestion(selected->number, selected->name)});
    } else if (verb == u"check") {
        auto *box = m_window->findChild<QCheckBox *>(name);
        QVERIFY(box);
        box->setChecked(check == Qt::Checked);
    } else if (verb == u"enter") {
        QTest::keyClick(m_window->sceneTable(), Qt::Key_Return);
    } else if (verb == u"double") {
        QTreeWidget *table = m_window->sceneTable();
        const QPoint centre = table->visualItemRect(table->findItems(name, Qt::MatchExactly).value(0)).center();
        // The view takes a double-click on the row its press went to.
        QTest::mousePress(table->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, centre);
    } else if (verb == u"answer") {
        m_answer = argument == u"yes";
    } else if (verb == u"group") {
        tick(m_window->scopeGroupList());
    } else if (verb == u"safe") {
        tick(m_window->recallSafeList());
    } else if (verb == u"fade") {
        m_window->fadeField()->setValue(argument.toDouble());
    } else if (verb == u"drag") {
        m_core->setGroupSetting(m_core->groupNamed(u"FOH"), 1, argument.toInt(), CommandSource::window());
    } else {
        QFAIL(qPrintable(u"unknown step "_s + step));
    }
}

// What the rows check, as text: the core's state, and the list's marks as
// the operator reads them.
QHash<QString, QString> tst_ScenesWindow::state() const
{
    QStringList scenes;
    for (const Scene &scene : m_core->scenes().scenes())
        scenes.append(u"%1 %2"_s.arg(scene.number).arg(scene.name));
    QString scope;
    if (const Scene *first = m_core->scenes().find(1)) {
        const QString groups = first->scope.allGroups ? u"all"_s : first->scope.groups.join(u", "_s).trimmed();
        scope = u"%1; %2; %3"_s.arg(groups, sceneKindWords(first->scope.kinds).join(u", "_s)).arg(first->fadeMs);
    }
    QStringList safe;
    for (const QString &group : {u"FOH"_s, u"SUBS"_s}) {
        if (m_core->isRecallSafe(m_core->groupNamed(group)))
            safe.append(group);
    }
    QStringList marks;
    for (int row = 0; row < m_window->sceneTable()->topLevelItemCount(); ++row)
        marks.append(m_window->sceneTable()->topLevelItem(row)->text(ScenesWindow::kStateColumn));
    marks.removeAll(QString());
    return {{u"scenes"_s, scenes.join(u", "_s)},
            {u"current"_s, QString::number(m_core->currentScene())},
            {u"volume"_s, QString::number(m_core->group(m_core->groupNamed(u"FOH"))->volumeA)},
            {u"scope"_s, scope},
            {u"safe"_s, safe.join(u", "_s)},
            {u"marks"_s, marks.join(u" | "_s)},
            {u"message"_s, m_window->messageLabel()->text()}};
}

QTEST_MAIN(tst_ScenesWindow)
#include "tst_sceneswindow.moc"

// The Scenes window driven through its controls, offscreen: each row is a
// short script of what an operator does, and the checks read the core (its
// scenes, current scene, a group's level, recall-safe marks, the event log),
// not the window's pictures. No amplifiers: a recall changes the group table.

#include "controllercore.h"
#include "sceneswindow.h"
#include "screenshot.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// FOH's volume A in each scene and live.
constexpr int kShowVolume = 20;
constexpr int kBreakVolume = 40;
constexpr int kLiveVolume = 100;

QListWidgetItem *itemNamed(const QListWidget *list, const QString &text)
{
    const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

} // namespace

class tst_ScenesWindow final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void operatorSteps_data();
    void operatorSteps();

private:
    void run(const QString &step);
    void click(const QString &name);
    void doubleClickScene(int number);
    QString scenesText() const;
    QString scopeText(int number) const;
    QString safeText() const;
    QString marksText() const;
    int fohVolume() const;
    QString newestEventText() const;

    std::unique_ptr<ControllerCore> m_core;
    std::unique_ptr<ScenesWindow> m_window;
    bool m_answer = false;
    QStringList m_questions;
};

void tst_ScenesWindow::init()
{
    m_core = std::make_unique<ControllerCore>();
    ControllerCore &core = *m_core;
    const CommandSource source = CommandSource::window();
    QVERIFY(core.addGroup(u"FOH"_s, source));
    QVERIFY(core.addGroup(u"SUBS"_s, source));
    const GroupId foh = core.groupNamed(u"FOH");
    core.setGroupSetting(foh, 1, kShowVolume, source);
    QCOMPARE(core.storeScene(1, u"Show"_s, source), SceneList::Edit::Done);
    core.setGroupSetting(foh, 1, kBreakVolume, source);
    QCOMPARE(core.storeScene(2, u"Break"_s, source), SceneList::Edit::Done);
    core.setGroupSetting(foh, 1, kLiveVolume, source);

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

void tst_ScenesWindow::cleanup()
{
    m_window.reset();
    m_core.reset();
}

// Steps: "select N", "number N", "name TEXT", "click Store|Recall|Undo|
// Previous|Next|Rename|Delete|Apply", "enter", "double N", "answer yes|no",
// "all on|off", "group NAME on|off", "kind WORD on|off", "fade SECONDS",
// "safe NAME on|off", "drag VOLUME" (FOH's volume A from the main window).
// Expected: the scenes as "N Name", the current one, FOH's volume A, scene 1's
// scope "groups; kinds; fade ms", the recall-safe groups, the list's marks,
// the newest event (a part of its text; "-" for none logged by the steps) and
// the window's message line.
void tst_ScenesWindow::operatorSteps_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("scenes");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("volume");
    QTest::addColumn<QString>("scope");
    QTest::addColumn<QString>("safe");
    QTest::addColumn<QString>("marks");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("message");

    const QString both = u"1 Show, 2 Break"_s;
    const QString allKinds = u"all; levels, limiters, mutes; 0"_s;
    const QString recalled2 = u"Scene 2 \"Break\" recalled"_s;

    QTest::newRow("store a new scene") << QStringList{u"number 5"_s, u"name Walk-in"_s, u"click Store"_s}
                                       << u"1 Show, 2 Break, 5 Walk-in"_s << 0 << kLiveVolume << allKinds
                                       << QString() << QString() << u"Walk-in"_s << QString();
    QTest::newRow("store over a scene keeps its name")
        << QStringList{u"number 2"_s, u"name "_s, u"click Store"_s} << both << 0 << kLiveVolume << allKinds
        << QString() << QString() << u"Break"_s << QString();
    QTest::newRow("recall by button") << QStringList{u"select 2"_s, u"click Recall"_s} << both << 2 << kBreakVolume
                                      << allKinds << QString() << u"current"_s << recalled2 << QString();
    QTest::newRow("recall by Enter") << QStringList{u"select 2"_s, u"enter"_s} << both << 2 << kBreakVolume
                                     << allKinds << QString() << u"current"_s << recalled2 << QString();
    QTest::newRow("recall by double-click") << QStringList{u"double 2"_s} << both << 2 << kBreakVolume << allKinds
                                            << QString() << u"current"_s << recalled2 << QString();
    QTest::newRow("recall without a selection") << QStringList{u"click Recall"_s} << both << 0 << kLiveVolume
                                                << allKinds << QString() << QString() << u"-"_s << QString();
    QTest::newRow("a covered fader moves: modified")
        << QStringList{u"select 1"_s, u"click Recall"_s, u"drag 60"_s} << both << 1 << 60 << allKinds << QString()
        << u"current, modified"_s << u"*"_s << QString();
    QTest::newRow("undo puts the values back")
        << QStringList{u"select 2"_s, u"click Recall"_s, u"click Undo"_s} << both << 0 << kLiveVolume << allKinds
        << QString() << QString() << u"*"_s << QString();
    QTest::newRow("undo with nothing recalled") << QStringList{u"click Undo"_s} << both << 0 << kLiveVolume
                                                << allKinds << QString() << QString() << u"-"_s
                                                << u"There is no recall to undo."_s;
    QTest::newRow("next from none: the first") << QStringList{u"click Next"_s} << both << 1 << kShowVolume
                                               << allKinds << QString() << u"current"_s << u"Show"_s << QString();
    QTest::newRow("previous") << QStringList{u"select 2"_s, u"click Recall"_s, u"click Previous"_s} << both << 1
                              << kShowVolume << allKinds << QString() << u"current"_s << u"Show"_s << QString();
    QTest::newRow("next past the end") << QStringList{u"select 2"_s, u"click Recall"_s, u"click Next"_s} << both
                                       << 2 << kBreakVolume << allKinds << QString() << u"current"_s << recalled2
                                       << u"There is no next scene."_s;
    QTest::newRow("rename") << QStringList{u"select 1"_s, u"name Opening"_s, u"click Rename"_s}
                            << u"1 Opening, 2 Break"_s << 0 << kLiveVolume << allKinds << QString() << QString()
                            << u"Opening"_s << QString();
    QTest::newRow("rename to nothing: the default name")
        << QStringList{u"select 1"_s, u"name "_s, u"click Rename"_s} << u"1 Scene 1, 2 Break"_s << 0 << kLiveVolume
        << allKinds << QString() << QString() << u"Scene 1"_s << QString();
    QTest::newRow("delete, confirmed") << QStringList{u"answer yes"_s, u"select 2"_s, u"click Delete"_s}
                                       << u"1 Show"_s << 0 << kLiveVolume << allKinds << QString() << QString()
                                       << u"Break"_s << QString();
    QTest::newRow("delete, refused") << QStringList{u"answer no"_s, u"select 2"_s, u"click Delete"_s} << both << 0
                                     << kLiveVolume << allKinds << QString() << QString() << u"-"_s << QString();
    QTest::newRow("delete the current scene")
        << QStringList{u"select 1"_s, u"click Recall"_s, u"answer yes"_s, u"click Delete"_s} << u"2 Break"_s << 0
        << kShowVolume << u"-"_s << QString() << QString() << u"Show"_s << QString();
    QTest::newRow("scope: one group, no mutes")
        << QStringList{u"select 1"_s, u"all off"_s, u"group SUBS on"_s, u"kind mutes off"_s, u"click Apply"_s}
        << both << 0 << kLiveVolume << u"SUBS; levels, limiters; 0"_s << QString() << QString() << u"*"_s
        << QString();
    QTest::newRow("scope without groups is refused")
        << QStringList{u"select 1"_s, u"all off"_s, u"click Apply"_s} << both << 0 << kLiveVolume << allKinds
        << QString() << QString() << u"*"_s << sceneEditText(SceneList::Edit::NoGroups);
    QTest::newRow("scope without kinds is refused")
        << QStringList{u"select 1"_s, u"kind levels off"_s, u"kind limiters off"_s, u"kind mutes off"_s,
                       u"click Apply"_s}
        << both << 0 << kLiveVolume << allKinds << QString() << QString() << u"*"_s
        << sceneEditText(SceneList::Edit::NoKinds);
    QTest::newRow("fade") << QStringList{u"select 1"_s, u"fade 2.5"_s, u"click Apply"_s} << both << 0 << kLiveVolume
                          << u"all; levels, limiters, mutes; 2500"_s << QString() << QString() << u"*"_s
                          << QString();
    QTest::newRow("fade stops at 30 s") << QStringList{u"select 1"_s, u"fade 45"_s, u"click Apply"_s} << both << 0
                                        << kLiveVolume << u"all; levels, limiters, mutes; 30000"_s << QString()
                                        << QString() << u"*"_s << QString();
    QTest::newRow("recall-safe on") << QStringList{u"safe SUBS on"_s} << both << 0 << kLiveVolume << allKinds
                                    << u"SUBS"_s << QString() << u"*"_s << QString();
    QTest::newRow("recall-safe on and off") << QStringList{u"safe SUBS on"_s, u"safe SUBS off"_s} << both << 0
                                            << kLiveVolume << allKinds << QString() << QString() << u"*"_s
                                            << QString();
    QTest::newRow("a recall-safe group keeps its values")
        << QStringList{u"safe FOH on"_s, u"select 2"_s, u"click Recall"_s} << both << 2 << kLiveVolume << allKinds
        << u"FOH"_s << u"current"_s << recalled2 << QString();
}

void tst_ScenesWindow::operatorSteps()
{
    QFETCH(QStringList, steps);
    const quint64 eventsBefore = m_core->eventLog().lastId();
    for (const QString &step : steps) {
        run(step);
        if (QTest::currentTestFailed())
            return;
    }

    QTEST(scenesText(), "scenes");
    QTEST(m_core->currentScene(), "current");
    QTEST(fohVolume(), "volume");
    QTEST(scopeText(1), "scope");
    QTEST(safeText(), "safe");
    QTEST(marksText(), "marks");
    QFETCH(QString, event);
    if (event == u"-")
        QCOMPARE(m_core->eventLog().lastId(), eventsBefore);
    else if (event != u"*")
        QVERIFY2(m_core->eventLog().lastId() > eventsBefore && newestEventText().contains(event),
                 qPrintable(newestEventText()));
    QTEST(m_window->messageLabel()->text(), "message");
    if (QTest::currentDataTag() == QByteArrayLiteral("a covered fader moves: modified"))
        QVERIFY(saveScreenshot(*m_window, u"sceneswindow.png"_s));
}

void tst_ScenesWindow::run(const QString &step)
{
    const QString verb = step.section(u' ', 0, 0);
    const QString argument = step.section(u' ', 1);
    const bool on = argument.endsWith(u" on") || argument == u"on";
    const QString name = argument.section(u' ', 0, 0);
    if (verb == u"select") {
        m_window->selectScene(argument.toInt());
        QCOMPARE(m_window->selectedScene(), argument.toInt());
    } else if (verb == u"number") {
        m_window->storeNumber()->setValue(argument.toInt());
    } else if (verb == u"name") {
        m_window->nameField()->clear();
        QTest::keyClicks(m_window->nameField(), argument);
    } else if (verb == u"click") {
        click(argument);
    } else if (verb == u"enter") {
        QTest::keyClick(m_window->sceneTable(), Qt::Key_Return);
    } else if (verb == u"double") {
        doubleClickScene(argument.toInt());
    } else if (verb == u"answer") {
        m_answer = argument == u"yes";
    } else if (verb == u"all") {
        m_window->allGroupsBox()->setChecked(on);
    } else if (verb == u"group") {
        QListWidgetItem *item = itemNamed(m_window->scopeGroupList(), name);
        QVERIFY(item);
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    } else if (verb == u"kind") {
        const qsizetype index = sceneKindWords(kAllSceneKinds).indexOf(name);
        QVERIFY(index >= 0);
        m_window->kindBox(int(index))->setChecked(on);
    } else if (verb == u"fade") {
        m_window->fadeField()->setValue(argument.toDouble());
    } else if (verb == u"safe") {
        QListWidgetItem *item = itemNamed(m_window->recallSafeList(), name);
        QVERIFY(item);
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    } else if (verb == u"drag") {
        m_core->setGroupSetting(m_core->groupNamed(u"FOH"), 1, argument.toInt(), CommandSource::window());
    } else {
        QFAIL(qPrintable(u"unknown step "_s + step));
    }
}

void tst_ScenesWindow::click(const QString &name)
{
    const QHash<QString, QPushButton *> buttons{
        {u"Store"_s, m_window->storeButton()},       {u"Recall"_s, m_window->recallButton()},
        {u"Undo"_s, m_window->undoButton()},         {u"Previous"_s, m_window->previousButton()},
        {u"Next"_s, m_window->nextButton()},         {u"Rename"_s, m_window->renameButton()},
        {u"Delete"_s, m_window->deleteButton()},     {u"Apply"_s, m_window->applyScopeButton()}};
    QPushButton *button = buttons.value(name);
    QVERIFY2(button, qPrintable(name));
    const int selected = m_window->selectedScene();
    const QString selectedName = selected ? m_core->scenes().find(selected)->name : QString();
    QTest::mouseClick(button, Qt::LeftButton);
    if (name == u"Delete")
        QCOMPARE(m_questions, QStringList{ScenesWindow::deleteQuestion(selected, selectedName)});
}

void tst_ScenesWindow::doubleClickScene(int number)
{
    QTreeWidget *table = m_window->sceneTable();
    const QList<QTreeWidgetItem *> rows = table->findItems(QString::number(number), Qt::MatchExactly, 0);
    QVERIFY(!rows.isEmpty());
    const QPoint centre = table->visualItemRect(rows.first()).center();
    // The view takes a double-click on the row its press went to.
    QTest::mousePress(table->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, centre);
}

QString tst_ScenesWindow::scenesText() const
{
    QStringList texts;
    for (const Scene &scene : m_core->scenes().scenes())
        texts.append(u"%1 %2"_s.arg(scene.number).arg(scene.name));
    return texts.join(u", "_s);
}

QString tst_ScenesWindow::scopeText(int number) const
{
    const Scene *scene = m_core->scenes().find(number);
    if (!scene)
        return u"-"_s;
    QStringList groups;
    for (const QString &group : scene->scope.groups)
        groups.append(group.trimmed());
    return u"%1; %2; %3"_s.arg(scene->scope.allGroups ? u"all"_s : groups.join(u", "_s),
                               sceneKindWords(scene->scope.kinds).join(u", "_s))
        .arg(scene->fadeMs);
}

QString tst_ScenesWindow::safeText() const
{
    QStringList names;
    const tGroup &groups = m_core->groups();
    for (int slot = 1; slot <= groups.count(); ++slot) {
        if (m_core->isRecallSafe(groups[slot].id))
            names.append(groups[slot].name.trimmed());
    }
    return names.join(u", "_s);
}

// The state column as the operator reads it, rows with a mark only.
QString tst_ScenesWindow::marksText() const
{
    QStringList marks;
    const QTreeWidget *table = m_window->sceneTable();
    for (int row = 0; row < table->topLevelItemCount(); ++row) {
        const QString mark = table->topLevelItem(row)->text(ScenesWindow::kStateColumn);
        if (!mark.isEmpty())
            marks.append(mark);
    }
    return marks.join(u" | "_s);
}

int tst_ScenesWindow::fohVolume() const
{
    return m_core->group(m_core->groupNamed(u"FOH"))->volumeA;
}

QString tst_ScenesWindow::newestEventText() const
{
    const auto &events = m_core->eventLog().events();
    const auto newest = std::max_element(events.cbegin(), events.cend(),
                                         [](const FleetEvent &a, const FleetEvent &b) { return a.id < b.id; });
    return newest == events.cend() ? QString() : newest->text;
}

QTEST_MAIN(tst_ScenesWindow)
#include "tst_sceneswindow.moc"

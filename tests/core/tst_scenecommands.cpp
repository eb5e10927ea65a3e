// Scenes through the core's commands: a project of simulated amplifiers
// opened, its scenes recalled, undone, faded and edited. Without the tick and
// with amplifiers that hold their first request, the device queues show
// exactly the requests a command added; with both, the amplifiers receive them.

#include "ampsimulator.h"
#include "controllercore.h"
#include "projectio.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QList<AmpSimulator::Amp> kAmps = {
    {u"127.0.0.40"_s, "AMP1 ", "FOH  "},
    {u"127.0.0.41"_s, "AMP2 ", "FOH  "},
    {u"127.0.0.42"_s, "AMP3 ", "STAGE"},
    {u"127.0.0.43"_s, "AMP4 ", "SUBS "},
};

const QByteArray kMuteOn = "/mute_on.html";
const QByteArray kMuteOff = "/mute_off.html";

QByteArray settingsLine(const QByteArray &values)
{
    return "/common_settings_values1=" + values;
}

GroupState state(quint8 volume, quint8 input, quint8 limiter, GroupMute mute)
{
    return {volume, volume, input, input, limiter, limiter, false, false, false, mute};
}

// Scene 1 "Show": every group takes other levels and limiters; FOH and SUBS
// are muted, STAGE un-muted.
Project showProject()
{
    Project project;
    project.groups = {{u"FOH  "_s, {}, 100, 100, 0, 0, 50, 50},
                      {u"STAGE"_s, {}, 0, 0, 0, 0, 10, 10},
                      {u"SUBS "_s, {}, 60, 60, 0, 0, 100, 100}};
    for (const AmpSimulator::Amp &amp : kAmps)
        project.devices.append({QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address});
    Scene show;
    show.number = 1;
    show.name = u"Show"_s;
    show.groups = {{u"FOH  "_s, state(120, 20, 170, GroupMute::Muted)},
                   {u"STAGE"_s, state(80, 0, 10, GroupMute::Unmuted)},
                   {u"SUBS "_s, state(60, 0, 100, GroupMute::Muted)}};
    project.scenes = {show};
    return project;
}

using AmpRequests = QList<QList<QByteArray>>;  // per amplifier, in order

} // namespace

class tst_SceneCommands final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void recallSendsTheCoveredGroupsOnly_data();
    void recallSendsTheCoveredGroupsOnly();
    void undoPutsBackWhatTheRecallChanged_data();
    void undoPutsBackWhatTheRecallChanged();
    void modifiedWhenACoveredValueChanges_data();
    void modifiedWhenACoveredValueChanges();
    void fadeTravelsInSteadySteps_data();
    void fadeTravelsInSteadySteps();
    void fadeStopsWhenAFaderIsDragged();
    void hostileSceneSectionsLoadWithWarnings();
    void scenesAndMarksSurviveASave();
    void recallReachesTheAmplifiers();

private:
    // The project opened in a core without the tick: nothing leaves the queues.
    std::unique_ptr<ControllerCore> idleCore(const QString &file = u"show.amp"_s) const
    {
        auto core = std::make_unique<ControllerCore>(m_port);
        if (core->openProject(m_folder.filePath(file), CommandSource::window()) == ControllerCore::OpenResult::Invalid)
            return nullptr;
        return core;
    }
    static QList<QByteArray> queueOf(const ControllerCore &core, int slot)
    {
        QList<QByteArray> requests;
        const DeviceQueue &queue = core.devices()[slot].queue;
        for (int i = 0; i < queue.size(); ++i)
            requests.append(queue.at(i).path + queue.at(i).argument);
        return requests;
    }
    static AmpRequests queues(const ControllerCore &core)
    {
        AmpRequests all;
        for (int slot = 1; slot <= core.devices().count(); ++slot)
            all.append(queueOf(core, slot));
        return all;
    }
    // What each queue gained since before.
    static AmpRequests added(const ControllerCore &core, const AmpRequests &before)
    {
        AmpRequests gained = queues(core);
        for (qsizetype amp = 0; amp < gained.size(); ++amp)
            gained[amp] = gained[amp].mid(before.value(amp).size());
        return gained;
    }
    static QByteArray queuedSettings(const QList<QByteArray> &queue)
    {
        const auto at = std::find_if(queue.cbegin(), queue.cend(), [](const QByteArray &request) {
            return request.startsWith(settingsLine({}));
        });
        return at == queue.cend() ? QByteArray() : *at;
    }
    // FOH's settings as they were sent at each change of the group.
    static std::shared_ptr<QList<QByteArray>> recordSends(ControllerCore &core)
    {
        auto sent = std::make_shared<QList<QByteArray>>();
        const GroupId foh = core.groupNamed(u"FOH"_s);
        QObject::connect(&core, &ControllerCore::groupChanged, &core, [&core, foh, sent](GroupId id) {
            if (id != foh)
                return;
            QByteArray digits;
            for (const int value : FaderTable::valuesOf(*core.group(foh)))
                digits += QByteArray::number(value).rightJustified(3, '0');
            sent->append(settingsLine(digits));
        });
        return sent;
    }
    static QStringList eventsSince(const ControllerCore &core, quint64 id)
    {
        QStringList texts;
        for (const FleetEvent &event : core.eventLog().events()) {
            if (event.id > id)
                texts.append(event.text + u'|' + event.source);
        }
        return texts;
    }

    AmpSimulator m_sim;
    quint16 m_port = 0;
    QTemporaryDir m_folder;
};

void tst_SceneCommands::initTestCase()
{
    m_port = m_sim.start(kAmps);
    QVERIFY(m_port != 0);
    QVERIFY(m_folder.isValid());
}

// The amplifiers hold their first request unanswered, so the workers keep
// it and the queues keep the rest for the test to read.
void tst_SceneCommands::init()
{
    for (int amp = 0; amp < m_sim.ampCount(); ++amp)
        m_sim.setFault(amp, AmpSimulator::Fault::Stall);
    QVERIFY(saveProjectFile(m_folder.filePath(u"show.amp"_s), showProject()));
}

void tst_SceneCommands::recallSendsTheCoveredGroupsOnly_data()
{
    QTest::addColumn<QStringList>("groups");  // empty: all groups
    QTest::addColumn<QString>("deleted");     // a group deleted first
    QTest::addColumn<AmpRequests>("requests");
    QTest::addColumn<QString>("event");

    const QByteArray foh = settingsLine("120120020020170170");
    const QByteArray stage = settingsLine("080080000000010010");
    const QByteArray subs = settingsLine("060060000000100100");
    const QString recalled = u"Scene 1 \"Show\" recalled"_s;
    QTest::newRow("every group and kind")
        << QStringList() << QString()
        << AmpRequests{{foh, kMuteOn}, {foh, kMuteOn}, {stage, kMuteOff}, {subs, kMuteOn}} << recalled + u"|window"_s;
    QTest::newRow("FOH only") << QStringList{u"FOH  "_s} << QString()
                              << AmpRequests{{foh, kMuteOn}, {foh, kMuteOn}, {}, {}} << recalled + u"|window"_s;
    // Which kinds and groups a recall leaves alone, recall-safe ones among
    // them, is worked out by the pure plan; a mutes-only recall queueing no
    // settings is checked by the undo, a recall-safe group over OSC.
    QTest::newRow("SUBS deleted, named in the event")
        << QStringList() << u"SUBS"_s
        << AmpRequests{{foh, kMuteOn}, {foh, kMuteOn}, {stage, kMuteOff}, {}}
        << recalled + u"; group SUBS not found (from OSC 127.0.0.1)|OSC 127.0.0.1"_s;
}

void tst_SceneCommands::recallSendsTheCoveredGroupsOnly()
{
    QFETCH(QStringList, groups);
    QFETCH(QString, deleted);
    QFETCH(AmpRequests, requests);
    QFETCH(QString, event);

    const auto core = idleCore();
    QVERIFY(core);
    const SceneScope scope{groups.isEmpty(), groups, kAllSceneKinds};
    QCOMPARE(core->setSceneScope(1, scope, CommandSource::window()), SceneList::Edit::Done);
    if (!deleted.isEmpty())
        core->deleteGroup(core->groupNamed(deleted), CommandSource::window());
    const AmpRequests before = queues(*core);
    const quint64 lastEvent = core->eventLog().lastId();
    QSignalSpy changed(core.get(), &ControllerCore::scenesChanged);

    const CommandSource source = deleted.isEmpty() ? CommandSource::window() : CommandSource::osc(u"127.0.0.1"_s);
    QVERIFY(core->recallScene(1, source));
    QCOMPARE(added(*core, before), requests);
    QCOMPARE(eventsSince(*core, lastEvent), QStringList{event});
    QCOMPARE(core->currentScene(), 1);
    QCOMPARE(core->sceneModified(), false);
    QCOMPARE(core->sceneRecalls(), 1u);
    QVERIFY(!changed.isEmpty());
    // An unknown scene is no command at all.
    QVERIFY(!core->recallScene(42, source));
    QCOMPARE(eventsSince(*core, lastEvent).size(), 1);
}

void tst_SceneCommands::undoPutsBackWhatTheRecallChanged_data()
{
    QTest::addColumn<int>("kinds");
    QTest::addColumn<QList<QByteArray>>("settings");  // each amplifier's queued settings after the undo

    // Without status reports the groups' mutes were not known: no mute
    // request is put back.
    const QByteArray foh = settingsLine("100100000000050050");
    const QByteArray stage = settingsLine("000000000000010010");
    const QByteArray subs = settingsLine("060060000000100100");
    QTest::newRow("every kind") << int(kAllSceneKinds) << QList<QByteArray>{foh, foh, stage, subs};
    QTest::newRow("mutes only: nothing known to put back")
        << int(SceneKind::Mutes) << QList<QByteArray>{{}, {}, {}, {}};
}

void tst_SceneCommands::undoPutsBackWhatTheRecallChanged()
{
    QFETCH(int, kinds);
    QFETCH(QList<QByteArray>, settings);

    const auto core = idleCore();
    QVERIFY(core);
    QVERIFY(!core->undoRecall(CommandSource::window()));
    core->setSceneScope(1, {true, {}, SceneKinds::fromInt(uint(kinds))}, CommandSource::window());
    QVERIFY(core->recallScene(1, CommandSource::window()));
    const AmpRequests recalled = queues(*core);
    const quint64 lastEvent = core->eventLog().lastId();

    QVERIFY(core->undoRecall(CommandSource::osc(u"127.0.0.1"_s)));
    // A queued settings request takes the newest values in its place.
    const AmpRequests undone = queues(*core);
    for (qsizetype amp = 0; amp < undone.size(); ++amp) {
        QCOMPARE(undone[amp].size(), recalled[amp].size());
        QCOMPARE(queuedSettings(undone[amp]), settings[amp]);
    }
    QCOMPARE(eventsSince(*core, lastEvent),
             QStringList{u"Recall of scene 1 \"Show\" undone (from OSC 127.0.0.1)|OSC 127.0.0.1"_s});
    QCOMPARE(core->group(core->groupNamed(u"FOH"_s))->volumeA, 100);
    QCOMPARE(core->currentScene(), 0);
}

void tst_SceneCommands::modifiedWhenACoveredValueChanges_data()
{
    QTest::addColumn<int>("kinds");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("modified");

    const int all = int(kAllSceneKinds);
    const int levels = int(SceneKind::Levels);
    QTest::newRow("covered fader moved") << all << u"FOH"_s << u"volume 90"_s << true;
    QTest::newRow("covered fader set to the same value") << all << u"FOH"_s << u"volume 120"_s << false;
    QTest::newRow("covered link changed") << levels << u"FOH"_s << u"link"_s << true;
    QTest::newRow("covered group muted") << all << u"STAGE"_s << u"mute"_s << true;
    QTest::newRow("mute not covered") << levels << u"STAGE"_s << u"mute"_s << false;
}

void tst_SceneCommands::modifiedWhenACoveredValueChanges()
{
    QFETCH(int, kinds);
    QFETCH(QString, group);
    QFETCH(QString, command);
    QFETCH(bool, modified);

    const auto core = idleCore();
    QVERIFY(core);
    core->setSceneScope(1, {true, {}, SceneKinds::fromInt(uint(kinds))}, CommandSource::window());
    QVERIFY(core->recallScene(1, CommandSource::window()));
    QSignalSpy changed(core.get(), &ControllerCore::scenesChanged);
    const GroupId id = core->groupNamed(group);
    const CommandSource source = CommandSource::window();
    if (command.startsWith(u"volume"_s))
        core->setGroupSetting(id, 1, command.sliced(7).toInt(), source);
    else if (command == u"link"_s)
        core->setGroupLink(id, GroupLink::Volume, true, source);
    else
        core->muteGroup(id, true, source);
    QCOMPARE(core->sceneModified(), modified);
    QCOMPARE(changed.size(), modified ? 1 : 0);
    // A new recall starts afresh.
    core->recallScene(1, source);
    QVERIFY(!core->sceneModified());
}

void tst_SceneCommands::fadeTravelsInSteadySteps_data()
{
    QTest::addColumn<int>("fadeMs");
    QTest::addColumn<QList<int>>("volumes");  // FOH's volume at each send, 100 to 120

    QTest::newRow("0.6 s: one send per 150 ms") << 600 << QList<int>{100, 105, 110, 115, 120};
    QTest::newRow("2 s: steps of 1.5 rounded away from the start")
        << 2000 << QList<int>{100, 102, 103, 105, 106, 108, 109, 111, 112, 114, 115, 117, 118, 120, 120};
}

// The timer runs at once here; each timeout is one 150 ms step.
void tst_SceneCommands::fadeTravelsInSteadySteps()
{
    QFETCH(int, fadeMs);
    QFETCH(QList<int>, volumes);

    const auto core = idleCore();
    QVERIFY(core);
    QCOMPARE(core->setSceneFade(1, fadeMs, CommandSource::window()), SceneList::Edit::Done);
    core->sceneFadeTimer().setInterval(1);
    const auto sent = recordSends(*core);
    const quint64 lastEvent = core->eventLog().lastId();
    QVERIFY(core->recallScene(1, CommandSource::window()));
    QVERIFY(queueOf(*core, 1).contains(kMuteOn));  // the mute changes at the start
    QTRY_VERIFY(!core->sceneFadeTimer().isActive());

    QList<QByteArray> expected;
    for (const int volume : volumes) {
        const QByteArray level = QByteArray::number(volume).rightJustified(3, '0');
        const QByteArray input = QByteArray::number(volume - 100).rightJustified(3, '0');
        expected.append(settingsLine(level + level + input + input + "170170"));
    }
    QCOMPARE(*sent, expected);
    QCOMPARE(eventsSince(*core, lastEvent).size(), 1);
    QVERIFY(!core->sceneModified());
}

void tst_SceneCommands::fadeStopsWhenAFaderIsDragged()
{
    const auto core = idleCore();
    QVERIFY(core);
    core->setSceneFade(1, 2000, CommandSource::window());
    core->sceneFadeTimer().setInterval(5);
    const auto sent = recordSends(*core);
    QVERIFY(core->recallScene(1, CommandSource::window()));
    QTRY_VERIFY(sent->size() >= 4);

    const GroupId foh = core->groupNamed(u"FOH"_s);
    const quint8 reached = core->group(foh)->volumeA;
    QVERIFY(reached > 100 && reached < 120);
    GroupSettingValues dragged = FaderTable::valuesOf(*core->group(foh));
    dragged[0] = 60;
    core->dragGroupSettings(foh, dragged);
    QVERIFY(!core->sceneFadeTimer().isActive());
    QCOMPARE(core->group(foh)->volumeA, 60);
    QVERIFY(core->group(foh)->inputLevelA < 20);  // left where the fade was
    QVERIFY(core->sceneModified());
}

// Each way a scene section is hostile is read in the project's own tests;
// here the warnings reach the event log and the rest loads.
void tst_SceneCommands::hostileSceneSectionsLoadWithWarnings()
{
    Project project = showProject();
    project.scenes.clear();
    const QString path = m_folder.filePath(u"hostile.amp"_s);
    QVERIFY(saveProjectFile(path, project));
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("[Scene1]\r\nNumber=5\r\nGroup1=DELAY,1,1,1,1,10,10,0,0,0,muted\r\n[Scene2]\r\nNumber=6\r\n");
    file.close();

    const auto core = idleCore(u"hostile.amp"_s);
    QVERIFY(core);
    QCOMPARE(core->devices().count(), kAmps.size());
    QCOMPARE(core->groups().count(), 3);
    QList<int> loaded;
    for (const Scene &scene : core->scenes().scenes())
        loaded.append(scene.number);
    QCOMPARE(loaded, (QList<int>{5, 6}));
    QStringList logged;
    for (const FleetEvent &event : core->eventLog().events()) {
        if (event.severity == EventSeverity::Warning)
            logged.append(event.text);
    }
    QCOMPARE(logged, QStringList{u"Scene1: Group1: group \"DELAY\" is not in the project; left out"_s});
}

void tst_SceneCommands::scenesAndMarksSurviveASave()
{
    const auto core = idleCore();
    QVERIFY(core);
    const CommandSource window = CommandSource::window();
    QCOMPARE(core->storeScene(2, QString(), window), SceneList::Edit::Done);
    QCOMPARE(core->renameScene(2, u"Interval"_s, window), SceneList::Edit::Done);
    QCOMPARE(core->moveScene(2, -1, window), SceneList::Edit::Done);
    QCOMPARE(core->moveScene(2, -1, window), SceneList::Edit::AtEdge);
    core->setRecallSafe(core->groupNamed(u"STAGE"_s), true, window);
    core->setRecallSafe(core->groupNamed(u"SUBS"_s), true, window);
    core->deleteGroup(core->groupNamed(u"SUBS"_s), window);  // its mark goes with it
    QCOMPARE(core->sceneNamed(u"interval"_s), 2);
    QVERIFY(core->saveProject(m_folder.filePath(u"saved.amp"_s), window));

    const auto reopened = idleCore(u"saved.amp"_s);
    QVERIFY(reopened);
    // The deleted group's values are not kept: the file reads back whole.
    QList<Scene> expected = core->scenes().scenes();
    for (Scene &scene : expected)
        scene.groups.removeLast();
    QCOMPARE(reopened->scenes().scenes(), expected);
    for (const FleetEvent &event : reopened->eventLog().events())
        QVERIFY2(event.severity != EventSeverity::Warning, qPrintable(event.text));
    QVERIFY(reopened->isRecallSafe(reopened->groupNamed(u"STAGE"_s)));
    QVERIFY(!reopened->isRecallSafe(reopened->groupNamed(u"FOH"_s)));
    QCOMPARE(reopened->scenes().recallSafe(), QSet<QString>{u"STAGE"_s});
}

// With the tick running, the recall's requests reach the amplifiers.
void tst_SceneCommands::recallReachesTheAmplifiers()
{
    for (int amp = 0; amp < m_sim.ampCount(); ++amp) {
        m_sim.setFault(amp, AmpSimulator::Fault::None);
        m_sim.setIdentity(amp, kAmps[amp].name, kAmps[amp].group);
        m_sim.clearRequests(amp);
    }
    const auto core = idleCore();
    QVERIFY(core);
    core->start();
    for (int slot = 1; slot <= core->devices().count(); ++slot)
        QTRY_VERIFY_WITH_TIMEOUT(core->hasStatusBlock(core->devices()[slot].id), 10000);
    QVERIFY(core->recallScene(1, CommandSource::service()));
    const auto received = [this](int amp, const QByteArray &line) {
        return m_sim.requestLines(amp).contains("GET " + line + " HTTP/1.1");
    };
    QTRY_VERIFY_WITH_TIMEOUT(received(0, settingsLine("120120020020170170")), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(received(2, kMuteOff), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_sim.muteA(3), quint8(0), 10000);
}

QTEST_GUILESS_MAIN(tst_SceneCommands)
#include "tst_scenecommands.moc"

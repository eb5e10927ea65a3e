// The controller core without any window: a project of simulated amplifiers
// opened, polled, and driven through the core's commands. Each command must
// put exactly its requests on the wire and leave exactly one event that
// names its source.

#include "ampsimulator.h"
#include "controllercore.h"
#include "projectio.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QList<AmpSimulator::Amp> kAmps = {
    {u"127.0.0.30"_s, "AMP1 ", "FOH  "},
    {u"127.0.0.31"_s, "AMP2 ", "FOH  "},
    {u"127.0.0.32"_s, "AMP3 ", "STAGE"},
};

enum class Command { MuteGroup, UnmuteGroup, VolumeA, MuteChannelB, DeviceName, VolumeLinkOff };
enum class IdleCommand { StatusFetch, Description };

// The rows name a source by its text.
CommandSource sourceNamed(const QString &text)
{
    return text == u"window"_s ? CommandSource::window() : CommandSource::osc(text.sliced(4));
}

// A figure as the operator's locale writes it, as the faders' labels do.
QString shown(double value)
{
    return QLocale().toString(value, 'f', 1);
}

} // namespace

class tst_ControllerCore final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void commandReachesTheAmplifiersAndIsLoggedOnce_data();
    void commandReachesTheAmplifiersAndIsLoggedOnce();
    void projectOpenedAndCheckedWithoutAWindow();
    void queuesOfAnIdleCore_data();
    void queuesOfAnIdleCore();

private:
    bool received(int amp, const QByteArray &requestLine) const
    {
        return m_sim.requestLines(amp).contains("GET " + requestLine + " HTTP/1.1");
    }
    QStringList eventsSince(quint64 id) const
    {
        QStringList texts;
        for (const FleetEvent &event : m_core->eventLog().events()) {
            if (event.id > id)
                texts.append(event.amplifier + u'|' + event.text + u'|' + event.source);
        }
        return texts;
    }

    AmpSimulator m_sim;
    quint16 m_port = 0;
    QTemporaryDir m_folder;
    std::unique_ptr<ControllerCore> m_core;
};

void tst_ControllerCore::initTestCase()
{
    m_port = m_sim.start(kAmps);
    QVERIFY(m_port != 0);
    QVERIFY(m_folder.isValid());
}

// A project as File > Open... would load it, then polling until every
// amplifier answers.
void tst_ControllerCore::init()
{
    for (int amp = 0; amp < m_sim.ampCount(); ++amp) {
        m_sim.setIdentity(amp, kAmps[amp].name, kAmps[amp].group);
        m_sim.clearRequests(amp);
    }
    Project project;
    project.groups = {{u"FOH  "_s, u"front"_s, 100, 100, 0, 0, 50, 50}, {u"STAGE"_s, {}, 0, 0, 0, 0, 10, 10}};
    for (const AmpSimulator::Amp &amp : kAmps)
        project.devices.append({QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address});
    const QString path = m_folder.filePath(u"show.amp"_s);
    QVERIFY(saveProjectFile(path, project));

    m_core = std::make_unique<ControllerCore>(m_port);
    QCOMPARE(m_core->openProject(path, CommandSource::window()), ControllerCore::OpenResult::Opened);
    m_core->start();
    const tDevices &devices = m_core->devices();
    QCOMPARE(devices.count(), 3);
    for (int slot = 1; slot <= devices.count(); ++slot)
        QTRY_VERIFY_WITH_TIMEOUT(m_core->hasStatusBlock(devices[slot].id), 10000);
}

void tst_ControllerCore::cleanup()
{
    m_core.reset();
}

void tst_ControllerCore::commandReachesTheAmplifiersAndIsLoggedOnce_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QList<int>>("amps");        // the amplifiers that must receive it
    QTest::addColumn<QByteArray>("requestLine");  // path and argument
    QTest::addColumn<QString>("event");           // amplifier|text|source

    const QString osc = u"OSC 127.0.0.1"_s;
    const QString window = u"window"_s;
    QTest::newRow("mute all from OSC") << Command::MuteGroup << osc << QList<int>{0, 1} << "/mute_on.html"_ba
                                       << u"|Mute all: group FOH (from OSC 127.0.0.1)|OSC 127.0.0.1"_s;
    QTest::newRow("un-mute all from the window")
        << Command::UnmuteGroup << window << QList<int>{0, 1} << "/mute_off.html"_ba
        << u"|Un-mute all: group FOH|window"_s;
    QTest::newRow("volume A, linked B follows")
        << Command::VolumeA << osc << QList<int>{0, 1} << "/common_settings_values1=120120000000050050"_ba
        << u"|Faders of group FOH: Volume A %1 dB, Volume B %1 dB, Input level A %2 dB, Input level B %2 dB, "
           "Limiter A %3 V, Limiter B %3 V (from OSC 127.0.0.1)|OSC 127.0.0.1"_s.arg(shown(-35.5), shown(-95.5),
                                                                                     shown(50));
    QTest::newRow("channel B mute") << Command::MuteChannelB << osc << QList<int>{2} << "/mute_b_on.html"_ba
                                    << u"AMP3 (127.0.0.32)|Mute channel B (from OSC 127.0.0.1)|OSC 127.0.0.1"_s;
    QTest::newRow("device name") << Command::DeviceName << window << QList<int>{2} << "/name=LEFT "_ba
                                 << u"AMP3 (127.0.0.32)|Device name command: LEFT|window"_s;
    // The link sends nothing; the volume A of 120 that the row moves next does.
    QTest::newRow("volume link off, B stays")
        << Command::VolumeLinkOff << osc << QList<int>{0, 1} << "/common_settings_values1=120100000000050050"_ba
        << u"|Volume channels free: group FOH (from OSC 127.0.0.1)|OSC 127.0.0.1"_s;

}

void tst_ControllerCore::commandReachesTheAmplifiersAndIsLoggedOnce()
{
    QFETCH(Command, command);
    QFETCH(QString, source);
    QFETCH(QList<int>, amps);
    QFETCH(QByteArray, requestLine);
    QFETCH(QString, event);

    ControllerCore &core = *m_core;
    const GroupId foh = core.groupNamed(u"FOH"_s);
    const DeviceId amp3 = core.devices()[3].id;
    core.setGroupLink(foh, GroupLink::Volume, true, CommandSource::window());
    const quint64 before = core.eventLog().lastId();
    const CommandSource from = sourceNamed(source);
    switch (command) {
    case Command::MuteGroup:
        core.muteGroup(foh, true, from);
        break;
    case Command::UnmuteGroup:
        core.muteGroup(foh, false, from);
        break;
    case Command::VolumeA:
        core.setGroupSetting(foh, 1, 120, from);
        break;
    case Command::MuteChannelB:
        core.muteChannel(amp3, 1, true, from);
        break;
    case Command::DeviceName:
        core.setDeviceName(amp3, u"LEFT "_s, from);
        break;
    case Command::VolumeLinkOff:
        core.setGroupLink(foh, GroupLink::Volume, false, from);
        QCOMPARE(core.group(foh)->volumeLink, 0);
        QCOMPARE(eventsSince(before), QStringList{event});
        core.setGroupSetting(foh, 1, 120, CommandSource::window());
        break;
    }
    // Logged at once, before anything went out; nothing else from the command.
    QCOMPARE(eventsSince(before).first(), event);
    if (command != Command::VolumeLinkOff)
        QCOMPARE(eventsSince(before), QStringList{event});
    for (const int amp : amps)
        QTRY_VERIFY_WITH_TIMEOUT(received(amp, requestLine), 10000);
    for (int amp = 0; amp < m_sim.ampCount(); ++amp) {
        if (!amps.contains(amp))
            QVERIFY2(!received(amp, requestLine), qPrintable(kAmps[amp].address));
    }
}

// The project's own events and the check five seconds later, which the
// windowed program shows in its Events window, come from the core alone.
void tst_ControllerCore::projectOpenedAndCheckedWithoutAWindow()
{
    const auto texts = [this] {
        QStringList list;
        for (const FleetEvent &event : m_core->eventLog().events())
            list.append(event.text);
        return list;
    };
    QVERIFY(texts().contains(u"Project opened: show.amp"_s));
    QTRY_VERIFY_WITH_TIMEOUT(texts().contains(u"3 of 3 amplifiers of the project answer"_s), 15000);
    QVERIFY(m_core->tickRunning());
    QCOMPARE(m_core->health().of(m_core->devices()[1].id).severity, 0);

    const DeviceId gone = m_core->devices()[2].id;
    m_core->deleteDevice(gone, CommandSource::osc(u"127.0.0.1"_s));
    QCOMPARE(m_core->devices().count(), 2);
    QCOMPARE(m_core->devices().slotOfDevice(gone), 0);
    QCOMPARE(m_core->eventLog().events().back().text, u"Delete Device (from OSC 127.0.0.1)"_s);
    QCOMPARE(m_core->eventLog().events().back().deviceId, gone);
}

void tst_ControllerCore::queuesOfAnIdleCore_data()
{
    QTest::addColumn<IdleCommand>("command");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("amp3Queued");  // what it added to the device's queue
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("groupChanges");

    QTest::newRow("status fetch, as a press in the tree")
        << IdleCommand::StatusFetch << u"window"_s << QStringList{u"/krv.krv"_s}
        << u"AMP3 (127.0.0.32)|Status fetch|window"_s << 0;
    QTest::newRow("status fetch from OSC")
        << IdleCommand::StatusFetch << u"OSC 10.0.0.5"_s << QStringList{u"/krv.krv"_s}
        << u"AMP3 (127.0.0.32)|Status fetch (from OSC 10.0.0.5)|OSC 10.0.0.5"_s << 0;
    QTest::newRow("group description: nothing is sent")
        << IdleCommand::Description << u"window"_s << QStringList{}
        << u"|Description of group STAGE: Delays|window"_s << 1;
}

// Without the tick nothing is polled: the queues show exactly what a command
// added to them.
void tst_ControllerCore::queuesOfAnIdleCore()
{
    QFETCH(IdleCommand, command);
    QFETCH(QString, source);
    QFETCH(QStringList, amp3Queued);
    QFETCH(QString, event);
    QFETCH(int, groupChanges);

    // Only the idle core talks to the amplifiers from here on.
    m_core.reset();
    for (int amp = 0; amp < m_sim.ampCount(); ++amp)
        m_sim.clearRequests(amp);
    ControllerCore idle(m_port);
    QCOMPARE(idle.openProject(m_folder.filePath(u"show.amp"_s), CommandSource::window()),
             ControllerCore::OpenResult::Opened);
    const auto queueOf = [&idle](int slot) {
        QStringList paths;
        const DeviceQueue &queue = idle.devices()[slot].queue;
        for (int i = 0; i < queue.size(); ++i)
            paths.append(QString::fromLatin1(queue.at(i).path + queue.at(i).argument));
        return paths;
    };
    const GroupId stage = idle.groupNamed(u"STAGE"_s);
    const QStringList queuedBefore[] = {queueOf(1), queueOf(2), queueOf(3)};
    QSignalSpy changed(&idle, &ControllerCore::groupChanged);
    const quint64 before = idle.eventLog().lastId();
    switch (command) {
    case IdleCommand::StatusFetch:
        idle.fetchStatus(idle.devices()[3].id, sourceNamed(source));
        break;
    case IdleCommand::Description:
        idle.setGroupDescription(stage, u"Delays"_s, sourceNamed(source));
        QCOMPARE(idle.group(stage)->description, u"Delays"_s);
        break;
    }
    // A worker with nothing to do takes a request off its queue at once (a
    // slow machine may have finished the one it had): the amplifier gets it.
    if (!amp3Queued.isEmpty() && queueOf(3) == queuedBefore[2])
        QTRY_VERIFY(received(2, amp3Queued.first().toLatin1()));
    else
        QCOMPARE(queueOf(3), queuedBefore[2] + amp3Queued);
    QCOMPARE(queueOf(1), queuedBefore[0]);
    QCOMPARE(queueOf(2), queuedBefore[1]);
    QStringList texts;
    for (const FleetEvent &logged : idle.eventLog().events()) {
        if (logged.id > before)
            texts.append(logged.amplifier + u'|' + logged.text + u'|' + logged.source);
    }
    QCOMPARE(texts, QStringList{event});
    QCOMPARE(changed.size(), groupChanges);
    if (groupChanges != 0)
        QCOMPARE(changed.first().first().value<GroupId>(), stage);
}

QTEST_GUILESS_MAIN(tst_ControllerCore)
#include "tst_controllercore.moc"

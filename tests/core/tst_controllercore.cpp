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

enum class Command { MuteGroup, UnmuteGroup, VolumeA, MuteChannelB, DeviceName };

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
    QCOMPARE(m_core->openProject(path), ControllerCore::OpenResult::Opened);
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
    const QString window = ControllerCore::windowSource();
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
}

void tst_ControllerCore::commandReachesTheAmplifiersAndIsLoggedOnce()
{
    QFETCH(Command, command);
    QFETCH(QString, source);
    QFETCH(QList<int>, amps);
    QFETCH(QByteArray, requestLine);
    QFETCH(QString, event);

    ControllerCore &core = *m_core;
    const int foh = core.groups().findGroup(u"FOH  "_s);
    const DeviceId amp3 = core.devices()[3].id;
    core.groups()[foh].volumeLink = 1;
    const quint64 before = core.eventLog().lastId();
    switch (command) {
    case Command::MuteGroup:
        core.muteGroup(foh, true, source);
        break;
    case Command::UnmuteGroup:
        core.muteGroup(foh, false, source);
        break;
    case Command::VolumeA:
        core.setGroupSetting(foh, 1, 120, source);
        break;
    case Command::MuteChannelB:
        core.muteChannel(amp3, 1, true, source);
        break;
    case Command::DeviceName:
        core.setDeviceName(amp3, u"LEFT "_s, source);
        break;
    }
    // Logged at once, before anything went out; nothing else from the command.
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
    m_core->deleteDevice(gone, u"OSC 127.0.0.1"_s);
    QCOMPARE(m_core->devices().count(), 2);
    QCOMPARE(m_core->devices().slotOfDevice(gone), 0);
    QCOMPARE(m_core->eventLog().events().back().text, u"Delete Device (from OSC 127.0.0.1)"_s);
    QCOMPARE(m_core->eventLog().events().back().deviceId, gone);
}

QTEST_GUILESS_MAIN(tst_ControllerCore)
#include "tst_controllercore.moc"

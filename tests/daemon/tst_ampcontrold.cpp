// ampcontrold as a service manager runs it: a process that polls the
// simulated amplifiers of a project, writes events to standard output (an
// Alarm among them for a monitor port below 1024 it cannot have), ends with
// status 0 on a signal and refuses a bad start with status 2 and one line.

#include "ampsimulator.h"
#include "commands.h"
#include "fadertable.h"
#include "projectfile.h"
#include "simulatedlineup.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWaitMs = 60'000;  // generous: the program may run under a sanitizer
constexpr quint8 kLimiter = FaderTable::kLimiterFloor;
constexpr Commands::SettingsValues kFohSettings{10, 20, 30, 40, kLimiter, kLimiter};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A project of the simulated amplifiers: AMP1 in STAGE, AMP2 in FOH; with
// the HTTP monitor on that port unless it is 0.
bool writeProjectFile(const QString &path, const Commands::SettingsValues &stage, quint16 httpPort = 0)
{
    const auto group = [](const QString &name, const Commands::SettingsValues &v) {
        return ProjectGroup{name, {}, v[0], v[1], v[2], v[3], v[4], v[5]};
    };
    Project project;
    project.groups = {group(u"STAGE"_s, stage), group(u"FOH"_s, kFohSettings)};
    for (const AmpSimulator::Amp &amp : simulatedLineup(0x7F000002, 2))
        project.devices.append({QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address});
    const QByteArray remote = httpPort != 0 ? "[Remote]\nHttpPort=" + QByteArray::number(httpPort) + '\n' : "";
    return writeFile(path, writeProject(project) + remote);
}

// The program ends with the test, also when the test is killed or aborted
// (a sanitizer's report), so that no service is left polling.
void startDaemon(QProcess &process, const QStringList &arguments)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.start(QStringLiteral(AMPCONTROLD_PATH), arguments);
}

QByteArray digits(const Commands::SettingsValues &values)
{
    const Commands::SettingsDigits digits = Commands::settingsDigits(values);
    return QByteArray(digits.data(), qsizetype(digits.size()));
}

bool hasLine(const QByteArray &output, const QString &amplifier, const QString &text)
{
    const QStringList lines = QString::fromUtf8(output).split(u'\n');
    return std::any_of(lines.begin(), lines.end(), [&](const QString &line) {
        return line.split(u'\t').mid(2) == QStringList{amplifier, text};
    });
}

// Holds a loopback port from this one down, the first that can be had. A
// process without the privilege for ports below 1024 holds none of them;
// the service then cannot have the port either.
quint16 holdPortFrom(QTcpServer &holder, quint16 from)
{
    for (quint16 port = from; port > from - 200; --port) {
        if (holder.listen(QHostAddress::LocalHost, port))
            return port;
    }
    return from;
}

} // namespace

class TestAmpcontrold final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pollsAndEndsOnSignal_data();
    void pollsAndEndsOnSignal();
    void refusedStart_data();
    void refusedStart();
    void groupNotInTheProjectKeepsGettingSettings();
    void startsInTheSceneGiven();

private:
    AmpSimulator m_simulator;
    QTemporaryDir m_dir;
};

void TestAmpcontrold::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_simulator.start(simulatedLineup(0x7F000002, 2)) != 0);
}

void TestAmpcontrold::pollsAndEndsOnSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("stageVolume");  // differs by row, so each row sees its own settings arrive
    // The monitor's port is taken (held from here down): the service runs on
    // without the monitor, and for a port below 1024, which the service unit
    // grants no capability to bind, an Alarm says what to set instead.
    QTest::addColumn<quint16>("takenPortFrom");
    QTest::addColumn<bool>("alarm");
    QTest::newRow("SIGTERM, monitor port below 1024 taken") << SIGTERM << 150 << quint16(1023) << true;
    QTest::newRow("SIGINT, monitor port from 1024 up taken") << SIGINT << 100 << quint16(40999) << false;
}

void TestAmpcontrold::pollsAndEndsOnSignal()
{
    QFETCH(int, signal);
    QFETCH(int, stageVolume);
    QFETCH(quint16, takenPortFrom);
    QFETCH(bool, alarm);
    const Commands::SettingsValues stage{quint8(stageVolume), 120, 100, 90, kLimiter, kLimiter};
    const QString path = m_dir.filePath(u"show.amp"_s);
    QTcpServer holder;
    const quint16 takenPort = holdPortFrom(holder, takenPortFrom);
    QVERIFY(writeProjectFile(path, stage, takenPort));
    QProcess process;
    QByteArray output;
    connect(&process, &QProcess::readyReadStandardOutput, this, [&] { output += process.readAllStandardOutput(); });
    startDaemon(process, {u"--device-port"_s, QString::number(m_simulator.port()), path});

    QTRY_VERIFY_WITH_TIMEOUT(hasLine(output, u"AMP1 (127.0.0.2)"_s, u"online: first answer"_s), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(hasLine(output, u"AMP2 (127.0.0.3)"_s, u"online: first answer"_s), kWaitMs);
    const QStringList lines = QString::fromUtf8(output).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.first().endsWith(u"\tInfo\t\tProject opened: show.amp"_s), "the first event comes first");
    static const QRegularExpression format(
        u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\t(Info|Warning|Alarm)\t[^\t]*\t[^\t]+$"_s);
    for (const QString &line : lines)
        QVERIFY2(format.match(line).hasMatch(), qPrintable(line));
    const QString advice = u"HTTP monitoring port %1 is below 1024: ampcontrold has no capability to bind it "
                           "(the systemd unit grants none); set a port from 1024 up"_s.arg(takenPort);
    QCOMPARE(output.contains("\tAlarm\t\t" + advice.toUtf8() + '\n'), alarm);
    // Each amplifier is sent its own group's settings, as with the project open in the window.
    QTRY_COMPARE_WITH_TIMEOUT(m_simulator.groupSettings(0), digits(stage), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_simulator.groupSettings(1), digits(kFohSettings), kWaitMs);

    QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    QVERIFY(process.waitForFinished(kWaitMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(process.readAllStandardError(), QByteArray());
}

// An amplifier regrouped at the amplifier reports a group the project does
// not list: the service adds it, as the windowed program does, and keeps
// sending it that group's settings (a new group's: levels 0, limiters 10 V).
void TestAmpcontrold::groupNotInTheProjectKeepsGettingSettings()
{
    const Commands::SettingsValues house{50, 60, 70, 80, 90, 100};
    Project project;
    project.groups = {ProjectGroup{u"HOUSE"_s, {}, 50, 60, 70, 80, 90, 100}};
    for (const AmpSimulator::Amp &amp : simulatedLineup(0x7F000002, 2))
        project.devices.append({QString::fromLatin1(amp.name), u"HOUSE"_s, amp.address});
    const QString path = m_dir.filePath(u"house.amp"_s);
    QVERIFY(writeFile(path, writeProject(project)));
    const QList<AmpSimulator::Amp> lineup = simulatedLineup(0x7F000002, 2);
    m_simulator.setIdentity(0, lineup[0].name, "OTHER");
    m_simulator.setIdentity(1, lineup[1].name, "HOUSE");
    const auto restore = qScopeGuard([&] {
        for (int amp = 0; amp < 2; ++amp)
            m_simulator.setIdentity(amp, lineup[amp].name, lineup[amp].group);
    });

    QProcess process;
    startDaemon(process, {u"--device-port"_s, QString::number(m_simulator.port()), path});
    QTRY_COMPARE_WITH_TIMEOUT(m_simulator.groupSettings(1), digits(house), kWaitMs);
    const QByteArray otherLine = "GET /common_settings_values1=" + digits({0, 0, 0, 0, 10, 10}) + " HTTP/1.1";
    QTRY_COMPARE_WITH_TIMEOUT(m_simulator.groupSettings(0), digits({0, 0, 0, 0, 10, 10}), kWaitMs);
    // Not once after the report, but again and again.
    m_simulator.clearRequests(0);
    QTRY_VERIFY_WITH_TIMEOUT(m_simulator.requestLines(0).count(otherLine) >= 3, kWaitMs);
    QVERIFY(!m_simulator.requestLines(0).contains("GET /common_settings_values1=" + digits(house) + " HTTP/1.1"));

    QCOMPARE(::kill(pid_t(process.processId()), SIGTERM), 0);
    QVERIFY(process.waitForFinished(kWaitMs));
    QCOMPARE(process.exitCode(), 0);
}

void TestAmpcontrold::refusedStart_data()
{
    QTest::addColumn<QString>("kind");  // what to put at the path first
    QTest::addColumn<QStringList>("arguments");  // "@" stands for the path
    QTest::addColumn<QString>("message");  // the one line on standard error after "ampcontrold: "; "@" as above

    const QStringList file{u"@"_s};
    const QString invalid = u"@: not a project file (The selected file is invalid!)"_s;
    QTest::newRow("no argument") << QString() << QStringList()
                                 << u"no project file given; usage: ampcontrold [options] PROJECT.amp"_s;
    QTest::newRow("missing file") << QString() << file << u"@: no such file"_s;
    QTest::newRow("named pipe") << u"fifo"_s << file << u"@: a named pipe, not a regular file"_s;
    QTest::newRow("directory") << u"dir"_s << file << u"@: a directory, not a project file"_s;
    QTest::newRow("invalid project") << u"text"_s << file << invalid;
    QTest::newRow("empty file") << u"empty"_s << file << invalid;
    QTest::newRow("unknown option") << u"project"_s << QStringList{u"--poll"_s, u"@"_s}
                                    << u"Unknown option 'poll'. See ampcontrold --help."_s;
    QTest::newRow("scene not a number") << u"project"_s << QStringList{u"--scene"_s, u"one"_s, u"@"_s}
                                        << u"--scene must be a scene number from 1 to 99, not \"one\""_s;
    QTest::newRow("scene 100") << u"project"_s << QStringList{u"--scene"_s, u"100"_s, u"@"_s}
                               << u"--scene must be a scene number from 1 to 99, not \"100\""_s;
    QTest::newRow("scene the project lacks") << u"project"_s << QStringList{u"--scene"_s, u"5"_s, u"@"_s}
                                             << u"@: --scene 5: the project has no scene 5"_s;
}

void TestAmpcontrold::refusedStart()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    if (kind == u"project")
        QVERIFY(writeProjectFile(path, kFohSettings));
    else if (kind == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == u"dir")
        QVERIFY(QDir().mkdir(path));
    else if (kind == u"text" || kind == u"empty")
        QVERIFY(writeFile(path, kind == u"text" ? "[Settings]\nnot a project\n" : ""));
    arguments.replaceInStrings(u"@"_s, path);

    QProcess process;
    startDaemon(process, arguments);
    QVERIFY(process.waitForFinished(kWaitMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), u"ampcontrold: "_s + message.replace(u"@"_s, path) + u'\n');
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
}

// --scene: the project's scene is recalled before the first poll, so the
// amplifiers are sent its values, not the project's.
void TestAmpcontrold::startsInTheSceneGiven()
{
    const Commands::SettingsValues night{4, 4, 8, 8, 30, 30};
    Project project;
    project.groups = {ProjectGroup{u"STAGE"_s, {}, 150, 150, 0, 0, 10, 10},
                      ProjectGroup{u"FOH"_s, {}, 10, 20, 30, 40, 10, 10}};
    for (const AmpSimulator::Amp &amp : simulatedLineup(0x7F000002, 2))
        project.devices.append({QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address});
    Scene scene;
    scene.number = 7;
    scene.name = u"Night"_s;
    scene.scope.kinds = SceneKind::Levels | SceneKind::Limiters;
    scene.groups = {{u"FOH  "_s, {4, 4, 8, 8, 30, 30, false, false, false, GroupMute::Leave}}};
    project.scenes = {scene};
    const QString path = m_dir.filePath(u"night.amp"_s);
    QVERIFY(writeFile(path, writeProject(project)));

    QProcess process;
    QByteArray output;
    connect(&process, &QProcess::readyReadStandardOutput, this, [&] { output += process.readAllStandardOutput(); });
    startDaemon(process, {u"--device-port"_s, QString::number(m_simulator.port()), u"--scene"_s, u"7"_s, path});
    QTRY_COMPARE_WITH_TIMEOUT(m_simulator.groupSettings(1), digits(night), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(hasLine(output, QString(), u"Scene 7 \"Night\" recalled"_s), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_simulator.groupSettings(0), digits({150, 150, 0, 0, 10, 10}), kWaitMs);

    QCOMPARE(::kill(pid_t(process.processId()), SIGTERM), 0);
    QVERIFY(process.waitForFinished(kWaitMs));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(process.readAllStandardError(), QByteArray());
}

QTEST_GUILESS_MAIN(TestAmpcontrold)
#include "tst_ampcontrold.moc"

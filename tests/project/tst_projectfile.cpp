// The project file's text: the exact bytes written, what reads back, and what
// a hand-made or foreign file gives.

#include "names.h"
#include "projectfile.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

Project twoGroupsThreeDevices()
{
    Project project;
    project.groups = {{u"STAGE"_s, u"Main stage"_s, 1, 2, 3, 4, 170, 10},
                      {u"FOH  "_s, QString(), 0, 0, 0, 0, 10, 10}};
    project.devices = {{u"AMP1 "_s, u"STAGE"_s, u"127.0.0.2"_s},
                       {u"AMP2 "_s, u"STAGE"_s, u"127.0.0.3"_s},
                       {u"DESK "_s, u"FOH  "_s, u"127.0.0.4"_s}};
    return project;
}

QByteArray deviceSection(int k, const QByteArray &name)
{
    const QByteArray n = QByteArray::number(k);
    return "[Device" + n + "]\r\nDeviceName=" + name + "\r\nDeviceGroup=G\r\nDeviceIP=127.0.0." + n + "\r\n";
}

QByteArray groupSection(int n, const QByteArray &name, const QByteArray &description)
{
    return "[Group" + QByteArray::number(n) + "]\r\nGroupName=" + name + "\r\nGroupDescription="
           + description + "\r\nVolume.CH_A=0\r\nVolume.CH_B=0\r\nInputLevel.CH_A=0\r\n"
             "InputLevel.CH_B=0\r\nLimiter.CH_A=10\r\nLimiter.CH_B=10\r\n";
}

Project devices(int count)
{
    Project project;
    for (int k = 1; k <= count; ++k)
        project.devices.append({u"NEW"_s + QString::number(k), u"G"_s, u"127.0.0."_s + QString::number(k)});
    return project;
}

} // namespace

Q_DECLARE_METATYPE(Project)

class tst_ProjectFile final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyProjectBytes();
    void savedBytes_data();
    void savedBytes();
    void smallerProjectOverLargerKeepsSurplusSections();
    void handWrittenFileKeepsItsLines();
    void refused_data();
    void refused();
    void defaultsAndValues();
    void countsBeyondTheTables_data();
    void countsBeyondTheTables();
};

void tst_ProjectFile::emptyProjectBytes()
{
    const QByteArray expected = "[Program]\r\nName=TALO Amp\r\nGroupNum=0\r\nDeviceNum=0\r\n";
    QCOMPARE(writeProject(Project{}), expected);
    const std::optional<Project> read = readProject(expected);
    QVERIFY(read);
    QVERIFY(read->groups.isEmpty());
    QVERIFY(read->devices.isEmpty());
}

void tst_ProjectFile::savedBytes_data()
{
    QTest::addColumn<Project>("project");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("two groups, three devices")
        << twoGroupsThreeDevices()
        << QByteArray("[Program]\r\nName=TALO Amp\r\nGroupNum=2\r\nDeviceNum=3\r\n"
                      "[Group1]\r\nGroupName=STAGE\r\nGroupDescription=Main stage\r\n"
                      "Volume.CH_A=1\r\nVolume.CH_B=2\r\nInputLevel.CH_A=3\r\nInputLevel.CH_B=4\r\n"
                      "Limiter.CH_A=170\r\nLimiter.CH_B=10\r\n"
                      + groupSection(2, "FOH  ", "")
                      + "[Device1]\r\nDeviceName=AMP1 \r\nDeviceGroup=STAGE\r\nDeviceIP=127.0.0.2\r\n"
                        "[Device2]\r\nDeviceName=AMP2 \r\nDeviceGroup=STAGE\r\nDeviceIP=127.0.0.3\r\n"
                        "[Device3]\r\nDeviceName=DESK \r\nDeviceGroup=FOH  \r\nDeviceIP=127.0.0.4\r\n");

    Project ordinary;
    ordinary.groups = {{u"A    "_s, u"x"_s, 0, 0, 0, 0, 10, 10},
                       {u"MONITORS"_s, u"Wedges left and right"_s, 0, 0, 0, 0, 10, 10}};
    ordinary.devices = {{u"DELAY TOWER"_s, u"A    "_s, u"10.0.0.1"_s}};
    QTest::newRow("names shorter and longer than five, blanks only inside")
        << ordinary
        << "[Program]\r\nName=TALO Amp\r\nGroupNum=2\r\nDeviceNum=1\r\n" + groupSection(1, "A    ", "x")
               + groupSection(2, "MONITORS", "Wedges left and right")
               + "[Device1]\r\nDeviceName=DELAY TOWER\r\nDeviceGroup=A    \r\nDeviceIP=10.0.0.1\r\n";

    // What a bare line would not give back, and the add operations would not
    // put back: each of these is quoted.
    Project changed;
    changed.groups = {{u" AB  "_s, u"ends in a blank "_s, 0, 0, 0, 0, 10, 10},
                      {u"\"Q\"  "_s, u" \"quoted\""_s, 0, 0, 0, 0, 10, 10}};
    changed.devices = {{u"MONITOR "_s, u"\"Q\"  "_s, u"10.0.0.2"_s}};
    QTest::newRow("leading blank, quotes, blanks beyond the padding")
        << changed
        << "[Program]\r\nName=TALO Amp\r\nGroupNum=2\r\nDeviceNum=1\r\n"
               + groupSection(1, "\" AB  \"", "\"ends in a blank \"")
               + groupSection(2, "\"\"Q\"  \"", "\" \"quoted\"\"")
               + "[Device1]\r\nDeviceName=\"MONITOR \"\r\nDeviceGroup=\"\"Q\"  \"\r\nDeviceIP=10.0.0.2\r\n";
}

// Byte for byte as such files have always been written; saved again over
// itself nothing changes; read back, every text is as it was once names are
// padded again as the add operations pad them.
void tst_ProjectFile::savedBytes()
{
    QFETCH(Project, project);
    QFETCH(QByteArray, expected);
    QCOMPARE(writeProject(project), expected);
    QCOMPARE(writeProject(project, expected), expected);

    const std::optional<Project> read = readProject(expected);
    QVERIFY(read);
    QCOMPARE(read->groups.size(), project.groups.size());
    for (qsizetype n = 0; n < project.groups.size(); ++n) {
        QCOMPARE(paddedName(read->groups[n].name), project.groups[n].name);
        QCOMPARE(read->groups[n].description, project.groups[n].description);
    }
    QCOMPARE(read->devices.size(), project.devices.size());
    for (qsizetype k = 0; k < project.devices.size(); ++k) {
        QCOMPARE(paddedName(read->devices[k].name), project.devices[k].name);
        QCOMPARE(paddedName(read->devices[k].group), project.devices[k].group);
    }
}

void tst_ProjectFile::smallerProjectOverLargerKeepsSurplusSections()
{
    const QByteArray five = writeProject(devices(5));
    const QByteArray two = writeProject(devices(2), five);

    QByteArray expected = "[Program]\r\nName=TALO Amp\r\nGroupNum=0\r\nDeviceNum=2\r\n";
    for (int k = 1; k <= 5; ++k)
        expected += deviceSection(k, "NEW" + QByteArray::number(k));
    QCOMPARE(two, expected);

    const std::optional<Project> read = readProject(two);
    QVERIFY(read);
    QCOMPARE(read->devices.size(), 2);
    QCOMPARE(read->devices[1].address, u"127.0.0.2"_s);
}

void tst_ProjectFile::handWrittenFileKeepsItsLines()
{
    const QByteArray handWritten = "; my rig\n"
                                   "\n"
                                   "[program]\n"
                                   "name = TALO Amp\n"
                                   "; counts follow\n"
                                   "GroupNum=7\n"
                                   "\n"
                                   "[Notes]\n"
                                   "owner=me\n"
                                   "\n"
                                   "[Group1]\n"
                                   "GroupName=OLD\n"
                                   "Volume.CH_A=5\n";
    Project project;
    project.groups = {{u"STAGE"_s, u"d"_s, 1, 2, 3, 4, 5, 6}};
    project.devices = {{u"AMP1 "_s, u"STAGE"_s, u"127.0.0.2"_s}};

    const QByteArray expected = "; my rig\n"
                                "\n"
                                "[program]\n"
                                "Name=TALO Amp\n"
                                "; counts follow\n"
                                "GroupNum=1\n"
                                "DeviceNum=1\r\n"
                                "\n"
                                "[Notes]\n"
                                "owner=me\n"
                                "\n"
                                "[Group1]\n"
                                "GroupName=STAGE\n"
                                "Volume.CH_A=1\n"
                                "GroupDescription=d\r\n"
                                "Volume.CH_B=2\r\nInputLevel.CH_A=3\r\nInputLevel.CH_B=4\r\n"
                                "Limiter.CH_A=5\r\nLimiter.CH_B=6\r\n"
                                "[Device1]\r\nDeviceName=AMP1 \r\nDeviceGroup=STAGE\r\nDeviceIP=127.0.0.2\r\n";
    QCOMPARE(writeProject(project, handWritten), expected);
}

void tst_ProjectFile::refused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("signature in other case") << QByteArray("[Program]\r\nName=TALO AMP\r\nGroupNum=0\r\n");
    QTest::newRow("signature in another section") << QByteArray("[Programme]\r\nName=TALO Amp\r\n");
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20);
    QTest::newRow("other INI") << QByteArray("[Program]\nName=Other\n");
    QTest::newRow("signature in an absurdly long line")
        << "[Program]\nName=TALO Amp" + QByteArray(2 * 1024 * 1024, ' ') + "x\n";
}

void tst_ProjectFile::refused()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!readProject(bytes));
}

void tst_ProjectFile::defaultsAndValues()
{
    const QByteArray file = "[Program]\nName=TALO Amp\nGroupNum=2\nDeviceNum=2\n"
                            "[Group1]\nVolume.CH_A=300\nVolume.CH_B=ten\nInputLevel.CH_A=-1\n"
                            "Limiter.CH_A= 42 \n"
                            "[Device2]\nDeviceIP=127.0.0.7\n";
    const std::optional<Project> read = readProject(file);
    QVERIFY(read);
    QCOMPARE(read->groups.size(), 2);
    const ProjectGroup &group = read->groups[0];
    QCOMPARE(group.name, QString());
    QCOMPARE(group.volumeA, 44);
    QCOMPARE(group.volumeB, 0);
    QCOMPARE(group.inputLevelA, 255);
    QCOMPARE(group.limiterA, 42);
    QCOMPARE(group.limiterB, 0);
    QCOMPARE(read->groups[1].name, QString());  // no section at all

    QCOMPARE(read->devices.size(), 2);
    QCOMPARE(read->devices[0].address, QString());
    QCOMPARE(read->devices[1].address, u"127.0.0.7"_s);
    QCOMPARE(read->devices[1].name, QString());
}

void tst_ProjectFile::countsBeyondTheTables_data()
{
    QTest::addColumn<QByteArray>("counts");
    QTest::addColumn<int>("groups");
    QTest::addColumn<int>("devices");
    QTest::addColumn<bool>("leftOut");
    QTest::newRow("at capacity") << QByteArray("GroupNum=255\nDeviceNum=255") << 255 << 255 << false;
    QTest::newRow("groups beyond") << QByteArray("GroupNum=256\nDeviceNum=1") << 255 << 1 << true;
    QTest::newRow("devices absurd") << QByteArray("GroupNum=0\nDeviceNum=2000000000") << 0 << 255 << true;
    QTest::newRow("negative") << QByteArray("GroupNum=-5\nDeviceNum=-2147483648") << 0 << 0 << false;
}

void tst_ProjectFile::countsBeyondTheTables()
{
    QFETCH(QByteArray, counts);
    QFETCH(int, groups);
    QFETCH(int, devices);
    QFETCH(bool, leftOut);
    const std::optional<Project> read = readProject("[Program]\nName=TALO Amp\n" + counts);
    QVERIFY(read);
    QCOMPARE(read->groups.size(), groups);
    QCOMPARE(read->devices.size(), devices);
    QCOMPARE(read->leftOut, leftOut);
}

QTEST_APPLESS_MAIN(tst_ProjectFile)
#include "tst_projectfile.moc"

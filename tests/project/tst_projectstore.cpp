// Project files on disk and in the tables: what a save leaves behind when it
// fails, how far a load reads, and how a loaded file fills the tables. No
// device listens here: the workers started by a load go to a closed port.

#include "devicetable.h"
#include "grouptable.h"
#include "projectio.h"
#include "projecttables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr quint16 kClosedPort = 9;

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

Project load(const QByteArray &bytes, tDevices &devices, tGroup &groups)
{
    const std::optional<Project> project = readProject(bytes);
    if (project)
        loadProjectIntoTables(*project, devices, groups);
    return project.value_or(Project{});
}

} // namespace

class tst_ProjectStore final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void saveAndLoadThroughTheTables();
    void failedSaveLeavesTheOldFile_data();
    void failedSaveLeavesTheOldFile();
    void saveKeepsPermissions();
    void readIsBounded();
    void loadFillsTheTablesByTheRules();
    void duplicateGroupNamesWriteOnlyTheirOwnEntry();
    void signatureAloneEmptiesBothTables();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_ProjectStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_ProjectStore::saveAndLoadThroughTheTables()
{
    tDevices devices(kClosedPort);
    tGroup groups;
    groups.addGroup(u"zone"_s);
    groups.addGroup(u"stage"_s);
    groups[1].description = u"Z\u00fcrich \u2013 hall"_s;
    groups[2] = {groups[2].id, u"STAGE"_s, u"main"_s, 191, 1, 2, 3, 170, 11, 1, 1, 1};
    groups.addGroup(u"#ab"_s);  // blanks at both ends
    groups[3].description = u" spaced\t"_s;
    devices.appendDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.2"_s);
    devices.appendDevice(u"DESK "_s, u"ZONE "_s, u"127.0.0.3"_s);
    devices.appendDevice(u" EDGE"_s, u" AB  "_s, u"127.0.0.4"_s);
    const QString path = m_dir->filePath(u"rig.amp"_s);
    QVERIFY(saveProjectFile(path, projectFromTables(devices, groups)));

    tDevices loadedDevices(kClosedPort);
    tGroup loadedGroups;
    const std::optional<QByteArray> bytes = readProjectFile(path);
    QVERIFY(bytes);
    load(*bytes, loadedDevices, loadedGroups);

    QCOMPARE(loadedGroups.count(), 3);
    for (int n = 1; n <= 3; ++n) {
        const tGroupItem &expected = groups[n];
        const tGroupItem &actual = loadedGroups[n];
        QCOMPARE(actual.name, expected.name);
        QCOMPARE(actual.description, expected.description);
        QCOMPARE((std::array{actual.volumeA, actual.volumeB, actual.inputLevelA, actual.inputLevelB,
                             actual.limiterA, actual.limiterB}),
                 (std::array{expected.volumeA, expected.volumeB, expected.inputLevelA,
                             expected.inputLevelB, expected.limiterA, expected.limiterB}));
        QCOMPARE(actual.volumeLink, 0);  // links are not saved
    }
    QCOMPARE(loadedDevices.count(), 3);
    for (int k = 1; k <= 3; ++k) {
        QCOMPARE(loadedDevices[k].name, devices[k].name);
        QCOMPARE(loadedDevices[k].group, devices[k].group);
        QCOMPARE(loadedDevices[k].address, devices[k].address);
        QVERIFY(loadedDevices[k].id != 0);
    }
}

void tst_ProjectStore::failedSaveLeavesTheOldFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("read-only file") << u"rig.amp"_s << QByteArray("[Program]\r\nName=x\r\n") << true;
    QTest::newRow("folder that does not exist") << u"missing/rig.amp"_s << QByteArray() << false;
    QTest::newRow("a folder") << u"folder.amp"_s << QByteArray() << false;
    QTest::newRow("old file too large to carry over")
        << u"big.amp"_s << QByteArray(kMaxProjectFileSize + 1, ';') << false;
}

void tst_ProjectStore::failedSaveLeavesTheOldFile()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, old);
    QFETCH(bool, readOnly);
    const QString path = m_dir->filePath(target);
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder.amp"_s));
    if (!old.isEmpty()) {
        QVERIFY(writeBytes(path, old));
        if (readOnly)
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
    }
    const QStringList before = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    Project project;
    project.devices = {{u"AMP1 "_s, u"STAGE"_s, u"127.0.0.2"_s}};
    QVERIFY(!saveProjectFile(path, project));

    QCOMPARE(fileBytes(path), old);
    // No temporary file is left behind.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

void tst_ProjectStore::saveKeepsPermissions()
{
    const QString path = m_dir->filePath(u"rig.amp"_s);
    QVERIFY(writeBytes(path, "; kept\n"));
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(path, permissions));
    QVERIFY(saveProjectFile(path, Project{}));
    QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
             permissions);
    QVERIFY(fileBytes(path).startsWith("; kept\n[Program]\r\n"));
}

void tst_ProjectStore::readIsBounded()
{
    const QString huge = m_dir->filePath(u"huge.amp"_s);
    {
        QFile file(huge);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(100 * 1024 * 1024));  // sparse: costs no disk
    }
    QVERIFY(!readProjectFile(huge));
    QVERIFY(!readProjectFile(u"/dev/zero"_s));  // never ends
    QVERIFY(!readProjectFile(m_dir->filePath(u"missing.amp"_s)));

    const QString limit = m_dir->filePath(u"limit.amp"_s);
    QVERIFY(writeBytes(limit, QByteArray(kMaxProjectFileSize, '\n')));
    QCOMPARE(readProjectFile(limit).value_or(QByteArray()).size(), kMaxProjectFileSize);
}

void tst_ProjectStore::loadFillsTheTablesByTheRules()
{
    tDevices devices(kClosedPort);
    tGroup groups;
    load("[Program]\nName=TALO Amp\nGroupNum=2\nDeviceNum=3\n"
         "[Group1]\nGroupDescription=unnamed\nVolume.CH_A=250\nVolume.CH_B=300\n"
         "InputLevel.CH_A=191\nInputLevel.CH_B=192\nLimiter.CH_A=9\nLimiter.CH_B=171\n"
         "[Group2]\nGroupName=foh\n"
         "[Device1]\nDeviceName=amp1\nDeviceGroup=FOH\nDeviceIP=127.0.0.2\n"
         "[Device2]\nDeviceName=desk\nDeviceGroup=ghost\nDeviceIP=127.0.0.3\n"
         "[Device3]\nDeviceName=amp9\nDeviceGroup=     \nDeviceIP=127.0.0.2\n",
         devices, groups);

    QCOMPARE(groups.count(), 3);
    QCOMPARE(groups[1].name, u"     "_s);
    QCOMPARE(groups[1].description, u"unnamed"_s);
    const tGroupItem &g = groups[1];  // in the faders' ranges; 300 keeps its low byte
    QCOMPARE((std::array{g.volumeA, g.volumeB, g.inputLevelA, g.inputLevelB, g.limiterA, g.limiterB}),
             (std::array<quint8, 6>{191, 44, 191, 191, 10, 170}));
    QCOMPARE(groups[2].name, u"FOH  "_s);
    QCOMPARE(groups[3].name, u"GHOST"_s);  // named by a device only
    QCOMPARE(groups[3].description, QString());

    // The same address twice: one device, with the later name and group.
    QCOMPARE(devices.count(), 2);
    QCOMPARE(devices[1].address, u"127.0.0.2"_s);
    QCOMPARE(devices[1].name, u"AMP9 "_s);
    QCOMPARE(devices[1].group, u"     "_s);
    QCOMPARE(devices[2].address, u"127.0.0.3"_s);
}

void tst_ProjectStore::duplicateGroupNamesWriteOnlyTheirOwnEntry()
{
    tDevices devices(kClosedPort);
    tGroup groups;
    load("[Program]\nName=TALO Amp\nGroupNum=3\n"
         "[Group1]\nGroupName=A\nGroupDescription=first\nVolume.CH_A=1\n"
         "[Group2]\nGroupName=a\nGroupDescription=again\nVolume.CH_A=2\n"
         "[Group3]\nGroupName=B\nGroupDescription=b\nVolume.CH_A=3\n",
         devices, groups);
    QCOMPARE(groups.count(), 2);
    QCOMPARE(groups[1].name, u"A    "_s);
    QCOMPARE(groups[1].description, u"again"_s);
    QCOMPARE(groups[1].volumeA, 2);
    QCOMPARE(groups[2].name, u"B    "_s);
    QCOMPARE(groups[2].description, u"b"_s);
    QCOMPARE(groups[2].volumeA, 3);
}

void tst_ProjectStore::signatureAloneEmptiesBothTables()
{
    tDevices devices(kClosedPort);
    tGroup groups;
    groups.addGroup(u"OLD"_s);
    devices.appendDevice(u"AMP1 "_s, u"OLD  "_s, u"127.0.0.2"_s);
    devices.appendDevice(u"AMP2 "_s, u"OLD  "_s, u"127.0.0.3"_s);

    load("[Program]\r\nName=TALO Amp\r\n", devices, groups);
    QCOMPARE(groups.count(), 0);
    QCOMPARE(devices.count(), 0);
    QCOMPARE(devices[1].id, DeviceId(0));
    QCOMPARE(devices[2].id, DeviceId(0));
    QTRY_COMPARE(devices.retiredWorkerCount(), 0);  // every worker has ended
}

QTEST_GUILESS_MAIN(tst_ProjectStore)
#include "tst_projectstore.moc"

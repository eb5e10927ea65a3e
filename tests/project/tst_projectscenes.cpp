// Scenes and recall-safe groups in the project file: the exact bytes, the
// round trip, and hand-made or hostile scene sections, which never cost the
// rest of the project.

#include "inifile.h"
#include "names.h"
#include "projectfile.h"
#include "projectio.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kHead = "[Program]\r\nName=TALO Amp\r\nGroupNum=2\r\nDeviceNum=0\r\n"
                         "[Group1]\r\nGroupName=FOH  \r\nGroupDescription=\r\nVolume.CH_A=0\r\nVolume.CH_B=0\r\n"
                         "InputLevel.CH_A=0\r\nInputLevel.CH_B=0\r\nLimiter.CH_A=10\r\nLimiter.CH_B=10\r\n"
                         "RecallSafe=1\r\n"
                         "[Group2]\r\nGroupName=STAGE\r\nGroupDescription=\r\nVolume.CH_A=0\r\nVolume.CH_B=0\r\n"
                         "InputLevel.CH_A=0\r\nInputLevel.CH_B=0\r\nLimiter.CH_A=10\r\nLimiter.CH_B=10\r\n";

Project twoGroups()
{
    Project project;
    project.groups = {{u"FOH  "_s, {}, 0, 0, 0, 0, 10, 10, true}, {u"STAGE"_s, {}, 0, 0, 0, 0, 10, 10}};
    return project;
}

Project withScenes()
{
    Project project = twoGroups();
    Scene show;
    show.number = 5;
    show.name = u"Show"_s;
    show.fadeMs = 2500;
    show.groups = {{u"FOH  "_s, {120, 121, 80, 81, 170, 10, true, false, true, GroupMute::Muted}},
                   {u"STAGE"_s, {0, 191, 0, 0, 10, 10, false, false, false, GroupMute::Leave}}};
    Scene walkIn;
    walkIn.number = 1;
    walkIn.name = u"Walk-in"_s;
    walkIn.fadeMs = 125;
    walkIn.scope = {false, {u"STAGE"_s, u"FOH  "_s}, SceneKind::Levels | SceneKind::Mutes};
    walkIn.groups = {{u"STAGE"_s, {1, 2, 3, 4, 15, 20, false, true, false, GroupMute::Unmuted}}};
    project.scenes = {show, walkIn};
    return project;
}

const QByteArray kScenes = "[Scene1]\r\nNumber=5\r\nName=Show\r\nFade=2.5\r\nGroups=*\r\n"
                           "Kinds=levels,limiters,mutes\r\n"
                           "Group1=FOH  ,120,121,80,81,170,10,1,0,1,muted\r\n"
                           "Group2=STAGE,0,191,0,0,10,10,0,0,0,leave\r\n"
                           "[Scene2]\r\nNumber=1\r\nName=Walk-in\r\nFade=0.125\r\nGroups=\"STAGE,FOH  \"\r\n"
                           "Kinds=levels,mutes\r\nGroup1=STAGE,1,2,3,4,15,20,0,1,0,unmuted\r\n";

// One scene section after the two groups of twoGroups().
std::optional<Project> readScene(const QByteArray &section)
{
    return readProject(writeProject(twoGroups()) + section);
}

} // namespace

class tst_ProjectScenes final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exactBytes();
    void withoutScenesAsBefore();
    void deletedScenesAndSafeMarksDoNotComeBack();
    void hostileSections_data();
    void hostileSections();
    void fullProjectFitsTheReader();
};

// Written after the groups and devices, before "Remote"; read back as they
// were; written again over themselves, byte for byte the same.
void tst_ProjectScenes::exactBytes()
{
    Project project = withScenes();
    project.remote.values[0] = u"8080"_s;
    const QByteArray bytes = writeProject(project);
    QCOMPARE(bytes, kHead + kScenes + "[Remote]\r\nHttpPort=8080\r\n");

    std::optional<Project> read = readProject(bytes);
    QVERIFY(read);
    QCOMPARE(read->scenes, project.scenes);
    for (ProjectGroup &group : read->groups)
        group.name = paddedName(group.name);  // as the group table gives them back
    QVERIFY(read->sceneWarnings.isEmpty());
    QCOMPARE(writeProject(*read, bytes), bytes);  // the recall-safe mark among them
    QCOMPARE(writeProject(*read), bytes);
}

void tst_ProjectScenes::withoutScenesAsBefore()
{
    Project project = twoGroups();
    project.groups[0].recallSafe = false;
    const QByteArray bytes = writeProject(project);
    QCOMPARE(bytes, QByteArray(kHead).replace("RecallSafe=1\r\n", ""));
}

void tst_ProjectScenes::deletedScenesAndSafeMarksDoNotComeBack()
{
    const QByteArray both = writeProject(withScenes());
    Project fewer = withScenes();
    fewer.scenes.removeFirst();
    fewer.scenes[0].groups.clear();
    fewer.groups[0].recallSafe = false;
    const QByteArray saved = writeProject(fewer, both);
    const std::optional<Project> read = readProject(saved);
    QVERIFY(read);
    QCOMPARE(read->scenes, fewer.scenes);
    QVERIFY(!read->groups[0].recallSafe);

    // A hand-made copy of a section, never read while the first is there,
    // is not read in its place once the first is removed.
    const QByteArray copied = both + "[Scene2]\r\nNumber=9\r\n";
    QCOMPARE(readProject(writeProject(fewer, copied))->scenes, fewer.scenes);

    Project none = fewer;
    none.scenes.clear();
    QCOMPARE(writeProject(none, saved), QByteArray(kHead).replace("RecallSafe=1", "RecallSafe=0"));
}

void tst_ProjectScenes::hostileSections_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QList<int>>("numbers");      // of the scenes read
    QTest::addColumn<QString>("warning");         // part of the first warning; empty for none
    QTest::addColumn<QString>("check");           // what else to look at

    const QByteArray ok = "[Scene1]\r\nNumber=4\r\nGroup1=FOH,1,1,1,1,10,10,0,0,0,muted\r\n";
    QTest::newRow("minimal section") << ok << QList<int>{4} << QString() << u"defaults"_s;
    QTest::newRow("number not a number")
        << QByteArray("[Scene1]\nNumber=four\n") << QList<int>()
        << u"Scene1: Number \"four\" is not a scene number (1 to 99); scene left out"_s << QString();
    QTest::newRow("number 0") << QByteArray("[Scene1]\nNumber=0\n") << QList<int>() << u"not a scene number"_s << QString();
    QTest::newRow("number 100") << QByteArray("[Scene1]\nNumber=100\n") << QList<int>() << u"not a scene number"_s << QString();
    QTest::newRow("number twice") << QByteArray("[Scene1]\nNumber=7\n[Scene2]\nNumber=7\n[Scene3]\nNumber=8\n")
                                  << QList<int>{7, 8} << u"Scene2: scene number 7 is there twice"_s << QString();
    QTest::newRow("gap ends the list") << QByteArray("[Scene1]\nNumber=1\n[Scene3]\nNumber=3\n") << QList<int>{1} << QString() << QString();
    QTest::newRow("levels beyond the faders")
        << QByteArray("[Scene1]\nNumber=2\nGroup1=FOH,300,-5,191,0,0,999,7,0,1,muted\n") << QList<int>{2}
        << u"Scene1: Group1: values beyond the faders' ranges brought to their nearest end"_s << u"clamped"_s;
    QTest::newRow("group not in the project")
        << QByteArray("[Scene1]\nNumber=2\nGroup1=SUBS,1,1,1,1,10,10,0,0,0,muted\n"
                      "Group2=FOH,1,1,1,1,10,10,0,0,0,muted\n") << QList<int>{2}
        << u"Scene1: Group1: group \"SUBS\" is not in the project"_s << u"FOH only"_s;
    QTest::newRow("group values broken")
        << QByteArray("[Scene1]\nNumber=2\nGroup1=FOH,1,x,1,1,10,10,0,0,0,muted\nGroup2=STAGE,1\n") << QList<int>{2}
        << u"Scene1: Group1 \"FOH,1,x"_s << u"no groups"_s;
    QTest::newRow("scope of unknown groups only") << QByteArray("[Scene1]\nNumber=2\nGroups=SUBS,DELAY\n") << QList<int>()
                                                  << u"Groups: group \"SUBS\""_s << QString();
    QTest::newRow("unknown kind and mute word")
        << QByteArray("[Scene1]\nNumber=2\nKinds=levels,colours\nGroup1=FOH,1,1,1,1,10,10,0,0,0,loud\n")
        << QList<int>{2} << u"Kinds \"colours\""_s << u"levels, leave"_s;
    QTest::newRow("overlong name with control characters")
        << "[Scene1]\nNumber=2\nName=" + QByteArray(40, 'n') + "\x01\n" << QList<int>{2}
        << u"Name holds control characters"_s << u"32 n"_s;
    QTest::newRow("fade with a decimal comma") << QByteArray("[Scene1]\nNumber=2\nFade=2,5\n") << QList<int>{2}
                                               << u"Fade \"2,5\" is not a number"_s << QString();
    QTest::newRow("fade beyond 30 s") << QByteArray("[Scene1]\nNumber=2\nFade=45\n") << QList<int>{2}
                                      << u"Fade \"45\" is beyond 0 to 30 s; 30 s taken"_s << QString();
    QTest::newRow("fade negative") << QByteArray("[Scene1]\nNumber=2\nFade=-1\n") << QList<int>{2}
                                   << u"Fade \"-1\" is beyond 0 to 30 s; 0 s taken"_s << QString();
    QTest::newRow("fade infinite") << QByteArray("[Scene1]\nNumber=2\nFade=inf\n") << QList<int>{2}
                                   << u"not a number of seconds"_s << QString();
    QByteArray hundred;
    for (int k = 1; k <= 100; ++k)
        hundred += "[Scene" + QByteArray::number(k) + "]\nNumber=" + QByteArray::number(k % 99 + 1) + "\n";
    QTest::newRow("100 scenes") << hundred << QList<int>() << u"Scene100: more than 99 scenes"_s << u"99"_s;
}

// Each loads the project, its groups untouched, with the scenes that can be
// used and a warning naming the section.
void tst_ProjectScenes::hostileSections()
{
    QFETCH(QByteArray, section);
    QFETCH(QList<int>, numbers);
    QFETCH(QString, warning);
    QFETCH(QString, check);

    const std::optional<Project> read = readScene(section);
    QVERIFY(read);
    QCOMPARE(read->groups.size(), 2);
    QVERIFY(read->sceneWarnings.size() <= 33);
    if (warning.isEmpty())
        QCOMPARE(read->sceneWarnings, QStringList());
    else
        QVERIFY2(!read->sceneWarnings.isEmpty() && read->sceneWarnings.first().contains(warning),
                 qPrintable(read->sceneWarnings.join(u" | ")));
    QList<int> read_numbers;
    for (const Scene &scene : read->scenes)
        read_numbers.append(scene.number);
    if (check == u"99")
        QCOMPARE(read->scenes.size(), 99);
    else
        QCOMPARE(read_numbers, numbers);

    const Scene *scene = read->scenes.isEmpty() ? nullptr : &read->scenes.first();
    if (check == u"defaults") {
        QCOMPARE(scene->name, u"Scene 4"_s);
        QCOMPARE(scene->scope, SceneScope());
        QCOMPARE(scene->groups.first().group, u"FOH  "_s);  // as the group table holds it
    } else if (check == u"clamped") {
        const GroupState expected{191, 0, 191, 0, 10, 170, true, false, true, GroupMute::Muted};
        QCOMPARE(scene->groups.first().state, expected);
    } else if (check == u"FOH only") {
        QCOMPARE(scene->groups.size(), 1);
        QCOMPARE(scene->groups.first().group, u"FOH  "_s);
    } else if (check == u"no groups") {
        QVERIFY(scene->groups.isEmpty());
    } else if (check == u"levels, leave") {
        QCOMPARE(scene->scope.kinds, SceneKinds(SceneKind::Levels));
        QCOMPARE(scene->groups.first().state.mute, GroupMute::Leave);
    } else if (check == u"32 n") {
        QCOMPARE(scene->name, QString(32, u'n'));
    }
    // What was read is written and read back the same, without warnings.
    const std::optional<Project> again = readProject(writeProject(*read));
    QVERIFY(again);
    QCOMPARE(again->scenes, read->scenes);
    QCOMPARE(again->sceneWarnings, QStringList());
}

// The largest project the tables can hold, every scene holding every group,
// is read again: it stays within the reader's bound on file size.
void tst_ProjectScenes::fullProjectFitsTheReader()
{
    Project project;
    for (int n = 1; n <= Project::kCapacity; ++n)
        project.groups.append({u"GROUP"_s + QString::number(n), QString(IniFile::kMaxValueLength, u'd'), 191, 191,
                               191, 191, 170, 170, true});
    for (int k = 1; k <= Project::kCapacity; ++k)
        project.devices.append({u"AMPLIFIER"_s + QString::number(k), u"GROUP1"_s, u"192.168.100.200"_s});
    for (int number = 1; number <= Scene::kMaxNumber; ++number) {
        Scene scene;
        scene.number = number;
        scene.name = QString(Scene::kMaxNameLength, u'n');
        scene.fadeMs = 12'345;
        scene.scope.allGroups = false;
        for (const ProjectGroup &group : std::as_const(project.groups)) {
            scene.scope.groups.append(group.name);
            scene.groups.append({group.name, {191, 191, 191, 191, 170, 170, true, true, true, GroupMute::Unmuted}});
        }
        project.scenes.append(scene);
    }
    const QByteArray bytes = writeProject(project);
    QVERIFY2(bytes.size() <= kMaxProjectFileSize, qPrintable(QString::number(bytes.size())));
    const std::optional<Project> read = readProject(bytes);
    QVERIFY(read);
    QCOMPARE(read->scenes.size(), Scene::kMaxNumber);
    QCOMPARE(read->scenes.last().groups.size(), Project::kCapacity);
    QVERIFY(read->sceneWarnings.isEmpty());
}

QTEST_APPLESS_MAIN(tst_ProjectScenes)
#include "tst_projectscenes.moc"

// Group names and the group table.

#include "grouptable.h"
#include "names.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_GroupTable final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void normalizedName_data();
    void normalizedName();
    void addGroupPreparesTheNameOnce_data();
    void addGroupPreparesTheNameOnce();
    void newGroupStartsWithDefaultSettings();
    void findIsExact();
    void tableRefusesThe256thGroup();
    void removeMovesLaterGroupsDown();
    void deviceTextFindsItsGroup();
    void deviceLookupFollowsTableChanges();
};

void tst_GroupTable::normalizedName_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("lower case") << u"stage"_s << u"STAGE"_s;
    QTest::newRow("punctuation") << u"ab-1."_s << u"AB 1 "_s;
    QTest::newRow("letters beyond ascii") << u"\u00fcber"_s << u" BER"_s;
    QTest::newRow("digits kept") << u"0129"_s << u"0129"_s;
    QTest::newRow("length kept, no padding") << u"a"_s << u"A"_s;
}

void tst_GroupTable::normalizedName()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(::normalizedName(text), expected);
    QCOMPARE(paddedName(::normalizedName(text)).size(), qMax(text.size(), 5));
}

void tst_GroupTable::addGroupPreparesTheNameOnce_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("stored");
    QTest::newRow("dash and padding") << u"ab-1"_s << u"AB 1"_s << u"AB 1 "_s;
    QTest::newRow("empty text") << QString() << u"   "_s << u"     "_s;
    QTest::newRow("long name kept") << u"ABCDEFG"_s << u"abcdefg"_s << u"ABCDEFG"_s;
}

void tst_GroupTable::addGroupPreparesTheNameOnce()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, stored);
    tGroup groups;
    QSignalSpy changed(&groups, &tGroup::groupsChanged);

    QCOMPARE(groups.addGroup(first), tGroup::AddResult::Added);
    QCOMPARE(groups.addGroup(second), tGroup::AddResult::Exists);
    QCOMPARE(groups.count(), 1);
    QCOMPARE(groups[1].name, stored);
    QCOMPARE(changed.count(), 1);  // adding an existing name says nothing
}

void tst_GroupTable::newGroupStartsWithDefaultSettings()
{
    tGroup groups;
    groups.addGroup(u"A"_s);
    groups[1].volumeA = 120;
    groups[1].limiterB = 3;
    groups[1].description = u"left side"_s;
    groups.removeGroup(1);

    // The slot is reused: nothing of the earlier group may show through.
    groups.addGroup(u"B"_s);
    const tGroupItem &group = groups[1];
    QCOMPARE(group.description, QString());
    QCOMPARE(group.volumeA, 0);
    QCOMPARE(group.inputLevelB, 0);
    QCOMPARE(group.limiterA, 10);
    QCOMPARE(group.limiterB, 10);
    QCOMPARE(group.volumeLink + group.inputLevelLink + group.limiterLink, 0);
}

void tst_GroupTable::findIsExact()
{
    tGroup groups;
    groups.addGroup(u"FOH"_s);
    groups.addGroup(u"STAGE"_s);
    QCOMPARE(groups.findGroup(u"STAGE"_s), 2);
    QCOMPARE(groups.findGroup(u"FOH  "_s), 1);
    QCOMPARE(groups.findGroup(u"FOH"_s), 0);    // the stored name is padded
    QCOMPARE(groups.findGroup(u"foh  "_s), 0);  // and compared case-sensitively
}

void tst_GroupTable::tableRefusesThe256thGroup()
{
    tGroup groups;
    for (int i = 1; i <= tGroup::kCapacity; ++i)
        QCOMPARE(groups.addGroup(u"G"_s + QString::number(i)), tGroup::AddResult::Added);
    QCOMPARE(groups.addGroup(u"ONEMORE"_s), tGroup::AddResult::Full);
    QCOMPARE(groups.count(), tGroup::kCapacity);
    QCOMPARE(groups.findGroup(u"ONEMORE"_s), 0);
    QCOMPARE(groups.addGroup(u"G7"_s), tGroup::AddResult::Exists);
}

void tst_GroupTable::removeMovesLaterGroupsDown()
{
    tGroup groups;
    groups.addGroup(u"A"_s);
    groups.addGroup(u"B"_s);
    groups.addGroup(u"C"_s);
    groups[3].volumeA = 77;
    groups.removeGroup(2);
    QCOMPARE(groups.count(), 2);
    QCOMPARE(groups[2].name, u"C    "_s);
    QCOMPARE(groups[2].volumeA, 77);
    groups.removeGroup(9);  // out of range: nothing happens
    QCOMPARE(groups.count(), 2);
    QCOMPARE(groups.findGroup(u"C    "_s), 2);
    QCOMPARE(groups.findGroup(u"B    "_s), 0);
    QCOMPARE(groups.addGroup(u"B"_s), tGroup::AddResult::Added);
    QCOMPARE(groups.findGroup(u"B    "_s), 3);
}

// Each text keeps its own answer, however many texts name the same group.
void tst_GroupTable::deviceTextFindsItsGroup()
{
    tGroup groups;
    groups.addGroup(u"AB"_s);
    groups.addGroup(u"STAGE LEFT"_s);
    for (int round = 0; round < 2; ++round) {  // the second round answers from what the first found
        QCOMPARE(groups.findGroupOfDevice(u"AB   "_s), 1);
        QCOMPARE(groups.findGroupOfDevice(QStringView(u"AB\0\0\0", 5)), 1);
        QCOMPARE(groups.findGroupOfDevice(u"ab"_s), 1);
        QCOMPARE(groups.findGroupOfDevice(u"stage_left"_s), 2);
        QCOMPARE(groups.findGroupOfDevice(u"STAGE"_s), 0);
        QCOMPARE(groups.findGroupOfDevice(QString()), 0);
    }
}

void tst_GroupTable::deviceLookupFollowsTableChanges()
{
    tGroup groups;
    groups.addGroup(u"FOH"_s);
    QCOMPARE(groups.findGroupOfDevice(u"mon"_s), 0);
    QCOMPARE(groups.findGroupOfDevice(u"FOH  "_s), 1);

    groups.addGroup(u"MON"_s);
    QCOMPARE(groups.findGroupOfDevice(u"mon"_s), 2);
    groups.removeGroup(1);
    QCOMPARE(groups.findGroupOfDevice(u"mon"_s), 1);
    QCOMPARE(groups.findGroupOfDevice(u"FOH  "_s), 0);

    // A device reporting ever new texts: the answers stay right throughout.
    for (int n = 0; n < 5 * tGroup::kCapacity; ++n)
        QCOMPARE(groups.findGroupOfDevice(u"X"_s + QString::number(n)), 0);
    QCOMPARE(groups.findGroupOfDevice(u"mon"_s), 1);

    groups.clearCount();  // a project load starts here
    QCOMPARE(groups.findGroupOfDevice(u"mon"_s), 0);
    QCOMPARE(groups.findGroup(u"MON  "_s), 0);
    QCOMPARE(groups.addGroup(u"mon"_s), tGroup::AddResult::Added);
    QCOMPARE(groups.findGroupOfDevice(u"MON  "_s), 1);
}

QTEST_GUILESS_MAIN(tst_GroupTable)
#include "tst_grouptable.moc"

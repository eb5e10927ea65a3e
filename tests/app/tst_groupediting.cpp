// Group editing on the main window, offscreen: the "Group" dialog, "Delete
// Group", the group description and the device panel's group selector, name
// and group fields, over simulated amplifiers on loopback addresses.

#include "ampsimulator.h"
#include "controllerstyle.h"
#include "controllerwindows.h"
#include "coretestaccess.h"
#include "devicepanel.h"
#include "groupdialog.h"
#include "grouppropertiesbox.h"
#include "grouptable.h"
#include "mainwindow.h"
#include "picturecontrol.h"
#include "screenshot.h"
#include "treehelpers.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Nothing listens on these on the simulator's port.
const QString kSilentAddress1 = u"127.0.0.98"_s;
const QString kSilentAddress2 = u"127.0.0.99"_s;

QStringList comboTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}

} // namespace

class tst_GroupEditing final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void groupDialogAddsTheNormalisedName_data();
    void groupDialogAddsTheNormalisedName();
    void groupDialogCancelsAndEmptiesItsField();
    void groupDialogTellsWhenTheTableIsFull();
    void deleteGroupMovesItsDevicesToUndef();
    void deleteEmptyGroupLeavesUndefAlone();
    void deletedUndefComesBackAtTheEnd();
    void deleteGroupTakesTheGroupPressed();
    void descriptionStoredOnEnterOnly();
    void selectorSendsTheGroupAndTheNodeWaitsForTheReport();
    void nameFieldSendsTheNormalisedName();
    void groupFieldSendsTheUpperCasedGroup();
    void screenshotWithGroupAndDevice();

private:
    TForm1 &form() { return m_windows->Form1(); }
    // A group in the table as if it were there already: no event, no rebuild.
    void arrangeGroup(const QString &name) { CoreTestAccess::groups(form().core()).addGroup(name); }
    TForm8 &dialog() { return m_windows->Form8(); }
    DeviceTreeView &tree() { return *form().TreeView1(); }
    void add(const QString &name, const QString &group, const QString &address)
    {
        QVERIFY(form().addOrUpdateDevice(name, group, address));
    }
    // As the operator sees it: the dialog active, its field empty.
    void openDialog()
    {
        form().AddGroup1Click();
        QVERIFY(QTest::qWaitForWindowActive(&dialog()));
        QCOMPARE(dialog().Edit1()->text(), QString());
    }
    void deleteGroupAt(const QString &nodeText)
    {
        QTreeWidgetItem *node = findNode(tree(), nodeText);
        QVERIFY(node);
        pressNode(tree(), node, Qt::RightButton);
        tree().deleteGroupAction()->trigger();
    }

    // Selects the online amplifier AMP1 (127.0.0.2, on the stage) and waits
    // for the device panel to show it.
    void selectOnlineAmp()
    {
        add(u"AMP1"_s, u"STAGE"_s, u"127.0.0.2"_s);
        QTRY_COMPARE(form().devices()[1].linkState(), 3);
        pressNode(tree(), findNode(tree(), u"AMP1 "_s), Qt::LeftButton);
        QTRY_VERIFY(form().GroupBox1()->isVisible());
        QApplication::setActiveWindow(&form());
    }
    DevicePanel &panel() { return *form().devicePanel(); }

    AmpSimulator m_sim;
    quint16 m_port = 0;
    std::unique_ptr<ControllerWindows> m_windows;
    QStringList m_messages;
};

void tst_GroupEditing::initTestCase()
{
    applyControllerStyle(*qApp);
    m_port = m_sim.start({{u"127.0.0.2"_s, "AMP1 ", "STAGE"}, {u"127.0.0.3"_s, "AMP2 ", "STAGE"}});
    QVERIFY(m_port != 0);
}

void tst_GroupEditing::init()
{
    m_sim.setIdentity(0, "AMP1 ", "STAGE");
    m_sim.setIdentity(1, "AMP2 ", "STAGE");
    m_messages.clear();
    m_windows = std::make_unique<ControllerWindows>(m_port);
    dialog().setMessageFunction([this](QWidget *, const QString &text) { m_messages.append(text); });
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
}

void tst_GroupEditing::cleanup()
{
    m_windows.reset();
}

void tst_GroupEditing::groupDialogAddsTheNormalisedName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("ab-1 by Ok") << u"ab-1"_s << false << QStringList{u"AB 1 "_s, u"STAGE"_s};
    QTest::newRow("ab-1 by Enter") << u"ab-1"_s << true << QStringList{u"AB 1 "_s, u"STAGE"_s};
    QTest::newRow("empty") << QString() << false << QStringList{u"     "_s, u"STAGE"_s};
    QTest::newRow("existing") << u"stage"_s << true << QStringList{u"STAGE"_s};
    QTest::newRow("cut to five") << u"abcdefg"_s << true << QStringList{u"ABCDE"_s, u"STAGE"_s};
}

void tst_GroupEditing::groupDialogAddsTheNormalisedName()
{
    QFETCH(QString, typed);
    QFETCH(bool, byEnter);
    QFETCH(QStringList, lines);
    arrangeGroup(u"STAGE"_s);
    form().rebuildTree();

    tree().addGroupAction()->trigger();
    QVERIFY(QTest::qWaitForWindowActive(&dialog()));
    QVERIFY(!dialog().isModal());
    QVERIFY(dialog().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QTest::keyClicks(dialog().Edit1(), typed);
    if (byEnter)
        QTest::keyClick(dialog().Edit1(), Qt::Key_Return);
    else
        dialog().Button1()->click();
    QVERIFY(!dialog().isVisible());
    QCOMPARE(treeLines(tree()), lines);
    QVERIFY(m_messages.isEmpty());
}

void tst_GroupEditing::groupDialogCancelsAndEmptiesItsField()
{
    openDialog();
    QTest::keyClicks(dialog().Edit1(), u"foh"_s);
    dialog().Button2()->click();
    QVERIFY(!dialog().isVisible());

    openDialog();  // the text typed before is gone
    QTest::keyClicks(dialog().Edit1(), u"foh"_s);
    QTest::keyClick(dialog().Edit1(), Qt::Key_Escape);
    QVERIFY(!dialog().isVisible());
    QCOMPARE(form().groups().count(), 0);
}

void tst_GroupEditing::groupDialogTellsWhenTheTableIsFull()
{
    for (int i = 0; i < tGroup::kCapacity; ++i)
        arrangeGroup(u"G"_s + QString::number(i));
    openDialog();
    QTest::keyClicks(dialog().Edit1(), u"more"_s);
    dialog().Button1()->click();
    QCOMPARE(m_messages, QStringList{TForm8::tableFullText()});
    QCOMPARE(form().groups().findGroup(u"MORE "), 0);
    // A name already there is no news.
    openDialog();
    QTest::keyClicks(dialog().Edit1(), u"g0"_s);
    dialog().Button1()->click();
    QCOMPARE(m_messages.size(), 1);
}

void tst_GroupEditing::deleteGroupMovesItsDevicesToUndef()
{
    arrangeGroup(u"FIRST"_s);
    add(u"AMP1"_s, u"STAGE"_s, u"127.0.0.2"_s);
    add(u"AMP2"_s, u"STAGE"_s, u"127.0.0.3"_s);
    add(u"OTHER"_s, u"FIRST"_s, kSilentAddress1);
    deleteGroupAt(u"STAGE"_s);

    QCOMPARE(form().groups().findGroup(u"STAGE"), 0);
    QCOMPARE(form().groups().findGroup(u"UNDEF"), form().groups().count());
    QCOMPARE(form().devices()[1].group, u"UNDEF"_s);
    QCOMPARE(form().devices()[2].group, u"UNDEF"_s);
    QCOMPARE(form().devices()[3].group, u"FIRST"_s);
    QCOMPARE(treeLines(tree()),
             (QStringList{u"FIRST"_s, u"  OTHER"_s, u"UNDEF"_s, u"  AMP1 "_s, u"  AMP2 "_s}));
    QCOMPARE(form().selectedGroupIndex(), 0);
    // The amplifiers are told, and report the new group from then on.
    QTRY_COMPARE(m_sim.group(0), QByteArray("UNDEF"));
    QTRY_COMPARE(m_sim.group(1), QByteArray("UNDEF"));
}

void tst_GroupEditing::deleteEmptyGroupLeavesUndefAlone()
{
    arrangeGroup(u"EMPTY"_s);
    add(u"ONE"_s, u"STAGE"_s, kSilentAddress1);
    deleteGroupAt(u"EMPTY"_s);
    QCOMPARE(treeLines(tree()), (QStringList{u"STAGE"_s, u"  ONE  "_s}));
    QCOMPARE(form().groups().count(), 1);
}

void tst_GroupEditing::deletedUndefComesBackAtTheEnd()
{
    add(u"ONE"_s, u"UNDEF"_s, kSilentAddress1);
    add(u"TWO"_s, u"UNDEF"_s, kSilentAddress2);
    arrangeGroup(u"LAST"_s);
    form().core().setGroupSetting(form().core().groupNamed(u"UNDEF"_s), FaderTable::VolumeA, 120,
                                  CommandSource::window());
    deleteGroupAt(u"UNDEF"_s);
    const int undef = form().groups().findGroup(u"UNDEF");
    QCOMPARE(undef, form().groups().count());
    QCOMPARE(form().groups()[1].name, u"LAST "_s);
    QCOMPARE(form().groups()[undef].volumeA, 0);
    QCOMPARE(treeLines(tree()), (QStringList{u"LAST "_s, u"UNDEF"_s, u"  ONE  "_s, u"  TWO  "_s}));
}

void tst_GroupEditing::deleteGroupTakesTheGroupPressed()
{
    arrangeGroup(u"STAGE"_s);
    form().rebuildTree();
    pressNode(tree(), findNode(tree(), u"STAGE"_s), Qt::RightButton);
    // While the popup is open, a rebuild puts another group under the press.
    arrangeGroup(u"ALPHA"_s);
    form().rebuildTree();
    tree().deleteGroupAction()->trigger();
    QCOMPARE(treeLines(tree()), QStringList{u"ALPHA"_s});
}

void tst_GroupEditing::descriptionStoredOnEnterOnly()
{
    form().core().stopRefreshTimer();
    arrangeGroup(u"STAGE"_s);
    form().core().setGroupDescription(form().groups()[1].id, u"Main hang"_s, CommandSource::window());
    form().rebuildTree();
    pressNode(tree(), findNode(tree(), u"STAGE"_s), Qt::LeftButton);
    form().Timer1Timer();
    QLineEdit *field = form().groupPropertiesBox()->Edit4();
    QCOMPARE(field->text(), u"Main hang"_s);

    QApplication::setActiveWindow(&form());
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    field->selectAll();
    QTest::keyClicks(field, u"Delays"_s);
    form().Timer1Timer();  // the refresh leaves the operator's typing alone
    QCOMPARE(field->text(), u"Delays"_s);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(form().groups()[1].description, u"Delays"_s);

    QTest::keyClicks(field, u" left"_s);
    tree().setFocus();  // leaving without Enter drops the typing
    QCOMPARE(field->text(), u"Delays"_s);
    QCOMPARE(form().groups()[1].description, u"Delays"_s);
    field->setFocus();  // no longer than a project file keeps
    field->selectAll();
    field->insert(QString(3000, u'x'));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(form().groups()[1].description, QString(2047, u'x'));
}

void tst_GroupEditing::selectorSendsTheGroupAndTheNodeWaitsForTheReport()
{
    arrangeGroup(u"FOH"_s);
    selectOnlineAmp();
    QComboBox *selector = panel().GroupComboBox();
    QCOMPARE(comboTexts(selector), (QStringList{u"FOH  "_s, u"STAGE"_s}));
    Q_EMIT selector->activated(selector->findText(u"FOH  "_s));
    QVERIFY(tree().hasFocus());
    // The record and the tree wait for the amplifier's own report.
    QCOMPARE(form().devices()[1].group, u"STAGE"_s);
    QCOMPARE(treeLines(tree()), (QStringList{u"FOH  "_s, u"STAGE"_s, u"  AMP1 "_s}));
    QTRY_COMPARE(m_sim.group(0), QByteArray("FOH  "));
    QTRY_COMPARE(treeLines(tree()), (QStringList{u"FOH  "_s, u"  AMP1 "_s, u"STAGE"_s}));
}

void tst_GroupEditing::nameFieldSendsTheNormalisedName()
{
    selectOnlineAmp();
    QLineEdit *field = panel().PD_Network_Name();
    field->setText(u"amp-1"_s);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(field->text(), u"AMP 1"_s);
    QVERIFY(tree().hasFocus());
    QTRY_COMPARE(m_sim.name(0), QByteArray("AMP 1"));
    QTRY_VERIFY(findNode(tree(), u"AMP 1"_s));
}

void tst_GroupEditing::groupFieldSendsTheUpperCasedGroup()
{
    selectOnlineAmp();
    QLineEdit *field = panel().PD_Network_Group();
    field->setText(u"foh"_s);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(field->text(), u"FOH"_s);
    QVERIFY(form().groups().findGroup(u"FOH  ") != 0);  // added before the device reports it
    QVERIFY(comboTexts(panel().GroupComboBox()).contains(u"FOH  "_s));
    QTRY_COMPARE(m_sim.group(0), QByteArray("FOH  "));
}

// Both boxes filled: a group with its faders set, and one of its amplifiers.
void tst_GroupEditing::screenshotWithGroupAndDevice()
{
    add(u"AMP2"_s, u"STAGE"_s, u"127.0.0.3"_s);
    arrangeGroup(u"FOH"_s);
    const GroupId stage = form().core().groupNamed(u"STAGE"_s);
    const CommandSource window = CommandSource::window();
    form().core().setGroupDescription(stage, u"Main hang"_s, window);
    form().core().setGroupSettings(stage, {171, 171, 151, 131, 120, 120}, window);
    form().core().setGroupLink(stage, GroupLink::Volume, true, window);
    selectOnlineAmp();
    QTRY_VERIFY(form().groupPropertiesBox()->isVisible());
    // In the operator's locale, as the label is formatted: its minus sign,
    // digits and decimal separator (a comma in many locales).
    QTRY_COMPARE(form().groupPropertiesBox()->valueLabel(1)->text(), QLocale().toString(-10.0, 'f', 1) + u" dB"_s);
    QTRY_VERIFY(form().groupPropertiesBox()->Image4()->isVisible());  // T1900 above 100 V
    QVERIFY(saveScreenshot(form(), u"mainwindow-group.png"_s));
}

QTEST_MAIN(tst_GroupEditing)
#include "tst_groupediting.moc"

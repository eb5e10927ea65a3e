// The main window and the device tree, offscreen, over simulated amplifiers
// on loopback addresses.

#include "aboutwindow.h"
#include "ampsimulator.h"
#include "controllerstyle.h"
#include "controllerwindows.h"
#include "devicetreeview.h"
#include "diagramwindow.h"
#include "grouppropertiesbox.h"
#include "mainwindow.h"
#include "networkstatwindow.h"
#include "scanwindow.h"
#include "treehelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontInfo>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Nothing listens here on the simulator's port.
const QString kSilentAddress = u"127.0.0.99"_s;

QStringList menuTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts.append(action->isSeparator() ? u"-"_s : action->text());
    return texts;
}

} // namespace

class tst_MainWindow final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void startUpState();
    void secondaryWindows();
    void treeSortsBothLevels();
    void showIpText();
    void groupNodesOutliveTheirDevices();
    void deviceFoundAgainIsUpdated();
    void stateImagesFollowTheLink();
    void reportedIdentityMovesTheNode();
    void reportedGroupFindsItsNormalisedGroup_data();
    void reportedGroupFindsItsNormalisedGroup();
    void selectionFollowsTheTree();
    void panelsFollowTheSelection();
    void deleteDeviceActsOnTheSelection();
    void popupMenuChosenAtPress();
    void pressOnAnUnreachableDeviceHidesTheDiagram();
    void queueFullToldOnceAtATime();
    void exitEndsTheProgram();
    void closingEndsTheProgram();

private:
    TForm1 &form() { return m_windows->Form1(); }
    DeviceTreeView &tree() { return *form().TreeView1(); }
    void add(const QString &name, const QString &group, const QString &address);

    AmpSimulator m_sim;
    quint16 m_port = 0;
    std::unique_ptr<ControllerWindows> m_windows;
    QStringList m_messages;
};

void tst_MainWindow::initTestCase()
{
    applyControllerStyle(*qApp);
    m_port = m_sim.start({{u"127.0.0.2"_s, "AMP1 ", "STAGE"}, {u"127.0.0.3"_s, "AMP2 ", "STAGE"}});
    QVERIFY(m_port != 0);
}

void tst_MainWindow::init()
{
    m_sim.setIdentity(0, "AMP1 ", "STAGE");
    m_sim.setIdentity(1, "AMP2 ", "STAGE");
    m_messages.clear();
    m_windows = std::make_unique<ControllerWindows>(m_port);
    form().setMessageFunction([this](QWidget *, const QString &text) { m_messages.append(text); });
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
}

void tst_MainWindow::cleanup()
{
    m_windows.reset();
}

void tst_MainWindow::add(const QString &name, const QString &group, const QString &address)
{
    QVERIFY(form().addOrUpdateDevice(name, group, address));
}

void tst_MainWindow::startUpState()
{
    QCOMPARE(form().windowTitle(), u"KRV Amplifier controller v0.3"_s);
    QCOMPARE(form().centralWidget()->size(), TForm1::kClientSize);
    QCOMPARE(form().width(), 1024);
    QCOMPARE(form().pos(), QPoint(0, 0));
    QCOMPARE(form().palette().color(QPalette::Window), QColor(212, 208, 200));
    QCOMPARE(QFontInfo(form().font()).pointSize(), 8);

    QCOMPARE(tree().topLevelItemCount(), 0);
    QCOMPARE(tree().indentation(), 19);
    QVERIFY(!form().groupPropertiesBox()->isVisible());
    QVERIFY(!form().GroupBox1()->isVisible());
    QCOMPARE(form().deviceTreeBox()->title(), u" Device tree"_s);
    QCOMPARE(form().groupPropertiesBox()->title(), u" Group properties "_s);
    QCOMPARE(form().GroupBox1()->title(), u" Device parameters "_s);
    QCOMPARE(form().deviceTreeBox()->geometry(), QRect(8, 0, 193, 689));
    QCOMPARE(tree().geometry(), QRect(8, 16, 177, 609));
    QCOMPARE(form().Button1()->geometry(), QRect(6, 632, 179, 25));
    QCOMPARE(form().CheckBox1()->geometry(), QRect(8, 664, 97, 17));
    QCOMPARE(form().groupPropertiesBox()->geometry(), QRect(208, 0, 801, 313));
    QCOMPARE(form().GroupBox1()->geometry(), QRect(208, 320, 801, 369));

    const QList<QAction *> bar = form().menuBar()->actions();
    QCOMPARE(bar.size(), 7);
    QCOMPARE(bar[0]->text(), u"File"_s);
    QCOMPARE(menuTexts(bar[0]->menu()), (QStringList{u"Open..."_s, u"Save as..."_s, u"-"_s, u"Exit"_s}));
    QCOMPARE(bar[1], form().About1());
    QCOMPARE(bar[1]->text(), u"Network Stat"_s);
    // The fleet overview, the event log, the remote interfaces and the scenes sit between them.
    QCOMPARE(bar[2]->text(), u"Fleet"_s);
    QCOMPARE(bar[3]->text(), u"Events"_s);
    QCOMPARE(bar[4]->text(), u"Remote"_s);
    QCOMPARE(bar[5]->text(), u"Scenes"_s);
    QVERIFY(bar[5]->shortcut().isEmpty());
    QCOMPARE(bar[6], form().About2());
    QCOMPARE(bar[6]->text(), u"About"_s);

    if (const QString dir = qEnvironmentVariable("AMP_TEST_OUTPUT"); !dir.isEmpty()) {
        QDir().mkpath(dir);
        QVERIFY(form().grab().save(dir + u"/mainwindow-empty.png"_s));
    }
}

void tst_MainWindow::secondaryWindows()
{
    QVERIFY(!m_windows->Form3().isVisible());
    QVERIFY(!m_windows->Form2().isVisible());
    QVERIFY(!m_windows->Form4().isVisible());

    form().Button1()->click();
    QVERIFY(m_windows->Form3().isVisible());
    QVERIFY(!m_windows->Form3().isModal());

    form().About2()->trigger();
    const TForm2 &about = m_windows->Form2();
    QVERIFY(about.isVisible());
    QCOMPARE(about.windowTitle(), u"About"_s);
    QCOMPARE(about.size(), TForm2::kSize);
    QVERIFY(about.Memo1()->isReadOnly());
    const QString text = about.Memo1()->toPlainText();
    QVERIFY(text.contains(u"Version: 0.2\nDate: 05.05.2007"_s));
    QVERIFY(text.contains(u"\"AS IS\""_s));

    form().About1()->trigger();
    QVERIFY(m_windows->Form6().isVisible());
    QCOMPARE(m_windows->Form6().windowTitle(), u"Network stat"_s);
}

void tst_MainWindow::treeSortsBothLevels()
{
    form().core().addGroup(u"B"_s, CommandSource::window());
    form().core().addGroup(u"A"_s, CommandSource::window());
    add(u"ZED"_s, u"B"_s, kSilentAddress);
    add(u"MID"_s, u"B"_s, u"127.0.0.98"_s);
    add(u"AMP"_s, u"a"_s, u"127.0.0.97"_s);
    QCOMPARE(treeLines(tree()), (QStringList{u"A    "_s, u"  AMP  "_s, u"B    "_s, u"  MID  "_s, u"  ZED  "_s}));
    QCOMPARE(tree().topLevelItem(0)->isExpanded(), true);
    QCOMPARE(tree().topLevelItem(1)->isExpanded(), true);
    QCOMPARE(DeviceTreeView::stateImage(tree().topLevelItem(0)), DeviceTreeView::kNoStateImage);
}

void tst_MainWindow::showIpText()
{
    add(u"amp1"_s, u"stage"_s, u"127.0.0.9"_s);
    QVERIFY(findNode(tree(), u"AMP1 "_s));
    form().CheckBox1()->click();
    QVERIFY(findNode(tree(), u"AMP1  [127.0.0.9]"_s));
    form().CheckBox1()->click();
    QVERIFY(findNode(tree(), u"AMP1 "_s));
}

void tst_MainWindow::groupNodesOutliveTheirDevices()
{
    form().core().addGroup(u"EMPTY"_s, CommandSource::window());
    add(u"ONE"_s, u"STAGE"_s, kSilentAddress);
    form().rebuildTree();
    QCOMPARE(treeLines(tree()), (QStringList{u"EMPTY"_s, u"STAGE"_s, u"  ONE  "_s}));

    pressNode(tree(), findNode(tree(), u"ONE  "_s), Qt::LeftButton);
    form().DeleteDevice1Click();
    QCOMPARE(treeLines(tree()), (QStringList{u"EMPTY"_s, u"STAGE"_s}));
}

void tst_MainWindow::deviceFoundAgainIsUpdated()
{
    add(u"OLD"_s, u"FIRST"_s, kSilentAddress);
    add(u"NEW"_s, u"SECND"_s, kSilentAddress);
    QCOMPARE(form().devices().count(), 1);
    QCOMPARE(treeLines(tree()), (QStringList{u"FIRST"_s, u"SECND"_s, u"  NEW  "_s}));
}

void tst_MainWindow::stateImagesFollowTheLink()
{
    add(u"AMP1"_s, u"STAGE"_s, u"127.0.0.2"_s);
    add(u"GONE"_s, u"STAGE"_s, kSilentAddress);
    QTreeWidgetItem *online = findNode(tree(), u"AMP1 "_s);
    QTreeWidgetItem *offline = findNode(tree(), u"GONE "_s);
    QVERIFY(online && offline);
    QTRY_COMPARE(DeviceTreeView::stateImage(online), 3);
    QTRY_COMPARE(DeviceTreeView::stateImage(offline), 1);

    m_sim.setFault(0, AmpSimulator::Fault::Refuse);
    QTRY_COMPARE(DeviceTreeView::stateImage(online), 1);
    m_sim.setFault(0, AmpSimulator::Fault::None);
    QTRY_COMPARE(DeviceTreeView::stateImage(online), 3);
}

void tst_MainWindow::reportedIdentityMovesTheNode()
{
    add(u"AMP1"_s, u"STAGE"_s, u"127.0.0.2"_s);
    add(u"AMP2"_s, u"STAGE"_s, u"127.0.0.3"_s);
    QTRY_COMPARE(form().devices()[1].linkState(), 3);
    m_sim.setIdentity(1, "MOVED", "FOH  ");
    QTRY_COMPARE(treeLines(tree()), (QStringList{u"FOH  "_s, u"  MOVED"_s, u"STAGE"_s, u"  AMP1 "_s}));
    QCOMPARE(form().devices().count(), 2);
    QCOMPARE(form().devices()[2].address, u"127.0.0.3"_s);
}

void tst_MainWindow::reportedGroupFindsItsNormalisedGroup_data()
{
    QTest::addColumn<QByteArray>("field");  // the block's five group bytes
    QTest::addColumn<QString>("recordGroup");
    QTest::addColumn<QString>("groupName");
    QTest::newRow("zero padding") << QByteArray("FOH\0\0", 5) << u"FOH"_s << u"FOH  "_s;
    QTest::newRow("hyphen") << QByteArray("A-B  ") << u"A-B  "_s << u"A B  "_s;
}

// A device whose reported group only matches once normalised and padded is
// shown under that group and sent its settings; the record keeps the text
// the device reports, so the next block changes nothing.
void tst_MainWindow::reportedGroupFindsItsNormalisedGroup()
{
    QFETCH(QByteArray, field);
    QFETCH(QString, recordGroup);
    QFETCH(QString, groupName);

    add(u"AMP1"_s, u"STAGE"_s, u"127.0.0.2"_s);
    m_sim.setIdentity(0, "AMP1 ", field);
    QTRY_COMPARE(form().devices()[1].group, recordGroup);
    QTRY_COMPARE(treeLines(tree()), (QStringList{groupName, u"  AMP1 "_s, u"STAGE"_s}));

    form().core().setGroupSetting(form().core().groupNamed(groupName), FaderTable::VolumeA, 123,
                                  CommandSource::window());
    QTRY_COMPARE(m_sim.groupSettings(0), "123000000000010010"_ba);
}

void tst_MainWindow::selectionFollowsTheTree()
{
    add(u"ONE"_s, u"STAGE"_s, kSilentAddress);
    add(u"TWO"_s, u"FOH"_s, u"127.0.0.98"_s);
    QCOMPARE(form().selectedGroupIndex(), 0);
    QCOMPARE(form().selectedDeviceIndex(), 0);

    pressNode(tree(), findNode(tree(), u"STAGE"_s), Qt::LeftButton);
    QCOMPARE(form().selectedGroupIndex(), form().groups().findGroup(u"STAGE"));
    QCOMPARE(form().selectedDeviceIndex(), 0);

    pressNode(tree(), findNode(tree(), u"TWO  "_s), Qt::LeftButton);
    QCOMPARE(form().selectedDeviceIndex(), 2);
    QCOMPARE(form().selectedGroupIndex(), form().groups().findGroup(u"FOH  "));

    tree().clearSelection();
    QCOMPARE(form().selectedGroupIndex(), 0);
    QCOMPARE(form().selectedDeviceIndex(), 0);

    // Every rebuild leaves nothing selected.
    pressNode(tree(), findNode(tree(), u"TWO  "_s), Qt::LeftButton);
    form().rebuildTree();
    QCOMPARE(form().selectedDeviceIndex(), 0);
    QCOMPARE(form().selectedGroupIndex(), 0);
    QVERIFY(tree().selectedItems().isEmpty());
}

void tst_MainWindow::panelsFollowTheSelection()
{
    add(u"AMP1"_s, u"STAGE"_s, u"127.0.0.2"_s);
    add(u"GONE"_s, u"STAGE"_s, kSilentAddress);
    QTRY_COMPARE(form().devices()[1].linkState(), 3);
    QTRY_COMPARE(form().devices()[2].linkState(), 1);

    pressNode(tree(), findNode(tree(), u"STAGE"_s), Qt::LeftButton);
    QTRY_VERIFY(form().groupPropertiesBox()->isVisible());
    QVERIFY(!form().GroupBox1()->isVisible());

    pressNode(tree(), findNode(tree(), u"AMP1 "_s), Qt::LeftButton);
    QTRY_VERIFY(form().GroupBox1()->isVisible());
    QVERIFY(form().groupPropertiesBox()->isVisible());

    pressNode(tree(), findNode(tree(), u"GONE "_s), Qt::LeftButton);
    QTRY_VERIFY(!form().GroupBox1()->isVisible());

    tree().clearSelection();
    QTRY_VERIFY(!form().groupPropertiesBox()->isVisible());
}

void tst_MainWindow::deleteDeviceActsOnTheSelection()
{
    add(u"ONE"_s, u"STAGE"_s, kSilentAddress);
    add(u"TWO"_s, u"STAGE"_s, u"127.0.0.98"_s);
    add(u"TRE"_s, u"STAGE"_s, u"127.0.0.97"_s);

    form().DeleteDevice1Click();  // nothing selected: nothing happens
    QCOMPARE(form().devices().count(), 3);

    pressNode(tree(), findNode(tree(), u"TWO  "_s), Qt::LeftButton);
    // A right press elsewhere chooses a menu but keeps the selection.
    pressNode(tree(), findNode(tree(), u"TRE  "_s), Qt::RightButton);
    QCOMPARE(form().selectedDeviceIndex(), 2);
    tree().deleteDeviceAction()->trigger();

    QCOMPARE(form().devices().count(), 2);
    QCOMPARE(form().devices()[1].name, u"ONE  "_s);
    QCOMPARE(form().devices()[2].name, u"TRE  "_s);
    QCOMPARE(form().selectedDeviceIndex(), 0);
    QCOMPARE(form().selectedGroupIndex(), 0);
    QCOMPARE(treeLines(tree()), (QStringList{u"STAGE"_s, u"  ONE  "_s, u"  TRE  "_s}));
}

void tst_MainWindow::popupMenuChosenAtPress()
{
    add(u"ONE"_s, u"STAGE"_s, kSilentAddress);
    DeviceTreeView &view = tree();

    pressNode(view, findNode(view, u"STAGE"_s), Qt::RightButton);
    QVERIFY(view.attachedMenu());
    QCOMPARE(menuTexts(view.attachedMenu()), (QStringList{u"Add Group"_s, u"Delete Group"_s}));
    QVERIFY(view.deleteGroupAction()->isEnabled());

    pressNode(view, findNode(view, u"ONE  "_s), Qt::RightButton);
    QCOMPARE(menuTexts(view.attachedMenu()), (QStringList{u"Delete Device"_s}));

    const QPoint empty(view.viewport()->width() / 2, view.viewport()->height() - 4);
    QVERIFY(!view.itemAt(empty));
    QTest::mousePress(view.viewport(), Qt::RightButton, {}, empty);
    QCOMPARE(menuTexts(view.attachedMenu()), (QStringList{u"Add Group"_s, u"Delete Group"_s}));
    QVERIFY(!view.deleteGroupAction()->isEnabled());
    QCOMPARE(form().lastTreePressPoint(), empty);
}

void tst_MainWindow::pressOnAnUnreachableDeviceHidesTheDiagram()
{
    add(u"GONE"_s, u"STAGE"_s, kSilentAddress);
    QTRY_COMPARE(form().devices()[1].linkState(), 1);
    m_windows->Form4().show();
    pressNode(tree(), findNode(tree(), u"GONE "_s), Qt::LeftButton);
    QVERIFY(!m_windows->Form4().isVisible());
}

void tst_MainWindow::queueFullToldOnceAtATime()
{
    Q_EMIT form().core().queryQueueFull();
    Q_EMIT form().core().queryQueueFull();
    QTRY_COMPARE(m_messages, QStringList{u"NotEnoughDeviceQuerySpace"_s});
    Q_EMIT form().core().queryQueueFull();
    QTRY_COMPARE(m_messages.size(), 2);
}

// Runs the program's event loop until something ends it; 1 when nothing did.
int runEventLoop()
{
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    giveUp.start(10000);
    return QCoreApplication::exec();
}

void tst_MainWindow::exitEndsTheProgram()
{
    add(u"AMP1"_s, u"STAGE"_s, u"127.0.0.2"_s);
    QTimer::singleShot(0, &form(), [this] { form().N4()->trigger(); });
    QCOMPARE(runEventLoop(), 0);
}

void tst_MainWindow::closingEndsTheProgram()
{
    form().About2()->trigger();  // the main window is not the last one open
    QTimer::singleShot(0, &form(), [this] { form().close(); });
    QCOMPARE(runEventLoop(), 0);
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"

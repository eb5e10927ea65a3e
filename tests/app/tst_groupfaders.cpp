// The group faders dragged on the real main window, offscreen, with the test
// moving the cursor as the operator's hand would.

#include "controllerstyle.h"
#include "controllerwindows.h"
#include "cursordrag.h"
#include "faderpanel.h"
#include "grouppropertiesbox.h"
#include "grouptable.h"
#include "ledbar.h"
#include "mainwindow.h"
#include "picturecontrol.h"
#include "treehelpers.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QLocale>
#include <QScreen>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

class tst_GroupFaders final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void knobRise_data();
    void knobRise();
    void oneLongMoveOutrunsManySmallOnes();
    void limiterRunsFromTenToOneHundredSeventyVolts();
    void shiftMovesOneEighthPerPixel();
    void linkCopiesTheDraggedFader();
    void linkSwitchedOnTakesEffectAtTheRefresh();
    void dragWrapsAtTheScreenEdge_data();
    void dragWrapsAtTheScreenEdge();
    void onlyTheKnobStartsADrag();
    void moveWithoutSelectedGroupStoresNothing();

private:
    TForm1 &form() { return m_windows->Form1(); }
    GroupPropertiesBox &box() { return *form().groupPropertiesBox(); }
    const tGroupItem &group() { return form().groups()[1]; }
    // A stored value as a command of the core puts it there.
    void store(int entry, int value)
    {
        GroupSettingValues values = FaderTable::valuesOf(group());
        values[std::size_t(entry - 1)] = value;
        form().core().dragGroupSettings(group().id, values);
    }

    void pressAt(QWidget *widget) { m_drag->press(widget); }
    void moveCursorBy(int rows) { m_drag->moveBy(rows); }
    void release() { m_drag->release(); }
    void holdShift(bool held) { m_drag->holdShift(held); }
    int knobTop(int entry) { return box().FaderImg(entry)->y(); }
    QString label(int entry) { return box().valueLabel(entry)->text(); }

    std::unique_ptr<ControllerWindows> m_windows;
    std::unique_ptr<CursorDrag> m_drag;
};

void tst_GroupFaders::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    applyControllerStyle(*qApp);
}

void tst_GroupFaders::init()
{
    m_windows = std::make_unique<ControllerWindows>();
    // The tests run the refresh themselves: one in the middle of a drag
    // drops the fractions of a step that the drag has gathered.
    form().core().stopRefreshTimer();
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
    m_drag = std::make_unique<CursorDrag>(form());
    form().core().addGroup(u"STAGE"_s, CommandSource::window());
    form().rebuildTree();
    pressNode(*form().TreeView1(), findNode(*form().TreeView1(), u"STAGE"_s), Qt::LeftButton);
    form().Timer1Timer();
    QVERIFY(box().isVisible());
}

void tst_GroupFaders::cleanup()
{
    m_drag.reset();
    m_windows.reset();
}

void tst_GroupFaders::knobRise_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("rise");
    QTest::newRow("bottom") << 0 << 191 << 0;
    QTest::newRow("top") << 191 << 191 << 163;
    QTest::newRow("limiter top") << 160 << 160 << 163;
    QTest::newRow("0.85 rounds up") << 1 << 191 << 1;
    QTest::newRow("81.07 rounds down") << 95 << 191 << 81;
    QTest::newRow("81.5 goes to the even 82") << 80 << 160 << 82;
}

void tst_GroupFaders::knobRise()
{
    QFETCH(int, value);
    QFETCH(int, maximum);
    QFETCH(int, rise);
    QCOMPARE(FaderTable::knobRise(value, maximum), rise);
}

void tst_GroupFaders::oneLongMoveOutrunsManySmallOnes()
{
    QCOMPARE(label(1), u"-95.5 dB"_s);
    QCOMPARE(knobTop(1), 171);
    pressAt(box().FaderImg(1));
    moveCursorBy(-163);
    release();
    QCOMPARE(group().volumeA, 191);
    QCOMPARE(label(1), u"0.0 dB"_s);
    QCOMPARE(knobTop(1), 8);
    QCOMPARE(group().volumeB, 0);  // the other channel stays where it was

    store(FaderTable::VolumeA, 0);
    form().Timer1Timer();
    QCOMPARE(knobTop(1), 171);
    pressAt(box().FaderImg(1));
    for (int i = 0; i < 163; ++i)
        moveCursorBy(-1);
    release();
    QCOMPARE(group().volumeA, 183);  // each pixel's share is cut to 9 eighths
    QCOMPARE(label(1), u"-4.0 dB"_s);
}

void tst_GroupFaders::limiterRunsFromTenToOneHundredSeventyVolts()
{
    store(FaderTable::LimiterA, 3);  // below the floor: raised where it enters
    QCOMPARE(group().limiterA, 10);
    form().Timer1Timer();
    QCOMPARE(label(5), u"10.0 V"_s);
    pressAt(box().FaderImg(5));
    moveCursorBy(-200);
    QCOMPARE(group().limiterA, 170);
    QCOMPARE(label(5), u"170.0 V"_s);
    moveCursorBy(400);
    release();
    QCOMPARE(group().limiterA, 10);
    QCOMPARE(label(5), u"10.0 V"_s);
}

void tst_GroupFaders::shiftMovesOneEighthPerPixel()
{
    holdShift(true);
    pressAt(box().FaderImg(3));
    moveCursorBy(-8);
    QCOMPARE(group().inputLevelA, 1);
    moveCursorBy(-3);
    QCOMPARE(group().inputLevelA, 1);
    form().Timer1Timer();  // drops the three eighths
    moveCursorBy(-5);
    QCOMPARE(group().inputLevelA, 1);
    moveCursorBy(-3);
    QCOMPARE(group().inputLevelA, 2);
    release();
    holdShift(false);
}

void tst_GroupFaders::linkCopiesTheDraggedFader()
{
    QTest::mouseClick(box().unlockedPicture(0), Qt::LeftButton);
    QCOMPARE(group().volumeLink, 1);
    form().Timer1Timer();
    QVERIFY(box().lockedPicture(0)->isVisible());
    QVERIFY(!box().unlockedPicture(0)->isVisible());

    pressAt(box().FaderImg(2));
    moveCursorBy(-50);
    release();
    QVERIFY(group().volumeB > 0);
    QCOMPARE(group().volumeA, group().volumeB);
    QCOMPARE(knobTop(1), knobTop(2));

    pressAt(box().FaderImg(1));
    moveCursorBy(20);
    release();
    QVERIFY(group().volumeA > 0);
    QCOMPARE(group().volumeB, group().volumeA);
    QCOMPARE(group().inputLevelA, 0);  // the other pairs are not tied

    QTest::mouseClick(box().lockedPicture(0), Qt::LeftButton);
    QCOMPARE(group().volumeLink, 0);
    pressAt(box().FaderImg(1));
    moveCursorBy(20);
    release();
    QVERIFY(group().volumeA < group().volumeB);
}

void tst_GroupFaders::linkSwitchedOnTakesEffectAtTheRefresh()
{
    pressAt(box().FaderImg(5));
    moveCursorBy(-30);
    release();
    const quint8 dragged = group().limiterA;
    QCOMPARE(group().limiterB, 10);
    QTest::mouseClick(box().unlockedPicture(2), Qt::LeftButton);
    QCOMPARE(group().limiterB, 10);
    form().Timer1Timer();
    QCOMPARE(group().limiterB, dragged);
    QCOMPARE(label(6), label(5));
}

void tst_GroupFaders::dragWrapsAtTheScreenEdge_data()
{
    QTest::addColumn<bool>("upward");
    QTest::newRow("top edge") << true;
    QTest::newRow("bottom edge") << false;
}

// With Shift, so that the way to the edge does not reach the end of the range.
void tst_GroupFaders::dragWrapsAtTheScreenEdge()
{
    QFETCH(bool, upward);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    store(FaderTable::VolumeA, upward ? 0 : 191);
    form().Timer1Timer();
    const int start = box().faders()[1].position;

    holdShift(true);
    pressAt(box().FaderImg(1));
    const int startRow = QCursor::pos().y();
    const int edgeRow = upward ? screen.top() : screen.bottom();
    moveCursorBy(edgeRow - startRow);
    const int travelled = startRow - edgeRow;  // eighths, positive upward
    QCOMPARE(box().faders()[1].position, start + travelled);

    const int wrappedRow = QCursor::pos().y();
    QCOMPARE(wrappedRow, upward ? screen.bottom() - 1 : screen.top() + 1);
    const int onward = upward ? -16 : 16;
    moveCursorBy(onward);
    QCOMPARE(QCursor::pos().y(), wrappedRow + onward);
    QCOMPARE(box().faders()[1].position, start + travelled - onward);
    release();
    holdShift(false);
    QCOMPARE(group().volumeA, (start + travelled - onward) / 8);
}

void tst_GroupFaders::onlyTheKnobStartsADrag()
{
    FaderPanel *panel = box().faderPanel(1);
    for (QWidget *beside : {static_cast<QWidget *>(panel->track()), static_cast<QWidget *>(panel->ledBar())}) {
        pressAt(beside);
        moveCursorBy(-60);
        release();
        QVERIFY(!box().faders().dragging());
        QCOMPARE(group().volumeA, 0);
    }
    // Any button starts a drag on the knob.
    m_drag->press(box().FaderImg(1), Qt::RightButton);
    QVERIFY(box().faders().dragging());
    moveCursorBy(-60);
    release();
    QVERIFY(!box().faders().dragging());
    QVERIFY(group().volumeA > 0);
}

void tst_GroupFaders::moveWithoutSelectedGroupStoresNothing()
{
    pressAt(box().FaderImg(1));
    form().TreeView1()->clearSelection();
    QCOMPARE(form().selectedGroupIndex(), 0);
    moveCursorBy(-60);
    release();
    QCOMPARE(group().volumeA, 0);
    QCOMPARE(box().faders()[1].position, 0);
}

QTEST_MAIN(tst_GroupFaders)
#include "tst_groupfaders.moc"

// What a person trying the controller sees after scripts/start: ampsim's four
// amplifiers, scanned over the range that the script prints, land in the tree
// under FOH and STAGE and all turn green. The pictures of this scene are the
// ones the README shows next to its start instructions.

#include "controllerstyle.h"
#include "controllerwindows.h"
#include "devicetreeview.h"
#include "mainwindow.h"
#include "scanwindow.h"
#include "screenshot.h"
#include "simulatedlineup.h"
#include "treehelpers.h"

#include <QApplication>
#include <QHostAddress>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_FirstStart final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scanOfThePrintedRangeFindsTheFourAmplifiers();
};

void tst_FirstStart::scanOfThePrintedRangeFindsTheFourAmplifiers()
{
    // The range scripts/start serves and prints; the port is a free one here.
    const QString first = u"127.0.0.2"_s;
    const QString last = u"127.0.0.5"_s;
    AmpSimulator simulator;
    const quint16 port = simulator.start(simulatedLineup(QHostAddress(first).toIPv4Address(), 4));
    QVERIFY(port != 0);

    applyControllerStyle(*qApp);
    ControllerWindows windows(port);
    TForm1 &form = windows.Form1();
    TForm3 &scanWindow = windows.Form3();
    scanWindow.setMessageFunction([](QWidget *, const QString &text) { QFAIL(qPrintable(text)); });
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    form.Button1()->click();
    QVERIFY(scanWindow.isVisible());
    scanWindow.Edit1()->setText(first);
    scanWindow.Edit2()->setText(last);
    scanWindow.Button1()->click();
    QVERIFY(!scanWindow.scanning());
    QCOMPARE(scanWindow.ListBox1()->findItems(u"Found"_s, Qt::MatchExactly).size(), 4);

    QCOMPARE(treeLines(*form.TreeView1()),
             (QStringList{u"FOH  "_s, u"  AMP2 "_s, u"  AMP4 "_s, u"STAGE"_s, u"  AMP1 "_s, u"  AMP3 "_s}));
    for (const QString &node : {u"AMP1 "_s, u"AMP2 "_s, u"AMP3 "_s, u"AMP4 "_s})
        QTRY_COMPARE(DeviceTreeView::stateImage(findNode(*form.TreeView1(), node)), 3);

    QVERIFY(saveScreenshot(form, u"firststart.png"_s));
    QVERIFY(saveScreenshot(scanWindow, u"firststart-scan.png"_s));
}

QTEST_MAIN(tst_FirstStart)
#include "tst_firststart.moc"

// The diagram and network statistics windows in the running controller, over
// simulated amplifiers on loopback; the pictures of this scene are the ones
// the README shows.

#include "controllerstyle.h"
#include "controllerwindows.h"
#include "devicetreeview.h"
#include "diagramwindow.h"
#include "historyplot.h"
#include "mainwindow.h"
#include "networkstatwindow.h"
#include "screenshot.h"
#include "simulatedlineup.h"
#include "treehelpers.h"

#include <QApplication>
#include <QHostAddress>
#include <QLabel>
#include <QListWidget>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

int yellowPixels(const QImage &picture)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            count += picture.pixel(x, y) == HistoryPlot::kTraceColour ? 1 : 0;
    }
    return count;
}

} // namespace

class tst_DiagnosticWindows final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pressOnAnOnlineDevicePlotsItsHistories();
};

void tst_DiagnosticWindows::pressOnAnOnlineDevicePlotsItsHistories()
{
    const QList<AmpSimulator::Amp> lineup = simulatedLineup(QHostAddress(u"127.0.0.2"_s).toIPv4Address(), 3);
    AmpSimulator simulator;
    const quint16 port = simulator.start(lineup);
    QVERIFY(port != 0);
    applyControllerStyle(*qApp);
    ControllerWindows windows(port);
    TForm1 &form = windows.Form1();
    form.show();
    for (const AmpSimulator::Amp &amp : lineup)
        QVERIFY(form.addOrUpdateDevice(QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address));
    for (const QString &node : {u"AMP1 "_s, u"AMP2 "_s, u"AMP3 "_s})
        QTRY_COMPARE(DeviceTreeView::stateImage(findNode(*form.TreeView1(), node)), 3);
    // Online comes from the worker, the block a moment later from the main thread.
    QTRY_VERIFY(StatusBlockReader::identityLength(form.devices()[1].status, StatusField::Name, 5) > 0);

    TForm4 &diagram = windows.Form4();
    diagram.show();
    const QImage background = diagram.Image1()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    pressNode(*form.TreeView1(), findNode(*form.TreeView1(), u"AMP1 "_s), Qt::LeftButton);
    const QImage plotted = diagram.Image1()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(plotted != background);
    QVERIFY(yellowPixels(plotted) > 0);

    form.About1()->trigger();  // "Network Stat"
    TForm6 &statistics = windows.Form6();
    QVERIFY(statistics.isVisible());
    QTRY_COMPARE(statistics.ListBox1()->count(), 3);
    QTRY_VERIFY(!statistics.ListBox1()->item(2)->text().endsWith(u"PPS: 0"_s));
    QVERIFY(statistics.ListBox1()->item(0)->text().startsWith(u"1:   127.0.0.2   "_s));

    QTRY_VERIFY(diagram.PD_Serial_Number()->text() != u"?????"_s);
    QVERIFY(saveScreenshot(diagram, u"diagram.png"_s));
    QVERIFY(saveScreenshot(statistics, u"networkstat.png"_s));
}

QTEST_MAIN(tst_DiagnosticWindows)
#include "tst_diagnosticwindows.moc"

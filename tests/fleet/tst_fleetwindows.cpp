// The "Fleet" and "Events" windows in the running program, offscreen, against
// simulated amplifiers on loopback addresses: one is stopped and started
// again while the operator watches.

#include "ampsimulator.h"
#include "controllerstyle.h"
#include "controllerwindows.h"
#include "eventlog.h"
#include "eventswindow.h"
#include "fleetwindow.h"
#include "fleetwindows.h"
#include "mainwindow.h"
#include "screenshot.h"
#include "statusblockbuilder.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kLinkTimeoutMs = 20000;

QStringList rowTexts(const QAbstractItemModel &model, int row)
{
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts.append(model.index(row, column).data().toString());
    return texts;
}

QStringList logLines(const EventLog &log)
{
    QStringList lines;
    for (const FleetEvent &event : log.events())
        lines.append(event.amplifier + u' ' + event.text);
    return lines;
}

} // namespace

class tst_FleetWindows final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stoppedAmplifierGoesOfflineAndReturns();
};

void tst_FleetWindows::stoppedAmplifierGoesOfflineAndReturns()
{
    applyControllerStyle(*qApp);
    AmpSimulator sim;
    const quint16 port = sim.start({{u"127.0.0.2"_s, "AMP1 ", "STAGE"},
                                    {u"127.0.0.3"_s, "AMP2 ", "STAGE"},
                                    {u"127.0.0.4"_s, "AMP3 ", "FOH  "}});
    QVERIFY(port != 0);
    StatusFields warm;
    warm.name = "AMP1 ";
    warm.group = "STAGE";
    warm.secondTemperature = "110";
    sim.setServedBlock(0, buildStatusBlock(warm));

    ControllerWindows windows(port);
    TForm1 &main = windows.Form1();
    FleetWindows &fleetWindows = windows.fleet();
    FleetWindow &fleet = fleetWindows.fleet();
    fleet.model().setDecimalPoint(u"."_s);
    main.show();

    const QList<QAction *> bar = main.menuBar()->actions();
    QCOMPARE(bar.size(), 5);
    QCOMPARE(bar[2]->text(), u"Fleet"_s);
    QCOMPARE(bar[3]->text(), u"Events"_s);
    fleetWindows.fleetAction()->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&fleet));
    QCOMPARE(fleet.windowTitle(), u"Fleet"_s);
    QTRY_VERIFY(fleet.emptyLabel()->isVisible());

    QVERIFY(main.addOrUpdateDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.2"_s));
    QVERIFY(main.addOrUpdateDevice(u"AMP2 "_s, u"STAGE"_s, u"127.0.0.3"_s));
    QVERIFY(main.addOrUpdateDevice(u"AMP3 "_s, u"FOH  "_s, u"127.0.0.4"_s));
    QTRY_COMPARE_WITH_TIMEOUT(fleet.summaryLabel()->text(), u"3 amplifiers: 3 online, 0 offline, 0 with alarms"_s,
                              kLinkTimeoutMs);
    QVERIFY(fleet.table()->isVisible());

    // Worst first: the warm one on top; its figures as the device panel shows them.
    const QAbstractItemModel &rows = fleet.proxy();
    QStringList top = rowTexts(rows, 0);
    QCOMPARE(top.mid(0, 5), (QStringList{u"1"_s, u"AMP1 "_s, u"STAGE"_s, u"127.0.0.2"_s, u"Online"_s}));
    QCOMPARE(top.mid(8), (QStringList{u"OK"_s, u"OK"_s, u"110 \u00B0C"_s, u" 42 \u00B0C"_s, u"230.0 V"_s, u"045%"_s,
                                      u"58.6 V"_s, u"56.6 V"_s}));
    QCOMPARE(rows.index(0, 0).data(Qt::BackgroundRole).isValid(), true);
    QCOMPARE(rows.index(2, 0).data(Qt::BackgroundRole).isValid(), false);

    fleetWindows.eventsAction()->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&fleetWindows.events()));

    sim.setFault(1, AmpSimulator::Fault::Refuse);
    QTRY_COMPARE_WITH_TIMEOUT(rowTexts(rows, 0).mid(3, 2), (QStringList{u"127.0.0.3"_s, u"Offline"_s}),
                              kLinkTimeoutMs);
    QCOMPARE(fleet.summaryLabel()->text(), u"3 amplifiers: 2 online, 1 offline, 1 with alarms"_s);
    QCOMPARE(fleetWindows.eventsAction()->text(), u"Events (1)"_s);
    QVERIFY(logLines(windows.core().eventLog()).contains(u"AMP2 (127.0.0.3) offline"_s));
    QVERIFY(saveScreenshot(fleet, u"fleet.png"_s));

    // The selection follows its device when the rows reorder.
    fleet.table()->setCurrentIndex(rows.index(2, 0));
    QCOMPARE(fleet.table()->currentIndex().siblingAtColumn(1).data().toString(), u"AMP3 "_s);
    sim.setFault(1, AmpSimulator::Fault::None);
    const auto returned = [&] {
        const QStringList lines = logLines(windows.core().eventLog());
        return std::any_of(lines.begin(), lines.end(), [](const QString &line) {
            return line.startsWith(u"AMP2 (127.0.0.3) online again after "_s);
        });
    };
    QTRY_VERIFY_WITH_TIMEOUT(returned(), kLinkTimeoutMs);
    QTRY_COMPARE(rowTexts(rows, 2).at(4), u"Online"_s);
    QCOMPARE(fleet.table()->currentIndex().siblingAtColumn(1).data().toString(), u"AMP3 "_s);
    QVERIFY(saveScreenshot(fleetWindows.events(), u"events.png"_s));

    // Enter on a row selects its device in the tree; the filter keeps matches.
    QTest::keyClick(fleet.table(), Qt::Key_Return);
    QCOMPARE(main.selectedDevice(), &main.devices()[3]);
    QTest::keyClicks(fleet.filterField(), u"foh"_s);
    QCOMPARE(rows.rowCount(), 1);
    fleet.filterField()->clear();

    // A click on a header sorts by it, a second reverses.
    fleet.table()->horizontalHeader()->sectionClicked(FleetModel::Name);
    QCOMPARE(rows.index(0, FleetModel::Name).data().toString(), u"AMP1 "_s);
    fleet.table()->horizontalHeader()->sectionClicked(FleetModel::Name);
    QCOMPARE(rows.index(0, FleetModel::Name).data().toString(), u"AMP3 "_s);

    QString message;
    fleetWindows.events().setSaveDialog([](QWidget *) { return u"/nonexistent-dir/events.csv"_s; });
    fleetWindows.events().setMessageFunction([&](QWidget *, const QString &text) { message = text; });
    fleetWindows.events().exportButton()->click();
    QCOMPARE(message, u"Unable to write to /nonexistent-dir/events.csv"_s);
    fleetWindows.eventsAction()->trigger();
    QCOMPARE(fleetWindows.eventsAction()->text(), u"Events"_s);
}

QTEST_MAIN(tst_FleetWindows)
#include "tst_fleetwindows.moc"

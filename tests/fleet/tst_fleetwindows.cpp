// The "Fleet" and "Events" windows in the running program, offscreen, against
// simulated amplifiers on loopback addresses: one is stopped and started
// again while the operator watches. Each behaviour starts from a fresh
// program, so that one failing hides none of the others; the models are
// checked against the item model contract throughout.

#include "ampsimulator.h"
#include "controllerstyle.h"
#include "controllercore.h"
#include "controllerwindows.h"
#include "eventlog.h"
#include "eventswindow.h"
#include "fleetwindow.h"
#include "fleetwindows.h"
#include "mainwindow.h"
#include "screenshot.h"
#include "statusblockbuilder.h"

#include <QAbstractItemModelTester>
#include <QAbstractProxyModel>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

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
    void initTestCase() { applyControllerStyle(*qApp); }
    void init();
    void cleanup();

    void menuItems();
    void worstFirstWithThePanelsFigures();
    void stoppedAmplifierRaisesAnAlarm();
    void selectionFollowsItsDeviceWhenRowsReorder();
    void enterSelectsTheDevice();
    void filterKeepsMatches();
    void headerClicksSortReverseAndReturnToWorstFirst_data();
    void headerClicksSortReverseAndReturnToWorstFirst();
    void failedExportIsReported();

private:
    // Stops AMP2's answers and waits until its row, on top, reads offline.
    void stopSecondAmplifier();
    FleetWindows &fleetWindows() const { return m_windows->fleet(); }
    FleetWindow &fleet() const { return m_windows->fleet().fleet(); }
    // The log as the Events window's table reads it.
    QAbstractItemModel *eventLogAsShown() const
    {
        return qobject_cast<QAbstractProxyModel *>(fleetWindows().events().table()->model())->sourceModel();
    }
    const QAbstractItemModel &rows() const { return fleet().proxy(); }

    std::unique_ptr<AmpSimulator> m_sim;
    std::unique_ptr<ControllerWindows> m_windows;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> m_modelTesters;
};

// Three simulated amplifiers, AMP1 warm (amplifier temperature in the
// yellow), shown in the Fleet window once all three are online; before any
// is added the Fleet window says how to get them.
void tst_FleetWindows::init()
{
    m_sim = std::make_unique<AmpSimulator>();
    const quint16 port = m_sim->start({{u"127.0.0.2"_s, "AMP1 ", "STAGE"},
                                       {u"127.0.0.3"_s, "AMP2 ", "STAGE"},
                                       {u"127.0.0.4"_s, "AMP3 ", "FOH  "}});
    QVERIFY(port != 0);
    StatusFields warm;
    warm.name = "AMP1 ";
    warm.group = "STAGE";
    warm.secondTemperature = "110";
    m_sim->setServedBlock(0, buildStatusBlock(warm));

    m_windows = std::make_unique<ControllerWindows>(port);
    for (QAbstractItemModel *model : std::initializer_list<QAbstractItemModel *>{
             &fleet().model(), &fleet().proxy(), eventLogAsShown()})
        m_modelTesters.push_back(std::make_unique<QAbstractItemModelTester>(
            model, QAbstractItemModelTester::FailureReportingMode::QtTest));
    fleet().model().setDecimalPoint(u"."_s);
    TForm1 &main = m_windows->Form1();
    main.show();
    fleetWindows().fleetAction()->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&fleet()));
    QTRY_VERIFY(fleet().emptyLabel()->isVisible());

    QVERIFY(main.addOrUpdateDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.2"_s));
    QVERIFY(main.addOrUpdateDevice(u"AMP2 "_s, u"STAGE"_s, u"127.0.0.3"_s));
    QVERIFY(main.addOrUpdateDevice(u"AMP3 "_s, u"FOH  "_s, u"127.0.0.4"_s));
    QTRY_COMPARE_WITH_TIMEOUT(fleet().summaryLabel()->text(), u"3 amplifiers: 3 online, 0 offline, 0 with alarms"_s,
                              kLinkTimeoutMs);
    QVERIFY(fleet().table()->isVisible());
}

void tst_FleetWindows::cleanup()
{
    m_modelTesters.clear();
    m_windows.reset();
    m_sim.reset();
}

void tst_FleetWindows::stopSecondAmplifier()
{
    m_sim->setFault(1, AmpSimulator::Fault::Refuse);
    QTRY_COMPARE_WITH_TIMEOUT(rowTexts(rows(), 0).mid(3, 2), (QStringList{u"127.0.0.3"_s, u"Offline"_s}),
                              kLinkTimeoutMs);
}

void tst_FleetWindows::menuItems()
{
    const QList<QAction *> bar = m_windows->Form1().menuBar()->actions();
    QCOMPARE(bar.size(), 7);
    QCOMPARE(bar[2]->text(), u"Fleet"_s);
    QCOMPARE(bar[3]->text(), u"Events"_s);
    QCOMPARE(bar[4]->text(), u"Remote"_s);
    QCOMPARE(bar[5]->text(), u"Scenes"_s);
    QCOMPARE(fleet().windowTitle(), u"Fleet"_s);
}

// Worst first: the warm one on top; its figures as the device panel shows them.
void tst_FleetWindows::worstFirstWithThePanelsFigures()
{
    const QStringList top = rowTexts(rows(), 0);
    QCOMPARE(top.mid(0, 5), (QStringList{u"1"_s, u"AMP1 "_s, u"STAGE"_s, u"127.0.0.2"_s, u"Online"_s}));
    QCOMPARE(top.mid(8), (QStringList{u"OK"_s, u"OK"_s, u"110 \u00B0C"_s, u" 42 \u00B0C"_s, u"230.0 V"_s, u"045%"_s,
                                      u"58.6 V"_s, u"56.6 V"_s}));
    QCOMPARE(rows().index(0, 0).data(Qt::BackgroundRole).isValid(), true);
    QCOMPARE(rows().index(2, 0).data(Qt::BackgroundRole).isValid(), false);
}

// Offline goes on top, counts in the summary, and is an alarm on the
// "Events" item until the operator opens the log.
void tst_FleetWindows::stoppedAmplifierRaisesAnAlarm()
{
    fleetWindows().eventsAction()->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&fleetWindows().events()));
    stopSecondAmplifier();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(fleet().summaryLabel()->text(), u"3 amplifiers: 2 online, 1 offline, 1 with alarms"_s);
    QCOMPARE(fleetWindows().eventsAction()->text(), u"Events (1)"_s);
    QVERIFY(logLines(m_windows->core().eventLog()).contains(u"AMP2 (127.0.0.3) offline"_s));
    QVERIFY(saveScreenshot(fleet(), u"fleet.png"_s));
    fleetWindows().eventsAction()->trigger();
    QCOMPARE(fleetWindows().eventsAction()->text(), u"Events"_s);
}

// AMP1 is second while AMP2 is offline and first once it is back.
void tst_FleetWindows::selectionFollowsItsDeviceWhenRowsReorder()
{
    fleetWindows().eventsAction()->trigger();
    stopSecondAmplifier();
    if (QTest::currentTestFailed())
        return;
    fleet().table()->setCurrentIndex(rows().index(1, 0));
    QCOMPARE(fleet().table()->currentIndex().siblingAtColumn(1).data().toString(), u"AMP1 "_s);
    m_sim->setFault(1, AmpSimulator::Fault::None);
    const auto returned = [&] {
        const QStringList lines = logLines(m_windows->core().eventLog());
        return std::any_of(lines.begin(), lines.end(), [](const QString &line) {
            return line.startsWith(u"AMP2 (127.0.0.3) online again after "_s);
        });
    };
    QTRY_VERIFY_WITH_TIMEOUT(returned(), kLinkTimeoutMs);
    QTRY_COMPARE(rowTexts(rows(), 1).mid(1, 4), (QStringList{u"AMP2 "_s, u"STAGE"_s, u"127.0.0.3"_s, u"Online"_s}));
    QCOMPARE(fleet().table()->currentIndex().row(), 0);
    QCOMPARE(fleet().table()->currentIndex().siblingAtColumn(1).data().toString(), u"AMP1 "_s);
    QVERIFY(saveScreenshot(fleetWindows().events(), u"events.png"_s));
}

// Enter on a row selects its device in the tree.
void tst_FleetWindows::enterSelectsTheDevice()
{
    fleet().table()->setCurrentIndex(rows().index(2, 0));
    QCOMPARE(fleet().table()->currentIndex().siblingAtColumn(1).data().toString(), u"AMP3 "_s);
    QTest::keyClick(fleet().table(), Qt::Key_Return);
    TForm1 &main = m_windows->Form1();
    QCOMPARE(main.selectedDevice(), main.devices()[3].id);
}

void tst_FleetWindows::filterKeepsMatches()
{
    QTest::keyClicks(fleet().filterField(), u"foh"_s);
    QCOMPARE(rows().rowCount(), 1);
    QCOMPARE(rows().index(0, FleetModel::Name).data().toString(), u"AMP3 "_s);
    fleet().filterField()->clear();
    QCOMPARE(rows().rowCount(), 3);
}

// Clicks on headers (-1: the "Worst first" button) and the order of the
// names after them. AMP1 is warm, so worst first is AMP1, then AMP2 and AMP3
// by slot; ties in a sorted column go by severity, then slot.
void tst_FleetWindows::headerClicksSortReverseAndReturnToWorstFirst_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("worstFirst");
    const QStringList ascending{u"AMP1 "_s, u"AMP2 "_s, u"AMP3 "_s};
    const QStringList descending{u"AMP3 "_s, u"AMP2 "_s, u"AMP1 "_s};
    constexpr int name = FleetModel::Name;
    QTest::newRow("first click sorts") << QList<int>{name} << ascending << false;
    QTest::newRow("second reverses") << QList<int>{name, name} << descending << false;
    QTest::newRow("third: worst first") << QList<int>{name, name, name} << ascending << true;
    QTest::newRow("button: worst first") << QList<int>{name, name, -1} << ascending << true;
    QTest::newRow("after worst first, ascending") << QList<int>{name, -1, name, name} << descending << false;
    QTest::newRow("another column, ascending") << QList<int>{name, name, FleetModel::Group} << descending << false;
}

void tst_FleetWindows::headerClicksSortReverseAndReturnToWorstFirst()
{
    QFETCH(QList<int>, clicks);
    QFETCH(QStringList, names);
    QFETCH(bool, worstFirst);
    QHeaderView *header = fleet().table()->horizontalHeader();
    for (int column : clicks) {
        if (column < 0)
            fleet().worstFirstButton()->click();
        else
            header->sectionClicked(column);
    }
    QStringList shown;
    for (int row = 0; row < rows().rowCount(); ++row)
        shown.append(rows().index(row, FleetModel::Name).data().toString());
    QCOMPARE(shown, names);
    QCOMPARE(fleet().proxy().worstFirst(), worstFirst);
    QCOMPARE(header->isSortIndicatorShown(), !worstFirst);
}

void tst_FleetWindows::failedExportIsReported()
{
    QString message;
    EventsWindow &events = fleetWindows().events();
    events.setSaveDialog([](QWidget *) { return u"/nonexistent-dir/events.csv"_s; });
    events.setMessageFunction([&](QWidget *, const QString &text) { message = text; });
    events.exportButton()->click();
    QCOMPARE(message, u"Unable to write to /nonexistent-dir/events.csv"_s);
}

QTEST_MAIN(tst_FleetWindows)
#include "tst_fleetwindows.moc"

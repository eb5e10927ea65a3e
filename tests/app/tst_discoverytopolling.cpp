// The whole road from the scan to live polling, offscreen, with the real
// windows: simulated amplifiers on loopback addresses are found, land in the
// sorted tree and go online. Every scan runs over a loopback range set in the
// fields first; the default range is never scanned.

#include "ampsimulator.h"
#include "controllerstyle.h"
#include "controllerwindows.h"
#include "devicetreeview.h"
#include "mainwindow.h"
#include "scanwindow.h"
#include "treehelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using Fault = AmpSimulator::Fault;

namespace {

enum Amp { Stage1, Foh, Stage2, WrongLength };

QStringList listRows(const QListWidget &list)
{
    QStringList rows;
    for (int row = 0; row < list.count(); ++row)
        rows.append(list.item(row)->text());
    return rows;
}

bool receivedUnlock(const AmpSimulator &sim, int amp)
{
    return sim.requestLines(amp).contains("GET /lock_off HTTP/1.1");
}

} // namespace

class tst_DiscoveryToPolling final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void scanFindsAndPolls();
    void deviceFoundAgainKeepsItsSlot();

private:
    void scan(const QString &first, const QString &last);
    void saveScreenshot(QWidget &window, const QString &file);
    TForm1 &form() { return m_windows->Form1(); }
    TForm3 &scanWindow() { return m_windows->Form3(); }

    AmpSimulator m_sim;
    quint16 m_port = 0;
    std::unique_ptr<ControllerWindows> m_windows;
};

void tst_DiscoveryToPolling::initTestCase()
{
    applyControllerStyle(*qApp);
    // 127.0.0.4 is left out: nothing listens there.
    m_port = m_sim.start({{u"127.0.0.2"_s, "AMP1 ", "STAGE"},
                          {u"127.0.0.3"_s, "DESK ", "FOH  "},
                          {u"127.0.0.5"_s, "AMP2 ", "STAGE"},
                          {u"127.0.0.6"_s, "ODD  ", "STAGE"}});
    QVERIFY(m_port != 0);
    m_sim.setFault(WrongLength, Fault::OtherLength);
}

void tst_DiscoveryToPolling::init()
{
    for (int amp = 0; amp < m_sim.ampCount(); ++amp)
        m_sim.clearRequests(amp);
    m_windows = std::make_unique<ControllerWindows>(m_port);
    scanWindow().setMessageFunction([](QWidget *, const QString &text) { QFAIL(qPrintable(text)); });
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
}

void tst_DiscoveryToPolling::cleanup()
{
    m_windows.reset();
    m_sim.setIdentity(Stage1, "AMP1 ", "STAGE");
}

void tst_DiscoveryToPolling::scan(const QString &first, const QString &last)
{
    form().Button1()->click();
    QVERIFY(scanWindow().isVisible());
    scanWindow().Edit1()->setText(first);
    scanWindow().Edit2()->setText(last);
    scanWindow().Button1()->click();
    QVERIFY(!scanWindow().scanning());
}

void tst_DiscoveryToPolling::saveScreenshot(QWidget &window, const QString &file)
{
    const QString dir = qEnvironmentVariable("AMP_TEST_OUTPUT");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    QVERIFY(window.grab().save(dir + u'/' + file));
}

void tst_DiscoveryToPolling::scanFindsAndPolls()
{
    scan(u"127.0.0.2"_s, u"127.0.0.6"_s);

    QCOMPARE(listRows(*scanWindow().ListBox1()),
             (QStringList{u"127.0.0.2"_s, u"Found"_s, u""_s,
                          u"127.0.0.3"_s, u"Found"_s, u""_s,
                          u"127.0.0.4"_s, u"Not found"_s, u""_s,
                          u"127.0.0.5"_s, u"Found"_s, u""_s,
                          u"127.0.0.6"_s, u"Not found"_s, u""_s}));

    // Slots in the order found, the tree sorted.
    const tDevices &devices = form().devices();
    QCOMPARE(devices.count(), 3);
    QCOMPARE(devices[1].address, u"127.0.0.2"_s);
    QCOMPARE(devices[2].address, u"127.0.0.3"_s);
    QCOMPARE(devices[3].address, u"127.0.0.5"_s);
    QCOMPARE(treeLines(*form().TreeView1()),
             (QStringList{u"FOH  "_s, u"  DESK "_s, u"STAGE"_s, u"  AMP1 "_s, u"  AMP2 "_s}));

    for (const QString &node : {u"DESK "_s, u"AMP1 "_s, u"AMP2 "_s})
        QTRY_COMPARE(DeviceTreeView::stateImage(findNode(*form().TreeView1(), node)), 3);

    QVERIFY(receivedUnlock(m_sim, Stage1));
    QVERIFY(receivedUnlock(m_sim, Foh));
    QVERIFY(receivedUnlock(m_sim, Stage2));
    QVERIFY(!receivedUnlock(m_sim, WrongLength));

    form().CheckBox1()->click();
    pressNode(*form().TreeView1(), findNode(*form().TreeView1(), u"AMP1  [127.0.0.2]"_s), Qt::LeftButton);
    QTRY_VERIFY(form().GroupBox1()->isVisible());
    saveScreenshot(form(), u"mainwindow.png"_s);
    saveScreenshot(scanWindow(), u"scanwindow-after-scan.png"_s);
}

void tst_DiscoveryToPolling::deviceFoundAgainKeepsItsSlot()
{
    scan(u"127.0.0.2"_s, u"127.0.0.3"_s);
    QCOMPARE(form().devices().count(), 2);
    QTRY_COMPARE(form().devices()[1].linkState(), 3);
    m_sim.clearRequests(Stage1);

    m_sim.setIdentity(Stage1, "AMP9 ", "FOH  ");
    scan(u"127.0.0.2"_s, u"127.0.0.2"_s);

    QCOMPARE(form().devices().count(), 2);
    QCOMPARE(form().devices()[1].address, u"127.0.0.2"_s);
    QTRY_VERIFY(receivedUnlock(m_sim, Stage1));
    // A block fetched before the change may still land after the scan and
    // bring the old name back for a moment; the next one settles it.
    QTRY_COMPARE(form().devices()[1].name, u"AMP9 "_s);
    QTRY_COMPARE(treeLines(*form().TreeView1()),
                 (QStringList{u"FOH  "_s, u"  AMP9 "_s, u"  DESK "_s, u"STAGE"_s}));
    QCOMPARE(form().devices()[1].group, u"FOH  "_s);
}

QTEST_MAIN(tst_DiscoveryToPolling)
#include "tst_discoverytopolling.moc"

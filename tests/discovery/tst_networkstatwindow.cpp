// The network statistics window over real poll workers: a simulated
// amplifier that answers and an address where nothing listens, both on
// loopback. Ticks are run by hand with the window's own timer disabled,
// except where the timer itself is under test.

#include "ampsimulator.h"
#include "commands.h"
#include "devicetable.h"
#include "fixedpitchfaces.h"
#include "networkstatwindow.h"

#include <QFontInfo>
#include <QListWidget>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kAnswering = u"127.0.0.2"_s;
const QString kAnsweringPastSlot64 = u"127.0.0.3"_s;
const QString kSilent = u"127.0.0.99"_s;  // nothing listens here on the simulator's port

QStringList rows(const TForm6 &form)
{
    QStringList texts;
    for (int row = 0; row < form.ListBox1()->count(); ++row)
        texts.append(form.ListBox1()->item(row)->text());
    return texts;
}

} // namespace

class tst_NetworkStatWindow final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void ticksFromCreationWhileHidden();
    void rowsChangeInPlaceAndAtTheEnd();
    void countsAndRatesOfEverySlot();
    void rowsInTheScanWindowsFixedPitchFont();

private:
    // One attempt per call: a new job or the retry of a failed one.
    void attempt(int slot, int times);
    void tick(int times = 1);

    AmpSimulator m_sim;
    std::unique_ptr<tDevices> m_devices;
    std::unique_ptr<TForm6> m_form;
};

void tst_NetworkStatWindow::initTestCase()
{
    QVERIFY(m_sim.start({{kAnswering, "AMP1 ", "STAGE"}, {kAnsweringPastSlot64, "AMP70", "STAGE"}}) != 0);
}

void tst_NetworkStatWindow::init()
{
    m_devices = std::make_unique<tDevices>(m_sim.port());
    m_form = std::make_unique<TForm6>(*m_devices);
}

void tst_NetworkStatWindow::cleanup()
{
    m_form.reset();
    m_devices.reset();
}

void tst_NetworkStatWindow::attempt(int slot, int times)
{
    for (int i = 0; i < times; ++i) {
        m_devices->queueRequest(slot, CommandPath::StatusFetch, {});
        QTRY_VERIFY(!(*m_devices)[slot].jobPending());
    }
}

void tst_NetworkStatWindow::tick(int times)
{
    for (int i = 0; i < times; ++i)
        m_form->ThreadedTimer1Timer();
}

void tst_NetworkStatWindow::ticksFromCreationWhileHidden()
{
    m_devices->appendDevice(u"AMP1 "_s, u"STAGE"_s, kAnswering);
    QVERIFY(!m_form->isVisible());
    QTRY_COMPARE(rows(*m_form), QStringList{u"1:   127.0.0.2   0   0   0   PPS: 0"_s});
}

void tst_NetworkStatWindow::rowsChangeInPlaceAndAtTheEnd()
{
    m_form->ThreadedTimer1()->setEnabled(false);
    tick();
    QCOMPARE(m_form->ListBox1()->count(), 0);

    m_devices->appendDevice(u"AMP1 "_s, u"STAGE"_s, kAnswering);
    m_devices->appendDevice(u"AMP2 "_s, u"STAGE"_s, kSilent);
    tick();
    QListWidgetItem *first = m_form->ListBox1()->item(0);
    m_form->ListBox1()->setCurrentRow(1);

    m_devices->appendDevice(u"AMP3 "_s, u"STAGE"_s, kAnsweringPastSlot64);
    attempt(1, 1);
    tick();
    QCOMPARE(rows(*m_form), (QStringList{u"1:   127.0.0.2   1   1   0   PPS: 0"_s,
                                         u"2:   127.0.0.99   0   0   0   PPS: 0"_s,
                                         u"3:   127.0.0.3   0   0   0   PPS: 0"_s}));
    QCOMPARE(m_form->ListBox1()->item(0), first);
    QCOMPARE(m_form->ListBox1()->currentRow(), 1);

    m_devices->deleteDevice(1);
    m_devices->deleteDevice(2);
    tick();
    QCOMPARE(rows(*m_form), QStringList{u"1:   127.0.0.99   0   0   0   PPS: 0"_s});
    QCOMPARE(m_form->ListBox1()->item(0), first);
}

// Slot 70 lies beyond the first 64 slots. The silent device's attempts all
// fail; two of them, so that its job is not dropped (which would queue the
// unlock command and start an attempt of its own).
void tst_NetworkStatWindow::countsAndRatesOfEverySlot()
{
    m_form->ThreadedTimer1()->setEnabled(false);
    m_devices->appendDevice(u"AMP1 "_s, u"STAGE"_s, kAnswering);
    m_devices->appendDevice(u"AMP2 "_s, u"STAGE"_s, kSilent);
    for (int slot = 3; slot < 70; ++slot)
        m_devices->appendDevice(u"IDLE "_s, u"STAGE"_s, u"127.0.1."_s + QString::number(slot));
    m_devices->appendDevice(u"AMP70"_s, u"STAGE"_s, kAnsweringPastSlot64);
    const auto row = [this](int slot) { return m_form->ListBox1()->item(slot - 1)->text(); };

    attempt(1, 3);
    attempt(2, 1);
    attempt(70, 4);
    tick();
    QCOMPARE(m_form->ListBox1()->count(), 70);
    QCOMPARE(row(1), u"1:   127.0.0.2   3   3   0   PPS: 3"_s);
    QCOMPARE(row(2), u"2:   127.0.0.99   1   0   1   PPS: 1"_s);
    QCOMPARE(row(3), u"3:   127.0.1.3   0   0   0   PPS: 0"_s);
    QCOMPARE(row(70), u"70:   127.0.0.3   4   4   0   PPS: 4"_s);

    // The rate changes once a second, the counts on every tick.
    attempt(1, 2);
    attempt(2, 1);
    attempt(70, 1);
    tick(3);
    QCOMPARE(row(1), u"1:   127.0.0.2   5   5   0   PPS: 3"_s);
    QCOMPARE(row(2), u"2:   127.0.0.99   2   0   2   PPS: 1"_s);
    QCOMPARE(row(70), u"70:   127.0.0.3   5   5   0   PPS: 4"_s);
    tick();
    QCOMPARE(row(1), u"1:   127.0.0.2   5   5   0   PPS: 2"_s);
    QCOMPARE(row(2), u"2:   127.0.0.99   2   0   2   PPS: 1"_s);
    QCOMPARE(row(70), u"70:   127.0.0.3   5   5   0   PPS: 1"_s);
}

// The columns line up, as they do in the scan window's address fields,
// whenever the machine has a fixed-pitch face.
void tst_NetworkStatWindow::rowsInTheScanWindowsFixedPitchFont()
{
    if (!anyFixedPitchFaceInstalled())
        QSKIP("no font face on this machine resolves to fixed pitch");
    QVERIFY(QFontInfo(m_form->ListBox1()->font()).fixedPitch());
}

QTEST_MAIN(tst_NetworkStatWindow)
#include "tst_networkstatwindow.moc"

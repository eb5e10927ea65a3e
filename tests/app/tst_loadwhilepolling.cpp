// Loading a project while 255 amplifiers are being polled: the old workers are
// stopped but may still be in the middle of an exchange, and the new devices
// take the same slots. Every result stored after the load must come from the
// amplifier that the slot now holds. All amplifiers are simulated on loopback
// addresses.

#include "ampsimulator.h"
#include "controllerwindows.h"
#include "mainwindow.h"
#include "projectfile.h"
#include "projectfileactions.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <numeric>

using namespace Qt::StringLiterals;
using Fault = AmpSimulator::Fault;

namespace {

constexpr int kAmps = 255;
constexpr int kRefusing = 10;  // the first amps refuse after the first load
constexpr int kSlow = 40;      // the next ones send their blocks slowly throughout
constexpr int kTimeoutMs = 120000;

QString address(int amp)
{
    return u"127.0.1."_s + QString::number(amp + 1);
}

QByteArray ampName(int amp)
{
    return u"A%1 "_s.arg(amp + 1, 3, 10, QChar(u'0')).toLatin1();
}

// The amp whose simulator serves this address.
int ampOf(const QString &text)
{
    return text.section(u'.', 3).toInt() - 1;
}

// Slots in the order given, all amps in one group.
QByteArray projectBytes(const QList<int> &amps)
{
    Project project;
    for (const int amp : amps)
        project.devices.append({QString::fromLatin1(ampName(amp)), u"POLL"_s, address(amp)});
    return writeProject(project);
}

} // namespace

class tst_LoadWhilePolling final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void noOldResultReachesANewDevice();

private:
    void open(const QList<int> &amps);
    TForm1 &form() { return m_windows->Form1(); }

    AmpSimulator m_sim;
    std::unique_ptr<ControllerWindows> m_windows;
    QTemporaryDir m_dir;
    QString m_openPath;
    QStringList m_messages;
    QStringList m_foreignResults;
};

void tst_LoadWhilePolling::initTestCase()
{
    QList<AmpSimulator::Amp> amps;
    for (int amp = 0; amp < kAmps; ++amp)
        amps.append({address(amp), ampName(amp), "POLL "});
    const quint16 port = m_sim.start(amps);
    QVERIFY(port != 0);
    QVERIFY(m_dir.isValid());

    m_windows = std::make_unique<ControllerWindows>(port);
    ProjectFileActions &actions = *form().projectFile();
    actions.setOpenDialog([this](QWidget *, const QString &) { return m_openPath; });
    actions.setMessageFunction([this](QWidget *, QMessageBox::Icon, const QString &text) {
        m_messages.append(text);
    });
    // Checked as each block is stored: its name is that of the slot's own amp.
    const tDevices &devices = form().devices();
    connect(&devices, &tDevices::statusBlockStored, this, [this, &devices](int slot) {
        const tDevice &device = devices[slot];
        const QByteArray name(reinterpret_cast<const char *>(device.status.data()) + StatusField::Name, 5);
        if (name != ampName(ampOf(device.address)))
            m_foreignResults.append(u"slot %1 (%2) got %3"_s.arg(slot).arg(device.address,
                                                                           QString::fromLatin1(name)));
    });
}

void tst_LoadWhilePolling::open(const QList<int> &amps)
{
    m_openPath = m_dir.filePath(u"project%1.amp"_s.arg(amps.first()));
    QFile file(m_openPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(projectBytes(amps));
    file.close();
    form().Open1()->trigger();
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(u'\n')));
}

void tst_LoadWhilePolling::noOldResultReachesANewDevice()
{
    // Slow amps keep their old workers in the middle of an exchange when the
    // second project is loaded, so that their results come in afterwards.
    for (int amp = kRefusing; amp < kRefusing + kSlow; ++amp) {
        m_sim.setFault(amp, Fault::SlowBody);
        m_sim.setSlowBody(amp, 400, std::chrono::milliseconds(10));
    }
    QList<int> inOrder(kAmps);
    std::iota(inOrder.begin(), inOrder.end(), 0);
    open(inOrder);
    const tDevices &devices = form().devices();
    QCOMPARE(devices.count(), kAmps);
    for (int slot = 1; slot <= kAmps; ++slot)
        QTRY_COMPARE_WITH_TIMEOUT(devices[slot].linkState(), 3, kTimeoutMs);

    // The same amps in reverse order: slot k now holds the amp that slot
    // 256 - k held, while the old workers of every slot may still deliver.
    for (int amp = 0; amp < kRefusing; ++amp)
        m_sim.setFault(amp, Fault::Refuse);
    QList<int> reversed = inOrder;
    std::reverse(reversed.begin(), reversed.end());
    for (int amp = 0; amp < kAmps; ++amp)
        m_sim.clearRequests(amp);
    open(reversed);
    QCOMPARE(devices.count(), kAmps);

    for (int slot = 1; slot <= kAmps; ++slot) {
        const int amp = kAmps - slot;
        QCOMPARE(devices[slot].address, address(amp));
        const int expectedState = amp < kRefusing ? 1 : 3;
        QTRY_COMPARE_WITH_TIMEOUT(devices[slot].linkState(), expectedState, kTimeoutMs);
    }
    QTRY_COMPARE_WITH_TIMEOUT(devices.retiredWorkerCount(), 0, kTimeoutMs);

    QVERIFY2(m_foreignResults.isEmpty(), qPrintable(m_foreignResults.join(u'\n')));
    for (int slot = 1; slot <= kAmps; ++slot) {
        const tDevice &device = devices[slot];
        const int amp = ampOf(device.address);
        QCOMPARE(device.name.toLatin1(), ampName(amp));
        if (amp < kRefusing) {
            // Nothing ever answered this device: no block, no success.
            QCOMPARE(device.successCount(), 0);
            QVERIFY(std::all_of(device.status.cbegin(), device.status.cend(),
                                [](quint8 byte) { return byte == 0; }));
        } else {
            // Counted by the new worker alone: never more successes than the
            // amp received requests since just before the load.
            const int successes = device.successCount();
            QVERIFY(successes >= 1);
            QVERIFY(successes <= m_sim.requestCount(amp));
        }
    }
}

QTEST_MAIN(tst_LoadWhilePolling)
#include "tst_loadwhilepolling.moc"

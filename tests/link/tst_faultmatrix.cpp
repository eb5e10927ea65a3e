// Sixteen simulated amplifiers, each misbehaving in its own way, polled
// together by the real tick and workers: every device ends in the link state
// and counters the rules predict, its block is stored only when it is a whole
// status block, the healthy devices beside them keep polling without a single
// failure, and what the faulty ones send does not pile up in memory.

#include "ampsimulator.h"
#include "devicetable.h"
#include "pollingtick.h"
#include "statusblock.h"

#include <QFile>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using Fault = AmpSimulator::Fault;

namespace {

// Every device gets the same group settings, as the devices of one group do.
class OneGroupsSettings final : public DeviceSettingsSource
{
public:
    const Commands::SettingsDigits *settingsOf(int) override { return &m_digits; }

private:
    Commands::SettingsDigits m_digits = Commands::settingsDigits({100, 100, 100, 100, 160, 160});
};

struct Row
{
    Fault fault;
    bool online;  // predicted link state: online (3) or offline (1)
    bool stored;  // a whole status block reaches the record
};

// Amp n listens on 127.0.0.(100 + n).
const Row kRows[] = {
    {Fault::None, true, true},
    {Fault::Refuse, false, false},
    {Fault::Stall, false, false},
    {Fault::ShortBody, false, false},
    {Fault::LineWithoutDigits, false, false},
    {Fault::TextBetweenNumbers, false, false},
    {Fault::HugeLength, false, false},
    {Fault::CloseAfterAnswer, true, true},
    {Fault::SlowBody, true, true},
    {Fault::OtherLength, true, false},
    {Fault::Garbage, false, false},
    {Fault::SilentAfterConnect, false, false},
    {Fault::UnaskedThenClose, true, true},
    {Fault::Drip, true, true},
    {Fault::None, true, true},
    {Fault::None, true, true},
};
constexpr int kAmps = int(std::size(kRows));

// Exchanges each healthy device completes while the slowest faulty one
// settles; far below what any machine manages in that time.
constexpr int kHealthyExchanges = 20;

qint64 residentKiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

QByteArray storedName(const tDevice &device)
{
    return QByteArray(reinterpret_cast<const char *>(device.status.data() + StatusField::Name),
                      StatusField::IdentityWidth);
}

bool blockIsEmpty(const tDevice &device)
{
    return std::all_of(device.status.cbegin(), device.status.cend(), [](quint8 b) { return b == 0; });
}

QByteArray ampName(int amp)
{
    return "M" + QByteArray::number(amp).rightJustified(2, '0') + "  ";
}

} // namespace

class tst_FaultMatrix final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyDeviceSettlesAsPredicted();
};

void tst_FaultMatrix::everyDeviceSettlesAsPredicted()
{
    AmpSimulator sim;
    QList<AmpSimulator::Amp> amps;
    for (int amp = 0; amp < kAmps; ++amp)
        amps.append({u"127.0.0.%1"_s.arg(100 + amp), ampName(amp), "RACK "});
    const quint16 port = sim.start(amps);
    QVERIFY(port != 0);
    for (int amp = 0; amp < kAmps; ++amp)
        sim.setFault(amp, kRows[amp].fault);

    tDevices devices(port);
    for (int amp = 0; amp < kAmps; ++amp)
        devices.appendDevice(QString::fromLatin1(ampName(amp)), u"RACK "_s, amps[amp].address);
    OneGroupsSettings settings;
    PollingTick tick(devices, settings);
    [[maybe_unused]] const qint64 residentBefore = residentKiB();
    tick.start();

    const auto settled = [&](int amp) {
        const tDevice &device = devices[amp + 1];
        const Row &row = kRows[amp];
        if (row.online)
            return device.linkState() == ThSocket::Online
                   && (!row.stored || storedName(device) == ampName(amp));
        return device.linkState() == ThSocket::Offline;
    };
    const auto allSettled = [&] {
        for (int amp = 0; amp < kAmps; ++amp) {
            if (!settled(amp))
                return false;
        }
        return true;
    };
    // Devices that accept and never answer take three attempts of five line
    // time-outs each, about six seconds.
    QTRY_VERIFY_WITH_TIMEOUT(allSettled(), 60000);

    for (int amp = 0; amp < kAmps; ++amp) {
        const tDevice &device = devices[amp + 1];
        const Row &row = kRows[amp];
        const QByteArray context = QByteArray::number(amp) + ": " + storedName(device).toHex();
        if (row.online) {
            QVERIFY2(device.successCount() > 0, context.constData());
            QVERIFY2(device.failureCount() < ThSocket::kAttemptsPerJob, context.constData());
        } else {
            QVERIFY2(device.successCount() == 0, context.constData());
            QVERIFY2(device.requestCount() >= ThSocket::kAttemptsPerJob, context.constData());
        }
        if (!row.stored)
            QVERIFY2(blockIsEmpty(device), context.constData());
        if (row.fault == Fault::None) {
            QVERIFY2(device.failureCount() == 0, context.constData());
            QVERIFY2(device.successCount() >= kHealthyExchanges, context.constData());
        }
    }

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Megabytes of filler, garbage and unasked bytes have gone through; the
    // workers keep none of them (the sanitizers' own bookkeeping would grow).
    const qint64 grownKiB = residentKiB() - residentBefore;
    qInfo("resident memory grew by %lld KiB; healthy device 1 made %d exchanges", grownKiB,
          devices[1].successCount());
    QVERIFY2(grownKiB < 64 * 1024, QByteArray::number(grownKiB).constData());
#endif
}

QTEST_GUILESS_MAIN(tst_FaultMatrix)
#include "tst_faultmatrix.moc"

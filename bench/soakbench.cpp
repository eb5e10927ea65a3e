// Soak: 255 simulated amplifiers polled for a long time while devices are
// deleted, address ranges rescanned and the table cleared and refilled at
// random, as an operator and project loads would. Prints resident memory,
// threads, file descriptors and sockets of the process (the in-process
// simulator included, its request log emptied every second) over the run, and checks that every stored status
// block came from the device at that record's address.
//
//   soakbench [--seconds S] [--sequence N]
//
// Exits with 1 when a thread, descriptor or socket outlives the run, or a
// block reached a wrong record.

#include "addorupdatedevice.h"
#include "addressscan.h"
#include "ampsimulator.h"
#include "devicetable.h"
#include "groupsettings.h"
#include "grouptable.h"
#include "ipaddress.h"
#include "pollingtick.h"
#include "statusblock.h"
#include "statusfetcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr int kAmps = 255;
constexpr quint32 kFirstAddress = 0x7F000301;  // 127.0.3.1

QString address(int amp)
{
    return addressText(kFirstAddress + quint32(amp));
}

QByteArray ampName(int amp)
{
    return "S" + QByteArray::number(amp).rightJustified(3, '0') + " ";
}

struct Sample
{
    qint64 residentKiB = 0;
    qsizetype threads = 0;
    qsizetype descriptors = 0;
    qsizetype sockets = 0;
};

Sample sample()
{
    Sample s;
    QFile status(u"/proc/self/status"_s);
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                s.residentKiB = line.mid(6).trimmed().split(' ').first().toLongLong();
        }
    }
    s.threads = QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    const QFileInfoList fds = QDir(u"/proc/self/fd"_s).entryInfoList(QDir::System | QDir::NoDotAndDotDot);
    s.descriptors = fds.size();
    for (const QFileInfo &fd : fds)
        s.sockets += fd.symLinkTarget().contains(u"socket:"_s) ? 1 : 0;
    return s;
}

void print(const char *when, double seconds, const Sample &s, int devices)
{
    std::printf("%-8s %7.1f s  %7lld KiB  %4lld threads  %4lld fds  %4lld sockets  %3d devices\n", when,
                seconds, static_cast<long long>(s.residentKiB), static_cast<long long>(s.threads),
                static_cast<long long>(s.descriptors), static_cast<long long>(s.sockets), devices);
    std::fflush(stdout);
}

class Soak final
{
public:
    Soak(quint16 port, quint32 sequence)
        : m_devices(port)
        , m_fetcher(port)
        , m_tickSettings(m_devices, m_groups)
        , m_tick(m_devices, m_tickSettings)
        , m_random(sequence)
    {
    }

    void fill()
    {
        for (int amp = 0; amp < kAmps; ++amp)
            add(QString::fromLatin1(ampName(amp)), u"SOAK"_s, address(amp));
    }

    void start() { m_tick.start(); }

    // One operation chosen at random.
    void disturb()
    {
        const quint32 choice = m_random.bounded(10u);
        if (choice < 5 && m_devices.count() > 0) {
            m_devices.deleteDevice(int(m_random.bounded(quint32(m_devices.count()))) + 1);
            ++m_deletes;
        } else if (choice < 9) {
            const quint32 first = kFirstAddress + m_random.bounded(quint32(kAmps));
            const quint32 last = qMin(first + m_random.bounded(8u), kFirstAddress + kAmps - 1);
            rescan(first, last);
        } else {
            m_devices.clearDevices();
            fill();
            ++m_refills;
        }
    }

    void rescan(quint32 first, quint32 last)
    {
        ScanHooks hooks;
        hooks.addOrUpdateDevice = [this](const QString &name, const QString &group, const QString &at) {
            return add(name, group, at);
        };
        hooks.afterAddress = [] { QCoreApplication::processEvents(); };
        runScan(first, last, m_fetcher, hooks);
        ++m_scans;
    }

    // Records whose stored block names another amplifier than the one at
    // the record's address.
    int wrongRecords() const
    {
        int wrong = 0;
        for (int slot = 1; slot <= m_devices.count(); ++slot) {
            const tDevice &device = m_devices[slot];
            const std::optional<quint32> number = addressNumber(device.address);
            const auto *name = reinterpret_cast<const char *>(device.status.data() + StatusField::Name);
            const bool empty = std::all_of(device.status.cbegin(), device.status.cend(),
                                           [](quint8 b) { return b == 0; });
            if (!empty && (!number || QByteArrayView(name, 5) != ampName(int(*number - kFirstAddress))))
                ++wrong;
        }
        return wrong;
    }

    bool allOnline() const
    {
        for (int slot = 1; slot <= m_devices.count(); ++slot) {
            if (m_devices[slot].linkState() != ThSocket::Online)
                return false;
        }
        return m_devices.count() == kAmps && m_devices.retiredWorkerCount() == 0;
    }

    int count() const { return m_devices.count(); }
    void report() const
    {
        std::printf("operations: %d deletes, %d rescans, %d clear-and-refills\n", m_deletes, m_scans,
                    m_refills);
    }

private:
    bool add(const QString &name, const QString &group, const QString &at)
    {
        return addOrUpdateDevice(m_devices, m_groups, name, group, at) != 0;
    }

    tDevices m_devices;
    tGroup m_groups;
    StatusFetcher m_fetcher;
    GroupSettingsOfDevices m_tickSettings;
    PollingTick m_tick;
    QRandomGenerator m_random;
    int m_deletes = 0;
    int m_scans = 0;
    int m_refills = 0;
};

// Runs the event loop until the condition holds, looking every 50 ms, or
// until the limit passes. Returns whether the condition holds.
bool waitFor(const std::function<bool()> &condition, int limitMs)
{
    const QDeadlineTimer limit(limitMs);
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (condition() || limit.hasExpired())
            loop.quit();
    });
    look.start(50);
    if (!condition())
        loop.exec();
    return condition();
}

// The process's figures once its sockets have come to rest: the simulator
// in this process closes its end of a connection the controller dropped a
// moment later, so one look can count a socket that is on its way out.
// Looks every 100 ms until two looks agree, for at most five seconds.
Sample settledSample()
{
    Sample last = sample();
    const QDeadlineTimer limit(5000);
    while (!limit.hasExpired()) {
        waitFor([] { return false; }, 100);
        const Sample now = sample();
        if (now.threads == last.threads && now.descriptors == last.descriptors && now.sockets == last.sockets)
            return now;
        last = now;
    }
    return last;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Polls 255 simulated amplifiers while the tables change"_s);
    parser.addHelpOption();
    parser.addOption({u"seconds"_s, u"Length of the disturbed run (default 600)."_s, u"S"_s, u"600"_s});
    parser.addOption({u"sequence"_s, u"Number that picks the sequence of random operations (default 1)."_s, u"N"_s, u"1"_s});
    parser.process(app);
    const int seconds = qMax(1, parser.value(u"seconds"_s).toInt());

    AmpSimulator sim;
    QList<AmpSimulator::Amp> amps;
    for (int amp = 0; amp < kAmps; ++amp)
        amps.append({address(amp), ampName(amp), "SOAK "});
    const quint16 port = sim.start(amps);
    if (port == 0)
        return 2;

    Soak soak(port, parser.value(u"sequence"_s).toUInt());
    QElapsedTimer clock;
    clock.start();
    soak.fill();
    soak.start();
    if (!waitFor([&] { return soak.allOnline(); }, 60000))
        std::printf("not every device came online\n");
    const Sample before = settledSample();
    print("start", double(clock.elapsed()) / 1000, before, soak.count());

    qint64 peakKiB = before.residentKiB;
    int wrong = 0;
    QTimer disturb;
    QObject::connect(&disturb, &QTimer::timeout, [&] { soak.disturb(); });
    disturb.start(500);
    QTimer observe;
    // The simulator records every request it answers; forget them every
    // second, so that the figures are the controller's.
    QTimer forget;
    QObject::connect(&forget, &QTimer::timeout, [&] {
        for (int amp = 0; amp < kAmps; ++amp)
            sim.clearRequests(amp);
    });
    forget.start(1000);
    QObject::connect(&observe, &QTimer::timeout, [&] {
        const Sample now = sample();
        peakKiB = qMax(peakKiB, now.residentKiB);
        wrong += soak.wrongRecords();
        print("running", double(clock.elapsed()) / 1000, now, soak.count());
    });
    observe.start(qMax(1000, seconds * 100));
    waitFor([] { return false; }, seconds * 1000);
    disturb.stop();
    observe.stop();

    // Back to the full table, every device online and every stopped worker gone.
    soak.fill();
    const bool settled = waitFor([&] { return soak.allOnline(); }, 60000);
    const Sample after = settledSample();
    wrong += soak.wrongRecords();
    print("end", double(clock.elapsed()) / 1000, after, soak.count());
    soak.report();
    std::printf("resident: start %lld KiB, peak %lld KiB, end %lld KiB\n",
                static_cast<long long>(before.residentKiB), static_cast<long long>(peakKiB),
                static_cast<long long>(after.residentKiB));
    std::printf("blocks in a wrong record: %d\n", wrong);

    const bool leaked = after.threads > before.threads || after.descriptors > before.descriptors
                        || after.sockets > before.sockets;
    if (!settled || leaked || wrong > 0) {
        std::printf("FAILED:%s%s%s\n", settled ? "" : " did not settle", leaked ? " leaked" : "",
                    wrong > 0 ? " wrong records" : "");
        return 1;
    }
    return 0;
}

// Polling throughput: the real polling tick, queue, dispatch and workers
// against simulated amplifiers served by a separate ampsim process on
// loopback, beside the simplest blocking client as the floor.
//
//   pollbench [--seconds S] [--sizes 1,16,255] [--port P]
//
// The simulator runs in its own process so that the CPU time measured here
// is the controller's alone.

#include "commands.h"
#include "devicetable.h"
#include "exchange.h"
#include "grouptable.h"
#include "pollingtick.h"
#include "statusblock.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long residentKiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    const auto at = std::size_t(fraction * double(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(at), values.end());
    return values[at];
}

QString ampAddress(int index)  // 127.0.1.1 and up
{
    return u"127.0.%1.%2"_s.arg(1 + index / 255).arg(1 + index % 255);
}

// An ampsim process serving `count` amplifiers; ready once it has printed
// its address list.
class SimulatorProcess final
{
public:
    SimulatorProcess(int count, quint16 port)
    {
        m_process.setProgram(QStringLiteral(AMPSIM_PATH));
        m_process.setArguments({u"--count"_s, QString::number(count), u"--first"_s, ampAddress(0),
                                u"--port"_s, QString::number(port)});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        QByteArray output;
        while (!output.contains("scan") && m_process.waitForReadyRead(10000))
            output += m_process.readAllStandardOutput();
        m_ready = output.contains("scan");
    }
    ~SimulatorProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    bool ready() const { return m_ready; }

private:
    QProcess m_process;
    bool m_ready = false;
};

struct PollFigures
{
    qint64 exchanges = 0;
    int failures = 0;
    double cpu = 0;
    double tickMedianLateUs = 0, tickP99LateUs = 0;
    double workMedianUs = 0, workP99Us = 0;
    long rssKiB = 0;
};

PollFigures runPolling(int count, quint16 port, int seconds)
{
    tDevices devices(port);
    tGroup groups;
    groups.addGroup(u"STAGE"_s);
    groups.addGroup(u"FOH"_s);
    for (int i = 0; i < count; ++i)
        devices.appendDevice(u"AMP  "_s, i % 2 ? u"FOH  "_s : u"STAGE"_s, ampAddress(i));
    PollingTick tick(devices, groups);

    // The tick's own handler, driven by a timer set up exactly like its own,
    // so that each call can be timed.
    std::vector<double> lateUs, workUs;
    QElapsedTimer clock;
    qint64 last = -1;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(PollingTick::kIntervalMs);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 start = clock.nsecsElapsed();
        if (last >= 0)
            lateUs.push_back(double(start - last) / 1e3 - 1000.0 * PollingTick::kIntervalMs);
        last = start;
        tick.Timer3Timer();
        workUs.push_back(double(clock.nsecsElapsed() - start) / 1e3);
    });

    // One second to connect and settle, then the measured run.
    clock.start();
    timer.start();
    QTimer::singleShot(1000, [] { QCoreApplication::exit(); });
    QCoreApplication::exec();
    lateUs.clear();
    workUs.clear();
    last = -1;
    qint64 before = 0;
    for (int slot = 1; slot <= count; ++slot)
        before += devices[slot].successCount();
    const double cpuBefore = cpuSeconds();

    QTimer::singleShot(seconds * 1000, [] { QCoreApplication::exit(); });
    QCoreApplication::exec();
    timer.stop();

    PollFigures figures;
    figures.cpu = cpuSeconds() - cpuBefore;
    for (int slot = 1; slot <= count; ++slot) {
        figures.exchanges += devices[slot].successCount();
        figures.failures += devices[slot].failureCount();
    }
    figures.exchanges -= before;
    figures.tickMedianLateUs = percentile(lateUs, 0.5);
    figures.tickP99LateUs = percentile(lateUs, 0.99);
    figures.workMedianUs = percentile(workUs, 0.5);
    figures.workP99Us = percentile(workUs, 0.99);
    figures.rssKiB = residentKiB();
    return figures;
}

// The floor: one connection, send, read the framed answer, repeat.
std::pair<qint64, double> runBlockingClient(quint16 port, int seconds)
{
    QTcpSocket socket;
    socket.connectToHost(ampAddress(0), port);
    if (!socket.waitForConnected(1000))
        return {0, 0};
    const QByteArray request = requestText(CommandPath::StatusFetch, {});
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    qint64 exchanges = 0;
    QByteArray leftover;
    while (clock.elapsed() < seconds * 1000) {
        socket.write(request);
        ResponseReader reader(kStatusBlockSize);
        reader.feed(leftover);
        while (!reader.isDone() && socket.waitForReadyRead(1000)) {
            const QByteArray bytes = socket.readAll();
            leftover = bytes.sliced(reader.feed(bytes));
        }
        if (!reader.succeeded())
            break;
        ++exchanges;
    }
    return {exchanges, cpuSeconds() - cpuBefore};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Polling throughput against simulated amplifiers"_s);
    parser.addHelpOption();
    const QCommandLineOption secondsOption(u"seconds"_s, u"Measured seconds per size."_s, u"S"_s, u"5"_s);
    const QCommandLineOption sizesOption(u"sizes"_s, u"Device counts."_s, u"LIST"_s, u"1,16,255"_s);
    const QCommandLineOption portOption(u"port"_s, u"Simulator port."_s, u"P"_s, u"18080"_s);
    parser.addOptions({secondsOption, sizesOption, portOption});
    parser.process(app);
    const int seconds = qMax(1, parser.value(secondsOption).toInt());
    const auto port = quint16(parser.value(portOption).toUInt());

    std::printf("%-8s %12s %12s %10s %10s %10s %10s %10s %9s\n", "devices", "exch/s", "per device",
                "cpu us/ex", "late p50", "late p99", "work p50", "work p99", "RSS MiB");
    for (const QString &size : parser.value(sizesOption).split(u',')) {
        const int count = qBound(1, size.toInt(), tDevices::kCapacity);
        SimulatorProcess simulator(count, port);
        if (!simulator.ready()) {
            std::fprintf(stderr, "ampsim did not start\n");
            return 1;
        }
        const PollFigures f = runPolling(count, port, seconds);
        const double rate = double(f.exchanges) / seconds;
        std::printf("%-8d %12.0f %12.1f %10.1f %9.0fus %9.0fus %9.1fus %9.1fus %9.1f%s\n", count,
                    rate, rate / count, f.exchanges ? f.cpu * 1e6 / double(f.exchanges) : 0.0,
                    f.tickMedianLateUs, f.tickP99LateUs, f.workMedianUs, f.workP99Us,
                    double(f.rssKiB) / 1024.0, f.failures ? "  (failures seen)" : "");
        std::fflush(stdout);
        if (count == 1) {
            const auto [exchanges, cpu] = runBlockingClient(port, seconds);
            std::printf("%-8s %12.0f %12.1f %10.1f   (blocking client, one connection)\n", "floor",
                        double(exchanges) / seconds, double(exchanges) / seconds,
                        exchanges ? cpu * 1e6 / double(exchanges) : 0.0);
        }
    }
    return 0;
}

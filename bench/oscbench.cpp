// OSC show control: how long a command takes from the OSC packet to the
// request at the amplifier (p50 and p99 over --rounds, one simulated
// amplifier in this process), and how many commands per second the core
// takes at 255 amplifiers (served by an ampsim process at the lowest
// priority) while a 1 ms timer beside the polling tick shows how late the
// event loop serves it. Each rate is offered by a client thread through
// liblo for --seconds; "taken" counts what the server carried out.
//
//   oscbench [--rounds N] [--seconds S] [--rates 500,1000,...] [--port P]
//
// Loopback addresses only.

#include "ampsimulator.h"
#include "benchtiming.h"
#include "controllercore.h"
#include "oscserver.h"

#include <lo/lo.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <QUdpSocket>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

constexpr int kGroups = 15;

QString ampAddress(int index)
{
    return u"127.0.%1.%2"_s.arg(1 + index / 255).arg(1 + index % 255);
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::LocalHost, 0) ? probe.localPort() : 0;
}

// Runs the event loop until the predicate holds or the time is up.
bool runUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeout.count())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

// How late a 1 ms timer's ticks come, in microseconds.
class LatenessProbe final
{
public:
    LatenessProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last >= 0)
                m_lateNs.push_back(now - m_last - 1'000'000);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    TimingFigures figures() const { return timingFigures(m_lateNs); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    std::vector<qint64> m_lateNs;
};

void sendInt(lo_address to, const char *path, int value)
{
    lo_message message = lo_message_new();
    lo_message_add_int32(message, value);
    lo_send_message(to, path, message);
    lo_message_free(message);
}

void measureLatency(int rounds)
{
    AmpSimulator sim;
    const quint16 devicePort = sim.start({{ampAddress(0), "AMP1 ", "FOH  "}});
    sim.setKeptRequests(0);
    ControllerCore core(devicePort);
    core.start();
    core.addOrUpdateDevice(u"AMP1"_s, u"FOH"_s, ampAddress(0));
    if (!runUntil([&] { return core.hasStatusBlock(core.devices()[1].id); }, 10s)) {
        std::fprintf(stderr, "the simulated amplifier did not answer\n");
        return;
    }
    OscServer server(core);
    const quint16 port = freeUdpPort();
    QString error;
    if (!server.listen(QHostAddress::LocalHost, port, {}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return;
    }

    std::vector<qint64> nanoseconds;
    std::atomic<bool> finished = false;
    std::thread client([&] {
        lo_address to = lo_address_new("127.0.0.1", QByteArray::number(port).constData());
        const QByteArray path = "/amp/device/" + ampAddress(0).toLatin1() + "/mute/a";
        for (int round = 0; round < rounds; ++round) {
            const bool on = round % 2 == 0;
            qsizetype seen = sim.requestCount(0);
            const auto start = std::chrono::steady_clock::now();
            sendInt(to, path.constData(), on ? 1 : 0);
            // The simulated amplifier takes the mute with the request.
            while ((sim.muteA(0) == 0) != on && sim.waitForRequests(0, ++seen, 2s)) {
            }
            nanoseconds.push_back((std::chrono::steady_clock::now() - start).count());
        }
        lo_address_free(to);
        finished = true;
    });
    runUntil([&] { return finished.load(); }, std::chrono::milliseconds(rounds * 2000LL + 10'000));
    client.join();
    const TimingFigures figures = timingFigures(nanoseconds);
    std::printf("OSC command to the request at the amplifier, %d rounds: p50 %.0f us, p99 %.0f us\n", rounds,
                figures.medianUs, figures.p99Us);
}

void measureFlood(const QList<int> &rates, int seconds, quint16 simulatorPort)
{
    QProcess simulator;
    simulator.setChildProcessModifier([] { ::setpriority(PRIO_PROCESS, 0, 19); });
    simulator.start(QStringLiteral(AMPSIM_PATH), {u"--count"_s, u"255"_s, u"--first"_s, ampAddress(0), u"--port"_s,
                                                  QString::number(simulatorPort), u"--fast"_s});
    QByteArray output;
    while (!output.contains("scan") && simulator.waitForReadyRead(10'000))
        output += simulator.readAllStandardOutput();

    ControllerCore core(simulatorPort);
    core.start();
    for (int i = 0; i < 255; ++i)
        core.addOrUpdateDevice(u"A%1"_s.arg(i), u"G%1"_s.arg(i % kGroups), ampAddress(i));
    runUntil([] { return false; }, 2s);  // every device answers before the runs
    OscServer server(core);
    const quint16 port = freeUdpPort();
    QString error;
    if (!server.listen(QHostAddress::LocalHost, port, {}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return;
    }

    std::printf("%10s %10s %10s %12s %12s\n", "offered/s", "taken/s", "dropped", "late p50 us", "late p99 us");
    for (const int rate : rates) {
        const OscServer::Counters before = server.counters();
        std::atomic<bool> finished = false;
        std::atomic<long> sent = 0;
        LatenessProbe probe;
        std::thread client([&] {
            lo_address to = lo_address_new("127.0.0.1", QByteArray::number(port).constData());
            const auto start = std::chrono::steady_clock::now();
            const auto end = start + std::chrono::seconds(seconds);
            const auto period = std::chrono::nanoseconds(1'000'000'000LL / std::max(1, rate));
            for (long i = 0; std::chrono::steady_clock::now() < end; ++i) {
                const QByteArray path = "/amp/group/G" + QByteArray::number(i % kGroups) + "/volume/a/step";
                sendInt(to, path.constData(), i % 2 == 0 ? 1 : -1);
                ++sent;
                if (rate > 0)
                    std::this_thread::sleep_until(start + period * (i + 1));
            }
            lo_address_free(to);
            finished = true;
        });
        runUntil([&] { return finished.load(); }, std::chrono::seconds(seconds + 10));
        client.join();
        runUntil([] { return false; }, 200ms);  // what waits in the socket
        const OscServer::Counters after = server.counters();
        const TimingFigures late = probe.figures();
        const double taken = double(after.commands - before.commands) / seconds;
        std::printf("%10s %10.0f %10ld %12.0f %12.0f\n",
                    rate > 0 ? qPrintable(QString::number(rate)) : "unpaced", taken,
                    sent.load() - long(after.messages - before.messages), late.medianUs, late.p99Us);
    }
    simulator.terminate();
    simulator.waitForFinished(3'000);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption roundsOption(u"rounds"_s, u"Latency rounds."_s, u"N"_s, u"500"_s);
    const QCommandLineOption secondsOption(u"seconds"_s, u"Seconds per offered rate."_s, u"S"_s, u"3"_s);
    const QCommandLineOption ratesOption(u"rates"_s, u"Offered commands per second (0: unpaced)."_s, u"LIST"_s,
                                         u"500,1000,2000,5000,10000,0"_s);
    const QCommandLineOption portOption(u"port"_s, u"Simulator port."_s, u"P"_s, u"18081"_s);
    parser.addOptions({roundsOption, secondsOption, ratesOption, portOption});
    parser.process(app);

    measureLatency(std::max(1, parser.value(roundsOption).toInt()));
    QList<int> rates;
    for (const QString &rate : parser.value(ratesOption).split(u',', Qt::SkipEmptyParts))
        rates.append(rate.toInt());
    measureFlood(rates, std::max(1, parser.value(secondsOption).toInt()), quint16(parser.value(portOption).toUInt()));
    return 0;
}

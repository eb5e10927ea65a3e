// The HTTP monitor at 255 amplifiers, polled by a running core on the main
// thread: for /metrics and /api/v1/devices the main thread's time per answer
// (copying the figures out of the core) and the formatting thread's time,
// median and 99th percentile, and the answer's size; then how late a 1 ms
// precise timer beside the core's tick comes (its 99th percentile), with no
// client, with a client scraping /metrics 20 times a second and with one
// asking for it back to back.
//
//   httpbench [--rounds N] [--seconds S]
//
// The amplifiers answer on 127.0.1.1 to 127.0.1.255 and the monitor on
// 127.0.0.1; nothing else is contacted.

#include "benchtiming.h"
#include "controllercore.h"
#include "coreviews.h"
#include "fastampserver.h"
#include "httpmonitor.h"
#include "metricstext.h"
#include "monitorjson.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDevices = 255;

void runEventLoop(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

struct AnswerFigures
{
    TimingFigures copy, format;
    qsizetype bytes = 0;
};

template<typename Format>
AnswerFigures timeAnswer(const ControllerCore &core, int rounds, Format format)
{
    std::vector<qint64> copyNs, formatNs;
    AnswerFigures figures;
    QElapsedTimer clock;
    for (int round = 0; round < rounds; ++round) {
        clock.start();
        const QList<MonitorViews::Device> devices = CoreViews::devices(core);
        copyNs.push_back(clock.nsecsElapsed());
        clock.start();
        figures.bytes = format(devices).size();
        formatNs.push_back(clock.nsecsElapsed());
    }
    figures.copy = timingFigures(copyNs);
    figures.format = timingFigures(formatNs);
    return figures;
}

// A client on its own thread asking for /metrics on one kept-alive
// connection, every intervalMs (0: as soon as the last answer is in).
class ScrapingClient final
{
public:
    ScrapingClient(quint16 port, int intervalMs)
        : m_thread([this, port, intervalMs] { run(port, intervalMs); })
    {
    }
    ~ScrapingClient()
    {
        m_stop = true;
        m_thread.join();
    }
    int answers() const { return m_answers; }

private:
    void run(quint16 port, int intervalMs)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(5000))
            return;
        auto next = std::chrono::steady_clock::now();
        while (!m_stop) {
            socket.write("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
            if (!readAnswer(socket))
                return;
            ++m_answers;
            if (intervalMs > 0) {
                next += std::chrono::milliseconds(intervalMs);
                std::this_thread::sleep_until(next);
            }
        }
    }

    static bool readAnswer(QTcpSocket &socket)
    {
        QByteArray buffer;
        qsizetype end = -1;
        qsizetype length = 0;
        while (end < 0 || buffer.size() < end + 4 + length) {
            if (!socket.waitForReadyRead(5000))
                return false;
            buffer += socket.readAll();
            if (end < 0 && (end = buffer.indexOf("\r\n\r\n")) >= 0) {
                const qsizetype at = buffer.indexOf("Content-Length: ");
                length = buffer.mid(at + 16, buffer.indexOf('\r', at) - at - 16).toLongLong();
            }
        }
        return true;
    }

    std::atomic<bool> m_stop{false};
    std::atomic<int> m_answers{0};
    std::thread m_thread;
};

// The 99th percentile and the worst of a 1 ms precise timer's lateness, in
// microseconds, over the given time.
TimingFigures timerLateness(int seconds)
{
    std::vector<qint64> lateNs;
    QElapsedTimer clock;
    qint64 last = -1;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0)
            lateNs.push_back(std::max<qint64>(0, now - last - 1'000'000));
        last = now;
    });
    clock.start();
    probe.start();
    runEventLoop(seconds * 1000);
    TimingFigures figures = timingFigures(lateNs);
    figures.medianUs = double(*std::max_element(lateNs.begin(), lateNs.end())) / 1000.0;  // the worst
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption roundsOption(u"rounds"_s, u"Answers timed per figure."_s, u"N"_s, u"200"_s);
    const QCommandLineOption secondsOption(u"seconds"_s, u"Seconds per lateness figure."_s, u"S"_s, u"10"_s);
    parser.addOptions({roundsOption, secondsOption});
    parser.process(app);
    const int rounds = std::max(1, parser.value(roundsOption).toInt());
    const int seconds = std::max(1, parser.value(secondsOption).toInt());

    QList<AmpSimulator::Amp> amps;
    for (int i = 0; i < kDevices; ++i) {
        amps.append({u"127.0.1."_s + QString::number(i + 1),
                     "A" + QByteArray::number(i + 1).rightJustified(3, '0') + ' ', i % 2 ? "FOH  " : "STAGE"});
    }
    FastAmpServer server;
    const quint16 devicePort = server.start(amps, 0, std::chrono::milliseconds(0));
    if (devicePort == 0)
        return 1;
    ControllerCore core(devicePort);
    for (const AmpSimulator::Amp &amp : amps)
        core.addOrUpdateDevice(QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address);
    core.start();
    runEventLoop(3000);
    int withBlocks = 0;
    for (int slot = 1; slot <= core.devices().count(); ++slot)
        withBlocks += core.hasStatusBlock(core.devices()[slot].id) ? 1 : 0;
    std::printf("%d amplifiers, %d with a status block\n\n", core.devices().count(), withBlocks);

    const AnswerFigures metrics = timeAnswer(core, rounds, [&](const QList<MonitorViews::Device> &devices) {
        return MetricsText::exposition(devices, CoreViews::controller(core));
    });
    const AnswerFigures json = timeAnswer(core, rounds, MonitorJson::devices);
    std::printf("answer            copy (main thread) us   format (own thread) us   bytes\n");
    std::printf("                  median      p99         median      p99\n");
    for (const auto &[name, figures] : {std::pair{"/metrics", metrics}, std::pair{"/api/v1/devices", json}}) {
        std::printf("%-17s %-11.0f %-11.0f %-11.0f %-12.0f %lld\n", name, figures.copy.medianUs, figures.copy.p99Us,
                    figures.format.medianUs, figures.format.p99Us, static_cast<long long>(figures.bytes));
    }

    HttpMonitor monitor(core);
    const quint16 port = freePort();
    QString error;
    if (!monitor.listen(QHostAddress::LocalHost, port, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("\n1 ms timer beside the tick, lateness us over %d s   p99      worst    /metrics answered\n", seconds);
    const auto row = [&](const char *name, int intervalMs) {
        std::unique_ptr<ScrapingClient> client;
        if (intervalMs >= 0)
            client = std::make_unique<ScrapingClient>(port, intervalMs);
        const TimingFigures late = timerLateness(seconds);
        std::printf("%-49s %-8.0f %-8.0f %d\n", name, late.p99Us, late.medianUs, client ? client->answers() : 0);
    };
    row("no client", -1);
    row("a client scraping /metrics 20 times a second", 50);
    row("a client asking for /metrics back to back", 0);
    return 0;
}

// Polling cost: the real polling tick, queue, dispatch and workers against
// simulated amplifiers served by a separate ampsim process on loopback, and
// beside it, against the same server in the same run, the floor: the
// simplest blocking client, one thread and one kept-alive connection per
// amplifier, sending the same requests and reading the same framing; and
// that floor paced as the polling tick paces a device, at most two exchanges
// per 1 ms tick, which makes its threads sleep and be woken as the workers
// are.
//
//   pollbench [--seconds S] [--sizes 1,16,255] [--delays 5,20] [--port P] [--no-faults]
//
// Then the controller's CPU at realistic answer delays, with no devices at
// all (beside a bare 1 ms tick that does nothing), and with 255 devices that
// refuse the connection (beside their floor), that accept and never answer,
// and whose connect is dropped; and how long the end of 255 busy workers
// takes.
// Loopback addresses only.

#include "commands.h"
#include "devicetable.h"
#include "exchange.h"
#include "groupsettings.h"
#include "grouptable.h"
#include "pollingtick.h"
#include "processfigures.h"
#include "statusblock.h"
#include "thsocket.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

double mainThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Simulated amplifiers on 127.0.1.1 and up; the fault scenarios use other
// loopback networks, so that nothing else listens there.
QString ampAddress(int index, int network = 0)
{
    return u"127.%1.%2.%3"_s.arg(network).arg(1 + index / 255).arg(1 + index % 255);
}

// An ampsim process serving `count` amplifiers; ready once it has printed
// its address list.
class SimulatorProcess final
{
public:
    SimulatorProcess(int count, quint16 port, int delayMs)
    {
        m_process.setProgram(QStringLiteral(AMPSIM_PATH));
        m_process.setArguments({u"--count"_s, QString::number(count), u"--first"_s, ampAddress(0),
                                u"--port"_s, QString::number(port), u"--answer-delay"_s,
                                QString::number(delayMs), u"--fast"_s});
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

// Measures how late a timer's ticks come, in microseconds.
class LatenessProbe final
{
public:
    LatenessProbe(int intervalMs, std::function<void()> work = {})
        : m_intervalMs(intervalMs)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(intervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this, work = std::move(work)] {
            const qint64 start = m_clock.nsecsElapsed();
            if (m_last >= 0)
                m_lateUs.push_back(double(start - m_last) / 1e3 - 1000.0 * m_intervalMs);
            m_last = start;
            if (work)
                work();
            m_workUs.push_back(double(m_clock.nsecsElapsed() - start) / 1e3);
        });
        m_clock.start();
        m_timer.start();
    }
    void reset()
    {
        m_lateUs.clear();
        m_workUs.clear();
        m_last = -1;
    }
    double lateP50() const { return percentile(m_lateUs, 0.5); }
    double lateP99() const { return percentile(m_lateUs, 0.99); }
    double workP50() const { return percentile(m_workUs, 0.5); }
    double workP99() const { return percentile(m_workUs, 0.99); }

private:
    const int m_intervalMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    std::vector<double> m_lateUs, m_workUs;
};

struct PollFigures
{
    qint64 exchanges = 0;
    int failures = 0;
    double cpu = 0;
    double mainCpu = 0;  // of that, the main thread's
    double tickP50 = 0, tickP99 = 0, workP50 = 0, workP99 = 0, slowP99 = 0;
    long rssKiB = 0;
    double exitMs = 0;
};

// The polling tick over `count` devices at the given addresses; one second
// to connect and settle, then the measured run. The tick's own handler is
// driven by a timer set up exactly like its own so that each call can be
// timed; a 200 ms timer beside it shows how late the slower refreshes come.
PollFigures runPolling(const QStringList &addresses, quint16 port, int seconds)
{
    PollFigures figures;
    auto devices = std::make_unique<tDevices>(port);
    tGroup groups;
    groups.addGroup(u"STAGE"_s);
    groups.addGroup(u"FOH"_s);
    for (int i = 0; i < addresses.size(); ++i)
        devices->appendDevice(u"AMP  "_s, i % 2 ? u"FOH  "_s : u"STAGE"_s, addresses[i]);
    GroupSettingsOfDevices settings(*devices, groups);
    PollingTick tick(*devices, settings);
    devices->setResultsCollectedOften(true);  // as the tick's own start() does
    LatenessProbe tickProbe(PollingTick::kIntervalMs, [&tick] { tick.Timer3Timer(); });
    LatenessProbe slowProbe(200);

    runEventLoop(1000);
    tickProbe.reset();
    slowProbe.reset();
    qint64 before = 0;
    for (int slot = 1; slot <= devices->count(); ++slot)
        before += (*devices)[slot].successCount();
    const double cpuBefore = cpuSeconds();
    const double mainBefore = mainThreadCpuSeconds();
    runEventLoop(seconds * 1000);
    figures.cpu = cpuSeconds() - cpuBefore;
    figures.mainCpu = mainThreadCpuSeconds() - mainBefore;
    for (int slot = 1; slot <= devices->count(); ++slot) {
        figures.exchanges += (*devices)[slot].successCount();
        figures.failures += (*devices)[slot].failureCount();
    }
    figures.exchanges -= before;
    figures.tickP50 = tickProbe.lateP50();
    figures.tickP99 = tickProbe.lateP99();
    figures.workP50 = tickProbe.workP50();
    figures.workP99 = tickProbe.workP99();
    figures.slowP99 = slowProbe.lateP99();
    figures.rssKiB = residentKiB();
    QElapsedTimer exit;
    exit.start();
    devices.reset();
    figures.exitMs = double(exit.nsecsElapsed()) / 1e6;
    return figures;
}

sockaddr_in socketAddress(const QString &address, quint16 port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr.s_addr = htonl(QHostAddress(address).toIPv4Address());
    return result;
}

int connectBlocking(const QString &address, quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const sockaddr_in peer = socketAddress(address, port);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Counts 1 ms ticks on a thread of its own and wakes whoever waits for one.
class BareTicker final
{
public:
    BareTicker()
        : m_thread([this] { run(); })
    {
    }
    ~BareTicker()
    {
        m_stop = true;
        m_thread.join();
    }
    const std::atomic<quint64> &ticks() const { return m_ticks; }

private:
    void run()
    {
        timespec next{};
        clock_gettime(CLOCK_MONOTONIC, &next);
        while (!m_stop.load(std::memory_order_relaxed)) {
            next.tv_nsec += 1'000'000;
            if (next.tv_nsec >= 1'000'000'000) {
                next.tv_nsec -= 1'000'000'000;
                ++next.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
            m_ticks.fetch_add(1);
            m_ticks.notify_all();
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<quint64> m_ticks{0};
    std::thread m_thread;
};

// Runs one client thread per index, lets them settle for half a second and
// returns the process's CPU seconds over the measured run. atSettled runs
// when the measured run begins.
template <typename Client>
double cpuOfClients(int count, int seconds, const Client &client, const std::function<void()> &atSettled = {})
{
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back([&, i] { client(i, stop); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (atSettled)
        atSettled();
    const double cpuBefore = cpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = cpuSeconds() - cpuBefore;
    stop = true;
    for (std::thread &thread : threads)
        thread.join();
    return cpu;
}

struct FloorFigures
{
    qint64 exchanges = 0;
    double cpu = 0;
};

// The floor: per amplifier one thread with one blocking connection,
// alternating the status fetch and the group settings command as the tick
// does, reading each answer with the same framing. Paced, each thread makes
// at most the two exchanges per 1 ms tick that the polling tick allows a
// device, and waits for the next tick when it has made them.
FloorFigures runFloor(int count, quint16 port, int seconds, bool paced)
{
    constexpr int kExchangesPerTick = 2;
    std::atomic<qint64> total{0};
    std::optional<BareTicker> ticker;
    if (paced)
        ticker.emplace();
    const QByteArray requests[2] = {requestText(CommandPath::StatusFetch, {}),
                                    requestText(CommandPath::GroupSettings, "050050050050050050")};
    const auto client = [&](int index, const std::atomic<bool> &stop) {
        const int fd = connectBlocking(ampAddress(index), port);
        if (fd < 0)
            return;
        char buffer[16 * 1024];
        qsizetype begin = 0, end = 0;
        qint64 exchanges = 0;
        quint64 tick = ticker ? ticker->ticks().load() : 0;
        int madeThisTick = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            if (ticker && madeThisTick == kExchangesPerTick) {
                ticker->ticks().wait(tick);
                tick = ticker->ticks().load();
                madeThisTick = 0;
            }
            const QByteArray &request = requests[exchanges % 2];
            if (::send(fd, request.constData(), std::size_t(request.size()), MSG_NOSIGNAL) != request.size())
                break;
            ResponseReader reader(kStatusBlockSize);
            while (!reader.isDone()) {
                if (begin == end) {
                    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                    if (got <= 0)
                        break;
                    begin = 0;
                    end = got;
                }
                begin += reader.feed(QByteArrayView(buffer + begin, end - begin));
            }
            if (!reader.succeeded())
                break;
            ++exchanges;
            ++madeThisTick;
        }
        total += exchanges;
        ::close(fd);
    };
    qint64 settled = 0;  // only finished clients count here, normally none
    const double cpu = cpuOfClients(count, seconds, client, [&] { settled = total.load(); });
    // Exchanges of the settling half second count too: scale them away.
    const double share = double(seconds) / (double(seconds) + 0.5);
    return {qint64(double(total.load() - settled) * share), cpu};
}

// The floor for devices that refuse: beside a bare 1 ms tick, one thread per
// address that tries a connect as often as a worker retries a failed job,
// once per time-out after failure, and sleeps in between.
double refusedFloorShare(const QStringList &addresses, quint16 port, int seconds)
{
    const BareTicker ticker;
    const auto client = [&](int index, const std::atomic<bool> &stop) {
        const sockaddr_in peer = socketAddress(addresses[index], port);
        while (!stop.load(std::memory_order_relaxed)) {
            const auto began = std::chrono::steady_clock::now();
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            ::connect(fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer);
            ::close(fd);
            std::this_thread::sleep_until(began + ThSocket::kTimeoutAfterFailure);
        }
    };
    return cpuOfClients(int(addresses.size()), seconds, client) / seconds;
}

// The CPU share of a bare 1 ms tick that does nothing, the only thread at
// work in the process meanwhile: a floor under every run of the polling tick.
double bareTickShare(int seconds)
{
    const BareTicker ticker;
    return cpuOfClients(0, seconds, [](int, const std::atomic<bool> &) {}) / seconds;
}

// Loopback listeners for the fault scenarios, all on one port.
class Listeners final
{
public:
    // backlog: 0 with one connection parked in the queue makes the kernel drop
    // every later connect; a large one accepts every connect and never answers.
    Listeners(const QStringList &addresses, quint16 port, int backlog)
    {
        for (const QString &address : addresses) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const int one = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            const sockaddr_in local = socketAddress(address, port);
            if (::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0
                || ::listen(fd, backlog) != 0) {
                std::fprintf(stderr, "cannot listen on %s\n", qPrintable(address));
                ::close(fd);
                continue;
            }
            m_fds.push_back(fd);
            if (backlog == 0) {
                // Park connections until the queue is full; later SYNs are dropped.
                for (int i = 0; i < 2; ++i) {
                    const int parked = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
                    ::connect(parked, reinterpret_cast<const sockaddr *>(&local), sizeof local);
                    m_fds.push_back(parked);
                }
            }
        }
    }
    ~Listeners()
    {
        for (const int fd : m_fds)
            ::close(fd);
    }

private:
    std::vector<int> m_fds;
};

void printPolling(const char *label, int count, int seconds, const PollFigures &f)
{
    const double rate = double(f.exchanges) / seconds;
    std::printf("%-10s %4d %10.0f %9.1f %8.1f%% %8.1f%% %8.0f %8.0f %8.1f %8.1f %9.1f %8.1f %7.1f%s\n", label,
                count, rate, f.exchanges ? f.cpu * 1e6 / double(f.exchanges) : 0.0, 100.0 * f.cpu / seconds,
                100.0 * f.mainCpu / seconds,
                f.tickP50, f.tickP99, f.workP50, f.workP99, f.slowP99 / 1e3, double(f.rssKiB) / 1024.0,
                f.exitMs, f.failures ? "  (failures seen)" : "");
    std::fflush(stdout);
}

void printFloor(const char *label, int count, int seconds, const PollFigures &controller,
                const FloorFigures &floor)
{
    const double floorUs = floor.exchanges ? floor.cpu * 1e6 / double(floor.exchanges) : 0.0;
    const double controllerUs = controller.exchanges ? controller.cpu * 1e6 / double(controller.exchanges) : 0.0;
    std::printf("%-10s %4d %10.0f %9.1f %8.1f%%   ratio of cpu per exchange %.2f\n", label, count,
                double(floor.exchanges) / seconds, floorUs, 100.0 * floor.cpu / seconds,
                floorUs > 0 ? controllerUs / floorUs : 0.0);
    std::fflush(stdout);
}

void printShare(const char *label, int count, double share)
{
    std::printf("%-10s %4d %10s %9s %8.1f%%\n", label, count, "", "", 100.0 * share);
    std::fflush(stdout);
}

QStringList addresses(int count, int network)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(ampAddress(i, network));
    return list;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Polling cost against simulated amplifiers"_s);
    parser.addHelpOption();
    const QCommandLineOption secondsOption(u"seconds"_s, u"Measured seconds per run."_s, u"S"_s, u"5"_s);
    const QCommandLineOption sizesOption(u"sizes"_s, u"Device counts."_s, u"LIST"_s, u"1,16,255"_s);
    const QCommandLineOption delaysOption(u"delays"_s, u"Answer delays in ms, 255 devices."_s, u"LIST"_s,
                                          u"5,20"_s);
    const QCommandLineOption portOption(u"port"_s, u"Simulator port."_s, u"P"_s, u"18080"_s);
    const QCommandLineOption noFaultsOption(u"no-faults"_s, u"Skip the fault scenarios."_s);
    parser.addOptions({secondsOption, sizesOption, delaysOption, portOption, noFaultsOption});
    parser.process(app);
    const int seconds = qMax(1, parser.value(secondsOption).toInt());
    const auto port = quint16(parser.value(portOption).toUInt());

    std::printf("%-10s %4s %10s %9s %9s %9s %8s %8s %8s %8s %9s %8s %7s\n", "run", "devs", "exch/s", "cpu us/ex",
                "cpu", "main cpu", "late p50", "late p99", "work p50", "work p99", "200ms p99", "RSS MiB", "exit ms");
    std::printf("%-10s %4s %10s %9s %9s %9s %8s %8s %8s %8s %9s\n", "", "", "", "", "", "", "us", "us", "us", "us", "ms");
    for (const QString &size : parser.value(sizesOption).split(u',', Qt::SkipEmptyParts)) {
        const int count = qBound(1, size.toInt(), tDevices::kCapacity);
        SimulatorProcess simulator(count, port, 0);
        if (!simulator.ready()) {
            std::fprintf(stderr, "ampsim did not start\n");
            return 1;
        }
        const PollFigures f = runPolling(addresses(count, 0), port, seconds);
        printPolling("controller", count, seconds, f);
        printFloor("floor", count, seconds, f, runFloor(count, port, seconds, false));
        printFloor("paced flr", count, seconds, f, runFloor(count, port, seconds, true));
    }
    for (const QString &delay : parser.value(delaysOption).split(u',', Qt::SkipEmptyParts)) {
        SimulatorProcess simulator(255, port, delay.toInt());
        if (!simulator.ready())
            return 1;
        const QByteArray label = "delay " + delay.toLatin1();
        printPolling(label.constData(), 255, seconds, runPolling(addresses(255, 0), port, seconds));
    }
    if (parser.isSet(noFaultsOption))
        return 0;
    // The share of the 1 ms tick's own timer, which the scenarios below
    // cannot go under.
    printPolling("no devices", 0, seconds, runPolling({}, port, seconds));
    printShare("bare tick", 0, bareTickShare(seconds));
    printPolling("refused", 255, seconds, runPolling(addresses(255, 1), port, seconds));
    printShare("floor", 255, refusedFloorShare(addresses(255, 1), port, seconds));
    {
        const Listeners silent(addresses(255, 2), port, 1024);
        printPolling("silent", 255, seconds, runPolling(addresses(255, 2), port, seconds));
    }
    {
        const Listeners dropping(addresses(255, 3), port, 0);
        printPolling("dropped", 255, seconds, runPolling(addresses(255, 3), port, seconds));
    }
    return 0;
}

// Polling cost: the real polling tick, queue, dispatch and workers against
// simulated amplifiers served by a separate ampsim process on loopback, and
// beside it, against the same server in the same run, three floors: the
// simplest blocking client, one thread and one kept-alive connection per
// amplifier, sending the same requests and reading the same framing; that
// client paced as the polling tick paces a device, at most two exchanges per
// 1 ms tick, its threads asleep on a futex until the next tick as the
// workers sleep until they have work; and one thread with every connection
// under one epoll instance, unpaced: the lower limit for this work here.
// Then the controller at realistic answer delays, with no devices at all
// (beside a bare 1 ms tick that does nothing), and with 255 devices that
// refuse the connection (beside their floor), that accept and never answer,
// and whose connect is dropped; and how long the end of 255 busy workers
// takes.
//
// Every run shows, for the whole process over the measured window (the
// ampsim server is another process), the CPU, the context switches and the
// system calls per exchange, or per second where there are no exchanges.
// `perf stat` counts the system calls when it is installed and allowed to
// attach; otherwise they show as "-". While it counts, every system call
// costs a little more, in the controller and the floors alike.
//
//   pollbench [--seconds S] [--sizes 1,16,255] [--delays 5,20] [--port P] [--no-faults]
//
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
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
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
// its address list. It stands in for amplifiers that cost the controller's
// machine nothing, so it runs at the given nice level: at the lowest, its
// threads, busy for whole time slices on every core, no longer hold off the
// controller's main thread, whose tick lateness would otherwise be theirs.
class SimulatorProcess final
{
public:
    SimulatorProcess(int count, quint16 port, int delayMs, int niceLevel)
    {
        m_process.setChildProcessModifier([niceLevel] { ::setpriority(PRIO_PROCESS, 0, niceLevel); });
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

// This process's system calls over a window, counted by `perf stat` in a
// child process that attaches to every thread the process has when it
// starts (and follows the threads those start). It starts disabled and is
// switched on and off through its control fifo, each switch acknowledged,
// so that it counts the window and, at either end, only the moment perf
// takes to act. No count when perf is missing or fails.
class SyscallCounter final
{
public:
    // Returns once perf has attached, or has failed.
    SyscallCounter()
    {
        const QString perf = QStandardPaths::findExecutable(u"perf"_s);
        if (perf.isEmpty() || !m_dir.isValid())
            return;
        const QString control = m_dir.filePath(u"control"_s), ack = m_dir.filePath(u"ack"_s);
        if (::mkfifo(QFile::encodeName(control).constData(), 0600) != 0
            || ::mkfifo(QFile::encodeName(ack).constData(), 0600) != 0)
            return;
        // Opened for reading and writing, so that neither open waits for perf.
        m_control = ::open(QFile::encodeName(control).constData(), O_RDWR | O_CLOEXEC);
        m_ack = ::open(QFile::encodeName(ack).constData(), O_RDWR | O_CLOEXEC);
        if (m_control < 0 || m_ack < 0)
            return;
        m_perf.setProgram(perf);
        m_perf.setArguments({u"stat"_s, u"-x,"_s, u"-e"_s, u"raw_syscalls:sys_enter"_s, u"-D"_s, u"-1"_s,
                             u"--control"_s, u"fifo:%1,%2"_s.arg(control, ack), u"-p"_s,
                             QString::number(QCoreApplication::applicationPid())});
        m_perf.setStandardOutputFile(QProcess::nullDevice());
        m_perf.start();
        m_attached = m_perf.waitForStarted(10000) && command("ping\n");
    }
    ~SyscallCounter()
    {
        if (m_perf.state() != QProcess::NotRunning) {
            m_perf.kill();
            m_perf.waitForFinished(3000);
        }
        for (const int fd : {m_control, m_ack}) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    Q_DISABLE_COPY_MOVE(SyscallCounter)

    // Each returns once perf has acted, or has failed.
    void enable() { m_counting = m_attached && command("enable\n"); }
    void disable() { m_counted = m_counting && command("disable\n"); }

    // Ends perf and returns its count.
    std::optional<qint64> count()
    {
        if (!m_counted)
            return {};
        ::kill(pid_t(m_perf.processId()), SIGINT);
        if (!m_perf.waitForFinished(10000))
            return {};
        for (const QByteArray &line : m_perf.readAllStandardError().split('\n')) {
            const QList<QByteArray> fields = line.split(',');
            if (fields.size() > 2 && fields[2] == "raw_syscalls:sys_enter") {
                bool ok = false;
                const qint64 count = fields[0].toLongLong(&ok);
                return ok ? std::optional(count) : std::nullopt;
            }
        }
        return {};
    }

private:
    // Sends a command and waits for perf's acknowledgement; gives up when
    // perf has ended or has not answered in ten seconds.
    bool command(const std::string &line)
    {
        if (::write(m_control, line.data(), line.size()) != ssize_t(line.size()))
            return false;
        QElapsedTimer waited;
        waited.start();
        QByteArray received;
        while (!received.contains("ack")) {
            pollfd ready{m_ack, POLLIN, 0};
            if (::poll(&ready, 1, 50) > 0) {
                char chunk[16];
                const ssize_t got = ::read(m_ack, chunk, sizeof chunk);
                if (got > 0)
                    received.append(chunk, got);
                continue;
            }
            m_perf.waitForFinished(0);
            if (m_perf.state() == QProcess::NotRunning || waited.hasExpired(10000))
                return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    QProcess m_perf;
    int m_control = -1, m_ack = -1;
    bool m_attached = false, m_counting = false, m_counted = false;
};

// What a measured window cost the whole process.
struct Costs
{
    double cpu = 0;  // seconds, user and system
    long switches = 0;
    std::optional<qint64> syscalls;
};

// Brackets a measured window. Made once the threads to be measured exist;
// returns once perf has attached to them.
class CostWindow final
{
public:
    void begin()
    {
        m_syscalls.enable();
        m_cpu = cpuSeconds();
        m_switches = contextSwitches();
    }
    // The CPU and the switches; the system calls follow from syscalls(),
    // best called once the measured threads are quiet, as perf needs the
    // CPU to finish.
    Costs end()
    {
        const Costs costs{cpuSeconds() - m_cpu, contextSwitches() - m_switches, {}};
        m_syscalls.disable();
        return costs;
    }
    std::optional<qint64> syscalls() { return m_syscalls.count(); }

private:
    SyscallCounter m_syscalls;
    double m_cpu = 0;
    long m_switches = 0;
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
    Costs costs;
    double mainCpu = 0;  // of the CPU, the main thread's
    double tickP50 = 0, tickP99 = 0, workP50 = 0, workP99 = 0, slowP99 = 0;
    long rssKiB = 0;
    double exitMs = 0;
};

// The polling tick over `count` devices at the given addresses; one second
// to connect and settle, perf attaching to the workers, a fifth of a second
// more, then the measured run. The tick's own handler is
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
    CostWindow window;
    runEventLoop(200);
    window.begin();  // blocks the main thread until perf counts: the probes start after it
    tickProbe.reset();
    slowProbe.reset();
    const double mainBefore = mainThreadCpuSeconds();
    qint64 before = 0;
    for (int slot = 1; slot <= devices->count(); ++slot)
        before += (*devices)[slot].successCount();
    runEventLoop(seconds * 1000);
    for (int slot = 1; slot <= devices->count(); ++slot) {
        figures.exchanges += (*devices)[slot].successCount();
        figures.failures += (*devices)[slot].failureCount();
    }
    figures.exchanges -= before;
    figures.mainCpu = mainThreadCpuSeconds() - mainBefore;
    figures.costs = window.end();
    figures.costs.syscalls = window.syscalls();
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

// Counts 1 ms ticks on a thread of its own. Built to wake waiters, it wakes
// whoever sleeps in waitPast() with one FUTEX_WAKE per tick; otherwise the
// tick is a bare clock_nanosleep.
class BareTicker final
{
public:
    enum class Waiters { None, Woken };

    explicit BareTicker(Waiters waiters = Waiters::None)
        : m_wakes(waiters == Waiters::Woken)
        , m_thread([this] { run(); })
    {
    }
    ~BareTicker()
    {
        m_stop = true;
        m_thread.join();
    }
    Q_DISABLE_COPY_MOVE(BareTicker)

    quint32 ticks() const { return m_ticks.load(std::memory_order_acquire); }

    // Sleeps on the tick word, with no spinning or yielding first, until
    // the count is no longer `seen`, and returns it.
    quint32 waitPast(quint32 seen)
    {
        quint32 now = ticks();
        for (; now == seen; now = ticks())
            static_cast<void>(::syscall(SYS_futex, &m_ticks, FUTEX_WAIT_PRIVATE, seen, nullptr, nullptr, 0));
        return now;
    }

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
            m_ticks.fetch_add(1, std::memory_order_release);
            if (m_wakes)
                static_cast<void>(::syscall(SYS_futex, &m_ticks, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0));
        }
    }

    // The futex is this word itself.
    static_assert(sizeof(std::atomic<quint32>) == sizeof(quint32) && std::atomic<quint32>::is_always_lock_free);
    std::atomic<quint32> m_ticks{0};
    std::atomic<bool> m_stop{false};
    const bool m_wakes;
    std::thread m_thread;
};

// Exchanges made so far by one client thread, written by that thread alone,
// on a cache line of its own so that counting costs the clients nothing.
struct alignas(64) ExchangeCount
{
    std::atomic<qint64> value{0};
    void add() { value.store(value.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed); }
};

struct FloorFigures
{
    qint64 exchanges = 0;
    Costs costs;
};

// Runs `threads` client threads, each given its index, the stop flag and its
// exchange count, and measures the process over the run. The threads wait
// until perf has attached to them, which it cannot do quickly with all of
// them at work, then settle for half a second.
template <typename Client>
FloorFigures measureClients(int threads, int seconds, const Client &client)
{
    std::vector<ExchangeCount> counts(static_cast<std::size_t>(threads));
    const auto exchanges = [&counts] {
        qint64 sum = 0;
        for (const ExchangeCount &count : counts)
            sum += count.value.load(std::memory_order_relaxed);
        return sum;
    };
    std::atomic<bool> go{false}, stop{false};
    std::vector<std::thread> running;
    for (int i = 0; i < threads; ++i) {
        running.emplace_back([&, i] {
            go.wait(false);
            client(i, stop, counts[std::size_t(i)]);
        });
    }
    CostWindow window;
    go = true;
    go.notify_all();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    FloorFigures figures;
    window.begin();
    const qint64 before = exchanges();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    figures.exchanges = exchanges() - before;
    figures.costs = window.end();
    stop = true;
    for (std::thread &thread : running)
        thread.join();
    figures.costs.syscalls = window.syscalls();
    return figures;
}

const QByteArray &floorRequest(qint64 exchange)
{
    static const QByteArray requests[2] = {requestText(CommandPath::StatusFetch, {}),
                                           requestText(CommandPath::GroupSettings, "050050050050050050")};
    return requests[exchange % 2];
}

// The floor: per amplifier one thread with one blocking connection,
// alternating the status fetch and the group settings command as the tick
// does, reading each answer with the same framing. Paced, each thread makes
// at most the two exchanges per 1 ms tick that the polling tick allows a
// device, and sleeps until the next tick when it has made them.
FloorFigures runFloor(int count, quint16 port, int seconds, bool paced)
{
    constexpr int kExchangesPerTick = 2;
    std::optional<BareTicker> ticker;
    if (paced)
        ticker.emplace(BareTicker::Waiters::Woken);
    const auto client = [&](int index, const std::atomic<bool> &stop, ExchangeCount &made) {
        const int fd = connectBlocking(ampAddress(index), port);
        if (fd < 0)
            return;
        char buffer[16 * 1024];
        qsizetype begin = 0, end = 0;
        qint64 exchanges = 0;
        quint32 tick = ticker ? ticker->ticks() : 0;
        int madeThisTick = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            if (ticker && madeThisTick == kExchangesPerTick) {
                tick = ticker->waitPast(tick);
                madeThisTick = 0;
            }
            const QByteArray &request = floorRequest(exchanges);
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
            made.add();
            ++madeThisTick;
        }
        ::close(fd);
    };
    return measureClients(count, seconds, client);
}

// The lower limit: one thread, every connection non-blocking under one
// level-triggered epoll instance, each alternating the two requests unpaced
// and reading the answers with the same framing. A connection that fails
// leaves the run.
FloorFigures runEpollFloor(int count, quint16 port, int seconds)
{
    struct Connection
    {
        int fd = -1;
        qint64 exchanges = 0;
        ResponseReader reader{kStatusBlockSize};
    };
    const auto client = [&](int, const std::atomic<bool> &stop, ExchangeCount &total) {
        const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
        std::vector<Connection> connections(static_cast<std::size_t>(count));
        const auto sendNext = [](const Connection &connection) {
            const QByteArray &request = floorRequest(connection.exchanges);
            return ::send(connection.fd, request.constData(), std::size_t(request.size()), MSG_NOSIGNAL)
                == request.size();
        };
        const auto drop = [epoll](Connection &connection) {
            ::epoll_ctl(epoll, EPOLL_CTL_DEL, connection.fd, nullptr);
            ::close(connection.fd);
            connection.fd = -1;
        };
        for (int i = 0; i < count; ++i) {
            Connection &connection = connections[std::size_t(i)];
            connection.fd = connectBlocking(ampAddress(i), port);
            if (connection.fd < 0)
                continue;
            ::fcntl(connection.fd, F_SETFL, ::fcntl(connection.fd, F_GETFL) | O_NONBLOCK);
            epoll_event interest{};
            interest.events = EPOLLIN;
            interest.data.u32 = quint32(i);
            ::epoll_ctl(epoll, EPOLL_CTL_ADD, connection.fd, &interest);
            if (!sendNext(connection))
                drop(connection);
        }
        char buffer[16 * 1024];
        epoll_event ready[256];
        while (!stop.load(std::memory_order_relaxed)) {
            const int readyCount = ::epoll_wait(epoll, ready, int(std::size(ready)), 100);
            for (int k = 0; k < readyCount; ++k) {
                Connection &connection = connections[ready[k].data.u32];
                const ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, 0);
                if (got < 0 && errno == EAGAIN)
                    continue;
                if (got <= 0) {
                    drop(connection);
                    continue;
                }
                for (qsizetype begin = 0; begin < got && connection.fd >= 0;) {
                    begin += connection.reader.feed(QByteArrayView(buffer + begin, got - begin));
                    if (!connection.reader.isDone())
                        continue;
                    if (!connection.reader.succeeded()) {
                        drop(connection);
                        break;
                    }
                    ++connection.exchanges;
                    total.add();
                    connection.reader = ResponseReader(kStatusBlockSize);
                    if (!sendNext(connection))
                        drop(connection);
                }
            }
        }
        for (Connection &connection : connections) {
            if (connection.fd >= 0)
                ::close(connection.fd);
        }
        ::close(epoll);
    };
    return measureClients(1, seconds, client);
}

// The floor for devices that refuse: beside a bare 1 ms tick, one thread per
// address that tries a connect as often as a worker retries a failed job,
// once per time-out after failure, and sleeps in between.
FloorFigures refusedFloor(const QStringList &addresses, quint16 port, int seconds)
{
    const BareTicker ticker;
    const auto client = [&](int index, const std::atomic<bool> &stop, ExchangeCount &) {
        const sockaddr_in peer = socketAddress(addresses[index], port);
        while (!stop.load(std::memory_order_relaxed)) {
            const auto began = std::chrono::steady_clock::now();
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            ::connect(fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer);
            ::close(fd);
            std::this_thread::sleep_until(began + ThSocket::kTimeoutAfterFailure);
        }
    };
    return measureClients(int(addresses.size()), seconds, client);
}

// A bare 1 ms tick that does nothing, the only thread at work in the
// process meanwhile: a floor under every run of the polling tick.
FloorFigures bareTick(int seconds)
{
    const BareTicker ticker;
    return measureClients(0, seconds, [](int, const std::atomic<bool> &, ExchangeCount &) {});
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

double perExchangeUs(double cpu, qint64 exchanges)
{
    return exchanges ? cpu * 1e6 / double(exchanges) : 0.0;
}

// A count per exchange, or per second where there were none; "-" without
// a count.
std::string perWork(std::optional<double> count, qint64 exchanges, int seconds)
{
    if (!count)
        return "-";
    char text[32];
    if (exchanges > 0)
        std::snprintf(text, sizeof text, "%.2f", *count / double(exchanges));
    else
        std::snprintf(text, sizeof text, "%.0f/s", *count / seconds);
    return text;
}

// Exchanges per second, CPU per exchange, then context switches and system
// calls per exchange: the columns every row shares.
void printCosts(const char *label, int count, int seconds, qint64 exchanges, const Costs &costs)
{
    const std::optional<double> syscalls =
        costs.syscalls ? std::optional(double(*costs.syscalls)) : std::nullopt;
    std::printf("%-10s %4d %10s %9s %7s %8s %8.1f%%", label, count,
                exchanges ? QByteArray::number(double(exchanges) / seconds, 'f', 0).constData() : "",
                exchanges ? QByteArray::number(perExchangeUs(costs.cpu, exchanges), 'f', 1).constData() : "",
                perWork(double(costs.switches), exchanges, seconds).c_str(),
                perWork(syscalls, exchanges, seconds).c_str(), 100.0 * costs.cpu / seconds);
}

void printPolling(const char *label, int count, int seconds, const PollFigures &f)
{
    printCosts(label, count, seconds, f.exchanges, f.costs);
    std::printf(" %8.1f%% %8.0f %8.0f %8.1f %8.1f %9.1f %8.1f %7.1f%s\n", 100.0 * f.mainCpu / seconds, f.tickP50,
                f.tickP99, f.workP50, f.workP99, f.slowP99 / 1e3, double(f.rssKiB) / 1024.0, f.exitMs,
                f.failures ? "  (failures seen)" : "");
    std::fflush(stdout);
}

void printFloor(const char *label, int count, int seconds, const PollFigures &controller,
                const FloorFigures &floor)
{
    printCosts(label, count, seconds, floor.exchanges, floor.costs);
    const double floorUs = perExchangeUs(floor.costs.cpu, floor.exchanges);
    std::printf("   ratio of cpu per exchange %.2f\n",
                floorUs > 0 ? perExchangeUs(controller.costs.cpu, controller.exchanges) / floorUs : 0.0);
    std::fflush(stdout);
}

// A floor without exchanges: its CPU share and what it costs per second.
void printShare(const char *label, int count, int seconds, const FloorFigures &floor)
{
    printCosts(label, count, seconds, 0, floor.costs);
    std::printf("\n");
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
    const QCommandLineOption simulatorNiceOption(u"simulator-nice"_s, u"The simulator's nice level."_s,
                                                 u"N"_s, u"19"_s);
    parser.addOptions({secondsOption, sizesOption, delaysOption, portOption, noFaultsOption, simulatorNiceOption});
    parser.process(app);
    const int seconds = qMax(1, parser.value(secondsOption).toInt());
    const auto port = quint16(parser.value(portOption).toUInt());
    const int simulatorNice = parser.value(simulatorNiceOption).toInt();
    std::printf("simulator at nice %d\n", simulatorNice);

    std::printf("%-10s %4s %10s %9s %7s %8s %9s %9s %8s %8s %8s %8s %9s %8s %7s\n", "run", "devs", "exch/s",
                "cpu us/ex", "cswitch", "syscalls", "cpu", "main cpu", "late p50", "late p99", "work p50",
                "work p99", "200ms p99", "RSS MiB", "exit ms");
    std::printf("%-10s %4s %10s %9s %7s %8s %9s %9s %8s %8s %8s %8s %9s\n", "", "", "", "", "/ex", "/ex", "", "",
                "us", "us", "us", "us", "ms");
    for (const QString &size : parser.value(sizesOption).split(u',', Qt::SkipEmptyParts)) {
        const int count = qBound(1, size.toInt(), tDevices::kCapacity);
        SimulatorProcess simulator(count, port, 0, simulatorNice);
        if (!simulator.ready()) {
            std::fprintf(stderr, "ampsim did not start\n");
            return 1;
        }
        const PollFigures f = runPolling(addresses(count, 0), port, seconds);
        printPolling("controller", count, seconds, f);
        printFloor("floor", count, seconds, f, runFloor(count, port, seconds, false));
        printFloor("paced flr", count, seconds, f, runFloor(count, port, seconds, true));
        printFloor("epoll flr", count, seconds, f, runEpollFloor(count, port, seconds));
    }
    for (const QString &delay : parser.value(delaysOption).split(u',', Qt::SkipEmptyParts)) {
        SimulatorProcess simulator(255, port, delay.toInt(), simulatorNice);
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
    printShare("bare tick", 0, seconds, bareTick(seconds));
    printPolling("refused", 255, seconds, runPolling(addresses(255, 1), port, seconds));
    printShare("floor", 255, seconds, refusedFloor(addresses(255, 1), port, seconds));
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

// Hold times against a device that accepts the connection and never answers:
// how long the real polling tick and worker keep each attempt's connection
// open, seen from the device's side, against the sum of the attempt's line
// time-outs (five of 250 ms for a job's first attempt, five of 500 ms for
// the second and the third). Each job runs on a fresh device table, so that
// every job starts with the first attempt's shorter time-outs. The jobs run
// first on an idle process, then with every other core kept busy by a
// spinning thread.
//
// The device is one thread that blocks in poll() on its listener and on the
// open connection, at real-time priority when the process may have it, so
// that it wakes within microseconds of the connect and of the close also
// when the cores are busy; it stamps each with the steady clock.
//
//   stallholdbench [--jobs N] [--port P]
//
// Loopback addresses only.

#include "devicetable.h"
#include "exchange.h"
#include "pollingtick.h"
#include "processfigures.h"
#include "thsocket.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

const QString kDeviceAddress = u"127.0.5.1"_s;

// A device that accepts one connection at a time, reads whatever it is sent
// and never answers; records how long each connection stayed open.
class SilentDevice final
{
    Q_DISABLE_COPY_MOVE(SilentDevice)

public:
    SilentDevice(const QString &address, quint16 port)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        local.sin_addr.s_addr = htonl(QHostAddress(address).toIPv4Address());
        m_listening = ::bind(m_listener, reinterpret_cast<const sockaddr *>(&local), sizeof local) == 0
            && ::listen(m_listener, 16) == 0;
        m_stop = ::eventfd(0, EFD_CLOEXEC);
        m_thread = std::thread([this] { run(); });
        sched_param priority{};
        priority.sched_priority = sched_get_priority_min(SCHED_FIFO);
        m_realTime = ::pthread_setschedparam(m_thread.native_handle(), SCHED_FIFO, &priority) == 0;
    }
    ~SilentDevice()
    {
        const quint64 one = 1;
        static_cast<void>(::write(m_stop, &one, sizeof one));
        m_thread.join();
        ::close(m_stop);
        ::close(m_listener);
    }

    bool listening() const { return m_listening; }
    bool realTime() const { return m_realTime; }
    bool connected() const { return m_connected.load(); }

    std::vector<Clock::duration> holds() const
    {
        const std::lock_guard lock(m_mutex);
        return m_holds;
    }
    void clear()
    {
        const std::lock_guard lock(m_mutex);
        m_holds.clear();
    }

private:
    void run()
    {
        int connection = -1;
        Clock::time_point accepted;
        for (;;) {
            pollfd watched[2] = {{connection >= 0 ? connection : m_listener, POLLIN, 0}, {m_stop, POLLIN, 0}};
            if (::poll(watched, 2, -1) < 0 && errno != EINTR)
                break;
            if (watched[1].revents != 0)
                break;
            if (watched[0].revents == 0)
                continue;
            if (connection < 0) {
                connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
                accepted = Clock::now();
                m_connected = connection >= 0;
                continue;
            }
            char bytes[4096];
            if (::recv(connection, bytes, sizeof bytes, MSG_DONTWAIT) > 0)
                continue;  // the request: never answered
            const Clock::duration held = Clock::now() - accepted;
            ::close(connection);
            connection = -1;
            m_connected = false;
            const std::lock_guard lock(m_mutex);
            m_holds.push_back(held);
        }
        if (connection >= 0)
            ::close(connection);
    }

    int m_listener = -1;
    int m_stop = -1;
    bool m_listening = false;
    bool m_realTime = false;
    std::atomic<bool> m_connected{false};
    mutable std::mutex m_mutex;
    std::vector<Clock::duration> m_holds;  // guarded by m_mutex
    std::thread m_thread;
};

// Threads that spin until destroyed, at the ordinary priority.
class BusyCores final
{
    Q_DISABLE_COPY_MOVE(BusyCores)

public:
    explicit BusyCores(int count)
    {
        for (int i = 0; i < count; ++i) {
            m_threads.emplace_back([this] {
                while (!m_stop.load(std::memory_order_relaxed)) {
                }
            });
        }
    }
    ~BusyCores()
    {
        m_stop = true;
        for (std::thread &thread : m_threads)
            thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

class NoSettings final : public DeviceSettingsSource
{
public:
    const Commands::SettingsDigits *settingsOf(int) override { return nullptr; }
};

// One job's three attempts against the silent device, on a fresh table.
// Empty when they did not end within a minute.
std::vector<Clock::duration> oneJob(SilentDevice &device, quint16 port)
{
    device.clear();
    {
        tDevices devices(port);
        devices.appendDevice(u"AMP  "_s, u"STAGE"_s, kDeviceAddress);
        NoSettings settings;
        PollingTick tick(devices, settings);
        tick.start();
        const Clock::time_point giveUp = Clock::now() + std::chrono::minutes(1);
        while (device.holds().size() < std::size_t(ThSocket::kAttemptsPerJob) && Clock::now() < giveUp)
            runEventLoop(20);
    }
    // The table's end closes the next job's connection: not one of these.
    std::vector<Clock::duration> holds = device.holds();
    while (device.connected())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (holds.size() < std::size_t(ThSocket::kAttemptsPerJob))
        return {};
    holds.resize(std::size_t(ThSocket::kAttemptsPerJob));
    return holds;
}

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Per attempt: its sum, then the least, the median and the greatest hold
// over the jobs, and the greatest as a share above the sum.
void printHolds(const char *condition, const std::vector<std::vector<Clock::duration>> &jobs)
{
    for (int attempt = 0; attempt < ThSocket::kAttemptsPerJob; ++attempt) {
        const auto timeout = attempt == 0 ? ThSocket::kFirstTimeout : ThSocket::kTimeoutAfterFailure;
        const double sum = milliseconds(timeout * ResponseReader::kLengthLine);
        std::vector<double> held;
        for (const auto &job : jobs)
            held.push_back(milliseconds(job[std::size_t(attempt)]));
        std::sort(held.begin(), held.end());
        std::printf("%-8s %7d %8.0f %9.1f %9.1f %9.1f %+8.2f%%  ", condition, attempt + 1, sum, held.front(),
                    held[held.size() / 2], held.back(), 100.0 * (held.back() - sum) / sum);
        for (const double ms : held)
            std::printf(" %.1f", ms);
        std::printf("\n");
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Hold times of a device that accepts and never answers"_s);
    parser.addHelpOption();
    const QCommandLineOption jobsOption(u"jobs"_s, u"Jobs of three attempts per condition."_s, u"N"_s, u"5"_s);
    const QCommandLineOption portOption(u"port"_s, u"The device's port."_s, u"P"_s, u"18081"_s);
    parser.addOptions({jobsOption, portOption});
    parser.process(app);
    const int jobs = qMax(1, parser.value(jobsOption).toInt());
    const auto port = quint16(parser.value(portOption).toUInt());

    SilentDevice device(kDeviceAddress, port);
    if (!device.listening()) {
        std::fprintf(stderr, "cannot listen on %s port %u\n", qPrintable(kDeviceAddress), unsigned(port));
        return 1;
    }
    const int busy = qMax(1, int(std::thread::hardware_concurrency()) - 1);
    std::printf("device thread at %s priority; loaded: %d spinning thread(s)\n",
                device.realTime() ? "real-time" : "ordinary", busy);
    std::printf("%-8s %7s %8s %9s %9s %9s %9s   %s\n", "run", "attempt", "sum ms", "min ms", "median ms",
                "max ms", "max over", "every hold, ms, sorted");
    for (const bool loaded : {false, true}) {
        std::optional<BusyCores> load;
        if (loaded)
            load.emplace(busy);
        std::vector<std::vector<Clock::duration>> held;
        for (int job = 0; job < jobs; ++job) {
            std::vector<Clock::duration> holds = oneJob(device, port);
            if (holds.empty()) {
                std::fprintf(stderr, "a job's attempts did not end within a minute\n");
                return 1;
            }
            held.push_back(std::move(holds));
        }
        printHolds(loaded ? "loaded" : "idle", held);
    }
    return 0;
}

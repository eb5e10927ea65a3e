// Hold times against a device that accepts the connection and never answers:
// how long the real polling tick and worker keep each attempt's connection
// open, seen from the device's side, against the sum of the attempt's line
// time-outs (five of 250 ms for a job's first attempt, five of 500 ms for
// the second and the third). Each job runs on a fresh device table, so that
// every job starts with the first attempt's shorter time-outs. The jobs run
// first on an idle process, then with every other core kept busy by a
// spinning thread.
//
// The device is a stalling peer that sends nothing, at real-time priority
// when the process may have it, so that it stamps the accept and the close
// within microseconds also when the cores are busy.
//
//   stallholdbench [--jobs N] [--port P]
//
// Loopback addresses only.

#include "devicetable.h"
#include "exchange.h"
#include "pollingtick.h"
#include "processfigures.h"
#include "stallingpeer.h"
#include "thsocket.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

const QString kDeviceAddress = u"127.0.5.1"_s;

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
std::vector<Clock::duration> oneJob(StallingPeer &device, quint16 port)
{
    device.clearHolds();
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
    const QCommandLineOption portOption(u"port"_s, u"The device's port; 0: a free one."_s, u"P"_s, u"0"_s);
    parser.addOptions({jobsOption, portOption});
    parser.process(app);
    const int jobs = qMax(1, parser.value(jobsOption).toInt());
    const auto port = quint16(parser.value(portOption).toUInt());

    StallingPeer device(kDeviceAddress, port, {}, StallingPeer::Priority::RealTimeIfAllowed);
    if (device.port() == 0) {
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
            std::vector<Clock::duration> holds = oneJob(device, device.port());
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

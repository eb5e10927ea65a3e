// The fleet overview and event detection at 255 devices, offscreen, on the
// main thread beside 255 poll workers polling simulated amplifiers: the
// fleet's health (the data), the Fleet table's refresh over it (the view),
// both together, and the event detection of one tick, each as median
// and 99th percentile while all devices answer; then the worst tick of two
// bursts: all 255 going offline at once, and a project of 255 devices
// loaded over them (through the 5 s project check).
//
//   fleetbench [--rounds N]
//
// The amplifiers answer on 127.0.1.1 to 127.0.1.255; nothing else is contacted.

#include "ampsimulator.h"
#include "benchtiming.h"
#include "controllerstyle.h"
#include "eventdetector.h"
#include "eventlog.h"
#include "eventswindow.h"
#include "fleethealth.h"
#include "fleetwindow.h"
#include "controllercore.h"
#include "mainwindow.h"
#include "projectfileactions.h"
#include "storedblocks.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDevices = 255;
constexpr int kTickMs = 200;

qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The main thread's own CPU time: what a tick costs, whatever else the
// machine is doing. Wall time adds the waits when the thread was not
// running.
qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

void runEventLoop(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The main window's 200 ms tick as the program runs it, each half timed.
struct Tick
{
    TForm1 &main;
    FleetHealth &health;
    FleetWindow &fleet;
    EventLog &log;
    StoredBlocks &blocks;
    EventDetector detector;
    std::vector<qint64> detectNs;
    std::vector<qint64> healthNs;
    std::vector<qint64> viewNs;
    std::vector<qint64> refreshNs;
    std::vector<qint64> refreshWallNs;

    // The whole tick's CPU time.
    qint64 run()
    {
        QElapsedTimer clock;
        clock.start();
        const qint64 cpuStart = threadCpuNs();
        const qint64 now = steadyNowNs();
        blocks.prune();
        log.append(detector.detect(EventDetector::observe(main.devices(), blocks), now, QDateTime::currentDateTime()));
        const qint64 detected = threadCpuNs();
        const qint64 wallDetected = clock.nsecsElapsed();
        health.refresh(main.devices(), blocks, now);
        const qint64 healthDone = threadCpuNs();
        fleet.refresh();
        const qint64 refreshed = threadCpuNs();
        detectNs.push_back(detected - cpuStart);
        healthNs.push_back(healthDone - detected);
        viewNs.push_back(refreshed - healthDone);
        refreshNs.push_back(refreshed - detected);
        refreshWallNs.push_back(clock.nsecsElapsed() - wallDetected);
        return refreshed - cpuStart;
    }
};

// Ticks at the program's pace until done() holds; the worst whole tick.
template <typename Condition>
double worstTickUsUntil(Tick &tick, Condition done, int timeoutMs)
{
    qint64 worst = 0;
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        runEventLoop(kTickMs);
        worst = std::max(worst, tick.run());
    }
    return double(worst) / 1000.0;
}

void print(const char *what, std::vector<qint64> samples)
{
    const TimingFigures figures = timingFigures(std::move(samples));
    std::printf("%-44s median %8.1f us   p99 %8.1f us\n", what, figures.medianUs, figures.p99Us);
}

int count(const tDevices &devices, int linkState)
{
    int n = 0;
    for (int slot = 1; slot <= devices.count(); ++slot)
        n += devices[slot].linkState() == linkState ? 1 : 0;
    return n;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    applyControllerStyle(application);
    const int rounds = roundsFromCommandLine(application, u"300"_s);

    QList<AmpSimulator::Amp> amps;
    for (int i = 1; i <= kDevices; ++i)
        amps.append({u"127.0.1."_s + QString::number(i), 'A' + QByteArray::number(i).rightJustified(3, '0') + ' ',
                     "STAGE"});
    AmpSimulator sim;
    const quint16 port = sim.start(amps);
    if (port == 0) {
        std::fprintf(stderr, "fleetbench: the simulator could not listen\n");
        return 1;
    }

    ControllerCore core(port);
    TForm1 main(core);
    core.start();
    core.stopRefreshTimer();  // the ticks below are the timed ones
    main.show();
    EventLog log;
    FleetHealth health;
    FleetWindow fleet(health);
    EventsWindow events(log);
    fleet.show();
    events.show();
    StoredBlocks blocks(main.devices());
    Tick tick{main, health, fleet, log, blocks, {}, {}, {}, {}, {}, {}};

    for (const AmpSimulator::Amp &amp : amps)
        main.addOrUpdateDevice(QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address);
    const double firstAnswers = worstTickUsUntil(tick, [&] { return count(main.devices(), 3) == kDevices; }, 60000);
    if (count(main.devices(), 3) != kDevices) {
        std::fprintf(stderr, "fleetbench: only %d of %d amplifiers came online\n", count(main.devices(), 3), kDevices);
        return 1;
    }
    std::printf("%d devices online, events logged %zu, worst tick meanwhile %.1f us CPU\n", kDevices,
                log.events().size(), firstAnswers);

    tick.detectNs.clear();
    tick.healthNs.clear();
    tick.viewNs.clear();
    tick.refreshNs.clear();
    tick.refreshWallNs.clear();
    for (int round = 0; round < rounds; ++round) {
        runEventLoop(20);
        tick.run();
    }
    print("fleet health, 255 online, CPU", tick.healthNs);
    print("fleet table over it, 255 online, CPU", tick.viewNs);
    print("fleet refresh, 255 online, CPU", tick.refreshNs);
    print("fleet refresh, 255 online, wall", tick.refreshWallNs);
    print("event detection per tick, 255 online, CPU", tick.detectNs);

    const std::size_t before = log.events().size();
    for (int amp = 0; amp < kDevices; ++amp)
        sim.setFault(amp, AmpSimulator::Fault::Refuse);
    const double offlineWorst = worstTickUsUntil(tick, [&] { return count(main.devices(), 1) == kDevices; }, 60000);
    std::printf("%-44s worst tick %8.1f us CPU (%zu events)\n", "burst: 255 going offline", offlineWorst,
                log.events().size() - before);

    QTemporaryDir dir;
    const QString project = dir.filePath(u"fleet.amp"_s);
    main.projectFile()->setSaveDialog([&](QWidget *, const QString &) { return project; });
    main.projectFile()->setOpenDialog([&](QWidget *, const QString &) { return project; });
    main.projectFile()->Saveas1Click();
    for (int amp = 0; amp < kDevices; ++amp)
        sim.setFault(amp, AmpSimulator::Fault::None);
    EventDetector &detector = tick.detector;
    QObject::connect(main.projectFile(), &ProjectFileActions::projectOpened, [&] {
        detector.expectProject(EventDetector::observe(main.devices(), blocks), steadyNowNs());
    });
    const std::size_t beforeLoad = log.events().size();
    main.projectFile()->Open1Click();
    const QDeadlineTimer checkDue(std::chrono::milliseconds(EventDetector::kProjectCheckDelayNs / 1'000'000 + 600));
    const double loadWorst = worstTickUsUntil(tick, [&] { return checkDue.hasExpired(); }, 60000);
    std::printf("%-44s worst tick %8.1f us CPU (%zu events, %d online)\n", "burst: project of 255 loaded", loadWorst,
                log.events().size() - beforeLoad, count(main.devices(), 3));
    return 0;
}

// The cost of the two threaded-timer ticks that redraw windows, offscreen:
// the diagram window's redraw (a copy of the background and six plots, the
// picture handed to its label and painted) and the network statistics window's tick
// at 255 devices.
//
//   diagnosticbench [--rounds N]
//
// The statistics tick is measured twice: with every count standing still
// (rows compared, none rewritten) and while the polling tick drives all 255
// devices against simulated amplifiers on loopback, so that every row
// changes on every tick.

#include "ampsimulator.h"
#include "devicetable.h"
#include "diagramwindow.h"
#include "groupsettings.h"
#include "grouptable.h"
#include "networkstatwindow.h"
#include "pollingtick.h"
#include "benchtiming.h"

#include <QApplication>
#include <QLabel>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDevices = tDevices::kCapacity;

// `between` runs before each measured round, outside the clock.
template <typename Work, typename Between>
TimingFigures timeRounds(int rounds, Work work, Between between)
{
    std::vector<qint64> samples;
    samples.reserve(std::size_t(rounds));
    QElapsedTimer clock;
    for (int round = 0; round < rounds; ++round) {
        between();
        clock.start();
        work();
        samples.push_back(clock.nsecsElapsed());
    }
    return timingFigures(std::move(samples));
}

void print(const char *what, const TimingFigures &figures)
{
    std::printf("  %-44s median %8.1f us   p99 %8.1f us\n", what, figures.medianUs, figures.p99Us);
}

void runEventLoopFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void benchDiagram(int rounds)
{
    StatusBlock block{};
    QRandomGenerator random(12345);
    for (int i = StatusField::FirstHistory; i < kStatusBlockSize; ++i)
        block[std::size_t(i)] = quint8(random.bounded(256));
    TForm4 form([&block] { return &block; });
    form.ThreadedTimer1()->setEnabled(false);
    form.show();
    print("diagram redraw and repaint", timeRounds(rounds, [&] {
        form.ThreadedTimer1Timer();
        form.Image1()->repaint();
    }, [] {}));
}

void benchStatistics(int rounds)
{
    QList<AmpSimulator::Amp> amps;
    for (int i = 1; i <= kDevices; ++i)
        amps.append({u"127.0.1.%1"_s.arg(i), "AMP  ", "STAGE"});
    AmpSimulator sim;
    const quint16 port = sim.start(amps);
    if (port == 0) {
        std::printf("  the simulator could not listen on 127.0.1.x\n");
        return;
    }

    tDevices devices(port);
    tGroup groups;
    groups.addGroup(u"STAGE"_s);
    for (const AmpSimulator::Amp &amp : amps)
        devices.appendDevice(u"AMP  "_s, u"STAGE"_s, amp.address);
    TForm6 form(devices);
    form.ThreadedTimer1()->setEnabled(false);
    form.show();
    runEventLoopFor(500);  // the workers' threads start
    form.ThreadedTimer1Timer();

    print("statistics tick, 255 devices, counts still",
          timeRounds(rounds, [&] { form.ThreadedTimer1Timer(); }, [] {}));

    GroupSettingsOfDevices settings(devices, groups);
    PollingTick polling(devices, settings);
    polling.start();
    runEventLoopFor(2000);
    print("statistics tick, 255 devices polled",
          timeRounds(rounds, [&] { form.ThreadedTimer1Timer(); }, [] { runEventLoopFor(20); }));
    qint64 attempts = 0;
    for (int slot = 1; slot <= devices.count(); ++slot)
        attempts += devices[slot].requestCount();
    std::printf("  (%lld attempts in all while polling)\n", static_cast<long long>(attempts));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rounds = roundsFromCommandLine(application, u"500"_s);

    std::printf("window ticks, %d rounds each\n", rounds);
    benchDiagram(rounds);
    benchStatistics(rounds);
    return 0;
}

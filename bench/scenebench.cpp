// Scene recalls at 255 amplifiers in 32 groups, polled by a running core on
// the main thread: the time from a recall to the moment the last amplifier
// holds its new settings (median and 99th percentile; beside it one group's
// fader release, and the recall call alone), and how late a 1 ms
// precise timer beside the core's tick comes (99th percentile and worst)
// while recalls follow each other, during a fade of the whole show, and with
// nothing recalled for comparison.
//
//   scenebench [--rounds N] [--fade S]
//
// The amplifiers answer on 127.0.1.1 to 127.0.1.255; nothing else is
// contacted. A thread of its own watches the simulated amplifiers' settings,
// so the main thread runs only the core and the timer.

#include "ampsimulator.h"
#include "benchtiming.h"
#include "commands.h"
#include "controllercore.h"
#include "fadertable.h"
#include "latenessprobe.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDevices = 255;
constexpr int kGroups = 32;

QByteArray groupName(int group)
{
    return "G" + QByteArray::number(group + 1).rightJustified(2, '0') + "  ";
}

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

// The sample ended: its p99 and, in the median's place, the worst, in microseconds.
TimingFigures stopped(LatenessProbe &probe)
{
    probe.stop();
    TimingFigures figures = probe.figures();
    figures.medianUs = probe.worstUs();
    return figures;
}

// Every amplifier's settings as the recall should leave them.
QList<QByteArray> expectedSettings(const ControllerCore &core)
{
    QList<QByteArray> expected;
    for (int slot = 1; slot <= core.devices().count(); ++slot) {
        const int group = core.groups().findGroupOfDevice(core.devices()[slot].group);
        const GroupSettingValues values = FaderTable::valuesOf(core.groups()[group]);
        Commands::SettingsValues bytes{};
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = quint8(values[i]);
        const Commands::SettingsDigits digits = Commands::settingsDigits(bytes);
        expected.append(QByteArray(digits.data(), qsizetype(digits.size())));
    }
    return expected;
}

// Nanoseconds from now until every amplifier holds its expected settings,
// watched from another thread while the main thread runs the core; -1 when
// they do not within ten seconds.
qint64 timeUntilHeld(const AmpSimulator &sim, const QList<QByteArray> &expected, const QElapsedTimer &since)
{
    std::atomic<qint64> heldAt{-1};
    QEventLoop loop;
    std::thread watcher([&] {
        int next = 0;
        while (next < expected.size() && since.elapsed() < 10'000) {
            if (sim.groupSettings(next) == expected[next])
                ++next;
            else
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        if (next == expected.size())
            heldAt = since.nsecsElapsed();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    watcher.join();
    return heldAt;
}

// Two scenes of different levels and limiters for every group.
void storeTwoScenes(ControllerCore &core)
{
    for (int scene = 1; scene <= 2; ++scene) {
        for (int group = 0; group < kGroups; ++group) {
            const int volume = scene == 1 ? 100 + group : 60 + group;
            const int limiter = scene == 1 ? 100 : 150;
            core.setGroupSettings(core.groupNamed(QString::fromLatin1(groupName(group))),
                                  {volume, volume, 40 + scene, 40 + scene, limiter, limiter},
                                  CommandSource::service());
        }
        core.storeScene(scene, {}, CommandSource::service());
        core.setSceneScope(scene, {true, {}, SceneKind::Levels | SceneKind::Limiters}, CommandSource::service());
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption roundsOption(u"rounds"_s, u"Recalls timed."_s, u"N"_s, u"100"_s);
    const QCommandLineOption fadeOption(u"fade"_s, u"Seconds of the fade measured."_s, u"S"_s, u"10"_s);
    parser.addOptions({roundsOption, fadeOption});
    parser.process(app);
    const int rounds = std::max(1, parser.value(roundsOption).toInt());
    const int fadeSeconds = std::clamp(parser.value(fadeOption).toInt(), 1, 30);

    QList<AmpSimulator::Amp> amps;
    for (int i = 0; i < kDevices; ++i)
        amps.append({u"127.0.1."_s + QString::number(i + 1),
                     "A" + QByteArray::number(i + 1).rightJustified(3, '0') + ' ', groupName(i % kGroups)});
    AmpSimulator sim;
    const quint16 devicePort = sim.start(amps);
    if (devicePort == 0)
        return 1;
    sim.setKeptRequests(64);
    ControllerCore core(devicePort);
    for (const AmpSimulator::Amp &amp : amps)
        core.addOrUpdateDevice(QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address);
    core.start();
    runEventLoop(3000);
    int withBlocks = 0;
    for (int slot = 1; slot <= core.devices().count(); ++slot)
        withBlocks += core.hasStatusBlock(core.devices()[slot].id) ? 1 : 0;
    std::printf("%d amplifiers in %d groups, %d with a status block\n\n", core.devices().count(),
                core.groups().count(), withBlocks);
    storeTwoScenes(core);

    LatenessProbe probe;
    probe.start();
    const TimingFigures idle = [&] {
        runEventLoop(fadeSeconds * 1000);
        return stopped(probe);
    }();

    // The same way to the amplifiers for one group's fader release, for
    // comparison: what the polling adds whatever the command.
    std::vector<qint64> releaseNs;
    const GroupId first = core.groupNamed(QString::fromLatin1(groupName(0)));
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer since;
        since.start();
        const int volume = 30 + round % 2;
        core.setGroupSettings(first, {volume, volume, 0, 0, 10, 10}, CommandSource::service());
        if (const qint64 held = timeUntilHeld(sim, expectedSettings(core), since); held >= 0)
            releaseNs.push_back(held);
    }

    std::vector<qint64> recallNs, callNs, callCpuNs;
    int missed = 0;
    probe.start();
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer since;
        since.start();
        const qint64 cpuBefore = threadCpuNs();
        core.recallScene(1 + round % 2, CommandSource::service());
        callNs.push_back(since.nsecsElapsed());
        callCpuNs.push_back(threadCpuNs() - cpuBefore);
        const qint64 held = timeUntilHeld(sim, expectedSettings(core), since);
        if (held < 0)
            ++missed;
        else
            recallNs.push_back(held);
    }
    const TimingFigures duringRecalls = stopped(probe);
    const TimingFigures recall = timingFigures(recallNs);
    const TimingFigures release = timingFigures(releaseNs);
    const TimingFigures call = timingFigures(callNs);
    const TimingFigures callCpu = timingFigures(callCpuNs);

    core.setSceneFade(1 + rounds % 2, fadeSeconds * 1000, CommandSource::service());
    probe.start();
    core.recallScene(1 + rounds % 2, CommandSource::service());
    QEventLoop fadeEnd;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (!core.sceneFadeTimer().isActive())
            fadeEnd.quit();
    });
    check.start(50);
    fadeEnd.exec();
    const TimingFigures duringFade = stopped(probe);

    std::printf("recall to the last amplifier's new settings, ms   median   p99     (%d recalls, %d missed)\n",
                rounds, missed);
    std::printf("%-49s %-8.1f %-8.1f\n", "levels and limiters of 32 groups", recall.medianUs / 1000.0,
                recall.p99Us / 1000.0);
    std::printf("%-49s %-8.1f %-8.1f\n", "one group's fader release, for comparison", release.medianUs / 1000.0,
                release.p99Us / 1000.0);
    std::printf("%-49s %-8.3f %-8.3f\n", "the recall call itself, wall time", call.medianUs / 1000.0,
                call.p99Us / 1000.0);
    std::printf("%-49s %-8.3f %-8.3f\n", "the recall call itself, main thread's CPU time", callCpu.medianUs / 1000.0,
                callCpu.p99Us / 1000.0);
    std::printf("\n1 ms timer beside the tick, lateness us          p99      worst\n");
    std::printf("%-49s %-8.0f %-8.0f\n", "nothing recalled", idle.p99Us, idle.medianUs);
    std::printf("%-49s %-8.0f %-8.0f\n", "recalls one after another", duringRecalls.p99Us, duringRecalls.medianUs);
    char fadeRow[64];
    std::snprintf(fadeRow, sizeof fadeRow, "a %d s fade of 32 groups", fadeSeconds);
    std::printf("%-49s %-8.0f %-8.0f\n", fadeRow, duringFade.p99Us, duringFade.medianUs);
    return 0;
}

// daemonbench: how long ampcontrold takes from SIGTERM to its exit with 255
// amplifiers polled, each worker busy. Every run starts the built
// ampcontrold on a project of 255 amplifiers served by the fast simulator on
// 127.0.1.2 onwards, waits until all of them have answered and a second
// more, sends SIGTERM and waits for the process's end (blocked on its pid
// file descriptor, so the figure includes no polling interval). Prints every
// run, the median and the worst.

#include "fastampserver.h"
#include "projectfile.h"
#include "simulatedlineup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kAmps = 255;
constexpr int kStartTimeoutMs = 120'000;

// Runs the event loop until the process has written `count` lines that
// contain `text`; false when the time-out or the process's end came first.
bool waitForLines(QProcess &process, const QByteArray &text, int count)
{
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    while (output.count(text) < count) {
        if (process.state() != QProcess::Running || clock.elapsed() > kStartTimeoutMs)
            return false;
        process.waitForReadyRead(1000);
        output += process.readAllStandardOutput();
    }
    return true;
}

// Milliseconds from SIGTERM to the exit, or a negative number on failure.
double exitAfterSignalMs(const QString &project, quint16 port)
{
    QProcess process;
    process.setProgram(QStringLiteral(AMPCONTROLD_PATH));
    process.setArguments({u"--device-port"_s, QString::number(port), project});
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    if (!process.waitForStarted() || !waitForLines(process, "online: first answer", kAmps))
        return -1;
    QElapsedTimer busy;
    busy.start();
    while (busy.elapsed() < 1000) {
        process.waitForReadyRead(int(1000 - busy.elapsed()));
        process.readAllStandardOutput();
    }
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(10'000) || process.exitCode() != 0)
        return -1;
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption runsOption(u"runs"_s, u"Runs, each a fresh ampcontrold."_s, u"N"_s, u"7"_s);
    parser.addOption(runsOption);
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());

    const QList<AmpSimulator::Amp> amps = simulatedLineup(0x7F000102, kAmps);
    FastAmpServer server;
    const quint16 port = server.start(amps, 0, std::chrono::milliseconds(0));
    QTemporaryDir dir;
    if (port == 0 || !dir.isValid()) {
        std::fprintf(stderr, "daemonbench: cannot start the simulator or make a folder\n");
        return 1;
    }
    Project project;
    project.groups = {{u"STAGE"_s, {}, 150, 150, 150, 150, 0, 0}, {u"FOH"_s, {}, 150, 150, 150, 150, 0, 0}};
    for (const AmpSimulator::Amp &amp : amps)
        project.devices.append({QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address});
    const QString path = dir.filePath(u"bench.amp"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(writeProject(project)) < 0) {
        std::fprintf(stderr, "daemonbench: cannot write %s\n", qPrintable(path));
        return 1;
    }
    file.close();

    std::vector<double> figures;
    for (int run = 1; run <= runs; ++run) {
        const double ms = exitAfterSignalMs(path, port);
        if (ms < 0) {
            std::fprintf(stderr, "daemonbench: run %d: ampcontrold did not poll all %d amplifiers or did not "
                                 "exit with status 0\n", run, kAmps);
            return 1;
        }
        std::printf("run %d: SIGTERM to exit %.1f ms\n", run, ms);
        std::fflush(stdout);
        figures.push_back(ms);
    }
    std::sort(figures.begin(), figures.end());
    std::printf("ampcontrold, %d amplifiers polled, SIGTERM to exit over %d runs: median %.1f ms, worst %.1f ms\n",
                kAmps, runs, figures[figures.size() / 2], figures.back());
    return 0;
}

// The main window polling 255 simulated amplifiers with one of them
// selected: how late a 200 ms timer beside the window's own refresh timer
// comes (the same event loop does the tree, device panel and group panel
// refresh every 200 ms and the 1 ms polling tick), the process's CPU share
// and its resident memory. The amplifiers are served on loopback by the lean
// benchmark server in this process's other threads.
//
//   windowbench [--seconds S] [--answer-delay MS]

#include "devicetreeview.h"
#include "fastampserver.h"
#include "controllercore.h"
#include "mainwindow.h"
#include "processfigures.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItem>


#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption secondsOption(u"seconds"_s, u"Measured seconds."_s, u"S"_s, u"10"_s);
    const QCommandLineOption delayOption(u"answer-delay"_s, u"Answer delay in ms."_s, u"MS"_s, u"0"_s);
    parser.addOptions({secondsOption, delayOption});
    parser.process(app);
    const int seconds = qMax(1, parser.value(secondsOption).toInt());

    constexpr int kCount = 255;
    QList<AmpSimulator::Amp> amps;
    for (int i = 0; i < kCount; ++i) {
        amps.append({u"127.0.%1.%2"_s.arg(1 + i / 255).arg(1 + i % 255),
                     "A" + QByteArray::number(i + 1).rightJustified(3, '0') + ' ', i % 2 ? "FOH  " : "STAGE"});
    }
    FastAmpServer server;
    const quint16 port = server.start(amps, 0, std::chrono::milliseconds(parser.value(delayOption).toInt()));
    if (port == 0)
        return 1;

    ControllerCore core(port);
    TForm1 form(core);
    core.start();
    form.show();
    for (const AmpSimulator::Amp &amp : amps)
        form.addOrUpdateDevice(QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address);
    runEventLoop(1000);
    DeviceTreeView &tree = *form.TreeView1();
    tree.expandAll();
    QTreeWidgetItem *node = tree.topLevelItem(0) ? tree.topLevelItem(0)->child(0) : nullptr;
    if (!node)
        return 1;
    const QPoint at = tree.visualItemRect(node).center();
    QTest::mousePress(tree.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, at);
    if (!form.selectedDevice()) {
        std::fprintf(stderr, "no device selected\n");
        return 1;
    }

    std::vector<double> lateMs;
    QElapsedTimer clock;
    qint64 last = -1;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(TForm1::kTimer1IntervalMs);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0)
            lateMs.push_back(double(now - last) / 1e6 - TForm1::kTimer1IntervalMs);
        last = now;
    });
    int before = 0;
    for (int slot = 1; slot <= form.devices().count(); ++slot)
        before += form.devices()[slot].successCount();
    clock.start();
    probe.start();
    const double cpuBefore = cpuSeconds();
    runEventLoop(seconds * 1000);
    const double cpu = cpuSeconds() - cpuBefore;
    int after = 0;
    for (int slot = 1; slot <= form.devices().count(); ++slot)
        after += form.devices()[slot].successCount();

    std::printf("255 devices, one selected, %d s: %.0f exchanges/s, process CPU %.1f%% of one core (server "
                "included), 200 ms timer lateness p50 %.1f ms p99 %.1f ms max %.1f ms, RSS %.1f MiB\n",
                seconds, double(after - before) / seconds, 100.0 * cpu / seconds, percentile(lateMs, 0.5),
                percentile(lateMs, 0.99), lateMs.empty() ? 0.0 : *std::max_element(lateMs.begin(), lateMs.end()),
                double(residentKiB()) / 1024.0);
    return 0;
}

// The device tree at full tables: 255 groups and 255 devices. Measures the
// rebuild (run after every scanned address and every reported name change)
// and the state image refresh (every 200 ms), offscreen.
//
//   treebench [--rounds N]
//
// The devices point at a loopback port where nothing listens; no polling tick
// runs, so their workers stay idle and send nothing.

#include "devicetable.h"
#include "devicetreeview.h"
#include "grouptable.h"
#include "benchtiming.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr quint16 kUnusedPort = 9;  // discard; nothing listens on loopback here

template <typename Work>
double timeRounds(int rounds, Work work)
{
    std::vector<qint64> samples;
    samples.reserve(std::size_t(rounds));
    QElapsedTimer clock;
    for (int round = 0; round < rounds; ++round) {
        clock.start();
        work();
        samples.push_back(clock.nsecsElapsed());
    }
    return timingFigures(std::move(samples)).medianUs;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rounds = roundsFromCommandLine(application, u"50"_s);

    tDevices devices(kUnusedPort);
    tGroup groups;
    for (int i = 1; i <= tDevices::kCapacity; ++i) {
        const QString group = u"G%1"_s.arg(i, 3, 10, QChar(u'0')) + u"  "_s;
        groups.addGroup(group);
        devices.appendDevice(u"A%1 "_s.arg(tDevices::kCapacity + 1 - i, 3, 10, QChar(u'0')), group,
                             u"127.0.1.%1"_s.arg(i));
    }

    DeviceTreeView tree;
    tree.resize(177, 609);
    tree.show();

    std::printf("tree with %d groups and %d devices, median of %d rounds\n", groups.count(),
                devices.count(), rounds);
    for (const bool showIp : {false, true}) {
        const double rebuild = timeRounds(rounds, [&] { tree.rebuild(devices, groups, showIp); });
        std::printf("  rebuild (show IP %s): %8.0f us\n", showIp ? "on " : "off", rebuild);
    }
    const double refresh = timeRounds(rounds, [&] { tree.refreshStateImages(devices); });
    std::printf("  state image refresh:  %8.1f us\n", refresh);
    return 0;
}

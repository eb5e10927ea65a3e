// The group faders under load: 255 simulated amplifiers on loopback addresses
// polled by the main window, 32 of them in the selected group.
//
//   faderbench [--moves N] [--releases N]
//
// Prints, in microseconds or milliseconds:
//  - fader apply plus the repaint of the six panels, per mouse move of a drag
//    (median, p99);
//  - the time from a knob release to the new settings having reached every
//    amplifier of the group (p50, p99).

#include "ampsimulator.h"
#include "commands.h"
#include "controllerwindows.h"
#include "devicetable.h"
#include "devicetreeview.h"
#include "grouppropertiesbox.h"
#include "groupsettings.h"
#include "grouptable.h"
#include "mainwindow.h"
#include "picturecontrol.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCursor>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kAmpCount = 255;
constexpr int kGroupSize = 32;
constexpr qint64 kSettleLimitMs = 60000;

QString ampAddress(int index)  // 127.0.1.1 and up
{
    return u"127.0.%1.%2"_s.arg(1 + index / 255).arg(1 + index % 255);
}

double percentile(std::vector<qint64> samples, double fraction)
{
    std::sort(samples.begin(), samples.end());
    const auto at = std::min(samples.size() - 1, std::size_t(double(samples.size()) * fraction));
    return double(samples[at]);
}

// Runs the event loop until the condition holds; false after the limit.
template <typename Condition>
bool runUntil(Condition condition, qint64 limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

QByteArray settingsDigits(const tGroupItem &group)
{
    const Commands::SettingsDigits digits = groupSettingsDigits(group);
    return QByteArray(digits.data(), qsizetype(digits.size()));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption movesOption(u"moves"_s, u"Mouse moves to time."_s, u"N"_s, u"2000"_s);
    const QCommandLineOption releasesOption(u"releases"_s, u"Knob releases to time."_s, u"N"_s, u"200"_s);
    parser.addOptions({movesOption, releasesOption});
    parser.process(application);
    const int moves = std::max(1, parser.value(movesOption).toInt());
    const int releases = std::max(1, parser.value(releasesOption).toInt());

    QList<AmpSimulator::Amp> amps;
    for (int i = 0; i < kAmpCount; ++i) {
        const QByteArray name = "A" + QByteArray::number(i).rightJustified(4, '0');
        amps.append({ampAddress(i), name, i < kGroupSize ? "BENCH" : "OTHER"});
    }
    AmpSimulator sim;
    const quint16 port = sim.start(amps);
    if (port == 0) {
        std::fprintf(stderr, "faderbench: the simulator did not start\n");
        return 1;
    }

    ControllerWindows windows(port);
    TForm1 &form = windows.Form1();
    form.show();
    for (const AmpSimulator::Amp &amp : amps)
        form.addOrUpdateDevice(QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address);
    const bool online = runUntil([&] {
        for (int slot = 1; slot <= form.devices().count(); ++slot) {
            if (form.devices()[slot].linkState() != 3)
                return false;
        }
        return true;
    }, kSettleLimitMs);
    if (!online) {
        std::fprintf(stderr, "faderbench: not every amplifier came online\n");
        return 1;
    }

    DeviceTreeView &tree = *form.TreeView1();
    tree.setCurrentItem(tree.findItems(u"BENCH"_s, Qt::MatchExactly).constFirst());
    form.Timer1Timer();
    GroupPropertiesBox &box = *form.groupPropertiesBox();
    const tGroupItem &group = form.groups()[form.selectedGroupIndex()];

    // Moves: one row at a time over the knob's whole travel and back, with the
    // polling running between them as it does between real mouse events.
    constexpr int kStartRow = 400;
    const int column = box.FaderImg(1)->mapToGlobal(QPoint(0, 0)).x();
    QCursor::setPos(column, kStartRow);
    box.FaderImg1MouseDown(1);
    std::vector<qint64> moveNs;
    moveNs.reserve(std::size_t(moves));
    QElapsedTimer clock;
    for (int i = 0; i < moves; ++i) {
        const int phase = i % 326;
        QCursor::setPos(column, kStartRow - (phase < 163 ? phase + 1 : 325 - phase));
        clock.start();
        box.FaderImg1MouseMove(Qt::NoModifier);
        moveNs.push_back(clock.nsecsElapsed());
        QCoreApplication::processEvents();
    }
    box.FaderImg1MouseUp();

    // Releases: the last move and the release in one turn of the event loop,
    // so the new value cannot go out before the release does.
    std::vector<qint64> releaseNs;
    releaseNs.reserve(std::size_t(releases));
    for (int i = 0; i < releases; ++i) {
        QCursor::setPos(column, kStartRow);
        box.FaderImg1MouseDown(1);
        QCursor::setPos(column, kStartRow - (i % 2 == 0 ? 40 : -40));
        box.FaderImg1MouseMove(Qt::NoModifier);
        const QByteArray expected = settingsDigits(group);
        if (expected == sim.groupSettings(0)) {
            box.FaderImg1MouseUp();
            continue;
        }
        clock.start();
        box.FaderImg1MouseUp();
        const bool reached = runUntil([&] {
            for (int amp = 0; amp < kGroupSize; ++amp) {
                if (sim.groupSettings(amp) != expected)
                    return false;
            }
            return true;
        }, kSettleLimitMs);
        if (!reached) {
            std::fprintf(stderr, "faderbench: the settings did not reach the group\n");
            return 1;
        }
        releaseNs.push_back(clock.nsecsElapsed());
    }

    std::printf("fader apply + repaint per mouse move (%d moves, %d devices polling): median %.1f us, p99 %.1f us\n",
                moves, kAmpCount, percentile(moveNs, 0.5) / 1e3, percentile(moveNs, 0.99) / 1e3);
    std::printf("knob release to settings at all %d devices of the group (%d releases): p50 %.2f ms, p99 %.2f ms\n",
                kGroupSize, releases, percentile(releaseNs, 0.5) / 1e6, percentile(releaseNs, 0.99) / 1e6);
    return 0;
}

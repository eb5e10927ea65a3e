// The device panel refresh with an online device selected, in the real main
// window, and one LED bar repaint, offscreen. The refresh runs five times a
// second on the main thread beside the poll workers, so its cost is taken
// out of the time the main thread has for everything else.
//
//   panelbench [--rounds N]
//
// One simulated amplifier answers on 127.0.0.2; nothing else is contacted.

#include "ampsimulator.h"
#include "controllerstyle.h"
#include "devicepanel.h"
#include "devicetreeview.h"
#include "ledbar.h"
#include "controllercore.h"
#include "mainwindow.h"
#include "benchtiming.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Runs the event loop until done() holds or the deadline passes.
template <typename Condition>
bool waitFor(Condition done, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

// Between two timed calls the event loop runs, so fresh blocks are stored
// as they would be between two ticks.
template <typename Work>
TimingFigures timeRounds(int rounds, Work work)
{
    std::vector<qint64> samples;
    samples.reserve(std::size_t(rounds));
    QElapsedTimer clock;
    for (int round = 0; round < rounds; ++round) {
        QCoreApplication::processEvents();
        clock.start();
        work(round);
        samples.push_back(clock.nsecsElapsed());
    }
    return timingFigures(std::move(samples));
}

void print(const char *what, const TimingFigures &figures)
{
    std::printf("%-40s median %8.1f us   p99 %8.1f us\n", what, figures.medianUs, figures.p99Us);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    applyControllerStyle(application);
    const int rounds = roundsFromCommandLine(application, u"2000"_s);

    AmpSimulator sim;
    const quint16 port = sim.start({{u"127.0.0.2"_s, "AMP1 ", "STAGE"}});
    if (port == 0) {
        std::fprintf(stderr, "panelbench: the simulator could not listen\n");
        return 1;
    }

    ControllerCore core(port);
    TForm1 form(core);
    core.start();
    form.show();
    form.addOrUpdateDevice(u"AMP1 "_s, u"STAGE"_s, u"127.0.0.2"_s);
    if (!waitFor([&] { return form.devices()[1].linkState() == 3; }, 10000)) {
        std::fprintf(stderr, "panelbench: the simulated amplifier did not come online\n");
        return 1;
    }
    const QList<QTreeWidgetItem *> nodes =
        form.TreeView1()->findItems(u"AMP1 "_s, Qt::MatchExactly | Qt::MatchRecursive);
    form.TreeView1()->setCurrentItem(nodes.value(0));
    form.updateSelection();
    form.devicePanel()->refresh();
    if (!form.GroupBox1()->isVisible()) {
        std::fprintf(stderr, "panelbench: the device panel did not show\n");
        return 1;
    }

    print("device panel refresh, device selected", timeRounds(rounds, [&](int) {
        form.devicePanel()->refresh();
    }));

    TDDLedBar *bar = form.devicePanel()->DDLedBar(1);
    print("LED bar repaint, vertical 27 segments", timeRounds(rounds, [&](int round) {
        bar->setPosition(round % 256);
    }));
    TDDLedBar *row = form.devicePanel()->DDLedBar(5);
    print("LED bar repaint, horizontal 42 segments", timeRounds(rounds, [&](int round) {
        row->setPosition(round % 151);
    }));
    return 0;
}

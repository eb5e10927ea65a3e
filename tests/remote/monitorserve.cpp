// Simulated amplifiers polled by a controller core whose HTTP monitor
// listens on 127.0.0.1: what scripts/check-remote points Chromium and
// promtool at. Runs until it is ended.
//
//   monitorserve --port P [--amps N]
//
// The amplifiers answer on 127.0.0.2 onwards (at most 250 of them).

#include "ampsimulator.h"
#include "controllercore.h"
#include "httpmonitor.h"
#include "simulatedlineup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption portOption(u"port"_s, u"The monitor's port on 127.0.0.1."_s, u"P"_s, u"18080"_s);
    const QCommandLineOption ampsOption(u"amps"_s, u"Simulated amplifiers."_s, u"N"_s, u"4"_s);
    parser.addOptions({portOption, ampsOption});
    parser.process(app);
    const int count = std::clamp(parser.value(ampsOption).toInt(), 1, 250);

    AmpSimulator simulator;
    const QList<AmpSimulator::Amp> amps = simulatedLineup(QHostAddress(u"127.0.0.2"_s).toIPv4Address(), count);
    const quint16 devicePort = simulator.start(amps);
    if (devicePort == 0)
        return 1;
    ControllerCore core(devicePort);
    for (const AmpSimulator::Amp &amp : amps)
        core.addOrUpdateDevice(QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address);
    core.start();

    HttpMonitor monitor(core);
    QString error;
    if (!monitor.listen(QHostAddress::LocalHost, quint16(parser.value(portOption).toUInt()), &error)) {
        std::fprintf(stderr, "monitorserve: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(monitor.statusText()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

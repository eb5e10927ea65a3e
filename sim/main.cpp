// ampsim: serves simulated amplifiers on loopback addresses until it is
// interrupted. A developer tool; the controller itself takes no options.

#include "ampsimulator.h"
#include "fastampserver.h"
#include "simulatedlineup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// Ends the event loop on SIGINT or SIGTERM, outside the signal handler.
void quitOnSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Simulated amplifiers on loopback addresses"_s);
    parser.addHelpOption();
    const QCommandLineOption countOption(u"count"_s, u"Number of amplifiers (1 to 255)."_s, u"N"_s, u"4"_s);
    const QCommandLineOption firstOption(u"first"_s, u"Address of the first amplifier (127.x.x.x)."_s,
                                         u"ADDRESS"_s, u"127.0.0.2"_s);
    const QCommandLineOption portOption(u"port"_s, u"TCP port."_s, u"P"_s, u"80"_s);
    const QCommandLineOption namesOption(u"names"_s, u"Comma-separated names."_s, u"LIST"_s);
    const QCommandLineOption groupOption(u"group"_s, u"One group for every amplifier."_s, u"NAME"_s);
    const QCommandLineOption delayOption(u"answer-delay"_s, u"Every answer this many ms after its request."_s,
                                         u"MS"_s, u"0"_s);
    const QCommandLineOption fastOption(u"fast"_s, u"A lean server without fault modes, for benchmarks."_s);
    parser.addOptions({countOption, firstOption, portOption, namesOption, groupOption, delayOption, fastOption});
    parser.process(app);

    bool countOk = false;
    const int count = parser.value(countOption).toInt(&countOk);
    if (!countOk || count < 1 || count > 255) {
        std::fprintf(stderr, "ampsim: --count must be a number from 1 to 255\n");
        return 2;
    }
    bool portOk = false;
    const uint portNumber = parser.value(portOption).toUInt(&portOk);
    if (!portOk || portNumber > 65535) {
        std::fprintf(stderr, "ampsim: --port must be a number from 0 to 65535 (0 picks a free port)\n");
        return 2;
    }
    // Only this machine's loopback network: the simulator must never answer,
    // nor lure a scan, on a real network.
    const QHostAddress first(parser.value(firstOption));
    const quint32 firstNumber = first.toIPv4Address();
    if (first.protocol() != QAbstractSocket::IPv4Protocol || (firstNumber >> 24) != 127
        || ((firstNumber + quint32(count - 1)) >> 24) != 127) {
        std::fprintf(stderr, "ampsim: --first must be a loopback address 127.x.x.x, and all %d amplifiers "
                             "must fit below 127.255.255.255; \"%s\" is refused\n",
                     count, qPrintable(parser.value(firstOption)));
        return 2;
    }
    bool delayOk = false;
    const int delayMs = parser.value(delayOption).toInt(&delayOk);
    if (!delayOk || delayMs < 0 || delayMs > 60000) {
        std::fprintf(stderr, "ampsim: --answer-delay must be a number of ms from 0 to 60000\n");
        return 2;
    }
    const QList<AmpSimulator::Amp> amps = simulatedLineup(firstNumber, count,
                                                          parser.value(namesOption).split(u',', Qt::SkipEmptyParts),
                                                          parser.value(groupOption));

    AmpSimulator simulator;
    simulator.setKeptRequests(0);  // nobody reads them here: hours of polling must not pile up
    FastAmpServer fastServer;
    const quint16 port = parser.isSet(fastOption)
                             ? fastServer.start(amps, quint16(portNumber), std::chrono::milliseconds(delayMs))
                             : simulator.start(amps, quint16(portNumber));
    if (port == 0) {
        std::fprintf(stderr, "ampsim: cannot listen on port %u (ports below 1024 need root; is another "
                             "simulator running?)\n", portNumber);
        return 1;
    }
    for (int i = 0; i < count && !parser.isSet(fastOption); ++i)
        simulator.setAnswerDelay(i, std::chrono::milliseconds(delayMs));
    for (const AmpSimulator::Amp &amp : amps) {
        std::printf("%s:%u  %-5s  %s\n", qPrintable(amp.address), port, amp.name.constData(),
                    amp.group.constData());
    }
    std::printf("scan %s to %s\n", qPrintable(amps.first().address), qPrintable(amps.last().address));
    std::fflush(stdout);

    quitOnSignals(app);
    return QCoreApplication::exec();
}

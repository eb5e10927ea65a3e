// The HTTP monitor under attack, at 255 amplifiers polled by a running core:
//
// 1. 200 silent connections from 127.0.0.2 (each reopened as soon as it is
//    closed) and a client on 127.0.0.3 sending its head a byte a second,
//    while a scraper on 127.0.0.1 asks /metrics --scrapes times, one after
//    the other: the statuses it got, and the refusals by reason.
// 2. Connect, ask /api/v1/events and close at once, as fast as a client
//    thread can, for --seconds: the resident memory idle, at its highest
//    during the flood and after it, and how many requests a normal scrape
//    after it needs to be answered.
//
//   httpattackbench [--scrapes N] [--seconds S]
//
// Loopback addresses only.

#include "benchtiming.h"
#include "controllercore.h"
#include "fastampserver.h"
#include "httpmonitor.h"
#include "processfigures.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDevices = 255;

void runEvents(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The status of one GET on a new connection from 127.0.0.1; 0 when none came within 10 s.
int scrape(quint16 port, const QByteArray &target)
{
    QTcpSocket socket;
    socket.bind(QHostAddress(u"127.0.0.1"_s));
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(10'000))
        return 0;
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(10'000))
        answer += socket.readAll();
    return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : 0;
}

// Silent connections from one address, and a one-byte-a-second client from
// another, on a thread with its own event loop, until it ends.
class Pests final : public QThread
{
public:
    Pests(quint16 port, int silent) : m_port(port), m_silent(silent) {}
    long reopened() const { return m_reopened; }

protected:
    void run() override
    {
        std::vector<std::unique_ptr<QTcpSocket>> silent;
        for (int i = 0; i < m_silent; ++i) {
            silent.push_back(std::make_unique<QTcpSocket>());
            QTcpSocket *socket = silent.back().get();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                ++m_reopened;
                QTimer::singleShot(10, socket, [this, socket] { open(*socket, u"127.0.0.2"_s); });
            });
            open(*socket, u"127.0.0.2"_s);
        }
        QTcpSocket dripper;
        const QByteArray head = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        qsizetype at = 0;
        QTimer drip;
        QObject::connect(&dripper, &QTcpSocket::disconnected, &dripper, [&] {
            ++m_reopened;
            at = 0;
            QTimer::singleShot(10, &dripper, [&] { open(dripper, u"127.0.0.3"_s); });
        });
        QObject::connect(&drip, &QTimer::timeout, &dripper, [&] {
            if (dripper.state() == QAbstractSocket::ConnectedState && at < head.size())
                dripper.write(head.mid(at++, 1));
        });
        open(dripper, u"127.0.0.3"_s);
        drip.start(1000);
        exec();
    }

private:
    void open(QTcpSocket &socket, const QString &from)
    {
        socket.abort();
        socket.bind(QHostAddress(from));
        socket.connectToHost(QHostAddress::LocalHost, m_port);
    }

    quint16 m_port;
    int m_silent;
    std::atomic<long> m_reopened{0};
};

void printRefusals(const HttpListener::Refusals &before, const HttpListener::Refusals &after)
{
    std::printf("refused meanwhile:");
    for (int r = 0; r < HttpListener::kRefusalCount; ++r)
        std::printf(" %s %llu", HttpListener::reasonName(HttpListener::Refusal(r)),
                    static_cast<unsigned long long>(after[std::size_t(r)] - before[std::size_t(r)]));
    std::printf("\n");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption scrapesOption(u"scrapes"_s, u"Scrapes beside the pests."_s, u"N"_s, u"100"_s);
    const QCommandLineOption secondsOption(u"seconds"_s, u"Seconds of connect-ask-close."_s, u"S"_s, u"10"_s);
    parser.addOptions({scrapesOption, secondsOption});
    parser.process(app);
    const int scrapes = std::max(1, parser.value(scrapesOption).toInt());
    const int seconds = std::max(1, parser.value(secondsOption).toInt());

    QList<AmpSimulator::Amp> amps;
    for (int i = 0; i < kDevices; ++i)
        amps.append({u"127.0.1."_s + QString::number(i + 1), "A" + QByteArray::number(i + 1).rightJustified(3, '0') + ' ',
                     i % 2 ? "FOH  " : "STAGE"});
    FastAmpServer amplifiers;
    const quint16 devicePort = amplifiers.start(amps, 0, std::chrono::milliseconds(0));
    if (devicePort == 0)
        return 1;
    ControllerCore core(devicePort);
    for (const AmpSimulator::Amp &amp : amps)
        core.addOrUpdateDevice(QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address);
    core.start();
    HttpMonitor monitor(core);
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    QString error;
    if (!monitor.listen(QHostAddress::LocalHost, port, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    runEvents(3000);

    // 1. Pests and a scraper.
    {
        const HttpListener::Refusals before = monitor.refusals();
        Pests pests(port, 200);
        pests.start();
        runEvents(1000);  // the pests are in place
        std::map<int, int> statuses;
        std::atomic<bool> done = false;
        std::mutex mutex;
        std::thread scraper([&] {
            for (int i = 0; i < scrapes; ++i) {
                const int status = scrape(port, "/metrics");
                const std::lock_guard lock(mutex);
                ++statuses[status];
            }
            done = true;
        });
        QElapsedTimer clock;
        clock.start();
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        scraper.join();
        pests.quit();
        pests.wait();
        std::printf("200 silent connections from 127.0.0.2 (reopened when closed) and a byte a second from "
                    "127.0.0.3;\n%d scrapes of /metrics from 127.0.0.1 in %.1f s, statuses:", scrapes,
                    double(clock.elapsed()) / 1000.0);
        for (const auto &[status, count] : statuses)
            std::printf(" %d x%d", status, count);
        std::printf("; the pests reopened %ld times\n", pests.reopened());
        printRefusals(before, monitor.refusals());
        runEvents(1000);
    }

    // 2. Connect, ask, close.
    {
        runEvents(2000);
        const long idleKiB = residentKiB();
        long highestKiB = idleKiB;
        std::atomic<bool> stop = false;
        std::atomic<long> asked = 0;
        std::thread flooder([&] {
            for (int i = 0; !stop; ++i) {
                QTcpSocket socket;
                socket.bind(QHostAddress(u"127.0.0.%1"_s.arg(10 + i % 100)));
                socket.connectToHost(QHostAddress::LocalHost, port);
                if (!socket.waitForConnected(1000))
                    continue;
                socket.write("GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
                socket.waitForBytesWritten(1000);
                socket.abort();
                ++asked;
            }
        });
        QTimer sample;
        QObject::connect(&sample, &QTimer::timeout, [&] { highestKiB = std::max(highestKiB, residentKiB()); });
        sample.start(100);
        runEvents(seconds * 1000);
        stop = true;
        flooder.join();
        sample.stop();
        // Three scrapes one after the other: the first may meet what the flood left in the kernel's queues.
        std::vector<std::pair<int, qint64>> after;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer answered;
            answered.start();
            std::atomic<int> status = -1;
            std::thread scraper([&] { status = scrape(port, "/metrics"); });
            while (status < 0)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
            scraper.join();
            after.emplace_back(status.load(), answered.elapsed());
        }
        runEvents(1000);
        std::printf("\nconnect, ask /api/v1/events, close: %ld in %d s (%.0f a second)\n", asked.load(), seconds,
                    double(asked.load()) / seconds);
        std::printf("resident memory: idle %ld KiB, highest during the flood %ld KiB (+%ld), after %ld KiB\n",
                    idleKiB, highestKiB, highestKiB - idleKiB, residentKiB());
        std::printf("scrapes of /metrics after it:");
        for (const auto &[status, ms] : after)
            std::printf(" %d in %lld ms,", status, static_cast<long long>(ms));
        std::printf(" formatting jobs pending: %zu, formatted: %llu\n", monitor.jobsPending(),
                    static_cast<unsigned long long>(monitor.jobsFormatted()));
    }
    return 0;
}

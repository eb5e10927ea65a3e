// OSC under attack, at 255 amplifiers polled by a running core: subscribe
// floods from an allowed sender on 127.0.0.2, each for --seconds at
// --rate bytes a second. For each: the bytes the server sent back per byte
// received (all of it, and after the first subscription's whole state),
// how late a 1 ms precise timer beside the tick came (p50, p99, worst),
// and how many feedback messages a real subscriber on 127.0.0.1, renewing
// every 2 s and stepping a fader every 200 ms, received meanwhile. The
// first row is the same without a flood.
//
//   oscfloodbench [--seconds S] [--rate BYTES]
//
// Loopback addresses only: the amplifiers on 127.0.1.x, the server on
// 127.0.0.1, the flood from 127.0.0.2 to ports nobody listens on.

#include "benchtiming.h"
#include "controllercore.h"
#include "fastampserver.h"
#include "latenessprobe.h"
#include "oscfeedbackstate.h"
#include "oscpacket.h"
#include "oscserver.h"

#include <lo/lo.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDevices = 255;
constexpr int kGroups = 15;

void runEventLoop(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QByteArray subscribe(int port)
{
    lo_message m = lo_message_new();
    if (port > 0)
        lo_message_add_int32(m, port);
    std::size_t size = 0;
    void *bytes = lo_message_serialise(m, "/amp/subscribe", nullptr, &size);
    QByteArray packet(static_cast<const char *>(bytes), qsizetype(size));
    std::free(bytes);
    lo_message_free(m);
    return packet;
}

QByteArray bundleOf(const std::vector<QByteArray> &messages)
{
    QByteArray bundle("#bundle\0\0\0\0\0\0\0\0\1", 16);
    for (const QByteArray &message : messages) {
        char size[4];
        qToBigEndian<qint32>(qint32(message.size()), size);
        bundle += QByteArray(size, 4) + message;
    }
    return bundle;
}

// The packets of a flood: the i-th one sent is make(i).
struct Flood
{
    const char *name;
    std::function<QByteArray(long)> make;
};

// A subscriber as a desk would be: renews every 2 s, steps a fader every
// 200 ms, counts the feedback messages it gets.
class RealSubscriber final
{
public:
    explicit RealSubscriber(quint16 serverPort) : m_serverPort(serverPort)
    {
        m_socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] {
            while (m_socket.hasPendingDatagrams()) {
                const auto messages = OscPacket::decode(m_socket.receiveDatagram().data());
                m_messages += messages ? long(messages->size()) : 0;
            }
        });
        QObject::connect(&m_renew, &QTimer::timeout, [this] { send(subscribe(0)); });
        QObject::connect(&m_step, &QTimer::timeout, [this] {
            lo_message m = lo_message_new();
            lo_message_add_int32(m, (m_steps++ % 2) ? -1 : 1);
            std::size_t size = 0;
            void *bytes = lo_message_serialise(m, "/amp/group/G0/volume/a/step", nullptr, &size);
            send(QByteArray(static_cast<const char *>(bytes), qsizetype(size)));
            std::free(bytes);
            lo_message_free(m);
        });
        send(subscribe(0));
        m_renew.start(2000);
        m_step.start(200);
    }
    void renewNow() { send(subscribe(0)); }
    long messages() const { return m_messages; }
    void resetCount() { m_messages = 0; }

private:
    void send(const QByteArray &packet) { m_socket.writeDatagram(packet, QHostAddress::LocalHost, m_serverPort); }

    quint16 m_serverPort;
    QUdpSocket m_socket;
    QTimer m_renew;
    QTimer m_step;
    long m_messages = 0;
    int m_steps = 0;
};

// Sends the flood from 127.0.0.2 at the rate, on its own thread, until stopped.
class FloodSender final
{
public:
    FloodSender(const Flood &flood, quint16 port, long bytesPerSecond)
        : m_thread([this, flood, port, bytesPerSecond] { run(flood, port, bytesPerSecond); })
    {
    }
    ~FloodSender() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    long bytes() const { return m_bytes; }

private:
    void run(const Flood &flood, quint16 port, long bytesPerSecond)
    {
        QUdpSocket socket;
        socket.bind(QHostAddress(u"127.0.0.2"_s), 0);
        const auto start = std::chrono::steady_clock::now();
        long sent = 0;
        for (long i = 0; !m_stop; ++i) {
            const QByteArray packet = flood.make(i);
            if (socket.writeDatagram(packet, QHostAddress::LocalHost, port) > 0)
                sent += packet.size();
            m_bytes = sent;
            // Paced in bytes: sleep while ahead of the rate.
            const auto due = start + std::chrono::microseconds(sent * 1'000'000 / bytesPerSecond);
            if (due > std::chrono::steady_clock::now() + std::chrono::milliseconds(1))
                std::this_thread::sleep_until(due);
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<long> m_bytes{0};
    std::thread m_thread;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption secondsOption(u"seconds"_s, u"Seconds per flood."_s, u"S"_s, u"5"_s);
    const QCommandLineOption rateOption(u"rate"_s, u"Flood bytes per second."_s, u"BYTES"_s, u"1000000"_s);
    parser.addOptions({secondsOption, rateOption});
    parser.process(app);
    const int seconds = std::max(1, parser.value(secondsOption).toInt());
    const long rate = std::max(1L, parser.value(rateOption).toLong());

    QList<AmpSimulator::Amp> amps;
    for (int i = 0; i < kDevices; ++i)
        amps.append({u"127.0.1."_s + QString::number(i + 1), "A" + QByteArray::number(i + 1).rightJustified(3, '0') + ' ',
                     "G" + QByteArray::number(i % kGroups).leftJustified(4, ' ')});
    FastAmpServer amplifiers;
    const quint16 devicePort = amplifiers.start(amps, 0, std::chrono::milliseconds(0));
    if (devicePort == 0)
        return 1;
    ControllerCore core(devicePort);
    for (const AmpSimulator::Amp &amp : amps)
        core.addOrUpdateDevice(QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address);
    core.start();
    runEventLoop(3000);

    // The work on the tick's thread that is not sliced: a look at the whole
    // state (on a change, a new subscriber, a renewal due its whole state).
    {
        OscFeedbackState state;
        OscFeedbackTable table;
        std::vector<qint64> lookNs;
        QElapsedTimer clock;
        for (int round = 0; round < 200; ++round) {
            clock.start();
            table.update(state.collect(core));
            lookNs.push_back(clock.nsecsElapsed());
        }
        const TimingFigures look = timingFigures(lookNs);
        std::printf("a look at the whole state (%zu addresses): p50 %.0f us, p99 %.0f us\n", table.size(),
                    look.medianUs, look.p99Us);
    }

    OscServer server(core);
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    const quint16 port = probe.localPort();
    probe.close();
    QString error;
    if (!server.listen(QHostAddress::LocalHost, port, u"127.0.0.0/8"_s, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    RealSubscriber desk(port);
    runEventLoop(1000);
    const quint64 wholeState = server.feedbackBytesSent();
    std::printf("%d amplifiers, %d groups; the whole state is %llu bytes; floods of %ld bytes/s for %d s "
                "from 127.0.0.2\n\n",
                kDevices, kGroups, static_cast<unsigned long long>(wholeState), rate, seconds);

    const std::vector<QByteArray> bundled = [] {
        std::vector<QByteArray> parts;
        for (int i = 0; i < 56; ++i)
            parts.push_back(subscribe(30'000 + i));
        return parts;
    }();
    const Flood floods[] = {
        {"no flood", nullptr},
        {"renewals: /amp/subscribe i 20000 again and again", [](long) { return subscribe(20'000); }},
        {"a new port in every packet", [](long i) { return subscribe(int(20'001 + i % 40'000)); }},
        {"bundles of 56 subscribes to new ports", [&](long) { return bundleOf(bundled); }},
    };
    std::printf("%-50s %10s %10s %8s %14s %8s %8s %8s %10s\n", "flood", "bytes in", "bytes out", "out/in",
                "out/in after 1", "late p50", "p99 us", "worst", "desk msgs");
    for (const Flood &flood : floods) {
        // Each flood from a clean slate: the flooder's subscriptions gone.
        server.listen(QHostAddress::LocalHost, port, u"127.0.0.0/8"_s, nullptr);
        desk.renewNow();
        runEventLoop(500);
        desk.resetCount();
        const quint64 outBefore = server.feedbackBytesSent();
        LatenessProbe late;
        late.start();
        std::unique_ptr<FloodSender> sender;
        if (flood.make)
            sender = std::make_unique<FloodSender>(flood, port, rate);
        runEventLoop(seconds * 1000);
        if (sender)
            sender->stop();
        const TimingFigures figures = late.figures();
        const double in = sender ? double(sender->bytes()) : 0;
        // The desk's own feedback counted out: only what the flood brought.
        const double out = double(server.feedbackBytesSent() - outBefore);
        const double afterFirst = std::max(0.0, out - double(wholeState));
        std::printf("%-50s %10.0f %10.0f %8.3f %14.3f %8.0f %8.0f %8.0f %10ld\n", flood.name, in, out,
                    in > 0 ? out / in : 0.0, in > 0 ? afterFirst / in : 0.0, figures.medianUs, figures.p99Us,
                    late.worstUs(), desk.messages());
    }
    std::printf("\n(bytes out: every feedback byte the server sent during the flood, the desk's changes included;\n"
                " out/in after 1: without one whole state)\n");
    return 0;
}

// servicesoak: ampcontrold as a service over a long run. Starts the built
// ampcontrold on a project of 255 simulated amplifiers (127.0.5.1 onwards,
// in this process's simulator) with its HTTP monitor and OSC server on
// loopback, then for the run's length: scrapes every monitor endpoint four
// times a second, sends 50 OSC commands a second (every tenth a ping that
// must be answered), keeps 4 OSC subscribers renewing, and lets amplifiers
// flap (refuse connections), stall (accept and never answer) and flood
// (endless or garbage answers) for a few seconds each. Prints the service's
// resident memory, descriptors and threads every minute.
//
//   servicesoak [--minutes M] [--faults-per-second F] [--exit-limit-ms L]
//
// Exits with 1 when an answer failed (an HTTP status other than 200, a
// network error, a ping without a pong, a subscriber that got no feedback
// for a minute), a stdout line is malformed, fewer lines came out than the
// events /metrics last counted (the journal lost one), a descriptor or
// thread is left over once the load has stopped and every amplifier answers
// again, the exit after SIGTERM takes more than 100 ms (the test suite's
// short run allows seconds: a loaded machine is no fault of the service),
// or resident memory grew by more than 1 MiB over the last half of the run
// after the event log filled (the last 30 minutes of an hour).

#include "oscpacket.h"
#include "projectfile.h"
#include "simulatedlineup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkDatagram>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using Fault = AmpSimulator::Fault;

namespace {

constexpr int kAmps = 255;
constexpr quint32 kFirstAddress = 0x7F000501;  // 127.0.5.1
constexpr int kEventLogCapacity = 10'000;
constexpr qint64 kGrowthLimitKiB = 1024;
constexpr int kSubscribers = 4;
constexpr std::array kEndpoints{"/", "/healthz", "/metrics", "/api/v1/devices", "/api/v1/groups",
                                "/api/v1/events"};

struct ProcessSample
{
    qint64 atMs = 0;
    qint64 residentKiB = 0;
    qsizetype descriptors = 0;
    qsizetype threads = 0;
};

ProcessSample sampleOf(qint64 pid, qint64 atMs)
{
    const QString proc = u"/proc/"_s + QString::number(pid);
    ProcessSample s;
    s.atMs = atMs;
    QFile status(proc + u"/status"_s);
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                s.residentKiB = line.mid(6).trimmed().split(' ').first().toLongLong();
        }
    }
    s.descriptors = QDir(proc + u"/fd"_s).entryList(QDir::System | QDir::NoDotAndDotDot).size();
    s.threads = QDir(proc + u"/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    return s;
}

quint16 freePort(bool udp)
{
    if (udp) {
        QUdpSocket socket;
        socket.bind(QHostAddress::LocalHost, 0);
        return socket.localPort();
    }
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// An event line: local time, severity, amplifier (may be empty), sentence.
bool wellFormed(const QByteArray &line)
{
    static const QRegularExpression shape(
        u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\t(Info|Warning|Alarm)\\t[^\\t]*\\t[^\\t]+$"_s);
    const QString text = QString::fromUtf8(line);
    return text.toUtf8() == line && shape.match(text).hasMatch();
}

class Soak final : public QObject
{
public:
    Soak(const QList<AmpSimulator::Amp> &amps, quint16 devicePort, AmpSimulator &simulator, double faultsPerSecond,
         double exitLimitMs)
        : m_amps(amps), m_devicePort(devicePort), m_simulator(simulator), m_faultsPerSecond(faultsPerSecond),
          m_exitLimitMs(exitLimitMs)
    {
    }

    bool start(const QString &projectPath, quint16 httpPort, quint16 oscPort);
    void runLoad(qint64 ms);
    bool stopLoadAndSettle();
    bool finish();
    bool passed() const;
    void report(qint64 runMs) const;

private:
    void readLines();
    void scrape();
    void sendCommand();
    void renewSubscribers();
    void changeFaults();
    void takeSample();
    void settle(qint64 ms);

    QList<AmpSimulator::Amp> m_amps;
    quint16 m_devicePort;
    AmpSimulator &m_simulator;
    double m_faultsPerSecond;
    double m_exitLimitMs;
    QProcess m_daemon;
    QElapsedTimer m_clock;
    QByteArray m_pendingOutput;
    quint16 m_httpPort = 0;
    quint16 m_oscPort = 0;
    std::unique_ptr<QNetworkAccessManager> m_http;
    std::array<QNetworkReply *, kEndpoints.size()> m_inFlight{};
    QUdpSocket m_commander;
    std::array<std::unique_ptr<QUdpSocket>, kSubscribers> m_subscribers;
    std::array<qint64, kSubscribers> m_feedbackThisMinute{};
    std::vector<QTimer *> m_timers;
    std::vector<std::pair<int, qint64>> m_faulted;  // amp, end of its fault
    std::vector<ProcessSample> m_samples;
    ProcessSample m_settledAtStart;
    ProcessSample m_settledAtEnd;
    qint64 m_logFilledMs = -1;
    qint64 m_eventsTotal = 0;
    qint64 m_lines = 0, m_onlineLines = 0, m_malformed = 0;
    qint64 m_answers = 0, m_failedAnswers = 0, m_commands = 0, m_pings = 0, m_pongs = 0;
    qint64 m_silentSubscriberMinutes = 0, m_faultsStarted = 0;
    double m_exitMs = -1;
    int m_exitCode = -1;
};

bool Soak::start(const QString &projectPath, quint16 httpPort, quint16 oscPort)
{
    m_httpPort = httpPort;
    m_oscPort = oscPort;
    m_clock.start();
    m_daemon.setProgram(QStringLiteral(AMPCONTROLD_PATH));
    m_daemon.setArguments({u"--device-port"_s, QString::number(m_devicePort), projectPath});
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&m_daemon, &QProcess::readyReadStandardOutput, this, [this] { readLines(); });
    m_daemon.start();
    if (!m_daemon.waitForStarted())
        return false;
    // Every amplifier online, then a quiet moment: the figures to compare the end with.
    QElapsedTimer waited;
    waited.start();
    while (m_onlineLines < kAmps && waited.elapsed() < 120'000 && m_daemon.state() == QProcess::Running)
        settle(200);
    if (m_onlineLines < kAmps)
        return false;
    settle(3000);
    m_settledAtStart = sampleOf(m_daemon.processId(), m_clock.elapsed());
    return true;
}

void Soak::readLines()
{
    m_pendingOutput += m_daemon.readAllStandardOutput();
    qsizetype end = 0;
    while ((end = m_pendingOutput.indexOf('\n')) >= 0) {
        const QByteArray line = m_pendingOutput.left(end);
        m_pendingOutput.remove(0, end + 1);
        ++m_lines;
        if (!wellFormed(line)) {
            if (++m_malformed <= 5)
                std::fprintf(stderr, "servicesoak: malformed line: %s\n", line.toHex(' ').constData());
        } else if (line.contains("\tonline: first answer")) {
            ++m_onlineLines;
        }
    }
}

void Soak::settle(qint64 ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Soak::runLoad(qint64 ms)
{
    m_http = std::make_unique<QNetworkAccessManager>();
    m_commander.bind(QHostAddress::LocalHost, 0);
    QObject::connect(&m_commander, &QUdpSocket::readyRead, this, [this] {
        while (m_commander.hasPendingDatagrams()) {
            if (m_commander.receiveDatagram().data().startsWith("/amp/pong"))
                ++m_pongs;
        }
    });
    for (std::size_t i = 0; i < m_subscribers.size(); ++i) {
        m_subscribers[i] = std::make_unique<QUdpSocket>();
        m_subscribers[i]->bind(QHostAddress::LocalHost, 0);
        QUdpSocket *socket = m_subscribers[i].get();
        QObject::connect(socket, &QUdpSocket::readyRead, this, [this, socket, i] {
            while (socket->hasPendingDatagrams()) {
                socket->receiveDatagram();
                ++m_feedbackThisMinute[i];
            }
        });
    }
    const auto every = [this](int intervalMs, auto work) {
        auto *timer = new QTimer(this);
        QObject::connect(timer, &QTimer::timeout, this, work);
        timer->start(intervalMs);
        m_timers.push_back(timer);
    };
    renewSubscribers();
    every(250, [this] { scrape(); });
    every(20, [this] { sendCommand(); });
    every(4000, [this] { renewSubscribers(); });
    every(std::max(1, int(1000 / m_faultsPerSecond)), [this] { changeFaults(); });
    every(10'000, [this] { takeSample(); });
    settle(ms);
}

void Soak::scrape()
{
    for (std::size_t e = 0; e < kEndpoints.size(); ++e) {
        if (m_inFlight[e])
            continue;  // the last one is still being answered
        const QUrl url(u"http://127.0.0.1:%1%2"_s.arg(m_httpPort).arg(QLatin1StringView(kEndpoints[e])));
        QNetworkReply *reply = m_http->get(QNetworkRequest(url));
        m_inFlight[e] = reply;
        QObject::connect(reply, &QNetworkReply::finished, this, [this, reply, e] {
            m_inFlight[e] = nullptr;
            reply->deleteLater();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            const QByteArray body = reply->readAll();
            ++m_answers;
            if (reply->error() != QNetworkReply::NoError || status != 200 || body.isEmpty()) {
                if (++m_failedAnswers <= 5)
                    std::fprintf(stderr, "servicesoak: %s answered %d: %s\n", kEndpoints[e], status,
                                 qUtf8Printable(reply->errorString()));
                return;
            }
            if (kEndpoints[e] == std::string_view("/metrics")) {
                static const QRegularExpression events(u"^amp_controller_events_total\\{[^}]*\\} (\\d+)$"_s,
                                                       QRegularExpression::MultilineOption);
                qint64 total = 0;
                for (const QRegularExpressionMatch &m : events.globalMatch(QString::fromUtf8(body)))
                    total += m.captured(1).toLongLong();
                m_eventsTotal = total;
                if (m_logFilledMs < 0 && total >= kEventLogCapacity)
                    m_logFilledMs = m_clock.elapsed();
            }
        });
    }
}

void Soak::sendCommand()
{
    const auto at = [](const QByteArray &address, const std::optional<OscValue> &value) {
        return OscPacket::encode(address, value);
    };
    QRandomGenerator &random = *QRandomGenerator::global();
    const AmpSimulator::Amp &amp = m_amps[random.bounded(int(m_amps.size()))];
    const QByteArray group = "/amp/group/" + amp.group.trimmed();
    QByteArray packet;
    switch (m_commands++ % 10) {
    case 0: packet = at("/amp/ping", std::nullopt); ++m_pings; break;
    case 1: packet = at(group + "/mute", OscValue::integer(1)); break;
    case 2: packet = at(group + "/mute", OscValue::integer(0)); break;
    case 3: packet = at(group + "/volume/a/step", OscValue::integer(random.bounded(2) ? 1 : -1)); break;
    case 4: packet = at(group + "/input/b", OscValue::real(-float(random.bounded(30)))); break;
    case 5: packet = at(group + "/mute/toggle", std::nullopt); break;
    case 6: packet = at(group + "/limiter/a/step", OscValue::integer(random.bounded(2) ? 1 : -1)); break;
    default:
        packet = at("/amp/device/" + amp.address.toLatin1() + "/mute/" + (random.bounded(2) ? "a" : "b"),
                    OscValue::integer(int(random.bounded(2))));
    }
    m_commander.writeDatagram(packet, QHostAddress::LocalHost, m_oscPort);
}

void Soak::renewSubscribers()
{
    for (const auto &socket : m_subscribers)
        socket->writeDatagram(OscPacket::encode("/amp/subscribe", std::nullopt), QHostAddress::LocalHost, m_oscPort);
}

// Ends the faults that are due and starts one more: a few seconds of refused
// connections, a stall, or a flood.
void Soak::changeFaults()
{
    const qint64 now = m_clock.elapsed();
    std::erase_if(m_faulted, [&](const std::pair<int, qint64> &fault) {
        if (fault.second > now)
            return false;
        m_simulator.setFault(fault.first, Fault::None);
        return true;
    });
    QRandomGenerator &random = *QRandomGenerator::global();
    const int amp = random.bounded(kAmps);
    if (std::any_of(m_faulted.begin(), m_faulted.end(), [&](const auto &fault) { return fault.first == amp; }))
        return;
    constexpr std::array kFaults{Fault::Refuse, Fault::Refuse, Fault::Stall, Fault::HugeLength, Fault::Garbage,
                                 Fault::Drip, Fault::UnaskedThenClose};
    m_simulator.setFault(amp, kFaults[std::size_t(random.bounded(int(kFaults.size())))]);
    m_faulted.emplace_back(amp, now + 1000 + random.bounded(5000));
    ++m_faultsStarted;
}

void Soak::takeSample()
{
    m_samples.push_back(sampleOf(m_daemon.processId(), m_clock.elapsed()));
    if (m_samples.size() % 6 != 0)
        return;
    const ProcessSample &s = m_samples.back();
    std::printf("minute %2zu: RSS %.1f MiB, %lld descriptors, %lld threads; events %lld%s; answers %lld "
                "(%lld failed); OSC commands %lld, pings %lld, pongs %lld; feedback",
                m_samples.size() / 6, double(s.residentKiB) / 1024, qlonglong(s.descriptors),
                qlonglong(s.threads), qlonglong(m_eventsTotal), m_logFilledMs >= 0 ? " (log full)" : "",
                qlonglong(m_answers), qlonglong(m_failedAnswers), qlonglong(m_commands), qlonglong(m_pings),
                qlonglong(m_pongs));
    for (qint64 &count : m_feedbackThisMinute) {
        std::printf(" %lld", qlonglong(count));
        m_silentSubscriberMinutes += count == 0 ? 1 : 0;
        count = 0;
    }
    std::printf("; lines %lld (%lld malformed)\n", qlonglong(m_lines), qlonglong(m_malformed));
    std::fflush(stdout);
}

bool Soak::stopLoadAndSettle()
{
    for (QTimer *timer : m_timers)
        timer->stop();
    for (const auto &[amp, end] : m_faulted)
        m_simulator.setFault(amp, Fault::None);
    m_faulted.clear();
    // Answers still under way finish; then the client's connections close.
    settle(2000);
    const qint64 unanswered = m_pings - m_pongs;
    if (unanswered > 0)
        std::fprintf(stderr, "servicesoak: %lld pings without a pong\n", qlonglong(unanswered));
    m_failedAnswers += std::max<qint64>(0, unanswered);
    m_http.reset();
    for (auto &socket : m_subscribers)
        socket.reset();
    // A stalled amplifier is held for at most 6.25 s per attempt.
    settle(8000);
    m_settledAtEnd = sampleOf(m_daemon.processId(), m_clock.elapsed());
    return m_daemon.state() == QProcess::Running;
}

bool Soak::finish()
{
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(m_daemon.processId()), SIGTERM);
    if (!m_daemon.waitForFinished(10'000))
        return false;
    m_exitMs = double(clock.nsecsElapsed()) / 1e6;
    m_exitCode = m_daemon.exitStatus() == QProcess::NormalExit ? m_daemon.exitCode() : -1;
    readLines();
    return true;
}

// The median of up to three samples from `from` on, and of the last three.
qint64 medianResident(std::vector<ProcessSample>::const_iterator from, std::vector<ProcessSample>::const_iterator to)
{
    std::vector<qint64> values;
    for (auto it = from; it != to && values.size() < 3; ++it)
        values.push_back(it->residentKiB);
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void Soak::report(qint64 runMs) const
{
    const qint64 windowMs = runMs / 2;
    const qint64 windowStart = std::max(m_settledAtStart.atMs + runMs - windowMs, m_logFilledMs);
    const auto first = std::find_if(m_samples.begin(), m_samples.end(),
                                    [&](const ProcessSample &s) { return s.atMs >= windowStart; });
    std::printf("run of %.1f minutes at %d amplifiers, %lld faults started\n", double(runMs) / 60'000, kAmps,
                qlonglong(m_faultsStarted));
    if (m_logFilledMs < 0 || std::distance(first, m_samples.end()) < 6) {
        std::printf("resident memory: not checked (the event log %s)\n",
                    m_logFilledMs < 0 ? "did not fill" : "filled too late for a window of a minute");
    } else {
        const qint64 before = medianResident(first, m_samples.end());
        const qint64 after = medianResident(m_samples.end() - 3, m_samples.end());
        std::printf("resident memory: %.1f MiB at the start, %.1f MiB when the log filled at minute %.1f, "
                    "%.1f MiB at the end: %+lld KiB over the last %.1f minutes (limit %lld KiB)\n",
                    double(m_settledAtStart.residentKiB) / 1024, double(before) / 1024,
                    double(m_logFilledMs) / 60'000, double(after) / 1024, qlonglong(after - before),
                    double(m_samples.back().atMs - first->atMs) / 60'000, qlonglong(kGrowthLimitKiB));
    }
    std::printf("settled, start and end: %lld and %lld descriptors, %lld and %lld threads\n",
                qlonglong(m_settledAtStart.descriptors), qlonglong(m_settledAtEnd.descriptors),
                qlonglong(m_settledAtStart.threads), qlonglong(m_settledAtEnd.threads));
    std::printf("answers %lld, failed %lld; stdout lines %lld for %lld events, malformed %lld; subscriber-minutes "
                "without feedback %lld; SIGTERM to exit %.1f ms (limit %.0f), exit status %d\n",
                qlonglong(m_answers), qlonglong(m_failedAnswers), qlonglong(m_lines), qlonglong(m_eventsTotal),
                qlonglong(m_malformed),
                qlonglong(m_silentSubscriberMinutes), m_exitMs, m_exitLimitMs, m_exitCode);
}

bool Soak::passed() const
{
    bool grew = false;
    if (m_logFilledMs >= 0 && !m_samples.empty()) {
        const qint64 runMs = m_samples.back().atMs - m_settledAtStart.atMs;
        const qint64 windowStart = std::max(m_samples.back().atMs - runMs / 2, m_logFilledMs);
        const auto first = std::find_if(m_samples.begin(), m_samples.end(),
                                        [&](const ProcessSample &s) { return s.atMs >= windowStart; });
        if (std::distance(first, m_samples.end()) >= 6)
            grew = medianResident(m_samples.end() - 3, m_samples.end()) - medianResident(first, m_samples.end())
                   > kGrowthLimitKiB;
    }
    return !grew && m_failedAnswers == 0 && m_malformed == 0 && m_lines >= m_eventsTotal
           && m_silentSubscriberMinutes == 0
           && m_settledAtEnd.descriptors <= m_settledAtStart.descriptors
           && m_settledAtEnd.threads <= m_settledAtStart.threads && m_exitMs >= 0 && m_exitMs <= m_exitLimitMs
           && m_exitCode == 0;
}

QString writeProjectFile(const QTemporaryDir &dir, const QList<AmpSimulator::Amp> &amps, quint16 httpPort,
                         quint16 oscPort)
{
    Project project;
    project.groups = {{u"STAGE"_s, {}, 150, 150, 150, 150, 0, 0}, {u"FOH"_s, {}, 150, 150, 150, 150, 0, 0}};
    for (const AmpSimulator::Amp &amp : amps)
        project.devices.append({QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address});
    const QString path = dir.filePath(u"soak.amp"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(writeProject(project)) < 0
        || file.write("[Remote]\nHttpPort=" + QByteArray::number(httpPort) + "\nOscPort="
                      + QByteArray::number(oscPort) + '\n') < 0)
        return {};
    return path;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption minutesOption(u"minutes"_s, u"Length of the run under load."_s, u"M"_s, u"60"_s);
    const QCommandLineOption faultsOption(u"faults-per-second"_s, u"Faults started per second."_s, u"F"_s,
                                          u"10"_s);
    const QCommandLineOption exitOption(u"exit-limit-ms"_s, u"Longest exit after SIGTERM that passes."_s, u"L"_s,
                                        u"100"_s);
    parser.addOptions({minutesOption, faultsOption, exitOption});
    parser.process(app);
    const double minutes = std::max(0.1, parser.value(minutesOption).toDouble());
    const double faultsPerSecond = std::clamp(parser.value(faultsOption).toDouble(), 0.1, 100.0);

    const QList<AmpSimulator::Amp> amps = simulatedLineup(kFirstAddress, kAmps);
    AmpSimulator simulator;
    simulator.setKeptRequests(0);
    const quint16 devicePort = simulator.start(amps);
    for (int amp = 0; amp < kAmps; ++amp)
        simulator.setHugeBytes(amp, 256 * 1024);
    QTemporaryDir dir;
    const quint16 httpPort = freePort(false);
    const quint16 oscPort = freePort(true);
    const QString project = dir.isValid() ? writeProjectFile(dir, amps, httpPort, oscPort) : QString();
    if (devicePort == 0 || project.isEmpty()) {
        std::fprintf(stderr, "servicesoak: cannot start the simulator or write the project\n");
        return 1;
    }

    Soak soak(amps, devicePort, simulator, faultsPerSecond, parser.value(exitOption).toDouble());
    if (!soak.start(project, httpPort, oscPort)) {
        std::fprintf(stderr, "servicesoak: ampcontrold did not start or did not poll all %d amplifiers\n", kAmps);
        return 1;
    }
    const auto runMs = qint64(minutes * 60'000);
    soak.runLoad(runMs);
    if (!soak.stopLoadAndSettle() || !soak.finish()) {
        std::fprintf(stderr, "servicesoak: ampcontrold ended during the run or did not end after SIGTERM\n");
        return 1;
    }
    soak.report(runMs);
    const bool passed = soak.passed();
    std::printf("%s\n", passed ? "passed" : "FAILED");
    return passed ? 0 : 1;
}

#include "metricstext.h"

#include "blockfigures.h"
#include "names.h"

#include <QLocale>

#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace MetricsText {

namespace {

using MonitorViews::Device;

class Writer
{
public:
    void family(const char *name, const char *type, const char *help)
    {
        m_name = name;
        m_text += "# HELP ";
        m_text += name;
        m_text += ' ';
        m_text += help;
        m_text += "\n# TYPE ";
        m_text += name;
        m_text += ' ';
        m_text += type;
        m_text += '\n';
    }

    // The device's labels, then one more pair when extraName is set.
    void sample(const QByteArray &deviceLabels, const char *extraName, const char *extraValue, double value)
    {
        m_text += m_name;
        if (!deviceLabels.isEmpty() || extraName) {
            m_text += '{';
            m_text += deviceLabels;
            if (extraName) {
                if (!deviceLabels.isEmpty())
                    m_text += ',';
                m_text += extraName;
                m_text += "=\"";
                m_text += extraValue;
                m_text += '"';
            }
            m_text += '}';
        }
        m_text += ' ';
        m_text += number(value);
        m_text += '\n';
    }

    QByteArray take() { return std::move(m_text); }

private:
    static QByteArray number(double value)
    {
        return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
    }

    QByteArray m_text;
    const char *m_name = "";
};

QByteArray deviceLabels(const Device &device)
{
    return "name=\"" + escapedLabelValue(withoutTrailingBlanks(device.name)) + "\",group=\""
           + escapedLabelValue(withoutTrailingBlanks(device.group)) + "\",address=\""
           + escapedLabelValue(device.address) + '"';
}

struct Row
{
    QByteArray labels;
    const Device *device;
    std::optional<BlockFigures::Figures> figures;
};

constexpr const char *kChannels[2] = {"a", "b"};

void deviceFamilies(Writer &out, const QList<Row> &rows)
{
    const auto each = [&](const char *name, const char *type, const char *help,
                          const std::function<void(const Row &)> &write) {
        out.family(name, type, help);
        for (const Row &row : rows)
            write(row);
    };
    const auto perChannel = [&](const char *name, const char *help,
                                const std::function<double(const BlockFigures::Channel &)> &value) {
        each(name, "gauge", help, [&](const Row &row) {
            if (row.figures) {
                for (int c = 0; c < 2; ++c)
                    out.sample(row.labels, "channel", kChannels[c], value(row.figures->channels[std::size_t(c)]));
            }
        });
    };

    each("amp_up", "gauge", "1 while the amplifier answers its polls, else 0.", [&](const Row &row) {
        out.sample(row.labels, nullptr, nullptr, row.device->link == MonitorViews::Link::Online ? 1 : 0);
    });
    each("amp_severity", "gauge",
         "How bad the amplifier's state is: 0 fine, 1 warning, 2 alarm, 3 not online.",
         [&](const Row &row) { out.sample(row.labels, nullptr, nullptr, row.device->severity); });
    each("amp_exchange_seconds", "gauge", "Median duration of the last 32 successful status exchanges.",
         [&](const Row &row) {
             if (row.device->medianExchangeMs)
                 out.sample(row.labels, nullptr, nullptr, *row.device->medianExchangeMs / 1000);
         });
    each("amp_poll_loss_ratio", "gauge", "Share of poll attempts that failed over the last minute (0-1).",
         [&](const Row &row) {
             if (row.device->lossPercent)
                 out.sample(row.labels, nullptr, nullptr, *row.device->lossPercent / 100);
         });
    each("amp_poll_attempts_total", "counter", "Poll exchanges attempted since the amplifier was added.",
         [&](const Row &row) { out.sample(row.labels, nullptr, nullptr, double(row.device->pollAttempts)); });
    each("amp_poll_failures_total", "counter", "Poll exchanges that failed since the amplifier was added.",
         [&](const Row &row) { out.sample(row.labels, nullptr, nullptr, double(row.device->pollFailures)); });

    perChannel("amp_channel_fault", "1 while the channel reports a fault, else 0.",
               [](const BlockFigures::Channel &c) { return c.ok == false ? 1.0 : 0.0; });
    perChannel("amp_channel_muted", "1 while the channel is muted, else 0.",
               [](const BlockFigures::Channel &c) { return c.muted ? 1.0 : 0.0; });
    perChannel("amp_output_peak_volts", "Output peak voltage of the channel.",
               [](const BlockFigures::Channel &c) { return c.outputPeakVolts; });
    perChannel("amp_output_current_amperes", "Average output current of the channel.",
               [](const BlockFigures::Channel &c) { return c.currentAmperes; });
    perChannel("amp_output_power_watts", "Average output voltage times average output current of the channel.",
               [](const BlockFigures::Channel &c) { return c.powerWatts; });

    each("amp_speaker_impedance_ohms", "gauge",
         "Speaker impedance the channel reports; no sample while it shows no figure (open, ----).",
         [&](const Row &row) {
             if (!row.figures)
                 return;
             for (int c = 0; c < 2; ++c) {
                 if (const auto ohms = row.figures->channels[std::size_t(c)].impedanceOhms)
                     out.sample(row.labels, "channel", kChannels[c], *ohms);
             }
         });

    each("amp_temperature_celsius", "gauge", "Temperature of the amplifier stage (amp) and the power supply (psu).",
         [&](const Row &row) {
             if (!row.figures)
                 return;
             if (row.figures->ampTemperatureCelsius)
                 out.sample(row.labels, "sensor", "amp", *row.figures->ampTemperatureCelsius);
             if (row.figures->psuTemperatureCelsius)
                 out.sample(row.labels, "sensor", "psu", *row.figures->psuTemperatureCelsius);
         });
    each("amp_mains_volts", "gauge", "Mains (AC input) voltage.", [&](const Row &row) {
        if (row.figures)
            out.sample(row.labels, nullptr, nullptr, row.figures->mainsVolts);
    });
    each("amp_fan_ratio", "gauge", "Fan speed as a share of full speed (0-1).", [&](const Row &row) {
        if (row.figures && row.figures->fanPercent)
            out.sample(row.labels, nullptr, nullptr, *row.figures->fanPercent / 100.0);
    });
}

void controllerFamilies(Writer &out, const MonitorViews::Controller &controller,
                        const HttpListener::Refusals &refusals)
{
    const QByteArray none;
    out.family("amp_controller_tick_running", "gauge",
               "1 while the polling tick runs (/healthz answers 200), else 0.");
    out.sample(none, nullptr, nullptr, controller.tickRunning ? 1 : 0);
    out.family("amp_controller_devices", "gauge", "Amplifiers in the device table.");
    out.sample(none, nullptr, nullptr, controller.devices);
    out.family("amp_controller_groups", "gauge", "Groups in the group table.");
    out.sample(none, nullptr, nullptr, controller.groups);
    out.family("amp_controller_events_total", "counter", "Events logged since the controller started.");
    constexpr const char *kSeverities[MonitorViews::kSeverityCount] = {"info", "warning", "alarm"};
    for (int s = 0; s < MonitorViews::kSeverityCount; ++s)
        out.sample(none, "severity", kSeverities[s], double(controller.eventsBySeverity[std::size_t(s)]));
    out.family("amp_controller_http_requests_total", "counter",
               "HTTP requests answered by the monitor, refused ones included.");
    out.sample(none, nullptr, nullptr, double(controller.httpRequests));
    out.family("amp_controller_http_refused_total", "counter",
               "HTTP requests and connections the monitor refused, by reason.");
    for (int r = 0; r < HttpListener::kRefusalCount; ++r) {
        const char *reason = HttpListener::reasonName(HttpListener::Refusal(r));
        out.sample(none, "reason", reason, double(refusals[std::size_t(r)]));
    }
    out.family("amp_controller_scene_current", "gauge", "Number of the scene last recalled, 0 when none.");
    out.sample(none, nullptr, nullptr, controller.currentScene);
    out.family("amp_controller_scene_recalls_total", "counter", "Scene recalls since the controller started.");
    out.sample(none, nullptr, nullptr, double(controller.sceneRecalls));
}

} // namespace

QByteArray escapedLabelValue(const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    QByteArray escaped;
    escaped.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        if (c == '\n') {
            escaped += "\\n";
            continue;
        }
        escaped += c;
    }
    return escaped;
}

QByteArray exposition(const QList<MonitorViews::Device> &devices, const MonitorViews::Controller &controller,
                      const HttpListener::Refusals &refusals)
{
    QList<Row> rows;
    rows.reserve(devices.size());
    for (const Device &device : devices) {
        rows.append({deviceLabels(device), &device,
                     device.block ? std::optional(BlockFigures::read(*device.block)) : std::nullopt});
    }
    Writer out;
    deviceFamilies(out, rows);
    controllerFamilies(out, controller, refusals);
    return out.take();
}

} // namespace MetricsText

#include "fleethealth.h"

#include "devicetable.h"
#include "storedblocks.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Field = StatusField;
namespace R = StatusBlockReader;

namespace {

double rounded(std::optional<double> value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(*value * scale) / scale;
}

std::optional<double> roundedOrNone(std::optional<double> value, int decimals)
{
    return value ? std::optional<double>(rounded(value, decimals)) : std::nullopt;
}

CharacterReading characters(const StatusBlock &block, int offset, int width)
{
    return {R::displayText(block, offset, width), R::threeDigitValue(block, offset)};
}

} // namespace

double PanelReadings::volts(quint16 raw, int scale)
{
    return double(raw) * scale / StatusScale::FullScale;
}

// Devices keep their order when others are deleted, and a device added
// later comes last with a greater id, so the ids rise in slot order and one
// walk drops the devices gone and adds the new ones.
void FleetHealth::refresh(const tDevices &devices, const StoredBlocks &blocks, qint64 nowNs)
{
    std::size_t at = 0;
    for (int slot = 1; slot <= devices.count(); ++slot) {
        const quint64 id = devices[slot].id;
        std::size_t end = at;
        while (end < m_devices.size() && m_devices[end].id < id)
            ++end;
        m_devices.erase(m_devices.begin() + std::ptrdiff_t(at), m_devices.begin() + std::ptrdiff_t(end));
        m_tracking.erase(m_tracking.begin() + std::ptrdiff_t(at), m_tracking.begin() + std::ptrdiff_t(end));
        if (at == m_devices.size() || m_devices[at].id != id) {
            m_devices.insert(m_devices.begin() + std::ptrdiff_t(at), DeviceHealth{.id = id});
            m_tracking.insert(m_tracking.begin() + std::ptrdiff_t(at), Tracking{});
        }
        update(m_devices[at], m_tracking[at], devices, slot, blocks.has(devices[slot]), nowNs);
        ++at;
    }
    m_devices.resize(at);
    m_tracking.resize(at);
}

void FleetHealth::update(DeviceHealth &health, Tracking &tracking, const tDevices &devices, int slot,
                         bool hasBlock, qint64 nowNs) const
{
    const tDevice &device = devices[slot];
    health.slot = slot;
    health.name = device.name;
    health.group = device.group;
    health.address = device.address;
    health.linkState = device.linkState();

    tracking.link.observe(nowNs, {quint32(device.requestCount()), quint32(device.successCount()),
                                  device.lastExchangeMicroseconds(), device.lastSuccessNanoseconds()});
    health.secondsSinceAnswer = roundedOrNone(tracking.link.secondsSinceAnswer(nowNs), 1);
    health.medianExchangeMs = roundedOrNone(tracking.link.medianExchangeMs(), 2);
    const std::optional<double> loss = tracking.link.lossPercent();
    health.lossPercent = roundedOrNone(loss, 1);
    health.lossWarning = lossWarning(health.lossWarning, loss);

    if (!hasBlock) {
        health.readings.reset();
        health.levels = {};
        tracking.blockSeverity = 0;
    } else if (!health.readings || std::memcmp(tracking.figures.data(), device.status.data(), kFigureBytes) != 0) {
        std::memcpy(tracking.figures.data(), device.status.data(), kFigureBytes);
        health.readings = readingsOf(device.status);
        tracking.blockSeverity = blockSeverity(device.status, health.levels);
    }
    health.severity = severity(health.linkState, tracking.blockSeverity, health.lossWarning);
}

const DeviceHealth &FleetHealth::of(quint64 deviceId) const
{
    static const DeviceHealth notSeen;
    const auto found = std::lower_bound(m_devices.cbegin(), m_devices.cend(), deviceId,
                                        [](const DeviceHealth &health, quint64 id) { return health.id < id; });
    return found != m_devices.cend() && found->id == deviceId ? *found : notSeen;
}

FleetHealth::Summary FleetHealth::summary() const
{
    Summary summary;
    summary.devices = int(m_devices.size());
    for (const DeviceHealth &health : m_devices) {
        if (health.severity == 3)
            ++summary.notOnline;
        else
            ++summary.online;
        if (health.severity >= 2)
            ++summary.withAlarms;
    }
    return summary;
}

int FleetHealth::severity(int linkState, int blockSeverity, bool lossWarning)
{
    if (linkState != ThSocket::Online)
        return 3;
    return std::max(blockSeverity, lossWarning ? 1 : 0);
}

bool FleetHealth::lossWarning(bool warned, std::optional<double> lossPercent)
{
    if (!lossPercent)
        return false;
    return warned ? *lossPercent >= kLossWarningLeavePercent : *lossPercent > kLossWarningPercent;
}

int FleetHealth::blockSeverity(const StatusBlock &block, FigureLevels &levels)
{
    int severity = 0;
    for (int channel = 0; channel < 2; ++channel) {
        if (R::flag(block, Field::ChannelStateA + channel) == 0)
            severity = 2;
    }
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const FigureZones::Figure figure = FigureZones::kFigures[i];
        levels[i] = FigureZones::track(figure, levels[i], FigureZones::value(figure, block));
        severity = std::max(severity, int(levels[i]));
    }
    return severity;
}

PanelReadings FleetHealth::readingsOf(const StatusBlock &block)
{
    PanelReadings readings;
    for (int channel = 0; channel < 2; ++channel) {
        readings.channels[std::size_t(channel)] = {R::flag(block, Field::ChannelStateA + channel),
                                                   R::flag(block, Field::MuteA + channel) == 0};
        readings.peakRaw[std::size_t(channel)] = R::value16(block, Field::OutputPeakVoltageA + 2 * channel);
    }
    readings.amplifierTemperature = characters(block, Field::SecondTemperature, Field::TemperatureWidth);
    readings.psuTemperature = characters(block, Field::FirstTemperature, Field::TemperatureWidth);
    readings.mainsRaw = R::value16(block, Field::AcInputVoltage);
    readings.fan = characters(block, Field::FanSpeed, 4);
    return readings;
}

#include "eventdetector.h"

#include "devicetable.h"
#include "storedblocks.h"

#include <QSet>

using namespace Qt::StringLiterals;
namespace Field = StatusField;
using FigureZones::Figure;
using FigureZones::kFigures;
using FigureZones::Level;

namespace {

QString figureName(Figure figure)
{
    switch (figure) {
    case Figure::AmplifierTemperature:
        return u"Amplifier temperature"_s;
    case Figure::PsuTemperature:
        return u"PSU temperature"_s;
    case Figure::Mains:
        break;
    }
    return u"Mains"_s;
}

QString figureValue(Figure figure, int value)
{
    return QString::number(value) + (figure == Figure::Mains ? u" V"_s : u" \u00B0C"_s);
}

QString channelName(int channel)
{
    return channel == 0 ? u"Channel A"_s : u"Channel B"_s;
}

} // namespace

std::vector<EventDetector::Device> EventDetector::observe(const tDevices &devices, const StoredBlocks &blocks)
{
    std::vector<Device> observed;
    observed.reserve(std::size_t(devices.count()));
    for (int slot = 1; slot <= devices.count(); ++slot) {
        const tDevice &record = devices[slot];
        observed.push_back({record.id, record.name, record.address, record.linkState(),
                            record.lastSuccessNanoseconds() != 0, blocks.has(record) ? &record.status : nullptr});
    }
    return observed;
}

void EventDetector::add(EventSeverity severity, const Device &device, const QString &text)
{
    m_events.append({m_wallNow, severity, FleetEvents::amplifier(device.name, device.address), text, device.id});
}

void EventDetector::addLevel(const Device &device, Figure figure, Level level, int value)
{
    const QString reading = figureValue(figure, value);
    if (level == Level::Alarm)
        add(EventSeverity::Alarm, device, figureName(figure) + u" in the red zone: "_s + reading);
    else if (level == Level::Warning)
        add(EventSeverity::Warning, device, figureName(figure) + u" in the yellow zone: "_s + reading);
    else
        add(EventSeverity::Info, device, figureName(figure) + u" back to normal: "_s + reading);
}

QList<FleetEvent> EventDetector::detect(const std::vector<Device> &devices, qint64 nowNs, const QDateTime &wallNow)
{
    m_wallNow = wallNow;
    m_events.clear();
    QSet<quint64> present;
    present.reserve(qsizetype(devices.size()));
    for (const Device &device : devices) {
        present.insert(device.id);
        auto [it, added] = m_seen.try_emplace(device.id);
        Seen &seen = it->second;
        if (added)
            seen.address = device.address;
        detectLink(device, seen, nowNs);
        if (device.linkState == ThSocket::Online && device.block)
            detectBlock(device, seen);
    }
    for (auto it = m_seen.begin(); it != m_seen.end();)
        it = present.contains(it->first) ? std::next(it) : m_seen.erase(it);

    if (m_projectCheckPending && nowNs >= m_projectCheckAtNs)
        checkProject(devices);
    return std::exchange(m_events, {});
}

void EventDetector::detectLink(const Device &device, Seen &seen, qint64 nowNs)
{
    const int was = std::exchange(seen.linkState, device.linkState);
    if (device.linkState == was)
        return;
    if (device.linkState == ThSocket::Online) {
        if (!seen.everOnline)
            add(EventSeverity::Info, device, u"online: first answer"_s);
        else if (was == ThSocket::Offline)
            add(EventSeverity::Info, device,
                u"online again after "_s + FleetEvents::duration((nowNs - seen.offlineSinceNs) / 1'000'000)
                    + u" offline"_s);
        seen.everOnline = true;
    } else if (device.linkState == ThSocket::Offline) {
        seen.offlineSinceNs = nowNs;
        add(EventSeverity::Alarm, device, seen.everOnline ? u"offline"_s : u"offline: never answered"_s);
    }
}

void EventDetector::firstBlock(const Device &device, Seen &seen)
{
    namespace R = StatusBlockReader;
    const StatusBlock &block = *device.block;
    seen.haveBlock = true;
    for (int channel = 0; channel < 2; ++channel) {
        seen.channel[std::size_t(channel)] = R::flag(block, Field::ChannelStateA + channel);
        seen.mute[std::size_t(channel)] = R::flag(block, Field::MuteA + channel);
        if (seen.channel[std::size_t(channel)] == 0)
            add(EventSeverity::Alarm, device, channelName(channel) + u" FAULT"_s);
    }
    for (std::size_t i = 0; i < kFigures.size(); ++i) {
        const int value = FigureZones::value(kFigures[i], block);
        seen.levels[i] = FigureZones::levelOf(kFigures[i], value);
        if (seen.levels[i] != Level::Normal)
            addLevel(device, kFigures[i], seen.levels[i], value);
    }
    seen.reportedName = R::identityText(block, Field::Name, Field::IdentityWidth);
    seen.reportedGroup = R::identityText(block, Field::Group, Field::IdentityWidth);
}

void EventDetector::detectBlock(const Device &device, Seen &seen)
{
    namespace R = StatusBlockReader;
    if (!seen.haveBlock) {
        firstBlock(device, seen);
        return;
    }
    const StatusBlock &block = *device.block;
    for (int channel = 0; channel < 2; ++channel) {
        const auto c = std::size_t(channel);
        // Only OK and FAULT are states; anything else shows no indication.
        const quint8 state = R::flag(block, Field::ChannelStateA + channel);
        if ((state == 0 || state == 1) && state != seen.channel[c]) {
            if (state == 0)
                add(EventSeverity::Alarm, device, channelName(channel) + u" FAULT"_s);
            else if (seen.channel[c] == 0)
                add(EventSeverity::Info, device, channelName(channel) + u" OK again"_s);
            seen.channel[c] = state;
        }
        const bool muted = R::flag(block, Field::MuteA + channel) == 0;
        if (muted != (seen.mute[c] == 0)) {
            add(EventSeverity::Info, device, channelName(channel) + (muted ? u" muted"_s : u" un-muted"_s));
            seen.mute[c] = muted ? 0 : 1;
        }
    }
    for (std::size_t i = 0; i < kFigures.size(); ++i) {
        const Figure figure = kFigures[i];
        const int value = FigureZones::value(figure, block);
        const Level level = FigureZones::track(figure, seen.levels[i], value);
        if (level == seen.levels[i])
            continue;
        seen.levels[i] = level;
        addLevel(device, figure, level, value);
    }
    const QString name = R::identityText(block, Field::Name, Field::IdentityWidth);
    if (name != seen.reportedName) {
        add(EventSeverity::Info, device, u"Name changed from \""_s + seen.reportedName + u"\" to \""_s + name + u'"');
        seen.reportedName = name;
    }
    const QString group = R::identityText(block, Field::Group, Field::IdentityWidth);
    if (group != seen.reportedGroup) {
        add(EventSeverity::Info, device, u"Group changed from \""_s + seen.reportedGroup + u"\" to \""_s + group + u'"');
        seen.reportedGroup = group;
    }
}

void EventDetector::expectProject(const std::vector<Device> &devices, qint64 nowNs)
{
    m_expected.clear();
    for (const Device &device : devices)
        m_expected.push_back({device.name, device.address});
    m_projectCheckAtNs = nowNs + kProjectCheckDelayNs;
    m_projectCheckPending = true;
}

void EventDetector::checkProject(const std::vector<Device> &devices)
{
    m_projectCheckPending = false;
    QSet<QString> answering;
    for (const Device &device : devices) {
        if (device.answered)
            answering.insert(device.address);
    }
    std::vector<const Expected *> missing;
    for (const Expected &expected : m_expected) {
        if (!answering.contains(expected.address))
            missing.push_back(&expected);
    }
    const auto answered = qsizetype(m_expected.size() - missing.size());
    m_events.append({m_wallNow, EventSeverity::Info, {},
                     QString::number(answered) + u" of "_s + QString::number(m_expected.size())
                         + u" amplifiers of the project answer"_s});
    for (const Expected *expected : missing)
        m_events.append({m_wallNow, EventSeverity::Warning, FleetEvents::amplifier(expected->name, expected->address),
                         u"expected but not found"_s});
    m_expected.clear();
}

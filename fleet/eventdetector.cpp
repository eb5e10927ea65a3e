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
                            record.lastSuccessNanoseconds() != 0, blocks.has(record) ? &record.status : nullptr,
                            record.outages(), record.changes.counts()});
    }
    return observed;
}

const QString &EventDetector::topicName(Topic topic)
{
    static const QString names[TopicCount] = {
        u"link"_s, u"channel A state"_s, u"channel B state"_s, u"channel A mute"_s, u"channel B mute"_s,
        u"amplifier temperature"_s, u"PSU temperature"_s, u"mains"_s, u"name"_s, u"group"_s};
    return names[topic];
}

QDateTime EventDetector::wallAt(qint64 ns) const
{
    return m_wallNow.addMSecs(-(m_nowNs - ns) / 1'000'000);
}

void EventDetector::add(Seen &seen, Topic topic, EventSeverity severity, const Device &device, const QString &text,
                        const QDateTime &time)
{
    FleetEvent event{time, severity, FleetEvents::amplifier(device.name, device.address), text, device.id};
    if (device.id == 0 || seen.gates[topic].admit(event, m_nowNs))
        m_events.append(std::move(event));
}

void EventDetector::addLevel(Seen &seen, const Device &device, std::size_t figure, Level level, int value)
{
    const Topic topic = Topic(FirstFigure + int(figure));
    const QString reading = figureValue(kFigures[figure], value);
    const QString name = figureName(kFigures[figure]);
    if (level == Level::Alarm)
        add(seen, topic, EventSeverity::Alarm, device, name + u" in the red zone: "_s + reading);
    else if (level == Level::Warning)
        add(seen, topic, EventSeverity::Warning, device, name + u" in the yellow zone: "_s + reading);
    else
        add(seen, topic, EventSeverity::Info, device, name + u" back to normal: "_s + reading);
}

QList<FleetEvent> EventDetector::detect(const std::vector<Device> &devices, qint64 nowNs, const QDateTime &wallNow)
{
    m_wallNow = wallNow;
    m_nowNs = nowNs;
    m_events.clear();
    QSet<quint64> present;
    present.reserve(qsizetype(devices.size()));
    for (const Device &device : devices) {
        present.insert(device.id);
        auto [it, added] = m_seen.try_emplace(device.id);
        Seen &seen = it->second;
        if (added)
            seen.address = device.address;
        for (int topic = 0; topic < TopicCount; ++topic) {
            if (auto line = seen.gates[std::size_t(topic)].due(nowNs, topicName(Topic(topic)), wallNow))
                m_events.append(*std::move(line));
        }
        detectLink(device, seen);
        if (device.linkState == ThSocket::Online && device.block)
            detectBlock(device, seen);
    }
    for (auto it = m_seen.begin(); it != m_seen.end();)
        it = present.contains(it->first) ? std::next(it) : m_seen.erase(it);

    if (m_projectCheckPending && nowNs >= m_projectCheckAtNs)
        checkProject(devices);
    return std::exchange(m_events, {});
}

// A device that never answered shows it in its link state; once it has
// answered, its worker keeps the outages.
void EventDetector::detectLink(const Device &device, Seen &seen)
{
    const int was = std::exchange(seen.linkState, device.linkState);
    if (!seen.everOnline) {
        if (device.answered) {
            seen.everOnline = true;
            add(seen, Link, EventSeverity::Info, device, u"online: first answer"_s);
        } else if (device.linkState == ThSocket::Offline && was != ThSocket::Offline) {
            add(seen, Link, EventSeverity::Alarm, device, u"offline: never answered"_s);
        }
    }
    if (device.outages)
        detectOutages(device, seen, *device.outages);
}

// Outages that began and ended between two looks are logged with their
// true times. Should the looks be so far apart that more than one outage
// passed unseen (each takes three failed attempts, a second or more), those
// before the latest are logged as one, with their summed length.
void EventDetector::detectOutages(const Device &device, Seen &seen, const LinkOutages::Snapshot &outages)
{
    const auto offlineText = [](qint64 ns, quint32 count) {
        return u"online again after "_s + FleetEvents::duration(ns / 1'000'000) + u" offline"_s
               + (count > 1 ? u" in "_s + QString::number(count) + u" outages"_s : QString());
    };
    const quint32 fresh = outages.count - seen.outages;
    if (fresh > 0) {
        const qint64 latestNs = outages.endedNs != 0 ? outages.endedNs - outages.beganNs : 0;
        const quint32 earlier = fresh - 1 + (seen.down ? 1 : 0);
        if (earlier > 0) {
            if (!seen.down)
                add(seen, Link, EventSeverity::Alarm, device, u"offline"_s, wallAt(outages.beganNs));
            add(seen, Link, EventSeverity::Info, device,
                offlineText(outages.offlineNs - seen.offlineNs - latestNs, earlier), wallAt(outages.beganNs));
        }
        add(seen, Link, EventSeverity::Alarm, device, u"offline"_s, wallAt(outages.beganNs));
        seen.down = true;
    }
    if (seen.down && outages.endedNs != 0) {
        add(seen, Link, EventSeverity::Info, device, offlineText(outages.endedNs - outages.beganNs, 1),
            wallAt(outages.endedNs));
        seen.down = false;
    }
    seen.outages = outages.count;
    seen.offlineNs = outages.offlineNs;
}

void EventDetector::firstBlock(const Device &device, Seen &seen)
{
    namespace R = StatusBlockReader;
    const StatusBlock &block = *device.block;
    seen.haveBlock = true;
    seen.changes = device.changes;
    for (int channel = 0; channel < 2; ++channel) {
        seen.channel[std::size_t(channel)] = R::flag(block, Field::ChannelStateA + channel);
        seen.mute[std::size_t(channel)] = R::flag(block, Field::MuteA + channel);
        if (seen.channel[std::size_t(channel)] == 0)
            add(seen, Topic(ChannelA + channel), EventSeverity::Alarm, device, channelName(channel) + u" FAULT"_s);
    }
    for (std::size_t i = 0; i < kFigures.size(); ++i) {
        const int value = FigureZones::value(kFigures[i], block);
        seen.levels[i] = FigureZones::levelOf(kFigures[i], value);
        if (seen.levels[i] != Level::Normal)
            addLevel(seen, device, i, seen.levels[i], value);
    }
    seen.reportedName = R::identityText(block, Field::Name, Field::IdentityWidth);
    seen.reportedGroup = R::identityText(block, Field::Group, Field::IdentityWidth);
}

// Each change counted since the last look is one event, in turn from the
// state seen then. A caller that counts no changes still has the change
// between the two looks' blocks logged.
void EventDetector::detectChannels(const Device &device, Seen &seen)
{
    namespace R = StatusBlockReader;
    const auto changesSince = [](quint32 now, quint32 then, bool differs) {
        // More than any look can see: the counts are not this device's.
        constexpr quint32 kMostPerLook = 1'000'000;
        const quint32 changes = now - then;
        return changes > kMostPerLook ? changes % 2 : std::max<quint32>(changes, differs ? 1 : 0);
    };
    const StatusBlock &block = *device.block;
    for (int channel = 0; channel < 2; ++channel) {
        const auto c = std::size_t(channel);
        // Only OK and FAULT are states; anything else shows no indication.
        const quint8 state = R::flag(block, Field::ChannelStateA + channel);
        bool fault = seen.channel[c] == 0;
        const bool differs = (state == 0 || state == 1) && (state == 0) != fault;
        for (quint32 n = changesSince(device.changes.fault[c], seen.changes.fault[c], differs); n > 0; --n) {
            fault = !fault;
            add(seen, Topic(ChannelA + channel), fault ? EventSeverity::Alarm : EventSeverity::Info, device,
                channelName(channel) + (fault ? u" FAULT"_s : u" OK again"_s));
        }
        seen.channel[c] = fault ? 0 : 1;

        bool muted = seen.mute[c] == 0;
        const bool muteDiffers = (R::flag(block, Field::MuteA + channel) == 0) != muted;
        for (quint32 n = changesSince(device.changes.mute[c], seen.changes.mute[c], muteDiffers); n > 0; --n) {
            muted = !muted;
            add(seen, Topic(MuteA + channel), EventSeverity::Info, device,
                channelName(channel) + (muted ? u" muted"_s : u" un-muted"_s));
        }
        seen.mute[c] = muted ? 0 : 1;
    }
    seen.changes = device.changes;
}

void EventDetector::detectBlock(const Device &device, Seen &seen)
{
    namespace R = StatusBlockReader;
    if (!seen.haveBlock) {
        firstBlock(device, seen);
        return;
    }
    detectChannels(device, seen);
    const StatusBlock &block = *device.block;
    for (std::size_t i = 0; i < kFigures.size(); ++i) {
        const Figure figure = kFigures[i];
        const int value = FigureZones::value(figure, block);
        const Level level = FigureZones::track(figure, seen.levels[i], value);
        if (level == seen.levels[i])
            continue;
        seen.levels[i] = level;
        addLevel(seen, device, i, level, value);
    }
    const QString name = R::identityText(block, Field::Name, Field::IdentityWidth);
    if (name != seen.reportedName) {
        add(seen, Name, EventSeverity::Info, device,
            u"Name changed from \""_s + seen.reportedName + u"\" to \""_s + name + u'"');
        seen.reportedName = name;
    }
    const QString group = R::identityText(block, Field::Group, Field::IdentityWidth);
    if (group != seen.reportedGroup) {
        add(seen, Group, EventSeverity::Info, device,
            u"Group changed from \""_s + seen.reportedGroup + u"\" to \""_s + group + u'"');
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

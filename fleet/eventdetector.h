#pragma once

// Finds what changed in the fleet since the last look: link state changes,
// channel faults and mutes, figures entering and leaving their alarm zones,
// names and groups the devices report, and, five seconds after a project
// was opened, which of its amplifiers answer. Each change is reported once.
//
// It works from plain observations of the devices, one per refresh, so that
// the rules can be driven without a device table or a network; observe()
// makes them from the table. Devices are told apart by their id, which no
// other device gets during the run: a device deleted and added again is a new
// device.
//
// On a device's first status block, states that are already bad (a channel
// in fault, a figure in a zone) are reported as if they had just begun;
// good ones are taken as they are.
//
// Nothing that passes between two looks is lost: outages of the link come
// from the worker's own record of them (LinkOutages), with their true times
// and lengths, and channel faults and mutes from the changes counted as each
// block was stored (ChannelChanges). Each kind of event of each device goes
// through its own flood gate (FloodGate); events of no device pass as they
// are.
//
// Times are steady-clock nanoseconds beside the wall clock the events carry.
// Main thread only.

#include "channelchanges.h"
#include "figurezones.h"
#include "fleetevent.h"
#include "floodgate.h"
#include "linkoutages.h"
#include "statusblock.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <unordered_map>
#include <vector>

class StoredBlocks;
class tDevices;

class EventDetector final
{
public:
    static constexpr qint64 kProjectCheckDelayNs = 5'000'000'000;

    struct Device
    {
        quint64 id = 0;
        QString name;
        QString address;
        int linkState = 0;  // ThSocket's code: 0 no result yet, 1 offline, 3 online
        bool answered = false;  // at least one success
        const StatusBlock *block = nullptr;  // none before the first block was stored
        std::optional<LinkOutages::Snapshot> outages{};  // none: not known at this look
        ChannelChanges::Counts changes{};
    };

    // The devices of a table, in slot order.
    static std::vector<Device> observe(const tDevices &devices, const StoredBlocks &blocks);

    // The events of this look, oldest first.
    QList<FleetEvent> detect(const std::vector<Device> &devices, qint64 nowNs, const QDateTime &wallNow);

    // A project was opened and holds these devices; detect() reports five
    // seconds later which of them answer.
    void expectProject(const std::vector<Device> &devices, qint64 nowNs);

private:
    // The kinds of event that each device's flood gates tell apart.
    enum Topic { Link, ChannelA, ChannelB, MuteA, MuteB, FirstFigure,
                 Name = FirstFigure + FigureZones::kFigureCount, Group, TopicCount };

    struct Seen
    {
        QString address;
        int linkState = 0;
        bool everOnline = false;
        // Outages as last seen, and whether the latest was logged as lasting.
        quint32 outages = 0;
        qint64 offlineNs = 0;
        bool down = false;
        bool haveBlock = false;
        std::array<quint8, 2> channel{};
        std::array<quint8, 2> mute{};
        ChannelChanges::Counts changes;
        std::array<FigureZones::Level, FigureZones::kFigureCount> levels{};
        QString reportedName;
        QString reportedGroup;
        std::array<FloodGate, TopicCount> gates;
    };
    struct Expected
    {
        QString name;
        QString address;
    };

    static const QString &topicName(Topic topic);  // "channel A mute"
    void detectLink(const Device &device, Seen &seen);
    void detectOutages(const Device &device, Seen &seen, const LinkOutages::Snapshot &outages);
    void detectBlock(const Device &device, Seen &seen);
    void detectChannels(const Device &device, Seen &seen);
    void firstBlock(const Device &device, Seen &seen);
    void checkProject(const std::vector<Device> &devices);
    void add(Seen &seen, Topic topic, EventSeverity severity, const Device &device, const QString &text,
             const QDateTime &time);
    void add(Seen &seen, Topic topic, EventSeverity severity, const Device &device, const QString &text)
    {
        add(seen, topic, severity, device, text, m_wallNow);
    }
    // A figure entered this level (back to normal included).
    void addLevel(Seen &seen, const Device &device, std::size_t figure, FigureZones::Level level, int value);
    // The wall clock at a steady-clock time of this look's past.
    QDateTime wallAt(qint64 ns) const;

    std::unordered_map<quint64, Seen> m_seen;
    std::vector<Expected> m_expected;
    qint64 m_projectCheckAtNs = 0;
    bool m_projectCheckPending = false;

    // The look in progress.
    QList<FleetEvent> m_events;
    QDateTime m_wallNow;
    qint64 m_nowNs = 0;
};

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
// Times are steady-clock nanoseconds beside the wall clock the events carry.
// Main thread only.

#include "figurezones.h"
#include "fleetevent.h"
#include "statusblock.h"

#include <QList>
#include <QString>

#include <array>
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
    };

    // The devices of a table, in slot order.
    static std::vector<Device> observe(const tDevices &devices, const StoredBlocks &blocks);

    // The events of this look, oldest first.
    QList<FleetEvent> detect(const std::vector<Device> &devices, qint64 nowNs, const QDateTime &wallNow);

    // A project was opened and holds these devices; detect() reports five
    // seconds later which of them answer.
    void expectProject(const std::vector<Device> &devices, qint64 nowNs);

private:
    struct Seen
    {
        QString address;
        int linkState = 0;
        qint64 offlineSinceNs = 0;
        bool everOnline = false;
        bool haveBlock = false;
        std::array<quint8, 2> channel{};
        std::array<quint8, 2> mute{};
        std::array<FigureZones::Level, FigureZones::kFigureCount> levels{};
        QString reportedName;
        QString reportedGroup;
    };
    struct Expected
    {
        QString name;
        QString address;
    };

    void detectLink(const Device &device, Seen &seen, qint64 nowNs);
    void detectBlock(const Device &device, Seen &seen);
    void firstBlock(const Device &device, Seen &seen);
    void checkProject(const std::vector<Device> &devices);
    void add(EventSeverity severity, const Device &device, const QString &text);
    // A figure entered this level (back to normal included).
    void addLevel(const Device &device, FigureZones::Figure figure, FigureZones::Level level, int value);

    std::unordered_map<quint64, Seen> m_seen;
    std::vector<Expected> m_expected;
    qint64 m_projectCheckAtNs = 0;
    bool m_projectCheckPending = false;

    // The look in progress.
    QList<FleetEvent> m_events;
    QDateTime m_wallNow;
};

#pragma once

// The polling tick: every millisecond, for every device in slot order, queue
// the status fetch, queue the group settings command and dispatch. Runs on
// the thread that owns it (the main thread); never stopped once started.

#include "commands.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <array>

class tDevices;
class tGroup;

class PollingTick final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 1;

    PollingTick(tDevices &devices, const tGroup &groups, QObject *parent = nullptr);
    ~PollingTick() override;

    void start();

    // One tick; the timer calls it.
    void Timer3Timer();

    // The timer itself, for observers that measure it.
    const QTimer &timer() const { return m_timer; }

private:
    // The settings digits of a group slot, built at most once per tick.
    const Commands::SettingsDigits &settingsOfGroup(int groupSlot);
    // The group slot of a device slot's group, 0 for none.
    int groupOfDevice(int slot);

    struct CachedSettings
    {
        quint64 tick = 0;  // the tick that built them; 0: never
        Commands::SettingsDigits digits{};
    };

    tDevices &m_devices;
    QPointer<tDevices> m_devicesAlive;  // the table may go before the tick
    const tGroup &m_groups;
    QTimer m_timer;
    quint64 m_tickNumber = 0;
    std::array<CachedSettings, 256> m_settings{};  // by group slot

    struct KnownGroup
    {
        QString deviceGroup;
        quint64 namesVersion = ~quint64(0);  // never a table's
        int groupSlot = 0;
    };
    std::array<KnownGroup, 256> m_groupOfSlot{};  // by device slot
};

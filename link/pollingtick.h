#pragma once

// The polling tick: every millisecond, for every device in slot order, queue
// the status fetch, queue the group settings command and dispatch. Runs on
// the thread that owns it (the main thread); never stopped once started.

#include "commands.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class tDevices;

// Where the tick takes each device's group settings from. Asked for every
// device on every tick, on the tick's thread, so an answer must be cheap.
class DeviceSettingsSource
{
public:
    virtual ~DeviceSettingsSource() = default;
    // Called once at the start of every tick, before any settingsOf().
    virtual void beginTick() {}
    // The settings the device in this slot is sent; none: it gets nothing.
    virtual const Commands::SettingsDigits *settingsOf(int slot) = 0;
};

class PollingTick final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 1;

    PollingTick(tDevices &devices, DeviceSettingsSource &settings, QObject *parent = nullptr);
    ~PollingTick() override;

    void start();

    // One tick; the timer calls it.
    void Timer3Timer();

    // The timer itself, for observers that measure it.
    const QTimer &timer() const { return m_timer; }
    // Ticks run so far; observers that sample it see whether the tick runs.
    quint64 ticks() const { return m_ticks; }

private:
    tDevices &m_devices;
    QPointer<tDevices> m_devicesAlive;  // the table may go before the tick
    DeviceSettingsSource &m_settings;
    QTimer m_timer;
    quint64 m_ticks = 0;
};

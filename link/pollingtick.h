#pragma once

// The polling tick: every millisecond, for every device in slot order, queue
// the status fetch, queue the group settings command and dispatch. Runs on
// the thread that owns it (the main thread); never stopped once started.

#include <QObject>
#include <QPointer>
#include <QTimer>

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
    tDevices &m_devices;
    QPointer<tDevices> m_devicesAlive;  // the table may go before the tick
    const tGroup &m_groups;
    QTimer m_timer;
};

#include "pollingtick.h"

#include "commands.h"
#include "devicetable.h"

PollingTick::PollingTick(tDevices &devices, const tGroup &groups, QObject *parent)
    : QObject(parent)
    , m_devices(devices)
    , m_groups(groups)
    , m_timer(this)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &PollingTick::Timer3Timer);
}

void PollingTick::start()
{
    m_timer.start();
}

void PollingTick::Timer3Timer()
{
    for (int slot = 1; slot <= m_devices.count(); ++slot) {
        Commands::statusFetch(m_devices, slot);
        Commands::groupSettings(m_devices, m_groups, slot);
        m_devices.dispatch(slot);
    }
}

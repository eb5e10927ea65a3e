#include "pollingtick.h"

#include "commands.h"
#include "devicetable.h"

PollingTick::PollingTick(tDevices &devices, const tGroup &groups, QObject *parent)
    : QObject(parent)
    , m_devices(devices)
    , m_devicesAlive(&devices)
    , m_groups(groups)
    , m_timer(this)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &PollingTick::Timer3Timer);
}

PollingTick::~PollingTick()
{
    if (m_timer.isActive() && m_devicesAlive)
        m_devices.setResultsCollectedOften(false);
}

void PollingTick::start()
{
    m_timer.start();
    m_devices.setResultsCollectedOften(true);
}

// Results that workers finished since the last tick are applied first, so
// that their devices take their next job in this same walk.
void PollingTick::Timer3Timer()
{
    m_devices.collectResults();
    for (int slot = 1; slot <= m_devices.count(); ++slot) {
        Commands::statusFetch(m_devices, slot);
        Commands::groupSettings(m_devices, m_groups, slot);
        m_devices.dispatch(slot);
    }
}

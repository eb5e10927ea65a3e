#include "pollingtick.h"

#include "devicetable.h"

PollingTick::PollingTick(tDevices &devices, DeviceSettingsSource &settings, QObject *parent)
    : QObject(parent)
    , m_devices(devices)
    , m_devicesAlive(&devices)
    , m_settings(settings)
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
    ++m_ticks;
    m_devices.collectResults();
    m_settings.beginTick();
    for (int slot = 1; slot <= m_devices.count(); ++slot)
        m_devices.pollSlot(slot, m_settings.settingsOf(slot));
    m_devices.wakeDispatchedWorkers();
}

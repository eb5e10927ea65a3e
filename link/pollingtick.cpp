#include "pollingtick.h"

#include "commands.h"
#include "devicetable.h"
#include "grouptable.h"

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
    ++m_tickNumber;
    for (int slot = 1; slot <= m_devices.count(); ++slot) {
        const int groupSlot = groupOfDevice(slot);
        m_devices.pollSlot(slot, groupSlot != 0 ? &settingsOfGroup(groupSlot) : nullptr);
    }
}

// A device's group rarely changes: ask the group table again only when the
// device's group text or the table's names did.
int PollingTick::groupOfDevice(int slot)
{
    KnownGroup &known = m_groupOfSlot[std::size_t(slot)];
    const QString &group = m_devices[slot].group;
    if (known.namesVersion != m_groups.namesVersion() || known.deviceGroup != group) {
        known.deviceGroup = group;
        known.namesVersion = m_groups.namesVersion();
        known.groupSlot = m_groups.findGroupOfDevice(group);
    }
    return known.groupSlot;
}

// Most devices share a few groups, whose values change only while the
// operator moves a fader: build each group's digits once per tick, not once
// per device.
const Commands::SettingsDigits &PollingTick::settingsOfGroup(int groupSlot)
{
    CachedSettings &cached = m_settings[std::size_t(groupSlot)];
    if (cached.tick != m_tickNumber) {
        cached.digits = Commands::groupSettingsDigits(m_groups[groupSlot]);
        cached.tick = m_tickNumber;
    }
    return cached.digits;
}

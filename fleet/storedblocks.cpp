#include "storedblocks.h"

#include "devicetable.h"

StoredBlocks::StoredBlocks(const tDevices &devices, QObject *parent)
    : QObject(parent),
      m_devices(devices)
{
    connect(&devices, &tDevices::statusBlockStored, this,
            [this](int slot) { m_ids.insert(m_devices[slot].id); });
}

bool StoredBlocks::has(const tDevice &device) const
{
    return m_ids.contains(device.id);
}

void StoredBlocks::prune()
{
    std::unordered_set<DeviceId> live;
    for (int slot = 1; slot <= m_devices.count(); ++slot) {
        if (m_ids.contains(m_devices[slot].id))
            live.insert(m_devices[slot].id);
    }
    m_ids.swap(live);
}

#include "storedblocks.h"

#include "devicetable.h"

StoredBlocks::StoredBlocks(tDevices &devices, QObject *parent)
    : QObject(parent),
      m_devices(devices)
{
    connect(&devices, &tDevices::statusBlockStored, this,
            [this](int slot) { m_workers.insert(m_devices[slot].worker.get()); });
}

bool StoredBlocks::has(const tDevice &device) const
{
    return m_workers.contains(device.worker.get());
}

void StoredBlocks::prune()
{
    std::unordered_set<const ThSocket *> live;
    for (int slot = 1; slot <= m_devices.count(); ++slot) {
        if (m_workers.contains(m_devices[slot].worker.get()))
            live.insert(m_devices[slot].worker.get());
    }
    m_workers.swap(live);
}

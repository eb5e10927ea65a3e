#pragma once

// Which devices have had a status block stored. A device's first answer may
// be to another request (the unlock command that follows its adding); until
// its first block is stored its record holds zeros, which are no readings,
// so the fleet shows and judges no figures before then. Fed by the table's
// statusBlockStored(). Main thread only.

#include <QObject>
#include <QtGlobal>

#include <unordered_set>

class tDevices;
struct tDevice;

class StoredBlocks final : public QObject
{
    Q_OBJECT

public:
    explicit StoredBlocks(const tDevices &devices, QObject *parent = nullptr);

    bool has(const tDevice &device) const;
    bool has(quint64 deviceId) const { return m_ids.contains(deviceId); }
    // Forgets the devices that left the table.
    void prune();

private:
    const tDevices &m_devices;
    std::unordered_set<quint64> m_ids;  // device ids
};

#pragma once

// The device table: every amplifier the controller knows, in slots 1 to count
// without gaps, in the order they were appended; at most 255 devices.
//
// It belongs to the main thread: only main-thread code appends, deletes,
// clears, queues and dispatches. Each device has its own poll worker, which
// the record refers to and which moves with the record, together with the
// query queue that the worker takes its next job from once a job is over. A
// worker that was sent the stop request is referred to by no record and
// changes none; it is released once its thread has ended.

#include "commands.h"
#include "device.h"
#include "deviceport.h"
#include "resultmailbox.h"
#include "workerwake.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <vector>

class tDevices final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCapacity = 255;

    // port: the devices' TCP port; the program uses kDevicePort.
    explicit tDevices(quint16 port = kDevicePort, QObject *parent = nullptr);
    // Ends every worker at once, also those in the middle of an exchange.
    ~tDevices() override;

    int count() const { return m_count; }
    quint16 port() const { return m_port; }

    // Slot access, slots 1..count.
    tDevice &operator[](int slot) { return m_records[static_cast<std::size_t>(slot)]; }
    const tDevice &operator[](int slot) const { return m_records[static_cast<std::size_t>(slot)]; }

    // First slot whose address equals the text exactly; 0 if none.
    int findDevice(QStringView address) const;

    // Slot 1..count holding this record; 0 for none or a record beyond the
    // count (one that moved down after a removal).
    int slotOfRecord(const tDevice *record) const;

    // Slot 1..count of the device with this id; 0 for none (it left the table).
    int slotOfDevice(DeviceId id) const;

    // Appends a device in slot count + 1 with a new id, a new poll worker and
    // a fresh status block, link state, counters and queue. A 256th device is refused
    // and false returned; nothing is written.
    bool appendDevice(const QString &name, const QString &group, const QString &address);

    // Removes a device: its worker is stopped and later records move down.
    void deleteDevice(int slot);

    // Stops every worker and empties the table; names and groups stay in the
    // slots, addresses are emptied.
    void clearDevices();

    // Adds or merges a request into the slot's queue, then dispatches.
    // A full queue drops the request and emits queryQueueFull().
    void queueRequest(int slot, const QByteArray &path, QByteArrayView argument);

    // Hands the head of the queue to the slot's worker when it is free, or
    // lets the worker retry the job it holds. A worker whose job is over
    // takes the next one itself.
    void dispatch(int slot);

    // The polling tick's visit of a slot: queues the status fetch, then the
    // group settings with these digits (none: the device has no group), then
    // dispatches, as separate queue-requests and a dispatch would, under one
    // lock. A visit that would change nothing takes no lock: both requests
    // are still queued as the last visit left them and the worker is busy.
    // A worker that sleeps waiting for the job handed over wakes only with
    // wakeDispatchedWorkers(), which the tick calls after its walk: one call
    // wakes them all, and none of them takes the CPU from the walk.
    void pollSlot(int slot, const Commands::SettingsDigits *settings);
    void wakeDispatchedWorkers();

    // Applies what the workers have finished: stores status blocks, then
    // publishes link states and success counts, queues lock commands. Happens by itself soon after; a caller that runs often
    // (the polling tick) may do it itself and say so, which spares the
    // workers from waking the main thread.
    void collectResults() { m_mailbox.collect(); }
    void setResultsCollectedOften(bool often) { m_mailbox.setCollectedOften(often); }
    // Blocks until a worker has left results, without applying them; false
    // when the deadline came first. For callers that run no event loop.
    bool waitForResults(QDeadlineTimer deadline) { return m_mailbox.waitForPost(deadline); }

    // Stopped workers whose threads have not ended yet.
    int retiredWorkerCount() const { return static_cast<int>(m_retired.size()); }

Q_SIGNALS:
    // A device reported a name or group that differs from its record; the
    // record took them and the device tree needs to be rebuilt.
    void treeRebuildNeeded();
    // "NotEnoughDeviceQuerySpace": the request was dropped.
    void queryQueueFull();
    // A status block was stored into a slot (after any name or group change).
    void statusBlockStored(int slot);

private:
    // With the slot's queue locked. True when the worker waits to be woken.
    [[nodiscard]] bool handOver(DeviceQueue::Locked &queue, int slot);
    // With the slot's queue locked: hands over and wakes the worker.
    void dispatchLocked(DeviceQueue::Locked &queue, int slot);
    int slotOf(const ThSocket *worker) const;
    void collect(ThSocket *worker);
    // Stores a status block into the slot; false when it is none. Sets
    // changed when the record took another name or group. The group is taken
    // only from a block fetched after the device answered every group command
    // queued for it (groupCommandsAnswered counts those answered before).
    bool adoptStatusBlock(int slot, const QByteArray &block, quint32 groupCommandsAnswered,
                          bool &changed);
    void queueLockAfterDroppedJob(const ThSocket *worker);
    void retire(std::shared_ptr<ThSocket> worker);
    void release(QThread *finishedThread);

    const quint16 m_port;
    ResultMailbox m_mailbox;  // outlives every worker
    WorkerWake m_jobBell;     // outlives every worker
    bool m_jobBellDue = false;  // a visit handed a job to a sleeping worker
    std::array<tDevice, kCapacity + 1> m_records{};
    int m_count = 0;
    DeviceId m_lastId = 0;  // ids are never given twice in a run
    std::vector<std::shared_ptr<ThSocket>> m_retired;

    // What the last tick visit of each slot left queued.
    struct TickVisit
    {
        const void *queue = nullptr;  // DeviceQueue::identity()
        quint32 removals = 0;
        bool hasSettings = false;
        Commands::SettingsDigits settings{};
    };
    bool unchangedSinceLastVisit(int slot, const Commands::SettingsDigits *settings) const;
    std::array<TickVisit, kCapacity + 1> m_lastVisit{};
};

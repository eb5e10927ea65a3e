#include "devicetable.h"

#include "commands.h"
#include "names.h"

#include <QLatin1StringView>

#include <algorithm>

tDevices::tDevices(quint16 port, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_mailbox([this](ThSocket *worker) { collect(worker); })
{
}

tDevices::~tDevices()
{
    // Tell every thread to end first, then wait for them together.
    for (int slot = 1; slot <= m_count; ++slot)
        (*this)[slot].worker->endNow();
    for (const auto &worker : m_retired)
        worker->endNow();
    for (tDevice &record : m_records)
        record.worker.reset();
    m_retired.clear();
}

int tDevices::findDevice(QStringView address) const
{
    for (int slot = 1; slot <= m_count; ++slot) {
        if ((*this)[slot].address == address)
            return slot;
    }
    return 0;
}

int tDevices::slotOfRecord(const tDevice *record) const
{
    for (int slot = 1; slot <= m_count; ++slot) {
        if (&(*this)[slot] == record)
            return slot;
    }
    return 0;
}

bool tDevices::appendDevice(const QString &name, const QString &group, const QString &address)
{
    if (m_count >= kCapacity)
        return false;
    ++m_count;
    tDevice &record = (*this)[m_count];
    record.name = name;
    record.group = group;
    record.address = address;
    record.status.fill(0);
    record.queue.clear();
    record.worker = std::make_shared<ThSocket>(address, m_port, m_mailbox);
    return true;
}

void tDevices::deleteDevice(int slot)
{
    if (slot < 1 || slot > m_count)
        return;
    retire(std::move((*this)[slot].worker));
    for (int t = slot; t < m_count; ++t)
        (*this)[t] = std::move((*this)[t + 1]);
    --m_count;
}

void tDevices::clearDevices()
{
    for (int slot = 1; slot <= m_count; ++slot) {
        tDevice &record = (*this)[slot];
        retire(std::move(record.worker));
        record.address.clear();
    }
    m_count = 0;
}

void tDevices::queueRequest(int slot, const QByteArray &path, QByteArrayView argument)
{
    if (slot < 1 || slot > m_count)
        return;
    if (!(*this)[slot].queue.put(path, argument))
        Q_EMIT queryQueueFull();
    dispatch(slot);
}

void tDevices::dispatch(int slot)
{
    tDevice &record = (*this)[slot];
    ThSocket &worker = *record.worker;
    if (worker.jobFlag())
        return;
    if (worker.holdsJob()) {
        worker.retry();
        return;
    }
    if (record.queue.isEmpty())
        return;
    const QueryEntry &head = record.queue.at(0);
    worker.handOver(slot, record.address, head.path, head.argument);
    record.queue.popHead();
}

int tDevices::slotOf(const ThSocket *worker) const
{
    // Normally the device still sits in the slot of its last hand-over; after
    // a delete it has moved down, so look for the record that holds it.
    const int hint = worker->slot();
    if (hint >= 1 && hint <= m_count && (*this)[hint].worker.get() == worker)
        return hint;
    for (int slot = 1; slot <= m_count; ++slot) {
        if ((*this)[slot].worker.get() == worker)
            return slot;
    }
    return 0;
}

void tDevices::collect(ThSocket *worker)
{
    if (worker->awaitsAdoption()) {
        bool changed = false;
        const int slot = adoptStatusBlock(worker, worker->statusBlock(), changed);
        // Stored first, then the device shows online.
        worker->completeAdoption();
        if (changed)
            Q_EMIT treeRebuildNeeded();
        if (slot != 0)
            Q_EMIT statusBlockStored(slot);
    }
    if (worker->takeLockRequest())
        queueLockAfterDroppedJob(worker);
}

int tDevices::adoptStatusBlock(const ThSocket *worker, const QByteArray &block, bool &changed)
{
    // A stopped worker is held by no record: its late results go nowhere.
    const int slot = slotOf(worker);
    if (slot == 0 || block.size() != kStatusBlockSize)
        return 0;
    tDevice &record = (*this)[slot];
    std::copy(block.cbegin(), block.cend(), record.status.begin());
    record.status[kStatusBlockSize] = 0;

    const auto field = [&record](int offset) {
        const int length = StatusBlockReader::identityLength(record.status, offset,
                                                             StatusField::IdentityWidth);
        return QLatin1StringView(reinterpret_cast<const char *>(record.status.data() + offset),
                                 length);
    };
    const QLatin1StringView group = field(StatusField::Group);
    const QLatin1StringView name = field(StatusField::Name);
    changed = record.group != group || record.name != name;
    if (changed) {
        record.group = upperCasedAscii(QString(group));
        record.name = upperCasedAscii(QString(name));
    }
    return slot;
}

void tDevices::queueLockAfterDroppedJob(const ThSocket *worker)
{
    if (const int slot = slotOf(worker))
        Commands::lock(*this, slot, false);
}

void tDevices::retire(std::shared_ptr<ThSocket> worker)
{
    if (!worker)
        return;
    QThread *thread = worker->thread();
    connect(thread, &QThread::finished, this, [this, thread] { release(thread); },
            Qt::QueuedConnection);
    worker->requestStop();
    m_retired.push_back(std::move(worker));
}

void tDevices::release(QThread *finishedThread)
{
    std::erase_if(m_retired, [finishedThread](const std::shared_ptr<ThSocket> &worker) {
        return worker->thread() == finishedThread;
    });
}

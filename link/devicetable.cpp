#include "devicetable.h"

#include "commands.h"
#include "names.h"

#include <QLatin1StringView>

#include <algorithm>
#include <cstring>

namespace {

// Records keep their names upper-cased, so a device that reports lower-case
// letters is compared in upper case; otherwise each of its blocks would
// differ from the record and rebuild the tree.
bool equalsUpperCased(const QString &record, QLatin1StringView reported)
{
    if (record.size() != reported.size())
        return false;
    for (qsizetype i = 0; i < record.size(); ++i) {
        char c = reported.at(i).toLatin1();
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        if (record.at(i) != QLatin1Char(c))
            return false;
    }
    return true;
}

} // namespace

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
        (*this)[slot].m_worker->endNow();
    for (const auto &worker : m_retired)
        worker->endNow();
    m_jobBell.signal();
    for (tDevice &record : m_records)
        record.m_worker.reset();
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

int tDevices::slotOfDevice(DeviceId id) const
{
    for (int slot = 1; id != 0 && slot <= m_count; ++slot) {
        if ((*this)[slot].id == id)
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
    record.queue = DeviceQueue::create();
    m_lastVisit[std::size_t(m_count)] = {};
    record.id = ++m_lastId;
    record.m_worker = std::make_shared<ThSocket>(address, m_port, record.queue, m_mailbox, m_jobBell);
    return true;
}

void tDevices::deleteDevice(int slot)
{
    if (slot < 1 || slot > m_count)
        return;
    retire(std::move((*this)[slot].m_worker));
    m_jobBell.signal();
    for (int t = slot; t < m_count; ++t) {
        (*this)[t] = std::move((*this)[t + 1]);
        m_lastVisit[std::size_t(t)] = m_lastVisit[std::size_t(t + 1)];
    }
    (*this)[m_count].id = 0;
    --m_count;
}

void tDevices::clearDevices()
{
    for (int slot = 1; slot <= m_count; ++slot) {
        tDevice &record = (*this)[slot];
        retire(std::move(record.m_worker));
        record.address.clear();
        record.id = 0;
    }
    m_jobBell.signal();
    m_count = 0;
}

void tDevices::queueRequest(int slot, const QByteArray &path, QByteArrayView argument)
{
    if (slot < 1 || slot > m_count)
        return;
    tDevice &record = (*this)[slot];
    {
        DeviceQueue::Locked queue = record.queue.lock();
        if (queue.put(path, argument)) {
            if (path == CommandPath::DeviceGroup)
                queue.countGroupCommand();
            dispatchLocked(queue, slot);
            return;
        }
    }
    // Not under the lock: whoever shows the message runs an event loop.
    Q_EMIT queryQueueFull();
    dispatch(slot);
}

void tDevices::dispatch(int slot)
{
    tDevice &record = (*this)[slot];
    DeviceQueue::Locked queue = record.queue.lock();
    dispatchLocked(queue, slot);
}

void tDevices::pollSlot(int slot, const Commands::SettingsDigits *settings)
{
    if (unchangedSinceLastVisit(slot, settings))
        return;
    tDevice &record = (*this)[slot];
    int refused = 0;
    {
        DeviceQueue::Locked queue = record.queue.lock();
        const quint32 removalsBefore = queue.removals();
        refused += !queue.put(CommandPath::StatusFetch, {});
        bool wake = handOver(queue, slot);
        if (settings) {
            refused += !queue.put(CommandPath::GroupSettings,
                                  QByteArrayView(settings->data(), qsizetype(settings->size())));
            wake |= handOver(queue, slot);
        }
        wake |= handOver(queue, slot);
        m_jobBellDue |= wake;
        // A visit that handed a request over left the queue without it: the
        // next one must queue it again.
        const bool handedOver = queue.removals() != removalsBefore;
        m_lastVisit[std::size_t(slot)] = {handedOver ? nullptr : record.queue.identity(), queue.removals(),
                                          settings != nullptr, settings ? *settings : Commands::SettingsDigits{}};
    }
    if (refused > 0)
        wakeDispatchedWorkers();  // whoever shows the message runs an event loop
    for (; refused > 0; --refused)
        Q_EMIT queryQueueFull();
}

void tDevices::wakeDispatchedWorkers()
{
    if (std::exchange(m_jobBellDue, false))
        m_jobBell.signal();
}

bool tDevices::unchangedSinceLastVisit(int slot, const Commands::SettingsDigits *settings) const
{
    const tDevice &record = (*this)[slot];
    const TickVisit &last = m_lastVisit[std::size_t(slot)];
    return last.queue == record.queue.identity() && last.removals == record.queue.removals()
           && last.hasSettings == (settings != nullptr) && (!settings || last.settings == *settings)
           && record.m_worker->jobFlag();
}

bool tDevices::handOver(DeviceQueue::Locked &queue, int slot)
{
    tDevice &record = (*this)[slot];
    return record.m_worker->dispatch(queue, slot, record.address);
}

void tDevices::dispatchLocked(DeviceQueue::Locked &queue, int slot)
{
    if (handOver(queue, slot))
        m_jobBell.signal();
}

int tDevices::slotOf(const ThSocket *worker) const
{
    // Normally the device still sits in the slot of its last hand-over; after
    // a delete it has moved down, so look for the record that holds it.
    const int hint = worker->slot();
    if (hint >= 1 && hint <= m_count && (*this)[hint].m_worker.get() == worker)
        return hint;
    for (int slot = 1; slot <= m_count; ++slot) {
        if ((*this)[slot].m_worker.get() == worker)
            return slot;
    }
    return 0;
}

void tDevices::collect(ThSocket *worker)
{
    const ThSocket::Outcome outcome = worker->takeOutcome();
    // A stopped worker is held by no record: its late results go nowhere.
    const int slot = slotOf(worker);
    bool changed = false;
    const bool stored = slot != 0
                        && adoptStatusBlock(slot, outcome.block, outcome.groupCommandsAnswered, changed);
    // Stored first, then the device shows online.
    worker->publish(outcome);
    if (changed)
        Q_EMIT treeRebuildNeeded();
    if (stored)
        Q_EMIT statusBlockStored(slot);
    if (outcome.jobOver)
        worker->finishJob();
    if (outcome.dropped)
        queueLockAfterDroppedJob(worker);
}

bool tDevices::adoptStatusBlock(int slot, const QByteArray &block, quint32 groupCommandsAnswered,
                                bool &changed)
{
    if (block.size() != kStatusBlockSize)
        return false;
    tDevice &record = (*this)[slot];
    std::memcpy(record.status.data(), block.constData(), kStatusBlockSize);
    record.status[kStatusBlockSize] = 0;

    const auto field = [&record](int offset) {
        const int length = StatusBlockReader::identityLength(record.status, offset,
                                                             StatusField::IdentityWidth);
        return QLatin1StringView(reinterpret_cast<const char *>(record.status.data() + offset),
                                 length);
    };
    const QLatin1StringView group = field(StatusField::Group);
    const QLatin1StringView name = field(StatusField::Name);
    // A block fetched before the device answered its latest group command
    // still shows the old group: taking it would undo "Delete Group" and
    // bring the deleted group back. Only a device that keeps reporting a
    // group after the command was answered gets it back.
    const bool groupSettled = groupCommandsAnswered == record.queue.groupCommands();
    const bool groupChanged = groupSettled && !equalsUpperCased(record.group, group);
    const bool nameChanged = !equalsUpperCased(record.name, name);
    changed = groupChanged || nameChanged;
    if (groupChanged)
        record.group = upperCasedAscii(QString(group));
    if (nameChanged)
        record.name = upperCasedAscii(QString(name));
    return true;
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

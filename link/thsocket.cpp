#include "thsocket.h"

#include "commands.h"
#include "pollloop.h"
#include "resultmailbox.h"

ThSocket::ThSocket(const QString &address, quint16 port, DeviceQueue queue, ResultMailbox &mailbox,
                   WorkerWake &jobBell)
    : m_port(port)
    , m_queue(std::move(queue))
    , m_mailbox(mailbox)
    , m_jobBell(jobBell)
    , m_host(address)
{
    m_thread.reset(QThread::create([this] {
        PollLoop(*this).run();
        m_ended.store(true, std::memory_order_release);
    }));
    m_thread->setObjectName(address);
    m_thread->start(QThread::LowestPriority);
}

ThSocket::~ThSocket()
{
    endNow();
    m_jobBell.signal();
    m_thread->wait();
    const bool ended = m_ended.load(std::memory_order_acquire);
    Q_ASSERT(ended);
    Q_UNUSED(ended);
    m_mailbox.forget(this);
}

void ThSocket::endNow()
{
    m_abort.store(true, std::memory_order_release);
    m_interrupt.interrupt();
    m_wake.signal();
}

bool ThSocket::dispatch(DeviceQueue::Locked &queue, int slot, const QString &host)
{
    ++m_dispatches;
    if (m_jobFlag.load(std::memory_order_acquire))
        return false;
    if (!holdsJob()) {
        if (queue.entries().isEmpty())
            return false;
        // Deep copies: the worker frees what it holds, so nothing it holds may
        // share storage with the queue or the record (Qt's reference counts
        // are partly out of the thread sanitizer's sight).
        if (m_host != host)
            m_host = QString(host.constData(), host.size());
        m_slot = slot;
        takeHead(queue);
    }
    m_jobFlag.store(true, std::memory_order_release);
    return std::exchange(m_idle, false);
}

void ThSocket::takeHead(DeviceQueue::Locked &queue)
{
    const QueryEntry &head = queue.entries().at(0);
    m_path = QByteArray(head.path.constData(), head.path.size());
    m_argument = QByteArray(head.argument.constData(), head.argument.size());
    m_jobGroupCommands.reset();
    if (m_path == CommandPath::DeviceGroup)
        m_jobGroupCommands = queue.groupCommands();
    m_failureCount.store(0, std::memory_order_relaxed);
    queue.popHead();
}

void ThSocket::takeNextJob()
{
    m_path.clear();
    m_argument.clear();
    DeviceQueue::Locked queue = m_queue.lock();
    // One job of its own per dispatch of the main thread at most: taking two
    // would empty the queue between two ticks, and the tick would queue the
    // status fetch again ahead of the settings, while a fetch is running.
    if (!queue.entries().isEmpty() && m_takenAtDispatch != m_dispatches) {
        m_takenAtDispatch = m_dispatches;
        takeHead(queue);
        return;
    }
    {
        const std::lock_guard lock(m_outcomeMutex);
        if (m_outcomePosted) {
            m_outcome.jobOver = m_jobOver = true;  // the collector clears the flag
            return;
        }
    }
    m_jobFlag.store(false, std::memory_order_release);
}

void ThSocket::finishJob()
{
    const DeviceQueue::Locked queue = m_queue.lock();
    m_jobOver = false;
    m_jobFlag.store(false, std::memory_order_release);
}

bool ThSocket::takeUpJob()
{
    const DeviceQueue::Locked queue = m_queue.lock();
    if (m_jobFlag.load(std::memory_order_acquire) && !m_jobOver)
        return true;
    m_idle = true;
    return false;
}

void ThSocket::requestStop()
{
    if (m_stopRequested)
        return;
    m_stopRequested = true;
    m_stop.store(true, std::memory_order_release);
    m_wake.signal();
}

void ThSocket::report(QByteArray block, int linkState, bool dropped)
{
    bool post = false;
    {
        const std::lock_guard lock(m_outcomeMutex);
        if (!block.isEmpty()) {
            m_outcome.block.swap(block);  // an older block not stored yet is superseded
            m_outcome.groupCommandsAnswered = m_groupCommandsAnswered;
        }
        if (linkState == Online)
            ++m_outcome.successes;
        m_outcome.dropped = m_outcome.dropped || dropped;
        m_outcome.linkState = linkState;
        post = !std::exchange(m_outcomePosted, true);
    }
    if (post)
        m_mailbox.post(this);
    // Answered or given up: blocks of later jobs show what the device made of
    // it. The answer's own block may have been built before, so it counts
    // as one fetched before.
    if (m_jobGroupCommands)
        m_groupCommandsAnswered = *std::exchange(m_jobGroupCommands, std::nullopt);
}

ThSocket::Outcome ThSocket::takeOutcome()
{
    const std::lock_guard lock(m_outcomeMutex);
    m_outcomePosted = false;
    return std::exchange(m_outcome, {});
}

void ThSocket::publish(const Outcome &outcome)
{
    if (outcome.successes > 0)
        m_successCount.fetch_add(outcome.successes, std::memory_order_relaxed);
    if (outcome.linkState != NoResultYet)
        m_linkState.store(outcome.linkState, std::memory_order_relaxed);
}

bool ThSocket::awaitsAdoption() const
{
    const std::lock_guard lock(m_outcomeMutex);
    return !m_outcome.block.isEmpty();
}

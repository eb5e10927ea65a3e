#include "thsocket.h"

#include "pollloop.h"
#include "resultmailbox.h"

ThSocket::ThSocket(const QString &address, quint16 port, ResultMailbox &mailbox)
    : m_port(port)
    , m_mailbox(mailbox)
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
    m_thread->wait();
    const bool ended = m_ended.load(std::memory_order_acquire);
    Q_ASSERT(ended);
    Q_UNUSED(ended);
    m_mailbox.forget(this);
}

void ThSocket::endNow()
{
    m_abort.store(true, std::memory_order_release);
    m_wake.signal();
}

void ThSocket::handOver(int slot, const QString &host, const QByteArray &path,
                        const QByteArray &argument)
{
    // Deep copies: the worker frees what it holds, so nothing it holds may
    // share storage with the queue or the record (Qt's reference counts are
    // partly out of the thread sanitizer's sight).
    if (m_host != host)
        m_host = QString(host.constData(), host.size());
    m_path = QByteArray(path.constData(), path.size());
    m_argument = QByteArray(argument.constData(), argument.size());
    m_slot = slot;
    m_failureCount.store(0, std::memory_order_relaxed);
    retry();
}

void ThSocket::retry()
{
    // A worker that waits out a paced retry looks at the flag when its wait
    // is over; only one asleep waiting for work needs the wake-up. Both
    // sides write their flag before reading the other's (sequentially
    // consistent), so a wake-up is never missed.
    m_jobFlag.store(true, std::memory_order_seq_cst);
    if (m_sleeping.exchange(false, std::memory_order_seq_cst))
        m_wake.signal();
}

void ThSocket::requestStop()
{
    if (m_stopRequested)
        return;
    m_stopRequested = true;
    m_stop.store(true, std::memory_order_release);
    m_wake.signal();
}

void ThSocket::completeAdoption()
{
    if (!m_awaitingAdoption.load(std::memory_order_acquire))
        return;
    m_block.clear();
    m_awaitingAdoption.store(false, std::memory_order_relaxed);
    publishSuccess();
}

void ThSocket::publishSuccess()
{
    m_linkState.store(Online, std::memory_order_relaxed);
    m_successCount.fetch_add(1, std::memory_order_relaxed);
    m_path.clear();
    m_argument.clear();
    m_jobFlag.store(false, std::memory_order_release);
}

#include "pollloop.h"

#include "exchange.h"
#include "resultmailbox.h"
#include "statusblock.h"
#include "thsocket.h"

#include <sys/resource.h>
#include <unistd.h>


PollLoop::PollLoop(ThSocket &worker)
    : m_worker(worker)
    , m_connection(worker.m_wake, worker.m_abort)
    , m_timeout(ThSocket::kFirstTimeout)
{
}

void PollLoop::run()
{
    // Two levels below normal. Qt's thread priorities do nothing for
    // ordinary threads on Linux, but a thread's nice value does: it keeps a
    // worker that the main thread wakes from pushing the main thread aside.
    constexpr int kNiceLevelsBelowNormal = 2;
    const auto self = id_t(::gettid());
    ::setpriority(PRIO_PROCESS, self, ::getpriority(PRIO_PROCESS, self) + kNiceLevelsBelowNormal);

    while (waitForJob()) {
        if (!attempt())
            return;
        if (m_worker.m_stop.load(std::memory_order_acquire))
            return;
    }
}

bool PollLoop::waitForJob()
{
    for (;;) {
        if (m_worker.m_abort.load(std::memory_order_acquire))
            return false;
        const bool job = m_worker.m_jobFlag.load(std::memory_order_acquire)
                         && !m_worker.m_awaitingAdoption.load(std::memory_order_acquire);
        const bool stop = m_worker.m_stop.load(std::memory_order_acquire);
        const auto now = Clock::now();
        if (job && now >= m_notBefore)
            return true;
        if (stop)
            return false;  // idle, holding, or a retry not yet due
        int waitMs = -1;
        if (job) {
            waitMs = int(std::chrono::ceil<std::chrono::milliseconds>(m_notBefore - now).count());
        } else {
            m_worker.m_sleeping.store(true, std::memory_order_seq_cst);
            if (m_worker.m_jobFlag.load(std::memory_order_seq_cst)
                && !m_worker.m_awaitingAdoption.load(std::memory_order_acquire)) {
                m_worker.m_sleeping.store(false, std::memory_order_relaxed);
                continue;
            }
        }
        m_connectionLookedAt = m_connection.sleep(waitMs);
        m_worker.m_sleeping.store(false, std::memory_order_relaxed);
    }
}

bool PollLoop::attempt()
{
    const Clock::time_point began = Clock::now();
    const std::chrono::milliseconds timeout = m_timeout;
    m_worker.m_requestCount.fetch_add(1, std::memory_order_relaxed);
    ResponseReader reader(kStatusBlockSize);
    if (!exchange(reader))
        return false;
    if (reader.succeeded())
        succeed(reader);
    else
        fail(began, timeout);
    return true;
}

bool PollLoop::exchange(ResponseReader &reader)
{
    using Result = DeviceConnection::Result;
    if (!std::exchange(m_connectionLookedAt, false))
        m_connection.checkBetweenAttempts();
    if (!m_connection.isOpen()) {
        // A failed connect is not judged here: the send below then fails.
        if (m_connection.connectTo(m_worker.m_host, m_worker.m_port, Clock::now() + m_timeout)
            == Result::Aborted)
            return false;
    }
    const Result sent = m_connection.send(requestText(m_worker.m_path, m_worker.m_argument),
                                          Clock::now() + m_timeout);
    if (sent == Result::Aborted)
        return false;
    if (sent != Result::Done) {
        reader.fail();
        return true;
    }
    return readResponse(reader);
}

// Each line read and the body read have their own time-out; body bytes that
// keep arriving keep the body read alive.
bool PollLoop::readResponse(ResponseReader &reader)
{
    using Result = DeviceConnection::Result;
    Clock::time_point deadline = Clock::now() + m_timeout;
    bool justSent = true;
    for (;;) {
        const QByteArrayView received = m_connection.received();
        if (!received.isEmpty()) {
            const int linesBefore = reader.linesRead();
            const qint64 bodyBefore = reader.bodyBytesReceived();
            m_connection.consume(reader.feed(received));
            if (reader.isDone())
                return true;
            if (reader.linesRead() != linesBefore || reader.bodyBytesReceived() != bodyBefore)
                deadline = Clock::now() + m_timeout;
        }
        switch (m_connection.receive(deadline, std::exchange(justSent, false) && received.isEmpty())) {
        case Result::Done:
            break;
        case Result::TimedOut:
            if (reader.phase() == ResponseReader::Phase::Lines) {
                reader.lineTimedOut();
                deadline = Clock::now() + m_timeout;
            } else {
                reader.fail();
            }
            if (reader.isDone())
                return true;
            break;
        case Result::Closed:
            reader.fail();
            return true;
        case Result::Aborted:
            return false;
        }
    }
}

void PollLoop::succeed(const ResponseReader &reader)
{
    if (reader.announcedLength() != kStatusBlockSize) {
        m_worker.publishSuccess();
        return;
    }
    // The main thread stores the block, then publishes the success; this
    // worker waits for that before it takes its next job.
    const QByteArray &body = reader.keptBody();
    m_worker.m_block = QByteArray(body.constData(), body.size());  // shares nothing with the reader
    m_worker.m_awaitingAdoption.store(true, std::memory_order_release);
    m_worker.m_mailbox.post(&m_worker);
}

void PollLoop::fail(Clock::time_point began, std::chrono::milliseconds timeout)
{
    m_connection.close();
    m_timeout = ThSocket::kTimeoutAfterFailure;
    m_notBefore = began + timeout;
    const int failures = m_worker.m_failureCount.fetch_add(1, std::memory_order_relaxed) + 1;
    const bool dropped = failures >= ThSocket::kAttemptsPerJob;
    if (dropped) {
        m_worker.m_linkState.store(ThSocket::Offline, std::memory_order_relaxed);
        m_worker.m_path.clear();
        m_worker.m_argument.clear();
    }
    m_worker.m_jobFlag.store(false, std::memory_order_release);
    // Posted after the flag is clear, so that the main thread can hand over
    // the lock command as soon as it sees the request.
    if (dropped) {
        m_worker.m_lockWanted.store(true, std::memory_order_release);
        m_worker.m_mailbox.post(&m_worker);
    }
}

#include "pollloop.h"

#include "exchange.h"
#include "resultmailbox.h"
#include "statusblock.h"
#include "thsocket.h"

#include <algorithm>

#include <sys/resource.h>
#include <unistd.h>


namespace {
constexpr std::chrono::milliseconds kRetryWaitsForTicks{2};
} // namespace

PollLoop::PollLoop(ThSocket &worker)
    : m_worker(worker)
    , m_connection(worker.m_interrupt, worker.m_abort)
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
        const Ending ending = attempt();
        if (ending == Ending::Aborted || m_worker.m_stop.load(std::memory_order_acquire))
            return;
        if (ending != Ending::Held)
            m_worker.takeNextJob();
    }
}

// A retry that is not due yet is slept out without asking to be woken: the
// dispatch sets the flag again long before it is due, and the flag is looked
// at when the wait is over. Otherwise an idle worker sleeps on the job bell.
bool PollLoop::waitForJob()
{
    for (;;) {
        const quint32 seen = m_worker.m_wake.sequence();
        const quint32 rung = m_worker.m_jobBell.sequence();
        // A stop request ends a waiting worker, even one that has taken its
        // next job already: only a running attempt is finished first.
        if (m_worker.m_abort.load(std::memory_order_acquire)
            || m_worker.m_stop.load(std::memory_order_acquire))
            return false;
        if (const auto now = Clock::now(); now < m_notBefore)
            m_worker.m_wake.wait(seen, int(std::chrono::ceil<std::chrono::milliseconds>(m_notBefore - now).count()));
        else if (m_worker.takeUpJob())
            return true;
        else
            m_worker.m_jobBell.wait(rung, -1);
    }
}

PollLoop::Ending PollLoop::attempt()
{
    const Clock::time_point began = Clock::now();
    const std::chrono::milliseconds timeout = m_timeout;
    m_worker.m_requestCount.fetch_add(1, std::memory_order_relaxed);
    ResponseReader reader(kStatusBlockSize);
    if (!exchange(reader))
        return Ending::Aborted;
    return reader.succeeded() ? succeed(reader) : fail(began, timeout);
}

// A kept-alive connection that the device closed after its last answer is
// not looked at between attempts: that would cost a read per exchange. The
// request meets the close instead, and goes once more over a new connection.
bool PollLoop::exchange(ResponseReader &reader)
{
    if (m_connection.holdsUnaskedBytes())
        m_connection.checkBetweenAttempts();
    const bool keptAlive = m_connection.isOpen() && m_connection.hasAnswered();
    Exchanged exchanged = sendAndRead(reader);
    if (exchanged == Exchanged::MetClosedConnection && keptAlive) {
        m_connection.close();
        reader = ResponseReader(kStatusBlockSize);
        exchanged = sendAndRead(reader);
    }
    return exchanged != Exchanged::Aborted;
}

PollLoop::Exchanged PollLoop::sendAndRead(ResponseReader &reader)
{
    using Result = DeviceConnection::Result;
    if (!m_connection.isOpen()) {
        // A failed connect is not judged here: the send below then fails.
        if (m_connection.connectTo(m_worker.m_host, m_worker.m_port, Clock::now() + m_timeout,
                                   m_timeout, m_timeout * ResponseReader::kLengthLine)
            == Result::Aborted)
            return Exchanged::Aborted;
    }
    const QByteArray request = requestText(m_worker.m_path, m_worker.m_argument);
    m_sentAt = Clock::now();
    const Result sent = m_connection.send(request);
    if (sent == Result::Aborted)
        return Exchanged::Aborted;
    if (sent != Result::Done) {
        reader.fail();
        return sent == Result::Closed ? Exchanged::MetClosedConnection : Exchanged::Finished;
    }
    return readResponse(reader);
}

// Each line read and the body read have their own time-out; body bytes that
// keep arriving keep the body read alive. A device that has sent nothing at
// all is waited for in one go until its fifth line would run out of time
// (a blocking read for most of it, poll() for the rest); the line time-outs
// that passed meanwhile are then counted off as if each had been waited for
// on its own. A silent device so wakes its worker twice per attempt, not
// once per line. Each deadline follows on from the one before, not from
// when the worker woke up, so that late wake-ups do not add up.
PollLoop::Exchanged PollLoop::readResponse(ResponseReader &reader)
{
    using Result = DeviceConnection::Result;
    Clock::time_point deadline = Clock::now() + m_timeout;
    bool justSent = true;
    bool heardAnything = false;
    for (;;) {
        const QByteArrayView received = m_connection.received();
        if (!received.isEmpty()) {
            heardAnything = true;
            const int linesBefore = reader.linesRead();
            const qint64 bodyBefore = reader.bodyBytesReceived();
            m_connection.consume(reader.feed(received));
            if (reader.isDone())
                return Exchanged::Finished;
            if (reader.linesRead() != linesBefore || reader.bodyBytesReceived() != bodyBefore)
                deadline = Clock::now() + m_timeout;
        }
        const int silentLines = heardAnything ? 1 : linesUntilLength(reader);
        const Clock::time_point wakeAt = deadline + m_timeout * std::max(0, silentLines - 1);
        const bool first = std::exchange(justSent, false) && received.isEmpty();
        switch (first ? m_connection.receiveFirst() : m_connection.receive(wakeAt)) {
        case Result::Done:
            for (const auto now = Clock::now(); !heardAnything && deadline <= now && !reader.isDone();
                 deadline += m_timeout)
                reader.lineTimedOut();
            break;
        case Result::TimedOut:
            if (first) {
                // The blocking read ends early by design: receive() waits
                // out the rest of the same wait.
            } else if (reader.phase() == ResponseReader::Phase::Lines) {
                for (int line = 0; line < silentLines && !reader.isDone(); ++line)
                    reader.lineTimedOut();
                deadline = wakeAt + m_timeout;
            } else {
                reader.fail();
            }
            break;
        case Result::Closed:
            reader.fail();
            return heardAnything ? Exchanged::Finished : Exchanged::MetClosedConnection;
        case Result::Aborted:
            return Exchanged::Aborted;
        }
        if (reader.isDone())
            return Exchanged::Finished;
    }
}

// Lines still to be read up to and including the one that carries the
// length; at least one, the line being read.
int PollLoop::linesUntilLength(const ResponseReader &reader)
{
    if (reader.phase() != ResponseReader::Phase::Lines)
        return 1;
    return std::max(1, ResponseReader::kLengthLine - reader.linesRead());
}

// Only a body of a status block's length is a block to store.
PollLoop::Ending PollLoop::succeed(ResponseReader &reader)
{
    QByteArray block;
    if (reader.announcedLength() == kStatusBlockSize)
        block = reader.takeKeptBody();
    m_connection.answered();
    const Clock::time_point now = Clock::now();
    m_worker.m_lastExchangeUs.store(
        std::chrono::duration_cast<std::chrono::microseconds>(now - m_sentAt).count(), std::memory_order_relaxed);
    m_worker.m_lastSuccessNs.store(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count(),
        std::memory_order_release);
    m_worker.report(std::move(block), ThSocket::Online, false);
    return Ending::Succeeded;
}

PollLoop::Ending PollLoop::fail(Clock::time_point began, std::chrono::milliseconds timeout)
{
    m_connection.close();
    m_timeout = ThSocket::kTimeoutAfterFailure;
    // An attempt that used up its whole time-out is due again at once, but
    // the retry comes with the next tick's dispatch: waiting for the tick
    // after that, without asking to be woken, saves waking the worker twice.
    m_notBefore = std::max(began + timeout, Clock::now() + kRetryWaitsForTicks);
    const int failures = m_worker.m_failureCount.fetch_add(1, std::memory_order_relaxed) + 1;
    if (failures >= ThSocket::kAttemptsPerJob) {
        m_worker.report({}, ThSocket::Offline, true);
        return Ending::Dropped;
    }
    // Held: the next dispatch lets the worker retry.
    m_worker.m_jobFlag.store(false, std::memory_order_release);
    return Ending::Held;
}

#include "pollsession.h"

#include "statusblock.h"
#include "thsocket.h"

#include <QTcpSocket>
#include <QThread>

namespace {
// Bounds what a device can make the worker hold between two responses.
constexpr qsizetype kMaxUnreadBytes = 64 * 1024;
constexpr qint64 kSocketBufferBytes = 64 * 1024;
} // namespace

PollSession::PollSession(ThSocket &worker)
    : m_worker(worker)
    , m_timer(this)
    , m_timeout(ThSocket::kFirstTimeout)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PollSession::timedOut);
}

// The socket, a child, goes after this body, when no slot of ours is
// connected any more.
PollSession::~PollSession()
{
    m_worker.m_sessionEnded.store(true, std::memory_order_release);
}

void PollSession::startAttempt()
{
    if (!m_worker.m_jobFlag.load(std::memory_order_acquire) || m_step != Step::Idle)
        return;
    m_worker.m_requestCount.fetch_add(1, std::memory_order_relaxed);
    m_reader.emplace(kStatusBlockSize);

    if (!m_socket)
        createSocket();
    switch (m_socket->state()) {
    case QAbstractSocket::ConnectedState:
        send();
        break;
    case QAbstractSocket::UnconnectedState:
        m_step = Step::Connecting;
        m_timer.start(m_timeout);
        m_socket->connectToHost(m_worker.m_host, m_worker.m_port);
        break;
    default:
        // Half-closed by the device: start over on a new connection.
        dropConnection();
        createSocket();
        m_step = Step::Connecting;
        m_timer.start(m_timeout);
        m_socket->connectToHost(m_worker.m_host, m_worker.m_port);
        break;
    }
}

void PollSession::stop()
{
    if (m_step == Step::Idle)
        thread()->quit();
    else
        m_stopAfterAttempt = true;
}

void PollSession::createSocket()
{
    m_socket = new QTcpSocket(this);
    m_socket->setReadBufferSize(kSocketBufferBytes);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QTcpSocket::connected, this, &PollSession::send);
    connect(m_socket, &QTcpSocket::readyRead, this, &PollSession::readAvailable);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &PollSession::connectionLost);
    connect(m_socket, &QTcpSocket::disconnected, this, &PollSession::connectionLost);
}

void PollSession::send()
{
    if (m_step == Step::Reading)
        return;
    m_step = Step::Reading;
    m_timer.start(m_timeout);
    m_socket->write(requestText(m_worker.m_path, m_worker.m_argument));
    if (!m_unread.isEmpty()) {
        const QByteArray early = std::exchange(m_unread, {});
        const qsizetype taken = m_reader->feed(early);
        m_unread = early.sliced(taken);
        if (m_reader->isDone())
            finishAttempt();
    }
}

void PollSession::readAvailable()
{
    const QByteArray bytes = m_socket->readAll();
    if (m_step != Step::Reading) {
        // Unasked-for bytes: kept for the next response, within bounds.
        m_unread.append(bytes.first(qMin(bytes.size(), kMaxUnreadBytes - m_unread.size())));
        return;
    }
    const int linesBefore = m_reader->linesRead();
    const qint64 bodyBefore = m_reader->bodyBytesReceived();
    const qsizetype taken = m_reader->feed(bytes);
    if (m_reader->isDone()) {
        m_unread = bytes.sliced(taken).first(qMin(bytes.size() - taken, kMaxUnreadBytes));
        finishAttempt();
        return;
    }
    // Each line read and the body read have their own time-out; body bytes
    // that keep arriving keep the body read alive.
    if (m_reader->linesRead() != linesBefore || m_reader->bodyBytesReceived() != bodyBefore)
        m_timer.start(m_timeout);
}

void PollSession::timedOut()
{
    if (m_step == Step::Reading && m_reader->phase() == ResponseReader::Phase::Lines) {
        m_reader->lineTimedOut();
        if (!m_reader->isDone()) {
            m_timer.start(m_timeout);
            return;
        }
    }
    m_reader->fail();
    finishAttempt();
}

void PollSession::connectionLost()
{
    if (m_step == Step::Idle)
        return;  // noticed at the next attempt
    if (m_step == Step::Reading && m_socket->bytesAvailable() > 0)
        readAvailable();
    if (m_step == Step::Idle)
        return;
    m_reader->fail();
    finishAttempt();
}

void PollSession::finishAttempt()
{
    m_timer.stop();
    m_step = Step::Idle;
    QByteArray statusBlock;
    bool dropped = false;
    if (m_reader->succeeded()) {
        if (m_reader->announcedLength() == kStatusBlockSize)
            statusBlock = m_reader->keptBody();
        m_worker.m_linkState.store(ThSocket::Online, std::memory_order_relaxed);
        m_worker.m_successCount.fetch_add(1, std::memory_order_relaxed);
        m_worker.m_path.clear();
        m_worker.m_argument.clear();
    } else {
        dropConnection();
        m_timeout = ThSocket::kTimeoutAfterFailure;
        const int failures = m_worker.m_failureCount.fetch_add(1, std::memory_order_relaxed) + 1;
        if (failures >= ThSocket::kAttemptsPerJob) {
            m_worker.m_linkState.store(ThSocket::Offline, std::memory_order_relaxed);
            m_worker.m_path.clear();
            m_worker.m_argument.clear();
            dropped = true;
        }
    }
    m_reader.reset();
    m_worker.m_jobFlag.store(false, std::memory_order_release);
    // Posted after the flag is clear, so that the main thread can hand over
    // the next job (the unlock command, say) as soon as it sees the result.
    if (!statusBlock.isEmpty())
        postStatusBlock(statusBlock);
    if (dropped)
        postJobDropped();
    if (m_stopAfterAttempt)
        thread()->quit();
}

void PollSession::dropConnection()
{
    if (!m_socket)
        return;
    // Failures are often noticed inside one of the socket's own signals, so
    // it must not be deleted right here.
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
    m_unread.clear();
}

void PollSession::postStatusBlock(const QByteArray &block)
{
    const ThSocket::Callbacks &callbacks = m_worker.m_callbacks;
    if (!callbacks.context || !callbacks.statusBlockArrived)
        return;
    QMetaObject::invokeMethod(
        callbacks.context,
        [arrived = callbacks.statusBlockArrived, worker = &m_worker, block] { arrived(worker, block); },
        Qt::QueuedConnection);
}

void PollSession::postJobDropped()
{
    const ThSocket::Callbacks &callbacks = m_worker.m_callbacks;
    if (!callbacks.context || !callbacks.jobDropped)
        return;
    QMetaObject::invokeMethod(
        callbacks.context, [dropped = callbacks.jobDropped, worker = &m_worker] { dropped(worker); },
        Qt::QueuedConnection);
}

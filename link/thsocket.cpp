#include "thsocket.h"

#include "pollsession.h"

ThSocket::ThSocket(const QString &address, quint16 port, Callbacks callbacks)
    : m_port(port)
    , m_callbacks(std::move(callbacks))
    , m_session(new PollSession(*this))
{
    m_thread.setObjectName(address);
    m_session->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_session, &QObject::deleteLater);
    m_thread.start(QThread::LowestPriority);
}

ThSocket::~ThSocket()
{
    m_thread.quit();
    m_thread.wait();
    const bool ended = m_sessionEnded.load(std::memory_order_acquire);
    Q_ASSERT(ended);
    Q_UNUSED(ended);
}

void ThSocket::handOver(int slot, const QString &host, const QByteArray &path,
                        const QByteArray &argument)
{
    m_host = host;
    m_path = path;
    m_argument = argument;
    m_slot = slot;
    m_failureCount.store(0, std::memory_order_relaxed);
    retry();
}

void ThSocket::retry()
{
    m_jobFlag.store(true, std::memory_order_release);
    QMetaObject::invokeMethod(m_session, &PollSession::startAttempt, Qt::QueuedConnection);
}

void ThSocket::requestStop()
{
    if (m_stopRequested)
        return;
    m_stopRequested = true;
    QMetaObject::invokeMethod(m_session, &PollSession::stop, Qt::QueuedConnection);
}

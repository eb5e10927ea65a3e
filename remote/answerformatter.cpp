#include "answerformatter.h"

#include <pthread.h>

#include <algorithm>

AnswerFormatter::AnswerFormatter(Deliver deliver, QObject *parent)
    : QObject(parent), m_deliver(std::move(deliver)), m_thread([this] { run(); })
{
}

AnswerFormatter::~AnswerFormatter()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        m_jobs.clear();
    }
    m_wake.notify_one();
    m_thread.join();
}

void AnswerFormatter::submit(quint64 ticket, Job job)
{
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.emplace_back(ticket, std::move(job));
    }
    m_wake.notify_one();
}

bool AnswerFormatter::cancel(quint64 ticket)
{
    Job dropped;  // its copied figures go after the lock
    const std::lock_guard lock(m_mutex);
    const auto found = std::find_if(m_jobs.begin(), m_jobs.end(), [&](const auto &job) { return job.first == ticket; });
    if (found == m_jobs.end())
        return false;
    dropped = std::move(found->second);
    m_jobs.erase(found);
    return true;
}

void AnswerFormatter::run()
{
    pthread_setname_np(pthread_self(), "http answers");
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_stop)
            return;
        auto [ticket, job] = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        HttpAnswer answer = job();
        job = nullptr;  // the copied figures go on this thread, not under the lock
        lock.lock();
        m_done.emplace_back(ticket, std::move(answer));
        if (!std::exchange(m_deliveryPosted, true))
            QMetaObject::invokeMethod(this, &AnswerFormatter::deliverFinished, Qt::QueuedConnection);
    }
}

void AnswerFormatter::deliverFinished()
{
    std::vector<std::pair<quint64, HttpAnswer>> done;
    {
        const std::lock_guard lock(m_mutex);
        done.swap(m_done);
        m_deliveryPosted = false;
    }
    for (const auto &[ticket, answer] : done)
        m_deliver(ticket, answer);
}

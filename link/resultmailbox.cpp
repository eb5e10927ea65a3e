#include "resultmailbox.h"

#include <algorithm>

ResultMailbox::ResultMailbox(std::function<void(ThSocket *)> collect, QObject *parent)
    : QObject(parent)
    , m_collect(std::move(collect))
    , m_notifier(m_wake.fd(), QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, [this] {
        m_wake.clear();
        this->collect();
    });
}

void ResultMailbox::post(ThSocket *worker)
{
    {
        const std::lock_guard lock(m_mutex);
        m_posted.push_back(worker);
        m_postArrived.notify_all();
        if (m_collectedOften || std::exchange(m_drainPosted, true))
            return;
    }
    // A descriptor rather than a queued call or a posted event: nothing of
    // Qt's crosses the threads, whose hand-overs the thread sanitizer cannot
    // follow.
    m_wake.signal();
}

void ResultMailbox::forget(const ThSocket *worker)
{
    const std::lock_guard lock(m_mutex);
    std::erase(m_posted, worker);
}

bool ResultMailbox::waitForPost(QDeadlineTimer deadline)
{
    std::unique_lock lock(m_mutex);
    return m_postArrived.wait_until(lock, deadline.deadline<std::chrono::steady_clock>(),
                                    [this] { return !m_posted.empty(); });
}

void ResultMailbox::setCollectedOften(bool often)
{
    {
        const std::lock_guard lock(m_mutex);
        m_collectedOften = often;
    }
    if (!often)
        collect();
}

void ResultMailbox::collect()
{
    for (;;) {
        ThSocket *worker = nullptr;
        {
            // One at a time: collecting may end a worker, which forgets itself.
            const std::lock_guard lock(m_mutex);
            if (m_posted.empty()) {
                m_drainPosted = false;
                return;
            }
            worker = m_posted.front();
            m_posted.erase(m_posted.begin());
        }
        m_collect(worker);
    }
}

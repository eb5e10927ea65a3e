#pragma once

// The monitor's formatting thread: makes answers from figures the main
// thread has copied, one job at a time in the order given, so that the
// main thread only copies and writes. Jobs and answers cross under a
// std::mutex, a hand-over ThreadSanitizer can follow; the main thread is
// woken once for however many answers are ready.
//
// submit(), cancel() and the destructor on the owner's thread; deliver is
// called on it too. Destruction drops the jobs not yet started and waits for the one
// running.

#include "httpanswer.h"

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class AnswerFormatter final : public QObject
{
    Q_OBJECT

public:
    using Job = std::function<HttpAnswer()>;
    using Deliver = std::function<void(quint64 ticket, const HttpAnswer &answer)>;

    explicit AnswerFormatter(Deliver deliver, QObject *parent = nullptr);
    ~AnswerFormatter() override;

    void submit(quint64 ticket, Job job);
    // Drops the job before it is formatted; false when it has started (its
    // answer will be delivered) or is unknown.
    bool cancel(quint64 ticket);

private:
    void run();
    void deliverFinished();

    const Deliver m_deliver;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::pair<quint64, Job>> m_jobs;         // guarded by m_mutex
    std::vector<std::pair<quint64, HttpAnswer>> m_done;  // guarded by m_mutex
    bool m_deliveryPosted = false;                       // guarded by m_mutex
    bool m_stop = false;                                 // guarded by m_mutex
    std::thread m_thread;  // last: starts once the rest is there
};

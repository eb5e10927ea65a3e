#pragma once

// Where poll workers leave results that only the main thread may apply (a
// status block to store, a lock command to queue). A worker posts itself;
// the main thread is woken once for however many posts arrive before it gets
// to them, and then collects every worker that posted, in order. While a
// timer on the main thread collects often anyway (the polling tick), posts
// wake nobody: the next collection takes them.
//
// The list is guarded by a std::mutex, so that the hand-over is one that
// ThreadSanitizer can follow.

#include "wakeup.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QSocketNotifier>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

class ThSocket;

class ResultMailbox final : public QObject
{
    Q_OBJECT

public:
    // collect runs on this object's thread, once per post.
    explicit ResultMailbox(std::function<void(ThSocket *)> collect, QObject *parent = nullptr);

    // Any thread.
    void post(ThSocket *worker);
    // This object's thread: a worker that goes away is collected no more.
    void forget(const ThSocket *worker);

    // Blocks until a post waits for collection, without collecting it; false
    // when the deadline came first. For a thread that runs no event loop.
    bool waitForPost(QDeadlineTimer deadline);

    // This object's thread: collects every post now.
    void collect();
    // This object's thread: while set, posts rely on collect() being called
    // soon; clearing it collects what is there.
    void setCollectedOften(bool often);

private:
    const std::function<void(ThSocket *)> m_collect;
    WakeUp m_wake;  // wakes this object's thread for a post
    QSocketNotifier m_notifier;
    std::mutex m_mutex;
    std::condition_variable m_postArrived;
    std::vector<ThSocket *> m_posted;
    bool m_drainPosted = false;
    bool m_collectedOften = false;
};

#pragma once

// Who gets feedback: at most kCapacity subscribers, each until its lifetime
// runs out unless it renews by subscribing again. A new subscriber in a full
// table takes the place of the one renewed longest ago.
//
// Times are milliseconds on any steady clock the caller keeps to. Main
// thread only (the table is a value; it takes no lock).

#include <QHostAddress>

#include <vector>

class OscSubscribers final
{
public:
    static constexpr int kCapacity = 16;

    struct Subscriber
    {
        QHostAddress address;
        quint16 port = 0;
        qint64 expiresAtMs = 0;
    };

    // Adds the subscriber or renews it; true when it is new.
    bool subscribe(const QHostAddress &address, quint16 port, qint64 nowMs, qint64 lifetimeMs);

    // Drops the subscribers whose lifetime is over at nowMs; returns how many.
    int expire(qint64 nowMs);

    // Oldest renewal first.
    const std::vector<Subscriber> &subscribers() const { return m_subscribers; }
    bool isEmpty() const { return m_subscribers.empty(); }

private:
    std::vector<Subscriber> m_subscribers;
};

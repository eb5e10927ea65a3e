#pragma once

// Who gets feedback: at most kCapacity subscribers, at most kPerHost of them
// on one host, each until its lifetime runs out unless it renews by
// subscribing again. A host that has kPerHost subscribers gets no further
// one; a new subscriber in a full table takes the place of the one renewed
// longest ago, so that one host cannot push the others out.
//
// The whole state goes to a subscriber when it is new, and again on a
// renewal only when fullStateIntervalMs have passed since it last went:
// a renewal flood asks for nothing more than the renewals.
//
// Times are milliseconds on any steady clock the caller keeps to. Main
// thread only (the table is a value; it takes no lock).

#include <QHostAddress>

#include <optional>
#include <vector>

class OscSubscribers final
{
public:
    static constexpr int kCapacity = 16;
    static constexpr int kPerHost = 4;

    enum class Outcome { New, Renewed, HostFull };

    struct Subscriber
    {
        QHostAddress address;
        quint16 port = 0;
        qint64 expiresAtMs = 0;
        std::optional<qint64> fullStateAtMs;  // when the whole state last went to it
    };

    // Adds the subscriber or renews it.
    Outcome subscribe(const QHostAddress &address, quint16 port, qint64 nowMs, qint64 lifetimeMs);

    // True when the whole state is to go to the subscriber now: it never got
    // it, or got it fullStateIntervalMs or longer ago. Counts it as sent.
    bool takeFullState(const QHostAddress &address, quint16 port, qint64 nowMs, qint64 fullStateIntervalMs);

    // Drops the subscribers whose lifetime is over at nowMs; returns how many.
    int expire(qint64 nowMs);

    bool contains(const QHostAddress &address, quint16 port) const;

    // Oldest renewal first.
    const std::vector<Subscriber> &subscribers() const { return m_subscribers; }
    bool isEmpty() const { return m_subscribers.empty(); }

private:
    std::vector<Subscriber>::iterator find(const QHostAddress &address, quint16 port);

    std::vector<Subscriber> m_subscribers;
};

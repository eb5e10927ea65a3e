#include "oscsubscribers.h"

#include <algorithm>

bool OscSubscribers::subscribe(const QHostAddress &address, quint16 port, qint64 nowMs, qint64 lifetimeMs)
{
    const auto known = std::find_if(m_subscribers.begin(), m_subscribers.end(), [&](const Subscriber &s) {
        return s.port == port && s.address.isEqual(address, QHostAddress::StrictConversion);
    });
    const bool isNew = known == m_subscribers.end();
    if (!isNew)
        m_subscribers.erase(known);
    else if (m_subscribers.size() >= kCapacity)
        m_subscribers.erase(m_subscribers.begin());
    m_subscribers.push_back({address, port, nowMs + lifetimeMs});
    return isNew;
}

int OscSubscribers::expire(qint64 nowMs)
{
    const auto before = m_subscribers.size();
    std::erase_if(m_subscribers, [&](const Subscriber &s) { return s.expiresAtMs <= nowMs; });
    return int(before - m_subscribers.size());
}

#include "oscsubscribers.h"

#include <algorithm>

namespace {

bool sameHost(const QHostAddress &a, const QHostAddress &b)
{
    return a.isEqual(b, QHostAddress::StrictConversion);
}

} // namespace

std::vector<OscSubscribers::Subscriber>::iterator OscSubscribers::find(const QHostAddress &address, quint16 port)
{
    return std::find_if(m_subscribers.begin(), m_subscribers.end(),
                        [&](const Subscriber &s) { return s.port == port && sameHost(s.address, address); });
}

bool OscSubscribers::contains(const QHostAddress &address, quint16 port) const
{
    return std::any_of(m_subscribers.begin(), m_subscribers.end(),
                       [&](const Subscriber &s) { return s.port == port && sameHost(s.address, address); });
}

OscSubscribers::Outcome OscSubscribers::subscribe(const QHostAddress &address, quint16 port, qint64 nowMs,
                                                  qint64 lifetimeMs)
{
    const auto known = find(address, port);
    if (known != m_subscribers.end()) {
        Subscriber renewed = std::move(*known);
        m_subscribers.erase(known);
        renewed.expiresAtMs = nowMs + lifetimeMs;
        m_subscribers.push_back(std::move(renewed));
        return Outcome::Renewed;
    }
    const auto ofHost = std::count_if(m_subscribers.begin(), m_subscribers.end(),
                                      [&](const Subscriber &s) { return sameHost(s.address, address); });
    if (ofHost >= kPerHost)
        return Outcome::HostFull;
    if (m_subscribers.size() >= kCapacity)
        m_subscribers.erase(m_subscribers.begin());
    m_subscribers.push_back({address, port, nowMs + lifetimeMs, std::nullopt});
    return Outcome::New;
}

bool OscSubscribers::takeFullState(const QHostAddress &address, quint16 port, qint64 nowMs,
                                   qint64 fullStateIntervalMs)
{
    const auto known = find(address, port);
    if (known == m_subscribers.end())
        return false;
    if (known->fullStateAtMs && nowMs - *known->fullStateAtMs < fullStateIntervalMs)
        return false;
    known->fullStateAtMs = nowMs;
    return true;
}

int OscSubscribers::expire(qint64 nowMs)
{
    const auto before = m_subscribers.size();
    std::erase_if(m_subscribers, [&](const Subscriber &s) { return s.expiresAtMs <= nowMs; });
    return int(before - m_subscribers.size());
}

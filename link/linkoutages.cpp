#include "linkoutages.h"

#include <utility>

void LinkOutages::jobDropped(qint64 nowNs)
{
    if (m_state != State::Up)
        return;  // never answered, or the outage goes on
    m_state = State::Down;
    ++m_written.count;
    m_written.beganNs = nowNs;
    m_written.endedNs = 0;
    publish();
}

void LinkOutages::cameBack(qint64 nowNs)
{
    if (std::exchange(m_state, State::Up) == State::NeverAnswered)
        return;
    m_written.endedNs = nowNs;
    m_written.offlineNs += nowNs - m_written.beganNs;
    publish();
}

// Odd first, then the figures, each a release store so that a reader that
// sees any of them new also sees the odd word; even again last.
void LinkOutages::publish()
{
    const quint32 sequence = m_sequence.load(std::memory_order_relaxed);
    m_sequence.store(sequence + 1, std::memory_order_relaxed);
    m_count.store(m_written.count, std::memory_order_release);
    m_beganNs.store(m_written.beganNs, std::memory_order_release);
    m_endedNs.store(m_written.endedNs, std::memory_order_release);
    m_offlineNs.store(m_written.offlineNs, std::memory_order_release);
    m_sequence.store(sequence + 2, std::memory_order_release);
}

std::optional<LinkOutages::Snapshot> LinkOutages::read() const
{
    constexpr int kTries = 4;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const quint32 before = m_sequence.load(std::memory_order_acquire);
        Snapshot snapshot{m_count.load(std::memory_order_acquire), m_beganNs.load(std::memory_order_acquire),
                          m_endedNs.load(std::memory_order_acquire), m_offlineNs.load(std::memory_order_acquire)};
        if (before % 2 == 0 && m_sequence.load(std::memory_order_acquire) == before)
            return snapshot;
    }
    return std::nullopt;
}
